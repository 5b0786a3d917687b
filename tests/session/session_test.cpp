// The session controller over the real link and model, with the in-memory port: the
// connecting sequence in order, the strategy switch, and the live measures' sensor
// settings following the configuration.

#include "session/session.h"

#include "link/commands.h"
#include "link/framecodec.h"
#include "link/linkmanager.h"
#include "measure/acquisitions.h"
#include "support/fakeport.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;
using ambrel::test::TFakePortDirectory;
using ambrel::test::TFakeSerialPort;

namespace {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Ports = {"COM3"};
        model.SetLink(link);
        link.SetAcquisitionModes(&acq);
        session.SetAcquisitions(&acq);
        link.Start("COM3", false);
    }
    void TearDown() override {
        link.Shutdown();
        link.SetAcquisitionModes(nullptr);
    }
    // Ticks until the next request has gone out; returns its code.
    quint16 NextRequest() {
        const qsizetype before = port.Written.size();
        for (int i = 0; i < 400 && port.Written.size() == before; ++i)
            link.Tick();
        EXPECT_GT(port.Written.size(), before);
        return port.WrittenCodes().value(port.WrittenCodes().size() - 1);
    }
    void Answer(quint16 request, const QByteArray& data = {}) {
        EXPECT_EQ(NextRequest(), request);
        port.FeedPayload(MakePayload(ReplyCodeFor(request), data));
        link.DeliverPendingReplies();
    }
    // The ECU answers the connection check; the link's strategy query and identification follow.
    void Connect(int strategyAnswer = 1) {
        link.CheckConnection();
        Answer(cmdCheckConnection);
        Answer(cmdStrategy, QByteArray(1, static_cast<char>(strategyAnswer)));
        Answer(cmdReadIdent, "WUX-04 1.4.12 K35F62T9");
        ASSERT_TRUE(link.ECUisConnected());
        acq.SetStatusUpdate(false); // no status polls between the requests of a test
    }
    // What waits in the queue, as "code" or "code/first data byte", emptied as it is read.
    QStringList TakeQueued() {
        QStringList queued;
        TTXQueue& queue = link.Queue();
        while (TFrame* head = queue.HeadFrame()) {
            const QByteArray data = head->FrameDataPart();
            queued << HexWord(head->Code()) + (data.isEmpty() ? QString() : "/" + HexByte(quint8(data.at(0))));
            queue.Pop();
        }
        return queued;
    }
    // Block 1 of a configuration that differs from the defaults as `change` says.
    QByteArray BlockOne(const std::function<void(TConfiguration&)>& change) {
        TDataMap ecu;
        change(ecu);
        ecu.EncodeImage();
        return ecu.RawData().BuildBlock(1, 1);
    }

    TFakeSerialPort port;
    TFakePortDirectory dir;
    TMemorySettingsStore settings;
    TLinkManager link{port, dir, settings};
    TDataMap model{settings};
    TAcquisitions acq{link};
    TSession session{link, model, settings};
};

} // namespace

TEST_F(SessionTest, ConnectingQueuesSolenoidFullReadBlockOneAndCountersInThisOrder) {
    int solenoidResets = 0;
    QObject::connect(&session, &TSession::SolenoidReset, [&] { ++solenoidResets; });
    link.CheckConnection();
    Answer(cmdCheckConnection);
    ASSERT_TRUE(link.ECUisConnected());
    QStringList expected{"0013/03", "0006", "001B/00"};
    for (const char* read : {"01", "02", "03", "03", "04", "04", "05", "06", "07", "08", "08", "09", "0A", "0B",
                             "0C", "0D"})
        expected << QStringLiteral("0002/") + read;
    expected << "0002/01" << "0014/01";
    EXPECT_EQ(TakeQueued(), expected);
    EXPECT_EQ(solenoidResets, 1);
}

TEST_F(SessionTest, TheToolsSessionLeavesTheConnectionToTheLinkAlone) {
    session.SetConnectingSequence(false);
    link.CheckConnection();
    Answer(cmdCheckConnection);
    EXPECT_EQ(TakeQueued(), (QStringList{"0013/03", "0006"}));
}

