// TAcquisitions on a real link manager over the fake port: the acquisition poll queues
// the status requests of the mode in force with TAcquisitions as their consumer, the
// answers are decoded and derived, a refused status request switches its modes off, and
// the setters restart the poll countdown and clear what a new acquisition must not show.

#include "measure/acquisitions.h"

#include "link/commands.h"
#include "link/linkmanager.h"
#include "link/settings.h"
#include "support/fakeport.h"
#include "support/qtprinters.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ambrel;
using ambrel::test::TFakePortDirectory;
using ambrel::test::TFakeSerialPort;

namespace {

class AcquisitionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Ports = {"COM3"};
        link.SetAcquisitionModes(&acq);
        link.Start("COM3", false);
        // Connect: answer the check, the strategy and the identification.
        link.CheckConnection();
        Answer(cmdCheckConnection);
        Answer(cmdStrategy, QByteArray(1, 1));
        Answer(cmdReadIdent, "WUX-04 1.4.12 K35F62T9");
        ASSERT_TRUE(link.ECUisConnected());
        link.FlushLink(); // nothing left waiting from the connection
        port.Written.clear();
    }
    void TearDown() override { link.SetAcquisitionModes(nullptr); }

    // Ticks until the next request has gone out; returns its code.
    quint16 NextRequest() {
        const qsizetype before = port.Written.size();
        for (int i = 0; i < 400 && port.Written.size() == before; ++i)
            link.Tick();
        EXPECT_GT(port.Written.size(), before);
        return port.WrittenCodes().last();
    }
    void Answer(quint16 request, const QByteArray& data = {}) {
        EXPECT_EQ(NextRequest(), request);
        port.FeedPayload(MakePayload(ReplyCodeFor(request), data));
        link.DeliverPendingReplies();
    }

    TFakeSerialPort port;
    TFakePortDirectory dir;
    TMemorySettingsStore settings;
    TLinkManager link{port, dir, settings};
    TAcquisitions acq{link};
};

QByteArray Word(int v) {
    QByteArray w(2, '\0');
    w[0] = static_cast<char>(v & 0xFF);
    w[1] = static_cast<char>(v >> 8);
    return w;
}

} // namespace

TEST_F(AcquisitionsTest, StatusUpdatePollsTheShortStatusAndDerivesIt) {
    ASSERT_TRUE(acq.StatusUpdate()); // the connection check's answer switched it on
    QList<quint16> derived;
    QObject::connect(&acq, &TAcquisitions::MeasuresDerived, [&](quint16 code) { derived << code; });
    QByteArray data(48, '\0');
    data.replace(8, 2, Word(850));
    data.replace(20, 2, Word(1180));
    Answer(cmdReadStatusMin, data);
    EXPECT_EQ(acq.Measures().RPM, 850);
    EXPECT_EQ(acq.Measures().GasPressure, 1180);
    EXPECT_EQ(derived, QList<quint16>{cmdReadStatusMin});
}

TEST_F(AcquisitionsTest, MinimumsPollsStandardThenPetrolTimesEveryNinetyMs) {
    acq.SetMinimumsAcquisition(true);
    EXPECT_EQ(acq.PollCountdown(), TAcquisitions::kAcquisitionFast);
    QByteArray standard(121, '\0');
    standard.replace(0, 2, Word(2000));
    standard.replace(4, 2, Word(3100));
    Answer(cmdReadStatus, standard);
    EXPECT_EQ(acq.Measures().RPM, 2000);
    QByteArray ext(34, '\0');
    ext.replace(0, 2, Word(2950));
    ext.replace(30, 2, Word(2010));
    Answer(cmdReadStatusExt, ext);
    // The petrol-times answer comes second and has the last word.
    EXPECT_EQ(acq.Measures().RPM, 2010);
    EXPECT_DOUBLE_EQ(acq.Measures().PetrolTime[0], 2.95);
}

