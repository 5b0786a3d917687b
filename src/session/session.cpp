#include "session.h"

#include "link/linkmanager.h"
#include "measure/acquisitions.h"

namespace ambrel {

TSession::TSession(TLinkManager& link, TDataMap& config, TSettingsStore& settings, QObject* parent)
    : QObject(parent), m_link(link), m_config(config), m_settings(settings) {
    m_strategyConsumer.Reply = [this](const TFrame& reply) { OnStrategyReply(reply); };
    m_blockOneConsumer.Reply = [this](const TFrame& reply) { OnBlockOne(reply); };
    m_blockOneConsumer.Failure = [this] { emit BasicConfigurationFailed(); };
    m_countersConsumer.Reply = [this](const TFrame& reply) {
        m_counters = Answer::Counters(reply.FrameDataPart());
        emit CountersRead(m_counters);
    };
    connect(&m_link, &TLinkManager::EcuConnected, this, &TSession::OnEcuConnected);
    connect(&m_link, &TLinkManager::StrategyReported, &m_config, &TDataMap::OnStrategyReported);
    connect(&m_config, &TDataMap::ConfigurationRefreshed, this, &TSession::SyncMeasureSettings);
    m_link.RegisterPoll(&m_countersPoll);
}

// The owner shuts the link down first: the requests still waiting hear of it while the
// session's consumers exist.
int TSession::PollCounters() {
    // The window's periodic read; the tool reads the counters when a command asks.
    if (m_connectingSequence)
        m_link.SendCommand(Payload::CountersRead(), &m_countersConsumer, 0);
    return kCountersTicks;
}

TSession::~TSession() {
    m_link.UnregisterPoll(&m_countersPoll);
}

void TSession::SetAcquisitions(TAcquisitions* acquisitions) {
    m_acquisitions = acquisitions;
    SyncMeasureSettings();
}

TMeasureSettings TSession::MeasureSettingsOf(const TConfiguration& config) {
    TMeasureSettings settings;
    settings.TPSType = config.TPSType;
    settings.LambdaType = config.LambdaType;
    settings.Cylinders = config.Cylinders;
    return settings;
}

void TSession::SyncMeasureSettings() {
    if (m_acquisitions)
        m_acquisitions->SetSettings(MeasureSettingsOf(m_config));
}

// ---------------------------------------------------------------- connecting

void TSession::OnEcuConnected() {
    if (!m_connectingSequence)
        return;
    m_link.SendCommand(Payload::SolenoidDisable(false), &m_solenoidConsumer, 1);
    emit SolenoidReset();
    m_config.OnEcuConnected();
    m_link.SendCommand(Payload::ReadBlock(1), &m_blockOneConsumer, 0);
    m_link.SendCommand(Payload::CountersRead(), &m_countersConsumer, 0);
}

void TSession::ReadBasicConfiguration() {
    m_basicKnown = false;
    m_link.SendCommand(Payload::ReadBlock(1), &m_blockOneConsumer, 0);
}

void TSession::OnBlockOne(const TFrame& reply) {
    if (m_config.RawData().ParseBlock(reply) != 1) {
        emit BasicConfigurationFailed();
        return;
    }
    m_config.DecodeParameters(m_config.RawData().Record);
    m_config.RefreshViews();
    m_basicKnown = true;
    emit BasicConfigurationRead();
    if (m_config.ConfigDate == QLatin1String("000000"))
        emit WizardRequested();
}

// ---------------------------------------------------------------- strategy

void TSession::SendStrategy(int strategyFlag, quint8 flag) {
    m_link.SendCommand(Payload::Strategy(strategyFlag == strategyCompensated
                                             ? Payload::TStrategyRequest::SelectCompensated
                                             : Payload::TStrategyRequest::SelectSlave),
                       &m_strategyConsumer, flag);
}

void TSession::SwitchStrategy() {
    const int other = StrategyFlag() == strategySlave ? strategyCompensated : strategySlave;
    const bool connected = m_link.ECUisConnected();
    SendStrategy(other, 1);
    if (!connected)
        ApplyStrategy(other); // no ECU to confirm it: switched here
}

void TSession::ApplyStrategy(int strategyFlag) {
    m_config.SetStrategyFlag(strategyFlag);
    m_config.SetLambdaDefaults(m_config.StrategyFlag);
    m_config.SetAdaptivityDefaults(m_config.StrategyFlag);
    m_config.EncodeImage();
    m_config.RefreshViews();
}

void TSession::OnStrategyReply(const TFrame& reply) {
    const int answer = Answer::Strategy(reply.FrameDataPart());
    const bool known = answer == 1 || answer == 2;
    if (known && reply.Flag != 0) {
        // A selection of the user's that the ECU took: the new strategy's lambda and
        // adaptivity defaults go to the ECU, then the ECU is asked again what it runs.
        ApplyStrategy(answer - 1);
        for (const int block : {5, 2, 9})
            m_config.DownloadBlock(block);
        m_link.SendCommand(Payload::Strategy(Payload::TStrategyRequest::Query), &m_link);
        m_link.SendCommand(Payload::Plain(cmdReadIdent), &m_link);
    } else if (known) {
        m_config.SetStrategyFlag(answer - 1);
    }
    emit StrategyConfirmed(m_config.StrategyFlag);
}

// ---------------------------------------------------------------- firmware

int TSession::FirmwareFeatureLevel() const {
    if (m_link.FirmwareMajor() != 1)
        return 2202;
    const int release = m_link.FirmwareRelease();
    if (release <= 5)
        return 2101;
    if (release <= 10)
        return 2106;
    if (release <= 14)
        return 2201;
    return 2202;
}

} // namespace ambrel
