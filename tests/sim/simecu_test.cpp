// The simulated ECU's answers: every command's layout, the state that commands change,
// refusals of malformed requests, and the restart after a reset.

#include "simexchange.h"

#include "link/commands.h"
#include "config/configuration.h"
#include "config/rawdata.h"
#include "sim/statusrecords.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace ambrel;
using namespace ambrel::sim;
using namespace ambrel::sim::test;

namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

QByteArray BlockFiveImage() {
    QByteArray image(BlockImageSize(5), '\x33');
    image[0] = 5;
    return image;
}

struct TAnswerCase {
    const char* Name;
    QByteArray Payload;
    quint16 ReplyCode;
    int DataSize;       // -1: any
    QByteArray Leading; // the answer data starts with these bytes
};

// One request of every command with what a factory-fresh simulated ECU answers.
const QList<TAnswerCase>& AnswerCases() {
    static const QList<TAnswerCase> cases = {
        {"WriteBlock", Payload::WriteBlock(BlockFiveImage()), 0xFFFE, 0, {}},
        {"ReadBlock1", Payload::ReadBlock(1), 0xFFFD, 61, Hex("01") + "SIMULATED"},
        {"ReadBlock3Bank2", Payload::ReadBlock(3, 2), 0xFFFD, 131, Hex("0302")},
        {"ReadStatus", Payload::Plain(cmdReadStatus), 0xFFFC, 121, {}},
        {"TroubleCodesRead", Payload::TroubleCodes(Payload::TTroubleAction::Read), 0xFFFB, 6,
         Hex("010091330af0")},
        {"ComErrors", Payload::Plain(cmdReadComErrors), 0xFFFA, 2, Hex("0300")},
        {"Ident", Payload::Plain(cmdReadIdent), 0xFFF9, 22, "WUX-04 1.4.12 K35F62T9"},
        {"CheckConnection", Payload::Plain(cmdCheckConnection), 0xFFF8, 0, {}},
        {"ResetECU", Payload::ResetECU(), 0xFFF7, 0, {}},
        {"ReadStatusMin", Payload::Plain(cmdReadStatusMin), 0xFFF4, 48, {}},
        {"FuelSwitch", Payload::FuelSwitch(Payload::TFuelPress::Short), 0xFFED, 0, {}},
        {"StrategyQuery", Payload::Strategy(Payload::TStrategyRequest::Query), 0xFFEC, 1, Hex("01")},
        {"CountersRead", Payload::CountersRead(), 0xFFEB, 13, Hex("019c0100009e250000a2080000")},
        {"DtcStatus", Payload::Plain(cmdReadDTCStatus), 0xFFEA, 7, Hex("029133010af002")},
        {"VinRead", Payload::VinRead(), 0xFFE9, 18, Hex("02") + TSimEcu::kDefaultVin},
        {"ReadStatusExt", Payload::Plain(cmdReadStatusExt), 0xFFE8, 34, {}},
        {"TestModeEnter", Payload::TestMode(true), 0xFFE7, 1, Hex("01")},
        {"FreezeFrame", Payload::Plain(cmdReadFreezeFrame), 0xFFE5, 35, Hex("91339209")},
        {"SolenoidDisable", Payload::SolenoidDisable(false), 0xFFE4, 0, {}},
        {"SolenoidTest", Payload::SolenoidTest(true), 0xFFE3, 0, {}},
        {"ReadTable32", Payload::Plain(cmdReadTable32), 0xFFE2, 32, {}},
        {"ReadOBD", Payload::Plain(cmdReadOBD), 0xFFE1, 22, Hex("4104")},
        {"ReadOBD2", Payload::Plain(cmdReadOBD2), 0xFFE0, 20, Hex("410000003cb6")},
        {"WriteMemory", Payload::WriteMemory(0x100, Hex("01")), 0x89BC, 0, {}},
        {"ReadMemory", Payload::ReadMemory(0x1234, 2), 0x7695, 6, Hex("341200020000")},
    };
    return cases;
}

class AnswerLayout : public ::testing::TestWithParam<TAnswerCase> {};

} // namespace

