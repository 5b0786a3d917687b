#pragma once
// The real link over the in-memory port, with the ECU's part played by the test: it sees
// each request as it goes out and answers it with bytes of its own.

#include "link/commands.h"
#include "link/framecodec.h"
#include "link/linkmanager.h"
#include "support/bytes.h"
#include "support/fakeport.h"
#include "support/qtprinters.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace ambrel::test {

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Ports = {"COM3"};
        link.Start("COM3", false);
        link.CheckConnection();
        Answer(cmdCheckConnection);
        Answer(cmdStrategy, Bytes({0x01}));
        Answer(cmdReadIdent, "WUX-04 1.4.12 K35F62T9");
        ASSERT_TRUE(link.ECUisConnected());
        link.AcquisitionModes().SetStatusUpdate(false);
    }
    void TearDown() override { link.Shutdown(); }

    // Ticks until the next request has gone out (at most `ticks`); returns its unstuffed
    // payload, or an empty one when nothing went.
    QByteArray NextRequest(int ticks = 400) {
        const qsizetype before = port.Written.size();
        for (int i = 0; i < ticks && port.Written.size() == before; ++i)
            link.Tick();
        if (port.Written.size() == before)
            return {};
        return FramePayload(port.Frames().last());
    }
    void Reply(quint16 request, const QByteArray& data = {}) {
        port.FeedPayload(MakePayload(ReplyCodeFor(request), data));
        link.DeliverPendingReplies();
        QCoreApplication::sendPostedEvents(); // what the consumers posted in turn
    }
    void Answer(quint16 request, const QByteArray& data = {}) {
        const QByteArray sent = NextRequest();
        ASSERT_EQ(PayloadCode(sent), request) << sent.toHex(' ').toStdString();
        Reply(request, data);
    }
    // Every payload the link sends in `ticks` ticks, none answered.
    QList<QByteArray> Sent(int ticks) {
        const qsizetype before = port.Written.size();
        for (int i = 0; i < ticks; ++i)
            link.Tick();
        QList<QByteArray> out;
        const auto frames = port.Frames();
        for (qsizetype i = before; i < frames.size(); ++i)
            out << FramePayload(frames[i]);
        return out;
    }
    static QByteArray FramePayload(const QByteArray& frame) {
        return MakePayload(FrameCode(frame), FrameData(frame));
    }

    TFakeSerialPort port;
    TFakePortDirectory dir;
    TMemorySettingsStore settings;
    TLinkManager link{port, dir, settings};
};

} // namespace ambrel::test
