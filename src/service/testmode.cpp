#include "testmode.h"

#include "link/commands.h"
#include "link/linkmanager.h"

#include <QCoreApplication>
#include <cmath>

namespace ambrel {

namespace {

// Channel names by family, channels 4 ... 23.
constexpr const char* kChannelNames[2][kLastAnalogChannel - kFirstAnalogChannel + 1] = {
    {"GND", "O2 sensor bank 1", "Switch power", "GND", "Battery voltage", "Sensors power", "TPS", "MAP sensor",
     "Gas level", "Rail temperature", "Water temperature", "Differential pressure", "Gas inj. A current",
     "Gas inj. B current", "Gas inj. C current", "Gas inj. D current", "GND", "GND", "GND", "GND"},
    {"O2 sensor bank 2", "O2 sensor bank 1", "Reserved", "Reserved", "Battery voltage", "Sensors power",
     "MAP sensor", "Rail pressure", "Gas level", "Rail temperature", "Water temperature", "TPS",
     "Gas inj. A current", "Gas inj. B current", "Gas inj. C current", "Gas inj. D current",
     "Gas inj. E current", "Gas inj. F current", "Gas inj. G current", "Gas inj. H current"},
};

constexpr const char* kLedPatterns[] = {"Off",      "Petrol",    "Wait",      "Gas",       "Reserve",
                                        "1/4 tank", "Half tank", "3/4 tank", "Full tank", "Alarm"};
constexpr int kLedPatternCount = static_cast<int>(std::size(kLedPatterns));

QString Tr(const char* text) {
    return QCoreApplication::translate("TFormTestMode", text);
}

// Two argument bytes (QByteArray{a, b} would be b repeated a times).
QByteArray Args(int first, int second) {
    QByteArray bytes;
    bytes.append(static_cast<char>(first));
    bytes.append(static_cast<char>(second));
    return bytes;
}

int Bits(quint8 mask) {
    int n = 0;
    for (; mask; mask &= static_cast<quint8>(mask - 1))
        ++n;
    return n;
}

} // namespace

QString AnalogChannelName(int ecuFamily, int channel) {
    if (channel < kFirstAnalogChannel || channel > kLastAnalogChannel)
        return {};
    return Tr(kChannelNames[ecuFamily == 0 ? 0 : 1][channel - kFirstAnalogChannel]);
}

QStringList LedPatternNames() {
    QStringList names;
    for (const char* name : kLedPatterns)
        names << Tr(name);
    return names;
}

double EmulatedLambdaFullScale(int lambdaType) {
    switch (lambdaType) {
    case 2:
    case 3:
    case 5:
        return 5.0;
    case 4:
        return 1.6;
    default:
        return 1.0;
    }
}

TTestModeSession::TTestModeSession(TLinkManager& link, QObject* parent)
    : QObject(parent), m_link(link), m_poll(kPollTicks, [this] { return PollInputs(); }) {
    connect(&m_link, &TLinkManager::EcuDisconnected, this, &TTestModeSession::OnLinkLost);
    connect(&m_link, &TLinkManager::PortLost, this, &TTestModeSession::OnLinkLost);
    connect(&m_link, &TLinkManager::EcuConnected, this, &TTestModeSession::OnEcuConnected);
}

TTestModeSession::~TTestModeSession() {
    // Nobody will hear the answer to the last leave: the default consumer takes it, and
    // whatever of ours still waits in the queue goes to it too.
    const bool mayBeInTestMode = m_state == TState::Entering || m_state == TState::Active || m_leaveOnReconnect;
    m_link.ReleaseExclusivePoll(&m_poll);
    m_link.UnregisterPoll(&m_poll);
    m_link.ForgetConsumer(this);
    if (mayBeInTestMode)
        m_link.SendCommand(Payload::TestMode(false), nullptr);
    // While the ECU may still be in test mode the program's end (the link is shut down
    // before the windows go) writes the leave request itself; the entry moves to a key of
    // its own, as this object's address may be reused.
    static const char kLeftBehind = 0;
    m_link.ClearLastWords(this);
    if (mayBeInTestMode)
        m_link.SetLastWords(&kLeftBehind, Payload::TestMode(false));
}

bool TTestModeSession::Open() {
    if (m_open || !m_link.ClaimExclusivePoll(&m_poll))
        return false;
    m_open = true;
    m_leaveOnReconnect = false;
    m_inputsWaiting = 0;
    m_autoOff = -1;
    m_outputs = {};
    m_inputs = {};
    SetState(TState::Entering);
    Send(Payload::TestMode(true));
    return true;
}

void TTestModeSession::Close() {
    if (!m_open)
        return;
    m_open = false;
    m_link.ReleaseExclusivePoll(&m_poll);
    if (m_state == TState::Entering || m_state == TState::Active)
        Leave();
}

void TTestModeSession::Leave() {
    m_autoOff = -1;
    m_inputsWaiting = 0;
    if (!m_link.ECUisConnected()) {
        m_leaveOnReconnect = true;
        SetState(TState::Off);
        return;
    }
    m_leaveOnReconnect = false;
    SetState(TState::Leaving);
    if (!Send(Payload::TestMode(false))) {
        m_leaveOnReconnect = true;
        SetState(TState::Off);
    }
}

void TTestModeSession::OnLinkLost() {
    if (m_state == TState::Off)
        return;
    // The ECU did not hear that we are gone: it may stay in test mode until told.
    m_leaveOnReconnect = true;
    m_inputsWaiting = 0;
    m_autoOff = -1;
    SetState(TState::Off);
}

void TTestModeSession::OnEcuConnected() {
    if (m_leaveOnReconnect)
        Leave();
}

void TTestModeSession::OnFailure() {
    // A request that went unanswered leaves the ECU's state unknown: take it out of test
    // mode rather than leave outputs driven that nobody watches.
    // The link tells of a failure while its queue is closed to new requests: the leave is
    // sent from the event loop, once the queue is open again.
    m_inputsWaiting = 0;
    switch (m_state) {
    case TState::Entering:
    case TState::Active:
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_state == TState::Entering || m_state == TState::Active)
                    Leave();
            },
            Qt::QueuedConnection);
        break;
    case TState::Leaving:
        m_leaveOnReconnect = true;
        SetState(TState::Off);
        break;
    case TState::Off:
        break;
    }
}

