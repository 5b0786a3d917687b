#pragma once
// The ECU's wire format. A frame is
//   FE 01 02 Length CodeLo CodeHi data... CsLo CsHi FE
// where Length counts 01, 02, itself, the payload (code + data) and the checksum,
// and the checksum is the 16-bit sum of everything from 01 to the last payload byte.
// Between the delimiters 0xFE and 0xFD are stuffed as FD 0E and FD 0D, so a stuffed
// frame holds 0xFE only at its two ends. Frames are stored, logged and compared
// unstuffed; they are stuffed only on their way to the port.

#include <QByteArray>
#include <cstdint>

namespace ambrel {

inline constexpr quint8 kFrameDelimiter = 0xFE;
inline constexpr quint8 kFrameEscape = 0xFD;
// The smallest complete frame: delimiters, header, Length, code and checksum.
inline constexpr int kMinFrameSize = 9;
// The Length byte limits a payload (code + data) to this many bytes.
inline constexpr int kMaxPayload = 250;

inline constexpr quint16 replyNack = 0x0707;
inline constexpr quint16 replyBadChecksum = 0x7070;

// Payload = command code (little-endian) followed by the command data.
QByteArray MakePayload(quint16 code, const QByteArray& data = {});

QByteArray BuildFrame(const QByteArray& payload);
QByteArray EscapeFrame(const QByteArray& frame);
QByteArray UnescapeFrame(const QByteArray& captured);
bool FrameChecksumOK(const QByteArray& frame);

// Command code at the start of a payload; 0 when the payload is shorter than a code.
quint16 PayloadCode(const QByteArray& payload);
// Command code of an unstuffed frame; 0 for a frame too short to hold one.
quint16 FrameCode(const QByteArray& frame);
// The Length - 7 data bytes from the seventh byte, cut to what was received.
QByteArray FrameData(const QByteArray& frame);
constexpr quint16 ReplyCodeFor(quint16 requestCode) { return static_cast<quint16>(0xFFFF - requestCode); }
bool IsReplyTo(const QByteArray& request, const QByteArray& received);

// Collects a packet from one 0xFE to the next, as the serial component's packet capture
// did: bytes before a start delimiter are skipped; the packet keeps both delimiters.
// A second 0xFE straight after the first (an empty packet, e.g. the tail of one frame
// followed by the head of the next) is taken as a new start, never as a 2-byte packet.
class TPacketCapture {
public:
    // Feeds bytes; returns true and fills `packet` when one is complete. Bytes after a
    // complete packet stay buffered for the next call with an empty input.
    bool Feed(const QByteArray& bytes, QByteArray& packet);
    bool InPacket() const { return m_started; }
    void Reset();

private:
    QByteArray m_pending;
    QByteArray m_packet;
    bool m_started = false;
};

} // namespace ambrel
