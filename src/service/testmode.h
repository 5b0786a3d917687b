#pragma once
// TTestModeSession: the ECU's test mode over the link, for the test mode window and the
// command line. It puts the ECU into test mode, drives its outputs and reads its inputs
// once a second while the ECU confirms the mode, and takes the ECU out of it again
// whenever the ECU is known or may be in it: on Close, on destruction, when a request of
// the session fails, and, after the link or the ECU was lost, as soon as the ECU answers
// again.
//
// What it reports is what the ECU answered, never what was asked for: an output shows
// its new state only once the ECU confirmed it. While the session is open it has the line
// to itself (the link's other periodic requests stand still); its once-a-second input
// reads are a poll entry on the link's tick.

#include "link/frame.h"
#include "link/pollhooks.h"

#include <QObject>
#include <QStringList>

namespace ambrel {

class TLinkManager;

// The analog inputs the ECU can read in test mode: channels 4 ... 23.
inline constexpr int kFirstAnalogChannel = 4;
inline constexpr int kLastAnalogChannel = 23;
// "GND", "O2 sensor bank 1", ... by ECU family (0 or 1); empty outside 4 ... 23.
QString AnalogChannelName(int ecuFamily, int channel);
// The change-over switch LED patterns, by index: "Off", "Petrol", ... "Alarm".
QStringList LedPatternNames();
// Full scale of the emulated lambda voltages for the configured lambda probe type (V).
double EmulatedLambdaFullScale(int lambdaType);

struct TTestOutputs {
    bool Solenoid = false;
    bool PetrolCut = false; // the petrol injectors are cut off
    bool Emulation = false;
    quint8 GasInjectors = 0; // bit 0 = injector A
};

struct TTestInputs {
    quint8 PetrolInjectors = 0; // bit 0 = petrol injector 1
    bool ButtonPressed = false;
    bool RpmPresent = false;
    double RpmPeriodMs = 0.0;
    int AnalogChannel = 0; // the channel of AnalogVolts
    double AnalogVolts = 0.0;
};

class TTestModeSession final : public QObject, private TConsumerInterface {
    Q_OBJECT
public:
    enum class TState { Off, Entering, Active, Leaving };
    // Inputs are read every 1000 ms: 100 link ticks.
    static constexpr int kPollTicks = 99;
    // Input reads before the gas injectors the ECU reports on are switched off again.
    static constexpr int kAutoOffPolls = 3;
    static constexpr int kMaxGasInjectorsOn = 2;

    explicit TTestModeSession(TLinkManager& link, QObject* parent = nullptr);
    ~TTestModeSession() override;

    // Takes the line and asks the ECU to enter test mode. False when another tool holds
    // the line or the session is already open.
    bool Open();
    // Asks the ECU to leave test mode when it is or may be in it, and gives the line back.
    void Close();

    TState State() const { return m_state; }
    bool Active() const { return m_state == TState::Active; }
    const TTestOutputs& Outputs() const { return m_outputs; }
    const TTestInputs& Inputs() const { return m_inputs; }

    // Output requests; each returns false when nothing was sent (the ECU is not in test
    // mode, the argument is out of range, or the request is refused as described).
    bool SetSolenoid(bool on);
    bool SetPetrolCut(bool cut);
    bool SetEmulation(bool on);
    // Switching an injector on is refused while two are on already.
    bool SetGasInjector(int index, bool on);
    bool SetLedPattern(int pattern);
    // Output 0 or 1, 0 ... the full scale of the probe type, sent in tenths of a volt.
    bool SetLambdaVoltage(int output, double volts);
    void SetLambdaProbeType(int lambdaType) { m_lambdaType = lambdaType; }

    // The analog channel the input reads ask for (4 ... 23); others are refused.
    bool SetAnalogChannel(int channel);
    int AnalogChannel() const { return m_channel; }

signals:
    void StateChanged(ambrel::TTestModeSession::TState state);
    void OutputsChanged();
    void InputsChanged();

private:
    void OnReply(const TFrame& reply) override;
    void OnFailure() override;
    void OnTimeout() override { OnFailure(); }
    int PollInputs();
    void SwitchOffGasInjectors();
    bool Send(const QByteArray& payload);
    bool SendTest(quint8 sub, const QByteArray& arguments = {});
    void SetState(TState state);
    void Leave();
    void OnLinkLost();
    void OnEcuConnected();

    TLinkManager& m_link;
    TFunctionPoll m_poll;
    TState m_state = TState::Off;
    TTestOutputs m_outputs;
    TTestInputs m_inputs;
    int m_channel = kFirstAnalogChannel;
    int m_lambdaType = 1;
    int m_autoOff = -1;
    int m_inputsWaiting = 0;
    bool m_open = false;
    // The ECU may still be in test mode although the link lost it: leave when it answers.
    bool m_leaveOnReconnect = false;
};

} // namespace ambrel
