// The fault switches of the simulated ECU, alone and together: which request gets which
// treatment, judged from what actually comes back on the line.

#include "simexchange.h"

#include "link/commands.h"

#include <gtest/gtest.h>

using namespace ambrel;
using namespace ambrel::sim;
using namespace ambrel::sim::test;

namespace {

// What the host sees for one request: "-" nothing, "A" the right answer, "N" a refusal,
// "C" a frame with a bad checksum, "I" a frame too short to be complete; "e" in front
// when the request came back first.
std::string Seen(const QList<TSimChunk>& chunks, const QByteArray& request) {
    std::string seen;
    QByteArray replies;
    for (const auto& c : chunks) {
        if (c.Kind == TSimChunkKind::Echo) {
            EXPECT_EQ(c.Bytes, request);
            seen += 'e';
        } else {
            replies.append(c.Bytes);
        }
    }
    const QList<QByteArray> frames = CaptureFrames(replies);
    if (frames.isEmpty())
        return seen + '-';
    const QByteArray& f = frames.front();
    if (f.size() < kMinFrameSize)
        return seen + 'I';
    if (!FrameChecksumOK(f))
        return seen + 'C';
    if (FrameCode(f) == replyNack)
        return seen + 'N';
    return seen + (FrameCode(f) == ReplyCodeFor(FrameCode(UnescapeFrame(request))) ? 'A' : '?');
}

struct TFaultCase {
    const char* Name;
    TSimFaults Faults;
    QList<quint16> Codes; // the requests, in order
    std::string Expected; // one treatment per request, blank-separated
};

TSimFaults With(auto setter) {
    TSimFaults f;
    setter(f);
    return f;
}

const QList<quint16> kSixChecks(6, cmdCheckConnection);
const QList<quint16> kAlternating = {cmdCheckConnection, cmdReadIdent,       cmdCheckConnection,
                                     cmdReadIdent,       cmdCheckConnection, cmdReadIdent};

class FaultTreatment : public ::testing::TestWithParam<TFaultCase> {};

} // namespace

