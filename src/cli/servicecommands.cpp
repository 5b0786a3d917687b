// The service subcommands: what the diagnostics windows show, on the command line. Trouble
// codes, counters, VIN, freeze frame, the ECU's COM error log, eOBD values, the memory of
// the ECU and the connector's pin-out. Each prints text or, with --json, one JSON document;
// the wording comes from the service library, as in the windows.

#include "clicommands.h"
#include "clisession.h"

#include "link/bytequeue.h"
#include "link/commands.h"
#include "service/freezeframe.h"
#include "service/memorywatch.h"
#include "service/obd.h"
#include "service/pinout.h"
#include "service/troublecodes.h"

#include <QElapsedTimer>
#include <optional>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ambrel::cli {

namespace {

// The options a service subcommand takes: flags, options with a value, and the words left.
struct TServiceArgs {
    bool Json = false;
    bool Clear = false;
    bool Raw = false;
    std::optional<QString> Write;
    std::optional<QString> Board;
    std::optional<int> Count;
    QStringList Words;
    QString Error; // the first thing that is not understood
};

TServiceArgs ParseServiceArgs(const QStringList& args, const QStringList& allowed) {
    TServiceArgs r;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool known = allowed.contains(a);
        const bool hasValue = i + 1 < args.size();
        if (a.startsWith(QLatin1String("--")) && !known) {
            r.Error = QStringLiteral("unknown option ") + a;
        } else if (a == QLatin1String("--json")) {
            r.Json = true;
        } else if (a == QLatin1String("--clear")) {
            r.Clear = true;
        } else if (a == QLatin1String("--raw")) {
            r.Raw = true;
        } else if (a == QLatin1String("--write") || a == QLatin1String("--board") || a == QLatin1String("--count")) {
            if (!hasValue) {
                r.Error = a + QStringLiteral(" needs a value");
                break;
            }
            const QString value = args[++i];
            if (a == QLatin1String("--write")) {
                r.Write = value;
            } else if (a == QLatin1String("--board")) {
                r.Board = value;
            } else {
                bool ok = false;
                const int n = value.toInt(&ok);
                if (!ok || n < 1)
                    r.Error = QStringLiteral("--count needs a whole number of at least 1");
                r.Count = n;
            }
        } else {
            r.Words << a;
        }
        if (!r.Error.isEmpty())
            break;
    }
    return r;
}

void PrintJson(const QJsonValue& value) {
    QTextStream& out = TCliSession::Out();
    out << (value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject()))
               .toJson(QJsonDocument::Indented);
    out.flush();
}

// An exchange whose failure ends the subcommand: the status is set when it failed.
bool Ask(TCliSession* session, const QByteArray& payload, TFrame& reply, int& status) {
    const TExchangeResult result = session->Exchange(payload);
    if (!result.Ok()) {
        status = session->ReportFailure(result, payload);
        return false;
    }
    reply = result.Reply;
    return true;
}

int UsageError(const QString& text) {
    TCliSession::Err() << "error: " << text << Qt::endl;
    return exitUsage;
}

// ---- dtc [--clear] [--json]

QString StatusWord(TDtcStatus status) {
    switch (status) {
    case TDtcStatus::NotReady:
        return QStringLiteral("not-ready");
    case TDtcStatus::Present:
        return QStringLiteral("present");
    case TDtcStatus::Stored:
        return QStringLiteral("stored");
    case TDtcStatus::Invalid:
        break;
    }
    return QStringLiteral("invalid");
}

QString CheckDtc(const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--clear", "--json"});
    if (!a.Error.isEmpty() || !a.Words.isEmpty())
        return QStringLiteral("usage: dtc [--clear] [--json]");
    return {};
}

