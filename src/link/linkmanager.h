#pragma once
// The link manager owns the serial port and everything that happens over time on the link:
// the 10 ms master tick that drives the exchange engine and every periodic poll, packet
// capture, the traffic log, the connection watchdog, following the USB cable to its port,
// line errors, and the short boot-monitor mode after an ECU reset.
//
// Time comes only from Tick() (the app's precise QTimer calls it every 10 ms; tests call
// it by hand) and bytes only from the TSerialPort. Nothing here blocks or spins a nested
// event loop: the one deferred step, handing a reply to its consumer after the request has
// left the queue, is a call posted to this object's event loop.
//
// Upward calls (status bar, communication list, the connecting sequence of the other
// layers, timed messages) are signals; what the link reads of the layers above goes
// through the small interfaces of pollhooks.h, and the periodic requests of other layers
// are entries their owners register (RegisterPoll): the link names none of them.

#include "frame.h"
#include "linkevents.h"
#include "pollhooks.h"
#include "serialport.h"
#include "settings.h"
#include "trafficlog.h"
#include "txqueue.h"

#include <QObject>
#include <QTimer>

namespace ambrel {

class TLinkManager : public QObject, public TConsumerInterface {
    Q_OBJECT
public:
    // Exchange engine and periodic counters, in 10 ms ticks.
    static constexpr int kReplyTicks = 47;
    static constexpr int kPacing = 5;
    static constexpr int kMaxTransmissions = 3;
    static constexpr int kNotCountedPenalty = 20;
    static constexpr int kCaptureTimeoutTicks = 220;
    static constexpr int kMonitorTicks = 401;
    static constexpr int kWatchdogReload = 202;
    static constexpr int kNormalBaud = 9600;
    static constexpr int kMonitorBaud = 38400;

    // `settings` holds the stored port (COM_Port, COM_PortName) and COM_Autoscan: the
    // window's own store, or one that does not persist for the command-line tool.
    TLinkManager(TSerialPort& port, TPortDirectory& directory, TSettingsStore& settings, QObject* parent = nullptr);
    ~TLinkManager() override;

    // Start-up: port list, port choice (the stored one, or `portOverride` when given),
    // open, polling on. A port given here is the only one the link will ever use: when it
    // cannot be opened or fails later, the link stays on it (closed) and never moves to
    // another device on its own, and auto-scan does not follow the cable. With `runTimer` the 10 ms master tick runs from a precise QTimer;
    // tests leave it off and call Tick() themselves.
    void Start(const QString& portOverride = {}, bool runTimer = true);
    // Program exit: polling off, tick off, queue cleared (waiting requesters fail), port closed.
    void Shutdown();

    void Tick();

    // The only way to talk to the ECU. SendCommand puts a connection check in front while the
    // ECU is not connected. Both return false when the request was not queued (queue disabled
    // or full); a full queue also tells the consumer OnFailure from the event loop.
    bool SendCommand(const QByteArray& payload, TConsumerInterface* consumer = nullptr, quint8 flag = 0);
    bool QueueCommand(const QByteArray& payload, TConsumerInterface* consumer = nullptr, quint8 flag = 0);
    // Queues a connection check now instead of waiting for the watchdog.
    void CheckConnection();

    TTXQueue& Queue() { return m_queue; }
    TTrafficLog& Log() { return m_log; }

    bool ECUisConnected() const { return m_connected; }
    void SetECUisConnected(bool connected);

    int EcuFamily() const { return m_ecuFamily; }
    int FirmwareMajor() const { return m_firmwareMajor; }
    int HardwareVersion() const { return m_hardwareVersion; }
    int FirmwareRelease() const { return m_firmwareRelease; }
    QString Identification() const { return m_identification; }
    // The strategy last reported by the ECU: 0 Slave, 1 Compensated, -1 not yet known.
    int ReportedStrategy() const { return m_reportedStrategy; }
    void ParseIdentification(const QByteArray& text);

    bool ScanCOM() const { return m_scanCom; }
    void SetScanCOM(bool on) { m_scanCom = on; }
    // The port in use ("COM3", "/dev/ttyUSB0"); empty when there is none.
    QString PortName() const { return m_portName; }
    // The Windows port number, 0 for none or for a port that is not named COMn.
    int PortNumber() const;
    // How the port is named in texts: "COM3" on Windows, the device name elsewhere.
    QString PortLabel() const { return m_portName; }
    QStringList PortList() const { return m_portList; }
    void ReadPortList();
    // The user picked a port: the link forgets the ECU, moves and stores the choice.
    void ChangePort(const QString& name);

    void FlushLink();
    void StartPolling();
    void StopPolling();
    bool Polling() const { return m_polling; }
    void ResetECU();
    bool InBootMonitor() const { return m_bootMonitor; }
    void SavePort();
    // The port failed or could not be opened: everything waiting on it ends (its
    // requesters hear OnFailure after PortLost), the ECU counts as not connected, and no
    // request of it is ever sent to another port. A link started on the stored port then
    // looks for the ECU on the first listed port; a pinned one stays where it is.
    void PortFailure(const QString& error, bool ioError);
    bool PortPinned() const { return m_pinned; }