TEST_P(AnswerLayout, AnswersWithCodeAndLayout) {
    const TAnswerCase& c = GetParam();
    TSimEcu ecu;
    const QByteArray reply = Exchange(ecu, c.Payload);
    ASSERT_FALSE(reply.isEmpty());
    EXPECT_TRUE(FrameChecksumOK(reply));
    EXPECT_EQ(FrameCode(reply), c.ReplyCode);
    const QByteArray data = FrameData(reply);
    if (c.DataSize >= 0) {
        EXPECT_EQ(data.size(), c.DataSize);
    }
    EXPECT_EQ(data.left(c.Leading.size()).toHex(), c.Leading.toHex());
    ASSERT_EQ(ecu.Received().size(), 1);
    EXPECT_EQ(ecu.Received().front().Treatment, TSimTreatment::Answered);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, AnswerLayout, ::testing::ValuesIn(AnswerCases()), TCaseName());

TEST(SimEcu, AnswerTableCoversTheWholeCommandSet) {
    QSet<quint16> covered;
    for (const auto& c : AnswerCases())
        covered.insert(FrameCode(BuildFrame(c.Payload)));
    for (const auto& info : CommandTable())
        if (info.Code != cmdTestCommand) { // needs test mode: its own table below
            EXPECT_TRUE(covered.contains(info.Code)) << info.Name;
        }
}

namespace {

struct TTestCommandCase {
    quint8 Sub;
    QByteArray Arguments;
    QByteArray Answer; // answer data, sub-function first
};

class TestCommandAnswer : public ::testing::TestWithParam<TTestCommandCase> {};

} // namespace

// With the engine at rest (key off): battery 12.45 V, no RPM signal, no petrol pulses.
TEST_P(TestCommandAnswer, AnswersInTestMode) {
    const auto& c = GetParam();
    TSimEcu ecu;
    ASSERT_EQ(FrameCode(Exchange(ecu, Payload::TestMode(true))), 0xFFE7);
    const QByteArray reply = Exchange(ecu, Payload::TestCommand(c.Sub, c.Arguments));
    EXPECT_EQ(FrameCode(reply), 0xFFE6);
    EXPECT_EQ(FrameData(reply).toHex(), c.Answer.toHex());
}

INSTANTIATE_TEST_SUITE_P(
    SubFunctions, TestCommandAnswer,
    ::testing::Values(TTestCommandCase{1, Hex("01"), Hex("0101")},
                      TTestCommandCase{2, Hex("0201"), Hex("0204")}, TTestCommandCase{3, {}, Hex("0300")},
                      TTestCommandCase{4, Hex("00"), Hex("0400")},
                      TTestCommandCase{5, Hex("01"), Hex("0501")}, TTestCommandCase{6, Hex("03"), Hex("06")},
                      TTestCommandCase{7, {}, Hex("0700")}, TTestCommandCase{8, Hex("0117"), Hex("08")},
                      TTestCommandCase{9, Hex("08"), Hex("0908dd04")},
                      TTestCommandCase{9, Hex("04"), Hex("09040000")}, TTestCommandCase{10, {}, Hex("0a00")},
                      TTestCommandCase{11, {}, Hex("0b0000")}));

TEST(SimEcu, TestCommandsReportTheRunningEngine) {
    TEngineOptions running;
    running.StartMs = 15000; // idling
    running.Frozen = true;
    TSimEcu ecu(running);
    Exchange(ecu, Payload::TestMode(true));
    const int rpm = ecu.Engine().Values().Rpm;
    ASSERT_GT(rpm, 700);
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::TestCommand(testRpmPresent))).toHex(), "0a01");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::TestCommand(testPetrolInputs))).toHex(), "030f");
    const QByteArray period = FrameData(Exchange(ecu, Payload::TestCommand(testRpmPeriod)));
    ASSERT_EQ(period.size(), 3);
    EXPECT_NEAR(Word(period, 1) / 100.0, 60000.0 / rpm, 0.01); // one revolution in ms
}

TEST(SimEcu, GasInjectorsSwitchOnAndOffOneByOne) {
    TSimEcu ecu;
    Exchange(ecu, Payload::TestMode(true));
    Exchange(ecu, Payload::TestCommand(testGasInjector, Hex("0001")));
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::TestCommand(testGasInjector, Hex("0701")))).toHex(), "0281");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::TestCommand(testGasInjector, Hex("0000")))).toHex(), "0280");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::TestMode(false))).toHex(), "02");
    EXPECT_FALSE(ecu.InTestMode());
}

