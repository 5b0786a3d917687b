#include "link/commands.h"
#include "link/framecodec.h"

#include <QSet>
#include "support/bytes.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

using ambrel::test::Bytes;

TEST(Commands, TableHasEveryCodeOnceWithItsName) {
    EXPECT_EQ(CommandTable().size(), 25);
    QSet<quint16> codes;
    for (const auto& info : CommandTable())
        codes.insert(info.Code);
    EXPECT_EQ(codes.size(), 25);
    EXPECT_EQ(CommandName(0x0006), "cmdReadIdent");
    EXPECT_EQ(ParseCommandCode("cmdCheckConnection"), 0x0007);
    EXPECT_EQ(ParseCommandCode("0x896a"), 0x896A);
    EXPECT_EQ(ParseCommandCode("19"), 19);
    EXPECT_FALSE(ParseCommandCode("0x10000").has_value());
    EXPECT_FALSE(ParseCommandCode("nonsense").has_value());
}

TEST(Commands, PayloadsByteForByte) {
    struct Case {
        const char* what;
        QByteArray payload;
        QByteArray expected;
    };
    const Case cases[] = {
        {"strategy query", Payload::Strategy(Payload::TStrategyRequest::Query), Bytes({0x13, 0x00, 0x03})},
        {"read memory", Payload::ReadMemory(0x1234, 2), Bytes({0x6A, 0x89, 0x34, 0x12, 0x00, 0x02})},
        {"write memory", Payload::WriteMemory(0xABCDEF, Bytes({1, 2})),
         Bytes({0x43, 0x76, 0xEF, 0xCD, 0xAB, 0x02, 0x01, 0x02})},
        {"read block 3 bank 2", Payload::ReadBlock(3, 2), Bytes({0x02, 0x00, 0x03, 0x02})},
        {"read block 5 has no bank", Payload::ReadBlock(5, 2), Bytes({0x02, 0x00, 0x05})},
        {"reset", Payload::ResetECU(), Bytes({0x08, 0x00, 0x01})},
        {"check connection", Payload::Plain(cmdCheckConnection), Bytes({0x07, 0x00})},
        {"clear codes", Payload::TroubleCodes(Payload::TTroubleAction::Clear), Bytes({0x04, 0x00, 0x02})},
        {"long press", Payload::FuelSwitch(Payload::TFuelPress::Long), Bytes({0x12, 0x00, 0x02})},
        {"solenoid normal", Payload::SolenoidDisable(false), Bytes({0x1B, 0x00, 0x00})},
        {"solenoid on", Payload::SolenoidTest(true), Bytes({0x1C, 0x00, 0x01})},
        {"test mode leave", Payload::TestMode(false), Bytes({0x18, 0x00, 0x02})},
        {"injector C on", Payload::TestCommand(testGasInjector, Bytes({2, 1})), Bytes({0x19, 0x00, 2, 2, 1})},
        {"counters write", Payload::CountersWrite(0x01020304, 5, 0x10000),
         Bytes({0x14, 0x00, 3, 4, 3, 2, 1, 5, 0, 0, 0, 0, 0, 1, 0})},
        {"vin read", Payload::VinRead(), Bytes({0x16, 0x00, 0x02})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.payload.toHex(' '), c.expected.toHex(' ')) << c.what;
    const QByteArray vin = Payload::VinWrite("WVWZZZ1JZXW000001");
    EXPECT_EQ(vin.size(), 2 + 1 + 17);
    EXPECT_EQ(vin.mid(2, 1), Bytes({1}));
}

TEST(Commands, TroubleCodeTexts) {
    struct Case {
        quint16 code;
        const char* text;
    };
    const Case cases[] = {{0x3391, "P3391"}, {0xF00A, "U300A"}, {0x0000, "P0000"},
                          {0x4123, "C0123"}, {0x8ABC, "B0ABC"}, {0xFFFF, "U3FFF"}};
    for (const Case& c : cases)
        EXPECT_EQ(TroubleCodeText(c.code), c.text);
}

TEST(Commands, AnswerParsers) {
    EXPECT_EQ(Answer::TroubleCodes(Bytes({0x01, 0x00, 0x91, 0x33})), QList<quint16>{0x3391});
    EXPECT_TRUE(Answer::TroubleCodes(Bytes({0x01})).isEmpty());
    EXPECT_TRUE(Answer::TroubleCodes(Bytes({0x02, 0x00, 0x91, 0x33})).isEmpty());
    EXPECT_EQ(Answer::TroubleCodes(Bytes({0x01, 0x00, 0x91, 0x33, 0x0A, 0xF0, 0x77})),
              (QList<quint16>{0x3391, 0xF00A}));

    const auto status = Answer::DtcStatus(Bytes({0x00, 0x91, 0x33, 0x01, 0x0A, 0xF0, 0x02, 0x01, 0x00, 0x09, 0x55}));
    ASSERT_EQ(status.size(), 3);
    EXPECT_EQ(status[0].Code, 0x3391);
    EXPECT_EQ(status[0].Status, TDtcStatus::Present);
    EXPECT_EQ(DtcStatusText(status[1].Status), "Stored");
    EXPECT_EQ(DtcStatusText(status[2].Status), "Invalid");
    EXPECT_EQ(DtcStatusText(TDtcStatus::NotReady), "Not ready");

    const TCounters c = Answer::Counters(Bytes({1, 10, 0, 0, 0, 0x20, 0x03, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(c.Lead, 1);
    EXPECT_EQ(c.DrivingCycles, 10u);
    EXPECT_EQ(c.MinutesOnGas, 800u);
    EXPECT_EQ(c.MinutesOnPetrol, 0xFFFFFFFFu);
    const TCounters shortOne = Answer::Counters(Bytes({1, 10, 0, 0, 0, 0x20}));
    EXPECT_EQ(shortOne.DrivingCycles, 10u);
    EXPECT_EQ(shortOne.MinutesOnGas, 0u);

    EXPECT_EQ(Answer::Vin(QByteArray("\x02WVWZZZ1JZXW000001", 18)), "WVWZZZ1JZXW000001");
    EXPECT_TRUE(Answer::Vin(QByteArray("\x01", 1)).isEmpty());

    const TMemoryValue m = Answer::Memory(Bytes({0x34, 0x12, 0x00, 0x02, 0xCD, 0xAB}));
    EXPECT_EQ(m.Address, 0x1234u);
    EXPECT_EQ(m.Size, 2);
    EXPECT_EQ(m.Value, 0xABCDu);

    const TTestAnswer analog = Answer::TestCommand(Bytes({9, 5, 0x2C, 0x01}));
    EXPECT_EQ(analog.SubFunction, 9);
    EXPECT_EQ(analog.Values, (QList<int>{5, 300}));
    EXPECT_EQ(Answer::TestCommand(Bytes({11, 0x10, 0x27})).Values, QList<int>{10000});
    EXPECT_EQ(Answer::TestCommand(Bytes({2, 0x05})).Values, QList<int>{5});
    EXPECT_EQ(Answer::TestMode(Bytes({1})), 1);
    EXPECT_EQ(Answer::Strategy(Bytes({2})), 2);
    EXPECT_EQ(Answer::Strategy({}), 0);
    EXPECT_EQ(Answer::ComErrors(Bytes({1, 0, 2, 0, 3})), (QList<quint16>{1, 2}));
}

TEST(Commands, BlockSizesAndBanks) {
    int total = 1; // the image text: a count byte, then a length byte and the image per record
    int records = 0;
    for (int b = 1; b <= kBlockCount; ++b)
        for (int bank = 0; bank < (IsBankedBlock(b) ? 2 : 1); ++bank, ++records)
            total += 1 + BlockImageSize(b);
    EXPECT_EQ(records, 16);
    EXPECT_EQ(total, 1380);
    EXPECT_EQ(BlockImageSize(0), 0);
    EXPECT_EQ(BlockImageSize(14), 0);
}