void TTestModeSession::SetState(TState state) {
    if (m_state == state)
        return;
    m_state = state;
    // While the ECU is or may be in test mode, quitting the program must still take it out.
    if (state == TState::Entering || state == TState::Active || m_leaveOnReconnect)
        m_link.SetLastWords(this, Payload::TestMode(false));
    else
        m_link.ClearLastWords(this);
    emit StateChanged(state);
}

void TTestModeSession::OnReply(const TFrame& reply) {
    const QByteArray data = reply.FrameDataPart();
    if (reply.RequestCode() == cmdTestMode) {
        const int answer = Answer::TestMode(data);
        if (answer == 1) {
            if (!m_open) { // closed before the ECU confirmed: take it out again
                if (m_state != TState::Leaving)
                    Leave();
                return;
            }
            m_poll.Countdown = kPollTicks;
            SetState(TState::Active);
        } else if (answer == 2) {
            m_autoOff = -1;
            m_inputsWaiting = 0;
            m_outputs = {};
            SetState(TState::Off);
            emit OutputsChanged();
        }
        return;
    }
    if (reply.RequestCode() != cmdTestCommand)
        return;
    const TTestAnswer answer = Answer::TestCommand(data);
    const auto value = [&](int i) { return answer.Values.value(i, 0); };
    if (answer.Values.isEmpty())
        return;
    bool outputs = false;
    switch (answer.SubFunction) {
    case testSolenoid:
        m_outputs.Solenoid = value(0) != 0;
        outputs = true;
        break;
    case testGasInjector:
        m_outputs.GasInjectors = static_cast<quint8>(value(0));
        m_autoOff = m_outputs.GasInjectors ? kAutoOffPolls : -1;
        outputs = true;
        break;
    case testPetrolCut:
        m_outputs.PetrolCut = value(0) == 0;
        outputs = true;
        break;
    case testLambdaEmulation:
        m_outputs.Emulation = value(0) != 0;
        outputs = true;
        break;
    case testPetrolInputs:
        m_inputs.PetrolInjectors = static_cast<quint8>(value(0));
        break;
    case testButton:
        m_inputs.ButtonPressed = value(0) != 0;
        break;
    case testRpmPresent:
        m_inputs.RpmPresent = value(0) != 0;
        break;
    case testRpmPeriod:
        m_inputs.RpmPeriodMs = value(0) / 100.0;
        break;
    case testAnalogInput:
        if (answer.Values.size() < 2)
            return;
        m_inputs.AnalogChannel = value(0);
        m_inputs.AnalogVolts = value(1) / 100.0;
        break;
    default:
        return;
    }
    if (outputs) {
        emit OutputsChanged();
    } else {
        m_inputsWaiting = std::max(0, m_inputsWaiting - 1);
        emit InputsChanged();
    }
}

