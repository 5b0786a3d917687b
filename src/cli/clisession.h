#pragma once
// One run of the command-line workbench: the port (a named device, or the simulated ECU
// started in-process on a pseudo-terminal), the link manager with its 10 ms tick, the
// configuration model and the session controller that the window uses too, and blocking
// helpers that run the event loop until the ECU has answered. Subcommands use these and
// nothing else, so every subcommand speaks through the same core as the workbench window.
//
// The tool never changes the window's settings: it reads them (CheckRange) through a store
// whose writes stay in memory, so connecting here does not move the window's stored port.

#include "link/frame.h"
#include "link/linkmanager.h"
#include "link/qtserialport.h"
#include "link/settings.h"

#include <QString>
#include <QTextStream>
#include <functional>
#include <memory>

namespace ambrel {
class TDataMap;
class TSession;
}

namespace ambrel::sim {
class TSimServer;
}

namespace ambrel::cli {

// Exit statuses of the program.
enum TExitCode { exitOk = 0, exitFailure = 1, exitUsage = 2, exitNoAnswer = 3, exitRefused = 4 };

struct TExchangeResult {
    enum class TOutcome { Reply, Refused, Failed, TimedOut };
    TOutcome Outcome = TOutcome::Failed;
    TFrame Reply;
    bool Ok() const { return Outcome == TOutcome::Reply; }
};

struct TSessionOptions {
    QString Port;       // device to open
    bool Simulated = false; // start the simulated ECU in-process
    bool Verbose = false;   // link status texts and messages on stderr
};

class TCliSession : public QObject {
    Q_OBJECT
public:
    explicit TCliSession(const TSessionOptions& options, QObject* parent = nullptr);
    ~TCliSession() override;

    // Opens the port and waits for the ECU's first answer and for the link's own strategy
    // and identification answers. Returns exitOk or the status to end with (message on stderr).
    int Connect();
    // Sends one request and waits for its outcome.
    TExchangeResult Exchange(const QByteArray& payload, quint8 flag = 0);
    // Exit status and stderr line for a request that did not get its answer.
    int ReportFailure(const TExchangeResult& result, const QByteArray& payload);
    // Reads what the live measures need of the ECU's configuration (block 1: sensor types,
    // cylinders) into the model; exitOk or the status to end with (message on stderr).
    int ReadSensorConfiguration();

    // Runs the event loop until `done` holds (checked every few milliseconds) or the
    // deadline passes; returns whether it held.
    static bool WaitUntil(const std::function<bool()>& done, int deadlineMs = 60000);

    TLinkManager& Link() { return *m_link; }
    // The configuration model of the run, consumer of its own block transfers. It hears
    // the strategy the ECU reports on connecting; the window program also connects its
    // full read to EcuConnected, the tool reads only when a subcommand asks.
    TDataMap& Model() { return *m_model; }
    // The workflow shared with the window: strategy, feature level, sensor settings. Its
    // connecting sequence is off: the tool reads only what a subcommand needs.
    TSession& Controller() { return *m_controller; }
    sim::TSimServer* Simulator() { return m_sim.get(); }
    QString PortLabel() const { return m_link->PortLabel(); }

    static QTextStream& Err();
    static QTextStream& Out();

private:
    TSessionOptions m_options;
    std::unique_ptr<sim::TSimServer> m_sim;
    TQtSerialPort m_port;
    TSystemPortDirectory m_directory;
    TQtSettingsStore m_installed;
    TMemorySettingsStore m_settings{&m_installed};
    std::unique_ptr<TLinkManager> m_link;
    std::unique_ptr<TDataMap> m_model; // after the link: gone before it
    std::unique_ptr<TSession> m_controller;
    QString m_lastStatus;
};

} // namespace ambrel::cli
