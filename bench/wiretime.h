#pragma once
// What the line itself needs, the bound every link benchmark is measured against: 10 bits a
// byte at the line's speed, and the exchange engine's pacing of 6 idle ticks between an
// answer and the next request (the answer lands part-way through a tick: 55 ms on average).

#include "link/framecodec.h"
#include "sim/simserver.h"

#include <cstdio>

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace ambrel::bench {

constexpr int kBaud = 9600;
constexpr double kPacingMs = 55.0;

inline double WireMs(qint64 bytes, int baud = kBaud) {
    return static_cast<double>(bytes) * 10.0 * 1000.0 / baud;
}

// Bytes a payload takes on the line: framed and stuffed.
inline qint64 StuffedSize(const QByteArray& payload) {
    return EscapeFrame(BuildFrame(payload)).size();
}

// Starts the simulated ECU on a pseudo-terminal with its wire paced at kBaud; false (with
// a message on stderr) when the system has no pseudo-terminals.
inline bool StartPacedSimulator(sim::TSimServer& server) {
    if (!server.Start()) {
        std::fprintf(stderr, "cannot start the simulated ECU: %s\n", qPrintable(server.ErrorString()));
        return false;
    }
    sim::TSimFaults pacing;
    pacing.PacingBaud = kBaud;
    server.Ecu().SetFaults(pacing);
    return true;
}

// Runs the event loop until `done` or the deadline; returns `done()`.
inline bool WaitFor(const std::function<bool()>& done, int deadlineMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

} // namespace ambrel::bench
