// The mode 01 parameter table and the scan-tool record of the eOBD answers.

#include "service/obd.h"

#include "support/bytes.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;
using ambrel::test::Bytes;

TEST(Obd, ParameterFormulas) {
    const struct {
        quint8 Pid;
        QByteArray Bytes;
        double Value;
        const char* Unit;
    } cases[] = {
        {0x05, Bytes({0x5A}), 50.0, "\u00B0C"},
        {0x0C, Bytes({0x1A, 0xF8}), 1726.0, "rpm"},
        {0x0D, Bytes({0x64}), 100.0, "km/h"},
        {0x0B, Bytes({0x65}), 101.0, "kPa"},
        {0x0F, Bytes({0x3C}), 20.0, "\u00B0C"},
        {0x11, Bytes({0xFF}), 100.0, "%"},
        {0x04, Bytes({0x33}), 20.0, "%"},
        {0x06, Bytes({0x00}), -100.0, "%"},
        {0x09, Bytes({0xFF}), 99.21875, "%"},
        {0x0E, Bytes({0x00}), -64.0, "\u00B0"},
        {0x10, Bytes({0x01, 0x2C}), 3.0, "g/s"},
        {0x14, Bytes({0xB4, 0x80}), 0.9, "V"},
        {0x1B, Bytes({0x14, 0xFF}), 0.1, "V"},
    };
    for (const auto& c : cases) {
        const auto value = DecodeObdPid(c.Pid, c.Bytes);
        ASSERT_TRUE(value.has_value()) << int(c.Pid);
        EXPECT_NEAR(*value, c.Value, 1e-9) << int(c.Pid);
        EXPECT_EQ(QString::fromUtf8(FindObdPid(c.Pid)->Unit), QString::fromUtf8(c.Unit)) << int(c.Pid);
    }
    EXPECT_FALSE(DecodeObdPid(0x0C, Bytes({0x1A})).has_value()); // one byte short
    EXPECT_FALSE(DecodeObdPid(0x42, Bytes({0x30, 0x00})).has_value());
}

namespace {

// Word, mask (little-endian), then the 13 values; the engine speed F8 1A is 6904 quarter
// revolutions.
QByteArray ScanRecord(std::initializer_list<int> mask) {
    QByteArray data = Bytes({0x00, 0x00});
    data += Bytes(mask);
    data += Bytes({0x03, 0x01, 0x02, 0x00, 0x80, 0x80, 0x85, 0x7B, 0x80, 0x1E, 0xF8, 0x1A, 0x32, 0x8C});
    return data;
}

} // namespace

TEST(Obd, ScanToolLinesFollowTheSupportedMask) {
    // Every parameter of the record supported: bits 31, 29, 28, 26 ... 18.
    EXPECT_EQ(ObdScanLines(ParseObdScanRecord(ScanRecord({0x00, 0x00, 0xBC, 0xB7}))),
              (QStringList{"DTC_StoreNumber = 3", "MIL_Status = 1", "FuelSystem_1_Status = 2",
                           "FuelSystem_2_Status = 0", "CalculatedLoadValue = 128", "ShortFuelTrim1 = 128",
                           "LongFuelTrim1 = 133", "ShortFuelTrim2 = 123", "LongFuelTrim2 = 128",
                           "IntakeMainfoldPressure = 30", "Engine_RPM = 1726", "VehicleSpeedSensor = 50",
                           "IgnitionTimeAdvancerCil1 = 140"}));
    // Only parameter 0x01: its two values, and the values behind them are still read past.
    EXPECT_EQ(ObdScanLines(ParseObdScanRecord(ScanRecord({0x00, 0x00, 0x00, 0x80}))),
              (QStringList{"DTC_StoreNumber = 3", "MIL_Status = 1"}));
    // Only parameter 0x0D (bit 19): the speed after the 16-bit engine speed.
    EXPECT_EQ(ObdScanLines(ParseObdScanRecord(ScanRecord({0x00, 0x00, 0x08, 0x00}))),
              (QStringList{"VehicleSpeedSensor = 50"}));
}

TEST(Obd, ScanToolValuesInUnits) {
    const TObdScanRecord record = ParseObdScanRecord(ScanRecord({0x00, 0x00, 0xBC, 0xB7}));
    const struct {
        int Position;
        double Value;
    } cases[] = {{0, 3.0}, {4, 50.196078431}, {6, 3.90625}, {9, 30.0}, {10, 1726.0}, {11, 50.0}, {12, 6.0}};
    for (const auto& c : cases) {
        const auto value = ObdScanValue(record, c.Position);
        ASSERT_TRUE(value.has_value()) << c.Position;
        EXPECT_NEAR(*value, c.Value, 1e-6) << c.Position;
    }
    EXPECT_FALSE(ObdScanValue(record, 2).has_value()); // fuel system status is a bit field
}

TEST(Obd, ShortScanRecordShowsOnlyWhatItHolds) {
    // Cut inside the engine speed: the values before it, nothing after.
    const QByteArray data = ScanRecord({0x00, 0x00, 0xBC, 0xB7}).left(6 + 11);
    const QStringList lines = ObdScanLines(ParseObdScanRecord(data));
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.last(), "IntakeMainfoldPressure = 30");
    EXPECT_TRUE(ObdScanLines(ParseObdScanRecord(Bytes({0x00, 0x00, 0xFF}))).isEmpty());
}

TEST(Obd, LogLine) {
    EXPECT_EQ(ObdLogLine(Bytes({0x41, 0x0C, 0x1A, 0xF8})), "41 0C 1A F8 ");
}
