#include "rawmeasures.h"

#include <span>

namespace ambrel {

namespace {

// Where a field of a reply goes: a slot number, or one of these.
enum TTarget : int { toSpeed = -1, toBattery = -2, toNowhere = -3 };
enum TSize : int { b = 1, w = 2 };

struct TField {
    int Target;
    int Size;
    int Preset = -1;         // value the target takes just before the read, -1 for none
    bool NoSignalIsZero = false; // 0xFFFF (no signal) is stored as 0
};

// One row per field, in wire order.
constexpr TField kStatusLayout[] = {
    {toSpeed, w}, {toBattery, w},
    {0, w}, {1, w}, {2, w}, {3, w}, {4, w}, {5, w}, {6, w}, {7, w},         // petrol times
    {8, w}, {9, w}, {10, w}, {11, w},                                       // supply, temperatures, tank
    {12, w}, {13, w}, {14, w}, {15, w}, {16, w}, {17, w}, {18, w}, {19, w}, // injector currents
    {20, w}, {21, w},
    {22, w}, {23, w}, {24, w}, {25, w}, {26, w}, {27, w}, {28, w}, {29, w}, // gas times
    {30, w}, {31, w}, {32, w},                                              // lambdas, gas pressure
    {34, w}, {35, w}, {36, w}, {37, w}, {38, w},                            // spares, trims, petrol mode
    {40, w}, {41, w}, {42, w}, {43, w}, {44, w}, {45, w}, {46, w}, {47, w}, {48, w}, {49, w},
    {52, w}, {62, b}, {63, b},
    {53, w}, {54, w}, {55, w}, {56, w}, {57, w}, {58, w}, {59, w}, {60, w}, // gas injector times A..H
    {64, b},
};

constexpr TField kStatusMinLayout[] = {
    {0, w}, {4, w}, {22, w}, {26, w}, {toSpeed, w},
    {30, w}, {31, w}, {40, w}, {9, w}, {10, w}, {32, w}, {38, w}, {36, w}, {41, w}, {47, w}, {48, w},
    {33, w}, {11, w},
    {39, b},
    {50, w, TRawMeasures::kNoState},
    {51, b}, {52, w}, {37, w}, {toBattery, w},
    {61, b, 1},
    {64, b},
};

constexpr TField kStatusExtLayout[] = {
    {0, w, -1, true}, {1, w, -1, true}, {2, w, -1, true}, {3, w, -1, true},
    {4, w, -1, true}, {5, w, -1, true}, {6, w, -1, true}, {7, w, -1, true},
    {32, w}, {33, w}, {40, w},
    {toNowhere, w}, {toNowhere, w}, {toNowhere, w},
    {toBattery, w}, {toSpeed, w},
    {toNowhere, w},
};

constexpr int LayoutSize(std::span<const TField> layout) {
    int n = 0;
    for (const TField& f : layout)
        n += f.Size;
    return n;
}
static_assert(LayoutSize(kStatusLayout) == TRawMeasures::kStatusSize);
static_assert(LayoutSize(kStatusMinLayout) == TRawMeasures::kStatusMinSize);
static_assert(LayoutSize(kStatusExtLayout) == TRawMeasures::kStatusExtSize);

} // namespace

TRawMeasures::TRawMeasures() {
    Slot[slotEngineState] = kNoState;
    Slot[slotPetrolMode] = kNoState;
    Slot[slotChangeover] = 160;
    Slot[slotPetrolActive] = 255;
    Slot[slotGasActive] = 255;
}

void TRawMeasures::Clear() {
    EngineSpeed = 0;
    const auto zero = [this](int from, int to) {
        for (int s = from; s <= to; ++s)
            Slot[static_cast<std::size_t>(s)] = 0;
    };
    zero(0, 7);
    zero(9, 10);
    zero(12, 37);
    zero(40, 49);
    zero(51, 52);
}

namespace {

void Decode(TByteQueue& q, const QByteArray& data, std::span<const TField> layout, TRawMeasures& r) {
    q.ResetFromData(data);
    // Once a field does not fit, no later field is read: a byte field after a word that
    // was cut in half would otherwise take that word's first byte as its own value.
    bool cut = false;
    for (const TField& f : layout) {
        int* target = nullptr;
        int discarded = 0;
        if (f.Target == toSpeed)
            target = &r.EngineSpeed;
        else if (f.Target == toBattery)
            target = &r.Battery;
        else if (f.Target == toNowhere)
            target = &discarded;
        else
            target = &r.Slot[static_cast<std::size_t>(f.Target)];
        if (f.Preset >= 0)
            *target = f.Preset;
        // A read that finds too few bytes leaves the target alone: a short reply keeps the
        // previous values of everything it does not reach.
        if (cut)
            continue;
        const bool read = f.Size == 1 ? q.ReadByte(*target) : q.ReadWord(*target);
        cut = !read;
        if (read && f.NoSignalIsZero && *target == 0xFFFF)
            *target = 0;
    }
}

} // namespace

void TRawMeasures::DecodeStatus(const QByteArray& data) {
    Decode(m_queue, data, kStatusLayout, *this);
    // The standard reply has no solenoid flag: the solenoid is open when not on petrol.
    Slot[slotSolenoid] = Slot[slotPetrolMode] == 0 ? 1 : 0;
}

void TRawMeasures::DecodeStatusMin(const QByteArray& data) {
    Decode(m_queue, data, kStatusMinLayout, *this);
}

void TRawMeasures::DecodeStatusExt(const QByteArray& data) {
    Decode(m_queue, data, kStatusExtLayout, *this);
}

} // namespace ambrel
