#pragma once
// TConfiguration: the configuration of the gas ECU in engineering units, as one copyable
// value. TDataMap (datamap.h) is this value plus the bookkeeping, transfers and files; the
// value alone is what a file load builds before it replaces the current configuration,
// and what the codec (imagecodec.cpp) converts to and from the ECU image.
//
// Field names are the parameter names that the pages, the image layout and the file use.
// Integers are whole numbers, reals doubles, flags booleans; enumerations hold their code.

#include "maptypes.h"

#include <QList>
#include <QString>
#include <array>
#include <variant>

namespace ambrel {

struct RMappatura;

using TMap12x9 = std::array<std::array<double, 9>, 12>;

enum TFuel : int { fuelCNG = 0, fuelLPG = 1 };
enum TStrategyFlag : quint8 { strategySlave = 0, strategyCompensated = 1 };

struct TConfiguration {
    // 0 Slave, 1 Compensated: set from the ECU's answer or a file's tag. Several defaults,
    // the full-throttle threshold of block 2 and the file tag depend on it.
    quint8 StrategyFlag = strategySlave;

    // Bookkeeping that travels with the configuration.
    QString FileName;
    bool Supercharged = false;
    int CurrentBank = 1;

    // Identification.
    QString CarMake;
    QString CarModel;
    QString ConfigDate = QStringLiteral("000000");

    // Engine, sensors and fuel.
    int Fuel = fuelLPG;
    int Cylinders = 4;
    int RPMSource = 1;
    int PulsesPerRev = 1;
    int Reducer = 2;
    int LambdaType = 1;
    int Banks = 1;
    int LevelSensor = 0;
    int MAPSensor = 1;
    int PressureSensor = 1;
    int WaterTempSensor = 0;
    int TPSType = 1;

    // Change-over to gas.
    int SwitchCondition = 0;
    int SwitchRPM = 1800;
    int SwitchTemperature = 30;
    int SwitchTemperatureSource = 1;
    int SwitchStartupDelay = 25;
    double SwitchFillupDelay = 3.5;
    int SwitchOverlapDelay = 0;

    // Back to petrol.
    bool BackupLowLevel = true;
    bool BackupLowPress = true;
    bool BackupLowTemp = true;
    bool BackupIdle = false;
    bool BackupFullThrottle = false;
    bool Buzzer = true;
    bool Flag7 = false;
    int BackupDelay = 1;
    double BackupLowTempDelay = 1.0;
    int BackupLowTempTime = 30;
    int BackupIdleRevs = 1500;
    int BackupIdleTime = 3;
    int BackupFullThrottleRevs = 4000;
    double BackupFullThrottleTime = 12.0;
    int BackupFullThrottleMAP = 700;

    // Injectors.
    double Offset = 0.8;
    int InjectorType = 0;
    double InjectorsResistance = 3.5;
    int PeakTime = 4;
    double HoldCurrent = 1.0;
    double MinOpenTime = 2.7;

    // Lambda, fuel trim, open loop.
    bool LambdaEmulation = false;
    double EmulationHigh = 0.8;
    double EmulationLow = 0.1;
    bool FuelTrim = false;
    double IntegralRich = 0;
    double IntegralLean = 0;
    double ProportionalRich = 0;
    double ProportionalLean = 0;
    int MinSamplingPeriod = 20;
    int MaxSamplingPeriod = 30;
    bool OpenLoop = false;
    int OpenLoopRevs = 1500;
    int OpenLoopMAP = 900;
    int OpenLoopDelay = 1;

    // Acceleration, throttle cut-off, drivability.
    bool AccelerationControl = false;
    double MAPcorrection = 0;
    double MAPduration = 1000;
    double MAPrecovery = 500;
    int MAPgradient = 1000;
    int MAPthreshold = 500;
    int FullGroupFilter = 5;
    bool TPSCutOff = false;
    int TPSRPMThreshold = 1500;
    double TPSThreshold = 1.0;
    double TPShisteresys = 0.3;
    double TPSFallTime = 1.0;
    double SlaveDelay6000 = 0.1;
    int SlaveDelayIdle = 3;
    double ExtraInjection = 0;
    double Smoothness = 30;
    int PressureSamples = 100;
    double VbatThresholdForStall = 13.5;
    double AdaptLeanThreshold = 0.2;
    double AdaptRichThreshold = 0.7;

    // Adaptivity.
    bool Acquire = false;
    bool AdaptivePetrol = false;
    bool AdaptiveSlave = false;
    bool AdaptiveGas = false;
    double AdaptClipTime = 10;
    int AdaptMinRevs = 1500;
    int AdaptMaxRevs = 6000;
    double AdaptMinTime = 2;
    double AdaptMaxTime = 10;
    double AdaptMinMAP = 200;
    double AdaptMaxMAP = 900;
    double AdaptCorrectionSlave = 2;
    double AdaptCorrectionComp = 1;

