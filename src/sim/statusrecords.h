#pragma once
// The live status answers of the ECU, built from one engine snapshot: the standard
// record (121 bytes), the short record (48 bytes), the petrol-times record (34 bytes) and
// the 32-byte table of the last sixteen injections. The raw values sit in numbered slots,
// the same numbering the workbench decodes them into.

#include "enginemodel.h"

#include <QByteArray>

#include <array>

namespace ambrel::sim {

inline constexpr int kSlotCount = 66;
inline constexpr int kStatusSize = 121;
inline constexpr int kStatusMinSize = 48;
inline constexpr int kStatusExtSize = 34;
inline constexpr int kInjectionTableSize = 32;

// Raw units: rpm, hundredths of a volt, µs, 0.25 °C from -20 °C, mbar, 8-bit ADC counts
// for a 0-1 V lambda probe and a 0-5 V throttle sensor, 32768 = 0 % fuel trim.
struct TEngineRaw {
    int RpmWord = 0;
    int BatteryWord = 0;
    std::array<int, kSlotCount> Slot{};
    int Cylinders = 4;
};

TEngineRaw RawMeasures(const TEngineValues& values);

QByteArray StatusRecord(const TEngineRaw& raw);
QByteArray StatusMinRecord(const TEngineRaw& raw);
// Channels without a cylinder carry 0xFFFF (no signal) in this record.
QByteArray StatusExtRecord(const TEngineRaw& raw);
// Sixteen injector channels (0 = channel 1), then sixteen injection times in units of
// 1.36 ms from a free-running 8-bit counter, oldest first.
QByteArray InjectionTable(const TEngineValues& values);

// ADC scalings shared with the test-mode analog readings.
inline constexpr double kInjectorCurrentScale = 5.0 * 1.6889 / 1024.0; // A per count
inline constexpr double kLevelSensorScale = 5.0 * 1.1 / 1023.0;        // V per count
inline constexpr double kSupplyCountsPerVolt = 102.3;
inline constexpr double kInjectionTick = 1.36; // ms per count of the injection table

} // namespace ambrel::sim
