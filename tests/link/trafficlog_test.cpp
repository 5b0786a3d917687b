#include "link/trafficlog.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

TEST(TrafficLog, SixteenBytesALineWithBlankContinuationPrefix) {
    const QTime t(16, 25, 3);
    QByteArray frame16(16, 'A');
    const QStringList one = TTrafficLog::FormatFrame(TTrafficLog::TDirection::TX, frame16, t);
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0], QStringLiteral("16:25:03 TX> ") + QStringLiteral("41 ").repeated(16) + " " +
                          QString(16, QLatin1Char('A')));

    const QByteArray frame17 = frame16 + QByteArray("\xFE", 1);
    const QStringList two = TTrafficLog::FormatFrame(TTrafficLog::TDirection::RX, frame17, t);
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(two[0].startsWith("16:25:03 RX< 41 "));
    EXPECT_EQ(two[1], QString(13, QLatin1Char(' ')) + QStringLiteral("FE ").leftJustified(48) + " .");
}

TEST(TrafficLog, PausedLogsNothingAndBeyondThousandLinesItStartsAfresh) {
    TTrafficLog log;
    log.SetPaused(true);
    log.LogFrame(TTrafficLog::TDirection::TX, "abc");
    EXPECT_TRUE(log.Lines().isEmpty());
    log.SetPaused(false);
    for (int i = 0; i < 1001; ++i)
        log.LogFrame(TTrafficLog::TDirection::TX, "abc");
    EXPECT_EQ(log.Lines().size(), 1001);
    log.LogFrame(TTrafficLog::TDirection::RX, "abc");
    EXPECT_EQ(log.Lines().size(), 1);
    EXPECT_TRUE(log.Lines()[0].contains(" RX< "));
}

TEST(TrafficLog, EchoTextBreaksLinesAtCarriageReturns) {
    TTrafficLog log;
    log.AppendEcho("Boot v1\r\nStart Appl");
    log.AppendEcho("ication\r\n");
    EXPECT_EQ(log.Lines(), (QStringList{"Boot v1", "Start Application", ""}));
    EXPECT_TRUE(log.Contains("Start Application"));
    log.Clear();
    EXPECT_FALSE(log.Contains("Start"));
}
