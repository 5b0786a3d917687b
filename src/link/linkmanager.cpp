#include "linkmanager.h"

#include "bytequeue.h"
#include "commands.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace ambrel {

namespace {
const QString kComPortValue = QStringLiteral("COM_Port");
// Systems that name ports by device keep the name beside the Windows number.
const QString kComPortNameValue = QStringLiteral("COM_PortName");
const QString kAutoscanValue = QStringLiteral("COM_Autoscan");
const QString kStartApplication = QStringLiteral("Start Application");
} // namespace

TLinkManager::TLinkManager(TSerialPort& port, TPortDirectory& directory, TSettingsStore& settings, QObject* parent)
    : QObject(parent), m_port(port), m_directory(directory), m_settings(settings), m_log(this) {
    m_masterTimer.setTimerType(Qt::PreciseTimer);
    m_masterTimer.setInterval(10);
    connect(&m_masterTimer, &QTimer::timeout, this, &TLinkManager::Tick);
    connect(&m_port, &TSerialPort::BytesReceived, this, &TLinkManager::OnBytes);
    connect(&m_port, &TSerialPort::LineErrorOccurred, this, &TLinkManager::OnLineError);
    connect(&m_port, &TSerialPort::Failed, this, &TLinkManager::OnPortFailed);
}

TLinkManager::~TLinkManager() {
    // The owner runs Shutdown() while the requesters still exist; here only the timer and
    // the port are let go, no consumer is called any more.
    m_masterTimer.stop();
    if (m_port.IsOpen())
        m_port.Close();
}

void TLinkManager::SetAcquisitionModes(TAcquisitionModes* modes) {
    m_modes = modes ? modes : &m_ownModes;
}

void TLinkManager::SetMapRefreshControl(TMapRefreshControl* control) {
    m_mapRefresh = control ? control : &m_ownMapRefresh;
}

