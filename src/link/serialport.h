#pragma once
// The serial line as the link sees it: open and close by name, line settings at run time,
// write, purge, bytes in, line errors, and a failure that has already closed the port.
// TQtSerialPort is the real one; tests use an in-memory fake with the same contract.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

namespace ambrel {

enum class TLineError { Overrun, Parity, Framing, TxFull, Other };

class TSerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TSerialPort() override = default;

    // Opens the device with the given line settings (8 data bits, no parity, DTR and RTS off).
    virtual bool Open(const QString& name, int baud, int stopBits) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual QString Name() const = 0;
    virtual bool SetLineSettings(int baud, int stopBits) = 0;
    virtual bool Write(const QByteArray& bytes) = 0;
    // Discards whatever waits in the input and output buffers.
    virtual bool Flush() = 0;
    virtual QString ErrorString() const = 0;

signals:
    void BytesReceived(const QByteArray& bytes);
    void BytesSent(qint64 count);
    void LineErrorOccurred(ambrel::TLineError kind, bool lineBreak);
    // The device failed while open (unplugged, I/O error); the port is already closed.
    void Failed(const QString& errorText, bool ioError);
};

// Where the serial ports of the system are listed: the devices the serial port library
// finds (TSystemPortDirectory), or a test's list.
class TPortDirectory {
public:
    virtual ~TPortDirectory() = default;
    // The ports of the system in natural order (COM2 before COM10).
    virtual QStringList PortList() const = 0;
    // The port that the USB interface cable got, or empty when it is not plugged in.
    virtual QString UsbCablePort() const = 0;
};

} // namespace ambrel
