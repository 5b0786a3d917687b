// The trouble code and ECU error tables and the lines the diagnostics views show for the
// answers, from answer bytes as the ECU sends them.

#include "service/troublecodes.h"

#include "support/bytes.h"
#include "support/qtprinters.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace ambrel;
using ambrel::test::Bytes;

TEST(TroubleCodes, TableHoldsEveryCodeOnceInItsFamilies) {
    const auto& table = TroubleCodeTable();
    ASSERT_EQ(table.size(), 51);
    QSet<QString> names;
    for (const TErrore& e : table) {
        names.insert(QString::fromLatin1(e.Name));
        EXPECT_EQ(e.Code, 0u);
        EXPECT_STRNE(e.Description, "");
    }
    EXPECT_EQ(names.size(), 51);
    EXPECT_EQ(QString::fromLatin1(table.first().Name), "P3391");
    EXPECT_EQ(QString::fromLatin1(table.last().Name), "P3140");
}

TEST(TroubleCodes, StatusAnswerLines) {
    // One leading byte, then code and status: P3391 present, U300A stored, P3399 not ready,
    // C2000 with a status the ECU does not define.
    const auto entries = Answer::DtcStatus(Bytes({0x00, 0x91, 0x33, 0x01, 0x0A, 0xF0, 0x02, 0x99, 0x33, 0x00, 0x00, 0x60, 0x07}));
    QStringList lines;
    for (const auto& e : entries)
        lines << DtcStatusLine(e);
    EXPECT_EQ(lines, (QStringList{
                         "Present P3391: Sensor power circuit range/performance",
                         "Stored U300A: Link wire between injector 6 and gas ECU \u2013 Short circuit to GND or cut wire",
                         "Not ready P3399: not a standard code",
                         "Invalid C2000: Switch button - Short to GND",
                     }));
    EXPECT_TRUE(AnyCodePresent(entries));
    EXPECT_FALSE(AnyCodePresent(Answer::DtcStatus(Bytes({0x00, 0x0A, 0xF0, 0x02}))));
}

TEST(TroubleCodes, DescriptionsKeepTheirOwnDashesAndBlanks) {
    const struct {
        quint16 Code;
        const char* Line;
    } cases[] = {
        {0x3125, "P3125: Gas temperature sensor- Short circuit to ground"},
        {0x3110, "P3110: Gas pressure sensor \u2013 Too low pressure"},
        {0x3227, "P3227: No injector 8 command detected from petrol ECU"},
        {0x320E, "P320E: Gas injector H cut wire"},
        {0xF000, "U3000: Link wire between injector 1 and gas ECU \u2013 Short circuit to GND or cut wire"},
        {0x3171, "P3171: Absolute MAP sensor - Short circuit to plus or cut wire"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TroubleCodeLine(c.Code), QString::fromUtf8(c.Line)) << c.Code;
}

TEST(TroubleCodes, EcuErrorLines) {
    QStringList lines;
    for (quint16 code : Answer::ComErrors(Bytes({0x03, 0x00, 0x34, 0x12, 0x00, 0xF0, 0x00, 0x00})))
        lines << EcuErrorLine(code);
    EXPECT_EQ(lines, (QStringList{"0003: ECU COM framing error", "1234: Unknown COM error", "F000: Eeprom write error",
                                  "0000: No error"}));
}

TEST(TroubleCodes, CountersLines) {
    // Lead 1, then 7 driving cycles, 150 minutes on gas, 59 on petrol.
    const TCounters counters = Answer::Counters(
        Bytes({0x01, 0x07, 0x00, 0x00, 0x00, 0x96, 0x00, 0x00, 0x00, 0x3B, 0x00, 0x00, 0x00}));
    EXPECT_EQ(CountersLines(counters),
              (QStringList{"Driving cycles: 7", "Time on gas: 2h 30'", "Time on petrol: 0h 59'"}));
}

TEST(TroubleCodes, SupportedCodesAreSortedAsText) {
    const auto codes = SupportedCodes();
    ASSERT_EQ(codes.size(), 51);
    EXPECT_EQ(codes.first().Name, "C2000");
    EXPECT_EQ(codes.last().Name, "U300E");
    for (qsizetype i = 1; i < codes.size(); ++i)
        EXPECT_LT(codes[i - 1].Name, codes[i].Name);
    EXPECT_EQ(codes.first().Description, "Switch button - Short to GND");
}

TEST(TroubleCodes, ComListPlaceholderGivesWayToTheFirstMessage) {
    QStringList list{NoComErrorLine()};
    AddComMessage(list, "Frame time-out error in command 0x0015");
    EXPECT_EQ(list, QStringList{"Frame time-out error in command 0x0015"});
    AddComMessage(list, "No error.");
    AddComMessage(list, "0003: ECU COM framing error");
    EXPECT_EQ(list.size(), 3); // a placeholder among other lines is a line like any other
}

TEST(TroubleCodes, VinIsWrittenOnlyWithSeventeenCharacters) {
    const struct {
        const char* Text;
        const char* Sent; // nullptr: not sent
    } cases[] = {
        {"wvwzzz1jzxw000001", "WVWZZZ1JZXW000001"},
        {"WVWZZZ1JZXW00000", nullptr},
        {"WVWZZZ1JZXW0000012", nullptr},
        {"WVWZZZ1JZX 000001", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const auto vin = VinToWrite(QString::fromUtf8(c.Text));
        EXPECT_EQ(vin.has_value(), c.Sent != nullptr) << c.Text;
        if (vin && c.Sent) {
            EXPECT_EQ(*vin, QByteArray(c.Sent));
        }
    }
    EXPECT_FALSE(VinToWrite(QString::fromUtf8("WVWZZZ1JZX\u00C4000001")).has_value());
}
