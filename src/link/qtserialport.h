#pragma once
#include "serialport.h"

#include <QSerialPort>

namespace ambrel {

// TSerialPort over QSerialPort. A read or resource error closes the port at once and is
// reported once through Failed: QSerialPort would otherwise repeat it in a tight loop.
class TQtSerialPort final : public TSerialPort {
    Q_OBJECT
public:
    explicit TQtSerialPort(QObject* parent = nullptr);
    ~TQtSerialPort() override;

    bool Open(const QString& name, int baud, int stopBits) override;
    void Close() override;
    bool IsOpen() const override;
    QString Name() const override;
    bool SetLineSettings(int baud, int stopBits) override;
    bool Write(const QByteArray& bytes) override;
    bool Flush() override;
    QString ErrorString() const override;

private:
    void HandleError(QSerialPort::SerialPortError error);
    QSerialPort m_port;
    QString m_error;
};

// The ports of this system through QSerialPortInfo, on Windows too (portdiscovery.h).
class TSystemPortDirectory final : public TPortDirectory {
public:
    QStringList PortList() const override;
    QString UsbCablePort() const override;
};

} // namespace ambrel