int RunDtc(TCliSession* session, const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--clear", "--json"});
    int status = exitOk;
    TFrame reply;
    if (a.Clear) {
        if (!Ask(session, Payload::TroubleCodes(Payload::TTroubleAction::Clear), reply, status))
            return status;
        if (!a.Json)
            TCliSession::Out() << "Trouble codes cleared." << Qt::endl;
    }
    // The list says which codes are stored, the status answer how each stands.
    if (!Ask(session, Payload::TroubleCodes(Payload::TTroubleAction::Read), reply, status))
        return status;
    const QList<quint16> codes = Answer::TroubleCodes(reply.FrameDataPart());
    if (!Ask(session, Payload::Plain(cmdReadDTCStatus), reply, status))
        return status;
    const QList<TDtcStatusEntry> entries = Answer::DtcStatus(reply.FrameDataPart());
    QList<TDtcStatusEntry> shown;
    for (quint16 code : codes) {
        TDtcStatusEntry entry{code, TDtcStatus::Invalid};
        for (const TDtcStatusEntry& e : entries)
            if (e.Code == code)
                entry.Status = e.Status;
        shown << entry;
    }
    if (a.Json) {
        QJsonArray list;
        for (const TDtcStatusEntry& e : shown)
            list.append(QJsonObject{{"code", TroubleCodeText(e.Code)},
                                    {"description", TroubleCodeDescription(e.Code).value_or(QString())},
                                    {"status", StatusWord(e.Status)}});
        PrintJson(QJsonObject{{"cleared", a.Clear}, {"codes", list}});
        return exitOk;
    }
    QTextStream& out = TCliSession::Out();
    if (shown.isEmpty())
        out << NoTroubleCodeLine() << Qt::endl;
    for (const TDtcStatusEntry& e : shown)
        out << DtcStatusLine(e) << Qt::endl;
    return exitOk;
}

// ---- counters [--clear] [--json]

QString CheckCounters(const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--clear", "--json"});
    if (!a.Error.isEmpty() || !a.Words.isEmpty())
        return QStringLiteral("usage: counters [--clear] [--json]");
    return {};
}

int RunCounters(TCliSession* session, const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--clear", "--json"});
    int status = exitOk;
    TFrame reply;
    if (a.Clear && !Ask(session, Payload::CountersClear(), reply, status))
        return status;
    // Read back after a clear: what is printed is what the ECU holds now.
    if (!Ask(session, Payload::CountersRead(), reply, status))
        return status;
    const TCounters c = Answer::Counters(reply.FrameDataPart());
    if (a.Json) {
        PrintJson(QJsonObject{{"cleared", a.Clear},
                              {"drivingCycles", static_cast<qint64>(c.DrivingCycles)},
                              {"minutesOnGas", static_cast<qint64>(c.MinutesOnGas)},
                              {"minutesOnPetrol", static_cast<qint64>(c.MinutesOnPetrol)}});
        return exitOk;
    }
    QTextStream& out = TCliSession::Out();
    if (a.Clear)
        out << "Counters cleared." << Qt::endl;
    out << "Driving cycles:    " << c.DrivingCycles << Qt::endl;
    out << "Minutes on gas:    " << c.MinutesOnGas << " (" << HoursMinutes(c.MinutesOnGas) << ")" << Qt::endl;
    out << "Minutes on petrol: " << c.MinutesOnPetrol << " (" << HoursMinutes(c.MinutesOnPetrol) << ")" << Qt::endl;
    return exitOk;
}

// ---- vin [--write TEXT] [--json]

QString CheckVin(const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--write", "--json"});
    if (!a.Error.isEmpty() || !a.Words.isEmpty())
        return QStringLiteral("usage: vin [--write TEXT] [--json]");
    // A VIN the ECU cannot hold is refused here, never shortened, padded or sent.
    if (a.Write && !VinToWrite(*a.Write))
        return QStringLiteral("a VIN is exactly 17 printable ASCII characters: \"%1\" is not").arg(*a.Write);
    return {};
}