int TTestModeSession::PollInputs() {
    if (m_state != TState::Active)
        return kPollTicks;
    // A round is sent only when the last one has been answered: a silent ECU must not
    // fill the queue with reads nobody will answer.
    if (m_inputsWaiting == 0) {
        m_inputsWaiting = 5;
        SendTest(testPetrolInputs);
        SendTest(testButton);
        SendTest(testRpmPresent);
        SendTest(testRpmPeriod);
        SendTest(testAnalogInput, QByteArray(1, static_cast<char>(m_channel)));
    }
    if (m_autoOff > 0)
        m_autoOff -= 1;
    else if (m_autoOff == 0)
        SwitchOffGasInjectors();
    return kPollTicks;
}

void TTestModeSession::SwitchOffGasInjectors() {
    for (int i = 0; i < 8; ++i)
        if (m_outputs.GasInjectors & (1 << i))
            SendTest(testGasInjector, Args(i, 0));
    m_autoOff = -1;
}

bool TTestModeSession::Send(const QByteArray& payload) {
    if (m_link.SendCommand(payload, this))
        return true;
    // A full queue tells OnFailure by itself; a disabled one drops the request silently.
    if (!m_link.Queue().Enabled())
        OnFailure();
    return false;
}

bool TTestModeSession::SendTest(quint8 sub, const QByteArray& arguments) {
    // Nothing is driven or read once a failure has started taking the ECU out of test mode.
    return Active() && Send(Payload::TestCommand(sub, arguments));
}

bool TTestModeSession::SetSolenoid(bool on) {
    return Active() && SendTest(testSolenoid, QByteArray(1, on ? 1 : 0));
}

bool TTestModeSession::SetPetrolCut(bool cut) {
    return Active() && SendTest(testPetrolCut, QByteArray(1, cut ? 0 : 1));
}

bool TTestModeSession::SetEmulation(bool on) {
    return Active() && SendTest(testLambdaEmulation, QByteArray(1, on ? 1 : 0));
}

bool TTestModeSession::SetGasInjector(int index, bool on) {
    if (!Active() || index < 0 || index > 7)
        return false;
    if (on && Bits(m_outputs.GasInjectors) >= kMaxGasInjectorsOn)
        return false;
    return SendTest(testGasInjector, Args(index, on ? 1 : 0));
}

bool TTestModeSession::SetLedPattern(int pattern) {
    if (!Active() || pattern < 0 || pattern >= kLedPatternCount)
        return false;
    return SendTest(testSwitchLeds, QByteArray(1, static_cast<char>(pattern)));
}

bool TTestModeSession::SetLambdaVoltage(int output, double volts) {
    if (!Active() || (output != 0 && output != 1) || !(volts >= 0.0 && volts <= EmulatedLambdaFullScale(m_lambdaType)))
        return false;
    const int tenths = static_cast<int>(std::lround(volts * 10.0));
    return SendTest(testLambdaVoltage, Args(output, tenths));
}

bool TTestModeSession::SetAnalogChannel(int channel) {
    if (channel < kFirstAnalogChannel || channel > kLastAnalogChannel)
        return false;
    m_channel = channel;
    return true;
}

} // namespace ambrel
