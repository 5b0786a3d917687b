// The freeze frame record and its lines, from answer bytes as the ECU sends them.

#include "service/freezeframe.h"

#include "support/bytes.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;
using ambrel::test::Bytes;

namespace {

// P3391 at 1726 rpm, water 50 degC, gas 35.5 degC, 1234 mbar, MAP 456 mbar, lambdas 0x80
// and 0xFF, trims 0x8000 and 0x8CCD, petrol 4.5 ms and 0, gas 5.25 ms and 0, level 0x80,
// engine on, on gas, system time 125000 ticks, fuel gas.
const QByteArray kRecord = Bytes({0x91, 0x33, 0xBE, 0x06, 0x18, 0x01, 0xDE, 0x00, 0xD2, 0x04, 0xC8, 0x01,
                                  0x80, 0xFF, 0x00, 0x80, 0xCD, 0x8C, 0x94, 0x11, 0x00, 0x00, 0x82, 0x14,
                                  0x00, 0x00, 0x80, 0x00, 0x02, 0x05, 0x48, 0xE8, 0x01, 0x00, 0x00});

} // namespace

TEST(FreezeFrame, WholeRecordLines) {
    EXPECT_EQ(FreezeFrameLines(ParseFreezeFrame(kRecord), 1),
              (QStringList{
                  "Error code: P3391",
                  "Engine's rev [RPM]: 1726",
                  "Water's temperature [\u00B0C]: 50.0",
                  "Gas temperature [\u00B0C]: 35.5",
                  "Gas pressure [mbar]: 1234",
                  "MAP [mbar]:  456",
                  "Lambda 1 [Volt]: 0.50",
                  "Lambda 2 [Volt]: 1.00",
                  "Gas fuel trim % - bank 1: 0.0",
                  "Gas fuel trim % - bank 2: 10.0",
                  "Petrol injection time [ms] - bank 1: 4.50",
                  "Petrol injection time [ms] - bank 2: 0.00",
                  "Gas injection time [ms] - bank 1: 5.25",
                  "Gas injection time [ms] - bank 2: 0.00",
                  "Gas level %:  50",
                  "Status: Engine on",
                  "Power mode: Gas",
                  "System time [s]:  1280.00",
                  "Fuel: Gas",
              }));
}

TEST(FreezeFrame, NothingStored) {
    for (const QByteArray& data : {QByteArray(), Bytes({0x00, 0x00}), Bytes({0x00, 0x00, 0xBE, 0x06})})
        EXPECT_EQ(FreezeFrameLines(ParseFreezeFrame(data), 1), QStringList{"No freeze-frame data stored."});
}

TEST(FreezeFrame, ShortAnswerShowsOnlyWhatItHolds) {
    // Cut inside the second lambda byte's place: nothing after lambda 1 is shown, and
    // nothing is taken from a field the answer does not reach.
    const QStringList lines = FreezeFrameLines(ParseFreezeFrame(kRecord.left(13)), 1);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines.last(), "Lambda 1 [Volt]: 0.50");
    // A system time cut after its low half is not shown as a number of its own.
    const TFreezeFrame cut = ParseFreezeFrame(kRecord.left(32));
    EXPECT_TRUE(cut.PowerMode.has_value());
    EXPECT_FALSE(cut.SystemTime.has_value());
}

TEST(FreezeFrame, UnknownStatesGiveNoLine) {
    QByteArray record = kRecord;
    record[28] = 9;   // engine state
    record[29] = 13;  // power mode
    record[34] = 1;   // fuel
    const QStringList lines = FreezeFrameLines(ParseFreezeFrame(record), 1);
    EXPECT_FALSE(lines.join('\n').contains("Status:"));
    EXPECT_FALSE(lines.join('\n').contains("Power mode:"));
    EXPECT_EQ(lines.last(), "Fuel: Petrol");
}

TEST(FreezeFrame, LambdaVoltageByProbeType) {
    const struct {
        int Type;
        int Raw;
        double Volts;
    } cases[] = {
        {0, 255, 1.0}, {1, 51, 0.2},   {2, 51, 1.0},  {3, 51, 4.0},
        {3, 255, 0.0}, {4, 0, 0.8},    {4, 255, 1.6}, {5, 0, 4.0},
        {5, 255, 1.0}, {9, 255, 1.0},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(LambdaVoltage(c.Raw, c.Type), c.Volts, 1e-9) << "type " << c.Type << " raw " << c.Raw;
}
