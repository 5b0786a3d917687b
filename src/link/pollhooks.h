#pragma once
// What the link manager needs of the layers above it, as small interfaces so the link
// depends on nothing but itself. The live-measurement layer owns the poll modes, the
// configuration model owns the live map refresh switch; periodic requests are entries
// their owners register.
// The simple implementations here hold the flags alone; the command-line tool and the
// tests use them until the real owners are connected.

#include "frame.h"

#include <functional>

namespace ambrel {

class TAcquisitionModes {
public:
    virtual ~TAcquisitionModes() = default;
    virtual bool StandardAcquisition() const = 0;
    virtual bool MinimumsAcquisition() const = 0;
    virtual bool StatusUpdate() const = 0;
    virtual void SetStandardAcquisition(bool on) = 0;
    virtual void SetMinimumsAcquisition(bool on) = 0;
    virtual void SetStatusUpdate(bool on) = 0;
    virtual void SetRecording(bool on) = 0;
    // True while the meters window is shown: a connection then starts the standard poll.
    virtual bool WantsStandardAcquisition() const { return false; }
    // The consumer of the status requests (the recorder); nullptr = nobody listens.
    virtual TConsumerInterface* StatusConsumer() { return nullptr; }
};

class TSimpleAcquisitionModes final : public TAcquisitionModes {
public:
    bool StandardAcquisition() const override { return m_standard; }
    bool MinimumsAcquisition() const override { return m_minimums; }
    bool StatusUpdate() const override { return m_statusUpdate; }
    void SetStandardAcquisition(bool on) override { m_standard = on; }
    void SetMinimumsAcquisition(bool on) override { m_minimums = on; }
    void SetStatusUpdate(bool on) override { m_statusUpdate = on; }
    void SetRecording(bool on) override { m_recording = on; }
    bool Recording() const { return m_recording; }

private:
    bool m_standard = false;
    bool m_minimums = false;
    bool m_statusUpdate = false;
    bool m_recording = false;
};

// The live refresh of the displayed map (every 2.01 s while the ECU adapts it).
class TMapRefreshControl {
public:
    virtual ~TMapRefreshControl() = default;
    virtual bool EnableMapRefresh() const = 0;
    virtual void SetEnableMapRefresh(bool on) = 0;
    virtual void RefreshAdaptedMaps() {}
};

class TSimpleMapRefresh final : public TMapRefreshControl {
public:
    bool EnableMapRefresh() const override { return m_enabled; }
    void SetEnableMapRefresh(bool on) override { m_enabled = on; }

private:
    bool m_enabled = false;
};

// A periodic request of another layer (the live-status poll, the counters, later the
// trouble-code status and the eOBD poll), registered with the link by its owner. The link
// knows nothing of what it sends: on every tick while polling runs it counts Countdown
// down, and when it has run out it calls Fire, which sends what is due and returns the
// ticks until the next call (its period; 0 to look again on the next tick). A period of N
// ticks thus acts every N + 1 ticks. The owner may set Countdown itself (a poll mode that
// wants its first request sooner).
class TPollEntry {
public:
    virtual ~TPollEntry() = default;
    // Ticks before the first Fire once polling (re)starts.
    virtual int StartCountdown() const = 0;
    virtual int Fire() = 0;
    int Countdown = 0;
};

// An entry whose work is a function returning the ticks until the next call.
class TFunctionPoll final : public TPollEntry {
public:
    TFunctionPoll(int startCountdown, std::function<int()> fire) : m_start(startCountdown), m_fire(std::move(fire)) {}
    int StartCountdown() const override { return m_start; }
    int Fire() override { return m_fire ? m_fire() : m_start; }

private:
    int m_start;
    std::function<int()> m_fire;
};

} // namespace ambrel
