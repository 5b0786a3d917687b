// The test mode session over the real link: what goes to the ECU, what is shown only once
// the ECU confirmed it, and that the ECU is taken out of test mode whenever it may be in it.

#include "service/testmode.h"

#include "service/memorywatch.h"
#include "linkfixture.h"

#include <memory>

using namespace ambrel;
using ambrel::test::Bytes;

namespace {

class TestModeTest : public ambrel::test::LinkFixture {
protected:
    void Enter() {
        ASSERT_TRUE(session->Open());
        Answer(cmdTestMode, Bytes({0x01}));
        ASSERT_TRUE(session->Active());
    }
    // Plays an ECU in test mode for `ticks` ticks: every request is answered as the ECU
    // would, the gas injectors it drives kept in `injectors`. Returns what was sent.
    QList<QByteArray> RunEcu(int ticks) {
        QList<QByteArray> sent;
        qsizetype seen = port.Written.size();
        for (int i = 0; i < ticks; ++i) {
            link.Tick();
            if (port.Written.size() == seen)
                continue;
            seen = port.Written.size();
            const QByteArray payload = FramePayload(port.Frames().last());
            sent << payload;
            const QByteArray data = payload.mid(2);
            const quint16 code = PayloadCode(payload);
            if (code == cmdTestMode) {
                Reply(code, data.left(1));
                continue;
            }
            const quint8 sub = static_cast<quint8>(data.at(0));
            QByteArray answer(1, static_cast<char>(sub));
            if (sub == testGasInjector) {
                const int bit = 1 << data.at(1);
                injectors = data.at(2) ? (injectors | bit) : (injectors & ~bit);
                answer.append(static_cast<char>(injectors));
            } else if (sub == testAnalogInput) {
                answer += data.mid(1, 1) + Bytes({0xF4, 0x01});
            } else if (sub == testRpmPeriod) {
                answer += Bytes({0x10, 0x27});
            } else {
                answer.append('\x01');
            }
            Reply(code, answer);
        }
        return sent;
    }

    std::unique_ptr<TTestModeSession> session = std::make_unique<TTestModeSession>(link);
    int injectors = 0;
};

} // namespace

TEST_F(TestModeTest, EntersAndReadsTheInputsOnceASecond) {
    ASSERT_TRUE(session->Open());
    EXPECT_EQ(NextRequest(), Bytes({0x18, 0x00, 0x01}));
    EXPECT_EQ(session->State(), TTestModeSession::TState::Entering);
    Reply(cmdTestMode, Bytes({0x01}));
    EXPECT_TRUE(session->Active());
    ASSERT_TRUE(session->SetAnalogChannel(23));
    EXPECT_FALSE(session->SetAnalogChannel(24));

    EXPECT_TRUE(NextRequest(90).isEmpty()); // nothing before the second is up
    EXPECT_EQ(NextRequest(20), Bytes({0x19, 0x00, 0x03}));
    Reply(cmdTestCommand, Bytes({0x03, 0x05}));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x07}));
    Reply(cmdTestCommand, Bytes({0x07, 0x01}));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x0A}));
    Reply(cmdTestCommand, Bytes({0x0A, 0x01}));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x0B}));
    Reply(cmdTestCommand, Bytes({0x0B, 0x10, 0x27}));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x09, 0x17}));
    Reply(cmdTestCommand, Bytes({0x09, 0x17, 0xF4, 0x01}));

    const TTestInputs& in = session->Inputs();
    EXPECT_EQ(in.PetrolInjectors, 0x05);
    EXPECT_TRUE(in.ButtonPressed);
    EXPECT_TRUE(in.RpmPresent);
    EXPECT_DOUBLE_EQ(in.RpmPeriodMs, 100.0);
    EXPECT_EQ(in.AnalogChannel, 23);
    EXPECT_DOUBLE_EQ(in.AnalogVolts, 5.0);
}

TEST_F(TestModeTest, OutputRequestsAndWhatTheEcuConfirmed) {
    Enter();
    session->SetLambdaProbeType(2); // 0 - 5 V probe: the emulated voltages reach 5 V
    const struct {
        std::function<bool()> Request;
        QByteArray Payload;
    } cases[] = {
        {[&] { return session->SetSolenoid(true); }, Bytes({0x19, 0x00, 0x01, 0x01})},
        {[&] { return session->SetPetrolCut(true); }, Bytes({0x19, 0x00, 0x04, 0x00})},
        {[&] { return session->SetPetrolCut(false); }, Bytes({0x19, 0x00, 0x04, 0x01})},
        {[&] { return session->SetEmulation(false); }, Bytes({0x19, 0x00, 0x05, 0x00})},
        {[&] { return session->SetGasInjector(7, true); }, Bytes({0x19, 0x00, 0x02, 0x07, 0x01})},
        {[&] { return session->SetLedPattern(9); }, Bytes({0x19, 0x00, 0x06, 0x09})},
        {[&] { return session->SetLambdaVoltage(1, 2.3); }, Bytes({0x19, 0x00, 0x08, 0x01, 0x17})},
        {[&] { return session->SetLambdaVoltage(0, 5.0); }, Bytes({0x19, 0x00, 0x08, 0x00, 0x32})},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.Request());
        EXPECT_EQ(NextRequest(), c.Payload);
        Reply(cmdTestCommand, c.Payload.mid(2, 1) + Bytes({0x00}));
    }
    // Refused without a word to the ECU.
    EXPECT_FALSE(session->SetLambdaVoltage(0, 5.1));
    EXPECT_FALSE(session->SetLambdaVoltage(2, 1.0));
    EXPECT_FALSE(session->SetLambdaVoltage(0, -0.1));
    EXPECT_FALSE(session->SetLedPattern(10));
    EXPECT_FALSE(session->SetGasInjector(8, true));
    EXPECT_TRUE(NextRequest(50).isEmpty());
}