namespace {

struct TRefusedCase {
    const char* Name;
    QByteArray Payload;
};

class RefusedRequest : public ::testing::TestWithParam<TRefusedCase> {};

} // namespace

TEST_P(RefusedRequest, IsNackedWithoutData) {
    TSimEcu ecu;
    const QByteArray reply = Exchange(ecu, GetParam().Payload);
    EXPECT_EQ(FrameCode(reply), replyNack);
    EXPECT_TRUE(FrameData(reply).isEmpty());
    EXPECT_EQ(ecu.Received().front().Treatment, TSimTreatment::Nacked);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, RefusedRequest,
    ::testing::Values(TRefusedCase{"BlockOutOfRange", MakePayload(cmdReadBlock, Hex("0e"))},
                      TRefusedCase{"BankedBlockWithoutBank", MakePayload(cmdReadBlock, Hex("03"))},
                      TRefusedCase{"ShortBlockImage", MakePayload(cmdWriteBlock, Hex("050101"))},
                      TRefusedCase{"TroubleCodesUnknownAction", MakePayload(cmdTroubleCodes, Hex("05"))},
                      TRefusedCase{"StrategyUnknown", MakePayload(cmdStrategy, Hex("04"))},
                      TRefusedCase{"ShortVin", MakePayload(cmdVIN, QByteArray("\x01WVW123"))},
                      TRefusedCase{"MemorySizeThree", MakePayload(cmdReadMemory, Hex("34120003"))},
                      TRefusedCase{"MemoryCountMismatch", MakePayload(cmdWriteMemory, Hex("0001000301"))},
                      TRefusedCase{"TestCommandOutsideTestMode",
                                   Payload::TestCommand(testSolenoid, Hex("01"))},
                      TRefusedCase{"UnknownCode", Payload::Plain(0x0042)}),
    TCaseName());

TEST(SimEcu, UnknownCommandIsLoggedAsComError) {
    TSimEcu ecu;
    Exchange(ecu, Payload::Plain(0x0042));
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::Plain(cmdReadComErrors))).toHex(), "03000a00");
}

TEST(SimEcu, WrittenBlockIsReadBackExactlyPerBank) {
    TSimEcu ecu;
    QByteArray image(BlockImageSize(8), '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(0xF0 + i % 16); // FD and FE among them
    image[0] = 8;
    image[1] = 2;
    const QByteArray bankOne = FrameData(Exchange(ecu, Payload::ReadBlock(8, 1)));

    const QByteArray written = Exchange(ecu, Payload::WriteBlock(image));
    EXPECT_EQ(FrameCode(written), 0xFFFE);
    EXPECT_TRUE(FrameData(written).isEmpty());
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::ReadBlock(8, 2))), image);
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::ReadBlock(8, 1))), bankOne);
}

TEST(SimEcu, EveryBlockStartsAsTheDefaultImageOfTheConfigurationModel) {
    TSimEcu ecu;
    TConfiguration model;
    model.ApplyDefaults(fuelLPG, false, "Untitled.cfg");
    model.CarMake = "SIMULATED";
    model.CarModel = "Demo 1.4 16V";
    model.ConfigDate = "150324";
    TRawData defaults;
    model.EncodeImage(defaults.Record);
    for (int block = 1; block <= kBlockCount; ++block) {
        for (int bank = 1; bank <= (IsBankedBlock(block) ? 2 : 1); ++bank) {
            const QByteArray image = FrameData(Exchange(ecu, Payload::ReadBlock(block, bank)));
            ASSERT_EQ(image.size(), BlockImageSize(block)) << block;
            EXPECT_EQ(ByteAt(image, 0), block);
            if (IsBankedBlock(block)) {
                EXPECT_EQ(ByteAt(image, 1), bank);
            }
            EXPECT_EQ(image, defaults.BuildBlock(block, bank)) << "block " << block << " bank " << bank;
        }
    }
}

TEST(SimEcu, ClearingTroubleCodesEmptiesCodesStatusAndFreezeFrame) {
    TSimEcu ecu;
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::TroubleCodes(Payload::TTroubleAction::Clear))).toHex(), "02");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::TroubleCodes(Payload::TTroubleAction::Read))).toHex(), "0100");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::Plain(cmdReadDTCStatus))).toHex(), "00");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::Plain(cmdReadFreezeFrame))).toHex(), "0000");
}

