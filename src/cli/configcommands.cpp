// The configuration subcommands: read the ECU's configuration into a .cfg file, write a
// .cfg file into the ECU, and show a file's configuration in engineering units.

#include "clicommands.h"
#include "clisession.h"

#include "config/datamap.h"
#include "link/commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ambrel::cli {

namespace {

// Progress and messages of the model's transfers, on stderr.
class TStderrView final : public TConfigView {
public:
    void ShowProgress(const QString& text, int percent) override {
        TCliSession::Err() << text << ": " << percent << '%' << Qt::endl;
    }
    void SetProgress(int percent) override { TCliSession::Err() << "  " << percent << '%' << Qt::endl; }
    void ShowMessage(const QString& text, int) override { TCliSession::Err() << text << Qt::endl; }
    void ShowError(const QString& text) override { TCliSession::Err() << "error: " << text << Qt::endl; }
};

// Counts the outcomes of the model's 16 requests of a full transfer.
struct TTransferWatch {
    int Done = 0;
    int Failed = 0;
    bool TimedOut = false;
    bool Refused = false;
    bool Finished() const { return Done + Failed >= kImageRecordCount; }
};

int FinishTransfer(TCliSession* session, const TTransferWatch& watch, bool finished, const char* what) {
    if (finished && watch.Failed == 0)
        return exitOk;
    if (!finished)
        session->Link().FlushLink(); // nobody may answer the model after this
    TCliSession::Err() << "error: the configuration could not be " << what << " (" << watch.Done << " of "
                       << kImageRecordCount << " blocks" << (watch.Refused ? ", refused by the ECU" : "") << ")"
                       << Qt::endl;
    return watch.Refused && !watch.TimedOut ? exitRefused : exitNoAnswer;
}

// Runs a full transfer of the session's model and waits for all 16 outcomes.
template <class TStart>
int RunTransfer(TCliSession* session, bool reading, TStart start) {
    TDataMap& model = session->Model();
    TStderrView view;
    model.SetView(&view);
    TTransferWatch watch;
    QList<QMetaObject::Connection> links;
    if (reading)
        links << QObject::connect(&model, &TDataMap::BlockUploaded, [&](int, int) { ++watch.Done; });
    else
        links << QObject::connect(&model, &TDataMap::BlockDownloaded, [&](int) { ++watch.Done; });
    links << QObject::connect(&model, &TDataMap::RequestFailed, [&](bool timedOut) {
        ++watch.Failed;
        watch.TimedOut = watch.TimedOut || timedOut;
    });
    links << QObject::connect(&session->Link(), &TLinkManager::NackReceived, [&](quint16 code) {
        if (code == cmdReadBlock || code == cmdWriteBlock)
            watch.Refused = true;
    });
    start(model);
    const bool finished = session->WaitUntil([&] { return watch.Finished(); });
    for (const auto& c : links)
        QObject::disconnect(c);
    const int status = FinishTransfer(session, watch, finished, reading ? "read" : "written");
    model.SetView(nullptr);
    return status;
}

QString StrategyName(int flag) {
    return flag == strategyCompensated ? QStringLiteral("Compensated") : QStringLiteral("Slave");
}

int RunReadConfig(TCliSession* session, const QStringList& args) {
    const int status = RunTransfer(session, true, [](TDataMap& model) { model.UploadAll(1); });
    if (status != exitOk)
        return status; // the file is not touched
    TDataMap& model = session->Model();
    const TFileResult saved = model.SaveToFile(args.value(0));
    if (!saved.Ok()) {
        TCliSession::Err() << "error: " << saved.Error << Qt::endl;
        return exitFailure;
    }
    TCliSession::Out() << "Read the configuration (" << StrategyName(model.StrategyFlag) << ") into " << args.value(0)
                       << Qt::endl;
    return exitOk;
}

int RunWriteConfig(TCliSession* session, const QStringList& args) {
    TDataMap& model = session->Model();
    const TFileResult loaded = model.LoadFromFile(args.value(0));
    if (!loaded.Ok()) {
        TCliSession::Err() << "error: " << loaded.Error << Qt::endl;
        return exitFailure;
    }
    const int status = RunTransfer(session, false, [](TDataMap& m) { m.DownloadAll(QObject::tr("Download in progress"), true); });
    if (status != exitOk)
        return status;
    // The file's strategy goes last, as the ECU takes the configuration for it.
    const QByteArray select = Payload::Strategy(model.StrategyFlag == strategyCompensated
                                                    ? Payload::TStrategyRequest::SelectCompensated
                                                    : Payload::TStrategyRequest::SelectSlave);
    const TExchangeResult result = session->Exchange(select);
    if (!result.Ok())
        return session->ReportFailure(result, select);
    TCliSession::Out() << "Wrote " << args.value(0) << " (" << StrategyName(model.StrategyFlag) << ") into the ECU"
                       << Qt::endl;
    return exitOk;
}

QString Number(double v) {
    return QString::number(v, 'g', 10);
}

QJsonValue ParameterJson(const TConfiguration& c, const TParameterInfo& p) {
    if (std::holds_alternative<bool TConfiguration::*>(p.Field))
        return c.*std::get<bool TConfiguration::*>(p.Field);
    return ParameterValue(c, p);
}

int RunShowConfig(TCliSession*, const QStringList& args) {
    const bool json = args.contains(QStringLiteral("--json"));
    QStringList files = args;
    files.removeAll(QStringLiteral("--json"));
    if (files.size() != 1) {
        TCliSession::Err() << "error: usage: show-config FILE.cfg [--json]" << Qt::endl;
        return exitUsage;
    }
    TDataMap model;
    const TFileResult loaded = model.LoadFromFile(files.first());
    if (!loaded.Ok()) {
        TCliSession::Err() << "error: " << loaded.Error << Qt::endl;
        return exitFailure;
    }
    QTextStream& out = TCliSession::Out();
    if (json) {
        QJsonObject o;
        o.insert(QStringLiteral("Strategy"), StrategyName(model.StrategyFlag));
        o.insert(QStringLiteral("Supercharged"), model.Supercharged);
        o.insert(QStringLiteral("CarMake"), model.CarMake);
        o.insert(QStringLiteral("CarModel"), model.CarModel);
        o.insert(QStringLiteral("ConfigDate"), model.ConfigDate);
        for (const TParameterInfo& p : ParameterTable())
            o.insert(QLatin1String(p.Name), QJsonObject{{QStringLiteral("value"), ParameterJson(model, p)},
                                                        {QStringLiteral("unit"), QLatin1String(p.Unit)}});
        for (int t = 0; t < kMapTypeCount; ++t) {
            const TMapShape* s = MapShape(t);
            const auto type = static_cast<TMapTypeOfData>(t);
            QJsonArray values;
            for (int r = 1; r <= s->Rows; ++r) {
                QJsonArray row;
                for (int c = 1; c <= s->Cols; ++c)
                    row.append(model.GetValue(type, s->Rows > 1 ? r : 0, c));
                if (s->Rows > 1)
                    values.append(row);
                else
                    values = row;
            }
            o.insert(QLatin1String(s->Name),
                     QJsonObject{{QStringLiteral("unit"), QLatin1String(s->Unit)}, {QStringLiteral("values"), values}});
        }
        out << QJsonDocument(o).toJson(QJsonDocument::Indented);
        out.flush();
        return exitOk;
    }
    out << "Strategy: " << StrategyName(model.StrategyFlag) << (model.Supercharged ? ", supercharged" : "")
        << Qt::endl;
    out << "CarMake: " << model.CarMake << Qt::endl;
    out << "CarModel: " << model.CarModel << Qt::endl;
    out << "ConfigDate: " << model.ConfigDate << Qt::endl;
    for (const TParameterInfo& p : ParameterTable()) {
        out << p.Name << ": " << Number(ParameterValue(model, p));
        if (*p.Unit)
            out << ' ' << p.Unit;
        out << Qt::endl;
    }
    for (int t = 0; t < kMapTypeCount; ++t) {
        const TMapShape* s = MapShape(t);
        out << s->Name << (*s->Unit ? QStringLiteral(" (%1)").arg(QLatin1String(s->Unit)) : QString()) << ':';
        for (int r = 1; r <= s->Rows; ++r) {
            if (s->Rows > 1)
                out << Qt::endl << "  ";
            for (int c = 1; c <= s->Cols; ++c)
                out << ' ' << Number(model.GetValue(static_cast<TMapTypeOfData>(t), s->Rows > 1 ? r : 0, c));
        }
        out << Qt::endl;
    }
    return exitOk;
}

} // namespace

const QList<TCliCommand>& ConfigCliCommands() {
    static const QList<TCliCommand> commands = {
        {"read-config", "FILE.cfg", "read the configuration (16 blocks) from the ECU and save it", true, 1, 1,
         RunReadConfig},
        {"write-config", "FILE.cfg", "write a configuration file into the ECU, then select its strategy", true, 1, 1,
         RunWriteConfig},
        {"show-config", "FILE.cfg [--json]", "print a configuration file's parameters, maps, axes and curves", false,
         1, 2, RunShowConfig},
    };
    return commands;
}

} // namespace ambrel::cli
