// Configuration benchmarks:
//  1. encoding a whole configuration into the ECU image and decoding it back, in µs;
//  2. a full configuration read (16 blocks) and a full write against the simulated ECU on
//     a pseudo-terminal paced at 9600 baud, each as a ratio to the time the bytes on the
//     wire (10 bits a byte) and the protocol's pacing need: after each answer the engine
//     waits 6 idle ticks (55 ms on average) before the next request leaves.

#include "config/datamap.h"
#include "link/commands.h"
#include "wiretime.h"
#include "link/linkmanager.h"
#include "link/qtserialport.h"
#include "sim/simserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <functional>

using namespace ambrel;
using namespace ambrel::bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    // 1. Encode + decode.
    {
        TDataMap model;
        constexpr int kRounds = 5000;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < kRounds; ++i) {
            model.SwitchRPM = 1800 + (i % 10) * 100;
            model.EncodeImage();
            model.DecodeMaps(model.RawData().Record);
            model.DecodeParameters(model.RawData().Record);
        }
        const double us = static_cast<double>(clock.nsecsElapsed()) / 1e3 / kRounds;
        std::printf("encode+decode of a whole configuration: %8.2f us\n", us);
    }

    // 2. Full read and write at 9600 baud.
    sim::TSimServer server;
    if (!StartPacedSimulator(server))
        return 1;
    TQtSerialPort port;
    TSystemPortDirectory directory;
    TMemorySettingsStore settings; // a benchmark leaves the stored port alone
    TLinkManager link(port, directory, settings);
    TDataMap model;
    model.SetLink(link);
    QObject::connect(&link, &TLinkManager::StrategyReported, &model, &TDataMap::OnStrategyReported);
    bool ident = false;
    QObject::connect(&link, &TLinkManager::IdentificationChanged, [&] { ident = true; });
    link.Start(server.DeviceName(), true);
    link.CheckConnection();
    if (!WaitFor([&] { return ident; }, 20000)) {
        std::fprintf(stderr, "the simulated ECU did not answer\n");
        return 1;
    }
    link.AcquisitionModes().SetStatusUpdate(false);
    link.StopPolling();
    WaitFor([] { return false; }, 300);
    link.FlushLink();

    int uploaded = 0, written = 0, failed = 0;
    QObject::connect(&model, &TDataMap::BlockUploaded, [&](int, int) { ++uploaded; });
    QObject::connect(&model, &TDataMap::BlockDownloaded, [&](int) { ++written; });
    QObject::connect(&model, &TDataMap::RequestFailed, [&](bool) { ++failed; });

    qint64 readBytes = 0, writeBytes = 0;
    for (int i = 0; i < kImageRecordCount; ++i) {
        const TBlockBank bb = ImageRecordBlock(i);
        const QByteArray image = model.RawData().BuildBlock(bb.Block, bb.Bank);
        readBytes += StuffedSize(Payload::ReadBlock(bb.Block, bb.Bank)) +
                     StuffedSize(MakePayload(ReplyCodeFor(cmdReadBlock), image));
        writeBytes += StuffedSize(Payload::WriteBlock(image)) + StuffedSize(MakePayload(ReplyCodeFor(cmdWriteBlock)));
    }
    const double readBound = WireMs(readBytes) + kImageRecordCount * kPacingMs;
    const double writeBound = WireMs(writeBytes) + kImageRecordCount * kPacingMs;

    QElapsedTimer clock;
    clock.start();
    model.UploadAll(1);
    WaitFor([&] { return uploaded + failed >= kImageRecordCount; }, 60000);
    const double readMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("read-config (16 blocks):  %8.1f ms   wire+pacing %7.1f ms   ratio %.2f   (%d answered)\n", readMs,
                readBound, readMs / readBound, uploaded);

    clock.restart();
    model.DownloadAll(QStringLiteral("Download in progress"), false);
    WaitFor([&] { return written + failed >= kImageRecordCount; }, 60000);
    const double writeMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("write-config (16 blocks): %8.1f ms   wire+pacing %7.1f ms   ratio %.2f   (%d acknowledged)\n",
                writeMs, writeBound, writeMs / writeBound, written);
    link.Shutdown();
    return failed == 0 ? 0 : 1;
}