    void SetAcquisitionModes(TAcquisitionModes* modes);
    void SetMapRefreshControl(TMapRefreshControl* control);
    TAcquisitionModes& AcquisitionModes() { return *m_modes; }
    TMapRefreshControl& MapRefresh() { return *m_mapRefresh; }
    // The periodic requests of the other layers, fired from the tick in the order they
    // were registered while polling runs. The owner unregisters before it goes.
    void RegisterPoll(TPollEntry* entry);
    void UnregisterPoll(TPollEntry* entry);
    // A tool that must have the line to itself (test mode, memory watch) claims it: while
    // the claim holds, the tick fires that entry alone and the others stand still; the
    // watchdog goes on. Refused (false) while another entry holds the claim. Giving it back
    // unregisters the entry and restarts the others' countdowns as StartPolling does.
    bool ClaimExclusivePoll(TPollEntry* entry);
    void ReleaseExclusivePoll(TPollEntry* entry);
    TPollEntry* ExclusivePoll() const { return m_exclusivePoll; }
    // A request that must reach the ECU even when the program ends now (an ECU put back
    // to normal operation, such as leaving test mode): Shutdown writes it straight to the
    // port before closing it. One per owner; the owner withdraws it once it is not needed.
    void SetLastWords(const void* owner, const QByteArray& payload);
    void ClearLastWords(const void* owner);
    // A requester that goes away while requests of its own wait or answers to it are
    // under way: from now on they go to the default consumer instead.
    void ForgetConsumer(const TConsumerInterface* consumer);

    // TConsumerInterface, for the link's own requests.
    void OnReply(const TFrame& reply) override;
    void OnFailure() override {}
    void OnTimeout() override;

    // State of the exchange engine, for tests and the log window.
    int ReplyTimer() const { return m_replyTimer; }
    bool CaptureEnabled() const { return m_captureEnabled; }
    // The 10 ms timer that calls Tick() in the program (benchmarks watch its accuracy).
    const QTimer& MasterTimer() const { return m_masterTimer; }
    // Runs the reply deliveries that are waiting on the event loop (tests).
    void DeliverPendingReplies();

signals:
    // Where the link stands with the port and the ECU (status panel 0; NotConnected also
    // empties panel 1). The words are the caller's (session/linktexts.h).
    void StateChanged(const ambrel::TLinkStateEvent& event);
    // A line for the diagnostics window's communication list.
    void ComEvent(const ambrel::TComMessage& message);
    // A timed message or an error box of the link's own.
    void Notice(ambrel::TLinkNotice notice);
    // The ECU refused the request with this code (it also hears OnFailure).
    void NackReceived(quint16 requestCode);
    void QueuedCountChanged(int count);
    // The ECU has just answered; the link has queued its strategy query and identification.
    // The other layers queue their part of the connecting sequence from here, in the order
    // they are connected: solenoid reset, configuration read, block 1, counters.
    void EcuConnected();
    void EcuDisconnected();
    // A connection check went unanswered three times.
    void ConnectionCheckFailed();
    void IdentificationChanged();
    // The ECU told its strategy (0 Slave, 1 Compensated); `announced` for a user's selection.
    void StrategyReported(int strategyFlag, bool announced);
    void PortChanged(const QString& portLabel);
    // The port failed or could not be opened, with the system's reason. Emitted before the
    // waiting requests are failed, so that a transfer can tell why it ended.
    void PortLost(const QString& portLabel, const QString& reason);
    // FlushLink is about to drop every waiting request (the user's "Clear queue", the
    // watchdog, a port change): what is under way is called off, not to be retried.
    void LinkFlushing();
    void PortMenuChanged();
    void AutoScanLoaded(bool on);
    void BootMonitorChanged(bool active);

private:
    // A reply (or the refusal of a full queue) waiting for its posted delivery; a
    // forgotten consumer's entry is emptied so the delivery is dropped.
    struct TDelivery {
        TConsumerInterface* Consumer = nullptr;
        TFrame Reply;
        bool Failure = false;
    };

    void OnBytes(const QByteArray& bytes);
    void OnLineError(TLineError kind, bool lineBreak);
    void OnPortFailed(const QString& error, bool ioError);
    void HandlePacket(const QByteArray& packet);
    void HandleTimeout();
    void KeepWaiting();
    void CaptureTimeout();
    void Transmit();
    void SendHead();
    void SetCaptureEnabled(bool on);
    bool OpenPort();
    bool FlushPort();
    void Watchdog();
    void EnterBootMonitor();
    void LeaveBootMonitor();
    void Deliver(TConsumerInterface& consumer, const TFrame& reply);
    void Post(const TDelivery& delivery);
    void FailHeadAndRest();
    void FailWaiting();
    void ReportState(TLinkState state, const QString& detail = {});
    void ReportCom(TComEvent event, quint16 code = 0, const QString& detail = {});
    bool HasPort() const { return !m_portName.isEmpty(); }

    TSerialPort& m_port;
    TPortDirectory& m_directory;
    TSettingsStore& m_settings;
    TTXQueue m_queue;
    TTrafficLog m_log;
    QTimer m_masterTimer;
    TPacketCapture m_capture;
    TSimpleAcquisitionModes m_ownModes;
    TSimpleMapRefresh m_ownMapRefresh;
    TAcquisitionModes* m_modes = &m_ownModes;
    TMapRefreshControl* m_mapRefresh = &m_ownMapRefresh;
    QList<TPollEntry*> m_polls;
    TPollEntry* m_exclusivePoll = nullptr;
    QList<TDelivery> m_deliveries;
    QList<QPair<const void*, QByteArray>> m_lastWords;

    QString m_portName;
    QStringList m_portList;
    QString m_identification;
    bool m_connected = false;
    bool m_scanCom = false;
    bool m_pinned = false;
    bool m_polling = false;
    bool m_captureEnabled = false;
    bool m_bootMonitor = false;
    int m_replyTimer = -1;
    int m_pacing = kPacing;
    int m_captureTicks = 0;
    int m_monitorCounter = -1;
    int m_watchdogCounter = kWatchdogReload;
    int m_previousCount = 0;
    int m_ecuFamily = 1;
    int m_firmwareMajor = 1;
    int m_hardwareVersion = 5;
    int m_firmwareRelease = 15;
    int m_reportedStrategy = -1;
};

} // namespace ambrel
