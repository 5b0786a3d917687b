// The live-measurement subcommands: status (poll in one mode and print every derived
// measure), record (a trace file as the meters window writes it in the Standard
// acquisition) and trace-info (what a trace file holds).

#include "clicommands.h"
#include "clisession.h"

#include "link/commands.h"
#include "measure/acquisitions.h"
#include "measure/tracefile.h"
#include "session/session.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>


namespace ambrel::cli {

namespace {

// The meters window of the command line: it has no chart, and tells errors on stderr.
class TCliTraceView final : public TTraceView {
public:
    void ShowError(const QString& text) override { TCliSession::Err() << "error: " << text << Qt::endl; }
};

// TAcquisitions installed on the session's link for the life of a subcommand. On the way
// out the link gets its own poll modes back and nothing waiting still names this object.
class TLiveMeasures {
public:
    explicit TLiveMeasures(TCliSession& session)
        : m_link(session.Link()), m_controller(session.Controller()), m_acq(m_link) {
        m_acq.SetTraceView(&m_view);
        m_controller.SetAcquisitions(&m_acq); // the sensor settings of the ECU's configuration
        m_link.SetAcquisitionModes(&m_acq);
        QObject::connect(&m_link, &TLinkManager::NackReceived, &m_acq, [this](quint16 code) {
            if (code == cmdReadStatus || code == cmdReadStatusMin || code == cmdReadStatusExt)
                m_refused = true;
        });
        QObject::connect(&m_link, &TLinkManager::EcuDisconnected, &m_acq, [this] { m_lost = true; });
    }
    ~TLiveMeasures() {
        m_acq.SetRecording(false);
        m_acq.SetStandardAcquisition(false);
        m_acq.SetMinimumsAcquisition(false);
        m_acq.SetStatusUpdate(false);
        m_link.SetAcquisitionModes(nullptr);
        m_controller.SetAcquisitions(nullptr);
        m_link.FlushLink();
        m_link.DeliverPendingReplies();
    }
    TAcquisitions& Acq() { return m_acq; }
    bool Failed() const { return m_refused || m_lost; }
    // Exit status and message for a poll that stopped.
    int Failure() const {
        if (m_refused) {
            TCliSession::Err() << "error: the ECU refused the status request (NACK)" << Qt::endl;
            return exitRefused;
        }
        TCliSession::Err() << "error: no answer to the status request" << Qt::endl;
        return exitNoAnswer;
    }

private:
    TLinkManager& m_link;
    TSession& m_controller;
    TCliTraceView m_view;
    TAcquisitions m_acq;
    bool m_refused = false;
    bool m_lost = false;
};

constexpr int kReplyDeadlineMs = 10000;

QString NumberText(const TMeasureEntry& e, double v) {
    if (e.IsFlag)
        return v != 0 ? QStringLiteral("yes") : QStringLiteral("no");
    if (e.IsInteger)
        return QString::number(static_cast<qint64>(v));
    return QString::number(v, 'f', 3);
}

QJsonValue JsonNumber(const TMeasureEntry& e, double v) {
    if (e.IsFlag)
        return v != 0;
    if (e.IsInteger)
        return static_cast<qint64>(v);
    return v;
}

void PrintMeasures(const TDerivedMeasures& m, bool json) {
    const QList<TMeasureEntry> entries = MeasureEntries(m);
    QTextStream& out = TCliSession::Out();
    if (json) {
        QJsonObject o;
        for (const TMeasureEntry& e : entries) {
            if (e.Values.size() == 1) {
                o.insert(QLatin1String(e.Name), JsonNumber(e, e.Values.first()));
            } else {
                QJsonArray a;
                for (double v : e.Values)
                    a.append(JsonNumber(e, v));
                o.insert(QLatin1String(e.Name), a);
            }
        }
        out << QJsonDocument(o).toJson(QJsonDocument::Indented);
        out.flush();
        return;
    }
    for (const TMeasureEntry& e : entries) {
        QStringList values;
        for (double v : e.Values)
            values << NumberText(e, v);
        QString line = QStringLiteral("%1 %2").arg(QLatin1String(e.Name) + QLatin1Char(':'), -22).arg(values.join(' '));
        if (*e.Unit)
            line += QLatin1Char(' ') + QString::fromUtf8(e.Unit);
        if (QLatin1String(e.Name) == QLatin1String("EngineState") && !EngineStateText(m.EngineState).isEmpty())
            line += QStringLiteral(" (") + EngineStateText(m.EngineState) + QLatin1Char(')');
        out << line << Qt::endl;
    }
}

// status [--mode min|standard|extended] [--count N] [--json]
struct TStatusArgs {
    QString Mode = QStringLiteral("standard");
    int Count = 1;
    bool Json = false;
    bool Ok = true;
};

TStatusArgs ParseStatus(const QStringList& args) {
    TStatusArgs r;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--json")) {
            r.Json = true;
        } else if (a == QLatin1String("--mode") && i + 1 < args.size()) {
            r.Mode = args[++i];
        } else if (a == QLatin1String("--count") && i + 1 < args.size()) {
            bool ok = false;
            r.Count = args[++i].toInt(&ok);
            r.Ok = r.Ok && ok && r.Count >= 1;
        } else {
            r.Ok = false;
        }
    }
    r.Ok = r.Ok && QStringList{"min", "standard", "extended"}.contains(r.Mode);
    return r;
}

