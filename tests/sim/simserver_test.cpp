// The simulated ECU on a real pseudo-terminal, opened from the client side with plain
// POSIX calls while the server runs on this thread's event loop.

#include "sim/simserver.h"

#include "simexchange.h"

#include "link/commands.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace ambrel;
using namespace ambrel::sim;
using namespace ambrel::sim::test;

namespace {

class TClientPort {
public:
    explicit TClientPort(const QString& device) {
        m_fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios tio{};
            ::tcgetattr(m_fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~TClientPort() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    bool Write(const QByteArray& bytes) const {
        return ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // Runs the event loop and collects what arrives until `done` holds for it or the
    // time runs out. `hungUp` reports an end of the line.
    QByteArray ReadUntil(const std::function<bool(const QByteArray&)>& done, int timeoutMs,
                         bool* hungUp = nullptr) const {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs && !done(got)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 1) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, static_cast<qsizetype>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                if (hungUp)
                    *hungUp = true;
                break;
            }
        }
        return got;
    }

private:
    int m_fd = -1;
};

bool HasFrame(const QByteArray& bytes) {
    return !CaptureFrames(bytes).isEmpty();
}

} // namespace

TEST(SimServer, AnswersACheckOverThePseudoTerminal) {
    TSimServer server;
    ASSERT_TRUE(server.Start()) << server.ErrorString().toStdString();
    EXPECT_TRUE(server.DeviceName().startsWith(QLatin1String("/dev/")));
    TClientPort port(server.DeviceName());
    ASSERT_TRUE(port.IsOpen());

    ASSERT_TRUE(port.Write(QByteArray::fromHex("fe01020707001100fe"))); // the check request
    const QList<QByteArray> frames = CaptureFrames(port.ReadUntil(HasFrame, 2000));
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames.front(), BuildFrame(MakePayload(0xFFF8)));
    ASSERT_EQ(server.Ecu().Received().size(), 1);
    EXPECT_EQ(server.Ecu().Received().front().Code, cmdCheckConnection);
}

TEST(SimServer, PacedReplyTakesAtLeastTheWireTime) {
    TSimServer server;
    ASSERT_TRUE(server.Start());
    TSimFaults faults;
    faults.PacingBaud = 9600;
    server.Ecu().SetFaults(faults);
    TClientPort port(server.DeviceName());
    ASSERT_TRUE(port.IsOpen());

    const QByteArray request = WireRequest(Payload::Plain(cmdCheckConnection));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(port.Write(request));
    const QByteArray reply = port.ReadUntil(HasFrame, 2000);
    const double elapsedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    ASSERT_TRUE(HasFrame(reply));
    // 9 bytes each way at 10 bits a byte
    const double wireMs = static_cast<double>(request.size() + reply.size()) * 10 * 1000 / 9600;
    EXPECT_GE(elapsedMs, wireMs);
    EXPECT_LT(elapsedMs, 1000.0);
}

TEST(SimServer, ResetAnswerIsFollowedByTheBootText) {
    TSimServer server;
    ASSERT_TRUE(server.Start());
    TClientPort port(server.DeviceName());
    ASSERT_TRUE(port.IsOpen());
    ASSERT_TRUE(port.Write(WireRequest(Payload::ResetECU())));
    const QByteArray got =
        port.ReadUntil([](const QByteArray& b) { return b.contains("Start Application\r\n"); }, 2000);
    const QList<QByteArray> frames = CaptureFrames(got.left(got.indexOf('\r')));
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(FrameCode(frames.front()), 0xFFF7);
    EXPECT_TRUE(got.contains("Start Application\r\n"));
}

TEST(SimServer, ClientMayCloseAndOpenAgain) {
    TSimServer server;
    ASSERT_TRUE(server.Start());
    {
        TClientPort first(server.DeviceName());
        ASSERT_TRUE(first.IsOpen());
    }
    TClientPort second(server.DeviceName());
    ASSERT_TRUE(second.IsOpen());
    ASSERT_TRUE(second.Write(WireRequest(Payload::Plain(cmdReadIdent))));
    const QList<QByteArray> frames = CaptureFrames(second.ReadUntil(HasFrame, 2000));
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(FrameData(frames.front()), QByteArray(TSimEcu::kDefaultIdent));
}

TEST(SimServer, UnplugHangsUpTheClient) {
    TSimServer server;
    ASSERT_TRUE(server.Start());
    TClientPort port(server.DeviceName());
    ASSERT_TRUE(port.IsOpen());
    server.Unplug();
    EXPECT_FALSE(server.IsRunning());
    bool hungUp = false;
    port.ReadUntil([](const QByteArray&) { return false; }, 1000, &hungUp);
    EXPECT_TRUE(hungUp);
}
