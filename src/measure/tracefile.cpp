#include "tracefile.h"

#include <QFile>

#include <charconv>
#include <cmath>
#include <vector>

namespace ambrel {

namespace {

using M = TDerivedMeasures;

// Gas values read 0 while the engine runs on petrol: the gas times, delay, pressure and
// injector currents then only describe the last moment on gas.
template <std::size_t N>
double GasInjector(const M& m) {
    return m.OnPetrol ? 0 : m.GasInjectorTime[N];
}
template <std::size_t N>
double Petrol(const M& m) {
    return m.PetrolTime[N];
}
template <std::size_t N>
double Current(const M& m) {
    return m.OnPetrol ? 0 : m.InjectorCurrent[N];
}

// One row per trace, in chart and file column order.
constexpr std::array<TTraceInfo, kTraceCount> kTraces = {{
    {"Revs [RPM]", 10000, true, [](const M& m) { return double(m.RPM); }},
    {"MAP [mbar]", 1000, false, [](const M& m) { return m.MAP; }},
    {"TPS [V]", 10, false, [](const M& m) { return m.TPSVoltage; }},
    {"Gas 1 [ms]", 100, false, GasInjector<0>},
    {"Gas 2 [ms]", 100, false, GasInjector<1>},
    {"Gas 3 [ms]", 100, false, GasInjector<2>},
    {"Gas 4 [ms]", 100, false, GasInjector<3>},
    {"Gas 5 [ms]", 100, false, GasInjector<4>},
    {"Gas 6 [ms]", 100, false, GasInjector<5>},
    {"Gas 7 [ms]", 100, false, GasInjector<6>},
    {"Gas 8 [ms]", 100, false, GasInjector<7>},
    {"Petrol 1 [ms]", 100, true, Petrol<0>},
    {"Petrol 2 [ms]", 100, false, Petrol<1>},
    {"Petrol 3 [ms]", 100, false, Petrol<2>},
    {"Petrol 4 [ms]", 100, false, Petrol<3>},
    {"Petrol 5 [ms]", 100, true, Petrol<4>},
    {"Petrol 6 [ms]", 100, false, Petrol<5>},
    {"Petrol 7 [ms]", 100, false, Petrol<6>},
    {"Petrol 8 [ms]", 100, false, Petrol<7>},
    {"Lambda1 [V]", 1, false, [](const M& m) { return m.Lambda1; }},
    {"Lambda2 [V]", 1, false, [](const M& m) { return m.Lambda2; }},
    {"Reference[V]", 1, false, [](const M& m) { return m.LambdaReference; }},
    {"Gas trim 1%", 100, false, [](const M& m) { return (m.FuelTrim1 + 100) / 2; }},
    {"Gas trim 2%", 100, false, [](const M& m) { return (m.FuelTrim2 + 100) / 2; }},
    {"Emulate1 [V]", 1, false, [](const M& m) { return m.EmulatedLambda1; }},
    {"Emulate2 [V]", 1, false, [](const M& m) { return m.EmulatedLambda2; }},
    {"Delay [ms]", 1000, false, [](const M& m) { return m.OnPetrol ? 0 : m.GasDelay; }},
    {"Gas [\u00B0C]", 100, false, [](const M& m) { return m.GasTemp; }},
    {"Water [\u00B0C]", 100, false, [](const M& m) { return m.ReducerTemp; }},
    {"Press. [mbar]", 2000, true, [](const M& m) { return m.OnPetrol ? 0.0 : double(m.GasPressure); }},
    {"Gas level [V]", 10, false, [](const M& m) { return m.LevelSensorVoltage; }},
    {"Battery V", 20, false, [](const M& m) { return m.BatteryVoltage; }},
    {"Vcc [V]", 10, false, [](const M& m) { return m.SupplyVoltage; }},
    {"Current1 [A]", 10, false, Current<0>},
    {"Current2 [A]", 10, false, Current<1>},
    {"Current3 [A]", 10, false, Current<2>},
    {"Current4 [A]", 10, false, Current<3>},
    {"Current5 [A]", 10, false, Current<4>},
    {"Current6 [A]", 10, false, Current<5>},
    {"Current7 [A]", 10, false, Current<6>},
    {"Current8 [A]", 10, false, Current<7>},
}};

constexpr QByteArrayView kScaling = "SCALING";
constexpr char kTab = '\t';

bool StartsWithScaling(QByteArrayView line) {
    return line.startsWith(kScaling);
}

// Walks the lines of a file's bytes. A line ends at LF (a CR before it is dropped).
class TLineCursor {
public:
    explicit TLineCursor(const QByteArray& content) : m_data(content) {}
    bool Next(QByteArrayView& line, bool& terminated) {
        if (m_pos >= m_data.size())
            return false;
        const qsizetype end = m_data.indexOf('\n', m_pos);
        terminated = end >= 0;
        const qsizetype stop = terminated ? end : m_data.size();
        line = m_data.sliced(m_pos, stop - m_pos);
        if (line.endsWith('\r'))
            line.chop(1);
        m_pos = stop + 1;
        return true;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

// Fields of a line as views into it. Lines with quotation marks (never written by the
// recorder) go the slow way through SplitTraceLine and are kept in `storage`.
void Split(QByteArrayView line, std::vector<QByteArrayView>& fields, QList<QByteArray>& storage) {
    fields.clear();
    if (line.contains('"') || line.contains('\'')) {
        storage = SplitTraceLine(line);
        for (const QByteArray& f : storage)
            fields.push_back(f);
        return;
    }
    qsizetype start = 0;
    const qsizetype n = line.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i == n || line[i] == kTab) {
            if (i > start)
                fields.push_back(line.sliced(start, i - start));
            start = i + 1;
        }
    }
}

QString DecodeHeader(QByteArrayView line) {
    const QString utf8 = QString::fromUtf8(line);
    return utf8.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(line) : utf8;
}

bool ReadWhole(const QString& path, QByteArray& content, TTraceError& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error.What = file.errorString();
        return false;
    }
    content = file.readAll();
    return true;
}

TTraceError NotANumber(int lineNumber) {
    return {QStringLiteral("a field of line %1 is not a number").arg(lineNumber)};
}

} // namespace

