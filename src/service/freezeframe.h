#pragma once
// The freeze frame: the engine's state that the ECU stored with the last fault it
// recorded, as the answer to cmdReadFreezeFrame carries it, and the lines the diagnostics
// views show for it.

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace ambrel {

// One field per value of the record, in record order. A field the answer does not reach
// stays empty: a short answer shows what it holds and nothing made up after it.
struct TFreezeFrame {
    std::optional<int> TroubleCode;
    std::optional<int> EngineSpeed;       // rpm
    std::optional<int> WaterTemperature;  // raw: value / 4 - 20 is degC
    std::optional<int> GasTemperature;    // raw, as the water temperature
    std::optional<int> GasPressure;       // mbar
    std::optional<int> Map;               // mbar
    std::optional<int> Lambda[2];         // raw byte, scaled by the lambda probe type
    std::optional<int> FuelTrim[2];       // raw: (x / 32768 - 1) x 100 is percent
    std::optional<int> PetrolTime[2];     // microseconds
    std::optional<int> GasTime[2];        // microseconds
    std::optional<int> GasLevel;          // raw: x x 100 / 255 is percent
    std::optional<int> EngineState;
    std::optional<int> PowerMode;
    std::optional<quint32> SystemTime;    // ticks of 10.24 ms
    std::optional<int> Fuel;              // 0 gas, otherwise petrol

    // True when the ECU has a freeze frame stored (its trouble code is not 0).
    bool Stored() const { return TroubleCode.value_or(0) != 0; }
};

TFreezeFrame ParseFreezeFrame(const QByteArray& data);

// The lambda probe's voltage for the raw byte, by the configured probe type (0 None,
// 1 "0 - 1 Volt", 2 "0 - 5 Volt", 3 "5 - 0 Volt", 4 "0.8 - 1.6 Volt", 5 as the ECU reports
// an inverted 1 - 4 V probe). Types the configuration does not know read as 0 - 1 V.
double LambdaVoltage(int raw, int lambdaType);

// "Error code: P3391", "Engine's rev [RPM]: 1726", ... or the one line
// "No freeze-frame data stored." when the ECU has none.
QStringList FreezeFrameLines(const TFreezeFrame& frame, int lambdaType);

} // namespace ambrel