TEST_F(SessionTest, BlockOneSetsTheSensorSettingsOfTheMeasuresAndAsksForTheWizardWhenNeverConfigured) {
    session.SetConnectingSequence(false);
    Connect();
    int wizard = 0, read = 0;
    QObject::connect(&session, &TSession::WizardRequested, [&] { ++wizard; });
    QObject::connect(&session, &TSession::BasicConfigurationRead, [&] { ++read; });
    struct Case {
        int lambda, tps, cylinders;
        const char* date;
        int wizards;
    };
    const Case cases[] = {{4, 2, 6, "150324", 0}, {2, 0, 3, "000000", 1}, {1, 1, 4, "010101", 1}};
    for (const Case& c : cases) {
        session.ReadBasicConfiguration();
        Answer(cmdReadBlock, BlockOne([&](TConfiguration& e) {
                   e.LambdaType = c.lambda;
                   e.TPSType = c.tps;
                   e.Cylinders = c.cylinders;
                   e.ConfigDate = QString::fromLatin1(c.date);
               }));
        EXPECT_TRUE(session.BasicConfigurationKnown());
        EXPECT_EQ(acq.Settings().LambdaType, c.lambda) << c.date;
        EXPECT_EQ(acq.Settings().TPSType, c.tps) << c.date;
        EXPECT_EQ(acq.Settings().Cylinders, c.cylinders) << c.date;
        EXPECT_EQ(wizard, c.wizards) << c.date;
    }
    EXPECT_EQ(read, 3);
}

TEST_F(SessionTest, UnansweredBlockOneIsReportedAsFailed) {
    session.SetConnectingSequence(false);
    Connect();
    int failed = 0;
    QObject::connect(&session, &TSession::BasicConfigurationFailed, [&] { ++failed; });
    session.ReadBasicConfiguration();
    for (int i = 0; i < 3 * (TLinkManager::kReplyTicks + 10); ++i)
        link.Tick();
    link.DeliverPendingReplies();
    EXPECT_EQ(failed, 1);
    EXPECT_FALSE(session.BasicConfigurationKnown());
}

TEST_F(SessionTest, SensorSettingsFollowEveryEditFileAndUndo) {
    TEdit edit;
    edit.Change = [](TDataMap& m) {
        m.LambdaType = 4;
        m.Cylinders = 8;
    };
    edit.Blocks = {1};
    model.ApplyEdit(edit);
    EXPECT_EQ(acq.Settings().LambdaType, 4);
    EXPECT_EQ(acq.Settings().Cylinders, 8);
    model.Undo();
    EXPECT_EQ(acq.Settings().LambdaType, TMeasureSettings{}.LambdaType);
    EXPECT_EQ(acq.Settings().Cylinders, 4);
}

TEST_F(SessionTest, SwitchWithoutEcuLoadsTheOtherStrategysDefaultsAtOnce) {
    TDataMap reference;
    reference.SetAdaptivityDefaults(strategyCompensated);
    ASSERT_EQ(model.StrategyFlag, strategySlave);
    session.SwitchStrategy();
    EXPECT_EQ(model.StrategyFlag, strategyCompensated);
    EXPECT_TRUE(model.FuelTrim);          // lambda defaults of Compensated
    EXPECT_EQ(model.IntegralRich, 1.5);
    EXPECT_TRUE(model.AdaptiveGas);       // adaptivity defaults of Compensated
    EXPECT_EQ(model.AdaptMaxRevs, reference.AdaptMaxRevs);
    // The selection waits for the ECU behind a connection check.
    EXPECT_EQ(TakeQueued(), (QStringList{"0007", "0013/02"}));
}

TEST_F(SessionTest, SwitchWithEcuWaitsForItsAnswerThenWritesTheDefaultsAndAsksAgain) {
    session.SetConnectingSequence(false);
    Connect();
    int confirmed = 0;
    QObject::connect(&session, &TSession::StrategyConfirmed, [&] { ++confirmed; });
    session.SwitchStrategy();
    EXPECT_EQ(model.StrategyFlag, strategySlave); // not before the ECU took it
    Answer(cmdStrategy, QByteArray(1, 2));
    EXPECT_EQ(model.StrategyFlag, strategyCompensated);
    EXPECT_EQ(confirmed, 1);
    EXPECT_EQ(TakeQueued(), (QStringList{"0001/05", "0001/02", "0001/09", "0013/03", "0006"}));
}

TEST_F(SessionTest, FirmwareFeatureLevelFollowsTheIdentification) {
    const struct {
        const char* version;
        int level;
    } cases[] = {{"1.4.5", 2101}, {"1.4.6", 2106}, {"1.4.10", 2106}, {"1.4.14", 2201}, {"1.4.15", 2202}, {"2.0.1", 2202}};
    for (const auto& c : cases) {
        link.ParseIdentification(QByteArray("WUX-04 ") + c.version + " K35F62T9");
        EXPECT_EQ(session.FirmwareFeatureLevel(), c.level) << c.version;
    }
}
