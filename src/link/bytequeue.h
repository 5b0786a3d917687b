#pragma once
// TByteQueue: the cursor with which producers write command data and consumers read
// answer data. Numbers are little-endian. A read that finds too few bytes leaves both
// the target and the cursor untouched, so callers initialise their variables first
// and a short answer simply keeps the old values. Writes clamp instead of wrapping.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace ambrel {

class TByteQueue {
public:
    TByteQueue() = default;
    explicit TByteQueue(QByteArray data) : m_data(std::move(data)) {}

    void Reset();
    // Points the cursor at the data part of an unstuffed frame (after the command code).
    void ResetFromFrame(const QByteArray& frame);
    void ResetFromData(const QByteArray& data);

    bool Available(int n) const;
    quint8 Peek(int k) const;

    bool ReadByte(int& v);
    bool ReadWord(int& v);
    bool ReadLongWord(quint32& v);
    bool ReadBytes(QByteArray& s, int n);

    void WriteByte(qint64 v);
    void WriteWord(qint64 v);
    void WriteBytes(const QByteArray& bytes);

    const QByteArray& GetData() const { return m_data; }
    // 1-based index of the next byte to read; one more than the bytes written.
    int Position() const { return m_position; }

private:
    QByteArray m_data;
    int m_position = 1;
};

// Text and number helpers shared by the whole program.
QString HexByte(quint8 b, bool withPrefix = false);
QString HexDump(const QByteArray& bytes);
QString PrintableText(const QByteArray& bytes);
// Four upper-case hexadecimal digits, as link messages show command codes.
QString HexWord(quint16 w);
QByteArray LeftPart(const QByteArray& s, int n);
QByteArray RightPart(const QByteArray& s, int n);
// n bytes from the 1-based position `from`; empty when from is 0 or beyond s.
QByteArray MiddlePart(const QByteArray& s, int from, int n);
// Rounds to a multiple of step; a remainder of exactly half a step goes up.
double RoundToStep(double value, double step);

} // namespace ambrel
