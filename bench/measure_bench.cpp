// Live-measure benchmarks, each measured in one run:
//  1. decoding and deriving one status reply, per layout, in nanoseconds;
//  2. loading a trace file recorded at 150 ms with all 41 traces, one hour (24 000 lines)
//     and ten hours (240 000 lines) long, as the playback does (every point handed to the
//     chart), against reading the same bytes with a plain split into lines and fields.

#include "measure/measures.h"
#include "measure/rawmeasures.h"
#include "measure/tracefile.h"
#include "sim/enginemodel.h"
#include "sim/statusrecords.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace ambrel;

namespace {

double DecodeNs(void (TRawMeasures::*decode)(const QByteArray&), const QByteArray& data) {
    constexpr int kRounds = 1000000;
    TRawMeasures raw;
    TDerivedMeasures m;
    const TMeasureSettings settings;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kRounds; ++i) {
        (raw.*decode)(data);
        Derive(raw, settings, 4, m);
    }
    const double ns = static_cast<double>(timer.nsecsElapsed()) / kRounds;
    if (m.RPM < 0)
        std::puts(""); // keeps the loop from being optimised away
    return ns;
}

QByteArray MakeTrace(int lines) {
    sim::TEngineModel model;
    QByteArray file = TraceHeaderLine() + "\r\n";
    file.reserve(static_cast<qsizetype>(lines) * 300);
    TRawMeasures raw;
    TDerivedMeasures m;
    for (int i = 0; i < lines; ++i) {
        model.Advance(150);
        raw.DecodeStatus(sim::StatusRecord(sim::RawMeasures(model.Values())));
        Derive(raw, TMeasureSettings{}, 4, m);
        file += TraceDataLine(0.001 + 0.15 * i, m) + "\r\n";
    }
    return file + TraceScalingLine(InitialTraceSettings());
}

struct TPoint {
    float Time, Value;
};

double LoadMs(const QString& path, qint64& points) {
    std::vector<std::vector<TPoint>> chart(kTraceCount);
    QElapsedTimer timer;
    timer.start();
    TTraceSettings settings = InitialTraceSettings();
    double last = 0;
    if (ReadTraceHeader(path, settings).Failed() ||
        ReadTraceData(
            path,
            [&](int trace, double time, double value) {
                const double max = settings[static_cast<std::size_t>(trace)].Max;
                chart[static_cast<std::size_t>(trace)].push_back(
                    {static_cast<float>(time), static_cast<float>(max != 0 ? value * 100 / max : value)});
            },
            last)
            .Failed())
        std::puts("load failed");
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    points = 0;
    for (const auto& t : chart)
        points += static_cast<qint64>(t.size());
    return ms;
}

double PlainSplitMs(const QString& path, qint64& fields) {
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray content = file.readAll();
    fields = 0;
    for (const QByteArray& line : content.split('\n'))
        fields += line.split('\t').size();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    sim::TEngineOptions o;
    o.StartMs = 48000;
    const sim::TEngineRaw r = sim::RawMeasures(sim::TEngineModel(o).Values());
    std::printf("decode + derive per reply:\n");
    std::printf("  standard (121 bytes):     %6.0f ns\n", DecodeNs(&TRawMeasures::DecodeStatus, sim::StatusRecord(r)));
    std::printf("  short (48 bytes):         %6.0f ns\n", DecodeNs(&TRawMeasures::DecodeStatusMin, sim::StatusMinRecord(r)));
    std::printf("  petrol times (34 bytes):  %6.0f ns\n", DecodeNs(&TRawMeasures::DecodeStatusExt, sim::StatusExtRecord(r)));
    std::printf("  (the poll asks every 90 ms at the most: %.1e of the time between replies)\n",
                DecodeNs(&TRawMeasures::DecodeStatus, sim::StatusRecord(r)) / 90e6);

    QTemporaryDir dir;
    for (const int hours : {1, 10}) {
        const int lines = 24000 * hours;
        const QString path = dir.filePath(QStringLiteral("trace%1.txt").arg(hours));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(MakeTrace(lines));
        f.close();
        qint64 points = 0, fields = 0;
        PlainSplitMs(path, fields); // warm the page cache
        const double split = PlainSplitMs(path, fields);
        const double load = LoadMs(path, points);
        std::printf("trace of %2d h (%d lines, %.1f MB): load %8.1f ms (%lld points), plain split %7.1f ms, "
                    "ratio %.2f\n",
                    hours, lines, static_cast<double>(QFile(path).size()) / 1e6, load,
                    static_cast<long long>(points), split, load / split);
    }
    return 0;
}
