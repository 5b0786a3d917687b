#include "measures.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace ambrel {

QString EngineStateText(int state) {
    static const char* const texts[] = {
        QT_TRANSLATE_NOOP("TAcquisitions", "Engine off"), QT_TRANSLATE_NOOP("TAcquisitions", "Key on"),
        QT_TRANSLATE_NOOP("TAcquisitions", "Engine on"), QT_TRANSLATE_NOOP("TAcquisitions", "Waiting"),
        QT_TRANSLATE_NOOP("TAcquisitions", "Stall")};
    if (state < 0 || state > 4)
        return {};
    return QCoreApplication::translate("TAcquisitions", texts[state]);
}

namespace {

// Lambda probe count to volts by probe type; false for a type without a conversion.
bool LambdaVolts(int type, int x, double& v) {
    const double d = x;
    switch (type) {
    case 0:
    case 1:
        v = d / 255;
        return true;
    case 2:
        v = 5 * d / 255;
        return true;
    case 3:
        v = (1275 - 5 * d) / 255;
        return true;
    case 4:
        v = 0.8 * d / 255 + 0.8;
        return true;
    case 5:
        v = (765 - 3 * d) / 255 + 1;
        return true;
    default:
        return false;
    }
}

constexpr double kCurrentScaleHw3 = 0.3406;
constexpr double kCurrentScale = 1.6889;

} // namespace

void Derive(const TRawMeasures& raw, const TMeasureSettings& settings, int hardwareVersion, TDerivedMeasures& m) {
    const auto& s = raw.Slot;
    using R = TRawMeasures;
    m.OnPetrol = s[R::slotPetrolMode] != 0;
    m.ChangeoverPending = s[R::slotChangeover] == 5 && m.OnPetrol;
    m.RPM = raw.EngineSpeed;
    m.MAP = s[R::slotMap];

    const double tps = s[R::slotTps];
    switch (settings.TPSType) {
    case 0:
        m.TPSVoltage = 0;
        break;
    case 1:
        m.TPSVoltage = 5 * tps / 255;
        break;
    case 2:
        m.TPSVoltage = (1275 - 5 * tps) / 255;
        break;
    default:
        break;
    }

    for (std::size_t n = 0; n < 8; ++n) {
        m.PetrolTime[n] = s[R::kPetrolTimeSlot + n] / 1000.0;
        m.GasTime[n] = s[R::kGasTimeSlot + n] / 1000.0;
        m.GasInjectorTime[n] = s[R::kGasInjectorTimeSlot + n] / 1000.0;
    }

    LambdaVolts(settings.LambdaType, s[R::slotLambda1], m.Lambda1);
    LambdaVolts(settings.LambdaType, s[R::slotLambda2], m.Lambda2);
    LambdaVolts(settings.LambdaType, s[R::slotLambdaReference], m.LambdaReference);
    m.EmulatedLambda1 = s[R::slotEmulated1] / 100.0;
    m.EmulatedLambda2 = s[R::slotEmulated2] / 100.0;

    m.ReducerTemp = s[R::slotReducerTemp] / 4.0 - 20;
    m.GasTemp = s[R::slotGasTemp] / 4.0 - 20;

    m.GasPressure = s[R::slotGasPressure];
    m.GasPressureFiltered = (m.GasPressureFiltered * 19 + s[R::slotGasPressure]) / 20;
    m.GasPressure2 = s[R::slotGasPressure2];

    m.FuelTrim1 = (s[R::slotFuelTrim1] / 32768.0 - 1) * 100;
    m.FuelTrim2 = (s[R::slotFuelTrim2] / 32768.0 - 1) * 100;
    m.BatteryVoltage = raw.Battery / 100.0;
    m.SupplyVoltage = s[R::slotSupply] / 102.3;
    m.TankLevel = (s[R::slotTankLevel] * 100.0) / 255;

    const double k = hardwareVersion == 3 ? kCurrentScaleHw3 : kCurrentScale;
    for (std::size_t n = 0; n < 8; ++n)
        m.InjectorCurrent[n] = s[R::kInjectorCurrentSlot + n] * 5 * k / 1024;

    const int state = s[R::slotEngineState];
    if (state >= 0 && state <= 4)
        m.EngineState = static_cast<quint8>(state);
    else if (state == R::kNoState)
        m.EngineState = esNone;

    m.MapCorrectionActive = s[R::slotMapCorrection] > 0;
    m.LevelSensorVoltage = s[R::slotLevelSender] * 5 * 1.1 / 1023;
    for (std::size_t n = 0; n < 8; ++n) {
        m.PetrolInjectorActive[n] = (s[R::slotPetrolActive] >> n) & 1;
        m.GasInjectorActive[n] = (s[R::slotGasActive] >> n) & 1;
    }
    m.SolenoidOpen = s[R::slotSolenoid] != 0;
    m.GasDelay = s[R::slotDelay];

    // Bank petrol times averaged separately on petrol and on gas: comparing the two shows
    // how well the gas calibration matches what the petrol ECU asks for.
    auto& avg = m.OnPetrol ? m.PetrolOnPetrolAvg : m.PetrolOnGasAvg;
    avg[0] = (m.PetrolTime[0] + 19 * avg[0]) / 20;
    avg[1] = (m.PetrolTime[4] + 19 * avg[1]) / 20;
}