int RunVin(TCliSession* session, const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--write", "--json"});
    int status = exitOk;
    TFrame reply;
    std::optional<QByteArray> written;
    if (a.Write) {
        written = VinToWrite(*a.Write);
        if (!written)
            return UsageError(CheckVin(args));
        if (!Ask(session, Payload::VinWrite(*written), reply, status))
            return status;
    }
    if (!Ask(session, Payload::VinRead(), reply, status))
        return status;
    const QByteArray vin = Answer::Vin(reply.FrameDataPart());
    // The write counts only when the ECU reads back what was sent.
    if (written && vin != *written) {
        TCliSession::Err() << "error: the ECU accepted the VIN but reads back \"" << QString::fromLatin1(vin) << "\""
                           << Qt::endl;
        return exitFailure;
    }
    if (a.Json) {
        PrintJson(QJsonObject{{"vin", QString::fromLatin1(vin)}, {"written", written.has_value()}});
        return exitOk;
    }
    TCliSession::Out() << "VIN: " << QString::fromLatin1(vin) << Qt::endl;
    return exitOk;
}

// ---- freeze-frame [--json]

QString CheckJsonOnly(const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--json"});
    if (!a.Error.isEmpty() || !a.Words.isEmpty())
        return QStringLiteral("the only option is --json");
    return {};
}

// The freeze frame's lambda bytes are scaled by the probe type; the tool does not read
// the configuration for it and takes the usual 0 - 1 V probe.
constexpr int kDefaultLambdaType = 1;

int RunFreezeFrame(TCliSession* session, const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--json"});
    int status = exitOk;
    TFrame reply;
    if (!Ask(session, Payload::Plain(cmdReadFreezeFrame), reply, status))
        return status;
    const TFreezeFrame f = ParseFreezeFrame(reply.FrameDataPart());
    if (!a.Json) {
        for (const QString& line : FreezeFrameLines(f, kDefaultLambdaType))
            TCliSession::Out() << line << Qt::endl;
        return exitOk;
    }
    QJsonObject o{{"stored", f.Stored()}};
    if (f.Stored()) {
        const auto put = [&o](const char* name, const std::optional<int>& v, auto convert) {
            if (v)
                o.insert(QLatin1String(name), convert(*v));
        };
        const auto same = [](int v) { return v; };
        const auto temperature = [](int v) { return v / 4.0 - 20; };
        const auto trim = [](int v) { return (v / 32768.0 - 1) * 100; };
        o.insert(QStringLiteral("code"), TroubleCodeText(static_cast<quint16>(*f.TroubleCode)));
        put("rpm", f.EngineSpeed, same);
        put("waterTemperatureC", f.WaterTemperature, temperature);
        put("gasTemperatureC", f.GasTemperature, temperature);
        put("gasPressureMbar", f.GasPressure, same);
        put("mapMbar", f.Map, same);
        put("lambda1V", f.Lambda[0], [](int v) { return LambdaVoltage(v, kDefaultLambdaType); });
        put("lambda2V", f.Lambda[1], [](int v) { return LambdaVoltage(v, kDefaultLambdaType); });
        put("fuelTrim1Pct", f.FuelTrim[0], trim);
        put("fuelTrim2Pct", f.FuelTrim[1], trim);
        put("petrolTime1Us", f.PetrolTime[0], same);
        put("petrolTime2Us", f.PetrolTime[1], same);
        put("gasTime1Us", f.GasTime[0], same);
        put("gasTime2Us", f.GasTime[1], same);
        put("gasLevelPct", f.GasLevel, [](int v) { return v * 100.0 / 255; });
        put("engineState", f.EngineState, same);
        put("powerMode", f.PowerMode, same);
        if (f.SystemTime)
            o.insert(QStringLiteral("systemTimeS"), *f.SystemTime * 0.01024);
        put("onPetrol", f.Fuel, [](int v) { return v != 0; });
    }
    PrintJson(o);
    return exitOk;
}

// ---- com-errors [--json]

