#include "link/framecodec.h"

#include <QList>
#include "support/bytes.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>
#include <random>

using namespace ambrel;

using ambrel::test::Bytes;

TEST(FrameCodec, BuildsTheCheckConnectionFrame) {
    const QByteArray frame = BuildFrame(MakePayload(0x0007));
    EXPECT_EQ(frame, Bytes({0xFE, 0x01, 0x02, 0x07, 0x07, 0x00, 0x11, 0x00, 0xFE}));
    EXPECT_EQ(EscapeFrame(frame), frame); // nothing to stuff
    EXPECT_TRUE(FrameChecksumOK(frame));
    EXPECT_EQ(FrameCode(frame), 0x0007);
    EXPECT_TRUE(FrameData(frame).isEmpty());
}

TEST(FrameCodec, StuffsDelimiterAndEscapeEverywhereBetweenTheEnds) {
    struct Case {
        const char* what;
        QByteArray payload;
        QByteArray stuffed;
    };
    const Case cases[] = {
        {"data bytes FE and FD", Bytes({0x02, 0x00, 0xFE, 0xFD}),
         // Length 9, checksum 01+02+09+02+00+FE+FD = 0x0209
         Bytes({0xFE, 0x01, 0x02, 0x09, 0x02, 0x00, 0xFD, 0x0E, 0xFD, 0x0D, 0x09, 0x02, 0xFE})},
        {"checksum low byte FE", Bytes({0x02, 0x00, 0xF1}), // 01+02+08+02+00+F1 = 0x00FE
         Bytes({0xFE, 0x01, 0x02, 0x08, 0x02, 0x00, 0xF1, 0xFD, 0x0E, 0x00, 0xFE})},
        {"code bytes FD FF", Bytes({0xFD, 0xFF}),
         Bytes({0xFE, 0x01, 0x02, 0x07, 0xFD, 0x0D, 0xFF, 0x06, 0x02, 0xFE})},
    };
    for (const Case& c : cases) {
        const QByteArray frame = BuildFrame(c.payload);
        EXPECT_EQ(EscapeFrame(frame), c.stuffed) << c.what;
        EXPECT_EQ(UnescapeFrame(EscapeFrame(frame)), frame) << c.what;
    }
}

TEST(FrameCodec, ChecksumBytesEqualToDelimitersAreStuffed) {
    // Find payloads whose checksum low or high byte is FE or FD and check the stuffing.
    int seen = 0;
    for (int a = 0; a < 256 && seen < 4; ++a) {
        for (int b = 0; b < 256; ++b) {
            const QByteArray payload = Bytes({0x01, 0x00, a, b});
            const QByteArray frame = BuildFrame(payload);
            const auto lo = static_cast<quint8>(frame.at(frame.size() - 3));
            const auto hi = static_cast<quint8>(frame.at(frame.size() - 2));
            if (lo != 0xFE && lo != 0xFD && hi != 0xFE && hi != 0xFD)
                continue;
            const QByteArray stuffed = EscapeFrame(frame);
            EXPECT_EQ(stuffed.count(char(0xFE)), 2) << a << "," << b;
            EXPECT_EQ(static_cast<quint8>(stuffed.front()), 0xFE);
            EXPECT_EQ(static_cast<quint8>(stuffed.back()), 0xFE);
            EXPECT_EQ(UnescapeFrame(stuffed), frame);
            ++seen;
            break;
        }
    }
    EXPECT_GE(seen, 1);
}