    // Maps, axes and curves (row index first; both zero-based here).
    std::array<int, 9> Giri_Slave{};
    std::array<double, 12> TempiBenzina_Slave{};
    TMap12x9 Rapporti_Slave_banco1{};
    TMap12x9 Rapporti_Slave_banco2{};
    std::array<int, 9> Giri_Benzina{};
    std::array<double, 12> MAP_Benzina{};
    TMap12x9 Benzina_banco1{};
    TMap12x9 Benzina_banco2{};
    std::array<int, 9> Giri_Comp{};
    std::array<double, 12> MAP_Comp{};
    TMap12x9 TempiGas_Comp_banco1{};
    TMap12x9 TempiGas_Comp_banco2{};
    std::array<double, 9> TemperaturaRiduttore{};
    std::array<double, 9> CorrTemperaturaRiduttore{};
    std::array<double, 9> TemperaturaGas{};
    std::array<double, 9> CorrTemperaturaGas{};
    std::array<double, 15> PressioneGas{};
    std::array<double, 15> CorrPressioneGas{};
    std::array<double, 12> RiferimentoSondaLambda{};
    std::array<double, 6> TemperaturaCicchetto{};
    std::array<double, 6> TempoCicchetto{};
    std::array<double, 4> LivelloGas{}; // the user's thresholds (level sensors 5 and 6)
    std::array<std::array<double, 12>, 4> Ritardi_Emulazione{};
    std::array<int, 12> Giri_Emulazione{};
    std::array<double, 4> Carichi_Emulazione{};
    std::array<int, 8> AssegnazioneIniettori{};
    std::array<int, 11> PressioneIniettori{};
    std::array<double, 8> TensioneIniettori{};
    std::array<std::array<double, 11>, 8> TempoAperturaIniettori{};
    std::array<double, 14> SensoriVTempGas{};
    std::array<int, 14> SensoriTempGas{};
    std::array<double, 14> SensoriVTempAcqua{};
    std::array<int, 14> SensoriTempAcqua{};
    std::array<double, 14> SensoriVMAP{};
    std::array<double, 14> SensoriMAP{};
    std::array<double, 14> SensoriVPressione{};
    std::array<double, 14> SensoriPressione{};

    // --- Maps (mapaccess.cpp) ---
    // One element: for a one-dimensional type the column is the index and the row is
    // ignored. An index outside the type's shape reads 0 and refuses a write (false).
    double GetValue(TMapTypeOfData type, int row, int col) const;
    bool SetValue(TMapTypeOfData type, int row, int col, double value);
    double GetAxisValue(TMapTypeOfData type, int index) const { return GetValue(type, 0, index); }
    bool SetAxisValue(TMapTypeOfData type, int index, double value) { return SetValue(type, 0, index, value); }

    // --- Defaults (defaults.cpp) ---
    // Every field to its default for a fuel, an aspiration and the current StrategyFlag
    // (FileName becomes `untitledName`). The model side of "Reset to defaults".
    void ApplyDefaults(int fuel, bool supercharged, const QString& untitledName);
    void SetLambdaDefaults(int strategy);
    void SetAccelerationDefaults(int supercharged);
    void SetAdaptivityDefaults(int strategy);
    void SetReducerDefaults(int reducerType);
    void SetMapDefaults(int fuel, bool supercharged);
    void SetReducerTempDefaults(int fuel);
    void SetGasTempDefaults(int fuel);
    void SetInjectorOpeningDefaults();
    void SetSensorDefaults();
    void BuildPressureCorrection(double nominalMbar);
    // The default file name from the car model, the strategy and the date; unchanged
    // while the date is "000000". `compensatedWord` is the translated "Comp.".
    void BuildFileName(const QString& compensatedWord = QStringLiteral("Comp."));

    // --- ECU image (imagecodec.cpp) ---
    // Writes every parameter, map, axis and curve into the record.
    void EncodeImage(RMappatura& record);
    // Every parameter and one-bank table from the record (blocks 1, 2, 5, 6, 7, 9, 10, 11,
    // 13); not the two-bank maps nor the sensor curves. `today` repairs a broken date.
    void DecodeParameters(const RMappatura& record, const QString& today = {});
    // One bank of one two-bank map (block 3, 4 or 8) and that map's two shared axes.
    void DecodeMap(const RMappatura& record, int block, int bank);
    // Blocks 8, 4 and 3, bank 1 then bank 2 of each.
    void DecodeMaps(const RMappatura& record);
};

// Whether a value lies within a parameter's editing bounds, both ends included.
inline bool WithinBounds(double value, double lower, double upper) {
    return lower <= value && value <= upper;
}

// The scalar parameters as data: name, unit, field and the editing bounds as shipped.
struct TParameterInfo {
    using TField = std::variant<int TConfiguration::*, double TConfiguration::*, bool TConfiguration::*>;
    const char* Name;
    const char* Unit; // "" for counts, codes and flags
    TField Field;
    double Lower;
    double Upper;
};
const QList<TParameterInfo>& ParameterTable();
const TParameterInfo* FindParameter(const QString& name);
double ParameterValue(const TConfiguration& c, const TParameterInfo& p);

// The fixed gas level thresholds of the senders 0 to 4 (volts).
std::array<double, 4> LevelSensorThresholds(int levelSensor);

} // namespace ambrel