TEST(SimEcu, CountersAreWrittenClearedAndRead) {
    TSimEcu ecu;
    const QByteArray written = FrameData(Exchange(ecu, Payload::CountersWrite(7, 150, 59)));
    EXPECT_EQ(written.toHex(), "03"
                               "07000000"
                               "96000000"
                               "3b000000");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::CountersRead())).mid(1), written.mid(1));
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::CountersClear())).toHex(), "02000000000000000000000000");
}

TEST(SimEcu, CountersFollowTheEngine) {
    TSimEcu ecu;
    ecu.SetCounters({});
    ecu.Advance(5 * 60000); // the engine starts and runs for a few minutes
    const TEcuCounters c = ecu.Counters();
    EXPECT_EQ(c.DrivingCycles, 1u);
    EXPECT_GE(c.MinutesOnGas + c.MinutesOnPetrol, 4u);
    EXPECT_GE(c.MinutesOnGas, 3u);
}

TEST(SimEcu, VinAndStrategyAreKept) {
    TSimEcu ecu;
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::VinWrite("WVWZZZ1JZ3W386752"))).toHex(), "01");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::VinRead())), QByteArray("\x02WVWZZZ1JZ3W386752"));
    EXPECT_EQ(
        FrameData(Exchange(ecu, Payload::Strategy(Payload::TStrategyRequest::SelectCompensated))).toHex(),
        "02");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::Strategy(Payload::TStrategyRequest::Query))).toHex(), "02");
    EXPECT_EQ(ecu.Strategy(), TStrategy::Compensated);
}

TEST(SimEcu, MemoryIsWrittenInRunsAndReadLittleEndian) {
    TSimEcu ecu;
    // Three bytes from 0x000100; 300 does not fit a byte and is sent as its low 8 bits.
    EXPECT_EQ(FrameCode(Exchange(ecu, Hex("43760001000301022c"))), 0x89BC);
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::ReadMemory(0x100, 4))).toHex(), "00010004"
                                                                               "01022c00");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::ReadMemory(0x101, 2))).toHex(), "01010002"
                                                                               "022c");
    EXPECT_EQ(FrameData(Exchange(ecu, Payload::ReadMemory(0xFFFFFF, 1))).toHex(), "ffffff01"
                                                                                  "00");
}

TEST(SimEcu, BadChecksumIsAnsweredWithItsOwnCode) {
    TSimEcu ecu;
    QByteArray frame = BuildFrame(Payload::Plain(cmdReadIdent));
    frame[frame.size() - 3] = static_cast<char>(frame.at(frame.size() - 3) + 1);
    const QList<QByteArray> replies = CaptureFrames(RepliesOf(ecu.Feed(EscapeFrame(frame), 0)));
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(FrameCode(replies.front()), replyBadChecksum);
    EXPECT_TRUE(FrameData(replies.front()).isEmpty());
    EXPECT_EQ(ecu.Received().front().Treatment, TSimTreatment::BadChecksum);
}

TEST(SimEcu, RequestsSplitAcrossFeedsAndBackToBackAreAllAnswered) {
    TSimEcu ecu;
    const QByteArray a = WireRequest(Payload::Plain(cmdCheckConnection));
    const QByteArray b = WireRequest(Payload::Plain(cmdReadIdent));
    const QByteArray line = a + b;
    QByteArray replies;
    for (int i = 0; i < line.size(); i += 4)
        replies.append(RepliesOf(ecu.Feed(line.mid(i, 4), i)));
    const QList<QByteArray> frames = CaptureFrames(replies);
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(FrameCode(frames[0]), 0xFFF8);
    EXPECT_EQ(FrameCode(frames[1]), 0xFFF9);
}

TEST(SimEcu, ReceivedLogRecordsEveryRequestUntilCleared) {
    TSimEcu ecu;
    Exchange(ecu, Payload::ReadBlock(3, 2), 120);
    Exchange(ecu, Payload::Plain(cmdCheckConnection), 250);
    ASSERT_EQ(ecu.Received().size(), 2);
    const TReceivedRequest& first = ecu.Received().front();
    EXPECT_EQ(first.ElapsedMs, 120);
    EXPECT_EQ(first.Code, cmdReadBlock);
    EXPECT_EQ(first.Data.toHex(), "0302");
    EXPECT_EQ(FrameCode(first.Reply), 0xFFFD);
    EXPECT_EQ(ecu.Received()[1].ElapsedMs, 250);
    ecu.ClearReceived();
    EXPECT_TRUE(ecu.Received().isEmpty());
}

