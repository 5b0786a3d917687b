#pragma once
// TSession: the workflow of one run with an ECU that is not widgets, shared by the window
// and ambrel-q7-cli so that both behave alike.
//
// - The connecting sequence. On every EcuConnected (the link has queued its strategy query
//   and identification) it queues, in this order: the gas solenoid back to normal
//   operation, the configuration model's full read, configuration block 1 (a block 1
//   dated "000000" comes from an ECU never configured: WizardRequested), the counters.
//   The order is the order of the code here, not of signal connections.
// - The strategy: what the ECU reports goes into the model; a switch of the user's is
//   sent with flag 1 and, on the ECU's answer (or at once without an ECU), the new
//   strategy's lambda and adaptivity defaults are loaded in one place (ApplyStrategy).
// - The firmware feature level, from the identification the link parsed.
// - The live measures' sensor settings (TMeasureSettings), kept equal to the
//   configuration: every time the model is refreshed as a whole.
//
// The window connects its captions and controls to the signals; the tool switches the
// connecting sequence off and reads block 1 only when a subcommand needs the sensors.

#include "config/datamap.h"
#include "link/commands.h"
#include "link/frame.h"
#include "measure/measures.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace ambrel {

class TAcquisitions;
class TLinkManager;

// A consumer that hands each outcome to a function: one per kind of request, so that a
// failure is told apart without looking at the queue.
class TCallbackConsumer final : public TConsumerInterface {
public:
    std::function<void(const TFrame&)> Reply;
    std::function<void()> Failure; // a refusal, a full queue, or no answer at all
    void OnReply(const TFrame& reply) override {
        if (Reply)
            Reply(reply);
    }
    void OnFailure() override {
        if (Failure)
            Failure();
    }
    void OnTimeout() override { OnFailure(); }
};

class TSession final : public QObject {
    Q_OBJECT
public:
    // `settings` is the run's settings store (the window's, or the tool's that does not
    // persist); the session hands it on to whoever needs it.
    TSession(TLinkManager& link, TDataMap& config, TSettingsStore& settings, QObject* parent = nullptr);
    ~TSession() override;

    TSettingsStore& Settings() { return m_settings; }

    // On (the window) runs the connecting sequence on every connection; off (the tool).
    void SetConnectingSequence(bool on) { m_connectingSequence = on; }
    bool ConnectingSequence() const { return m_connectingSequence; }

    // The live measures whose sensor settings follow the configuration; nullptr for none.
    void SetAcquisitions(TAcquisitions* acquisitions);
    // What the derivations need of a configuration.
    static TMeasureSettings MeasureSettingsOf(const TConfiguration& config);

    // --- Strategy (0 Slave, 1 Compensated; the model holds it) ---
    int StrategyFlag() const { return m_config.StrategyFlag; }
    // Asks the ECU to run the strategy; flag 1 marks a user's selection, whose answer loads
    // the new strategy's defaults into the model and the ECU.
    void SendStrategy(int strategyFlag, quint8 flag);
    // The user's switch to the other strategy: through the ECU when connected, at once
    // otherwise.
    void SwitchStrategy();
    // The model takes the strategy with its lambda and adaptivity defaults; views refresh.
    void ApplyStrategy(int strategyFlag);

    // --- Firmware ---
    // Which controls the firmware supports: 2101, 2106, 2201 or 2202 (the newest).
    int FirmwareFeatureLevel() const;

    // --- Configuration the tools need ---
    // Reads configuration block 1 (engine, sensors) into the model: BasicConfigurationRead
    // or BasicConfigurationFailed follows.
    void ReadBasicConfiguration();
    bool BasicConfigurationKnown() const { return m_basicKnown; }
    const TCounters& Counters() const { return m_counters; }

signals:
    // The solenoid was sent back to normal operation ("Disable gas solenoid" unchecked).
    void SolenoidReset();
    // Block 1 of an ECU never configured arrived.
    void WizardRequested();
    // The ECU answered a strategy request; the captions and pages follow the strategy.
    void StrategyConfirmed(int strategyFlag);
    void BasicConfigurationRead();
    void BasicConfigurationFailed();
    void CountersRead(const ambrel::TCounters& counters);

private:
    void OnEcuConnected();
    void OnStrategyReply(const TFrame& reply);
    void OnBlockOne(const TFrame& reply);
    void SyncMeasureSettings();
    int PollCounters();

    TLinkManager& m_link;
    TDataMap& m_config;
    TSettingsStore& m_settings;
    QPointer<TAcquisitions> m_acquisitions;
    TCallbackConsumer m_strategyConsumer;
    TCallbackConsumer m_blockOneConsumer;
    TCallbackConsumer m_countersConsumer;
    TCallbackConsumer m_solenoidConsumer;
    // The counters are read again every 60.02 s; the time-on-gas labels follow them.
    static constexpr int kCountersTicks = 6001;
    TFunctionPoll m_countersPoll{kCountersTicks, [this] { return PollCounters(); }};
    TCounters m_counters;
    bool m_connectingSequence = true;
    bool m_basicKnown = false;
};

} // namespace ambrel
