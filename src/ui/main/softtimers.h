#pragma once
// The six soft timers of the 40 ms main-loop tick. Each is -1 while idle, 0 when due,
// or the number of ticks still to wait. On every tick they are visited in a fixed order:
// a positive one counts down, a due one calls its action, and the action decides the next
// value (reload or -1); an action that leaves its timer at 0 is called again next tick.
// A timer set to N therefore acts on the (N + 1)-th tick.

#include <array>
#include <functional>

namespace ambrel::ui {

enum class TSoftTimer { SplashFade, RangeHint, PowerSwitch, DialogFade, BannerFade, PinOutFlash };

class TSoftTimers {
public:
    static constexpr int kCount = 6;
    static constexpr int kTickMs = 40;

    void Set(TSoftTimer timer, int ticks) { m_counters[Index(timer)] = ticks; }
    int Get(TSoftTimer timer) const { return m_counters[Index(timer)]; }
    void SetAction(TSoftTimer timer, std::function<void()> action) { m_actions[Index(timer)] = std::move(action); }
    void Tick();
    // Milliseconds to ticks of the main loop, halves to even (500 ms is 12 ticks).
    static int TicksFor(int milliseconds);

private:
    static size_t Index(TSoftTimer timer) { return static_cast<size_t>(timer); }
    std::array<int, kCount> m_counters{-1, -1, -1, -1, -1, -1};
    std::array<std::function<void()>, kCount> m_actions;
};

} // namespace ambrel::ui