TEST_P(FaultTreatment, EachRequestGetsItsTreatment) {
    const auto& c = GetParam();
    TSimEcu ecu;
    ecu.SetFaults(c.Faults);
    std::string seen;
    for (qsizetype i = 0; i < c.Codes.size(); ++i) {
        const QByteArray request = WireRequest(Payload::Plain(c.Codes[i]));
        if (i > 0)
            seen += ' ';
        seen += Seen(ecu.Feed(request, 100 * i), request);
    }
    EXPECT_EQ(seen, c.Expected);
    // Whatever happened to them, all requests are in the log.
    EXPECT_EQ(ecu.Received().size(), c.Codes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Switches, FaultTreatment,
    ::testing::Values(
        TFaultCase{"NoFault", {}, kSixChecks, "A A A A A A"},
        TFaultCase{"SilenceAfterTwo", With([](auto& f) { f.SilenceAfter = 2; }), kSixChecks, "A A - - - -"},
        TFaultCase{"SilentFromTheStart", With([](auto& f) { f.SilenceAfter = 0; }), kSixChecks,
                   "- - - - - -"},
        TFaultCase{"DropEveryThird", With([](auto& f) { f.DropEvery = 3; }), kSixChecks, "A A - A A -"},
        TFaultCase{"CorruptEverySecond", With([](auto& f) { f.CorruptEvery = 2; }), kSixChecks,
                   "A C A C A C"},
        TFaultCase{"NackOneCode", With([](auto& f) { f.NackCodes = {cmdReadIdent}; }), kAlternating,
                   "A N A N A N"},
        TFaultCase{"EchoEverySecond", With([](auto& f) { f.EchoEvery = 2; }), kSixChecks, "A eA A eA A eA"},
        TFaultCase{"IncompleteEveryThird", With([](auto& f) { f.IncompleteEvery = 3; }), kSixChecks,
                   "A A I A A I"},
        TFaultCase{"DropAndCorrupt", With([](auto& f) {
                       f.DropEvery = 2;
                       f.CorruptEvery = 3;
                   }),
                   kSixChecks, "A - C - A -"},
        TFaultCase{"SilenceAndEcho", With([](auto& f) {
                       f.SilenceAfter = 4;
                       f.EchoEvery = 1;
                   }),
                   kSixChecks, "eA eA eA eA - -"},
        TFaultCase{"NackedRepliesCorrupted", With([](auto& f) {
                       f.NackCodes = {cmdCheckConnection};
                       f.CorruptEvery = 2;
                   }),
                   kSixChecks, "N C N C N C"},
        TFaultCase{"EchoOfAnIncompleteReply", With([](auto& f) {
                       f.EchoEvery = 2;
                       f.IncompleteEvery = 2;
                   }),
                   kSixChecks, "A eI A eI A eI"}),
    TCaseName());

TEST(SimFaults, IgnoredRequestsAreLoggedWithTheirTreatment) {
    TSimEcu ecu;
    ecu.SetFaults(With([](auto& f) {
        f.DropEvery = 2;
        f.SilenceAfter = 3;
    }));
    for (int i = 0; i < 4; ++i)
        ecu.Feed(WireRequest(Payload::Plain(cmdReadIdent)), i);
    QList<TSimTreatment> treatments;
    for (const auto& r : ecu.Received())
        treatments.append(r.Treatment);
    EXPECT_EQ(treatments, (QList<TSimTreatment>{TSimTreatment::Answered, TSimTreatment::Dropped,
                                                TSimTreatment::Answered, TSimTreatment::Silent}));
    EXPECT_TRUE(ecu.Received()[1].Reply.isEmpty());
    EXPECT_EQ(ecu.Received()[1].Code, cmdReadIdent);
}

TEST(SimFaults, SettingFaultsRestartsTheCount) {
    TSimEcu ecu;
    for (int i = 0; i < 3; ++i)
        Exchange(ecu, Payload::Plain(cmdCheckConnection));
    ecu.SetFaults(With([](auto& f) { f.DropEvery = 2; }));
    EXPECT_FALSE(Exchange(ecu, Payload::Plain(cmdCheckConnection)).isEmpty());
    EXPECT_TRUE(Exchange(ecu, Payload::Plain(cmdCheckConnection)).isEmpty());
}

namespace {

struct TTimingCase {
    int DelayMs;
    int Baud;
    qint64 ReplyAfterMs; // after the request's arrival
};

class ReplyTiming : public ::testing::TestWithParam<TTimingCase> {};

} // namespace

// The check request is 9 bytes on the line: 9.4 ms at 9600 baud, 2.4 ms at 38400.
TEST_P(ReplyTiming, ReplyIsDueAfterDelayAndRequestWireTime) {
    const auto& c = GetParam();
    TSimEcu ecu;
    ecu.SetFaults(With([&c](auto& f) {
        f.AnswerDelayMs = c.DelayMs;
        f.PacingBaud = c.Baud;
        f.EchoEvery = 1;
    }));
    const QList<TSimChunk> chunks = ecu.Feed(WireRequest(Payload::Plain(cmdCheckConnection)), 5000);
    ASSERT_EQ(chunks.size(), 2);
    EXPECT_EQ(chunks[0].Kind, TSimChunkKind::Echo);
    EXPECT_EQ(chunks[0].DueMs, 5000);
    EXPECT_EQ(chunks[1].Kind, TSimChunkKind::Reply);
    EXPECT_EQ(chunks[1].DueMs, 5000 + c.ReplyAfterMs);
    EXPECT_EQ(chunks[1].Baud, c.Baud);
}

INSTANTIATE_TEST_SUITE_P(DelayAndPacing, ReplyTiming,
                         ::testing::Values(TTimingCase{0, 0, 0}, TTimingCase{40, 0, 40},
                                           TTimingCase{0, 9600, 10}, TTimingCase{25, 9600, 35},
                                           TTimingCase{0, 38400, 3}));