int RunComErrors(TCliSession* session, const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--json"});
    int status = exitOk;
    TFrame reply;
    if (!Ask(session, Payload::Plain(cmdReadComErrors), reply, status))
        return status;
    // The ECU answers a lone 0 when its log is empty.
    QList<quint16> codes = Answer::ComErrors(reply.FrameDataPart());
    codes.removeAll(0);
    if (a.Json) {
        QJsonArray list;
        for (quint16 code : codes)
            list.append(QJsonObject{{"code", static_cast<int>(code)},
                                    {"description", EcuErrorLine(code).section(QStringLiteral(": "), 1)}});
        PrintJson(QJsonObject{{"errors", list}});
        return exitOk;
    }
    QTextStream& out = TCliSession::Out();
    if (codes.isEmpty())
        out << NoComErrorLine() << Qt::endl;
    for (quint16 code : codes)
        out << EcuErrorLine(code) << Qt::endl;
    return exitOk;
}

// ---- eobd [--count N] [--raw] [--json]

QString CheckEobd(const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--count", "--raw", "--json"});
    if (!a.Error.isEmpty() || !a.Words.isEmpty())
        return QStringLiteral("usage: eobd [--count N] [--raw] [--json]");
    return {};
}

struct TObdValue {
    QString Name;
    quint8 Pid = 0;
    double Value = 0;
    QString Unit;
};

// The mode 01 answers that the raw eOBD answer strings together ("41 PID A [B ...]"),
// each decoded by the parameter table. The walk stops at a parameter it cannot size.
QList<TObdValue> DecodeObdAnswers(const QByteArray& data) {
    QList<TObdValue> values;
    qsizetype i = 0;
    while (i + 1 < data.size() && static_cast<quint8>(data.at(i)) == 0x41) {
        const auto pid = static_cast<quint8>(data.at(i + 1));
        const TObdPid* entry = FindObdPid(pid);
        if (!entry || i + 2 + entry->ByteCount > data.size())
            break;
        const std::optional<double> v = DecodeObdPid(pid, data.mid(i + 2, entry->ByteCount));
        if (v)
            values << TObdValue{QString::fromUtf8(entry->Name), pid, *v, QString::fromUtf8(entry->Unit)};
        i += 2 + entry->ByteCount;
    }
    return values;
}

// One reading: the scan-tool record's values that the car supports, then what the raw
// answer adds (the coolant temperature, among others).
QList<TObdValue> DecodedObd(const QByteArray& scan, const QByteArray& raw) {
    QList<TObdValue> values;
    const TObdScanRecord record = ParseObdScanRecord(scan);
    QList<quint8> seen;
    for (int k = 0; k < kObdScanValues; ++k) {
        const TObdScanEntry& e = ObdScanTable()[static_cast<size_t>(k)];
        if (!record.IsSupported(e.Pid) || !record.Values[static_cast<size_t>(k)])
            continue;
        const TObdPid* pid = FindObdPid(e.Pid);
        const std::optional<double> v = ObdScanValue(record, k);
        values << TObdValue{QString::fromLatin1(e.Name), e.Pid,
                            v ? *v : static_cast<double>(*record.Values[static_cast<size_t>(k)]),
                            v && pid ? QString::fromUtf8(pid->Unit) : QString()};
        seen << e.Pid;
    }
    for (const TObdValue& v : DecodeObdAnswers(raw))
        if (!seen.contains(v.Pid))
            values << v;
    return values;
}