QString CheckStatus(const QStringList& args) {
    return ParseStatus(args).Ok ? QString()
                                : QStringLiteral("usage: status [--mode min|standard|extended] [--count N] [--json]");
}

int RunStatus(TCliSession* session, const QStringList& args) {
    const TStatusArgs parsed = ParseStatus(args);
    if (!parsed.Ok) {
        TCliSession::Err() << "error: " << CheckStatus(args) << Qt::endl;
        return exitUsage;
    }
    const QString& mode = parsed.Mode;
    const int count = parsed.Count;
    const bool json = parsed.Json;
    // The volts of the lambda probes and the throttle depend on the sensor types, the
    // injection sequence on the cylinders: the ECU's configuration says which.
    if (const int status = session->ReadSensorConfiguration(); status != exitOk)
        return status;
    TLiveMeasures live(*session);
    TAcquisitions& acq = live.Acq();
    // The reply that completes one poll in the mode: in the extended mode the
    // petrol-times reply follows the standard one.
    const quint16 last = mode == QLatin1String("min")        ? cmdReadStatusMin
                         : mode == QLatin1String("standard") ? cmdReadStatus
                                                             : cmdReadStatusExt;
    int polls = 0;
    QObject::connect(&acq, &TAcquisitions::MeasuresDerived, &acq, [&](quint16 code) {
        if (code == last)
            ++polls;
    });
    if (mode == QLatin1String("min"))
        acq.SetStatusUpdate(true);
    else if (mode == QLatin1String("standard"))
        acq.SetStandardAcquisition(true);
    else
        acq.SetMinimumsAcquisition(true);
    const bool done = TCliSession::WaitUntil([&] { return polls >= count || live.Failed(); }, count * kReplyDeadlineMs);
    if (!done || live.Failed())
        return live.Failure();
    PrintMeasures(acq.Measures(), json);
    return exitOk;
}

// record --seconds S FILE.txt
struct TRecordArgs {
    double Seconds = -1;
    QString Path;
    bool Ok() const { return Seconds > 0 && !Path.isEmpty(); }
};

TRecordArgs ParseRecord(const QStringList& args) {
    TRecordArgs r;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--seconds") && i + 1 < args.size()) {
            bool ok = false;
            r.Seconds = args[++i].toDouble(&ok);
            if (!ok)
                return {};
        } else if (r.Path.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            r.Path = args[i];
        } else {
            return {};
        }
    }
    return r;
}

