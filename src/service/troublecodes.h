#pragma once
// What the ECU records about faults, in words: the trouble codes the workbench knows with
// their descriptions, the ECU's own communication error codes, and the lines the
// diagnostics views show for the answers to the trouble code, status, COM error and
// counters requests. The window and the command line word the answers alike from here.

#include "link/commands.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ambrel {

// One entry of either table. Trouble codes are known by their text ("P3391", Code 0);
// ECU errors by their number (Name empty). Texts are untranslated source strings.
struct TErrore {
    quint32 Code;
    const char* Name;
    const char* Description;
};

// The 51 trouble codes in the order the diagnostics window lists them.
const QList<TErrore>& TroubleCodeTable();
// The nine ECU communication error codes.
const QList<TErrore>& EcuErrorTable();

// The translated description of a trouble code, or nothing for a code not in the table.
std::optional<QString> TroubleCodeDescription(quint16 code);
// The ECU error's description, or nothing for an unknown code.
std::optional<QString> EcuErrorDescription(quint16 code);

// "P3391: Sensor power circuit range/performance"; "P3399: not a standard code".
QString TroubleCodeLine(quint16 code);
// "Present P3391: ..." with the status word before the trouble code line.
QString DtcStatusLine(const TDtcStatusEntry& entry);
// "0003: ECU COM framing error"; "1234: Unknown COM error".
QString EcuErrorLine(quint16 code);
// The three counters lines: "Driving cycles: 12", "Time on gas: 2h 30'", "Time on petrol: 0h 59'".
QStringList CountersLines(const TCounters& counters);
// "2h 30'" for 150 minutes.
QString HoursMinutes(quint32 minutes);
// Whether a status answer holds a code that is present now (the check-engine lamp flashes).
bool AnyCodePresent(const QList<TDtcStatusEntry>& entries);

// The lines an empty list shows: "No trouble code." and "No error.".
QString NoTroubleCodeLine();
QString NoComErrorLine();
// Appends a line to the COM list; a list that holds only "No error." is emptied first,
// so the lone placeholder never stays above real messages.
void AddComMessage(QStringList& list, const QString& line);

// The 17 VIN characters to write, upper-cased, or nothing when the text is not exactly
// 17 printable ASCII characters (a shorter VIN is never padded and sent).
std::optional<QByteArray> VinToWrite(const QString& text);

// The supported-codes list: the table's names sorted as text, each with its description.
struct TSupportedCode {
    QString Name;
    QString Description;
};
QList<TSupportedCode> SupportedCodes();

} // namespace ambrel