int RunEobd(TCliSession* session, const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--count", "--raw", "--json"});
    const int count = a.Count.value_or(1);
    QTextStream& out = TCliSession::Out();
    QJsonArray readings;
    for (int n = 0; n < count; ++n) {
        int status = exitOk;
        TFrame raw;
        TFrame scan;
        if (!Ask(session, Payload::Plain(cmdReadOBD), raw, status))
            return status;
        if (a.Raw) {
            const QString line = ObdLogLine(raw.FrameDataPart()).trimmed();
            if (a.Json)
                readings.append(line);
            else
                out << line << Qt::endl;
            continue;
        }
        if (!Ask(session, Payload::Plain(cmdReadOBD2), scan, status))
            return status;
        const QList<TObdValue> values = DecodedObd(scan.FrameDataPart(), raw.FrameDataPart());
        if (a.Json) {
            QJsonArray list;
            for (const TObdValue& v : values)
                list.append(QJsonObject{{"name", v.Name}, {"pid", v.Pid}, {"value", v.Value}, {"unit", v.Unit}});
            readings.append(list);
            continue;
        }
        if (n > 0)
            out << Qt::endl;
        for (const TObdValue& v : values) {
            const QString unit = v.Unit.isEmpty() ? QString() : QString(QStringLiteral(" ") + v.Unit);
            out << QStringLiteral("%1 = %2").arg(v.Name, QString::number(v.Value, 'g', 6)) << unit << Qt::endl;
        }
    }
    if (a.Json)
        PrintJson(QJsonObject{{"readings", readings}});
    return exitOk;
}

// ---- memory read ADDR [COUNT] | write ADDR HEXBYTES | watch ADDR... --count N  [--json]

constexpr int kMaxMemoryRead = 256;
// The memory watch reads a location every 200 ms, as the window does.
constexpr int kWatchPeriodMs = 200;

struct TMemoryArgs {
    QString Verb;
    QList<quint32> Addresses;
    int Count = 1;
    QByteArray Bytes;
    bool Json = false;
    QString Error;
};

