// The scalar parameters as a table: their names (as pages, files and the command line
// show them), units and editing bounds.

#include "configuration.h"

namespace ambrel {

namespace {
using C = TConfiguration;
} // namespace

// Bounds are those of the editing controls as shipped. Where the pages set them at run
// time, the widest range that one image byte can carry is used here.
const QList<TParameterInfo>& ParameterTable() {
    static const QList<TParameterInfo> table = {
        {"Fuel", "", &C::Fuel, 0, 1},
        {"Cylinders", "", &C::Cylinders, 2, 8},
        {"RPMSource", "", &C::RPMSource, 0, 2},
        {"PulsesPerRev", "", &C::PulsesPerRev, 1, 255},
        {"Reducer", "", &C::Reducer, 0, 3},
        {"LambdaType", "", &C::LambdaType, 0, 5},
        {"Banks", "", &C::Banks, 1, 2},
        {"LevelSensor", "", &C::LevelSensor, 0, 6},
        {"MAPSensor", "", &C::MAPSensor, 0, 2},
        {"PressureSensor", "", &C::PressureSensor, 0, 2},
        {"WaterTempSensor", "", &C::WaterTempSensor, 0, 1},
        {"TPSType", "", &C::TPSType, 0, 2},
        {"SwitchCondition", "", &C::SwitchCondition, 0, 4},
        {"SwitchRPM", "rpm", &C::SwitchRPM, 500, 4000},
        {"SwitchTemperature", "degC", &C::SwitchTemperature, 0, 100},
        {"SwitchTemperatureSource", "", &C::SwitchTemperatureSource, 0, 1},
        {"SwitchStartupDelay", "s", &C::SwitchStartupDelay, 0, 765},
        {"SwitchFillupDelay", "s", &C::SwitchFillupDelay, 0, 5},
        {"SwitchOverlapDelay", "ms", &C::SwitchOverlapDelay, 0, 250},
        {"BackupLowLevel", "", &C::BackupLowLevel, 0, 1},
        {"BackupLowPress", "", &C::BackupLowPress, 0, 1},
        {"BackupLowTemp", "", &C::BackupLowTemp, 0, 1},
        {"BackupIdle", "", &C::BackupIdle, 0, 1},
        {"BackupFullThrottle", "", &C::BackupFullThrottle, 0, 1},
        {"Buzzer", "", &C::Buzzer, 0, 1},
        {"Flag7", "", &C::Flag7, 0, 1},
        {"BackupDelay", "s", &C::BackupDelay, 0, 3},
        {"BackupLowTempDelay", "s", &C::BackupLowTempDelay, 0, 3},
        {"BackupLowTempTime", "s", &C::BackupLowTempTime, 0, 60},
        {"BackupIdleRevs", "rpm", &C::BackupIdleRevs, 0, 4000},
        {"BackupIdleTime", "s", &C::BackupIdleTime, 0, 60},
        {"BackupFullThrottleRevs", "rpm", &C::BackupFullThrottleRevs, 0, 8000},
        {"BackupFullThrottleTime", "ms", &C::BackupFullThrottleTime, 0, 32.64},
        {"BackupFullThrottleMAP", "mbar", &C::BackupFullThrottleMAP, 0, 2550},
        {"Offset", "ms", &C::Offset, 0, 25.5},
        {"InjectorType", "", &C::InjectorType, -1, 4},
        {"InjectorsResistance", "ohm", &C::InjectorsResistance, 0, 25.5},
        {"PeakTime", "ms", &C::PeakTime, 0, 255},
        {"HoldCurrent", "A", &C::HoldCurrent, 0, 2.55},
        {"MinOpenTime", "ms", &C::MinOpenTime, 0, 25.5},
        {"LambdaEmulation", "", &C::LambdaEmulation, 0, 1},
        {"EmulationHigh", "V", &C::EmulationHigh, 0, 1},
        {"EmulationLow", "V", &C::EmulationLow, 0, 1},
        {"FuelTrim", "", &C::FuelTrim, 0, 1},
        {"IntegralRich", "%", &C::IntegralRich, 0, 7.78},
        {"IntegralLean", "%", &C::IntegralLean, 0, 7.78},
        {"ProportionalRich", "", &C::ProportionalRich, 0, 25},
        {"ProportionalLean", "", &C::ProportionalLean, 0, 25},
        {"MinSamplingPeriod", "ms", &C::MinSamplingPeriod, 0, 255},
        {"MaxSamplingPeriod", "ms", &C::MaxSamplingPeriod, 0, 255},
        {"OpenLoop", "", &C::OpenLoop, 0, 1},
        {"OpenLoopRevs", "rpm", &C::OpenLoopRevs, 0, 8000},
        {"OpenLoopMAP", "mbar", &C::OpenLoopMAP, 0, 2500},
        {"OpenLoopDelay", "s", &C::OpenLoopDelay, 0, 25},
        {"AccelerationControl", "", &C::AccelerationControl, 0, 1},
        {"MAPcorrection", "%", &C::MAPcorrection, -50, 50},
        {"MAPduration", "ms", &C::MAPduration, 0, 5100},
        {"MAPrecovery", "ms", &C::MAPrecovery, 0, 5100},
        {"MAPgradient", "mbar/s", &C::MAPgradient, 0, 2500},
        {"MAPthreshold", "mbar", &C::MAPthreshold, 0, 2500},
        {"FullGroupFilter", "%", &C::FullGroupFilter, 0, 100},
        {"TPSCutOff", "", &C::TPSCutOff, 0, 1},
        {"TPSRPMThreshold", "rpm", &C::TPSRPMThreshold, 500, 4000},
        {"TPSThreshold", "V", &C::TPSThreshold, 0, 5},
        {"TPShisteresys", "V", &C::TPShisteresys, 0, 5},
        {"TPSFallTime", "s", &C::TPSFallTime, 0, 2.5},
        {"SlaveDelay6000", "ms", &C::SlaveDelay6000, 0, 5.1},
        {"SlaveDelayIdle", "ms", &C::SlaveDelayIdle, 0, 255},
        {"ExtraInjection", "ms", &C::ExtraInjection, 0, 5},
        {"Smoothness", "%", &C::Smoothness, 0, 100},
        {"PressureSamples", "", &C::PressureSamples, 0, 100},
        {"VbatThresholdForStall", "V", &C::VbatThresholdForStall, 0, 25.5},
        {"AdaptLeanThreshold", "V", &C::AdaptLeanThreshold, 0, 5},
        {"AdaptRichThreshold", "V", &C::AdaptRichThreshold, 0, 5},
        {"Acquire", "", &C::Acquire, 0, 1},
        {"AdaptivePetrol", "", &C::AdaptivePetrol, 0, 1},
        {"AdaptiveSlave", "", &C::AdaptiveSlave, 0, 1},
        {"AdaptiveGas", "", &C::AdaptiveGas, 0, 1},
        {"AdaptClipTime", "s", &C::AdaptClipTime, 5, 25},
        {"AdaptMinRevs", "rpm", &C::AdaptMinRevs, 0, 8000},
        {"AdaptMaxRevs", "rpm", &C::AdaptMaxRevs, 0, 8000},
        {"AdaptMinTime", "ms", &C::AdaptMinTime, 2, 25.5},
        {"AdaptMaxTime", "ms", &C::AdaptMaxTime, 2, 25.5},
        {"AdaptMinMAP", "mbar", &C::AdaptMinMAP, 0, 2550},
        {"AdaptMaxMAP", "mbar", &C::AdaptMaxMAP, 0, 2550},
        {"AdaptCorrectionSlave", "%", &C::AdaptCorrectionSlave, 0, 100},
        {"AdaptCorrectionComp", "%", &C::AdaptCorrectionComp, 0, 100},
    };
    return table;
}

const TParameterInfo* FindParameter(const QString& name) {
    for (const TParameterInfo& p : ParameterTable())
        if (name == QLatin1String(p.Name))
            return &p;
    return nullptr;
}

double ParameterValue(const TConfiguration& c, const TParameterInfo& p) {
    return std::visit(
        [&c](auto field) -> double {
            return static_cast<double>(c.*field);
        },
        p.Field);
}

} // namespace ambrel
