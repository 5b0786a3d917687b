#include "freezeframe.h"

#include "link/bytequeue.h"
#include "link/commands.h"

#include <QCoreApplication>

namespace ambrel {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("TFormDiagnostics", text);
}

bool Word(TByteQueue& q, std::optional<int>& field) {
    int v = 0;
    if (!q.ReadWord(v))
        return false;
    field = v;
    return true;
}

bool Byte(TByteQueue& q, std::optional<int>& field) {
    int v = 0;
    if (!q.ReadByte(v))
        return false;
    field = v;
    return true;
}

struct TStateText {
    int Value;
    const char* Text;
};

constexpr TStateText kEngineStates[] = {
    {0, QT_TRANSLATE_NOOP("TFormDiagnostics", "Engine off")},
    {1, QT_TRANSLATE_NOOP("TFormDiagnostics", "Key on")},
    {2, QT_TRANSLATE_NOOP("TFormDiagnostics", "Engine on")},
    {3, QT_TRANSLATE_NOOP("TFormDiagnostics", "Waiting")},
    {4, QT_TRANSLATE_NOOP("TFormDiagnostics", "Stall")},
};

constexpr TStateText kPowerModes[] = {
    {5, QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas")},
    {6, QT_TRANSLATE_NOOP("TFormDiagnostics", "Forced petrol")},
    {7, QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas solenoid fired")},
    {8, QT_TRANSLATE_NOOP("TFormDiagnostics", "Injection overlap")},
    {9, QT_TRANSLATE_NOOP("TFormDiagnostics", "Petrol back-up on idle")},
    {10, QT_TRANSLATE_NOOP("TFormDiagnostics", "Petrol back-up at full throttle")},
    {11, QT_TRANSLATE_NOOP("TFormDiagnostics", "Petrol back-up for low gas temperature")},
    {12, QT_TRANSLATE_NOOP("TFormDiagnostics", "Second wait RPM threshold")},
    {16, QT_TRANSLATE_NOOP("TFormDiagnostics", "Waiting engine's start")},
    {32, QT_TRANSLATE_NOOP("TFormDiagnostics", "Waiting delay")},
    {48, QT_TRANSLATE_NOOP("TFormDiagnostics", "Waiting RPM threshold")},
    {64, QT_TRANSLATE_NOOP("TFormDiagnostics", "Waiting temperature")},
    {160, QT_TRANSLATE_NOOP("TFormDiagnostics", "Petrol")},
};

template <size_t N>
const char* StateText(const TStateText (&table)[N], int value) {
    for (const TStateText& entry : table)
        if (entry.Value == value)
            return entry.Text;
    return nullptr;
}

double Temperature(int raw) {
    return raw / 4.0 - 20.0;
}

double TrimPercent(int raw) {
    return (raw / 32768.0 - 1.0) * 100.0;
}

} // namespace

TFreezeFrame ParseFreezeFrame(const QByteArray& data) {
    TFreezeFrame f;
    TByteQueue q(data);
    // Each read stops the record at the first field the answer does not hold.
    if (!Word(q, f.TroubleCode) || !Word(q, f.EngineSpeed) || !Word(q, f.WaterTemperature) ||
        !Word(q, f.GasTemperature) || !Word(q, f.GasPressure) || !Word(q, f.Map) || !Byte(q, f.Lambda[0]) ||
        !Byte(q, f.Lambda[1]) || !Word(q, f.FuelTrim[0]) || !Word(q, f.FuelTrim[1]) || !Word(q, f.PetrolTime[0]) ||
        !Word(q, f.PetrolTime[1]) || !Word(q, f.GasTime[0]) || !Word(q, f.GasTime[1]) || !Word(q, f.GasLevel) ||
        !Byte(q, f.EngineState) || !Byte(q, f.PowerMode))
        return f;
    quint32 time = 0;
    if (!q.ReadLongWord(time)) // two 16-bit halves, low half first: a little-endian long
        return f;
    f.SystemTime = time;
    Byte(q, f.Fuel);
    return f;
}

double LambdaVoltage(int raw, int lambdaType) {
    const double x = raw;
    switch (lambdaType) {
    case 2:
        return x * 5.0 / 255.0;
    case 3:
        return (1275.0 - 5.0 * x) / 255.0;
    case 4:
        return x * 0.8 / 255.0 + 0.8;
    case 5:
        return (765.0 - 3.0 * x) / 255.0 + 1.0;
    default:
        return x / 255.0;
    }
}

QStringList FreezeFrameLines(const TFreezeFrame& f, int lambdaType) {
    if (!f.Stored())
        return {Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "No freeze-frame data stored."))};
    QStringList lines;
    const auto add = [&](const char* label, const QString& value) { lines << Tr(label) + QLatin1Char(' ') + value; };
    const auto number = [](const char* format, double v) { return QString::asprintf(format, v); };
    const auto integer = [](int v) { return QString::asprintf("%4d", v); };

    add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Error code:"), TroubleCodeText(static_cast<quint16>(*f.TroubleCode)));
    if (f.EngineSpeed)
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Engine's rev [RPM]:"), integer(*f.EngineSpeed));
    if (f.WaterTemperature)
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Water's temperature [\u00B0C]:"),
            number("%3.1f", Temperature(*f.WaterTemperature)));
    if (f.GasTemperature)
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas temperature [\u00B0C]:"),
            number("%3.1f", Temperature(*f.GasTemperature)));
    if (f.GasPressure)
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas pressure [mbar]:"), integer(*f.GasPressure));
    if (f.Map)
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "MAP [mbar]:"), integer(*f.Map));
    if (f.Lambda[0])
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Lambda 1 [Volt]:"),
            number("%1.2f", LambdaVoltage(*f.Lambda[0], lambdaType)));
    if (f.Lambda[1])
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Lambda 2 [Volt]:"),
            number("%1.2f", LambdaVoltage(*f.Lambda[1], lambdaType)));
    if (f.FuelTrim[0])
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas fuel trim % - bank 1:"), number("%3.1f", TrimPercent(*f.FuelTrim[0])));
    if (f.FuelTrim[1])
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas fuel trim % - bank 2:"), number("%3.1f", TrimPercent(*f.FuelTrim[1])));
    if (f.PetrolTime[0])
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Petrol injection time [ms] - bank 1:"),
            number("%2.2f", *f.PetrolTime[0] / 1000.0));
    if (f.PetrolTime[1])
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Petrol injection time [ms] - bank 2:"),
            number("%2.2f", *f.PetrolTime[1] / 1000.0));
    if (f.GasTime[0])
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injection time [ms] - bank 1:"),
            number("%2.2f", *f.GasTime[0] / 1000.0));
    if (f.GasTime[1])
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injection time [ms] - bank 2:"),
            number("%2.2f", *f.GasTime[1] / 1000.0));
    if (f.GasLevel)
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas level %:"), number("%3.0f", *f.GasLevel * 100.0 / 255.0));
    if (f.EngineState)
        if (const char* text = StateText(kEngineStates, *f.EngineState))
            add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Status:"), Tr(text));
    if (f.PowerMode)
        if (const char* text = StateText(kPowerModes, *f.PowerMode))
            add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Power mode:"), Tr(text));
    if (f.SystemTime)
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "System time [s]:"),
            number("%8.2f", static_cast<double>(*f.SystemTime) * 1024.0 / 100000.0));
    if (f.Fuel)
        add(QT_TRANSLATE_NOOP("TFormDiagnostics", "Fuel:"),
            *f.Fuel != 0 ? Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "Petrol"))
                         : Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas")));
    return lines;
}

} // namespace ambrel