std::optional<QByteArray> ParseHexBytes(QString text) {
    text.remove(QLatin1Char(' ')).remove(QLatin1Char(':'));
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    if (text.isEmpty() || text.size() % 2 != 0)
        return std::nullopt;
    for (QChar c : text)
        if (!isxdigit(c.toLatin1()))
            return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

TMemoryArgs ParseMemory(const QStringList& args) {
    TMemoryArgs r;
    const TServiceArgs a = ParseServiceArgs(args, {"--count", "--json"});
    r.Json = a.Json;
    const QString usage = QStringLiteral(
        "usage: memory read ADDR [COUNT] | memory write ADDR HEXBYTES | memory watch ADDR... --count N");
    if (!a.Error.isEmpty() || a.Words.size() < 2) {
        r.Error = a.Error.isEmpty() ? usage : a.Error;
        return r;
    }
    r.Verb = a.Words.first();
    const QStringList rest = a.Words.mid(1);
    const auto address = [&r](const QString& text) {
        const std::optional<quint32> v = ParseMemoryAddress(text);
        if (!v)
            r.Error = QStringLiteral("\"%1\" is not an address (decimal or 0x hexadecimal, at most 0x%2)")
                          .arg(text, QString::number(kMaxMemoryAddress, 16).toUpper());
        return v.value_or(0);
    };
    if (r.Verb == QLatin1String("read")) {
        if (rest.size() > 2 || a.Count) {
            r.Error = usage;
            return r;
        }
        r.Addresses << address(rest[0]);
        if (rest.size() == 2) {
            const std::optional<quint32> n = ParseMemoryNumber(rest[1]);
            if (!n || *n < 1 || *n > kMaxMemoryRead)
                r.Error = QStringLiteral("COUNT is a number of bytes from 1 to %1").arg(kMaxMemoryRead);
            r.Count = static_cast<int>(n.value_or(1));
        }
        if (r.Error.isEmpty() && r.Addresses.first() + static_cast<quint32>(r.Count) - 1 > kMaxMemoryAddress)
            r.Error = QStringLiteral("the bytes run past the end of the address space");
    } else if (r.Verb == QLatin1String("write")) {
        if (rest.size() != 2 || a.Count) {
            r.Error = usage;
            return r;
        }
        r.Addresses << address(rest[0]);
        const std::optional<QByteArray> bytes = ParseHexBytes(rest[1]);
        if (r.Error.isEmpty() && (!bytes || bytes->size() > 255))
            r.Error = QStringLiteral("HEXBYTES is 1 to 255 bytes in hexadecimal, two digits a byte");
        else if (r.Error.isEmpty() && r.Addresses.first() + static_cast<quint32>(bytes->size()) - 1 > kMaxMemoryAddress)
            r.Error = QStringLiteral("the bytes run past the end of the address space");
        r.Bytes = bytes.value_or(QByteArray());
    } else if (r.Verb == QLatin1String("watch")) {
        if (!a.Count) {
            r.Error = QStringLiteral("memory watch needs --count N");
            return r;
        }
        r.Count = *a.Count;
        for (const QString& text : rest)
            if (r.Error.isEmpty())
                r.Addresses << address(text);
    } else {
        r.Error = usage;
    }
    return r;
}

QString CheckMemory(const QStringList& args) {
    return ParseMemory(args).Error;
}

// Reads `count` bytes from `address` in the largest pieces the ECU reads at once.
int ReadMemoryBytes(TCliSession* session, quint32 address, int count, QByteArray& bytes) {
    int status = exitOk;
    while (bytes.size() < count) {
        const qsizetype left = count - bytes.size();
        const quint8 size = left >= 4 ? 4 : left >= 2 ? 2 : 1;
        TFrame reply;
        if (!Ask(session, Payload::ReadMemory(address + static_cast<quint32>(bytes.size()), size), reply, status))
            return status;
        const QByteArray data = reply.FrameDataPart();
        if (data.size() < 4 + size) {
            TCliSession::Err() << "error: the ECU's answer to " << CommandName(cmdReadMemory) << " is too short"
                               << Qt::endl;
            return exitFailure;
        }
        bytes += data.mid(4, size);
    }
    return exitOk;
}

QString HexBytes(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

int RunMemory(TCliSession* session, const QStringList& args) {
    const TMemoryArgs m = ParseMemory(args);
    if (!m.Error.isEmpty())
        return UsageError(m.Error);
    QTextStream& out = TCliSession::Out();
    if (m.Verb == QLatin1String("read")) {
        QByteArray bytes;
        if (const int status = ReadMemoryBytes(session, m.Addresses.first(), m.Count, bytes); status != exitOk)
            return status;
        if (m.Json)
            PrintJson(QJsonObject{{"address", static_cast<qint64>(m.Addresses.first())}, {"bytes", HexBytes(bytes)}});
        else
            out << FormatMemoryAddress(m.Addresses.first()) << ": " << HexBytes(bytes) << Qt::endl;
        return exitOk;
    }
    if (m.Verb == QLatin1String("write")) {
        int status = exitOk;
        TFrame reply;
        if (!Ask(session, Payload::WriteMemory(m.Addresses.first(), m.Bytes), reply, status))
            return status;
        if (m.Json)
            PrintJson(QJsonObject{{"address", static_cast<qint64>(m.Addresses.first())},
                                  {"written", HexBytes(m.Bytes)}});
        else
            out << m.Bytes.size() << (m.Bytes.size() == 1 ? " byte" : " bytes") << " written at "
                << FormatMemoryAddress(m.Addresses.first()) << Qt::endl;
        return exitOk;
    }
    // watch: one line a round, each location read in turn.
    QJsonArray rounds;
    QElapsedTimer clock;
    clock.start();
    for (int n = 0; n < m.Count; ++n) {
        QStringList cells;
        QJsonObject round;
        for (quint32 address : m.Addresses) {
            const qint64 due = static_cast<qint64>(n * m.Addresses.size() + cells.size()) * kWatchPeriodMs;
            TCliSession::WaitUntil([&] { return clock.elapsed() >= due; }, static_cast<int>(due - clock.elapsed()) + 5);
            QByteArray value;
            if (const int status = ReadMemoryBytes(session, address, 1, value); status != exitOk)
                return status;
            cells << FormatMemoryAddress(address) + QLatin1Char('=') + HexBytes(value);
            round.insert(FormatMemoryAddress(address), HexBytes(value));
        }
        if (m.Json)
            rounds.append(round);
        else
            out << cells.join(QLatin1Char(' ')) << Qt::endl;
    }
    if (m.Json)
        PrintJson(QJsonObject{{"readings", rounds}});
    return exitOk;
}

// ---- pinout [--board NAME] [--json] (offline)

// The boards whose name contains NAME (case-insensitive), or both without it.
QList<int> BoardsNamed(const std::optional<QString>& name) {
    QList<int> boards;
    for (int b = 0; b < static_cast<int>(PinBoards().size()); ++b)
        if (!name || QString::fromLatin1(PinBoards()[static_cast<size_t>(b)].Name).contains(*name, Qt::CaseInsensitive))
            boards << b;
    return boards;
}

QString CheckPinout(const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--board", "--json"});
    if (!a.Error.isEmpty() || !a.Words.isEmpty())
        return QStringLiteral("usage: pinout [--board NAME] [--json]");
    if (BoardsNamed(a.Board).isEmpty()) {
        QStringList names;
        for (const TPinBoard& b : PinBoards())
            names << QString::fromLatin1(b.Name);
        return QStringLiteral("no board is named \"%1\"; the boards are %2").arg(*a.Board, names.join(", "));
    }
    return {};
}

int RunPinout(TCliSession*, const QStringList& args) {
    const TServiceArgs a = ParseServiceArgs(args, {"--board", "--json"});
    const QList<int> boards = BoardsNamed(a.Board);
    if (boards.isEmpty())
        return UsageError(CheckPinout(args));
    QTextStream& out = TCliSession::Out();
    QJsonArray list;
    for (int b : boards) {
        const TPinBoard& board = PinBoards()[static_cast<size_t>(b)];
        if (a.Json) {
            QJsonArray pins;
            for (int pin = 1; pin <= kConnectorPins; ++pin)
                pins.append(QJsonObject{{"pin", pin}, {"function", QString::fromLatin1(board.Pins[pin - 1])}});
            list.append(QJsonObject{{"board", QString::fromLatin1(board.Name)}, {"pins", pins}});
            continue;
        }
        if (b != boards.first())
            out << Qt::endl;
        out << board.Name << Qt::endl;
        for (int pin = 1; pin <= kConnectorPins; ++pin)
            out << PinLine(b, pin) << Qt::endl;
    }
    if (a.Json)
        PrintJson(QJsonObject{{"boards", list}});
    return exitOk;
}

} // namespace

const QList<TCliCommand>& ServiceCliCommands() {
    static const QList<TCliCommand> commands = {
        {"dtc", "[--clear] [--json]",
         "print the stored trouble codes with their status and description; --clear erases them first", true, 0, 2,
         RunDtc, CheckDtc},
        {"counters", "[--clear] [--json]",
         "print the driving cycles and the minutes on gas and on petrol; --clear sets them to zero first", true, 0, 2,
         RunCounters, CheckCounters},
        {"vin", "[--write TEXT] [--json]", "print the VIN; --write stores a 17-character VIN and reads it back", true,
         0, 3, RunVin, CheckVin},
        {"freeze-frame", "[--json]", "print the engine's state stored with the last fault", true, 0, 1, RunFreezeFrame,
         CheckJsonOnly},
        {"com-errors", "[--json]", "print the ECU's communication error log", true, 0, 1, RunComErrors,
         CheckJsonOnly},
        {"eobd", "[--count N] [--raw] [--json]",
         "read the car's on-board diagnostics N times: decoded mode 01 values, or the raw answers in hex", true, 0, 4,
         RunEobd, CheckEobd},
        {"memory", "read ADDR [COUNT] | write ADDR HEXBYTES | watch ADDR... --count N  [--json]",
         "read or write the ECU's memory, or watch locations (addresses decimal or 0x hexadecimal)", true, 2, 64,
         RunMemory, CheckMemory},
        {"pinout", "[--board NAME] [--json]", "print the connector's pin functions (offline)", false, 0, 3, RunPinout,
         CheckPinout},
    };
    return commands;
}

} // namespace ambrel::cli
