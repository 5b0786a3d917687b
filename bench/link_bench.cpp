// Link benchmarks against the simulated ECU on a pseudo-terminal, paced at 9600 baud:
//  1. opening the port until the identification is known (check, strategy, identification);
//  2. 100 exchanges of the connection check;
//  3. the accuracy of the 10 ms master tick over 10 s.
// Each figure is printed with its ratio to what the bytes on the wire (10 bits a byte) plus
// the protocol's own pacing need: after an answer the engine waits 6 idle ticks (the reply
// lands part-way through a tick, so 55 ms on average) before the next request leaves.

#include "link/commands.h"
#include "wiretime.h"
#include "link/linkmanager.h"
#include "link/qtserialport.h"
#include "sim/simserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace ambrel;
using namespace ambrel::bench;

namespace {

class TWait final : public TConsumerInterface {
public:
    QEventLoop loop;
    bool ok = false;
    void OnReply(const TFrame&) override {
        ok = true;
        loop.quit();
    }
    void OnFailure() override { loop.quit(); }
    void OnTimeout() override { loop.quit(); }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    sim::TSimServer server;
    if (!StartPacedSimulator(server))
        return 1;

    TQtSerialPort port;
    TSystemPortDirectory directory;
    TMemorySettingsStore settings; // a benchmark leaves the stored port alone
    TLinkManager link(port, directory, settings);

    // 1. Port opened to identification known.
    QEventLoop connected;
    bool strategy = false, ident = false;
    QObject::connect(&link, &TLinkManager::StrategyReported, [&](int, bool) {
        strategy = true;
        if (ident)
            connected.quit();
    });
    QObject::connect(&link, &TLinkManager::IdentificationChanged, [&] {
        ident = true;
        if (strategy)
            connected.quit();
    });
    QElapsedTimer clock;
    clock.start();
    link.Start(server.DeviceName(), true);
    link.CheckConnection();
    QTimer::singleShot(20000, &connected, &QEventLoop::quit);
    connected.exec();
    const double connectMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const QByteArray identText = server.Ecu().Ident();
    const qint64 connectBytes = StuffedSize(Payload::Plain(cmdCheckConnection)) +
                                StuffedSize(MakePayload(ReplyCodeFor(cmdCheckConnection))) +
                                StuffedSize(Payload::Strategy(Payload::TStrategyRequest::Query)) +
                                StuffedSize(MakePayload(ReplyCodeFor(cmdStrategy), QByteArray(1, '\1'))) +
                                StuffedSize(Payload::Plain(cmdReadIdent)) +
                                StuffedSize(MakePayload(ReplyCodeFor(cmdReadIdent), identText));
    // The first request leaves on the sixth tick after start, the other two after pacing.
    const double connectBound = WireMs(connectBytes) + 60.0 + 2 * kPacingMs;
    std::printf("connect to identification: %8.1f ms   wire+pacing %7.1f ms   ratio %.2f   (%s)\n", connectMs,
                connectBound, connectMs / connectBound, strategy && ident ? "ok" : "FAILED");

    // Quiet the periodic status poll so that only the measured exchanges use the line.
    link.AcquisitionModes().SetStatusUpdate(false);
    link.StopPolling();
    link.DeliverPendingReplies();
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    link.FlushLink();
    link.AcquisitionModes().SetStatusUpdate(false);

    // 2. 100 connection checks, one after the other.
    constexpr int kExchanges = 100;
    int answered = 0;
    clock.restart();
    for (int i = 0; i < kExchanges; ++i) {
        TWait wait;
        link.QueueCommand(Payload::Plain(cmdCheckConnection), &wait);
        wait.loop.exec();
        answered += wait.ok ? 1 : 0;
    }
    const double exchangesMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const double exchangeBound =
        kExchanges * (WireMs(StuffedSize(Payload::Plain(cmdCheckConnection)) +
                             StuffedSize(MakePayload(ReplyCodeFor(cmdCheckConnection)))) +
                      kPacingMs);
    std::printf("100 x 0x0007 exchanges:    %8.1f ms   wire+pacing %7.1f ms   ratio %.2f   (%d answered)\n",
                exchangesMs, exchangeBound, exchangesMs / exchangeBound, answered);

    // 3. Master tick accuracy over 10 s.
    QList<qint64> stamps;
    stamps.reserve(1100);
    QElapsedTimer tickClock;
    tickClock.start();
    QObject::connect(&link.MasterTimer(), &QTimer::timeout, [&] { stamps << tickClock.nsecsElapsed(); });
    QEventLoop tenSeconds;
    QTimer::singleShot(10000, Qt::PreciseTimer, &tenSeconds, &QEventLoop::quit);
    tenSeconds.exec();
    double worst = 0, sum = 0;
    for (qsizetype i = 1; i < stamps.size(); ++i) {
        const double period = static_cast<double>(stamps[i] - stamps[i - 1]) / 1e6;
        sum += period;
        worst = std::max(worst, period);
    }
    const double mean = stamps.size() > 1 ? sum / static_cast<double>(stamps.size() - 1) : 0;
    const double span = stamps.size() > 1 ? static_cast<double>(stamps.last() - stamps.first()) / 1e9 : 0;
    std::printf("master tick over %.2f s:   %lld ticks   mean %.3f ms (ratio %.3f to 10 ms)   worst %.3f ms\n", span,
                static_cast<long long>(stamps.size()), mean, mean / 10.0, worst);
    link.Shutdown();
    return 0;
}