TEST_F(TestModeTest, OutputsShowOnlyWhatTheEcuAnswered) {
    Enter();
    ASSERT_TRUE(session->SetSolenoid(true));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x01, 0x01}));
    EXPECT_FALSE(session->Outputs().Solenoid); // asked for, not yet confirmed
    Reply(cmdTestCommand, Bytes({0x01, 0x01}));
    EXPECT_TRUE(session->Outputs().Solenoid);

    ASSERT_TRUE(session->SetPetrolCut(true));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x04, 0x00}));
    Reply(cmdTestCommand, Bytes({0x04, 0x00}));
    EXPECT_TRUE(session->Outputs().PetrolCut);

    // The ECU reports A and B on: a third is not asked for, switching A off is.
    ASSERT_TRUE(session->SetGasInjector(1, true));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x02, 0x01, 0x01}));
    Reply(cmdTestCommand, Bytes({0x02, 0x03}));
    EXPECT_EQ(session->Outputs().GasInjectors, 0x03);
    EXPECT_FALSE(session->SetGasInjector(2, true));
    ASSERT_TRUE(session->SetGasInjector(0, false));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x02, 0x00, 0x00}));
}

TEST_F(TestModeTest, DrivenGasInjectorsAreSwitchedOffAfterThreeToFourSeconds) {
    Enter();
    ASSERT_TRUE(session->SetGasInjector(2, true));
    RunEcu(10);
    ASSERT_EQ(session->Outputs().GasInjectors, 0x04);
    const QByteArray off = Bytes({0x19, 0x00, 0x02, 0x02, 0x00});
    EXPECT_FALSE(RunEcu(300).contains(off));
    EXPECT_TRUE(RunEcu(150).contains(off));
    EXPECT_EQ(session->Outputs().GasInjectors, 0x00);
    EXPECT_EQ(injectors, 0);
}

TEST_F(TestModeTest, ASilentEcuIsNotFloodedWithReads) {
    Enter();
    // Nobody answers: the first round waits, and no second round joins it a second later.
    const QList<QByteArray> sent = Sent(240);
    EXPECT_EQ(link.Queue().Count(), 5);
    EXPECT_EQ(sent.count(Bytes({0x19, 0x00, 0x03})), sent.size()); // the one read, sent again
    // The time-out ends the session's view of test mode until the ECU answers again.
    Sent(60);
    EXPECT_FALSE(link.ECUisConnected());
    EXPECT_EQ(session->State(), TTestModeSession::TState::Off);
}

TEST_F(TestModeTest, APulledCableEndsTheViewAndTheEcuIsToldOnceItAnswers) {
    Enter();
    port.Unplug();
    EXPECT_EQ(session->State(), TTestModeSession::TState::Off);
    EXPECT_FALSE(session->SetSolenoid(true));
    // The cable is back: the watchdog's check is answered, then test mode is left.
    QList<QByteArray> sent;
    for (int i = 0; i < 6; ++i) {
        const QByteArray payload = NextRequest(500);
        ASSERT_FALSE(payload.isEmpty());
        sent << payload;
        const quint16 code = PayloadCode(payload);
        Reply(code, code == cmdReadIdent ? QByteArray("WUX-04 1.4.12 K35F62T9") : Bytes({0x01}));
        if (code == cmdTestMode)
            break;
    }
    EXPECT_EQ(sent.last(), Bytes({0x18, 0x00, 0x02}));
}

TEST_F(TestModeTest, AFailedRequestTakesTheEcuOutOfTestMode) {
    Enter();
    ASSERT_TRUE(session->SetSolenoid(true));
    EXPECT_EQ(NextRequest(), Bytes({0x19, 0x00, 0x01, 0x01}));
    port.FeedPayload(MakePayload(replyNack));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(NextRequest(), Bytes({0x18, 0x00, 0x02}));
    EXPECT_EQ(session->State(), TTestModeSession::TState::Leaving);
    Reply(cmdTestMode, Bytes({0x02}));
    EXPECT_EQ(session->State(), TTestModeSession::TState::Off);
    EXPECT_FALSE(session->SetSolenoid(false));
}