TEST(SimEcu, ResetIsAnsweredThenBootTextFollowsAndTheEcuComesBack) {
    TSimEcu ecu;
    Exchange(ecu, Payload::TestMode(true));
    const QList<TSimChunk> chunks = ecu.Feed(WireRequest(Payload::ResetECU()), 1000);
    ASSERT_EQ(chunks.size(), 2);
    EXPECT_EQ(FrameCode(CaptureFrames(chunks[0].Bytes).value(0)), 0xFFF7);
    EXPECT_EQ(chunks[0].DueMs, 1000);
    const TSimChunk& boot = chunks[1];
    EXPECT_EQ(boot.Kind, TSimChunkKind::BootText);
    EXPECT_GE(boot.DueMs, 1000 + kBootDelayMs);
    EXPECT_TRUE(boot.Bytes.contains("Start Application"));
    EXPECT_TRUE(boot.Bytes.endsWith("\r\n"));
    EXPECT_FALSE(boot.Bytes.contains(char(kFrameDelimiter)));

    EXPECT_TRUE(Exchange(ecu, Payload::Plain(cmdCheckConnection), 1100).isEmpty());
    EXPECT_EQ(ecu.Received().last().Treatment, TSimTreatment::Restarting);
    EXPECT_EQ(FrameCode(Exchange(ecu, Payload::Plain(cmdCheckConnection), boot.DueMs + 1)), 0xFFF8);
    EXPECT_FALSE(ecu.InTestMode());
}

TEST(SimEcu, PacedResetPrintsBootTextAtBootSpeed) {
    TSimEcu ecu;
    TSimFaults faults;
    faults.PacingBaud = 9600;
    ecu.SetFaults(faults);
    const QList<TSimChunk> chunks = ecu.Feed(WireRequest(Payload::ResetECU()), 0);
    ASSERT_EQ(chunks.size(), 2);
    EXPECT_EQ(chunks[0].Baud, 9600);
    EXPECT_EQ(chunks[1].Baud, kBootBaud);
    // request heard after 10 bytes (11 ms), answer of 9 bytes (10 ms), then the pause
    EXPECT_EQ(chunks[1].DueMs, 11 + 10 + kBootDelayMs);
}

TEST(SimEcu, ReceivedLogKeepsTheNewestEntriesWithinItsLimit) {
    TSimEcu ecu;
    ecu.SetReceivedLimit(3);
    for (int i = 0; i < 5; ++i)
        Exchange(ecu, Payload::Plain(cmdCheckConnection), i);
    ASSERT_EQ(ecu.Received().size(), 3);
    EXPECT_EQ(ecu.Received().front().ElapsedMs, 2);
    EXPECT_EQ(ecu.Received().back().ElapsedMs, 4);
}

TEST(SimEcu, TestModeOutputsShowInTheStatus) {
    TSimEcu ecu;
    Exchange(ecu, Payload::TestMode(true));
    Exchange(ecu, Payload::TestCommand(testSolenoid, Hex("01")));
    Exchange(ecu, Payload::TestCommand(testLambdaEmulation, Hex("01")));
    Exchange(ecu, Payload::TestCommand(testLambdaVoltage, Hex("0117"))); // output 2 at 2.3 V
    Exchange(ecu, Payload::TestCommand(testSwitchLeds, Hex("03")));
    const QByteArray status = FrameData(Exchange(ecu, Payload::Plain(cmdReadStatusMin)));
    ASSERT_EQ(status.size(), kStatusMinSize);
    EXPECT_EQ(Word(status, 30), 230); // emulated lambda 2, hundredths of a volt
    EXPECT_EQ(ByteAt(status, 46), 1); // solenoid open
    EXPECT_EQ(ecu.SwitchLedPattern(), 3);

    Exchange(ecu, Payload::TestMode(false));
    const QByteArray after = FrameData(Exchange(ecu, Payload::Plain(cmdReadStatusMin)));
    EXPECT_EQ(Word(after, 30), 0);
    EXPECT_EQ(ByteAt(after, 46), 0);
}