int TLinkManager::PortNumber() const {
    static const QRegularExpression comName(QStringLiteral("^COM(\\d+)$"), QRegularExpression::CaseInsensitiveOption);
    const auto match = comName.match(m_portName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

void TLinkManager::ReadPortList() {
    m_portList = m_directory.PortList();
}

void TLinkManager::ReportState(TLinkState state, const QString& detail) {
    TLinkStateEvent event;
    event.State = state;
    event.Port = PortLabel();
    event.Detail = detail;
    emit StateChanged(event);
}

void TLinkManager::ReportCom(TComEvent event, quint16 code, const QString& detail) {
    emit ComEvent(TComMessage{event, code, detail});
}

// ---------------------------------------------------------------- start and stop

void TLinkManager::Start(const QString& portOverride, bool runTimer) {
    m_log.SetPaused(false);
    m_connected = false;
    m_previousCount = 0;
    m_firmwareMajor = 1;
    m_hardwareVersion = 5;
    m_firmwareRelease = 15;
    ReadPortList();

    m_pinned = !portOverride.isEmpty();
    if (m_pinned) {
        m_portName = portOverride;
        ReportState(TLinkState::Trying);
    } else if (m_portList.isEmpty()) {
        m_portName.clear();
        ReportState(TLinkState::NoPort);
    } else {
        QString stored = m_settings.ReadString(kSettingsKey, kComPortNameValue);
        const int number = m_settings.ReadInteger(kSettingsKey, kComPortValue);
        if (stored.isEmpty() && number > 0)
            stored = QStringLiteral("COM%1").arg(number);
        m_portName = stored.isEmpty() ? m_portList.first() : stored;
        ReportState(TLinkState::Trying);
    }
    m_scanCom = m_settings.ReadBool(kSettingsKey, kAutoscanValue);
    emit AutoScanLoaded(m_scanCom);
    if (HasPort() && !OpenPort())
        PortFailure(m_port.ErrorString(), false);
    emit PortChanged(PortLabel());
    emit PortMenuChanged();

    m_log.Clear();
    m_pacing = kPacing;
    m_monitorCounter = -1;
    StartPolling();
    if (runTimer)
        m_masterTimer.start();
}

void TLinkManager::Shutdown() {
    m_modes->SetStandardAcquisition(false);
    m_modes->SetMinimumsAcquisition(false);
    m_modes->SetStatusUpdate(false);
    StopPolling();
    m_masterTimer.stop();
    m_queue.SetEnabled(false);
    m_queue.Clear();
    if (m_port.IsOpen()) {
        m_port.Flush();
        for (const auto& [owner, payload] : std::as_const(m_lastWords)) {
            const QByteArray frame = BuildFrame(payload);
            if (m_port.Write(EscapeFrame(frame)))
                m_log.LogFrame(TTrafficLog::TDirection::TX, frame);
        }
        m_port.Close();
    }
    m_lastWords.clear();
    SetCaptureEnabled(false);
    m_bootMonitor = false;
}

void TLinkManager::SetLastWords(const void* owner, const QByteArray& payload) {
    ClearLastWords(owner);
    m_lastWords.append({owner, payload});
}

void TLinkManager::ClearLastWords(const void* owner) {
    m_lastWords.removeIf([owner](const auto& entry) { return entry.first == owner; });
}

void TLinkManager::StartPolling() {
    m_watchdogCounter = kWatchdogReload;
    m_replyTimer = -1;
    for (TPollEntry* entry : std::as_const(m_polls))
        entry->Countdown = entry->StartCountdown();
    m_polling = true;
}

void TLinkManager::RegisterPoll(TPollEntry* entry) {
    if (!entry || m_polls.contains(entry))
        return;
    entry->Countdown = entry->StartCountdown();
    m_polls.append(entry);
}

void TLinkManager::UnregisterPoll(TPollEntry* entry) {
    m_polls.removeAll(entry);
    if (m_exclusivePoll == entry)
        ReleaseExclusivePoll(entry);
}

bool TLinkManager::ClaimExclusivePoll(TPollEntry* entry) {
    if (!entry || (m_exclusivePoll && m_exclusivePoll != entry))
        return false;
    m_exclusivePoll = entry;
    RegisterPoll(entry);
    return true;
}

void TLinkManager::ReleaseExclusivePoll(TPollEntry* entry) {
    if (!entry || m_exclusivePoll != entry)
        return;
    m_exclusivePoll = nullptr;
    m_polls.removeAll(entry);
    for (TPollEntry* other : std::as_const(m_polls))
        other->Countdown = other->StartCountdown();
}

void TLinkManager::ForgetConsumer(const TConsumerInterface* consumer) {
    if (!consumer)
        return;
    m_queue.Forget(consumer);
    for (TDelivery& delivery : m_deliveries)
        if (delivery.Consumer == consumer)
            delivery.Consumer = nullptr;
}

void TLinkManager::StopPolling() {
    m_polling = false;
    m_replyTimer = -1;
}

// ---------------------------------------------------------------- sending

bool TLinkManager::SendCommand(const QByteArray& payload, TConsumerInterface* consumer, quint8 flag) {
    const quint16 code = PayloadCode(payload);
    if (code != cmdCheckConnection && code != cmdResetECU && !m_queue.Contains(cmdCheckConnection) &&
        !m_connected)
        QueueCommand(Payload::Plain(cmdCheckConnection), this, 0);
    return QueueCommand(payload, consumer, flag);
}

bool TLinkManager::QueueCommand(const QByteArray& payload, TConsumerInterface* consumer, quint8 flag) {
    const QByteArray frame = BuildFrame(payload);
    const auto result = m_queue.Enqueue(frame, consumer, flag);
    if (result == TTXQueue::TEnqueueResult::Full) {
        // The ring would read as empty and lose every waiting request: refuse this one
        // and tell its requester, after the caller has returned.
        ReportCom(TComEvent::QueueFull, FrameCode(frame));
        if (consumer)
            Post({consumer, {}, true});
    }
    emit QueuedCountChanged(m_queue.Count());
    return result == TTXQueue::TEnqueueResult::Queued;
}

void TLinkManager::CheckConnection() {
    if (!m_queue.Contains(cmdCheckConnection))
        QueueCommand(Payload::Plain(cmdCheckConnection), this, 0);
}

void TLinkManager::SendHead() {
    if (!m_queue.IsEmpty() && m_queue.Enabled())
        Transmit();
}

void TLinkManager::Transmit() {
    TFrame* head = m_queue.HeadFrame();
    if (!head)
        return;
    head->SendCount += 1;
    if (m_queue.Enabled()) {
        bool ok = true;
        if (!m_port.IsOpen() && HasPort())
            ok = OpenPort();
        if (ok && !m_captureEnabled)
            SetCaptureEnabled(true);
        if (ok && m_port.IsOpen()) {
            ok = m_port.Write(EscapeFrame(head->Data));
            if (ok)
                m_log.LogFrame(TTrafficLog::TDirection::TX, head->Data);
        }
        if (!ok) {
            // The request cannot leave: fail everything waiting and stay disabled until
            // the watchdog, the user or the flasher flushes the link.
            ReportCom(TComEvent::WriteError, head->Code(), m_port.ErrorString());
            m_queue.Clear();
            m_queue.SetEnabled(false);
            emit QueuedCountChanged(m_queue.Count());
        }
    }
    m_replyTimer = kReplyTicks;
}

// ---------------------------------------------------------------- the tick

void TLinkManager::Tick() {
    // 1. Exchange engine: a waiting head leaves within six idle ticks; an answer is
    // awaited for 47 ticks.
    if (m_replyTimer == -1) {
        if (m_pacing < 1) {
            m_pacing = kPacing;
            if (!m_queue.IsEmpty())
                Transmit();
        } else {
            m_pacing -= 1;
        }
    }
    if (m_replyTimer > 0)
        m_replyTimer -= 1;
    else if (m_replyTimer != -1)
        HandleTimeout();

    // The capture's own time-out: a packet started but never ended.
    if (m_captureEnabled && m_capture.InPacket() && ++m_captureTicks >= kCaptureTimeoutTicks)
        CaptureTimeout();

    // 2. Boot-monitor mode after a reset.
    if (m_monitorCounter > 0) {
        m_monitorCounter -= 1;
        if (m_log.Contains(kStartApplication)) {
            m_monitorCounter = -1;
            LeaveBootMonitor();
            m_queue.SetEnabled(true);
            m_modes->SetStatusUpdate(true);
            m_mapRefresh->SetEnableMapRefresh(true);
            emit Notice(TLinkNotice::EcuResetted);
        }
    } else if (m_monitorCounter != -1) {
        m_monitorCounter = -1;
        LeaveBootMonitor();
        m_queue.SetEnabled(true);
    }

    if (!m_polling)
        return;

    // 3. Periodic work: the registered entries in their order, then the watchdog, which
    // acts every reload + 1 ticks.
    const QList<TPollEntry*> polls = m_polls; // an entry may register or go while it fires
    for (TPollEntry* entry : polls) {
        if (!m_polls.contains(entry) || (m_exclusivePoll && entry != m_exclusivePoll))
            continue;
        if (entry->Countdown > 0)
            entry->Countdown -= 1;
        else
            entry->Countdown = entry->Fire();
    }
    if (m_watchdogCounter < 1) {
        m_watchdogCounter = kWatchdogReload;
        Watchdog();
    } else {
        m_watchdogCounter -= 1;
    }
}

void TLinkManager::Watchdog() {
    if (!m_connected) {
        if (m_queue.Count() == m_previousCount)
            FlushLink(); // the queue has not moved for a whole period
        if (m_scanCom && !m_pinned) {
            const QString cable = m_directory.UsbCablePort();
            if (!cable.isEmpty() && cable != m_portName) {
                FlushLink();
                m_queue.SetEnabled(false);
                m_port.Close();
                m_portName = cable;
                if (OpenPort()) {
                    ReportState(TLinkState::AutoScan);
                    emit PortChanged(PortLabel());
                } else {
                    PortFailure(m_port.ErrorString(), false);
                }
                m_queue.SetEnabled(true);
            }
        }
        QueueCommand(Payload::Plain(cmdCheckConnection), this, 0);
    }
    m_previousCount = m_queue.Count();
}

// ---------------------------------------------------------------- reception

void TLinkManager::OnBytes(const QByteArray& bytes) {
    if (m_bootMonitor) {
        m_log.AppendEcho(bytes);
        return;
    }
    if (!m_captureEnabled)
        return; // nobody waits: what the line brings now is dropped
    QByteArray packet;
    if (!m_capture.Feed(bytes, packet))
        return;
    HandlePacket(packet);
    // An answer that was not the awaited one leaves the capture armed: a packet that came
    // in the same read behind it may be the right one.
    while (m_captureEnabled && m_capture.Feed({}, packet))
        HandlePacket(packet);
}

void TLinkManager::HandlePacket(const QByteArray& packet) {
    SetCaptureEnabled(false);
    const QByteArray received = UnescapeFrame(packet);
    m_log.LogFrame(TTrafficLog::TDirection::RX, received);
    TFrame* head = m_queue.HeadFrame();
    if (!head)
        return;
    TConsumerInterface& consumer = m_queue.ConsumerOf(*head);

    if (received == head->Data)
        ReportState(TLinkState::Modem);

    const TFrame reply{received, nullptr, 0, head->Flag};

    if (received.size() < kMinFrameSize) {
        ReportCom(TComEvent::Incomplete, head->Code());
        if (!FlushPort())
            return; // the port failed: the request has ended with it
        SetCaptureEnabled(false);
        if (head->Code() == cmdWriteBlock) {
            // A block write that came back cut short is not repeated: the requester decides.
            m_queue.SetEnabled(false);
            m_replyTimer = -1;
            consumer.OnFailure();
            m_queue.SetEnabled(true);
            m_queue.Pop();
            emit QueuedCountChanged(m_queue.Count());
        } else if (m_replyTimer != -1) {
            m_replyTimer += kNotCountedPenalty;
            head->SendCount -= 1;
        }
        return;
    }
    if (!FrameChecksumOK(received)) {
        ReportCom(TComEvent::ChecksumIn, head->Code());
        head->SendCount -= 1; // not counted; the head goes again when the reply timer expires
        return;
    }
    const bool replyCode = IsReplyTo(head->Data, received);
    if (replyCode && !AnswerMatchesRequest(head->Data, received)) {
        // A late answer to an earlier request of the same code: not this request's answer.
        ReportCom(TComEvent::Unexpected, head->Code());
        KeepWaiting();
        return;
    }
    if (replyCode) {
        m_queue.SetEnabled(false);
        m_replyTimer = -1;
        Deliver(consumer, reply);
        m_queue.SetEnabled(true);
        m_queue.Pop();
        emit QueuedCountChanged(m_queue.Count());
        if (!m_modes->StatusUpdate())
            m_modes->SetStatusUpdate(true);
        if (m_polling)
            SetECUisConnected(true);
        return;
    }
    const quint16 receivedCode = FrameCode(received);
    if (receivedCode == replyNack) {
        m_queue.SetEnabled(false);
        m_replyTimer = -1;
        ReportCom(TComEvent::Nack, head->Code());
        emit NackReceived(head->Code());
        consumer.OnFailure();
        m_queue.SetEnabled(true);
        m_queue.Pop();
        emit QueuedCountChanged(m_queue.Count());
        return;
    }
    if (receivedCode == replyBadChecksum) {
        ReportCom(TComEvent::ChecksumOut, head->Code());
        return;
    }
    ReportCom(TComEvent::Unexpected, head->Code());
    KeepWaiting();
}

void TLinkManager::KeepWaiting() {
    // The request goes on waiting for its own answer until its reply timer runs out, then
    // it is sent again as after any time-out. Bytes already captured behind the packet stay.
    if (m_replyTimer == -1)
        return;
    m_captureEnabled = true;
    m_captureTicks = 0;
}

void TLinkManager::Deliver(TConsumerInterface& consumer, const TFrame& reply) {
    // Runs after the reception handler has popped the head and re-enabled the queue, so the
    // consumer may queue follow-up requests. The reply is copied: the next reception
    // cannot overwrite what the consumer has not read yet.
    Post({&consumer, reply, false});
}

void TLinkManager::Post(const TDelivery& delivery) {
    // Each posted call takes the oldest waiting delivery, so they run in order, and one
    // whose consumer has been forgotten meanwhile is dropped.
    m_deliveries.append(delivery);
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_deliveries.isEmpty())
                return;
            const TDelivery next = m_deliveries.takeFirst();
            if (!next.Consumer)
                return;
            try {
                if (next.Failure)
                    next.Consumer->OnFailure();
                else
                    next.Consumer->OnReply(next.Reply);
            } catch (...) {
            }
        },
        Qt::QueuedConnection);
}

