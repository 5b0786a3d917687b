#include "diagnostics.h"

#include "link/linkmanager.h"
#include "service/troublecodes.h"

namespace ambrel {

TDiagnostics::TDiagnostics(TLinkManager& link, QObject* parent) : QObject(parent), m_link(link) {
    m_link.RegisterPoll(&m_statusPoll);
    // A new connection starts with a dark lamp; the next status answer tells again.
    connect(&m_link, &TLinkManager::EcuConnected, this, [this] { SetCheckEngine(false); });
}

TDiagnostics::~TDiagnostics() {
    m_link.UnregisterPoll(&m_statusPoll);
    m_link.ForgetConsumer(this);
    m_link.ForgetConsumer(&m_statusConsumer);
}

// ---------------------------------------------------------------- requests

void TDiagnostics::ReadCodes() {
    m_link.SendCommand(Payload::TroubleCodes(Payload::TTroubleAction::Read), this);
    m_link.SendCommand(Payload::Plain(cmdReadDTCStatus), this);
}

void TDiagnostics::ClearCodes() {
    m_link.SendCommand(Payload::TroubleCodes(Payload::TTroubleAction::Clear), this);
    SetCheckEngine(false);
    m_codes.clear();
    emit CodesChanged();
}

void TDiagnostics::ReadFreezeFrame() {
    m_link.SendCommand(Payload::Plain(cmdReadFreezeFrame), this);
}

void TDiagnostics::ReadVin() {
    m_link.SendCommand(Payload::VinRead(), this);
}

bool TDiagnostics::WriteVin(const QString& vin) {
    const std::optional<QByteArray> characters = VinToWrite(vin);
    if (!characters)
        return false;
    m_link.SendCommand(Payload::VinWrite(*characters), this);
    return true;
}

void TDiagnostics::ReadComErrors() {
    m_link.SendCommand(Payload::Plain(cmdReadComErrors), this);
}

void TDiagnostics::ReadCounters() {
    m_link.SendCommand(Payload::CountersRead(), this);
}

void TDiagnostics::ClearCounters() {
    m_link.SendCommand(Payload::CountersClear(), this);
}

void TDiagnostics::TakeCounters(const TCounters& counters) {
    if (counters.Lead != 1)
        return; // the answer to a clear carries no counters
    m_counters = counters;
    emit CountersChanged();
}

int TDiagnostics::PollStatus() {
    if (m_statusWaiting == 0 && m_link.SendCommand(Payload::Plain(cmdReadDTCStatus), &m_statusConsumer))
        ++m_statusWaiting;
    return kStatusTicks;
}

// ---------------------------------------------------------------- answers

void TDiagnostics::TStatusConsumer::OnReply(const TFrame& reply) {
    m_owner.m_statusWaiting = 0;
    m_owner.OnReply(reply);
}

void TDiagnostics::TStatusConsumer::OnFailure() {
    m_owner.m_statusWaiting = 0;
}

void TDiagnostics::OnReply(const TFrame& reply) {
    const QByteArray data = reply.FrameDataPart();
    switch (reply.RequestCode()) {
    case cmdTroubleCodes:
        SetCheckEngine(false);
        m_codes.clear();
        for (const quint16 code : Answer::TroubleCodes(data))
            m_codes.append({code, std::nullopt});
        emit CodesChanged();
        break;
    case cmdReadDTCStatus: {
        const QList<TDtcStatusEntry> entries = Answer::DtcStatus(data);
        m_codes.clear();
        for (const TDtcStatusEntry& entry : entries)
            m_codes.append({entry.Code, entry});
        SetCheckEngine(AnyCodePresent(entries));
        emit CodesChanged();
        break;
    }
    case cmdReadComErrors:
        emit ComErrorsRead(Answer::ComErrors(data));
        break;
    case cmdCounters:
        TakeCounters(Answer::Counters(data));
        break;
    case cmdVIN:
        if (data.size() == 18 && static_cast<quint8>(data.at(0)) == 2)
            emit VinRead(QString::fromLatin1(data.mid(1)));
        break;
    case cmdReadFreezeFrame:
        m_freezeFrame = ParseFreezeFrame(data);
        emit FreezeFrameChanged();
        break;
    default:
        break;
    }
}

// A refused or unanswered request changes nothing shown: the link reports it in the COM list.
void TDiagnostics::OnFailure() {}
void TDiagnostics::OnTimeout() {}

void TDiagnostics::SetCheckEngine(bool on) {
    if (m_checkEngine == on)
        return;
    m_checkEngine = on;
    emit CheckEngineChanged(on);
}

// ---------------------------------------------------------------- lines

QStringList TDiagnostics::CodeLines() const {
    QStringList lines;
    for (const TCodeEntry& entry : m_codes)
        lines.append(entry.Status ? DtcStatusLine(*entry.Status) : TroubleCodeLine(entry.Code));
    if (lines.isEmpty())
        lines.append(NoTroubleCodeLine());
    return lines;
}

QStringList TDiagnostics::CounterLines() const {
    return m_counters ? CountersLines(*m_counters) : QStringList();
}

} // namespace ambrel
