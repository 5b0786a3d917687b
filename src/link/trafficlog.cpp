#include "trafficlog.h"

#include "bytequeue.h"

namespace ambrel {

QStringList TTrafficLog::FormatFrame(TDirection direction, const QByteArray& frame, const QTime& time) {
    const QString prefix =
        time.toString(QStringLiteral("HH:mm:ss")) + (direction == TDirection::TX ? QStringLiteral(" TX> ")
                                                                                 : QStringLiteral(" RX< "));
    const QString blanks(prefix.size(), QLatin1Char(' '));
    QStringList lines;
    for (qsizetype start = 0; start < frame.size(); start += kBytesPerLine) {
        const QByteArray group = frame.mid(start, kBytesPerLine);
        lines << (start == 0 ? prefix : blanks) + HexDump(group).leftJustified(48, QLatin1Char(' ')) +
                     QLatin1Char(' ') + PrintableText(group);
    }
    return lines;
}

void TTrafficLog::LogFrame(TDirection direction, const QByteArray& frame) {
    if (m_paused)
        return;
    if (m_lines.size() > kMaxLines) {
        m_lines.clear();
        emit Reset();
    }
    const QStringList lines = FormatFrame(direction, frame, QTime::currentTime());
    m_lines += lines;
    emit LinesAdded(lines);
}

void TTrafficLog::AppendEcho(const QByteArray& bytes) {
    if (m_lines.isEmpty())
        m_lines << QString();
    for (char c : bytes) {
        if (c == '\r')
            m_lines << QString();
        else if (c != '\n')
            m_lines.last() += QChar::fromLatin1(c);
    }
    emit Reset();
}

void TTrafficLog::Clear() {
    m_lines.clear();
    emit Reset();
}

bool TTrafficLog::Contains(const QString& text) const {
    // A marker may straddle the line break of a CR, so search the whole text.
    return Text().contains(text);
}

} // namespace ambrel
