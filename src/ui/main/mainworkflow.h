#pragma once
// The main window's conversation with the ECU, kept apart from its widgets (this file
// needs QtCore only): its part of the connecting sequence, the strategy selection and
// its answer, configuration block 1, the gas solenoid requests and their confirmation by
// the live status, the status-update switch, the firmware feature level, and keeping the
// live measures' sensor settings equal to the configuration.
//
// It is the consumer of the requests it sends. Upward it talks through signals that the
// composition root connects to the main window and to the menu commands.

#include "link/frame.h"

#include <QObject>

namespace ambrel {
class TAcquisitions;
class TDataMap;
class TLinkManager;
} // namespace ambrel

namespace ambrel::ui {

class TMainWorkflow final : public QObject, public TConsumerInterface {
    Q_OBJECT
public:
    // Gas solenoid request state: what was asked last and whether the ECU confirmed it.
    enum TSolenoidState { solEnableRequested = 0, solDisableRequested = 1, solEnabled = 2, solDisabled = 3 };

    TMainWorkflow(TLinkManager& link, TDataMap& config, TAcquisitions& acquisitions, QObject* parent = nullptr);

    bool Connected() const;
    int StrategyFlag() const;
    // 2101, 2106, 2201 or 2202 after the identified firmware (2202 before any).
    int FirmwareFeatureLevel() const;

    // The main window's part of the connecting sequence: the solenoid back to normal
    // operation, the model's full read, then configuration block 1.
    void OnEcuConnected();
    // Strategy: 0 Slave, 1 Compensated. `flag` 1 marks the user's selection, whose answer
    // writes the new strategy's defaults to the ECU.
    void SendStrategy(int strategyFlag, quint8 flag);
    void RequestConfigurationBlock();
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
    // Status polling and the live map refresh on or off together.
    void SetStatusUpdate(bool on);
    // The live measures scale by the sensors that the configuration names.
    void KeepMeasureSettings();

    // TConsumerInterface: the answers to the strategy selection and block 1.
    void OnReply(const TFrame& reply) override;
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
    void ApplyStrategyDefaults(int strategyFlag);

    TLinkManager& m_link;
    TDataMap& m_config;
    TAcquisitions& m_acquisitions;
    TSolenoidState m_solenoidState = solDisabled;
};

} // namespace ambrel::ui
