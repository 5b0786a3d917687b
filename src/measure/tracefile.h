#pragma once
// The trace table and the trace file. The meters window draws 41 traces of the live
// measures, always in the order of the table below; a trace file is a tab-separated
// text with one column per trace in that order:
//
//   time [s] <TAB> Revs [RPM] <TAB> ... <TAB> Current8 [A]        CR LF
//   0.00     <TAB> 850.00     <TAB> ...                           CR LF   (one per refresh)
//   ...
//   SCALING  <TAB> 10000.0    <TAB> 0 ...                                  (no line end)
//
// Numbers use "." whatever the user's locale and no thousands separators. The scaling
// line gives each trace's maximum when it was shown, "0" when hidden. Titles are written
// in Latin-1 (the degree sign as one byte), as the files made by earlier workbenches
// were; a header in UTF-8 is read as well.

#include "measures.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace ambrel {

inline constexpr int kTraceCount = 41;

struct TTraceInfo {
    const char* Title;  // written to and matched in files, never translated (UTF-8 here)
    double InitialMax;  // the value drawn at 100 % of the chart
    bool ShownAtStart;
    double (*Value)(const TDerivedMeasures&); // in the measure's own unit
};
const std::array<TTraceInfo, kTraceCount>& TraceTable();
QString TraceTitle(int index);

// What the user set for a trace: its maximum and whether it is shown.
struct TTraceSetting {
    double Max = 0;
    bool Shown = false;
};
using TTraceSettings = std::array<TTraceSetting, kTraceCount>;
TTraceSettings InitialTraceSettings();

// C-style "%W.Pf" without the C library's locale: "." always, width padded with blanks.
QByteArray FormatFixed(double value, int width, int decimals);

QByteArray TraceHeaderLine();                                         // without line end
QByteArray TraceDataLine(double time, const TDerivedMeasures& m);     // without line end
QByteArray TraceScalingLine(const TTraceSettings& settings);          // never has a line end

// Splits a line at its tabs. Empty fields are dropped; text between a pair of single or
// double quotation marks is not cut (the marks themselves are dropped).
QList<QByteArray> SplitTraceLine(QByteArrayView line);
// A number with "." as separator; blanks around it are skipped. False for anything else
// ("1,5", "", "abc", infinities).
bool ParseTraceNumber(QByteArrayView field, double& value);

// Why a trace file could not be read; empty when it was read.
struct TTraceError {
    QString What;
    bool Failed() const { return !What.isEmpty(); }
};

// The first line's columns: for each column the trace whose title it carries, -1 for
// none. Column 0 is the time whatever it says.
QList<int> TraceColumns(QByteArrayView headerLine);

// Reads the header and, when the file ends with a scaling line, applies it: a maximum
// other than 0 shows the trace with that maximum, 0 hides it and keeps its maximum.
// Without a scaling line (a recording cut short) the settings are left as they are.
TTraceError ReadTraceHeader(const QString& path, TTraceSettings& settings);

// Hands every point of the file to `add` (trace, time, value in the file's units) and
// gives the time of the last data line. A file without a data line, or with a field that
// is not a number, is an error; the points before the error have been handed on.
// A last line that ends without a line end and is not the scaling line was cut off
// (a crash, a pulled cable): it is dropped, and everything before the cut plays back.
using TTracePointSink = std::function<void(int trace, double time, double value)>;
TTraceError ReadTraceData(const QString& path, const TTracePointSink& add, double& lastTime);
// The same over bytes already in memory (the fuzz target and benchmarks).
TTraceError ReadTraceDataFrom(const QByteArray& content, const TTracePointSink& add, double& lastTime);
TTraceError ReadTraceHeaderFrom(const QByteArray& content, TTraceSettings& settings);

// What a trace file holds, for listings: its titles, its data lines, the times of the
// first and the last, and the fields of its scaling line (empty when it has none).
struct TTraceSummary {
    QStringList Titles; // after the time column
    int DataLines = 0;
    double FirstTime = 0;
    double LastTime = 0;
    QList<QByteArray> Scaling; // after "SCALING"
};
// Fails as playback would on the same bytes.
TTraceError SummariseTrace(const QByteArray& content, TTraceSummary& summary);

} // namespace ambrel
