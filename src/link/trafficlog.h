#pragma once
// The traffic log: every frame sent and received, unstuffed, as text lines that the "Log"
// window shows. One line per started group of 16 bytes: time of day and " TX> " or
// " RX< ", the group's hex dump padded to 48 characters, a blank and its printable text;
// continuation lines carry blanks in place of the prefix. Beyond 1000 lines the log is
// emptied, not trimmed, so it never grows without bound. In boot-monitor mode the ECU's
// plain text is appended character by character instead.

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTime>

namespace ambrel {

class TTrafficLog : public QObject {
    Q_OBJECT
public:
    enum class TDirection { TX, RX };
    static constexpr int kMaxLines = 1000;
    static constexpr int kBytesPerLine = 16;

    using QObject::QObject;

    // Formats the lines of one frame; pure, for the window and for tests.
    static QStringList FormatFrame(TDirection direction, const QByteArray& frame, const QTime& time);

    void LogFrame(TDirection direction, const QByteArray& frame);
    // Boot-monitor text: CR starts a new line, LF is dropped.
    void AppendEcho(const QByteArray& bytes);
    void Clear();

    bool Paused() const { return m_paused; }
    void SetPaused(bool paused) { m_paused = paused; }
    const QStringList& Lines() const { return m_lines; }
    QString Text() const { return m_lines.join(QLatin1Char('\n')); }
    bool Contains(const QString& text) const;

signals:
    // Lines were appended at the end (the window appends them as they come).
    void LinesAdded(const QStringList& lines);
    // The last line grew (echo text) or the log was emptied: the window shows Text() afresh.
    void Reset();

private:
    QStringList m_lines;
    bool m_paused = false;
};

} // namespace ambrel
