#include "qtserialport.h"

#include "portdiscovery.h"

namespace ambrel {

TQtSerialPort::TQtSerialPort(QObject* parent) : TSerialPort(parent) {
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        const QByteArray bytes = m_port.readAll();
        if (!bytes.isEmpty())
            emit BytesReceived(bytes);
    });
    connect(&m_port, &QSerialPort::bytesWritten, this, &TSerialPort::BytesSent);
    connect(&m_port, &QSerialPort::errorOccurred, this, &TQtSerialPort::HandleError);
}

TQtSerialPort::~TQtSerialPort() {
    Close();
}

static QString DeviceName(const QString& name) {
#ifdef Q_OS_WIN
    return name;
#else
    // "ttyUSB0" as listed by the port library opens as /dev/ttyUSB0; full paths open as given.
    return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
#endif
}

bool TQtSerialPort::Open(const QString& name, int baud, int stopBits) {
    Close();
    m_port.setPortName(DeviceName(name));
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_error = m_port.errorString();
        return false;
    }
    if (!SetLineSettings(baud, stopBits) || !m_port.setDataBits(QSerialPort::Data8) ||
        !m_port.setParity(QSerialPort::NoParity) || !m_port.setFlowControl(QSerialPort::NoFlowControl)) {
        m_error = m_port.errorString();
        m_port.close();
        return false;
    }
    // DTR and RTS stay off: the interface cable powers its level shifter from the line.
    // Pseudo-terminals do not have these lines, so failures to set them are not errors.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clearError();
    m_error.clear();
    return true;
}

void TQtSerialPort::Close() {
    if (!m_port.isOpen())
        return;
    // What was just written (a last request at shutdown) leaves before the port closes;
    // a dead line gives up quickly.
    if (m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(200);
    m_port.close();
}

bool TQtSerialPort::IsOpen() const {
    return m_port.isOpen();
}

QString TQtSerialPort::Name() const {
    return m_port.portName();
}

bool TQtSerialPort::SetLineSettings(int baud, int stopBits) {
    const bool ok = m_port.setBaudRate(baud) &&
                    m_port.setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    if (!ok)
        m_error = m_port.errorString();
    return ok;
}

bool TQtSerialPort::Write(const QByteArray& bytes) {
    if (!m_port.isOpen()) {
        m_error = QStringLiteral("port not open");
        return false;
    }
    if (m_port.write(bytes) != bytes.size()) {
        m_error = m_port.errorString();
        return false;
    }
    return true;
}

bool TQtSerialPort::Flush() {
    if (!m_port.isOpen())
        return true;
    const bool ok = m_port.clear(QSerialPort::AllDirections);
    if (!ok)
        m_error = m_port.errorString();
    return ok;
}

QString TQtSerialPort::ErrorString() const {
    return m_error;
}

// Qt 6 no longer reports parity, framing or break conditions, so this port never raises
// LineErrorOccurred; a corrupted byte then shows up as a frame with a bad checksum, which
// the exchange engine retries the same way.
void TQtSerialPort::HandleError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::WriteError: {
        if (!m_port.isOpen())
            return;
        m_error = m_port.errorString();
        // Close first: an unplugged device keeps raising the same error otherwise.
        m_port.clearError();
        m_port.close();
        emit Failed(m_error, true);
        return;
    }
    default:
        m_error = m_port.errorString();
        return;
    }
}

QStringList TSystemPortDirectory::PortList() const {
    return ChoosePorts(SystemPortRecords(), kSystemPortNaming).Ports;
}

QString TSystemPortDirectory::UsbCablePort() const {
    return ChoosePorts(SystemPortRecords(), kSystemPortNaming).UsbCable;
}

} // namespace ambrel
