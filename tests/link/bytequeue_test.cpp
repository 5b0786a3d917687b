#include "link/bytequeue.h"

#include "support/bytes.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

using ambrel::test::Bytes;

TEST(ByteQueue, WritesClampInsteadOfWrapping) {
    struct Case {
        bool word;
        qint64 value;
        QByteArray expected;
    };
    const Case cases[] = {
        {true, 300, Bytes({0x2C, 0x01})}, {true, 70000, Bytes({0xFF, 0xFF})}, {true, -1, Bytes({0x00, 0x00})},
        {false, -5, Bytes({0x00})},       {false, 256, Bytes({0xFF})},       {false, 0xAB, Bytes({0xAB})},
    };
    for (const Case& c : cases) {
        TByteQueue q;
        c.word ? q.WriteWord(c.value) : q.WriteByte(c.value);
        EXPECT_EQ(q.GetData(), c.expected) << c.value;
        EXPECT_EQ(q.Position(), 1 + c.expected.size());
    }
}

TEST(ByteQueue, ShortReadsLeaveTargetAndCursorAlone) {
    TByteQueue q(Bytes({0x34, 0x12, 0x78}));
    int word = -1;
    ASSERT_TRUE(q.ReadWord(word));
    EXPECT_EQ(word, 0x1234);
    word = 77;
    EXPECT_FALSE(q.ReadWord(word)); // one byte left
    EXPECT_EQ(word, 77);
    EXPECT_EQ(q.Position(), 3);
    quint32 lw = 5;
    EXPECT_FALSE(q.ReadLongWord(lw));
    EXPECT_EQ(lw, 5u);
    QByteArray s = "keep";
    EXPECT_FALSE(q.ReadBytes(s, 2));
    EXPECT_EQ(s, "keep");
    int b = 0;
    EXPECT_TRUE(q.ReadByte(b));
    EXPECT_EQ(b, 0x78);
    EXPECT_FALSE(q.ReadByte(b));
    EXPECT_EQ(b, 0x78);
    EXPECT_EQ(q.Peek(0), 0);
}

TEST(ByteQueue, LongWordIsLittleEndianAndPeekLooksAhead) {
    TByteQueue q(Bytes({0x78, 0x56, 0x34, 0x12, 0xAA}));
    EXPECT_EQ(q.Peek(4), 0xAA);
    EXPECT_EQ(q.Peek(5), 0);
    quint32 v = 0;
    ASSERT_TRUE(q.ReadLongWord(v));
    EXPECT_EQ(v, 0x12345678u);
    EXPECT_TRUE(q.Available(1));
    EXPECT_FALSE(q.Available(2));
}

TEST(ByteQueue, ResetFromFrameTakesTheDataPartOnly) {
    // FE 01 02 Len=0A code FD FF, data 01 02 03, checksum, FE
    const QByteArray frame = Bytes({0xFE, 0x01, 0x02, 0x0A, 0xFD, 0xFF, 0x01, 0x02, 0x03, 0x00, 0x00, 0xFE});
    TByteQueue q;
    q.ResetFromFrame(frame);
    EXPECT_EQ(q.GetData(), Bytes({1, 2, 3}));
    // A Length byte that claims more than was received is cut to what is there.
    QByteArray lying = frame;
    lying[3] = char(0xF0);
    q.ResetFromFrame(lying);
    EXPECT_EQ(q.GetData().size(), lying.size() - 6);
    q.ResetFromFrame(QByteArray());
    EXPECT_TRUE(q.GetData().isEmpty());
}

TEST(TextHelpers, HexAndPrintable) {
    EXPECT_EQ(HexByte(0x0A), "0A");
    EXPECT_EQ(HexByte(0xFE, true), "0xFE");
    EXPECT_EQ(HexWord(0xFFF8), "FFF8");
    EXPECT_EQ(HexDump(Bytes({0xFE, 0x01, 0x41})), "FE 01 41 ");
    EXPECT_EQ(PrintableText(Bytes({0x1F, 0x20, 0x41, 0x7E, 0x7F, 0xFE})), ". A~..");
}

TEST(TextHelpers, PartsOfStrings) {
    const QByteArray s = "ABCDEF";
    EXPECT_EQ(LeftPart(s, 2), "AB");
    EXPECT_EQ(LeftPart(s, 10), s);
    EXPECT_EQ(RightPart(s, 2), "EF");
    EXPECT_EQ(RightPart(s, 10), s);
    EXPECT_EQ(MiddlePart(s, 2, 3), "BCD");
    EXPECT_EQ(MiddlePart(s, 0, 3), "");
    EXPECT_EQ(MiddlePart(s, 7, 3), "");
    EXPECT_EQ(MiddlePart(s, 5, 9), "EF");
}

TEST(TextHelpers, RoundToStepSendsAnExactHalfUp) {
    struct Case {
        double value, step, expected;
    };
    const Case cases[] = {
        {7, 5, 5}, {8, 5, 10}, {10, 4, 12}, {9, 4, 8}, {1800, 50, 1800}, {1825, 50, 1850},
        {0, 5, 0}, {2.5, 1, 3}, {-7, 5, -5},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(RoundToStep(c.value, c.step), c.expected) << c.value << " step " << c.step;
}
