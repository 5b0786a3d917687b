#include "mainworkflow.h"

#include "config/datamap.h"
#include "link/commands.h"
#include "link/linkmanager.h"
#include "measure/acquisitions.h"

#include <QCoreApplication>

namespace ambrel::ui {

namespace {
// The texts belong to the main window's translations.
QString Tr(const char* text) {
    return QCoreApplication::translate("TFormMain", text);
}
} // namespace

TMainWorkflow::TMainWorkflow(TLinkManager& link, TDataMap& config, TAcquisitions& acquisitions, QObject* parent)
    : QObject(parent), m_link(link), m_config(config), m_acquisitions(acquisitions) {}

bool TMainWorkflow::Connected() const {
    return m_link.ECUisConnected();
}

int TMainWorkflow::StrategyFlag() const {
    return m_config.StrategyFlag;
}

int TMainWorkflow::FirmwareFeatureLevel() const {
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

void TMainWorkflow::OnEcuConnected() {
    // The enable request goes out first; a freshly connected ECU runs with its solenoid
    // in normal operation, so the check mark goes at once.
    m_link.SendCommand(Payload::SolenoidDisable(false), this, 1);
    m_solenoidState = solEnabled;
    emit SolenoidChecked(false);
    m_config.OnEcuConnected();
    RequestConfigurationBlock();
}

void TMainWorkflow::SendStrategy(int strategyFlag, quint8 flag) {
    m_link.SendCommand(Payload::Strategy(strategyFlag == 0 ? Payload::TStrategyRequest::SelectSlave
                                                           : Payload::TStrategyRequest::SelectCompensated),
                       this, flag);
}

void TMainWorkflow::RequestConfigurationBlock() {
    m_link.SendCommand(Payload::ReadBlock(1), this, 0);
}

void TMainWorkflow::SwitchStrategy() {
    const int other = 1 - StrategyFlag();
    SendStrategy(other, 1);
    if (m_link.ECUisConnected())
        return; // the ECU's answer completes the switch
    m_config.SetStrategyFlag(other);
    ApplyStrategyDefaults(other);
    emit StrategyApplied();
}

void TMainWorkflow::ApplyStrategyDefaults(int strategyFlag) {
    m_config.SetLambdaDefaults(strategyFlag);
    m_config.SetAdaptivityDefaults(strategyFlag);
    m_config.EncodeImage();
    m_config.View().RefreshGUI(m_config);
}

void TMainWorkflow::OnReply(const TFrame& reply) {
    if (reply.Code() == ReplyCodeFor(cmdStrategy)) {
        const int answer = Answer::Strategy(reply.FrameDataPart());
        if (answer == 1 || answer == 2)
            m_config.SetStrategyFlag(answer - 1);
        if (reply.Flag != 0) {
            // A selection of the user's: the new strategy's lambda and adaptivity defaults go
            // to the ECU, then the ECU is asked again what it runs.
            ApplyStrategyDefaults(StrategyFlag());
            for (int block : {5, 2, 9})
                m_config.DownloadBlock(block);
            m_link.SendCommand(Payload::Strategy(Payload::TStrategyRequest::Query), &m_link);
            m_link.SendCommand(Payload::Plain(cmdReadIdent), &m_link);
        }
        emit StrategyApplied();
    } else if (reply.Code() == ReplyCodeFor(cmdReadBlock)) {
        m_config.RawData().ParseBlock(reply);
        m_config.DecodeParameters(m_config.RawData().Record);
        m_config.View().RefreshGUI(m_config);
        if (m_config.ConfigDate == QLatin1String("000000"))
            emit WizardRequested(); // an ECU that was never configured
    }
}

void TMainWorkflow::RequestSolenoid(bool disable) {
    if (!m_link.ECUisConnected())
        return;
    m_link.SendCommand(Payload::SolenoidDisable(disable), this, 1);
    m_solenoidState = disable ? solDisableRequested : solEnableRequested;
}

void TMainWorkflow::OnMeasuresDerived() {
    const TDerivedMeasures& m = m_acquisitions.Measures();
    // Running on petrol counts as enabled: the ECU keeps the solenoid shut on petrol.
    if (m_solenoidState == solEnableRequested && (m.SolenoidOpen || m.OnPetrol)) {
        m_solenoidState = solEnabled;
        emit Message(Tr("Solenoid enabled"), 500);
        emit SolenoidChecked(false);
    }
    if (m_solenoidState == solDisableRequested && !m.SolenoidOpen) {
        m_solenoidState = solDisabled;
        emit Message(Tr("Solenoid disabled"), 500);
        emit SolenoidChecked(true);
    }
}

void TMainWorkflow::RequestSequence() {
    m_acquisitions.RequestSequence();
}

void TMainWorkflow::SetStatusUpdate(bool on) {
    m_link.AcquisitionModes().SetStatusUpdate(on);
    m_link.MapRefresh().SetEnableMapRefresh(on);
    if (on)
        m_link.StartPolling();
    else
        m_link.StopPolling();
}

void TMainWorkflow::KeepMeasureSettings() {
    TMeasureSettings settings;
    settings.TPSType = m_config.TPSType;
    settings.LambdaType = m_config.LambdaType;
    settings.Cylinders = m_config.Cylinders;
    m_acquisitions.SetSettings(settings);
}

} // namespace ambrel::ui
