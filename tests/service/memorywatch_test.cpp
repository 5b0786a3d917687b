// The memory watch: what the user types, the reads one row at a time, and the write.

#include "service/memorywatch.h"

#include "linkfixture.h"

using namespace ambrel;
using ambrel::test::Bytes;

TEST(MemoryWatchInput, NumbersAsTyped) {
    const struct {
        const char* Text;
        std::optional<quint32> Number;
        std::optional<quint32> Address;
    } cases[] = {
        {"4660", 4660, 0x1234},
        {"0x1234", 0x1234, 0x1234},
        {" 0X1a ", 26, 26},
        {"16777215", 0xFFFFFF, 0xFFFFFF},
        {"0x1000000", 0x1000000, std::nullopt},
        {"4294967296", std::nullopt, std::nullopt},
        {"0x", std::nullopt, std::nullopt},
        {"0x0x12", std::nullopt, std::nullopt},
        {"12a", std::nullopt, std::nullopt},
        {"-1", std::nullopt, std::nullopt},
        {"+5", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseMemoryNumber(c.Text), c.Number) << c.Text;
        EXPECT_EQ(ParseMemoryAddress(c.Text), c.Address) << c.Text;
    }
    EXPECT_EQ(FormatMemoryAddress(*ParseMemoryAddress("4660")), "0x001234");
    EXPECT_EQ(FormatMemoryAddress(0xABCDEF), "0xABCDEF");
    EXPECT_EQ(FormatMemoryValue(0xABCD, 2), "ABCD");
    EXPECT_EQ(FormatMemoryValue(5, 1), "05");
    EXPECT_EQ(FormatMemoryValue(1, 4), "00000001");
    EXPECT_EQ(FormatMemoryValue(1, 3), "");
}

TEST(MemoryWatchInput, WritePayloadOrTheReason) {
    const struct {
        QList<TWriteRow> Rows;
        QByteArray Payload; // empty: refused
    } cases[] = {
        {{{"256", "", "1"}, {"257", "", "2"}, {"258", "", "3"}},
         Bytes({0x43, 0x76, 0x00, 0x01, 0x00, 0x03, 0x01, 0x02, 0x03})},
        // Later rows without an address take the next bytes.
        {{{"0x100", "", "0xFF"}, {"", "", "0"}}, Bytes({0x43, 0x76, 0x00, 0x01, 0x00, 0x02, 0xFF, 0x00})},
        // 300 does not fit in a byte: nothing is written rather than 0x2C.
        {{{"256", "", "1"}, {"257", "", "2"}, {"258", "", "300"}}, {}},
        // The bytes go to consecutive addresses: a row naming another one is refused.
        {{{"256", "", "1"}, {"0x200", "", "2"}}, {}},
        {{{"", "", "1"}}, {}},
        {{{"0x1000000", "", "1"}}, {}},
        {{{"0xFFFFFF", "", "1"}, {"", "", "2"}}, {}},
        {{{"256", "", "x"}}, {}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        const TMemoryWrite write = BuildMemoryWrite(c.Rows);
        EXPECT_EQ(write.Payload, c.Payload);
        EXPECT_EQ(write.Error.isEmpty(), !c.Payload.isEmpty()) << write.Error.toStdString();
    }
}

namespace {

class MemoryWatchTest : public ambrel::test::LinkFixture {
protected:
    TMemoryWatch watch{link};
};

} // namespace

TEST_F(MemoryWatchTest, ReadsOneRowAtATimeAndShowsTheAnswerInEveryRowOfIt) {
    watch.Rows() = {{"0x1234", "", "2", ""}, {"zz", "", "1", ""}, {"0x20", "", "4", ""}, {"4660", "", "2", ""},
                    {"0x1234", "", "1", ""}};
    ASSERT_TRUE(watch.Start());
    EXPECT_EQ(NextRequest(), Bytes({0x6A, 0x89, 0x34, 0x12, 0x00, 0x02}));
    Reply(cmdReadMemory, Bytes({0x34, 0x12, 0x00, 0x02, 0xCD, 0xAB}));
    EXPECT_EQ(watch.Rows()[0].Value, "ABCD");
    EXPECT_EQ(watch.Rows()[3].Value, "ABCD");
    EXPECT_EQ(watch.Rows()[4].Value, ""); // a one-byte read of the same place
    // The row that is not an address is passed over.
    EXPECT_EQ(NextRequest(), Bytes({0x6A, 0x89, 0x20, 0x00, 0x00, 0x04}));
    Reply(cmdReadMemory, Bytes({0x20, 0x00, 0x00, 0x04, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(watch.Rows()[2].Value, "12345678");
    EXPECT_EQ(NextRequest(), Bytes({0x6A, 0x89, 0x34, 0x12, 0x00, 0x02}));
    Reply(cmdReadMemory, Bytes({0x34, 0x12, 0x00, 0x02, 0x01, 0x00}));
    EXPECT_EQ(NextRequest(), Bytes({0x6A, 0x89, 0x34, 0x12, 0x00, 0x01}));
    Reply(cmdReadMemory, Bytes({0x34, 0x12, 0x00, 0x01, 0x7F}));
    EXPECT_EQ(watch.Rows()[4].Value, "7F");
    EXPECT_EQ(watch.Rows()[0].Value, "0001");
    // Back to the first row.
    EXPECT_EQ(NextRequest(), Bytes({0x6A, 0x89, 0x34, 0x12, 0x00, 0x02}));
}

TEST_F(MemoryWatchTest, StoppedWhileEditingAndOneReadWaitsAtATime) {
    watch.Rows() = {{"0x10", "", "1", ""}, {"0x11", "", "1", ""}};
    ASSERT_TRUE(watch.Start());
    const QList<QByteArray> sent = Sent(140);
    // Unanswered, the one read is sent again by the link; no other read joins it.
    EXPECT_EQ(sent.count(Bytes({0x6A, 0x89, 0x10, 0x00, 0x00, 0x01})), sent.size());
    EXPECT_EQ(link.Queue().Count(), 1);
    watch.Stop();
    link.FlushLink();
    EXPECT_TRUE(Sent(100).isEmpty());
    EXPECT_EQ(link.Queue().Count(), 0);
}

TEST_F(MemoryWatchTest, WriteGoesOutAsOneRequest) {
    EXPECT_TRUE(watch.Write({{"256", "", "1"}, {"257", "", "2"}, {"258", "", "3"}}).isEmpty());
    EXPECT_EQ(NextRequest(), Bytes({0x43, 0x76, 0x00, 0x01, 0x00, 0x03, 0x01, 0x02, 0x03}));
    EXPECT_FALSE(watch.Write({{"256", "", "300"}}).isEmpty());
}
