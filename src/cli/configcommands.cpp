// The configuration subcommands: read the ECU's configuration into a .cfg file, write a
// .cfg file into the ECU, and show a file's configuration in engineering units.

#include "clicommands.h"
#include "clisession.h"

#include "config/datamap.h"
#include "link/commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

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

// Watches a whole transfer of the session's model: refusals and a lost port.
struct TTransferWatch {
    bool Refused = false;
    QString Lost;
    QList<QMetaObject::Connection> Links;
    explicit TTransferWatch(TCliSession* session) {
        Links << QObject::connect(&session->Link(), &TLinkManager::NackReceived, [this](quint16 code) {
            if (code == cmdReadBlock || code == cmdWriteBlock)
                Refused = true;
        });
        Links << QObject::connect(&session->Link(), &TLinkManager::PortLost,
                                  [this](const QString& port, const QString& reason) {
                                      Lost = QStringLiteral("the port %1 failed: %2").arg(port, reason);
                                  });
    }
    ~TTransferWatch() {
        for (const auto& c : Links)
            QObject::disconnect(c);
    }
    int Status() const { return Refused && Lost.isEmpty() ? exitRefused : exitNoAnswer; }
    QString Why() const {
        return !Lost.isEmpty() ? Lost : Refused ? QStringLiteral("refused by the ECU") : QStringLiteral("no answer");
    }
};

// Reads all 16 blocks. Every block answer has been matched to its request by the link
// (block number and bank), so each block counts once; the read succeeds only when all
// 16 arrived and none failed.
int ReadWholeConfiguration(TCliSession* session) {
    TDataMap& model = session->Model();
    TStderrView view;
    model.SetView(&view);
    TTransferWatch watch(session);
    QSet<int> read;
    int failed = 0;
    auto c1 = QObject::connect(&model, &TDataMap::BlockUploaded, [&](int block, int bank) { read.insert(block * 10 + bank); });
    auto c2 = QObject::connect(&model, &TDataMap::RequestFailed, [&](bool) { ++failed; });
    model.UploadAll(1);
    const bool finished = session->WaitUntil([&] { return read.size() + failed >= kImageRecordCount; });
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    model.SetView(nullptr);
    if (finished && failed == 0 && read.size() == kImageRecordCount)
        return exitOk;
    if (!finished)
        session->Link().FlushLink(); // nobody may answer the model after this
    TCliSession::Err() << "error: the configuration could not be read (" << read.size() << " of " << kImageRecordCount
                       << " blocks; " << watch.Why() << ")" << Qt::endl;
    return watch.Status();
}

// Writes the whole configuration (failed blocks go once more) and names the blocks that
// the ECU may now hold wrongly when it still fails.
int WriteWholeConfiguration(TCliSession* session) {
    TDataMap& model = session->Model();
    TStderrView view;
    model.SetView(&view);
    TTransferWatch watch(session);
    bool done = false, ok = false;
    QList<TBlockBank> left;
    auto c = QObject::connect(&model, &TDataMap::WholeWriteFinished,
                              [&](bool success, const QList<TBlockBank>& blocks, const QString&) {
                                  done = true;
                                  ok = success;
                                  left = blocks;
                              });
    model.DownloadAll(QObject::tr("Download in progress"), true);
    const bool finished = session->WaitUntil([&] { return done; });
    QObject::disconnect(c);
    model.SetView(nullptr);
    if (finished && ok)
        return exitOk;
    if (!finished) {
        session->Link().FlushLink();
        TCliSession::Err() << "error: the configuration could not be written (no outcome; " << watch.Why() << ")"
                           << Qt::endl;
        return exitNoAnswer;
    }
    QStringList names;
    for (const TBlockBank& bb : left)
        names << TDataMap::BlockText(bb);
    TCliSession::Err() << "error: the configuration could not be written (" << watch.Why() << "); " << left.size()
                       << " of " << kImageRecordCount << " blocks may now be wrong in the ECU: " << names.join("; ")
                       << Qt::endl;
    return watch.Status();
}

QString StrategyName(int flag) {
    return flag == strategyCompensated ? QStringLiteral("Compensated") : QStringLiteral("Slave");
}

int RunReadConfig(TCliSession* session, const QStringList& args) {
    const int status = ReadWholeConfiguration(session);
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

// A file that is not a complete configuration is refused before the port is opened.
QString CheckWriteConfig(const QStringList& args) {
    TDataMap model;
    return model.LoadFromFile(args.value(0)).Error;
}

int RunWriteConfig(TCliSession* session, const QStringList& args) {
    TDataMap& model = session->Model();
    const TFileResult loaded = model.LoadFromFile(args.value(0));
    if (!loaded.Ok()) {
        TCliSession::Err() << "error: " << loaded.Error << Qt::endl;
        return exitFailure;
    }
    const int status = WriteWholeConfiguration(session);
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
         RunWriteConfig, CheckWriteConfig},
        {"show-config", "FILE.cfg [--json]", "print a configuration file's parameters, maps, axes and curves", false,
         1, 2, RunShowConfig},
    };
    return commands;
}

} // namespace ambrel::cli
