#pragma once
// An in-memory serial port for tests: records what the link writes (unstuffed frames too),
// lets the test feed bytes in any fragments, and can refuse to open, fail writes, raise
// line errors or be unplugged.

#include "link/serialport.h"

#include <QList>
#include <QSet>

namespace ambrel::test {

class TFakeSerialPort final : public TSerialPort {
    Q_OBJECT
public:
    using TSerialPort::TSerialPort;

    bool Open(const QString& name, int baud, int stopBits) override;
    void Close() override;
    bool IsOpen() const override { return m_open; }
    QString Name() const override { return m_name; }
    bool SetLineSettings(int baud, int stopBits) override;
    bool Write(const QByteArray& bytes) override;
    bool Flush() override;
    QString ErrorString() const override { return m_error; }

    // Test side.
    void Feed(const QByteArray& bytes) { emit BytesReceived(bytes); }
    // Feeds a reply frame built from a payload, stuffed, optionally cut into fragments.
    void FeedPayload(const QByteArray& payload, int fragment = 0);
    void RaiseLineError(TLineError kind, bool lineBreak) { emit LineErrorOccurred(kind, lineBreak); }
    // A pulled cable: the port closes and reports an I/O failure.
    void Unplug();

    QList<QByteArray> Written;   // raw bytes of every write
    QList<QByteArray> Frames() const; // every write, unstuffed
    QList<quint16> WrittenCodes() const;
    int FlushCount = 0;
    int Baud = 0;
    int StopBits = 0;
    QSet<QString> Refuse;       // names that fail to open
    bool FailWrites = false;
    bool FailFlush = false;

private:
    QString m_name;
    QString m_error;
    bool m_open = false;
};

class TFakePortDirectory final : public TPortDirectory {
public:
    QStringList PortList() const override { return Ports; }
    QString UsbCablePort() const override { return Cable; }
    QStringList Ports;
    QString Cable;
};

} // namespace ambrel::test
