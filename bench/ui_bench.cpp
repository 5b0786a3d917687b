// Start-up and idle cost of the workbench window against the simulated ECU:
//  1. from starting the process to the main window shown, and to the ECU connected;
//  2. CPU used by the program while it polls the simulated ECU for 30 s (percent of one core).
// Run under a display (xvfb-run) or with QT_QPA_PLATFORM=offscreen.
//   ui_bench PATH-TO-ambrel-q7 [seconds]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {
// User + system CPU time of a process, in seconds.
double CpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(stat.readAll());
    const QStringList fields = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
    // After the command name: state is field 3; utime and stime are fields 14 and 15.
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_bench PATH-TO-ambrel-q7 [seconds]\n");
        return 2;
    }
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 30;
    QProcess process;
    QElapsedTimer clock;
    double shownMs = -1, connectedMs = -1;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            if (line == "shown")
                shownMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            else if (line == "connected")
                connectedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            if (shownMs >= 0 && connectedMs >= 0)
                loop.quit();
        }
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    clock.start();
    process.start(QString::fromLocal8Bit(argv[1]), {QStringLiteral("--demo"), QStringLiteral("--report-startup")});
    loop.exec();
    std::printf("process start to window shown:  %8.1f ms\n", shownMs);
    std::printf("process start to ECU connected: %8.1f ms\n", connectedMs);

    const double cpuBefore = CpuSeconds(process.processId());
    QElapsedTimer idle;
    idle.start();
    QEventLoop wait;
    QTimer::singleShot(idleSeconds * 1000, &wait, &QEventLoop::quit);
    wait.exec();
    const double cpuAfter = CpuSeconds(process.processId());
    const double wall = static_cast<double>(idle.nsecsElapsed()) / 1e9;
    std::printf("CPU while polling for %.0f s:  %6.2f %% of one core (%.2f s of CPU)\n", wall,
                100.0 * (cpuAfter - cpuBefore) / wall, cpuAfter - cpuBefore);
    process.terminate();
    process.waitForFinished(5000);
    return 0;
}
