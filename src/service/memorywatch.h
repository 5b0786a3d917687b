#pragma once
// The memory watch: a developer's view of chosen locations of the ECU's memory, read over
// and over, and a run of consecutive bytes written into it. The rows are the user's text
// as typed; what is sent is checked here first.

#include "link/frame.h"
#include "link/pollhooks.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

namespace ambrel {

class TLinkManager;

inline constexpr quint32 kMaxMemoryAddress = 0xFFFFFF;

// A number as the user types it: decimal, or hexadecimal after "0x"; blanks around it
// are ignored. Nothing for anything else.
std::optional<quint32> ParseMemoryNumber(const QString& text);
// An address: a number of at most 24 bits.
std::optional<quint32> ParseMemoryAddress(const QString& text);
// "0x001234": how an address cell reads once entered.
QString FormatMemoryAddress(quint32 address);
// The value in upper-case hexadecimal, two digits a byte ("ABCD" for size 2); empty for a
// size other than 1, 2 or 4.
QString FormatMemoryValue(quint32 value, int size);

struct TWatchRow {
    QString Address;
    QString Symbol; // the user's note; never sent
    QString Count;  // 1, 2 or 4 bytes
    QString Value;  // what the ECU answered last
};

struct TWriteRow {
    QString Address;
    QString Symbol;
    QString Value;
};

// The cmdWriteMemory payload for the rows, or the reason it cannot be sent: row 1 needs
// an address, every value must fit in one byte, an address given in a later row must
// follow the one before (the bytes go to consecutive addresses), and the run must end
// inside the 24-bit address space and hold at most 255 bytes.
struct TMemoryWrite {
    QByteArray Payload;
    QString Error;
};
TMemoryWrite BuildMemoryWrite(const QList<TWriteRow>& rows);

class TMemoryWatch final : public QObject, private TConsumerInterface {
    Q_OBJECT
public:
    // One row is read every 200 ms: 20 link ticks.
    static constexpr int kPollTicks = 19;

    explicit TMemoryWatch(TLinkManager& link, QObject* parent = nullptr);
    ~TMemoryWatch() override;

    // Takes the line for the reads, starting with the first row. False while another
    // tool holds the line.
    bool Start();
    // Stops reading and gives the line back (while a cell is edited, or on closing).
    void Stop();
    bool Running() const { return m_running; }

    QList<TWatchRow>& Rows() { return m_rows; }
    const QList<TWatchRow>& Rows() const { return m_rows; }
    // The row to be read next (0-based).
    int PollRow() const { return m_pollRow; }

    // Queues the write; returns the reason when nothing was sent, else an empty text.
    QString Write(const QList<TWriteRow>& rows);

signals:
    // The ECU answered for this row: its Value changed.
    void ValueChanged(int row);

private:
    void OnReply(const TFrame& reply) override;
    void OnFailure() override { m_waiting = false; }
    void OnTimeout() override { m_waiting = false; }
    int Poll();

    TLinkManager& m_link;
    TFunctionPoll m_poll;
    QList<TWatchRow> m_rows;
    int m_pollRow = 0;
    bool m_running = false;
    bool m_waiting = false;
};

} // namespace ambrel