TEST_F(TestModeTest, LeavesWhenTheEcuAnswersAgainAfterTheLinkLostIt) {
    Enter();
    ASSERT_TRUE(session->SetSolenoid(true));
    for (int i = 0; i < 3 * 60 && link.ECUisConnected(); ++i)
        link.Tick(); // three sends, no answer: the ECU counts as lost
    ASSERT_FALSE(link.ECUisConnected());
    EXPECT_EQ(session->State(), TTestModeSession::TState::Off);
    // The ECU comes back: after the link's own connecting requests, test mode is left.
    link.CheckConnection();
    Answer(cmdCheckConnection);
    Answer(cmdStrategy, Bytes({0x01}));
    Answer(cmdReadIdent, "WUX-04 1.4.12 K35F62T9");
    EXPECT_EQ(NextRequest(), Bytes({0x18, 0x00, 0x02}));
    Reply(cmdTestMode, Bytes({0x02}));
    EXPECT_EQ(session->State(), TTestModeSession::TState::Off);
}

TEST_F(TestModeTest, ClosingLeavesOnlyWhileTheEcuIsInTestMode) {
    Enter();
    session->Close();
    EXPECT_EQ(NextRequest(), Bytes({0x18, 0x00, 0x02}));
    Reply(cmdTestMode, Bytes({0x02}));
    session->Close();
    session.reset();
    EXPECT_TRUE(NextRequest(200).isEmpty());
}

TEST_F(TestModeTest, ClosingBeforeTheEcuConfirmedStillLeaves) {
    ASSERT_TRUE(session->Open());
    EXPECT_EQ(NextRequest(), Bytes({0x18, 0x00, 0x01}));
    session->Close();
    Reply(cmdTestMode, Bytes({0x01}));
    EXPECT_EQ(NextRequest(), Bytes({0x18, 0x00, 0x02}));
    Reply(cmdTestMode, Bytes({0x02}));
    EXPECT_TRUE(NextRequest(200).isEmpty());
}

TEST_F(TestModeTest, DestroyedWhileActiveLeavesAndItsPendingAnswersGoNowhere) {
    Enter();
    RunEcu(100); // the first input round is queued
    ASSERT_GT(link.Queue().Count(), 0);
    session.reset();
    // The reads still queued go out and are answered to nobody; then the leave.
    QList<QByteArray> sent;
    for (int i = 0; i < 6; ++i) {
        const QByteArray payload = NextRequest();
        ASSERT_FALSE(payload.isEmpty());
        sent << payload;
        Reply(PayloadCode(payload), payload.mid(2, 1) + Bytes({0x00, 0x00, 0x00}));
        if (PayloadCode(payload) == cmdTestMode)
            break;
    }
    EXPECT_EQ(sent.last(), Bytes({0x18, 0x00, 0x02}));
}

TEST_F(TestModeTest, HoldsTheLineWhileOpen) {
    int others = 0;
    TFunctionPoll other(0, [&] {
        ++others;
        return 0;
    });
    link.RegisterPoll(&other);
    Enter();
    others = 0;
    RunEcu(300);
    EXPECT_EQ(others, 0);
    TMemoryWatch watch(link);
    EXPECT_FALSE(watch.Start());
    session->Close();
    RunEcu(10);
    EXPECT_GT(others, 0);
    EXPECT_TRUE(watch.Start());
    link.UnregisterPoll(&other);
}

TEST(TestModeTables, ChannelsPatternsAndFullScale) {
    EXPECT_EQ(AnalogChannelName(0, 4), "GND");
    EXPECT_EQ(AnalogChannelName(1, 4), "O2 sensor bank 2");
    EXPECT_EQ(AnalogChannelName(0, 15), "Differential pressure");
    EXPECT_EQ(AnalogChannelName(1, 15), "TPS");
    EXPECT_EQ(AnalogChannelName(0, 23), "GND");
    EXPECT_EQ(AnalogChannelName(1, 23), "Gas inj. H current");
    EXPECT_EQ(AnalogChannelName(0, 24), "");
    EXPECT_EQ(LedPatternNames().size(), 10);
    EXPECT_EQ(LedPatternNames().value(5), "1/4 tank");
    const double fullScale[] = {1.0, 1.0, 5.0, 5.0, 1.6, 5.0};
    for (int type = 0; type < 6; ++type)
        EXPECT_DOUBLE_EQ(EmulatedLambdaFullScale(type), fullScale[type]) << type;
}

// The program ends with test mode on (the link shuts down before the windows go): the
// shutdown itself writes the leave request; once the ECU has left, nothing is written.
TEST_F(TestModeTest, QuittingWithTestModeOnStillTakesTheEcuOut) {
    Enter();
    port.Written.clear();
    link.Shutdown();
    ASSERT_FALSE(port.Frames().isEmpty());
    EXPECT_EQ(FramePayload(port.Frames().last()), Payload::TestMode(false));
}

TEST_F(TestModeTest, QuittingAfterTheEcuLeftWritesNothing) {
    Enter();
    session->Close();
    Answer(cmdTestMode, Bytes({0x02}));
    port.Written.clear();
    link.Shutdown();
    EXPECT_TRUE(port.Frames().isEmpty());
}
