#include "troublecodes.h"

#include <QCoreApplication>
#include <algorithm>

namespace ambrel {

namespace {

constexpr const char* kContext = "TFormDiagnostics";

QString Tr(const char* text) {
    return QCoreApplication::translate(kContext, text);
}

} // namespace

const QList<TErrore>& TroubleCodeTable() {
    static const QList<TErrore> table = {
        {0, "P3391", QT_TRANSLATE_NOOP("TFormDiagnostics", "Sensor power circuit range/performance")},
        {0, "P3394", QT_TRANSLATE_NOOP("TFormDiagnostics", "Sensor power intermittent")},
        {0, "P3121", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas temperature sensor - Too Low temperature")},
        {0, "P3122", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas temperature sensor - Too high temperature")},
        {0, "P3124", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas temperature sensor - Short circuit to plus")},
        {0, "P3125", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas temperature sensor- Short circuit to ground")},
        {0, "P3126", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas Temperature Sensor - Circuit Intermittent")},
        {0, "P3131", QT_TRANSLATE_NOOP("TFormDiagnostics", "Water temperature sensor - Too Low temperature")},
        {0, "P3132", QT_TRANSLATE_NOOP("TFormDiagnostics", "Water temperature sensor - Too high temperature")},
        {0, "P3134", QT_TRANSLATE_NOOP("TFormDiagnostics", "Water temperature sensor - Short circuit to plus")},
        {0, "P3135", QT_TRANSLATE_NOOP("TFormDiagnostics", "Water temperature sensor - Short circuit to ground")},
        {0, "P3136", QT_TRANSLATE_NOOP("TFormDiagnostics", "Water Temperature Sensor - Circuit Intermittent")},
        {0, "P3110", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas pressure sensor \u2013 Too low pressure")},
        {0, "P3111", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas pressure sensor \u2013 Too high pressure")},
        {0, "P3112", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas pressure sensor \u2013 Cut wire")},
        {0, "P3113", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas pressure sensor \u2013 Short circuit to plus")},
        {0, "P3114", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas pressure sensor \u2013 Circuit intermittent")},
        {0, "P3220", QT_TRANSLATE_NOOP("TFormDiagnostics", "No injector 1 command detected from petrol ECU")},
        {0, "P3221", QT_TRANSLATE_NOOP("TFormDiagnostics", "No injector 2 command detected from petrol ECU")},
        {0, "P3222", QT_TRANSLATE_NOOP("TFormDiagnostics", "No injector 3 command detected from petrol ECU")},
        {0, "P3223", QT_TRANSLATE_NOOP("TFormDiagnostics", "No injector 4 command detected from petrol ECU")},
        {0, "P3224", QT_TRANSLATE_NOOP("TFormDiagnostics", "No injector 5 command detected from petrol ECU")},
        {0, "P3225", QT_TRANSLATE_NOOP("TFormDiagnostics", "No injector 6 command detected from petrol ECU")},
        {0, "P3226", QT_TRANSLATE_NOOP("TFormDiagnostics", "No injector 7 command detected from petrol ECU")},
        {0, "P3227", QT_TRANSLATE_NOOP("TFormDiagnostics", "No injector 8 command detected from petrol ECU")},
        {0, "U3000", QT_TRANSLATE_NOOP("TFormDiagnostics", "Link wire between injector 1 and gas ECU \u2013 Short circuit to GND or cut wire")},
        {0, "U3002", QT_TRANSLATE_NOOP("TFormDiagnostics", "Link wire between injector 2 and gas ECU \u2013 Short circuit to GND or cut wire")},
        {0, "U3004", QT_TRANSLATE_NOOP("TFormDiagnostics", "Link wire between injector 3 and gas ECU \u2013 Short circuit to GND or cut wire")},
        {0, "U3006", QT_TRANSLATE_NOOP("TFormDiagnostics", "Link wire between injector 4 and gas ECU \u2013 Short circuit to GND or cut wire")},
        {0, "U3008", QT_TRANSLATE_NOOP("TFormDiagnostics", "Link wire between injector 5 and gas ECU \u2013 Short circuit to GND or cut wire")},
        {0, "U300A", QT_TRANSLATE_NOOP("TFormDiagnostics", "Link wire between injector 6 and gas ECU \u2013 Short circuit to GND or cut wire")},
        {0, "U300C", QT_TRANSLATE_NOOP("TFormDiagnostics", "Link wire between injector 7 and gas ECU \u2013 Short circuit to GND or cut wire")},
        {0, "U300E", QT_TRANSLATE_NOOP("TFormDiagnostics", "Link wire between injector 8 and gas ECU \u2013 Short circuit to GND or cut wire")},
        {0, "P3200", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injector A cut wire")},
        {0, "P3202", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injector B cut wire")},
        {0, "P3204", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injector C cut wire")},
        {0, "P3206", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injector D cut wire")},
        {0, "P3208", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injector E cut wire")},
        {0, "P320A", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injector F cut wire")},
        {0, "P320C", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injector G cut wire")},
        {0, "P320E", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas injector H cut wire")},
        {0, "P3230", QT_TRANSLATE_NOOP("TFormDiagnostics", "Oxygen sensor 1 \u2013 Short circuit to GND")},
        {0, "P3231", QT_TRANSLATE_NOOP("TFormDiagnostics", "Oxygen sensor 1 \u2013 Short circuit to plus")},
        {0, "P3233", QT_TRANSLATE_NOOP("TFormDiagnostics", "Oxygen sensor 2 \u2013 Short circuit to GND")},
        {0, "P3234", QT_TRANSLATE_NOOP("TFormDiagnostics", "Oxygen sensor 2 \u2013 Short circuit to plus")},
        {0, "C2000", QT_TRANSLATE_NOOP("TFormDiagnostics", "Switch button - Short to GND")},
        {0, "P3160", QT_TRANSLATE_NOOP("TFormDiagnostics", "Absolute gas pressure sensor - Short circuit to GND or cut wire")},
        {0, "P3161", QT_TRANSLATE_NOOP("TFormDiagnostics", "Absolute gas pressure sensor - Short circuit to plus")},
        {0, "P3170", QT_TRANSLATE_NOOP("TFormDiagnostics", "Absolute MAP sensor - Short circuit to ground or cut wire")},
        {0, "P3171", QT_TRANSLATE_NOOP("TFormDiagnostics", "Absolute MAP sensor - Short circuit to plus or cut wire")},
        {0, "P3140", QT_TRANSLATE_NOOP("TFormDiagnostics", "Gas level sensor - Short circuit to plus or cut wire")},
    };
    return table;
}

const QList<TErrore>& EcuErrorTable() {
    // The ECU's own words: not translated.
    static const QList<TErrore> table = {
        {0x0000, "", "No error"},
        {0xF000, "", "Eeprom write error"},
        {0xE000, "", "Temperature probe failure"},
        {0x000A, "", "Unknown serial command"},
        {0x0001, "", "ECU COM parity error"},
        {0x0002, "", "ECU COM overrun error"},
        {0x0003, "", "ECU COM framing error"},
        {0x0004, "", "ECU COM buffer full"},
        {0x0005, "", "ECU COM buffer empty"},
    };
    return table;
}

std::optional<QString> TroubleCodeDescription(quint16 code) {
    const QString name = TroubleCodeText(code);
    for (const TErrore& entry : TroubleCodeTable())
        if (name == QLatin1String(entry.Name))
            return Tr(entry.Description);
    return std::nullopt;
}

std::optional<QString> EcuErrorDescription(quint16 code) {
    for (const TErrore& entry : EcuErrorTable())
        if (entry.Code == code)
            return QString::fromUtf8(entry.Description);
    return std::nullopt;
}

QString TroubleCodeLine(quint16 code) {
    return TroubleCodeText(code) + QStringLiteral(": ") +
           TroubleCodeDescription(code).value_or(Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "not a standard code")));
}

QString DtcStatusLine(const TDtcStatusEntry& entry) {
    static constexpr const char* kStatusWords[] = {
        QT_TRANSLATE_NOOP("TFormDiagnostics", "Not ready"),
        QT_TRANSLATE_NOOP("TFormDiagnostics", "Present"),
        QT_TRANSLATE_NOOP("TFormDiagnostics", "Stored"),
        QT_TRANSLATE_NOOP("TFormDiagnostics", "Invalid"),
    };
    return Tr(kStatusWords[static_cast<int>(entry.Status)]) + QLatin1Char(' ') + TroubleCodeLine(entry.Code);
}

QString EcuErrorLine(quint16 code) {
    return HexWord(code) + QStringLiteral(": ") +
           EcuErrorDescription(code).value_or(Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "Unknown COM error")));
}

QString HoursMinutes(quint32 minutes) {
    return QStringLiteral("%1h %2'").arg(minutes / 60).arg(minutes % 60);
}

QStringList CountersLines(const TCounters& counters) {
    return {
        Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "Driving cycles")) + QStringLiteral(": ") +
            QString::number(counters.DrivingCycles),
        Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "Time on gas")) + QStringLiteral(": ") +
            HoursMinutes(counters.MinutesOnGas),
        Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "Time on petrol")) + QStringLiteral(": ") +
            HoursMinutes(counters.MinutesOnPetrol),
    };
}

bool AnyCodePresent(const QList<TDtcStatusEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(),
                       [](const TDtcStatusEntry& e) { return e.Status == TDtcStatus::Present; });
}

QString NoTroubleCodeLine() {
    return Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "No trouble code."));
}

QString NoComErrorLine() {
    return Tr(QT_TRANSLATE_NOOP("TFormDiagnostics", "No error."));
}

void AddComMessage(QStringList& list, const QString& line) {
    if (list.size() == 1 && list.first() == NoComErrorLine())
        list.clear();
    list.append(line);
}

std::optional<QByteArray> VinToWrite(const QString& text) {
    const QString vin = text.toUpper();
    if (vin.size() != 17)
        return std::nullopt;
    for (QChar c : vin)
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return std::nullopt;
    return vin.toLatin1();
}

QList<TSupportedCode> SupportedCodes() {
    QList<TSupportedCode> list;
    for (const TErrore& entry : TroubleCodeTable())
        list.append({QString::fromLatin1(entry.Name), Tr(entry.Description)});
    std::sort(list.begin(), list.end(), [](const TSupportedCode& a, const TSupportedCode& b) { return a.Name < b.Name; });
    return list;
}

} // namespace ambrel
