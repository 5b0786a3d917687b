// Default values of the configuration: the reset, the default setters of each group, the
// built-in maps, curves and tables, and the pressure correction generator.

#include "configuration.h"

#include "link/bytequeue.h"

#include <QDate>
#include <algorithm>
#include <cmath>

namespace ambrel {

namespace {

using TInjectionTable = std::array<std::array<double, 9>, 12>;

// The built-in injection maps, rows from the lowest load to the highest, columns 500 to
// 6000 rpm. Slave ratios rise over the first rows to their peak at row 3 to 5 and fall to
// the highest load; Compensated gas times (ms) rise with load in every column.
constexpr TInjectionTable kSlaveCngAspirated = {{
    {1.18, 1.19, 1.23, 1.25, 1.28, 1.30, 1.33, 1.34, 1.35},
    {1.22, 1.23, 1.25, 1.27, 1.31, 1.32, 1.31, 1.32, 1.33},
    {1.23, 1.24, 1.27, 1.29, 1.32, 1.33, 1.29, 1.29, 1.30},
    {1.21, 1.22, 1.28, 1.30, 1.33, 1.34, 1.25, 1.26, 1.27},
    {1.18, 1.19, 1.25, 1.27, 1.30, 1.31, 1.22, 1.23, 1.24},
    {1.15, 1.16, 1.22, 1.24, 1.26, 1.26, 1.18, 1.19, 1.20},
    {1.12, 1.13, 1.18, 1.20, 1.22, 1.22, 1.14, 1.15, 1.16},
    {1.08, 1.10, 1.15, 1.16, 1.17, 1.17, 1.10, 1.11, 1.12},
    {1.05, 1.06, 1.10, 1.11, 1.12, 1.11, 1.06, 1.06, 1.07},
    {1.01, 1.03, 1.06, 1.07, 1.07, 1.06, 1.01, 1.02, 1.03},
    {0.97, 0.99, 1.02, 1.02, 1.01, 1.00, 0.97, 0.97, 0.98},
    {0.93, 0.95, 0.97, 0.97, 0.96, 0.94, 0.92, 0.92, 0.93},
}};
constexpr TInjectionTable kSlaveLpgAspirated = {{
    {1.03, 1.05, 1.06, 1.09, 1.10, 1.11, 1.14, 1.15, 1.16},
    {1.06, 1.08, 1.08, 1.11, 1.12, 1.14, 1.16, 1.17, 1.18},
    {1.07, 1.09, 1.10, 1.13, 1.14, 1.15, 1.18, 1.19, 1.20},
    {1.05, 1.07, 1.10, 1.14, 1.15, 1.16, 1.19, 1.20, 1.22},
    {1.02, 1.04, 1.08, 1.11, 1.12, 1.14, 1.19, 1.21, 1.22},
    {0.99, 1.01, 1.05, 1.08, 1.09, 1.11, 1.17, 1.18, 1.19},
    {0.97, 0.98, 1.02, 1.04, 1.06, 1.07, 1.13, 1.14, 1.16},
    {0.93, 0.95, 0.98, 1.01, 1.02, 1.04, 1.09, 1.10, 1.12},
    {0.90, 0.92, 0.95, 0.97, 0.98, 1.00, 1.04, 1.06, 1.08},
    {0.87, 0.88, 0.91, 0.93, 0.94, 0.96, 1.00, 1.02, 1.04},
    {0.84, 0.85, 0.87, 0.88, 0.90, 0.92, 0.95, 0.97, 1.00},
    {0.80, 0.81, 0.83, 0.84, 0.86, 0.88, 0.90, 0.92, 0.95},
}};
constexpr TInjectionTable kSlaveCngSupercharged = {{
    {0.82, 0.83, 0.84, 0.85, 0.85, 0.86, 0.87, 0.87, 0.88},
    {0.87, 0.89, 0.88, 0.89, 0.90, 0.91, 0.91, 0.91, 0.93},
    {0.89, 0.91, 0.91, 0.93, 0.93, 0.95, 0.95, 0.95, 0.96},
    {0.89, 0.90, 0.92, 0.94, 0.95, 0.96, 0.97, 0.98, 0.99},
    {0.88, 0.89, 0.92, 0.93, 0.94, 0.95, 0.98, 0.98, 1.00},
    {0.87, 0.88, 0.91, 0.92, 0.93, 0.94, 0.97, 0.97, 0.99},
    {0.86, 0.87, 0.90, 0.91, 0.92, 0.93, 0.95, 0.96, 0.97},
    {0.85, 0.86, 0.88, 0.90, 0.90, 0.91, 0.93, 0.94, 0.95},
    {0.84, 0.85, 0.87, 0.89, 0.89, 0.90, 0.91, 0.92, 0.93},
    {0.83, 0.84, 0.86, 0.88, 0.88, 0.88, 0.89, 0.90, 0.91},
    {0.82, 0.83, 0.84, 0.86, 0.86, 0.87, 0.87, 0.88, 0.88},
    {0.81, 0.82, 0.83, 0.85, 0.85, 0.85, 0.85, 0.86, 0.86},
}};
constexpr TInjectionTable kSlaveLpgSupercharged = {{
    {0.92, 0.92, 0.92, 0.97, 0.99, 1.00, 1.01, 1.03, 1.05},
    {0.99, 1.00, 0.98, 1.03, 1.06, 1.07, 1.07, 1.09, 1.12},
    {1.02, 1.03, 1.02, 1.08, 1.11, 1.13, 1.12, 1.14, 1.17},
    {1.01, 1.02, 1.04, 1.10, 1.13, 1.14, 1.15, 1.18, 1.21},
    {0.99, 1.00, 1.02, 1.08, 1.10, 1.12, 1.16, 1.19, 1.22},
    {0.97, 0.97, 1.00, 1.05, 1.07, 1.09, 1.14, 1.16, 1.19},
    {0.94, 0.95, 0.97, 1.02, 1.04, 1.05, 1.10, 1.13, 1.15},
    {0.92, 0.93, 0.95, 0.99, 1.01, 1.02, 1.06, 1.09, 1.11},
    {0.89, 0.90, 0.92, 0.95, 0.97, 0.98, 1.02, 1.05, 1.06},
    {0.87, 0.87, 0.89, 0.92, 0.93, 0.94, 0.98, 1.00, 1.01},
    {0.84, 0.85, 0.86, 0.88, 0.89, 0.89, 0.94, 0.96, 0.96},
    {0.81, 0.82, 0.83, 0.84, 0.85, 0.85, 0.89, 0.91, 0.91},
}};
constexpr TInjectionTable kCompCng = {{
    {2.97, 3.30, 4.10, 4.23, 4.63, 4.63, 4.93, 4.93, 5.00},
    {3.52, 4.00, 4.78, 4.99, 5.39, 5.40, 5.79, 5.86, 5.95},
    {4.15, 4.81, 5.56, 5.87, 6.26, 6.29, 6.77, 6.91, 7.04},
    {4.81, 5.65, 6.38, 6.79, 7.18, 7.22, 7.80, 8.03, 8.19},
    {5.50, 6.53, 7.23, 7.74, 8.13, 8.18, 8.87, 9.18, 9.38},
    {6.20, 7.43, 8.10, 8.71, 9.10, 9.17, 9.97, 10.37, 10.60},
    {6.92, 8.35, 8.99, 9.71, 10.09, 10.17, 11.09, 11.57, 11.84},
    {7.65, 9.28, 9.90, 10.72, 11.10, 11.20, 12.23, 12.80, 13.11},
    {8.39, 10.23, 10.81, 11.75, 12.13, 12.24, 13.38, 14.05, 14.39},
    {9.14, 11.18, 11.74, 12.79, 13.16, 13.29, 14.55, 15.31, 15.69},
    {9.90, 12.15, 12.68, 13.84, 14.21, 14.36, 15.74, 16.58, 17.00},
    {10.67, 13.13, 13.63, 14.90, 15.27, 15.43, 16.93, 17.87, 18.33},
}};
constexpr TInjectionTable kCompLpg = {{
    {3.87, 3.87, 4.07, 4.07, 4.07, 4.43, 4.50, 4.60, 4.70},
    {4.64, 4.70, 4.96, 5.03, 5.18, 5.53, 5.65, 5.84, 5.97},
    {5.52, 5.65, 5.99, 6.12, 6.46, 6.80, 6.97, 7.27, 7.41},
    {6.45, 6.66, 7.06, 7.28, 7.80, 8.13, 8.36, 8.77, 8.94},
    {7.41, 7.69, 8.18, 8.47, 9.18, 9.50, 9.79, 10.32, 10.52},
    {8.39, 8.76, 9.32, 9.70, 10.61, 10.92, 11.26, 11.91, 12.14},
    {9.39, 9.84, 10.49, 10.95, 12.06, 12.36, 12.77, 13.53, 13.79},
    {10.41, 10.94, 11.67, 12.22, 13.53, 13.82, 14.29, 15.18, 15.47},
    {11.45, 12.06, 12.88, 13.51, 15.03, 15.31, 15.84, 16.86, 17.17},
    {12.50, 13.20, 14.09, 14.82, 16.55, 16.81, 17.41, 18.55, 18.89},
    {13.56, 14.34, 15.33, 16.14, 18.08, 18.33, 19.00, 20.27, 20.64},
    {14.63, 15.50, 16.57, 17.47, 19.63, 19.87, 20.60, 22.00, 22.40},
}};

constexpr std::array<int, 9> kRpmAxis = {500, 1000, 1500, 2000, 2500, 3000, 4000, 5000, 6000};
constexpr std::array<double, 12> kMapAxisAspirated = {200, 300, 350, 400, 450, 500, 550, 600, 700, 800, 900, 1050};
constexpr std::array<double, 12> kMapAxisSupercharged = {200, 300, 350, 400, 450, 500,
                                                         600, 800, 1100, 1300, 1500, 1700};
constexpr std::array<double, 12> kSlavePetrolAxis = {2, 2.5, 3, 4, 5, 6, 8, 10, 12, 14, 16, 18};

// Gas flow through the reducer at 200, 250, ..., 3000 mbar (57 points).
constexpr std::array<int, 57> kFlow = {
    448,  501,  553,  594,  634,  669,  704,  737,  770,  798,  825,  850,  874,  896,  918,  942,  965,  988,  1010,
    1032, 1054, 1075, 1096, 1117, 1137, 1160, 1182, 1203, 1223, 1243, 1263, 1283, 1302, 1325, 1347, 1368, 1388, 1412,
    1435, 1456, 1477, 1497, 1517, 1536, 1554, 1574, 1593, 1611, 1629, 1647, 1664, 1681, 1698, 1717, 1736, 1755, 1773,
};

constexpr std::array<int, 11> kInjectorPressures = {1200, 1500, 1700, 2000, 2200, 2500, 2700, 2900, 3000, 3200, 3500};
constexpr std::array<std::array<double, 11>, 8> kInjectorOpening = {{
    {3.70, 3.70, 3.77, 4.08, 4.27, 4.39, 4.56, 4.64, 4.73, 4.99, 5.23},
    {3.38, 3.38, 3.48, 3.67, 3.77, 3.98, 4.13, 4.20, 4.27, 4.56, 4.70},
    {3.14, 3.14, 3.26, 3.41, 3.50, 3.60, 3.72, 3.79, 3.86, 4.18, 4.18},
    {2.93, 2.93, 3.05, 3.19, 3.26, 3.36, 3.46, 3.53, 3.60, 3.84, 3.89},
    {2.81, 2.81, 2.88, 3.00, 3.07, 3.14, 3.24, 3.28, 3.31, 3.65, 3.70},
    {2.64, 2.64, 2.69, 2.81, 2.88, 2.98, 3.05, 3.10, 3.14, 3.46, 3.41},
    {2.52, 2.52, 2.57, 2.69, 2.74, 2.83, 2.88, 2.90, 2.93, 3.22, 3.22},
    {2.40, 2.40, 2.45, 2.57, 2.64, 2.74, 2.76, 2.81, 2.86, 3.07, 2.98},
}};

constexpr std::array<int, 14> kSensorTemperatures = {-20, -10, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110};
constexpr std::array<double, 14> kSensorTemperatureVolts = {4.1,  3.61, 3.03, 2.42, 1.85, 1.37, 1.0,
                                                            0.72, 0.52, 0.38, 0.28, 0.21, 0.16, 0.12};
constexpr std::array<double, 14> kSensorMap = {200, 300, 400, 500, 600, 700, 800, 900, 1000, 1200, 1500, 2000, 2200, 2500};
constexpr std::array<double, 14> kSensorMapVolts = {0.2, 0.4, 0.6, 0.8, 1.0, 1.2, 1.4, 1.6, 1.8, 2.2, 2.8, 3.8, 4.2, 4.8};
constexpr std::array<double, 14> kSensorPressure = {200,  400,  600,  800,  1000, 1200, 1400,
                                                    1600, 1800, 2000, 2200, 2500, 3000, 4000};
constexpr std::array<double, 14> kSensorPressureVolts = {0.2,  0.44, 0.68, 0.93, 1.17, 1.41, 1.65,
                                                         1.89, 2.14, 2.38, 2.62, 2.98, 3.59, 4.8};

// Halves to the even integer, as every rounding of the configuration unless it says otherwise.
double Nearest(double x) {
    return std::nearbyint(x);
}

template <class A, class B>
void CopyInto(A& target, const B& source) {
    std::copy(source.begin(), source.end(), target.begin());
}

} // namespace

void TConfiguration::ApplyDefaults(int fuel, bool supercharged, const QString& untitledName) {
    FileName = untitledName;
    Supercharged = supercharged;
    SetMapDefaults(fuel, supercharged);
    RiferimentoSondaLambda.fill(0.45);
    Carichi_Emulazione = {5, 10, 15, 20};
    for (size_t i = 0; i < Giri_Emulazione.size(); ++i)
        Giri_Emulazione[i] = 500 * static_cast<int>(i + 1);
    for (auto& row : Ritardi_Emulazione)
        row.fill(0);
    SetReducerTempDefaults(fuel);
    SetGasTempDefaults(fuel);
    TemperaturaCicchetto = {0, 10, 20, 30, 40, 50};
    TempoCicchetto.fill(0);
    LivelloGas = {1, 2, 3, 4};

    CurrentBank = 1;
    Fuel = fuel;
    Cylinders = 4;
    Banks = 1;
    Reducer = fuel == fuelCNG ? 0 : 2;
    SetReducerDefaults(Reducer);

    RPMSource = 1;
    PulsesPerRev = 1;
    LambdaType = 1;
    LevelSensor = fuel == fuelCNG ? 3 : 0;
    MAPSensor = 1;
    PressureSensor = 1;
    WaterTempSensor = 0;
    TPSType = 1;
    SwitchCondition = 0;
    SwitchRPM = 1800;
    SwitchTemperature = 30;
    SwitchTemperatureSource = 1;
    SwitchStartupDelay = 25;
    SwitchFillupDelay = 3.5;
    SwitchOverlapDelay = 0;
    BackupLowLevel = true;
    BackupLowPress = true;
    BackupLowTemp = true;
    BackupIdle = false;
    BackupFullThrottle = false;
    Buzzer = true;
    BackupDelay = 1;
    BackupLowTempDelay = 1.0;
    BackupLowTempTime = 30;
    BackupIdleRevs = 1500;
    BackupIdleTime = 3;
    BackupFullThrottleRevs = 4000;
    BackupFullThrottleTime = 12.0;
    BackupFullThrottleMAP = 700;
    InjectorType = 0;
    InjectorsResistance = 3.5;
    PeakTime = 4;
    HoldCurrent = 1.0;
    MinOpenTime = 2.7;
    SetInjectorOpeningDefaults();

    SetLambdaDefaults(StrategyFlag);
    EmulationHigh = 0.8;
    EmulationLow = 0.1;
    AdaptLeanThreshold = 0.2;
    AdaptRichThreshold = 0.7;
    CarMake.clear();
    CarModel.clear();
    ConfigDate = QStringLiteral("000000");

    SetAccelerationDefaults(supercharged ? 1 : 0);
    TPSCutOff = false;
    TPSFallTime = 1.0;
    TPSRPMThreshold = 1500;
    TPSThreshold = 1.0;
    TPShisteresys = 0.3;
    ExtraInjection = 0;
    SlaveDelay6000 = 0.1;
    SlaveDelayIdle = 3;
    FullGroupFilter = 5;
    Smoothness = 30;
    PressureSamples = 100;
    VbatThresholdForStall = 13.5;

    for (size_t i = 0; i < AssegnazioneIniettori.size(); ++i)
        AssegnazioneIniettori[i] = static_cast<int>(i + 1);
    SetSensorDefaults();
    SetAdaptivityDefaults(StrategyFlag);
}

void TConfiguration::SetLambdaDefaults(int strategy) {
    LambdaEmulation = FuelTrim = OpenLoop = (strategy == strategyCompensated);
    MinSamplingPeriod = 20;
    MaxSamplingPeriod = 30;
    OpenLoopDelay = 1;
    OpenLoopRevs = 1500;
    OpenLoopMAP = static_cast<int>(Nearest(MAP_Comp[9]));
    if (strategy == strategyCompensated) {
        Offset = 0;
        IntegralRich = 1.5;
        IntegralLean = 1.0;
    } else if (strategy == strategySlave) {
        Offset = Supercharged ? 1.0 : 0.8;
        IntegralRich = 0;
        IntegralLean = 0;
    } else {
        return;
    }
    ProportionalRich = ProportionalLean = 0;
}

void TConfiguration::SetAccelerationDefaults(int supercharged) {
    AccelerationControl = false;
    MAPcorrection = 0;
    MAPduration = 1000;
    MAPrecovery = 500;
    if (supercharged == 0) {
        MAPgradient = 1000;
        MAPthreshold = 500;
    } else if (supercharged == 1) {
        MAPgradient = 1500;
        MAPthreshold = 1000;
    }
}

void TConfiguration::SetAdaptivityDefaults(int strategy) {
    Acquire = AdaptivePetrol = AdaptiveSlave = false;
    AdaptiveGas = (strategy == strategyCompensated);
    if (strategy == strategySlave) {
        AdaptMinRevs = Giri_Slave[2];
        AdaptMaxRevs = Giri_Slave[8];
    } else if (strategy == strategyCompensated) {
        AdaptMinRevs = Giri_Comp[0];
        AdaptMaxRevs = Giri_Comp[8];
    }
    AdaptMinTime = TempiBenzina_Slave[0];
    AdaptMaxTime = TempiBenzina_Slave[7];
    AdaptMinMAP = MAP_Comp[0];
    AdaptMaxMAP = MAP_Comp[9];
    AdaptClipTime = 10;
    AdaptCorrectionSlave = 2;
    AdaptCorrectionComp = 1;
}

void TConfiguration::SetReducerDefaults(int reducerType) {
    static constexpr double kNominal[] = {1800, 900, 1200, 1700};
    if (reducerType < 0 || reducerType > 3)
        return;
    BuildPressureCorrection(kNominal[reducerType]);
}

void TConfiguration::SetMapDefaults(int fuel, bool supercharged) {
    if (StrategyFlag == strategyCompensated)
        Offset = 0;
    else
        Offset = supercharged ? 1.0 : 0.8;
    Giri_Slave = Giri_Benzina = Giri_Comp = kRpmAxis;
    MAP_Benzina = MAP_Comp = supercharged ? kMapAxisSupercharged : kMapAxisAspirated;
    TempiBenzina_Slave = kSlavePetrolAxis;
    const bool cng = fuel == fuelCNG;
    const TInjectionTable& slave = supercharged ? (cng ? kSlaveCngSupercharged : kSlaveLpgSupercharged)
                                                : (cng ? kSlaveCngAspirated : kSlaveLpgAspirated);
    Rapporti_Slave_banco1 = Rapporti_Slave_banco2 = slave;
    TempiGas_Comp_banco1 = TempiGas_Comp_banco2 = cng ? kCompCng : kCompLpg;
    for (auto* map : {&Benzina_banco1, &Benzina_banco2})
        for (auto& row : *map)
            row.fill(0);
}

void TConfiguration::SetReducerTempDefaults(int fuel) {
    if (fuel != fuelCNG && fuel != fuelLPG)
        return;
    TemperaturaRiduttore = {0, 10, 20, 30, 40, 50, 60, 80, 100};
    CorrTemperaturaRiduttore = {-17, -14, -10, -7, -5, -4, -3, 0, 0};
}

void TConfiguration::SetGasTempDefaults(int fuel) {
    if (fuel != fuelCNG && fuel != fuelLPG)
        return;
    TemperaturaGas = {-10, 0, 10, 20, 30, 40, 50, 60, 80};
    CorrTemperaturaGas = {-19, -15, -11, -7, -3, 0, 3, 6, 11};
}

void TConfiguration::SetInjectorOpeningDefaults() {
    PressioneIniettori = kInjectorPressures;
    for (size_t i = 0; i < TensioneIniettori.size(); ++i)
        TensioneIniettori[i] = 9.0 + static_cast<double>(i);
    TempoAperturaIniettori = kInjectorOpening;
}

void TConfiguration::SetSensorDefaults() {
    SensoriTempGas = SensoriTempAcqua = kSensorTemperatures;
    SensoriVTempGas = SensoriVTempAcqua = kSensorTemperatureVolts;
    SensoriMAP = kSensorMap;
    SensoriVMAP = kSensorMapVolts;
    SensoriPressione = kSensorPressure;
    SensoriVPressione = kSensorPressureVolts;
}

// The correction of the injection time over the gas pressure for a reducer of nominal
// pressure P: the breakpoints crowd round P, and each correction makes up for the flow
// at that pressure against the flow at P. Outside the flow table's 200..3000 mbar the
// square root of the pressure ratio stands in for the flow.
//
// A nominal pressure of 600 mbar or less (a measured pressure can be that low) puts the
// lowest breakpoints at 0 or below, where the pressure ratio has no value: those
// breakpoints are held at 0 mbar with a correction of 100 %, which the image stores as
// its largest correction, as it does with the corrections above 99 % that the lowest
// breakpoints already get at 700 mbar. A nominal pressure of 0 or less changes nothing.
void TConfiguration::BuildPressureCorrection(double nominalMbar) {
    const double p = nominalMbar;
    if (!std::isfinite(p) || p <= 0)
        return; // no pressure to correct towards: the curve stays as it is

    const double d = RoundToStep(Nearest(0.4 * p), 50);
    const double n = Nearest((p - d - 550) / 50);
    std::array<double, 15> bp{};
    for (int i = 1; i <= 13; ++i)
        bp[static_cast<size_t>(i)] = i < n ? d + 100.0 * i : p - 50.0 * (11 - i);
    bp[0] = bp[1] - 100;
    bp[14] = p + 200;
    const auto flowIndex = [](double pressure) {
        return std::clamp(static_cast<int>(Nearest((pressure - 200) / 50)), 0, static_cast<int>(kFlow.size()) - 1);
    };
    const bool inTable = bp[0] >= 200 && bp[14] <= 3000;
    for (size_t i = 0; i < 15; ++i) {
        double correction = 0;
        if (bp[i] <= 0) {
            bp[i] = 0;
            correction = 100;
        } else if (inTable) {
            const double f = kFlow[static_cast<size_t>(flowIndex(p))];
            correction = Nearest((f / kFlow[static_cast<size_t>(flowIndex(bp[i]))] - 1) * 100);
        } else {
            correction = Nearest((std::sqrt(p / bp[i]) - 1) * 100);
        }
        PressioneGas[i] = bp[i];
        CorrPressioneGas[i] = correction;
    }
}

void TConfiguration::BuildFileName(const QString& compensatedWord) {
    if (ConfigDate == QLatin1String("000000"))
        return;
    QString name = CarModel;
    for (const QChar c : {u'\\', u'/', u':', u'*', u'?', u'<', u'>', u'|'})
        name.replace(c, QLatin1Char(' '));
    if (StrategyFlag == strategyCompensated)
        name += QLatin1Char(' ') + compensatedWord;
    name += QStringLiteral(" 20") + ConfigDate.mid(4, 2) + QLatin1Char('-') + ConfigDate.mid(2, 2) +
            QLatin1Char('-') + ConfigDate.mid(0, 2) + QStringLiteral(".cfg");
    FileName = name;
}

} // namespace ambrel
