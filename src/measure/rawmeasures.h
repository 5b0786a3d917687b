#pragma once
// TRawMeasures: the ECU's live status as it came off the wire, before any scaling. The
// three status replies fill one record of 66 numbered slots plus the engine-speed and
// battery words; each reply carries only some of the slots, the others keep what an
// earlier reply put there. The layouts of the replies are tables of fields (below), read
// through a TByteQueue, so a reply that is cut short updates its leading fields only.

#include "link/bytequeue.h"

#include <QByteArray>

#include <array>

namespace ambrel {

class TRawMeasures {
public:
    static constexpr int kSlotCount = 66;
    // Data sizes (after the reply code) of the three status replies.
    static constexpr int kStatusSize = 121;
    static constexpr int kStatusMinSize = 48;
    static constexpr int kStatusExtSize = 34;
    // "No engine state" in slot 50; also the start value of slot 38 (starts on petrol).
    static constexpr int kNoState = 0xFFFF;

    // Slots of general use, named.
    enum TSlot : int {
        slotSupply = 8,
        slotReducerTemp = 9,
        slotGasTemp = 10,
        slotTankLevel = 11,
        slotLambda1 = 30,
        slotLambda2 = 31,
        slotGasPressure = 32,
        slotGasPressure2 = 33,
        slotFuelTrim1 = 36,
        slotFuelTrim2 = 37,
        slotPetrolMode = 38,
        slotChangeover = 39,
        slotMap = 40,
        slotLambdaReference = 41,
        slotEmulated1 = 47,
        slotEmulated2 = 48,
        slotTps = 49,
        slotEngineState = 50,
        slotMapCorrection = 51,
        slotLevelSender = 52,
        slotSolenoid = 61,
        slotPetrolActive = 62,
        slotGasActive = 63,
        slotDelay = 64,
    };
    static constexpr int kPetrolTimeSlot = 0;      // 0..7: petrol time, channels 1..8, µs
    static constexpr int kInjectorCurrentSlot = 12; // 12..19
    static constexpr int kGasTimeSlot = 22;         // 22..29: gas time per cylinder channel, µs
    static constexpr int kGasInjectorTimeSlot = 53; // 53..60: gas time per gas injector A..H, µs

    TRawMeasures();

    // Zeroes what an acquisition mode refreshes on every poll, so a new acquisition does
    // not start with stale values: the engine-speed word and slots 0-7, 9, 10, 12-37,
    // 40-49, 51 and 52. The battery word and the state slots keep their values.
    void Clear();

    // Each is given the data part of a reply (the bytes after its 16-bit reply code).
    void DecodeStatus(const QByteArray& data);
    void DecodeStatusMin(const QByteArray& data);
    void DecodeStatusExt(const QByteArray& data);

    int EngineSpeed = 0; // rpm
    int Battery = 0;     // hundredths of a volt
    std::array<int, kSlotCount> Slot{};

private:
    TByteQueue m_queue;
};

} // namespace ambrel
