#include "framecodec.h"

namespace ambrel {

QByteArray MakePayload(quint16 code, const QByteArray& data) {
    QByteArray payload;
    payload.reserve(2 + data.size());
    payload.append(static_cast<char>(code & 0xFF));
    payload.append(static_cast<char>(code >> 8));
    payload.append(data);
    return payload;
}

QByteArray BuildFrame(const QByteArray& payload) {
    QByteArray frame;
    frame.reserve(payload.size() + 8);
    frame.append(static_cast<char>(kFrameDelimiter));
    frame.append('\x01');
    frame.append('\x02');
    frame.append(static_cast<char>((payload.size() + 5) & 0xFF));
    frame.append(payload);
    quint32 sum = 0;
    for (qsizetype i = 1; i < frame.size(); ++i)
        sum += static_cast<quint8>(frame.at(i));
    frame.append(static_cast<char>(sum & 0xFF));
    frame.append(static_cast<char>((sum >> 8) & 0xFF));
    frame.append(static_cast<char>(kFrameDelimiter));
    return frame;
}

QByteArray EscapeFrame(const QByteArray& frame) {
    if (frame.size() < 2)
        return frame;
    QByteArray out;
    out.reserve(frame.size() + 8);
    out.append(frame.front());
    for (qsizetype i = 1; i + 1 < frame.size(); ++i) {
        const auto b = static_cast<quint8>(frame.at(i));
        if (b == kFrameDelimiter) {
            out.append(static_cast<char>(kFrameEscape));
            out.append('\x0E');
        } else if (b == kFrameEscape) {
            out.append(static_cast<char>(kFrameEscape));
            out.append('\x0D');
        } else {
            out.append(static_cast<char>(b));
        }
    }
    out.append(frame.back());
    return out;
}

QByteArray UnescapeFrame(const QByteArray& captured) {
    if (captured.size() < 2)
        return captured;
    QByteArray out;
    out.reserve(captured.size());
    out.append(captured.front());
    const qsizetype last = captured.size() - 1; // the end delimiter, copied as it is
    for (qsizetype i = 1; i < last; ++i) {
        const auto b = static_cast<quint8>(captured.at(i));
        if (b == kFrameEscape && i + 1 < last) {
            const auto next = static_cast<quint8>(captured.at(i + 1));
            if (next == 0x0E || next == 0x0C) {
                out.append(static_cast<char>(kFrameDelimiter));
                ++i;
                continue;
            }
            if (next == 0x0D) {
                out.append(static_cast<char>(kFrameEscape));
                ++i;
                continue;
            }
        }
        // A lone escape byte is kept as it is; the byte after it is decoded normally.
        out.append(static_cast<char>(b));
    }
    out.append(captured.at(last));
    return out;
}

bool FrameChecksumOK(const QByteArray& frame) {
    const qsizetype n = frame.size();
    if (n < 4)
        return false;
    quint32 sum = 0;
    for (qsizetype i = 1; i <= n - 4; ++i) // positions 2 .. n-3, 1-based
        sum += static_cast<quint8>(frame.at(i));
    const quint32 sent = 256u * static_cast<quint8>(frame.at(n - 2)) + static_cast<quint8>(frame.at(n - 3));
    return (sum & 0xFFFF) == sent;
}

quint16 PayloadCode(const QByteArray& payload) {
    if (payload.size() < 2)
        return 0;
    return static_cast<quint16>(static_cast<quint8>(payload.at(0)) | static_cast<quint8>(payload.at(1)) << 8);
}

quint16 FrameCode(const QByteArray& frame) {
    if (frame.size() < 6)
        return 0;
    return static_cast<quint16>(static_cast<quint8>(frame.at(4)) | static_cast<quint8>(frame.at(5)) << 8);
}

QByteArray FrameData(const QByteArray& frame) {
    if (frame.size() < 6)
        return {};
    const int length = static_cast<quint8>(frame.at(3));
    const qsizetype count = std::min<qsizetype>(std::max(length - 7, 0), frame.size() - 6);
    return frame.mid(6, count);
}

bool IsReplyTo(const QByteArray& request, const QByteArray& received) {
    return FrameCode(received) == ReplyCodeFor(FrameCode(request));
}

void TPacketCapture::Reset() {
    m_pending.clear();
    m_packet.clear();
    m_started = false;
}

bool TPacketCapture::Feed(const QByteArray& bytes, QByteArray& packet) {
    m_pending.append(bytes);
    qsizetype i = 0;
    bool complete = false;
    for (; i < m_pending.size(); ++i) {
        const auto b = static_cast<quint8>(m_pending.at(i));
        if (!m_started) {
            if (b == kFrameDelimiter) {
                m_started = true;
                m_packet.clear();
                m_packet.append(static_cast<char>(b));
            }
            continue;
        }
        if (b == kFrameDelimiter && m_packet.size() == 1)
            continue; // FE FE: the second one starts the packet afresh
        m_packet.append(static_cast<char>(b));
        if (b == kFrameDelimiter) {
            complete = true;
            ++i;
            break;
        }
    }
    m_pending.remove(0, i);
    if (!complete)
        return false;
    packet = m_packet;
    m_packet.clear();
    m_started = false;
    return true;
}

} // namespace ambrel
