#include "simecu.h"

#include "link/commands.h"

namespace ambrel::sim {

namespace {

// What the ECU prints on its way back up after a reset. The workbench waits for the
// last line to know that the application is running again.
constexpr char kBootText[] = "\r\nBoot monitor 2.03\r\n"
                             "Application checksum OK\r\n"
                             "Start Application\r\n";

// The reply frame with its checksum spoiled, so that the receiver's check fails.
QByteArray CorruptChecksum(QByteArray frame) {
    const qsizetype low = frame.size() - 3;
    if (low > 0)
        frame[low] = static_cast<char>(static_cast<quint8>(frame.at(low)) ^ 0x5A);
    return frame;
}

} // namespace

TSimEcu::TSimEcu(const TEngineOptions& engine) : m_engine(engine) {
    m_engine.SetStrategy(m_strategy);
    // A car with a history: a sensor fault that is there now and an old wiring fault.
    m_dtcs = {{0x3391, 1}, {0xF00A, 2}};
    m_comErrors = {0x0003};
    m_counterBase = {412, 9630, 2210};
    ResetBlocks();
}

int TSimEcu::BlockKey(int block, int bank) {
    return block * 4 + (IsBankedBlock(block) ? bank : 0);
}

void TSimEcu::SetStrategy(TStrategy strategy) {
    m_strategy = strategy;
    m_engine.SetStrategy(strategy);
}

void TSimEcu::SetFaults(const TSimFaults& faults) {
    m_faults = faults;
    m_requestCount = 0;
}

void TSimEcu::Advance(qint64 nowMs) {
    if (nowMs > m_clockMs) {
        m_engine.Advance(nowMs - m_clockMs);
        m_clockMs = nowMs;
    }
}

qint64 TSimEcu::WireMs(qsizetype bytes, int baud) const {
    if (baud <= 0)
        return 0;
    return (static_cast<qint64>(bytes) * 10 * 1000 + baud - 1) / baud;
}

QList<TSimChunk> TSimEcu::Feed(const QByteArray& bytes, qint64 nowMs) {
    Advance(nowMs);
    QList<TSimChunk> out;
    QByteArray input = bytes;
    QByteArray packet;
    while (m_capture.Feed(input, packet)) {
        input.clear();
        HandlePacket(packet, nowMs, out);
    }
    return out;
}

void TSimEcu::HandlePacket(const QByteArray& captured, qint64 nowMs, QList<TSimChunk>& out) {
    const QByteArray frame = UnescapeFrame(captured);
    TReceivedRequest request;
    request.ElapsedMs = nowMs;
    request.Code = FrameCode(frame);
    request.Data = FrameData(frame);

    if (frame.size() < kMinFrameSize) {
        request.Treatment = TSimTreatment::TooShort;
        Log(request);
        return;
    }
    const int n = ++m_requestCount;
    const auto every = [n](int k) { return k > 0 && n % k == 0; };

    if (nowMs < m_restartUntilMs) {
        request.Treatment = TSimTreatment::Restarting;
    } else if (m_faults.SilenceAfter >= 0 && n > m_faults.SilenceAfter) {
        request.Treatment = TSimTreatment::Silent;
    } else if (every(m_faults.DropEvery)) {
        request.Treatment = TSimTreatment::Dropped;
    }
    if (request.Treatment != TSimTreatment::Answered) {
        Log(request);
        return;
    }

    QByteArray payload;
    if (!FrameChecksumOK(frame)) {
        request.Treatment = TSimTreatment::BadChecksum;
        payload = MakePayload(replyBadChecksum);
    } else if (m_faults.NackCodes.contains(request.Code)) {
        request.Treatment = TSimTreatment::Nacked;
        payload = MakePayload(replyNack);
    } else {
        std::optional<QByteArray> answer;
        bool known = false;
        for (const auto& entry : CommandHandlers()) {
            if (entry.Code == request.Code) {
                known = true;
                answer = (this->*entry.Handler)(request.Data);
                break;
            }
        }
        if (!known)
            NoteComError(0x000A); // unknown serial command
        if (answer) {
            payload = MakePayload(ReplyCodeFor(request.Code), *answer);
        } else {
            request.Treatment = TSimTreatment::Nacked;
            payload = MakePayload(replyNack);
        }
    }

    request.Reply = BuildFrame(payload);
    QByteArray wire =
        EscapeFrame(every(m_faults.CorruptEvery) ? CorruptChecksum(request.Reply) : request.Reply);
    request.Corrupted = every(m_faults.CorruptEvery);
    if (every(m_faults.IncompleteEvery)) {
        wire = wire.left(5);
        wire.append(static_cast<char>(kFrameDelimiter));
        request.Incomplete = true;
    }

    const int baud = m_faults.PacingBaud;
    const qint64 heardMs = nowMs + WireMs(captured.size(), baud);
    if (every(m_faults.EchoEvery)) {
        request.Echoed = true;
        out.append({nowMs, captured, baud, TSimChunkKind::Echo});
    }
    const qint64 dueMs = heardMs + std::max(m_faults.AnswerDelayMs, 0);
    out.append({dueMs, wire, baud, TSimChunkKind::Reply});

    if (request.Code == cmdResetECU && request.Treatment == TSimTreatment::Answered) {
        // The ECU restarts once its answer is out: it hears nothing until its boot text
        // has been printed, and comes back with test mode and solenoid overrides gone.
        const QByteArray text(kBootText);
        const int bootBaud = baud > 0 ? kBootBaud : 0;
        const qint64 bootMs = dueMs + WireMs(wire.size(), baud) + kBootDelayMs;
        out.append({bootMs, text, bootBaud, TSimChunkKind::BootText});
        m_restartUntilMs = bootMs + WireMs(text.size(), bootBaud);
    }
    Log(request);
}

void TSimEcu::Log(const TReceivedRequest& request) {
    m_received.append(request);
    if (m_received.size() > m_receivedLimit)
        m_received.remove(0, m_received.size() - m_receivedLimit);
}

void TSimEcu::NoteComError(quint16 code) {
    constexpr qsizetype kComErrorLog = 16;
    m_comErrors.append(code);
    if (m_comErrors.size() > kComErrorLog)
        m_comErrors.remove(0, m_comErrors.size() - kComErrorLog);
}

TEcuCounters TSimEcu::Counters() const {
    TEcuCounters c = m_counterBase;
    c.DrivingCycles += m_engine.EngineStarts() - m_startsAtBase;
    c.MinutesOnGas += static_cast<quint32>((m_engine.MsOnGas() - m_gasMsAtBase) / 60000);
    c.MinutesOnPetrol += static_cast<quint32>((m_engine.MsOnPetrol() - m_petrolMsAtBase) / 60000);
    return c;
}

void TSimEcu::SetCounters(const TEcuCounters& counters) {
    m_counterBase = counters;
    m_startsAtBase = m_engine.EngineStarts();
    m_gasMsAtBase = m_engine.MsOnGas();
    m_petrolMsAtBase = m_engine.MsOnPetrol();
}

QByteArray TSimEcu::BlockImage(int block, int bank) const {
    return m_blocks.value(BlockKey(block, bank == 1 ? 1 : 2));
}

} // namespace ambrel::sim