const std::array<TTraceInfo, kTraceCount>& TraceTable() {
    return kTraces;
}

QString TraceTitle(int index) {
    return QString::fromUtf8(kTraces[static_cast<std::size_t>(index)].Title);
}

TTraceSettings InitialTraceSettings() {
    TTraceSettings s;
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = {kTraces[i].InitialMax, kTraces[i].ShownAtStart};
    return s;
}

QByteArray FormatFixed(double value, int width, int decimals) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return QByteArray("0");
    QByteArray text(buffer, r.ptr - buffer);
    if (text.size() < width)
        text.prepend(QByteArray(width - text.size(), ' '));
    return text;
}

QByteArray TraceHeaderLine() {
    QByteArray line = "time [s]";
    for (int i = 0; i < kTraceCount; ++i)
        line += kTab + TraceTitle(i).toLatin1();
    return line;
}

QByteArray TraceDataLine(double time, const TDerivedMeasures& m) {
    QByteArray line = FormatFixed(time, 1, 2);
    line.reserve(8 * kTraceCount);
    for (const TTraceInfo& t : kTraces) {
        line += kTab;
        line += FormatFixed(t.Value(m), 4, 2);
    }
    return line;
}

QByteArray TraceScalingLine(const TTraceSettings& settings) {
    QByteArray line(kScaling.data(), kScaling.size());
    for (const TTraceSetting& s : settings) {
        line += kTab;
        line += s.Shown ? FormatFixed(s.Max, 4, 1) : QByteArray("0");
    }
    return line;
}

QList<QByteArray> SplitTraceLine(QByteArrayView line) {
    QList<QByteArray> fields;
    QByteArray field;
    char quote = 0;
    for (const char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                field += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == kTab) {
            if (!field.isEmpty())
                fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty())
        fields << field;
    return fields;
}

