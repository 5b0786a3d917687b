// Which ports the workbench offers and which one it follows as the USB cable, decided over
// port lists as QSerialPortInfo reported them on real machines.

#include "link/portdiscovery.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

namespace {

TPortRecord Usb(const char* name, const char* location, quint16 vendor, quint16 product, const char* maker = "") {
    TPortRecord r{name, location, "USB Serial Port", maker, vendor, product};
    return r;
}

TPortRecord Plain(const char* name, const char* location, const char* description = "Communications Port") {
    return TPortRecord{name, location, description, "", std::nullopt, std::nullopt};
}

} // namespace

TEST(PortDiscovery, RecordedListsGiveThePortsInNaturalOrderAndTheCable) {
    struct Case {
        const char* what;
        QList<TPortRecord> records;
        TPortNaming naming;
        QStringList ports;
        const char* cable;
    };
    const Case cases[] = {
        {"Windows laptop: built-in port, Bluetooth, the cable on COM10",
         {Usb("COM10", "\\\\.\\COM10", 0x0403, 0x6001, "FTDI"), Plain("COM1", "\\\\.\\COM1"),
          Plain("COM3", "\\\\.\\COM3", "Standard Serial over Bluetooth link")},
         TPortNaming::Windows,
         {"COM1", "COM3", "COM10"},
         "COM10"},
        {"Windows: another USB adapter plugged in before the cable",
         {Usb("COM4", "\\\\.\\COM4", 0x067B, 0x2303, "Prolific"), Usb("COM7", "\\\\.\\COM7", 0x0403, 0x6015, "FTDI")},
         TPortNaming::Windows,
         {"COM4", "COM7"},
         "COM7"},
        {"Windows: only a foreign USB adapter, taken as the cable",
         {Plain("COM1", "\\\\.\\COM1"), Usb("COM5", "\\\\.\\COM5", 0x1A86, 0x7523)},
         TPortNaming::Windows,
         {"COM1", "COM5"},
         "COM5"},
        {"Windows: the same port listed twice, once without its USB identity",
         {Plain("COM6", "\\\\.\\COM6"), Usb("COM6", "\\\\.\\COM6", 0x0403, 0x6001)},
         TPortNaming::Windows,
         {"COM6"},
         "COM6"},
        {"Windows desktop without USB adapters", {Plain("COM2", "\\\\.\\COM2"), Plain("COM1", "\\\\.\\COM1")},
         TPortNaming::Windows, {"COM1", "COM2"}, ""},
        {"no serial ports at all", {}, TPortNaming::Windows, {}, ""},
        {"Linux: two cables of the same vendor, the lower one is followed",
         {Usb("ttyUSB1", "/dev/ttyUSB1", 0x0403, 0x6001), Usb("ttyUSB0", "/dev/ttyUSB0", 0x0403, 0x6001),
          Plain("ttyS0", "/dev/ttyS0", "")},
         TPortNaming::Device,
         {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1"},
         "/dev/ttyUSB0"},
        {"Linux: an ACM modem beside the cable",
         {Usb("ttyACM0", "/dev/ttyACM0", 0x2341, 0x0043), Usb("ttyUSB0", "/dev/ttyUSB0", 0x0403, 0x6001)},
         TPortNaming::Device,
         {"/dev/ttyACM0", "/dev/ttyUSB0"},
         "/dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        const TPortChoice choice = ChoosePorts(c.records, c.naming);
        EXPECT_EQ(choice.Ports, c.ports) << c.what;
        EXPECT_EQ(choice.UsbCable, QString::fromLatin1(c.cable)) << c.what;
    }
}
