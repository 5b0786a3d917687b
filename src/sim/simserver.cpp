#include "simserver.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace ambrel::sim {

TSimServer::TSimServer(const TEngineOptions& engine, QObject* parent) : QObject(parent), m_ecu(engine) {
    m_clock.start();
    m_releaseTimer.setTimerType(Qt::PreciseTimer);
    m_releaseTimer.setInterval(1);
    connect(&m_releaseTimer, &QTimer::timeout, this, &TSimServer::Release);
}

TSimServer::~TSimServer() {
    CloseFds();
}

bool TSimServer::Start() {
    if (IsRunning())
        return true;
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Raw at once: nothing the client writes before it sets up its port may be echoed
    // back or turned into line editing.
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    const char* name = ::ptsname(master);
    m_deviceName = name ? QString::fromLocal8Bit(name) : QString();
    m_master = master;
    m_slave = slave;

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &TSimServer::ReadMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &TSimServer::FlushWriteBuffer);
    return true;
}

void TSimServer::CloseFds() {
    m_releaseTimer.stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    m_outbox.clear();
    m_writeBuffer.clear();
}

void TSimServer::Unplug() {
    CloseFds();
}

void TSimServer::ReadMaster() {
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<qsizetype>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: all read; EIO cannot happen while our own slave stays open
    }
    if (bytes.isEmpty())
        return;
    const qsizetype before = m_ecu.Received().size();
    const QList<TSimChunk> chunks = m_ecu.Feed(bytes, ElapsedMs());
    for (const auto& chunk : chunks)
        m_outbox.append({chunk, 0, -1});
    const auto& received = m_ecu.Received();
    for (qsizetype i = before; i < received.size(); ++i)
        emit RequestReceived(received[i].Code);
    Release();
}

// Puts on the line whatever is due. An unpaced chunk goes out whole at its time; a paced
// one starts when it is due and the line is free, and releases a byte each time a byte's
// worth of bits has passed, so the client receives it no sooner than a real line would.
void TSimServer::Release() {
    if (!IsRunning())
        return;
    const double now = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
    while (!m_outbox.isEmpty()) {
        TOutgoing& head = m_outbox.front();
        const TSimChunk& chunk = head.Chunk;
        if (static_cast<double>(chunk.DueMs) > now)
            break;
        if (chunk.Baud <= 0) {
            m_writeBuffer.append(chunk.Bytes);
            m_lineFreeMs = std::max(m_lineFreeMs, now);
            m_outbox.removeFirst();
            continue;
        }
        const double byteMs = 10000.0 / chunk.Baud;
        if (head.StartMs < 0)
            head.StartMs = std::max(static_cast<double>(chunk.DueMs), m_lineFreeMs);
        const auto done = static_cast<qsizetype>(std::floor((now - head.StartMs) / byteMs));
        const qsizetype upTo = std::clamp<qsizetype>(done, 0, chunk.Bytes.size());
        if (upTo > head.Sent) {
            m_writeBuffer.append(chunk.Bytes.mid(head.Sent, upTo - head.Sent));
            head.Sent = upTo;
        }
        if (head.Sent < chunk.Bytes.size())
            break;
        m_lineFreeMs = head.StartMs + static_cast<double>(chunk.Bytes.size()) * byteMs;
        m_outbox.removeFirst();
    }
    FlushWriteBuffer();
    Schedule();
}

void TSimServer::Schedule() {
    if (m_outbox.isEmpty())
        m_releaseTimer.stop();
    else if (!m_releaseTimer.isActive())
        m_releaseTimer.start();
}

void TSimServer::FlushWriteBuffer() {
    while (!m_writeBuffer.isEmpty() && IsRunning()) {
        const ssize_t n =
            ::write(m_master, m_writeBuffer.constData(), static_cast<size_t>(m_writeBuffer.size()));
        if (n > 0) {
            m_writeBuffer.remove(0, static_cast<qsizetype>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            m_writeBuffer.clear(); // the terminal is gone; nothing will take these bytes
        break;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_writeBuffer.isEmpty());
}

} // namespace ambrel::sim