TEST(FrameCodec, UnstuffsTheReceivedForms) {
    struct Case {
        QByteArray captured;
        QByteArray expected;
    };
    const Case cases[] = {
        {Bytes({0xFE, 0xFD, 0x0C, 0xFE}), Bytes({0xFE, 0xFE, 0xFE})},
        {Bytes({0xFE, 0xFD, 0x0E, 0xFE}), Bytes({0xFE, 0xFE, 0xFE})},
        {Bytes({0xFE, 0xFD, 0x0D, 0xFE}), Bytes({0xFE, 0xFD, 0xFE})},
        {Bytes({0xFE, 0xFD, 0x41, 0xFE}), Bytes({0xFE, 0xFD, 0x41, 0xFE})},
        {Bytes({0xFE, 0xFD, 0xFD, 0x0D, 0xFE}), Bytes({0xFE, 0xFD, 0xFD, 0xFE})},
        {Bytes({0xFE, 0x01, 0xFD, 0xFE}), Bytes({0xFE, 0x01, 0xFD, 0xFE})}, // escape before the end delimiter
        {Bytes({0xFE}), Bytes({0xFE})},
        {QByteArray(), QByteArray()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UnescapeFrame(c.captured), c.expected) << c.captured.toHex().constData();
}

TEST(FrameCodec, ChecksumUsesTheReceivedLength) {
    QByteArray frame = BuildFrame(MakePayload(0xFFF9, "WUX-04 1.4.12 K35F62T9"));
    EXPECT_TRUE(FrameChecksumOK(frame));
    frame[9] = 'Z'; // '-' becomes 'Z'
    EXPECT_FALSE(FrameChecksumOK(frame));
    // The Length byte is not checked against the received length.
    QByteArray lying = BuildFrame(MakePayload(0xFFF8));
    lying[3] = char(0x20);
    EXPECT_FALSE(FrameChecksumOK(lying)); // Length is part of the sum
    EXPECT_FALSE(FrameChecksumOK(Bytes({0xFE, 0x01, 0xFE})));
}

TEST(FrameCodec, CodesDataAndReplies) {
    const QByteArray request = BuildFrame(MakePayload(0x0013, Bytes({0x03})));
    EXPECT_EQ(request.mid(4, 3), Bytes({0x13, 0x00, 0x03}));
    const QByteArray reply = BuildFrame(MakePayload(0xFFEC, Bytes({0x01})));
    EXPECT_EQ(reply.mid(4, 3), Bytes({0xEC, 0xFF, 0x01}));
    EXPECT_TRUE(IsReplyTo(request, reply));
    EXPECT_FALSE(IsReplyTo(request, request));
    EXPECT_EQ(FrameData(reply), Bytes({0x01}));
    EXPECT_EQ(FrameCode(QByteArray()), 0);
    EXPECT_EQ(ReplyCodeFor(0x0007), 0xFFF8);
    EXPECT_EQ(PayloadCode(Bytes({0x6A, 0x89, 1})), 0x896A);
}

TEST(PacketCapture, CapturesFromOneDelimiterToTheNext) {
    struct Case {
        const char* what;
        QList<QByteArray> chunks;
        QList<QByteArray> packets;
    };
    const QByteArray ack = EscapeFrame(BuildFrame(MakePayload(0xFFF8)));
    const Case cases[] = {
        {"whole", {ack}, {ack}},
        {"byte by byte", [&] {
             QList<QByteArray> l;
             for (char c : ack)
                 l << QByteArray(1, c);
             return l;
         }(), {ack}},
        {"noise before the start", {Bytes({0x11, 0x22}) + ack}, {ack}},
        {"tail of a stale frame then a frame", {Bytes({0x33, 0xFE}) + ack}, {ack}},
        {"two frames in one chunk", {ack + ack}, {ack, ack}},
        {"short packet", {Bytes({0xFE, 0x01, 0x02, 0xFE})}, {Bytes({0xFE, 0x01, 0x02, 0xFE})}},
    };
    for (const Case& c : cases) {
        TPacketCapture capture;
        QList<QByteArray> got;
        for (const QByteArray& chunk : c.chunks) {
            QByteArray packet;
            bool more = capture.Feed(chunk, packet);
            while (more) {
                got << packet;
                more = capture.Feed(QByteArray(), packet);
            }
        }
        EXPECT_EQ(got, c.packets) << c.what;
    }
}

// Arbitrary bytes through capture and unstuffing never crash or read out of bounds (the
// sanitizers watch); whatever is captured unstuffs to no more bytes than it had.
TEST(PacketCapture, RandomBytesAreHandledSafely) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255), len(0, 40), pick(0, 9);
    TPacketCapture capture;
    for (int round = 0; round < 20000; ++round) {
        QByteArray chunk;
        const int n = len(rng);
        for (int i = 0; i < n; ++i) {
            const int p = pick(rng);
            chunk.append(static_cast<char>(p == 0 ? 0xFE : p == 1 ? 0xFD : byte(rng)));
        }
        QByteArray packet;
        bool more = capture.Feed(chunk, packet);
        while (more) {
            const QByteArray frame = UnescapeFrame(packet);
            EXPECT_LE(frame.size(), packet.size());
            (void)FrameChecksumOK(frame);
            (void)FrameCode(frame);
            (void)FrameData(frame);
            more = capture.Feed(QByteArray(), packet);
        }
    }
}
