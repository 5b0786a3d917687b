// The diagnostics conversation over the real link: the trouble-code status poll and the
// check-engine state it drives, the clear, and which answers change what is shown.

#include "service/diagnostics.h"

#include "linkfixture.h"


using namespace ambrel;
using ambrel::test::Bytes;

namespace {

class DiagnosticsTest : public ambrel::test::LinkFixture {
protected:
    TDiagnostics diagnostics{link};
};

// Status answer: lead byte, then code (low byte first) and status per entry.
const QByteArray kPresentAndStored = Bytes({0x02, 0x91, 0x33, 0x01, 0x0A, 0xF0, 0x02});
const QByteArray kStoredOnly = Bytes({0x01, 0x0A, 0xF0, 0x02});

} // namespace

TEST_F(DiagnosticsTest, StatusIsPolledEvery208TicksAndAPresentCodeFlashesTheLamp) {
    QList<bool> lamp;
    QObject::connect(&diagnostics, &TDiagnostics::CheckEngineChanged, [&lamp](bool on) { lamp << on; });
    // Plays the ECU for two periods, answering at once, and notes when the status went out.
    QList<int> statusTicks;
    qsizetype seen = port.Written.size();
    for (int tick = 1; tick <= 2 * TDiagnostics::kStatusTicks + 40; ++tick) {
        link.Tick();
        if (port.Written.size() == seen)
            continue;
        seen = port.Written.size();
        const quint16 code = PayloadCode(FramePayload(port.Frames().last()));
        if (code == cmdReadDTCStatus)
            statusTicks << tick;
        Reply(code, code == cmdReadDTCStatus ? kPresentAndStored : QByteArray());
    }
    ASSERT_EQ(statusTicks.size(), 2);
    EXPECT_LE(statusTicks[0], TDiagnostics::kStatusTicks + 10);
    EXPECT_NEAR(statusTicks[1] - statusTicks[0], TDiagnostics::kStatusTicks + 1, 10);

    ASSERT_EQ(diagnostics.CodeLines().size(), 2);
    EXPECT_EQ(diagnostics.CodeLines()[0], QStringLiteral("Present P3391: Sensor power circuit range/performance"));
    EXPECT_TRUE(diagnostics.CodeLines()[1].startsWith(QStringLiteral("Stored U300A: ")));
    EXPECT_TRUE(diagnostics.CheckEngine());
    ASSERT_EQ(lamp.size(), 1); // told once, not on every poll
    EXPECT_TRUE(lamp[0]);
}

TEST_F(DiagnosticsTest, ClearStopsTheLampAtOnceAndAStoredCodeDoesNotLightItAgain) {
    diagnostics.ReadCodes();
    EXPECT_EQ(NextRequest(), Bytes({0x04, 0x00, 0x01}));
    Reply(cmdTroubleCodes, Bytes({0x01, 0x02, 0x91, 0x33}));
    EXPECT_EQ(NextRequest(), Bytes({0x15, 0x00}));
    Reply(cmdReadDTCStatus, kPresentAndStored);
    ASSERT_TRUE(diagnostics.CheckEngine());

    diagnostics.ClearCodes();
    EXPECT_FALSE(diagnostics.CheckEngine());
    EXPECT_EQ(diagnostics.CodeLines(), QStringList{QStringLiteral("No trouble code.")});
    EXPECT_EQ(NextRequest(), Bytes({0x04, 0x00, 0x02}));
    Reply(cmdTroubleCodes, Bytes({0x02}));

    diagnostics.ReadCodes();
    Answer(cmdTroubleCodes, Bytes({0x01, 0x00}));
    Answer(cmdReadDTCStatus, kStoredOnly);
    EXPECT_FALSE(diagnostics.CheckEngine());
    EXPECT_EQ(diagnostics.Codes().size(), 1);
}

TEST_F(DiagnosticsTest, APlainCodeAnswerListsCodesWithoutStatusAndStopsTheLamp) {
    diagnostics.ReadCodes();
    Answer(cmdTroubleCodes, Bytes({0x01, 0x02}));
    Answer(cmdReadDTCStatus, kPresentAndStored);
    ASSERT_TRUE(diagnostics.CheckEngine());

    diagnostics.ReadCodes();
    Answer(cmdTroubleCodes, Bytes({0x01, 0x02, 0x99, 0x33}));
    EXPECT_FALSE(diagnostics.CheckEngine());
    EXPECT_EQ(diagnostics.CodeLines(), QStringList{QStringLiteral("P3399: not a standard code")});
}

TEST_F(DiagnosticsTest, OnlyAReadAnswerChangesTheVinAndTheCounters) {
    QStringList vin;
    QObject::connect(&diagnostics, &TDiagnostics::VinRead, [&vin](const QString& text) { vin << text; });
    diagnostics.ReadVin();
    Answer(cmdVIN, QByteArray("\x02") + "ZFA19800004512376");
    EXPECT_EQ(vin, QStringList{"ZFA19800004512376"});
    // The ECU's answer to a write is not a VIN to show.
    ASSERT_TRUE(diagnostics.WriteVin(QStringLiteral("WVWZZZ1JZXW000001")));
    Answer(cmdVIN, QByteArray("\x01"));
    EXPECT_EQ(vin.size(), 1);

    diagnostics.ReadCounters();
    Answer(cmdCounters, Bytes({0x01, 12, 0, 0, 0, 150, 0, 0, 0, 59, 0, 0, 0}));
    const QStringList lines = {QStringLiteral("Driving cycles: 12"), QStringLiteral("Time on gas: 2h 30'"),
                               QStringLiteral("Time on petrol: 0h 59'")};
    EXPECT_EQ(diagnostics.CounterLines(), lines);
    diagnostics.ClearCounters();
    Answer(cmdCounters, Bytes({0x02}));
    EXPECT_EQ(diagnostics.CounterLines(), lines); // the clear's answer carries no counters
}

TEST_F(DiagnosticsTest, AVinIsWrittenOnlyWhenItHasSeventeenCharacters) {
    EXPECT_FALSE(diagnostics.WriteVin(QStringLiteral("ZFA1980000451237")));
    EXPECT_TRUE(NextRequest(30).isEmpty());
    EXPECT_TRUE(diagnostics.WriteVin(QStringLiteral("zfa19800004512376")));
    EXPECT_EQ(NextRequest(), Bytes({0x16, 0x00, 0x01}) + QByteArray("ZFA19800004512376"));
}
