#pragma once
// Which serial ports the system has and which of them is the USB interface cable.
//
// The system's list comes from QSerialPortInfo on every system. (On Windows the ports are
// also listed under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, but the value names there are
// device paths such as "\Device\VCP0", and QSettings cannot address a value whose name
// holds a backslash: read that way the list is always empty and the auto-scan never
// finds the cable.) The decision over the list is a pure function of port records, so it
// is tested with lists recorded on real machines.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QSerialPortInfo;

namespace ambrel {

// One port as the system describes it (the fields of QSerialPortInfo that matter here).
struct TPortRecord {
    QString PortName;       // "COM3", "ttyUSB0"
    QString SystemLocation; // "\\.\COM3", "/dev/ttyUSB0"
    QString Description;    // "USB Serial Port", "Communications Port"
    QString Manufacturer;   // "FTDI"
    std::optional<quint16> VendorId; // USB adapters have one; built-in and Bluetooth ports do not
    std::optional<quint16> ProductId;
};

// How a port is named to the user and to the port: Windows names (COMn) or device paths.
enum class TPortNaming { Windows, Device };

inline constexpr TPortNaming kSystemPortNaming =
#ifdef Q_OS_WIN
    TPortNaming::Windows;
#else
    TPortNaming::Device;
#endif

// The cable's adapter chip: its driver is the virtual COM port driver that the cable has
// always been installed with.
inline constexpr quint16 kCableVendorId = 0x0403;

struct TPortChoice {
    // Every port once, in natural order: COM2 before COM10, /dev/ttyS1 before /dev/ttyUSB0.
    QStringList Ports;
    // The port of the USB interface cable, empty when none is plugged in: the first port
    // of the cable's adapter vendor, or else the first USB serial adapter of any vendor.
    QString UsbCable;
};

TPortChoice ChoosePorts(const QList<TPortRecord>& records, TPortNaming naming);

TPortRecord PortRecord(const QSerialPortInfo& info);
// The ports of this system now.
QList<TPortRecord> SystemPortRecords();

} // namespace ambrel
