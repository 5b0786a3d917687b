#pragma once
// The main window's side of the conversation with the ECU, kept apart from its widgets
// (this file needs QtCore only): the gas solenoid requests and their confirmation by the
// live status, the status-update switch and the injection sequence request. The workflow
// shared with the command line (connecting sequence, strategy, block 1, firmware level,
// sensor settings) is the session's; this class hands the window's requests to it and
// turns its signals into the window's.
//
// It is the consumer of the solenoid requests. Upward it talks through signals that the
// composition root connects to the main window and to the menu commands.

#include "link/frame.h"

#include <QObject>

namespace ambrel {
class TAcquisitions;
class TDataMap;
class TLinkManager;
class TSession;
class TSettingsStore;
} // namespace ambrel

namespace ambrel::ui {

class TMainWorkflow final : public QObject, public TConsumerInterface {
    Q_OBJECT
public:
    // Gas solenoid request state: what was asked last and whether the ECU confirmed it.
    enum TSolenoidState { solEnableRequested = 0, solDisableRequested = 1, solEnabled = 2, solDisabled = 3 };

    TMainWorkflow(TLinkManager& link, TDataMap& config, TAcquisitions& acquisitions, TSession& session,
                  QObject* parent = nullptr);

    bool Connected() const;
    TSettingsStore& Settings();
    int StrategyFlag() const;
    // 2101, 2106, 2201 or 2202 after the identified firmware (2202 before any).
    int FirmwareFeatureLevel() const;

    // Strategy: 0 Slave, 1 Compensated. `flag` 1 marks the user's selection, whose answer
    // writes the new strategy's defaults to the ECU.
    void SendStrategy(int strategyFlag, quint8 flag);
    // The user's switch to the other strategy: asked of the ECU while connected (its
    // answer completes it), made here at once otherwise.
    void SwitchStrategy();

    // The solenoid command: `disable` asks the ECU to shut the gas solenoid, otherwise to
    // open it again. The check mark follows the ECU's confirmation (SolenoidChecked).
    void RequestSolenoid(bool disable);
    TSolenoidState SolenoidState() const { return m_solenoidState; }
    // The decoded live status arrived: confirms a pending solenoid request.
    void OnMeasuresDerived();

    // The injection sequence table (the Drivability page and its menu command).
    void RequestSequence();
    // The last live status said the engine runs (engine state 2).
    bool EngineRunning() const;
    // Status polling and the live map refresh on or off together.
    void SetStatusUpdate(bool on);
    // TConsumerInterface: the solenoid requests (their answers carry nothing).
    void OnReply(const TFrame&) override {}
    void OnFailure() override {}
    void OnTimeout() override {}

signals:
    // The strategy changed or was confirmed: pages and captions follow it.
    void StrategyApplied();
    // A block 1 with the date "000000" came from an ECU never configured.
    void WizardRequested();
    // The gas solenoid's menu check mark: checked while the solenoid is shut.
    void SolenoidChecked(bool checked);
    // A timed message for the shared dialog.
    void Message(const QString& text, int milliseconds);

private:
    TLinkManager& m_link;
    TDataMap& m_config;
    TAcquisitions& m_acquisitions;
    TSession& m_session;
    TSolenoidState m_solenoidState = solDisabled;
};

} // namespace ambrel::ui
