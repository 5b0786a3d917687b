// libFuzzer target: arbitrary bytes from the line through packet capture, unstuffing, the
// checksum, the data part and every answer parser. Nothing may crash or read outside a
// buffer (AddressSanitizer watches).

#include "link/bytequeue.h"
#include "link/commands.h"
#include "link/framecodec.h"

#include <cstddef>
#include <cstdint>

using namespace ambrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Split the input in two chunks at a point given by its first byte, as a line would.
    const qsizetype cut = size > 0 ? static_cast<qsizetype>(data[0]) % (bytes.size() + 1) : 0;
    TPacketCapture capture;
    QByteArray packet;
    for (const QByteArray& chunk : {bytes.left(cut), bytes.mid(cut)}) {
        bool more = capture.Feed(chunk, packet);
        while (more) {
            const QByteArray frame = UnescapeFrame(packet);
            (void)FrameChecksumOK(frame);
            const QByteArray payload = FrameData(frame);
            TByteQueue q;
            q.ResetFromFrame(frame);
            int v = 0;
            quint32 lw = 0;
            QByteArray s;
            while (q.ReadByte(v) && q.ReadWord(v) && q.ReadLongWord(lw) && q.ReadBytes(s, v % 7)) {
            }
            (void)Answer::TroubleCodes(payload);
            (void)Answer::DtcStatus(payload);
            (void)Answer::ComErrors(payload);
            (void)Answer::Counters(payload);
            (void)Answer::Vin(payload);
            (void)Answer::Memory(payload);
            (void)Answer::TestCommand(payload);
            (void)TroubleCodeText(FrameCode(frame));
            more = capture.Feed(QByteArray(), packet);
        }
    }
    (void)UnescapeFrame(bytes);
    (void)EscapeFrame(bytes);
    return 0;
}
