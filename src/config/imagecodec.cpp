// Conversions between the configuration in engineering units and the ECU image: one
// Encode and one Decode rule per item, block by block in the order of the image.
//
// nearest(): the integer nearest to x, halves to the even integer. step(x, s): the
// multiple of s nearest to x, an exact half step going up. Values that leave a byte (or
// word) are held to its range as they are stored, never wrapped.

#include "configuration.h"
#include "rawdata.h"

#include "link/bytequeue.h"

#include <QDate>
#include <algorithm>
#include <cmath>

namespace ambrel {

namespace {

// A real to a whole number for storing; not-a-number stores 0 and the infinities the
// ends of the range, so that no input can make the conversion undefined.
qint64 Whole(double x) {
    if (std::isnan(x))
        return 0;
    return static_cast<qint64>(std::clamp(x, -1.0e12, 1.0e12));
}
qint64 Nearest(double x) {
    return Whole(std::nearbyint(std::clamp(x, -1.0e12, 1.0e12)));
}
qint64 Ceil(double x) {
    return Whole(std::ceil(std::clamp(x, -1.0e12, 1.0e12)));
}
double Step(double x, double s) {
    return RoundToStep(x, s);
}
int Flag(bool on, int setValue = 1) {
    return on ? setValue : 0;
}

constexpr int kBankedBlocks[] = {3, 4, 8};
constexpr int kRpmAt = 2;    // nine RPM breakpoints
constexpr int kLoadAt = 11;  // twelve load breakpoints
constexpr int kCellsAt = 23; // 108 cells, column by column

int CellOffset(size_t row, size_t col) {
    return kCellsAt + 12 * static_cast<int>(col) + static_cast<int>(row);
}

// Each one-bank table's place in the image.
constexpr int kLambdaAt = 1;
constexpr int kRedTempAt = 1, kRedCorrAt = 10, kGasTempAt = 19, kGasCorrAt = 28, kPressAt = 37, kPressCorrAt = 52;
constexpr int kPrimeTempAt = 16, kPrimeTimeAt = 22;
constexpr int kLevelAt = 10;
constexpr int kEmuRpmAt = 1, kEmuLoadAt = 13, kEmuDelaysAt = 17;
constexpr int kInjPressAt = 1, kInjVoltAt = 12, kInjTimeAt = 20;

// Level sensor codes: the model's list order against the ECU's numbering.
constexpr int kLevelToEcu[7] = {0, 6, 5, 1, 4, 2, 3};
constexpr int kLevelFromEcu[7] = {0, 3, 5, 6, 4, 2, 1};
constexpr int kSwitchToEcu[5] = {0, 1, 4, 2, 3};
constexpr int kSwitchFromEcu[5] = {0, 1, 3, 4, 2};

QString Text(const RMappatura& r, int offset, int size) {
    return QString::fromLatin1(r.Image(1).mid(offset, size));
}

void SetText(RMappatura& r, int offset, int size, const QString& text) {
    QByteArray bytes = text.left(size).toLatin1();
    bytes.append(QByteArray(size - bytes.size(), ' '));
    r.Image(1).replace(offset, size, bytes);
}

// Trailing blanks and control characters are the padding of the fixed-size field.
QString Trimmed(QString s) {
    while (!s.isEmpty() && (s.back() == QLatin1Char(' ') || s.back().unicode() < 32))
        s.chop(1);
    return s;
}

// The lambda voltage scaling of a sensor type; false for a type with no scaling (the
// values are then left as they are, both ways).
bool EncodeLambda(int type, double v, qint64& b) {
    switch (type) {
    case 0:
    case 1: b = Nearest(255 * v); return true;
    case 2: b = Nearest(255 * v / 5); return true;
    case 3:
    case 5: b = Nearest((5 - v) * 255 / 5); return true;
    case 4: b = v <= 0.8 ? 0 : Nearest((v - 0.8) * 255 / 0.8); return true;
    default: return false;
    }
}

bool DecodeLambda(int type, int b, double& v) {
    switch (type) {
    case 0:
    case 1: v = b / 255.0; return true;
    case 2: v = 5.0 * b / 255; return true;
    case 3:
    case 5: v = 5.0 * (255 - b) / 255; return true;
    case 4: v = 0.8 + 0.8 * b / 255; return true;
    default: return false;
    }
}

int InjectorTypeFor(int tenthsOfOhm) {
    switch (tenthsOfOhm) {
    case 35: return 0;
    case 80: return 1;
    case 50: return 2;
    case 30: return 3;
    case 25: return 4;
    default: return -1;
    }
}

double Correction(int b) {
    return (b - 128) * 100.0 / 128;
}
qint64 EncodeCorrection(double v) {
    return Nearest(1.28 * v + 128);
}

} // namespace

void TConfiguration::EncodeImage(RMappatura& r) {
    if (Banks == 1)
        CurrentBank = 1;

    // Block 1: identification, fuel, engine, sensors.
    SetText(r, 1, 20, CarMake);
    SetText(r, 21, 20, CarModel);
    SetText(r, 41, 6, ConfigDate);
    r.SetByte(1, 47, Fuel);
    r.SetByte(1, 48, Cylinders);
    r.SetByte(1, 49, RPMSource >= 0 && RPMSource <= 2 ? 1 << RPMSource : 0);
    r.SetByte(1, 50, 0);
    r.SetByte(1, 51, PulsesPerRev);
    r.SetByte(1, 52, Nearest(10 * InjectorsResistance));
    r.SetByte(1, 53, LambdaType);
    r.SetByte(1, 54, Banks);
    r.SetByte(1, 55, LevelSensor >= 0 && LevelSensor <= 6 ? kLevelToEcu[LevelSensor] : LevelSensor);
    r.SetByte(1, 56, TPSType);
    r.SetByte(1, 57, MAPSensor);
    r.SetByte(1, 58, PressureSensor + 1);
    r.SetByte(1, 59, Reducer);
    r.SetByte(1, 60, WaterTempSensor + 1);

    // Block 2: change-over, back-up to petrol, injector drive, adaptivity switches.
    r.SetByte(2, 1, SwitchCondition >= 0 && SwitchCondition <= 4 ? kSwitchToEcu[SwitchCondition] : SwitchCondition);
    r.SetByte(2, 2, SwitchRPM / 16);
    r.SetByte(2, 3, SwitchTemperature);
    r.SetByte(2, 4, SwitchStartupDelay / 3);
    // Bits 6 and 7 are the ECU's own: they keep what was last read.
    const int flags = (r.Byte(2, 5) & 0xC0) | Flag(BackupLowLevel, 0x01) | Flag(BackupLowPress, 0x02) |
                      Flag(BackupIdle, 0x04) | Flag(BackupFullThrottle, 0x08) | Flag(BackupLowTemp, 0x10) |
                      Flag(Buzzer, 0x20);
    r.SetByte(2, 5, flags);
    r.SetByte(2, 6, BackupDelay);
    r.SetByte(2, 7, PeakTime);
    r.SetByte(2, 8, Nearest(100 * HoldCurrent));
    r.SetByte(2, 9, Nearest(10 * MinOpenTime));
    r.SetByte(2, 10, std::min<qint64>(Nearest(10 * Offset), 255));
    r.SetByte(2, 11, Flag(Acquire));
    r.SetByte(2, 12, Flag(AdaptivePetrol));
    r.SetByte(2, 13, Flag(AdaptiveGas));
    r.SetByte(2, 14, Flag(AdaptiveSlave));
    r.SetByte(2, 15, SwitchTemperatureSource + 1);
    r.SetByte(2, 16, Nearest(BackupIdleRevs / 32.0));
    r.SetByte(2, 17, Ceil(1000.0 * BackupIdleTime / 256));
    r.SetByte(2, 18, Nearest(BackupFullThrottleRevs / 32.0));
    r.SetByte(2, 19, StrategyFlag == strategyCompensated ? Nearest(BackupFullThrottleMAP / 10.0)
                                                         : Nearest(1000 * BackupFullThrottleTime / 128));
    r.SetByte(2, 20, Nearest(10 * SwitchFillupDelay));
    r.SetByte(2, 21, SwitchOverlapDelay);
    r.SetByte(2, 22, Nearest(10 * BackupLowTempDelay));
    r.SetByte(2, 23, BackupLowTempTime);
    r.SetByte(2, 24, Nearest(10 * VbatThresholdForStall));

    // Blocks 3, 4 and 8: the two-bank maps with their shared axes.
    for (const int block : kBankedBlocks) {
        const std::array<int, 9>& rpm = block == 3 ? Giri_Benzina : block == 4 ? Giri_Comp : Giri_Slave;
        const std::array<double, 12>& load = block == 3 ? MAP_Benzina : block == 4 ? MAP_Comp : TempiBenzina_Slave;
        for (const int bank : {1, 2}) {
            const TMap12x9& cells = block == 3   ? (bank == 1 ? Benzina_banco1 : Benzina_banco2)
                                    : block == 4 ? (bank == 1 ? TempiGas_Comp_banco1 : TempiGas_Comp_banco2)
                                                 : (bank == 1 ? Rapporti_Slave_banco1 : Rapporti_Slave_banco2);
            for (size_t c = 0; c < 9; ++c)
                r.SetByte(block, kRpmAt + static_cast<int>(c), Nearest(rpm[c] / 32.0), bank);
            for (size_t i = 0; i < 12; ++i)
                r.SetByte(block, kLoadAt + static_cast<int>(i),
                          block == 8 ? Nearest(1000 * load[i] / 128) : Nearest(load[i] / 10), bank);
            for (size_t row = 0; row < 12; ++row)
                for (size_t c = 0; c < 9; ++c)
                    r.SetByte(block, CellOffset(row, c),
                              block == 8 ? Nearest(128 * cells[row][c]) : Nearest(10 * cells[row][c]), bank);
        }
    }

    // Block 5: lambda reference, emulation, fuel trim, open loop.
    qint64 b = 0;
    for (size_t i = 0; i < 12; ++i)
        if (EncodeLambda(LambdaType, RiferimentoSondaLambda[i], b))
            r.SetByte(5, kLambdaAt + static_cast<int>(i), b);
    if (EncodeLambda(LambdaType, AdaptLeanThreshold, b))
        r.SetByte(5, 13, b);
    if (EncodeLambda(LambdaType, AdaptRichThreshold, b))
        r.SetByte(5, 14, b);
    r.SetByte(5, 15, Nearest(10 * EmulationHigh));
    r.SetByte(5, 16, Nearest(10 * EmulationLow));
    r.SetByte(5, 17, Nearest(32768 * IntegralRich / 1000));
    r.SetByte(5, 18, Nearest(32768 * IntegralLean / 1000));
    r.SetByte(5, 19, Nearest(10 * ProportionalRich));
    r.SetByte(5, 20, Nearest(10 * ProportionalLean));
    r.SetByte(5, 21, MinSamplingPeriod);
    r.SetByte(5, 22, MaxSamplingPeriod);
    r.SetByte(5, 23, Flag(FuelTrim, 255));
    r.SetByte(5, 24, Flag(LambdaEmulation));
    r.SetByte(5, 25, Nearest(OpenLoopRevs / 32.0));
    r.SetByte(5, 26, Nearest(OpenLoopMAP / 10.0));
    r.SetByte(5, 27, Flag(OpenLoop, 255));
    r.SetByte(5, 28, 10 * static_cast<qint64>(OpenLoopDelay));

    // Block 6: temperature and gas pressure corrections.
    for (size_t i = 0; i < 9; ++i) {
        const int k = static_cast<int>(i);
        r.SetByte(6, kRedTempAt + k, Nearest(TemperaturaRiduttore[i] + 20));
        r.SetByte(6, kRedCorrAt + k, EncodeCorrection(CorrTemperaturaRiduttore[i]));
        r.SetByte(6, kGasTempAt + k, Nearest(TemperaturaGas[i] + 20));
        r.SetByte(6, kGasCorrAt + k, EncodeCorrection(CorrTemperaturaGas[i]));
    }
    for (size_t i = 0; i < 15; ++i) {
        r.SetByte(6, kPressAt + static_cast<int>(i), Nearest(PressioneGas[i] / 16));
        r.SetByte(6, kPressCorrAt + static_cast<int>(i), EncodeCorrection(CorrPressioneGas[i]));
    }
    r.SetByte(6, 67, PressureSamples);

    // Block 7: acceleration, throttle cut-off, Slave delays, prime time, smoothness.
    r.SetByte(7, 1, Nearest((MAPcorrection + 100) * 128 / 100));
    r.SetByte(7, 2, Nearest(MAPduration / 20));
    r.SetByte(7, 3, Nearest(MAPrecovery / 20));
    r.SetByte(7, 4, MAPgradient / 10);
    r.SetByte(7, 5, MAPthreshold / 10);
    r.SetByte(7, 6, Flag(AccelerationControl));
    r.SetByte(7, 7, Flag(TPSCutOff));
    r.SetByte(7, 8, Nearest(TPSRPMThreshold / 32.0));
    // Without a TPS the threshold byte keeps its last value.
    if (TPSType == 1)
        r.SetByte(7, 9, Nearest(255 * TPSThreshold / 5));
    else if (TPSType == 2)
        r.SetByte(7, 9, Nearest(255 - 255 * TPSThreshold / 5));
    r.SetByte(7, 10, Nearest(255 * TPShisteresys / 5));
    r.SetByte(7, 11, Nearest(100 * TPSFallTime));
    r.SetByte(7, 12, Nearest(255.0 * FullGroupFilter / 100));
    r.SetByte(7, 13, SlaveDelayIdle);
    r.SetByte(7, 14, Nearest(50 * SlaveDelay6000));
    r.SetByte(7, 15, Nearest(10 * ExtraInjection));
    for (size_t i = 0; i < 6; ++i) {
        r.SetByte(7, kPrimeTempAt + static_cast<int>(i), Nearest(TemperaturaCicchetto[i] + 20));
        r.SetByte(7, kPrimeTimeAt + static_cast<int>(i), Nearest(10 * TempoCicchetto[i]));
    }
    r.SetByte(7, 28, Nearest(124 * Smoothness / 100));

    // Block 9: adaptivity box and custom level thresholds.
    r.SetByte(9, 1, Nearest(AdaptMinRevs / 32.0));
    r.SetByte(9, 2, Nearest(AdaptMaxRevs / 32.0));
    r.SetByte(9, 3, Nearest(1000 * AdaptMinTime / 128));
    r.SetByte(9, 4, Nearest(1000 * AdaptMaxTime / 128));
    r.SetByte(9, 5, Nearest(AdaptMinMAP / 10));
    r.SetByte(9, 6, Nearest(AdaptMaxMAP / 10));
    r.SetByte(9, 7, Nearest(10 * AdaptClipTime));
    r.SetByte(9, 8, Nearest(AdaptCorrectionSlave));
    r.SetByte(9, 9, Nearest(10 * AdaptCorrectionComp));
    for (size_t i = 0; i < 4; ++i)
        r.SetByte(9, kLevelAt + static_cast<int>(i), Nearest(LivelloGas[i] * 255 * 0.909 / 5));

    // Block 10: emulation delays, column by column.
    for (size_t c = 0; c < 12; ++c)
        r.SetByte(10, kEmuRpmAt + static_cast<int>(c), Nearest(Giri_Emulazione[c] / 32.0));
    for (size_t i = 0; i < 4; ++i)
        r.SetByte(10, kEmuLoadAt + static_cast<int>(i), Nearest(1000 * Carichi_Emulazione[i] / 128));
    for (size_t c = 0; c < 12; ++c)
        for (size_t row = 0; row < 4; ++row)
            r.SetByte(10, kEmuDelaysAt + 4 * static_cast<int>(c) + static_cast<int>(row),
                      Nearest(Ritardi_Emulazione[row][c]));

    // Block 11: injector assignment.
    for (size_t i = 0; i < 8; ++i)
        r.SetByte(11, 1 + static_cast<int>(i), AssegnazioneIniettori[i] - 1);

    // Block 12: sensor curves, voltages as 16-bit counts of the 10-bit converter.
    for (size_t i = 0; i < 14; ++i) {
        const int k = static_cast<int>(i);
        r.SetByte(12, 1 + k, SensoriTempGas[i] + 20);
        r.SetWord(12, 15 + 2 * k, Nearest(1023 * SensoriVTempGas[i] / 5));
        r.SetByte(12, 43 + k, SensoriTempAcqua[i] + 20);
        r.SetWord(12, 57 + 2 * k, Nearest(1023 * SensoriVTempAcqua[i] / 5));
        r.SetByte(12, 85 + k, Nearest(SensoriPressione[i] / 20));
        r.SetWord(12, 99 + 2 * k, Nearest(1023 * SensoriVPressione[i] / 5));
        r.SetByte(12, 127 + k, Nearest(SensoriMAP[i] / 10));
        r.SetWord(12, 141 + 2 * k, Nearest((0.654 * SensoriVMAP[i] + 0.189) * 1023 / 5));
    }

    // Block 13: injector opening time, row by row.
    for (size_t c = 0; c < 11; ++c)
        r.SetByte(13, kInjPressAt + static_cast<int>(c), Nearest(PressioneIniettori[c] / 20.0));
    for (size_t row = 0; row < 8; ++row) {
        r.SetByte(13, kInjVoltAt + static_cast<int>(row), Nearest(10 * TensioneIniettori[row]));
        for (size_t c = 0; c < 11; ++c)
            r.SetByte(13, kInjTimeAt + 11 * static_cast<int>(row) + static_cast<int>(c),
                      Nearest(10 * TempoAperturaIniettori[row][c]));
    }
}

void TConfiguration::DecodeParameters(const RMappatura& r, const QString& today) {
    // Block 1 first: the lambda and TPS types choose how blocks 5 and 7 are scaled.
    CarMake = Trimmed(Text(r, 1, 20));
    CarModel = Trimmed(Text(r, 21, 20));
    ConfigDate = Text(r, 41, 6);
    for (const QChar c : ConfigDate) {
        if (!c.isDigit() || c.unicode() > 127) {
            ConfigDate = today.isEmpty() ? QDate::currentDate().toString(QStringLiteral("ddMMyy")) : today;
            break;
        }
    }
    const auto byte = [&r](int block, int offset) { return static_cast<int>(r.Byte(block, offset)); };
    if (byte(1, 47) <= 1)
        Fuel = byte(1, 47);
    Cylinders = byte(1, 48);
    switch (byte(1, 49)) {
    case 1: RPMSource = 0; break;
    case 2: RPMSource = 1; break;
    case 4: RPMSource = 2; break;
    default: break;
    }
    PulsesPerRev = byte(1, 51);
    InjectorsResistance = byte(1, 52) / 10.0;
    InjectorType = InjectorTypeFor(byte(1, 52));
    LambdaType = byte(1, 53);
    Banks = byte(1, 54);
    if (byte(1, 55) <= 6)
        LevelSensor = kLevelFromEcu[byte(1, 55)];
    TPSType = byte(1, 56);
    MAPSensor = byte(1, 57);
    PressureSensor = byte(1, 58) - 1;
    Reducer = byte(1, 59);
    WaterTempSensor = byte(1, 60) - 1;

    // Block 2.
    SwitchCondition = byte(2, 1) <= 4 ? kSwitchFromEcu[byte(2, 1)] : 0;
    SwitchRPM = static_cast<int>(Step(16 * byte(2, 2), 100));
    SwitchTemperature = byte(2, 3);
    SwitchStartupDelay = 3 * byte(2, 4);
    const int flags = byte(2, 5);
    BackupLowLevel = flags & 0x01;
    BackupLowPress = flags & 0x02;
    BackupIdle = flags & 0x04;
    BackupFullThrottle = flags & 0x08;
    BackupLowTemp = flags & 0x10;
    Buzzer = flags & 0x20;
    Flag7 = flags & 0x80;
    BackupDelay = byte(2, 6);
    PeakTime = byte(2, 7);
    HoldCurrent = byte(2, 8) / 100.0;
    MinOpenTime = byte(2, 9) / 10.0;
    Offset = byte(2, 10) / 10.0;
    Acquire = byte(2, 11) != 0;
    AdaptivePetrol = byte(2, 12) != 0;
    AdaptiveGas = byte(2, 13) != 0;
    AdaptiveSlave = byte(2, 14) != 0;
    SwitchTemperatureSource = byte(2, 15) - 1;
    BackupIdleRevs = static_cast<int>(Step(32 * byte(2, 16), 50));
    BackupIdleTime = static_cast<int>(Nearest(256.0 * byte(2, 17) / 1000));
    BackupFullThrottleRevs = static_cast<int>(Step(32 * byte(2, 18), 100));
    if (StrategyFlag == strategyCompensated)
        BackupFullThrottleMAP = 10 * byte(2, 19);
    else
        BackupFullThrottleTime = 128.0 * byte(2, 19) / 1000;
    SwitchFillupDelay = byte(2, 20) / 10.0;
    SwitchOverlapDelay = byte(2, 21);
    BackupLowTempDelay = byte(2, 22) / 10.0;
    BackupLowTempTime = byte(2, 23);
    VbatThresholdForStall = byte(2, 24) / 10.0;

    // Block 5.
    for (size_t i = 0; i < 12; ++i)
        DecodeLambda(LambdaType, byte(5, kLambdaAt + static_cast<int>(i)), RiferimentoSondaLambda[i]);
    DecodeLambda(LambdaType, byte(5, 13), AdaptLeanThreshold);
    DecodeLambda(LambdaType, byte(5, 14), AdaptRichThreshold);
    EmulationHigh = byte(5, 15) / 10.0;
    EmulationLow = byte(5, 16) / 10.0;
    IntegralRich = 1000.0 * byte(5, 17) / 32768;
    IntegralLean = 1000.0 * byte(5, 18) / 32768;
    ProportionalRich = byte(5, 19) / 10.0;
    ProportionalLean = byte(5, 20) / 10.0;
    MinSamplingPeriod = byte(5, 21);
    MaxSamplingPeriod = byte(5, 22);
    FuelTrim = byte(5, 23) != 0;
    LambdaEmulation = byte(5, 24) != 0;
    OpenLoopRevs = static_cast<int>(Step(32 * byte(5, 25), 100));
    OpenLoopMAP = 10 * byte(5, 26);
    OpenLoop = byte(5, 27) != 0;
    OpenLoopDelay = static_cast<int>(Nearest(byte(5, 28) / 10.0));

    // Block 6.
    for (size_t i = 0; i < 9; ++i) {
        const int k = static_cast<int>(i);
        TemperaturaRiduttore[i] = byte(6, kRedTempAt + k) - 20;
        CorrTemperaturaRiduttore[i] = Correction(byte(6, kRedCorrAt + k));
        TemperaturaGas[i] = byte(6, kGasTempAt + k) - 20;
        CorrTemperaturaGas[i] = Correction(byte(6, kGasCorrAt + k));
    }
    for (size_t i = 0; i < 15; ++i) {
        PressioneGas[i] = Step(16 * byte(6, kPressAt + static_cast<int>(i)), 50);
        CorrPressioneGas[i] = Correction(byte(6, kPressCorrAt + static_cast<int>(i)));
    }
    PressureSamples = byte(6, 67);

    // Block 7.
    MAPcorrection = static_cast<double>(Nearest(100.0 * byte(7, 1) / 128) - 100);
    MAPduration = 20 * byte(7, 2);
    MAPrecovery = 20 * byte(7, 3);
    MAPgradient = 10 * byte(7, 4);
    MAPthreshold = 10 * byte(7, 5);
    AccelerationControl = byte(7, 6) != 0;
    TPSCutOff = byte(7, 7) != 0;
    TPSRPMThreshold = static_cast<int>(Step(32 * byte(7, 8), 100));
    if (TPSType == 1)
        TPSThreshold = 5.0 * byte(7, 9) / 255;
    else if (TPSType == 2)
        TPSThreshold = 5.0 * (255 - byte(7, 9)) / 255;
    else if (TPSType == 0)
        TPSCutOff = false;
    TPShisteresys = 5.0 * byte(7, 10) / 255;
    TPSFallTime = byte(7, 11) / 100.0;
    FullGroupFilter = static_cast<int>(Nearest(100.0 * byte(7, 12) / 255));
    SlaveDelayIdle = byte(7, 13);
    SlaveDelay6000 = byte(7, 14) / 50.0;
    ExtraInjection = byte(7, 15) / 10.0;
    for (size_t i = 0; i < 6; ++i) {
        TemperaturaCicchetto[i] = byte(7, kPrimeTempAt + static_cast<int>(i)) - 20;
        TempoCicchetto[i] = byte(7, kPrimeTimeAt + static_cast<int>(i)) / 10.0;
    }
    Smoothness = std::min(100.0 * byte(7, 28) / 124, 100.0);

    // Block 9.
    AdaptMinRevs = static_cast<int>(Step(32 * byte(9, 1), 100));
    AdaptMaxRevs = static_cast<int>(Step(32 * byte(9, 2), 100));
    AdaptMinTime = Step(128 * byte(9, 3), 100) / 1000;
    AdaptMaxTime = Step(128 * byte(9, 4), 100) / 1000;
    AdaptMinMAP = 10 * byte(9, 5);
    AdaptMaxMAP = 10 * byte(9, 6);
    AdaptClipTime = byte(9, 7) / 10.0;
    AdaptCorrectionSlave = byte(9, 8);
    AdaptCorrectionComp = byte(9, 9) / 10.0;
    for (size_t i = 0; i < 4; ++i)
        LivelloGas[i] = 5.0 * byte(9, kLevelAt + static_cast<int>(i)) / 231.795;

    // Block 10.
    for (size_t c = 0; c < 12; ++c)
        Giri_Emulazione[c] = static_cast<int>(Step(32 * byte(10, kEmuRpmAt + static_cast<int>(c)), 100));
    for (size_t i = 0; i < 4; ++i)
        Carichi_Emulazione[i] = Step(128 * byte(10, kEmuLoadAt + static_cast<int>(i)), 500) / 1000;
    for (size_t c = 0; c < 12; ++c)
        for (size_t row = 0; row < 4; ++row)
            Ritardi_Emulazione[row][c] = byte(10, kEmuDelaysAt + 4 * static_cast<int>(c) + static_cast<int>(row));

    // Block 11.
    for (size_t i = 0; i < 8; ++i)
        AssegnazioneIniettori[i] = byte(11, 1 + static_cast<int>(i)) + 1;

    // Block 13.
    for (size_t c = 0; c < 11; ++c)
        PressioneIniettori[c] = 20 * byte(13, kInjPressAt + static_cast<int>(c));
    for (size_t row = 0; row < 8; ++row) {
        TensioneIniettori[row] = byte(13, kInjVoltAt + static_cast<int>(row)) / 10.0;
        for (size_t c = 0; c < 11; ++c)
            TempoAperturaIniettori[row][c] =
                byte(13, kInjTimeAt + 11 * static_cast<int>(row) + static_cast<int>(c)) / 10.0;
    }

    // An engine whose highest MAP breakpoint lies above atmospheric pressure is boosted.
    Supercharged = MAP_Comp[11] > 1200;
}

void TConfiguration::DecodeMap(const RMappatura& r, int block, int bank) {
    bank = bank == 1 ? 1 : 2;
    std::array<int, 9>* rpm = nullptr;
    std::array<double, 12>* load = nullptr;
    TMap12x9* cells = nullptr;
    switch (block) {
    case 3:
        rpm = &Giri_Benzina;
        load = &MAP_Benzina;
        cells = bank == 1 ? &Benzina_banco1 : &Benzina_banco2;
        break;
    case 4:
        rpm = &Giri_Comp;
        load = &MAP_Comp;
        cells = bank == 1 ? &TempiGas_Comp_banco1 : &TempiGas_Comp_banco2;
        break;
    case 8:
        rpm = &Giri_Slave;
        load = &TempiBenzina_Slave;
        cells = bank == 1 ? &Rapporti_Slave_banco1 : &Rapporti_Slave_banco2;
        break;
    default:
        return;
    }
    for (size_t c = 0; c < 9; ++c)
        (*rpm)[c] = static_cast<int>(Step(32 * r.Byte(block, kRpmAt + static_cast<int>(c), bank), 100));
    for (size_t i = 0; i < 12; ++i) {
        const int b = r.Byte(block, kLoadAt + static_cast<int>(i), bank);
        (*load)[i] = block == 8 ? Step(128 * b, 500) / 1000 : 10.0 * b;
    }
    for (size_t row = 0; row < 12; ++row)
        for (size_t c = 0; c < 9; ++c) {
            const int b = r.Byte(block, CellOffset(row, c), bank);
            (*cells)[row][c] = block == 8 ? b / 128.0 : b / 10.0;
        }
}

void TConfiguration::DecodeMaps(const RMappatura& r) {
    for (const int block : {8, 4, 3})
        for (const int bank : {1, 2})
            DecodeMap(r, block, bank);
}

} // namespace ambrel
