#include "fakeport.h"

#include "link/framecodec.h"

namespace ambrel::test {

bool TFakeSerialPort::Open(const QString& name, int baud, int stopBits) {
    m_open = false;
    m_name = name;
    if (Refuse.contains(name)) {
        m_error = QStringLiteral("Permission denied");
        return false;
    }
    m_open = true;
    Baud = baud;
    StopBits = stopBits;
    return true;
}

void TFakeSerialPort::Close() {
    m_open = false;
}

bool TFakeSerialPort::SetLineSettings(int baud, int stopBits) {
    Baud = baud;
    StopBits = stopBits;
    return true;
}

bool TFakeSerialPort::Write(const QByteArray& bytes) {
    if (!m_open || FailWrites) {
        m_error = QStringLiteral("Write failed");
        return false;
    }
    Written << bytes;
    emit BytesSent(bytes.size());
    return true;
}

bool TFakeSerialPort::Flush() {
    ++FlushCount;
    if (FailFlush) {
        m_error = QStringLiteral("Flush failed");
        return false;
    }
    return true;
}

void TFakeSerialPort::FeedPayload(const QByteArray& payload, int fragment) {
    const QByteArray bytes = EscapeFrame(BuildFrame(payload));
    if (fragment <= 0) {
        Feed(bytes);
        return;
    }
    for (qsizetype i = 0; i < bytes.size(); i += fragment)
        Feed(bytes.mid(i, fragment));
}

void TFakeSerialPort::Unplug() {
    m_open = false;
    emit Failed(QStringLiteral("Input/output error"), true);
}

QList<QByteArray> TFakeSerialPort::Frames() const {
    QList<QByteArray> frames;
    for (const QByteArray& w : Written)
        frames << UnescapeFrame(w);
    return frames;
}

QList<quint16> TFakeSerialPort::WrittenCodes() const {
    QList<quint16> codes;
    for (const QByteArray& f : Frames())
        codes << FrameCode(f);
    return codes;
}

} // namespace ambrel::test
