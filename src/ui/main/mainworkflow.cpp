#include "mainworkflow.h"

#include "config/datamap.h"
#include "link/commands.h"
#include "link/linkmanager.h"
#include "measure/acquisitions.h"
#include "session/session.h"

#include <QCoreApplication>

namespace ambrel::ui {

namespace {
// The texts belong to the main window's translations.
QString Tr(const char* text) {
    return QCoreApplication::translate("TFormMain", text);
}
} // namespace

TMainWorkflow::TMainWorkflow(TLinkManager& link, TDataMap& config, TAcquisitions& acquisitions, TSession& session,
                             QObject* parent)
    : QObject(parent), m_link(link), m_config(config), m_acquisitions(acquisitions), m_session(session) {
    // A freshly connected ECU runs its solenoid in normal operation: the check mark goes.
    connect(&m_session, &TSession::SolenoidReset, this, [this] {
        m_solenoidState = solEnabled;
        emit SolenoidChecked(false);
    });
    connect(&m_session, &TSession::StrategyConfirmed, this, &TMainWorkflow::StrategyApplied);
    connect(&m_session, &TSession::WizardRequested, this, &TMainWorkflow::WizardRequested);
}

bool TMainWorkflow::Connected() const {
    return m_link.ECUisConnected();
}

TSettingsStore& TMainWorkflow::Settings() {
    return m_session.Settings();
}

int TMainWorkflow::StrategyFlag() const {
    return m_config.StrategyFlag;
}

int TMainWorkflow::FirmwareFeatureLevel() const {
    return m_session.FirmwareFeatureLevel();
}

void TMainWorkflow::SendStrategy(int strategyFlag, quint8 flag) {
    m_session.SendStrategy(strategyFlag, flag);
}

void TMainWorkflow::SwitchStrategy() {
    const bool connected = m_link.ECUisConnected();
    m_session.SwitchStrategy();
    if (!connected)
        emit StrategyApplied(); // no ECU to confirm it: switched at once
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

bool TMainWorkflow::EngineRunning() const {
    return m_acquisitions.Measures().EngineState == esEngineOn;
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

} // namespace ambrel::ui