// ---------------------------------------------------------------- injection sequence

TSequenceOutcome AnalyseSequence(const QByteArray& data, int cylinders, int rpm, TSequenceResult& result) {
    constexpr int kEntries = 16;
    if (data.size() != 2 * kEntries)
        return TSequenceOutcome::Ignored;
    // 1-based as the table is read: A[k] channel (0 = channel 1), T[k] time in ms, D[k] gap.
    int a[kEntries + 1] = {}, t[kEntries + 1] = {}, d[kEntries + 1] = {};
    for (int k = 1; k <= kEntries; ++k) {
        a[k] = static_cast<quint8>(data[k - 1]);
        if (a[k] > 7)
            return TSequenceOutcome::Ignored;
        // Counts of 1.36 ms to the nearest ms; 136·c is never an odd multiple of 50, so
        // there is no tie to break.
        t[k] = (136 * static_cast<quint8>(data[kEntries + k - 1]) + 50) / 100;
        d[k] = k == 1 ? 0 : t[k] - t[k - 1];
    }

    result = TSequenceResult();
    // One round: as many consecutive injections as cylinders whose times do not go back
    // (the 8-bit time counter wraps).
    const int c = std::clamp(cylinders, 1, 8);
    int s = 1, i = 1;
    while (i - s < c - 1 && i < kEntries) {
        if (t[i] > t[i + 1]) {
            s = i + 1;
            i = s;
        } else {
            ++i;
        }
    }
    if (rpm <= 0)
        return TSequenceOutcome::NoEngine;
    result.RevolutionPeriod = 60000.0 / rpm;
    int k = s < kEntries ? s + 1 : s;
    while (k <= kEntries && a[k] != a[s])
        ++k;
    if (k <= kEntries)
        result.InjectionCycle = t[k] - t[s];

    // Start the round at cylinder channel 1 when it is in the window.
    int j = s;
    while (j <= i && a[j] != 0)
        ++j;
    std::size_t o = 0;
    const auto place = [&](int from, int to) {
        for (int e = from; e <= to; ++e, ++o) {
            result.SequenceInjector[o] = a[e] + 1;
            result.SequenceGap[o] = e > s ? d[e] * 1.33 : -1;
        }
    };
    place(j, i);
    place(s, j - 1);

    int positive = 0, zero = 0;
    for (std::size_t p = 0; p < 8; ++p) {
        if (result.SequenceInjector[p] == 0)
            continue;
        if (result.SequenceGap[p] > 0)
            ++positive;
        else if (result.SequenceGap[p] == 0)
            ++zero;
    }
    if (positive > 0)
        result.InjectionStrategy = zero > 1 ? isSemiSequential : isSequential;
    else
        result.InjectionStrategy = zero > 0 ? isFullGroup : isSequential;
    return TSequenceOutcome::Analysed;
}