void TLinkManager::DeliverPendingReplies() {
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void TLinkManager::HandleTimeout() {
    if (HasPort()) {
        SetCaptureEnabled(false);
        if (m_port.IsOpen())
            FlushPort();
    }
    TFrame* head = m_queue.HeadFrame();
    if (!head) {
        m_replyTimer = -1;
        return;
    }
    if (head->SendCount >= kMaxTransmissions) {
        m_replyTimer = -1;
        m_queue.SetEnabled(false);
        SetECUisConnected(false);
        ReportState(TLinkState::NotConnected);
        FailHeadAndRest();
        m_queue.SetEnabled(true);
        return;
    }
    SendHead();
    m_replyTimer = kReplyTicks;
}

void TLinkManager::FailHeadAndRest() {
    // The head hears OnTimeout and everything behind it OnFailure, each while it is still
    // the head of the queue (consumers look at it).
    if (TFrame* head = m_queue.HeadFrame()) {
        try {
            m_queue.ConsumerOf(*head).OnTimeout();
        } catch (...) {
        }
        m_queue.Pop();
    }
    FailWaiting();
}

void TLinkManager::FailWaiting() {
    // Each hears OnFailure while it is still the head of the queue.
    while (TFrame* next = m_queue.HeadFrame()) {
        try {
            m_queue.ConsumerOf(*next).OnFailure();
        } catch (...) {
        }
        m_queue.Pop();
    }
    m_queue.Clear();
    emit QueuedCountChanged(m_queue.Count());
}

void TLinkManager::CaptureTimeout() {
    if (TFrame* head = m_queue.HeadFrame())
        ReportCom(TComEvent::FrameTimeout, head->Code());
    HandleTimeout();
}

void TLinkManager::OnLineError(TLineError kind, bool lineBreak) {
    switch (kind) {
    case TLineError::Overrun:
        ReportCom(TComEvent::Overrun);
        break;
    case TLineError::Parity:
        ReportCom(TComEvent::Parity);
        break;
    case TLineError::Framing:
        ReportCom(TComEvent::Framing);
        break;
    case TLineError::TxFull:
        ReportCom(TComEvent::TxFull);
        break;
    case TLineError::Other:
        break;
    }
    if (lineBreak)
        ReportCom(TComEvent::LineBreak);
    if (!FlushPort())
        return;
    SetCaptureEnabled(false);
    // The attempt does not count. Only while an answer is awaited: a head that has not
    // left yet has no attempt to take back.
    TFrame* head = m_queue.HeadFrame();
    if (head && m_replyTimer != -1) {
        m_replyTimer += kNotCountedPenalty;
        head->SendCount -= 1;
    }
}

void TLinkManager::OnPortFailed(const QString& error, bool ioError) {
    PortFailure(error, ioError);
}

void TLinkManager::SetCaptureEnabled(bool on) {
    if (on && !m_captureEnabled)
        m_capture.Reset();
    m_captureEnabled = on;
    m_captureTicks = 0;
}

bool TLinkManager::OpenPort() {
    return m_bootMonitor ? m_port.Open(m_portName, kMonitorBaud, 2) : m_port.Open(m_portName, kNormalBaud, 1);
}

bool TLinkManager::FlushPort() {
    if (!m_port.IsOpen() || m_port.Flush())
        return true;
    PortFailure(m_port.ErrorString(), false);
    return false;
}

// ---------------------------------------------------------------- connection state

void TLinkManager::SetECUisConnected(bool connected) {
    const bool was = m_connected;
    m_connected = connected;
    if (connected && !was) {
        m_queue.Clear();
        SendCommand(Payload::Strategy(Payload::TStrategyRequest::Query), this);
        SendCommand(Payload::Plain(cmdReadIdent), this);
        emit EcuConnected();
        SavePort();
    } else if (!connected && was) {
        emit EcuDisconnected();
    }
}

void TLinkManager::SavePort() {
    m_settings.WriteInteger(kSettingsKey, kComPortValue, PortNumber());
#ifndef Q_OS_WIN
    m_settings.WriteString(kSettingsKey, kComPortNameValue, m_portName);
#endif
}

void TLinkManager::FlushLink() {
    const bool standard = m_modes->StandardAcquisition();
    const bool statusUpdate = m_modes->StatusUpdate();
    m_modes->SetStandardAcquisition(false);
    m_modes->SetStatusUpdate(false);
    m_modes->SetRecording(false);
    m_mapRefresh->SetEnableMapRefresh(false);

    m_replyTimer = -1;
    emit LinkFlushing();
    m_queue.SetEnabled(false);
    m_queue.Clear();
    m_capture.Reset();
    if (HasPort())
        FlushPort();

    m_queue.SetEnabled(true);
    m_modes->SetStandardAcquisition(standard);
    m_modes->SetStatusUpdate(statusUpdate);
    m_mapRefresh->SetEnableMapRefresh(statusUpdate);
    emit QueuedCountChanged(m_queue.Count());
}

void TLinkManager::PortFailure(const QString& error, bool ioError) {
    const QString failed = PortLabel();
    const QString reason = error.isEmpty() ? QStringLiteral("unknown error") : error;
    if (m_port.IsOpen())
        m_port.Close();
    // What waited on this port ends here: a transfer must never go on on another device.
    m_replyTimer = -1;
    SetCaptureEnabled(false);
    if (!failed.isEmpty())
        emit PortLost(failed, reason);
    if (!m_queue.IsEmpty()) {
        const bool enabled = m_queue.Enabled();
        m_queue.SetEnabled(false);
        FailWaiting();
        m_queue.SetEnabled(enabled);
    }
    SetECUisConnected(false);

    if (m_pinned) {
        // The named port is the only one: stay on it, closed; the next request tries to
        // open it again.
        ReportState(TLinkState::PortError, reason);
    } else if (m_portList.isEmpty()) {
        m_portName.clear();
        ReportState(TLinkState::NoPort);
    } else {
        m_portName = m_portList.first();
        if (OpenPort()) {
            ReportState(TLinkState::Trying);
        } else {
            ReportState(TLinkState::AlreadyInUse);
            m_portName.clear();
        }
    }
    emit PortChanged(PortLabel());
    emit PortMenuChanged();
    if (ioError)
        ReportState(TLinkState::Breakdown);
}

void TLinkManager::ChangePort(const QString& name) {
    FlushLink();
    m_queue.SetEnabled(false);
    if (m_port.IsOpen())
        m_port.Close();
    m_portName = name;
    m_scanCom = false;
    emit AutoScanLoaded(false);
    if (OpenPort()) {
        SavePort();
        ReportState(TLinkState::Trying);
        emit PortChanged(PortLabel());
    } else {
        PortFailure(m_port.ErrorString(), false);
    }
    m_queue.SetEnabled(true);
    SetECUisConnected(false);
}

// ---------------------------------------------------------------- reset and boot monitor

void TLinkManager::ResetECU() {
    m_modes->SetStandardAcquisition(false);
    m_modes->SetStatusUpdate(false);
    m_modes->SetRecording(false);
    m_mapRefresh->SetEnableMapRefresh(false);
    QueueCommand(Payload::ResetECU(), this, 1);
}

void TLinkManager::EnterBootMonitor() {
    m_log.Clear();
    FlushLink();
    m_queue.SetEnabled(false);
    SetCaptureEnabled(false);
    m_bootMonitor = true;
    if (m_port.IsOpen() && !m_port.SetLineSettings(kMonitorBaud, 2))
        PortFailure(m_port.ErrorString(), false);
    m_monitorCounter = kMonitorTicks;
    emit BootMonitorChanged(true);
}

void TLinkManager::LeaveBootMonitor() {
    m_bootMonitor = false;
    if (m_port.IsOpen() && !m_port.SetLineSettings(kNormalBaud, 1))
        PortFailure(m_port.ErrorString(), false);
    emit BootMonitorChanged(false);
    FlushLink();
}

// ---------------------------------------------------------------- the link's own answers

void TLinkManager::OnReply(const TFrame& reply) {
    switch (reply.Code()) {
    case ReplyCodeFor(cmdCheckConnection):
        if (!m_modes->StatusUpdate())
            m_modes->SetStatusUpdate(true);
        if (m_modes->WantsStandardAcquisition() && !m_modes->StandardAcquisition()) {
            m_modes->SetStandardAcquisition(true);
            m_modes->SetMinimumsAcquisition(false);
        }
        m_mapRefresh->SetEnableMapRefresh(true);
        emit PortMenuChanged();
        break;
    case ReplyCodeFor(cmdReadIdent):
        ParseIdentification(reply.FrameDataPart());
        emit IdentificationChanged();
        break;
    case ReplyCodeFor(cmdResetECU):
        EnterBootMonitor();
        break;
    case ReplyCodeFor(cmdStrategy): {
        const int answer = Answer::Strategy(reply.FrameDataPart());
        if (answer == 1 || answer == 2)
            m_reportedStrategy = answer - 1;
        if (reply.Flag != 0 && m_reportedStrategy >= 0)
            emit Notice(m_reportedStrategy == 1 ? TLinkNotice::CompensatedSelected : TLinkNotice::SlaveSelected);
        emit StrategyReported(m_reportedStrategy, reply.Flag != 0);
        break;
    }
    default:
        break;
    }
}

void TLinkManager::OnTimeout() {
    const TFrame* head = m_queue.HeadFrame();
    if (!head)
        return;
    if (head->Code() == cmdCheckConnection) {
        ReportState(TLinkState::NotConnected);
        SetECUisConnected(false);
        ReadPortList();
        emit ConnectionCheckFailed();
    } else if (head->Code() == cmdResetECU) {
        emit Notice(TLinkNotice::ResetFailed);
    }
}

void TLinkManager::ParseIdentification(const QByteArray& text) {
    const QStringList words = QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 3)
        return;
    m_identification = QString::fromLatin1(text);
    m_ecuFamily = words.first().contains(QLatin1String("WUX")) ? 0 : 1;
    qsizetype versionIndex = -1;
    for (qsizetype i = 0; i < words.size(); ++i)
        if (words[i].contains(QLatin1Char('.'))) {
            versionIndex = i;
            break;
        }
    if (versionIndex < 0)
        return;
    const QString version = words[versionIndex];
    QString name;
    for (qsizetype i = 0; i < versionIndex; ++i)
        name += QLatin1Char(' ') + words[i];

    // The numbers are read before the panel text is made, so it shows this ECU's hardware.
    int* const fields[3] = {&m_firmwareMajor, &m_hardwareVersion, &m_firmwareRelease};
    const QStringList parts = version.split(QLatin1Char('.'));
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int value = i < parts.size() ? parts[i].toInt(&ok) : 0;
        if (!ok)
            break;
        *fields[i] = value;
    }
    if (m_hardwareVersion < 3)
        m_hardwareVersion = 3;

    TLinkStateEvent event;
    event.State = TLinkState::Connected;
    event.Port = PortLabel();
    event.Detail = name;
    event.HardwareVersion = m_hardwareVersion;
    event.Version = version;
    event.Serial = words.last();
    emit StateChanged(event);
}

} // namespace ambrel