TEST_F(AcquisitionsTest, StandardPollAndItsDisplayStep) {
    QList<bool> steps;
    QObject::connect(&acq, &TAcquisitions::AcquisitionStep, [&](bool meters) { steps << meters; });
    acq.SetStandardAcquisition(true);
    EXPECT_EQ(acq.PollCountdown(), TAcquisitions::kAcquisitionSlow);
    EXPECT_EQ(NextRequest(), cmdReadStatus);
    ASSERT_FALSE(steps.isEmpty());
    EXPECT_TRUE(steps.first());
}

TEST_F(AcquisitionsTest, TableReplyOfThirtyTwoBytesIsAnalysed) {
    int analysed = 0;
    QObject::connect(&acq, &TAcquisitions::SequenceAnalysed, [&] { ++analysed; });
    link.StopPolling();
    QByteArray standard(121, '\0');
    standard.replace(0, 2, Word(850));
    acq.RequestStatus();
    Answer(cmdReadStatus, standard);
    acq.RequestSequence();
    QByteArray table(32, '\0');
    for (int k = 0; k < 16; ++k) {
        table[k] = static_cast<char>(QList<int>{0, 2, 3, 1}[k % 4]);
        table[16 + k] = static_cast<char>(10 * (k + 1));
    }
    Answer(cmdReadTable32, table);
    EXPECT_EQ(analysed, 1);
    EXPECT_EQ(acq.Sequence().SequenceInjector[1], 3);
    acq.RequestSequence();
    Answer(cmdReadTable32, table.left(31));
    EXPECT_EQ(analysed, 1);
}

TEST_F(AcquisitionsTest, RefusedStandardStatusSwitchesItsModesAndTheRecordingOff) {
    QTemporaryDir folder;
    acq.SetStandardAcquisition(true);
    acq.SetTraceFileName(folder.filePath("t.txt"));
    acq.SetRecording(true);
    ASSERT_TRUE(acq.Recording());
    EXPECT_EQ(NextRequest(), cmdReadStatus);
    port.FeedPayload(MakePayload(replyNack));
    EXPECT_FALSE(acq.StandardAcquisition());
    EXPECT_FALSE(acq.StatusUpdate());
    EXPECT_FALSE(acq.Recording());
}

TEST_F(AcquisitionsTest, RefusedShortStatusSwitchesOnlyStatusUpdateOff) {
    EXPECT_EQ(NextRequest(), cmdReadStatusMin);
    port.FeedPayload(MakePayload(replyNack));
    EXPECT_FALSE(acq.StatusUpdate());
}

TEST_F(AcquisitionsTest, EnteringAnAcquisitionClearsTheMeasures) {
    QByteArray data(48, '\0');
    data.replace(8, 2, Word(850));
    data.replace(44, 2, Word(1390));
    Answer(cmdReadStatusMin, data);
    ASSERT_EQ(acq.Measures().RPM, 850);
    int restart = 0;
    QObject::connect(&acq, &TAcquisitions::LambdaChartRestart, [&] { ++restart; });
    acq.SetStandardAcquisition(true);
    EXPECT_EQ(acq.Measures().RPM, 0);
    EXPECT_DOUBLE_EQ(acq.Measures().BatteryVoltage, 13.9); // the battery word is kept
    EXPECT_EQ(restart, 1);
    EXPECT_TRUE(acq.SaveButtonEnabled());
    // Again "on": no second clear, but the countdown restarts.
    link.StartPolling();
    for (int i = 0; i < 3; ++i)
        link.Tick();
    ASSERT_LT(acq.PollCountdown(), TAcquisitions::kAcquisitionSlow);
    acq.SetStandardAcquisition(true);
    EXPECT_EQ(restart, 1);
    EXPECT_EQ(acq.PollCountdown(), TAcquisitions::kAcquisitionSlow);
    acq.SetStandardAcquisition(false);
    EXPECT_FALSE(acq.SaveButtonEnabled());
}
