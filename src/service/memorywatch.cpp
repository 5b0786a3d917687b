#include "memorywatch.h"

#include "link/commands.h"
#include "link/linkmanager.h"

#include <QCoreApplication>
#include <algorithm>

namespace ambrel {

namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("TFormMemory", text);
}

bool ValidSize(quint32 size) {
    return size == 1 || size == 2 || size == 4;
}

} // namespace

std::optional<quint32> ParseMemoryNumber(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    quint32 value = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        const auto hexDigit = [](QChar c) { return c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')); };
        if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), hexDigit))
            return std::nullopt;
        value = digits.toUInt(&ok, 16);
    } else {
        if (t.isEmpty() || !std::all_of(t.begin(), t.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
            return std::nullopt;
        value = t.toUInt(&ok, 10);
    }
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<quint32> ParseMemoryAddress(const QString& text) {
    const auto value = ParseMemoryNumber(text);
    if (!value || *value > kMaxMemoryAddress)
        return std::nullopt;
    return value;
}

QString FormatMemoryAddress(quint32 address) {
    return QStringLiteral("0x") + QStringLiteral("%1").arg(address, 6, 16, QLatin1Char('0')).toUpper();
}

QString FormatMemoryValue(quint32 value, int size) {
    if (!ValidSize(static_cast<quint32>(size)))
        return {};
    return QStringLiteral("%1").arg(value, size * 2, 16, QLatin1Char('0')).toUpper();
}

TMemoryWrite BuildMemoryWrite(const QList<TWriteRow>& rows) {
    TMemoryWrite result;
    const auto start = rows.isEmpty() ? std::nullopt : ParseMemoryAddress(rows.first().Address);
    if (!start) {
        result.Error = Tr("Row 1 needs an address (at most 0xFFFFFF).");
        return result;
    }
    if (rows.size() > 255) {
        result.Error = Tr("At most 255 bytes can be written at once.");
        return result;
    }
    if (*start + static_cast<quint32>(rows.size()) - 1 > kMaxMemoryAddress) {
        result.Error = Tr("The bytes would run past address 0xFFFFFF.");
        return result;
    }
    QByteArray values;
    for (int i = 0; i < rows.size(); ++i) {
        const TWriteRow& row = rows.at(i);
        const quint32 expected = *start + static_cast<quint32>(i);
        if (i > 0 && !row.Address.trimmed().isEmpty()) {
            const auto address = ParseMemoryAddress(row.Address);
            if (!address || *address != expected) {
                result.Error = Tr("Row %1: the address must be %2, the byte after the row before.")
                                   .arg(i + 1)
                                   .arg(FormatMemoryAddress(expected));
                return result;
            }
        }
        const auto value = ParseMemoryNumber(row.Value);
        if (!value || *value > 0xFF) {
            result.Error = Tr("Row %1: \"%2\" is not a byte value (0 to 255).").arg(i + 1).arg(row.Value);
            return result;
        }
        values.append(static_cast<char>(*value));
    }
    result.Payload = Payload::WriteMemory(*start, values);
    return result;
}

TMemoryWatch::TMemoryWatch(TLinkManager& link, QObject* parent)
    : QObject(parent), m_link(link), m_poll(kPollTicks, [this] { return Poll(); }) {}

TMemoryWatch::~TMemoryWatch() {
    Stop();
    m_link.ForgetConsumer(this);
}

bool TMemoryWatch::Start() {
    if (m_running)
        return true;
    if (!m_link.ClaimExclusivePoll(&m_poll))
        return false;
    m_running = true;
    m_pollRow = 0;
    return true;
}

void TMemoryWatch::Stop() {
    if (!m_running)
        return;
    m_running = false;
    m_link.ReleaseExclusivePoll(&m_poll);
}

int TMemoryWatch::Poll() {
    if (m_rows.isEmpty())
        return kPollTicks;
    if (m_pollRow >= m_rows.size())
        m_pollRow = 0;
    // One read waits at a time: a silent ECU must not fill the queue.
    if (!m_waiting) {
        const TWatchRow& row = m_rows.at(m_pollRow);
        const auto address = ParseMemoryAddress(row.Address);
        const auto size = ParseMemoryNumber(row.Count);
        // A row that is not (yet) a valid read is passed over silently: it may be being typed.
        if (address && size && ValidSize(*size))
            m_waiting = m_link.QueueCommand(Payload::ReadMemory(*address, static_cast<quint8>(*size)), this);
        m_pollRow = (m_pollRow + 1) % static_cast<int>(m_rows.size());
    }
    return kPollTicks;
}

void TMemoryWatch::OnReply(const TFrame& reply) {
    if (reply.RequestCode() != cmdReadMemory)
        return;
    m_waiting = false;
    const TMemoryValue answer = Answer::Memory(reply.FrameDataPart());
    const QString text = FormatMemoryValue(answer.Value, answer.Size);
    if (text.isEmpty())
        return;
    // Every row that reads this location with this size shows the value.
    for (int i = 0; i < m_rows.size(); ++i) {
        TWatchRow& row = m_rows[i];
        if (ParseMemoryAddress(row.Address) == answer.Address && ParseMemoryNumber(row.Count) == answer.Size) {
            row.Value = text;
            emit ValueChanged(i);
        }
    }
}

QString TMemoryWatch::Write(const QList<TWriteRow>& rows) {
    const TMemoryWrite write = BuildMemoryWrite(rows);
    if (!write.Error.isEmpty())
        return write.Error;
    if (!m_link.QueueCommand(write.Payload, nullptr))
        return Tr("The request could not be queued.");
    return {};
}

} // namespace ambrel