TSequenceDisplay SequenceDisplay(const TSequenceResult& r, const std::array<double, 8>& assignment) {
    const auto letter = [&](std::size_t position) {
        const int channel = r.SequenceInjector[position];
        if (channel < 1 || channel > 8)
            return QString();
        const long injector = std::lround(assignment[static_cast<std::size_t>(channel - 1)]);
        return QString(QChar(static_cast<char16_t>(64 + std::clamp(injector, 1L, 26L))));
    };
    QString revolution;
    if (r.InjectionCycle > 0)
        revolution = 2 * r.RevolutionPeriod * 0.9 > r.InjectionCycle
                         ? QCoreApplication::translate("TAcquisitions", "each rev")
                         : QCoreApplication::translate("TAcquisitions", "each 2 revs");
    TSequenceDisplay out;
    for (std::size_t o = 0; o < 8; ++o)
        out.Cells << letter(o);
    switch (r.InjectionStrategy) {
    case isFullGroup:
        out.Label = QCoreApplication::translate("TAcquisitions", "Full-group");
        if (!revolution.isEmpty())
            out.Label += QLatin1Char(' ') + revolution;
        break;
    case isSemiSequential:
        out.Label = QCoreApplication::translate("TAcquisitions", "Semi-seq.");
        for (std::size_t o = 0; o < 8; ++o) {
            if (r.SequenceInjector[o] < 1)
                continue;
            if (o == 0)
                out.Label += out.Cells[0];
            else
                out.Label += (r.SequenceGap[o] == 0 ? QStringLiteral(" ") : QStringLiteral(", ")) + out.Cells[qsizetype(o)];
        }
        if (!revolution.isEmpty())
            out.Label += QStringLiteral(": ") + revolution;
        break;
    default:
        out.TableShown = true;
        break;
    }
    return out;
}

// ---------------------------------------------------------------- listing

QList<TMeasureEntry> MeasureEntries(const TDerivedMeasures& m) {
    const auto list = [](const auto& a) {
        QList<double> l;
        for (const auto& v : a)
            l << static_cast<double>(v);
        return l;
    };
    const auto one = [](double v) { return QList<double>{v}; };
    return {
        {"OnPetrol", "", one(m.OnPetrol), true},
        {"ChangeoverPending", "", one(m.ChangeoverPending), true},
        {"RPM", "rpm", one(m.RPM), false, true},
        {"MAP", "mbar", one(m.MAP)},
        {"TPSVoltage", "V", one(m.TPSVoltage)},
        {"PetrolTime", "ms", list(m.PetrolTime)},
        {"GasTime", "ms", list(m.GasTime)},
        {"GasInjectorTime", "ms", list(m.GasInjectorTime)},
        {"PetrolOnPetrolAvg", "ms", list(m.PetrolOnPetrolAvg)},
        {"PetrolOnGasAvg", "ms", list(m.PetrolOnGasAvg)},
        {"Lambda1", "V", one(m.Lambda1)},
        {"Lambda2", "V", one(m.Lambda2)},
        {"LambdaReference", "V", one(m.LambdaReference)},
        {"EmulatedLambda1", "V", one(m.EmulatedLambda1)},
        {"EmulatedLambda2", "V", one(m.EmulatedLambda2)},
        {"ReducerTemp", "\u00B0C", one(m.ReducerTemp)},
        {"GasTemp", "\u00B0C", one(m.GasTemp)},
        {"GasPressure", "mbar", one(m.GasPressure), false, true},
        {"GasPressureFiltered", "mbar", one(m.GasPressureFiltered), false, true},
        {"GasPressure2", "mbar", one(m.GasPressure2), false, true},
        {"FuelTrim1", "%", one(m.FuelTrim1)},
        {"FuelTrim2", "%", one(m.FuelTrim2)},
        {"BatteryVoltage", "V", one(m.BatteryVoltage)},
        {"SupplyVoltage", "V", one(m.SupplyVoltage)},
        {"TankLevel", "%", one(m.TankLevel)},
        {"InjectorCurrent", "A", list(m.InjectorCurrent)},
        {"EngineState", "", one(m.EngineState), false, true},
        {"MapCorrectionActive", "", one(m.MapCorrectionActive), true},
        {"LevelSensorVoltage", "V", one(m.LevelSensorVoltage)},
        {"PetrolInjectorActive", "", list(m.PetrolInjectorActive), true},
        {"GasInjectorActive", "", list(m.GasInjectorActive), true},
        {"SolenoidOpen", "", one(m.SolenoidOpen), true},
        {"GasDelay", "ms", one(m.GasDelay)},
    };
}

} // namespace ambrel
