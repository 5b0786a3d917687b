#pragma once
// Talking to a TSimEcu the way the host does: a payload is framed and stuffed, fed in,
// and what comes back on the line is captured between delimiters and unstuffed.

#include "sim/simecu.h"

#include "link/framecodec.h"

#include <QByteArray>
#include <QList>
#include <gtest/gtest.h>

#include <string>

namespace ambrel::sim::test {

inline QByteArray WireRequest(const QByteArray& payload) {
    return EscapeFrame(BuildFrame(payload));
}

// The unstuffed frames in a run of line bytes, in order.
inline QList<QByteArray> CaptureFrames(const QByteArray& line) {
    QList<QByteArray> frames;
    TPacketCapture capture;
    QByteArray packet;
    QByteArray input = line;
    while (capture.Feed(input, packet)) {
        input.clear();
        frames.append(UnescapeFrame(packet));
    }
    return frames;
}

inline QByteArray RepliesOf(const QList<TSimChunk>& chunks) {
    QByteArray bytes;
    for (const auto& c : chunks)
        if (c.Kind == TSimChunkKind::Reply)
            bytes.append(c.Bytes);
    return bytes;
}

// Sends one request and returns the reply frame (unstuffed), or an empty array when the
// ECU said nothing.
inline QByteArray Exchange(TSimEcu& ecu, const QByteArray& payload, qint64 nowMs = 0) {
    const QList<QByteArray> frames = CaptureFrames(RepliesOf(ecu.Feed(WireRequest(payload), nowMs)));
    return frames.isEmpty() ? QByteArray() : frames.front();
}

inline quint16 Word(const QByteArray& data, int offset) {
    return static_cast<quint16>(static_cast<quint8>(data.at(offset)) |
                                static_cast<quint8>(data.at(offset + 1)) << 8);
}

// Names the instances of a parameterised test after the Name field of their case.
struct TCaseName {
    template <class TCase> std::string operator()(const ::testing::TestParamInfo<TCase>& p) const {
        return p.param.Name;
    }
};

inline quint8 ByteAt(const QByteArray& data, int offset) {
    return static_cast<quint8>(data.at(offset));
}

} // namespace ambrel::sim::test
