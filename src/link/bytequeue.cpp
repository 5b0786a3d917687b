#include "bytequeue.h"

#include <algorithm>
#include <cmath>

namespace ambrel {

void TByteQueue::Reset() {
    m_data.clear();
    m_position = 1;
}

void TByteQueue::ResetFromFrame(const QByteArray& frame) {
    // Frame layout: FE 01 02 Length CodeLo CodeHi data... CsLo CsHi FE.
    // The data is Length - 7 bytes from the seventh byte; the Length byte is
    // trusted only as far as the received bytes reach.
    m_position = 1;
    m_data.clear();
    if (frame.size() < 6)
        return;
    const int length = static_cast<quint8>(frame.at(3));
    const int count = std::clamp(length - 7, 0, static_cast<int>(frame.size()) - 6);
    m_data = frame.mid(6, count);
}

void TByteQueue::ResetFromData(const QByteArray& data) {
    m_data = data;
    m_position = 1;
}

bool TByteQueue::Available(int n) const {
    return n >= 0 && m_data.size() >= static_cast<qsizetype>(m_position) + n - 1;
}

quint8 TByteQueue::Peek(int k) const {
    const qsizetype index = static_cast<qsizetype>(m_position) - 1 + k;
    if (index < 0 || index >= m_data.size())
        return 0;
    return static_cast<quint8>(m_data.at(index));
}

bool TByteQueue::ReadByte(int& v) {
    if (!Available(1))
        return false;
    v = Peek(0);
    m_position += 1;
    return true;
}

bool TByteQueue::ReadWord(int& v) {
    if (!Available(2))
        return false;
    v = Peek(0) + 256 * Peek(1);
    m_position += 2;
    return true;
}

bool TByteQueue::ReadLongWord(quint32& v) {
    if (!Available(4))
        return false;
    v = static_cast<quint32>(Peek(0)) | static_cast<quint32>(Peek(1)) << 8 |
        static_cast<quint32>(Peek(2)) << 16 | static_cast<quint32>(Peek(3)) << 24;
    m_position += 4;
    return true;
}

bool TByteQueue::ReadBytes(QByteArray& s, int n) {
    if (!Available(n))
        return false;
    s = m_data.mid(m_position - 1, n);
    m_position += n;
    return true;
}

void TByteQueue::WriteByte(qint64 v) {
    m_data.append(static_cast<char>(std::clamp<qint64>(v, 0, 255)));
    m_position += 1;
}

void TByteQueue::WriteWord(qint64 v) {
    const auto w = static_cast<quint16>(std::clamp<qint64>(v, 0, 65535));
    m_data.append(static_cast<char>(w & 0xFF));
    m_data.append(static_cast<char>(w >> 8));
    m_position += 2;
}

void TByteQueue::WriteBytes(const QByteArray& bytes) {
    m_data.append(bytes);
    m_position += static_cast<int>(bytes.size());
}

QString HexByte(quint8 b, bool withPrefix) {
    const QString digits = QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return withPrefix ? QStringLiteral("0x") + digits : digits;
}

QString HexWord(quint16 w) {
    return QStringLiteral("%1").arg(w, 4, 16, QLatin1Char('0')).toUpper();
}

QString HexDump(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        out += HexByte(static_cast<quint8>(c));
        out += QLatin1Char(' ');
    }
    return out;
}

QString PrintableText(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<quint8>(c);
        out += (b < 32 || b > 126) ? QLatin1Char('.') : QLatin1Char(static_cast<char>(b));
    }
    return out;
}

QByteArray LeftPart(const QByteArray& s, int n) {
    return s.left(std::max(n, 0));
}

QByteArray RightPart(const QByteArray& s, int n) {
    return s.right(std::max(n, 0));
}

QByteArray MiddlePart(const QByteArray& s, int from, int n) {
    if (from < 1 || from > s.size() || n <= 0)
        return {};
    return s.mid(from - 1, n);
}

double RoundToStep(double value, double step) {
    if (step == 0)
        return value;
    const double q = std::trunc(value / step);
    const double r = value - q * step;
    return (step / 2 > r) ? q * step : (q + 1) * step;
}

} // namespace ambrel