bool ParseTraceNumber(QByteArrayView field, double& value) {
    while (!field.isEmpty() && field.front() == ' ')
        field = field.sliced(1);
    while (!field.isEmpty() && field.back() == ' ')
        field.chop(1);
    if (field.isEmpty())
        return false;
    const char* end = field.data() + field.size();
    double v = 0;
    const auto r = std::from_chars(field.data(), end, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

QList<int> TraceColumns(QByteArrayView headerLine) {
    const QList<QByteArray> fields = SplitTraceLine(headerLine);
    QList<int> map(fields.size(), -1);
    for (qsizetype k = 1; k < fields.size(); ++k) {
        const QString title = DecodeHeader(fields[k]);
        for (int t = 0; t < kTraceCount; ++t)
            if (title == TraceTitle(t))
                map[k] = t;
    }
    return map;
}

TTraceError ReadTraceHeaderFrom(const QByteArray& content, TTraceSettings& settings) {
    TLineCursor lines(content);
    QByteArrayView line;
    bool terminated = false;
    if (!lines.Next(line, terminated))
        return {QStringLiteral("the file is empty")};
    const QList<int> columns = TraceColumns(line);
    bool found = false;
    while (lines.Next(line, terminated))
        if (StartsWithScaling(line)) {
            found = true;
            break;
        }
    if (!found)
        return {};
    const QList<QByteArray> fields = SplitTraceLine(line);
    for (qsizetype k = 1; k < std::min(fields.size(), columns.size()); ++k) {
        const int trace = columns[k];
        if (trace < 0)
            continue;
        double max = 0;
        if (!ParseTraceNumber(fields[k], max))
            return {QStringLiteral("a maximum on the scaling line is not a number")};
        auto& s = settings[static_cast<std::size_t>(trace)];
        s.Shown = max != 0;
        if (max != 0)
            s.Max = max;
    }
    return {};
}

TTraceError ReadTraceDataFrom(const QByteArray& content, const TTracePointSink& add, double& lastTime) {
    TLineCursor lines(content);
    QByteArrayView line;
    bool terminated = false;
    if (!lines.Next(line, terminated))
        return {QStringLiteral("the file is empty")};
    const QList<int> columns = TraceColumns(line);
    const qsizetype headerFields = columns.size();

    std::vector<QByteArrayView> fields;
    QList<QByteArray> storage;
    bool anyData = false;
    double last = 0;
    int lineNumber = 1;
    while (lines.Next(line, terminated)) {
        ++lineNumber;
        if (StartsWithScaling(line))
            continue;
        Split(line, fields, storage);
        if (fields.empty())
            continue;
        // The recorder ends every data line; a last line without its line end was cut
        // off while it was written, and even a field that looks whole may be a number's
        // first digits. It is left out.
        if (!terminated)
            break;
        const qsizetype n = std::min<qsizetype>(static_cast<qsizetype>(fields.size()), headerFields);
        bool haveTime = false;
        double time = 0;
        for (qsizetype k = 1; k < n; ++k) {
            const int trace = columns[k];
            if (trace < 0)
                continue;
            if (!haveTime && !ParseTraceNumber(fields[0], time))
                return NotANumber(lineNumber);
            haveTime = true;
            double value = 0;
            if (!ParseTraceNumber(fields[static_cast<std::size_t>(k)], value))
                return NotANumber(lineNumber);
            add(trace, time, value);
        }
        if (!haveTime && !ParseTraceNumber(fields[0], time)) {
            // A line that adds no point fails only when it turns out to be the last one.
            anyData = true;
            last = std::nan("");
            continue;
        }
        anyData = true;
        last = time;
    }
    if (!anyData)
        return {QStringLiteral("the file has no data line")};
    if (std::isnan(last))
        return NotANumber(lineNumber);
    lastTime = last;
    return {};
}

TTraceError SummariseTrace(const QByteArray& content, TTraceSummary& summary) {
    summary = TTraceSummary();
    double last = 0;
    if (TTraceError error = ReadTraceDataFrom(content, [](int, double, double) {}, last); error.Failed())
        return error;
    summary.LastTime = last;
    TLineCursor lines(content);
    QByteArrayView line;
    bool terminated = false;
    lines.Next(line, terminated);
    const QList<QByteArray> header = SplitTraceLine(line);
    for (qsizetype k = 1; k < header.size(); ++k)
        summary.Titles << DecodeHeader(header[k]);
    while (lines.Next(line, terminated)) {
        const QList<QByteArray> fields = SplitTraceLine(line);
        if (StartsWithScaling(line)) {
            summary.Scaling = fields.mid(1);
            continue;
        }
        if (fields.isEmpty() || !terminated)
            continue;
        if (summary.DataLines++ == 0)
            ParseTraceNumber(fields[0], summary.FirstTime);
    }
    return {};
}

TTraceError ReadTraceHeader(const QString& path, TTraceSettings& settings) {
    QByteArray content;
    TTraceError error;
    if (!ReadWhole(path, content, error))
        return error;
    return ReadTraceHeaderFrom(content, settings);
}

TTraceError ReadTraceData(const QString& path, const TTracePointSink& add, double& lastTime) {
    QByteArray content;
    TTraceError error;
    if (!ReadWhole(path, content, error))
        return error;
    return ReadTraceDataFrom(content, add, lastTime);
}

} // namespace ambrel
