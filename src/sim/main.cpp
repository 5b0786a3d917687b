// ambrel-ecu-sim: the simulated ECU on a pseudo-terminal, for trying the workbench and
// its command-line tool without a car. It prints the device to open, then serves until
// it is interrupted.

#include "simserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QStringList>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

using namespace ambrel::sim;

namespace {

// Signals are turned into a byte on a pipe, which the event loop reads, so that the
// program leaves through the normal end of the event loop.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char b = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &b, 1);
}

bool InstallSignalHandlers() {
    if (::pipe(g_signalPipe) != 0)
        return false;
    for (const int fd : g_signalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

// Accepts 0x-prefixed hexadecimal or decimal.
bool ParseNumber(const QString& text, int& value) {
    bool ok = false;
    const QString t = text.trimmed();
    const long v =
        t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? t.mid(2).toLong(&ok, 16) : t.toLong(&ok, 10);
    if (!ok || v < -1 || v > 0x7FFFFFFF)
        return false;
    value = static_cast<int>(v);
    return true;
}

int Fail(const QString& message) {
    QTextStream(stderr) << "ambrel-ecu-sim: " << message << Qt::endl;
    return 2;
}

// "P3391:present", "U300A:stored", "C0120:not-ready": a trouble code as the workbench
// writes it and its status; nothing for anything else.
std::optional<TDtcEntry> ParseStoredCode(const QString& text) {
    static const QString kLetters = QStringLiteral("PCBU");
    const QString name = text.section(QLatin1Char(':'), 0, 0).trimmed().toUpper();
    const QString status = text.section(QLatin1Char(':'), 1).trimmed().toLower();
    if (name.size() != 5 || kLetters.indexOf(name[0]) < 0 || name[1] < QLatin1Char('0') || name[1] > QLatin1Char('3'))
        return std::nullopt;
    bool ok = false;
    const int low = name.mid(2).toInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    TDtcEntry entry;
    entry.Code = static_cast<quint16>(kLetters.indexOf(name[0]) << 14 | (name[1].unicode() - '0') << 12 | low);
    if (status == QLatin1String("not-ready"))
        entry.Status = 0;
    else if (status == QLatin1String("present") || status.isEmpty())
        entry.Status = 1;
    else if (status == QLatin1String("stored"))
        entry.Status = 2;
    else
        return std::nullopt;
    return entry;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ambrel-ecu-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated gas-injection ECU on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption silenceAfter(QStringLiteral("silence-after"),
                                          QStringLiteral("Answer the first N requests, then nothing."),
                                          QStringLiteral("N"));
    const QCommandLineOption dropEvery(QStringLiteral("drop-every"),
                                       QStringLiteral("Ignore every K-th request."), QStringLiteral("K"));
    const QCommandLineOption corruptEvery(QStringLiteral("corrupt-every"),
                                          QStringLiteral("Spoil the checksum of every K-th reply."),
                                          QStringLiteral("K"));
    const QCommandLineOption nack(
        QStringLiteral("nack"),
        QStringLiteral("Refuse these request codes (hex 0x.. or decimal, comma-separated)."),
        QStringLiteral("CODE[,CODE]"));
    const QCommandLineOption echoEvery(QStringLiteral("echo-every"),
                                       QStringLiteral("Echo every K-th request before its reply."),
                                       QStringLiteral("K"));
    const QCommandLineOption incompleteEvery(QStringLiteral("incomplete-every"),
                                             QStringLiteral("Cut every K-th reply short."),
                                             QStringLiteral("K"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Wait MS before each reply."),
                                   QStringLiteral("MS"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Pace the line at B baud, 10 bits a byte (0 = no pacing)."),
                                  QStringLiteral("B"));
    const QCommandLineOption ident(QStringLiteral("ident"), QStringLiteral("Identification text."),
                                   QStringLiteral("TEXT"));
    const QCommandLineOption strategy(QStringLiteral("strategy"), QStringLiteral("slave or compensated."),
                                      QStringLiteral("NAME"));
    const QCommandLineOption sequence(QStringLiteral("sequence"),
                                      QStringLiteral("sequential, full-group or semi-sequential."),
                                      QStringLiteral("KIND"));
    const QCommandLineOption frozen(QStringLiteral("frozen"), QStringLiteral("Stop the engine's clock."));
    const QCommandLineOption startAt(
        QStringLiteral("start-at"),
        QStringLiteral("Start the engine's clock at S seconds (with --frozen: the "
                       "moment to freeze)."),
        QStringLiteral("S"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the engine's noise."),
                                  QStringLiteral("N"));
    const QCommandLineOption stallEvery(QStringLiteral("stall-every"),
                                        QStringLiteral("Stall the engine every S seconds (it restarts by itself)."),
                                        QStringLiteral("S"));
    const QCommandLineOption dtc(
        QStringLiteral("dtc"),
        QStringLiteral("Store these trouble codes instead of the demo car's (CODE[:present|stored|not-ready], "
                       "comma-separated; \"none\" for none)."),
        QStringLiteral("LIST"));
    const QCommandLineOption comErrors(QStringLiteral("com-errors"),
                                       QStringLiteral("The COM error log (codes, comma-separated; \"none\" for none)."),
                                       QStringLiteral("LIST"));
    const QCommandLineOption vin(QStringLiteral("vin"), QStringLiteral("The VIN held (17 characters)."),
                                 QStringLiteral("TEXT"));
    parser.addOptions({silenceAfter, dropEvery, corruptEvery, nack, echoEvery, incompleteEvery, delay, baud,
                       ident, strategy, sequence, frozen, startAt, seed, stallEvery, dtc, comErrors, vin});
    parser.process(app);

    TSimFaults faults;
    int stallSeconds = 0;
    const struct {
        const QCommandLineOption& Option;
        int& Target;
        int Minimum;
    } numbers[] = {
        {silenceAfter, faults.SilenceAfter, -1},
        {dropEvery, faults.DropEvery, 0},
        {corruptEvery, faults.CorruptEvery, 0},
        {echoEvery, faults.EchoEvery, 0},
        {incompleteEvery, faults.IncompleteEvery, 0},
        {delay, faults.AnswerDelayMs, 0},
        {baud, faults.PacingBaud, 0},
        {stallEvery, stallSeconds, 0},
    };
    for (const auto& n : numbers) {
        if (!parser.isSet(n.Option))
            continue;
        if (!ParseNumber(parser.value(n.Option), n.Target) || n.Target < n.Minimum)
            return Fail(QStringLiteral("--%1 needs a number, not \"%2\"")
                            .arg(n.Option.names().constFirst(), parser.value(n.Option)));
    }
    for (const QString& codes : parser.values(nack)) {
        for (const QString& text : codes.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            int code = 0;
            if (!ParseNumber(text, code) || code < 0 || code > 0xFFFF)
                return Fail(QStringLiteral("--nack: \"%1\" is not a command code").arg(text));
            faults.NackCodes.insert(static_cast<quint16>(code));
        }
    }

    TEngineOptions engine;
    engine.Frozen = parser.isSet(frozen);
    if (parser.isSet(sequence)) {
        const QString kind = parser.value(sequence);
        if (kind == QLatin1String("sequential"))
            engine.Sequence = TInjectionSequence::Sequential;
        else if (kind == QLatin1String("full-group"))
            engine.Sequence = TInjectionSequence::FullGroup;
        else if (kind == QLatin1String("semi-sequential"))
            engine.Sequence = TInjectionSequence::SemiSequential;
        else
            return Fail(QStringLiteral("--sequence: \"%1\" is not a sequence kind").arg(kind));
    }
    if (parser.isSet(startAt)) {
        bool ok = false;
        const double s = parser.value(startAt).toDouble(&ok);
        if (!ok || s < 0)
            return Fail(QStringLiteral("--start-at needs seconds, not \"%1\"").arg(parser.value(startAt)));
        engine.StartMs = static_cast<qint64>(s * 1000);
    }
    if (parser.isSet(seed)) {
        int value = 0;
        if (!ParseNumber(parser.value(seed), value) || value < 0)
            return Fail(QStringLiteral("--seed needs a number"));
        engine.Seed = static_cast<quint32>(value);
    }

    TSimServer server(engine);
    TSimEcu& ecu = server.Ecu();
    ecu.SetFaults(faults);
    if (parser.isSet(ident))
        ecu.SetIdent(parser.value(ident).toLatin1());
    if (parser.isSet(strategy)) {
        const QString name = parser.value(strategy);
        if (name == QLatin1String("slave"))
            ecu.SetStrategy(TStrategy::Slave);
        else if (name == QLatin1String("compensated"))
            ecu.SetStrategy(TStrategy::Compensated);
        else
            return Fail(QStringLiteral("--strategy: \"%1\" is neither slave nor compensated").arg(name));
    }
    if (parser.isSet(dtc)) {
        QList<TDtcEntry> codes;
        const QString list = parser.value(dtc);
        if (list != QLatin1String("none")) {
            for (const QString& text : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const std::optional<TDtcEntry> entry = ParseStoredCode(text);
                if (!entry)
                    return Fail(QStringLiteral("--dtc: \"%1\" is not a trouble code with a status").arg(text));
                codes << *entry;
            }
        }
        ecu.SetTroubleCodes(codes);
    }
    if (parser.isSet(comErrors)) {
        QList<quint16> codes;
        const QString list = parser.value(comErrors);
        if (list != QLatin1String("none")) {
            for (const QString& text : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                int code = 0;
                if (!ParseNumber(text, code) || code <= 0 || code > 0xFFFF)
                    return Fail(QStringLiteral("--com-errors: \"%1\" is not an error code").arg(text));
                codes << static_cast<quint16>(code);
            }
        }
        ecu.SetComErrors(codes);
    }
    if (parser.isSet(vin)) {
        const QByteArray text = parser.value(vin).toLatin1();
        if (text.size() != 17)
            return Fail(QStringLiteral("--vin needs 17 characters"));
        ecu.SetVin(text);
    }

    if (!InstallSignalHandlers())
        return Fail(QStringLiteral("cannot install the signal handlers"));
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char b = 0;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &b, 1);
        QCoreApplication::quit();
    });

    QTimer stallTimer;
    if (stallSeconds > 0) {
        QObject::connect(&stallTimer, &QTimer::timeout, &app, [&ecu] { ecu.Engine().Stall(); });
        stallTimer.start(stallSeconds * 1000);
    }

    if (!server.Start())
        return Fail(QStringLiteral("cannot open a pseudo-terminal: %1").arg(server.ErrorString()));
    std::printf("ambrel-ecu-sim: open %s\n", qPrintable(server.DeviceName()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
