#pragma once
// Runs ambrel-q7-cli as its own process while this process's event loop keeps running, so
// that a simulated ECU served from this process answers it.

#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace ambrel::test {

struct TRun {
    int exitCode = -1; // -1: did not finish in time; -2: crashed
    QString out;
    QString err;
};

// With an empty device the tool runs offline.
inline TRun RunCli(const QString& device, const QStringList& args, int timeoutMs = 60000,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    process.start(QStringLiteral(AMBREL_CLI_PATH), device.isEmpty() ? args : QStringList{"--port", device} + args);
    loop.exec();
    TRun run;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace ambrel::test