QString CheckRecord(const QStringList& args) {
    return ParseRecord(args).Ok() ? QString() : QStringLiteral("usage: record --seconds S FILE.txt");
}

int RunRecord(TCliSession* session, const QStringList& args) {
    const TRecordArgs parsed = ParseRecord(args);
    if (!parsed.Ok()) {
        TCliSession::Err() << "error: " << CheckRecord(args) << Qt::endl;
        return exitUsage;
    }
    const double seconds = parsed.Seconds;
    const QString& path = parsed.Path;
    if (const int status = session->ReadSensorConfiguration(); status != exitOk)
        return status;
    TLiveMeasures live(*session);
    TAcquisitions& acq = live.Acq();
    // Each display step of the Standard acquisition is one refresh of the meters window.
    int lines = 0;
    QObject::connect(&acq, &TAcquisitions::AcquisitionStep, &acq, [&](bool meters) {
        if (meters) {
            acq.SampleTraces();
            if (acq.Recording())
                ++lines;
        }
    });
    acq.SetMetersShown(true);
    acq.SetStandardAcquisition(true);
    acq.SetTraceFileName(path);
    acq.SetRecording(true);
    if (!acq.Recording())
        return exitFailure;
    TCliSession::WaitUntil([&] { return !acq.Recording() || live.Failed(); }, static_cast<int>(seconds * 1000));
    const bool stopped = !acq.Recording();
    acq.SetRecording(false);
    if (stopped || live.Failed())
        return live.Failure();
    TCliSession::Out() << lines << " lines recorded to " << path << Qt::endl;
    return exitOk;
}

// trace-info FILE.txt
int RunTraceInfo(TCliSession*, const QStringList& args) {
    QFile file(args.first());
    if (!file.open(QIODevice::ReadOnly)) {
        TCliSession::Err() << "error: cannot open " << args.first() << ": " << file.errorString() << Qt::endl;
        return exitFailure;
    }
    TTraceSummary s;
    if (const TTraceError error = SummariseTrace(file.readAll(), s); error.Failed()) {
        TCliSession::Err() << "error: " << args.first() << " is not a valid file (" << error.What << ")" << Qt::endl;
        return exitFailure;
    }
    QTextStream& out = TCliSession::Out();
    out << "Traces:    " << s.Titles.size() << Qt::endl;
    for (const QString& t : s.Titles)
        out << "  " << t << Qt::endl;
    out << "Lines:     " << s.DataLines << Qt::endl;
    out << "Time span: " << QString::number(s.FirstTime, 'f', 2) << " to " << QString::number(s.LastTime, 'f', 2)
        << " s" << Qt::endl;
    if (s.Scaling.isEmpty()) {
        out << "Scaling:   none (the recording was cut short)" << Qt::endl;
    } else {
        out << "Scaling:" << Qt::endl;
        for (qsizetype k = 0; k < s.Scaling.size(); ++k)
            out << "  " << (k < s.Titles.size() ? s.Titles[k] : QStringLiteral("column %1").arg(k + 2)) << "\t"
                << QString::fromLatin1(s.Scaling[k]).trimmed() << Qt::endl;
    }
    return exitOk;
}

} // namespace

const QList<TCliCommand>& MeasureCliCommands() {
    static const QList<TCliCommand> commands = {
        {"status", "[--mode min|standard|extended] [--count N] [--json]",
         "poll the live status in one mode and print every derived measure with its unit", true, 0, 5, RunStatus,
         CheckStatus},
        {"record", "--seconds S FILE.txt",
         "record a trace file of the Standard acquisition, as the meters window does", true, 3, 3, RunRecord,
         CheckRecord},
        {"trace-info", "FILE.txt", "print a trace file's titles, lines, time span and scaling", false, 1, 1,
         RunTraceInfo},
    };
    return commands;
}

} // namespace ambrel::cli
