#include "clicommands.h"

#include "clisession.h"
#include "link/bytequeue.h"
#include "link/commands.h"

namespace ambrel::cli {

namespace {

QString StrategyName(int flag) {
    switch (flag) {
    case 0:
        return QStringLiteral("Slave");
    case 1:
        return QStringLiteral("Compensated");
    default:
        return QStringLiteral("unknown");
    }
}

int RunIdent(TCliSession* session, const QStringList&) {
    // The link parsed the identification on connecting; ask once more so that the printed
    // text is this request's answer, and so that a refusal is seen here too.
    const QByteArray strategyPayload = Payload::Strategy(Payload::TStrategyRequest::Query);
    const TExchangeResult strategy = session->Exchange(strategyPayload);
    if (!strategy.Ok())
        return session->ReportFailure(strategy, strategyPayload);
    const QByteArray identPayload = Payload::Plain(cmdReadIdent);
    const TExchangeResult ident = session->Exchange(identPayload);
    if (!ident.Ok())
        return session->ReportFailure(ident, identPayload);

    TLinkManager& link = session->Link();
    link.ParseIdentification(ident.Reply.FrameDataPart());
    const int answer = Answer::Strategy(strategy.Reply.FrameDataPart());
    QTextStream& out = TCliSession::Out();
    out << "Identification:   " << QString::fromLatin1(ident.Reply.FrameDataPart()) << Qt::endl;
    out << "Family:           " << link.EcuFamily() << (link.EcuFamily() == 0 ? " (WUX)" : "") << Qt::endl;
    out << "Firmware major:   " << link.FirmwareMajor() << Qt::endl;
    out << "Hardware version: " << link.HardwareVersion() << Qt::endl;
    out << "Firmware release: " << link.FirmwareRelease() << Qt::endl;
    out << "Strategy:         " << StrategyName(answer == 1 || answer == 2 ? answer - 1 : -1) << Qt::endl;
    out << "Port:             " << session->PortLabel() << Qt::endl;
    return exitOk;
}

bool ParseHexData(const QStringList& words, QByteArray& data) {
    QString joined = words.join(QString());
    joined.remove(QLatin1Char(' ')).remove(QLatin1Char(':'));
    if (joined.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        joined = joined.mid(2);
    if (joined.size() % 2 != 0)
        return false;
    for (QChar c : joined)
        if (!isxdigit(c.toLatin1()))
            return false;
    data = QByteArray::fromHex(joined.toLatin1());
    return true;
}

// The request of `raw CODE [HEX-DATA]`, or the usage error.
struct TRawRequest {
    QByteArray Payload;
    QString Error;
};

TRawRequest ParseRaw(const QStringList& args) {
    const auto code = ParseCommandCode(args.value(0));
    QByteArray data;
    if (!code || !ParseHexData(args.mid(1), data))
        return {{}, QStringLiteral("raw needs a command code (0x0007, 7 or cmdCheckConnection) and hex data")};
    if (data.size() + 2 > kMaxPayload)
        return {{}, QStringLiteral("at most %1 data bytes fit in a frame").arg(kMaxPayload - 2)};
    return {MakePayload(*code, data), {}};
}

QString CheckRaw(const QStringList& args) {
    return ParseRaw(args).Error;
}

int RunRaw(TCliSession* session, const QStringList& args) {
    const TRawRequest request = ParseRaw(args);
    if (!request.Error.isEmpty()) {
        TCliSession::Err() << "error: " << request.Error << Qt::endl;
        return exitUsage;
    }
    const QByteArray& payload = request.Payload;
    const TExchangeResult result = session->Exchange(payload);
    if (!result.Ok())
        return session->ReportFailure(result, payload);
    TCliSession::Out() << (HexWord(result.Reply.Code()) + QStringLiteral(": ") + HexDump(result.Reply.FrameDataPart()))
                              .trimmed()
                       << Qt::endl;
    return exitOk;
}

} // namespace

const QList<TCliCommand>& LinkCliCommands() {
    static const QList<TCliCommand> commands = {
        {"ident", "", "connect and print the identification, version numbers and strategy", true, 0, 0, RunIdent},
        {"raw", "CODE [HEX-DATA]", "send one request and print the answer's code and data in hex", true, 1, 250,
         RunRaw, CheckRaw},
    };
    return commands;
}

const QList<TCliCommand>& CliCommands() {
    // Each layer brings its own table; the order here is the order of the usage text.
    static const QList<TCliCommand> all = LinkCliCommands() + ServiceCliCommands() + ConfigCliCommands() + MeasureCliCommands();
    return all;
}

const TCliCommand* FindCliCommand(const QString& name) {
    for (const TCliCommand& c : CliCommands())
        if (name == QLatin1String(c.Name))
            return &c;
    return nullptr;
}

QString CliUsage() {
    QString text = QStringLiteral("usage: ambrel-q7-cli (--port NAME | --sim) [--verbose] COMMAND [ARGS]\n\ncommands:\n");
    for (const TCliCommand& c : CliCommands())
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QLatin1String(c.Name), QLatin1String(c.Arguments), QLatin1String(c.Help));
    text += QStringLiteral("\nexit status: 0 success, 2 usage error, 3 the ECU does not answer, 4 the ECU refused\n");
    return text;
}

} // namespace ambrel::cli
