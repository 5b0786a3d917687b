#pragma once
// The live measures in engineering units, worked out from the raw status record, and the
// injection sequence read from the ECU's table of the last sixteen injections. Both are
// pure functions over plain records, so the windows, the command-line tool, the tests
// and the benchmarks share exactly one computation.
//
// Arrays that the windows number 1..8 (channels, banks, positions) are 0-based here:
// PetrolTime[0] is channel 1, PetrolOnPetrolAvg[1] is bank 2.

#include "rawmeasures.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace ambrel {

// What the derivations read of the installation's configuration. The composition root
// fills it from the configuration model; each field has the name and the meaning of the
// configuration parameter of the same name.
struct TMeasureSettings {
    // Throttle sensor: 0 "None", 1 "0 - 5 Volt", 2 "5 - 0 Volt".
    int TPSType = 1;
    // Lambda probes: 0 "None", 1 "0 - 1 Volt", 2 "0 - 5 Volt", 3 "5 - 0 Volt", 4 "0.8 - 1.6 Volt"
    // (5 is a 1 - 4 Volt probe that no list offers but the ECU may report).
    int LambdaType = 1;
    // Number of cylinders (1..8): the length of one round of the injection sequence.
    int Cylinders = 4;
};

// Engine state codes as the status reports them; 5 = the ECU reported no state.
enum TEngineStateCode : quint8 { esEngineOff = 0, esKeyOn = 1, esEngineOn = 2, esWaiting = 3, esStall = 4, esNone = 5 };
// The status-bar text of an engine state ("Engine off" ...); empty for 5.
QString EngineStateText(int state);

struct TDerivedMeasures {
    bool OnPetrol = false;
    bool ChangeoverPending = false;
    qint32 RPM = 0;
    double MAP = 0;          // mbar
    double TPSVoltage = 0;   // V
    std::array<double, 8> PetrolTime{};      // ms, channels 1..8
    std::array<double, 8> GasTime{};         // ms, per cylinder channel
    std::array<double, 8> GasInjectorTime{}; // ms, gas injectors A..H
    std::array<double, 2> PetrolOnPetrolAvg{}; // ms, banks 1 and 2 (channels 1 and 5)
    std::array<double, 2> PetrolOnGasAvg{};
    double Lambda1 = 0, Lambda2 = 0, LambdaReference = 0; // V
    double EmulatedLambda1 = 0, EmulatedLambda2 = 0;      // V
    double ReducerTemp = 0, GasTemp = 0;                  // °C
    qint32 GasPressure = 0;         // mbar
    qint32 GasPressureFiltered = 0; // mbar, 19/20 of the last filtered value + 1/20 of the new
    qint32 GasPressure2 = 0;        // mbar
    double FuelTrim1 = 0, FuelTrim2 = 0;      // %
    double BatteryVoltage = 0, SupplyVoltage = 0; // V
    double TankLevel = 0;                     // %
    std::array<double, 8> InjectorCurrent{};  // A
    quint8 EngineState = 0;
    bool MapCorrectionActive = false;
    double LevelSensorVoltage = 0; // V
    std::array<bool, 8> PetrolInjectorActive{};
    std::array<bool, 8> GasInjectorActive{};
    bool SolenoidOpen = false;
    double GasDelay = 0; // ms
};

// Recomputes every derived measure from the raw record. The filter and the running
// averages carry on from the values already in `m`; a type code or engine state outside
// its list leaves its measure as it was. `hardwareVersion` is the connected ECU's (its
// current sensing differs on hardware 3).
void Derive(const TRawMeasures& raw, const TMeasureSettings& settings, int hardwareVersion, TDerivedMeasures& m);

// Injection sequence, from the 32-byte table.
enum TInjectionStrategy : quint8 { isSequential = 0, isFullGroup = 1, isSemiSequential = 2 };

struct TSequenceResult {
    std::array<qint32, 8> SequenceInjector{}; // cylinder channel 1..8 per position, 0 = empty
    std::array<double, 8> SequenceGap{};      // ms·1.33 since the previous injection; -1 first or empty
    quint8 InjectionStrategy = isSequential;
    int InjectionCycle = -1;      // ms until the first channel of the round injects again, -1 unknown
    double RevolutionPeriod = 0;  // ms
    TSequenceResult() { SequenceGap.fill(-1); }
};

enum class TSequenceOutcome {
    Analysed,  // results filled
    NoEngine,  // RPM 0: results reset, the display keeps its previous state
    Ignored,   // not a table: results untouched
};

// The analysis of one table reply's data. A reply that is not exactly 32 bytes, or that
// names an injector channel above 8 (the ECU has eight), is ignored and leaves `result`
// as it was: a corrupt table must not reorder the installer's sequence display.
TSequenceOutcome AnalyseSequence(const QByteArray& data, int cylinders, int rpm, TSequenceResult& result);

// What the main window shows of a sequence. `assignment` gives the gas injector
// (1 = "A") that serves each cylinder channel 1..8.
struct TSequenceDisplay {
    bool TableShown = false;   // sequential: the table and the advance button
    QStringList Cells;         // 8 cells of the table, "" for an empty position
    QString Label;             // full-group and semi-sequential text
};
TSequenceDisplay SequenceDisplay(const TSequenceResult& result, const std::array<double, 8>& assignment);

// Every derived measure with its name and unit, for listings (the command-line status).
struct TMeasureEntry {
    const char* Name;
    const char* Unit; // "" for flags and counts
    QList<double> Values; // one value, or one per channel / bank
    bool IsFlag = false;
    bool IsInteger = false;
};
QList<TMeasureEntry> MeasureEntries(const TDerivedMeasures& m);

} // namespace ambrel
