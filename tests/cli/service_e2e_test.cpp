// The service subcommands of the command-line tool against the simulated ECU over a
// pseudo-terminal: what they print is checked against what the ECU holds, every change
// (--clear, --write, memory write) is read back, and a refusal and a silent ECU end with
// their own exit statuses.

#include "link/commands.h"
#include "service/troublecodes.h"
#include "sim/simserver.h"
#include "support/qtprinters.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "clirun.h"

using namespace ambrel;
using namespace ambrel::sim;
using ambrel::test::RunCli;
using ambrel::test::TRun;

namespace {

// A warm engine idling on gas, its clock stopped so that what the tool prints can be
// compared with what the ECU holds.
TEngineOptions WarmFrozenEngine() {
    TEngineOptions engine;
    engine.StartMs = 300000;
    engine.Frozen = true;
    return engine;
}

QJsonObject JsonOf(const TRun& run) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    return doc.object();
}

class ServiceCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorString().toStdString(); }
    TRun Run(const QStringList& args) { return RunCli(server.DeviceName(), args); }
    TSimServer server{WarmFrozenEngine()};
};

} // namespace

TEST_F(ServiceCli, TroubleCodesAreListedWithStatusAndDescriptionAndClearErasesThem) {
    server.Ecu().SetTroubleCodes({{0x3391, 1}, {0xF00A, 2}, {0x3170, 0}});
    TRun run = Run({"dtc"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
    EXPECT_EQ(lines[0], DtcStatusLine({0x3391, TDtcStatus::Present}));
    EXPECT_EQ(lines[1], DtcStatusLine({0xF00A, TDtcStatus::Stored}));
    EXPECT_EQ(lines[2], DtcStatusLine({0x3170, TDtcStatus::NotReady}));

    run = Run({"dtc", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray codes = JsonOf(run)["codes"].toArray();
    ASSERT_EQ(codes.size(), 3);
    EXPECT_EQ(codes[0]["code"].toString(), "P3391");
    EXPECT_EQ(codes[0]["status"].toString(), "present");
    EXPECT_EQ(codes[0]["description"].toString(), TroubleCodeDescription(0x3391).value());
    EXPECT_EQ(codes[1]["status"].toString(), "stored");
    EXPECT_EQ(codes[2]["code"].toString(), "P3170");
    EXPECT_EQ(codes[2]["status"].toString(), "not-ready");

    run = Run({"dtc", "--clear"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(NoTroubleCodeLine())) << run.out.toStdString();
    EXPECT_TRUE(server.Ecu().TroubleCodes().isEmpty());
    // Read back by a fresh run: the ECU holds nothing, and the freeze frame went with the codes.
    run = Run({"dtc", "--json"});
    EXPECT_TRUE(JsonOf(run)["codes"].toArray().isEmpty()) << run.out.toStdString();
    run = Run({"freeze-frame"});
    EXPECT_EQ(run.out.trimmed(), "No freeze-frame data stored.");
}

TEST_F(ServiceCli, CountersMatchTheEcuAndClearSetsThemToZero) {
    server.Ecu().SetCounters({412, 150, 59});
    const TEcuCounters held = server.Ecu().Counters();
    TRun run = Run({"counters", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonObject o = JsonOf(run);
    EXPECT_EQ(o["drivingCycles"].toInteger(), static_cast<qint64>(held.DrivingCycles));
    EXPECT_EQ(o["minutesOnGas"].toInteger(), static_cast<qint64>(held.MinutesOnGas));
    EXPECT_EQ(o["minutesOnPetrol"].toInteger(), static_cast<qint64>(held.MinutesOnPetrol));
    run = Run({"counters"});
    EXPECT_TRUE(run.out.contains(QStringLiteral("Driving cycles:    %1").arg(held.DrivingCycles)))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Minutes on gas:    %1 (%2)").arg(held.MinutesOnGas).arg(HoursMinutes(held.MinutesOnGas))))
        << run.out.toStdString();

    run = Run({"counters", "--clear"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = Run({"counters", "--json"});
    o = JsonOf(run);
    EXPECT_EQ(o["drivingCycles"].toInteger(), 0);
    EXPECT_EQ(o["minutesOnGas"].toInteger(), 0);
    EXPECT_EQ(o["minutesOnPetrol"].toInteger(), 0);
}

TEST_F(ServiceCli, VinIsWrittenUpperCasedAndReadBack) {
    TRun run = Run({"vin"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("VIN: ") + TSimEcu::kDefaultVin);

    run = Run({"vin", "--write", "wf0axxgcdax123456"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(server.Ecu().Vin(), "WF0AXXGCDAX123456");
    run = Run({"vin", "--json"});
    EXPECT_EQ(JsonOf(run)["vin"].toString(), "WF0AXXGCDAX123456");
}

TEST_F(ServiceCli, VinTheEcuCannotHoldIsRefusedBeforeAnythingIsSent) {
    for (const char* bad : {"WF0AXXGCDAX12345", "WF0AXXGCDAX1234567", "WF0AXXGCDAX1234\t6"}) {
        server.Ecu().ClearReceived();
        const TRun run = Run({"vin", "--write", QString::fromUtf8(bad)});
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_TRUE(run.err.contains("17")) << run.err.toStdString();
        EXPECT_TRUE(server.Ecu().Received().isEmpty()) << bad;
    }
    EXPECT_EQ(server.Ecu().Vin(), TSimEcu::kDefaultVin);
}

TEST_F(ServiceCli, FreezeFrameShowsTheFirstStoredCodeAndTheEngineAtThatMoment) {
    server.Ecu().SetTroubleCodes({{0x3161, 1}, {0x3391, 2}});
    TRun run = Run({"freeze-frame"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Error code: P3161\n")) << run.out.toStdString();
    run = Run({"freeze-frame", "--json"});
    const QJsonObject o = JsonOf(run);
    EXPECT_TRUE(o["stored"].toBool());
    EXPECT_EQ(o["code"].toString(), "P3161");
    EXPECT_EQ(o["rpm"].toInt(), 2450);
    EXPECT_NEAR(o["waterTemperatureC"].toDouble(), 82.0, 0.25);
    EXPECT_EQ(o["onPetrol"].toBool(), false);
}

TEST_F(ServiceCli, ComErrorsAreWordedByTheTableAndAnEmptyLogSaysSo) {
    server.Ecu().SetComErrors({0x0003, 0xF000, 0x1234});
    TRun run = Run({"com-errors"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed().split('\n'),
              (QStringList{EcuErrorLine(0x0003), EcuErrorLine(0xF000), EcuErrorLine(0x1234)}));
    run = Run({"com-errors", "--json"});
    const QJsonArray errors = JsonOf(run)["errors"].toArray();
    ASSERT_EQ(errors.size(), 3);
    EXPECT_EQ(errors[1]["code"].toInt(), 0xF000);
    EXPECT_EQ(errors[1]["description"].toString(), "Eeprom write error");

    server.Ecu().SetComErrors({});
    run = Run({"com-errors"});
    EXPECT_EQ(run.out.trimmed(), NoComErrorLine());
}

TEST_F(ServiceCli, EobdDecodesAWarmIdlingEngineAndPrintsTheRawAnswers) {
    const int rpm = server.Ecu().Engine().Values().Rpm;
    ASSERT_GT(rpm, 500);
    TRun run = Run({"eobd", "--count", "2", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray readings = JsonOf(run)["readings"].toArray();
    ASSERT_EQ(readings.size(), 2);
    QHash<QString, double> values;
    for (const QJsonValue& v : readings[1].toArray())
        values.insert(v["name"].toString(), v["value"].toDouble());
    EXPECT_DOUBLE_EQ(values.value("Engine_RPM"), rpm);
    EXPECT_NEAR(values.value("Engine coolant temperature", -100), 90, 3);
    EXPECT_DOUBLE_EQ(values.value("VehicleSpeedSensor", -1), 0);
    EXPECT_FALSE(values.contains("Engine speed")); // the scan record's value is not repeated

    run = Run({"eobd"});
    EXPECT_TRUE(run.out.contains(QStringLiteral("Engine_RPM = %1 rpm\n").arg(rpm))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QString::fromUtf8("Engine coolant temperature = "))) << run.out.toStdString();

    run = Run({"eobd", "--raw", "--count", "3"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const int rpm4 = rpm * 4;
    EXPECT_TRUE(lines[0].contains(QStringLiteral("41 0C %1 %2")
                                      .arg(rpm4 >> 8, 2, 16, QLatin1Char('0'))
                                      .arg(rpm4 & 0xFF, 2, 16, QLatin1Char('0'))
                                      .toUpper()))
        << lines[0].toStdString();
}

TEST_F(ServiceCli, MemoryWrittenIsReadBackAndWatched) {
    TRun run = Run({"memory", "write", "0x1234", "DEADBEEF01"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(server.Ecu().MemoryByte(0x1234), 0xDE);
    EXPECT_EQ(server.Ecu().MemoryByte(0x1238), 0x01);

    // 4660 is 0x1234: five bytes take a read of four and a read of one.
    run = Run({"memory", "read", "4660", "5"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), "0x001234: DE AD BE EF 01");
    run = Run({"memory", "read", "0x1235", "--json"});
    EXPECT_EQ(JsonOf(run)["bytes"].toString(), "AD");

    run = Run({"memory", "watch", "0x1234", "0x1237", "--count", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed().split('\n'),
              (QStringList{"0x001234=DE 0x001237=EF", "0x001234=DE 0x001237=EF"}));
}

TEST_F(ServiceCli, WrongArgumentsAreUsageErrorsWithNothingSent) {
    const QList<QStringList> bad = {
        {"memory", "read", "0x1000000"},          // beyond 24 bits
        {"memory", "read", "12ab"},               // neither decimal nor 0x
        {"memory", "read", "0x10", "0"},          // no bytes
        {"memory", "read", "0xFFFFFF", "2"},      // runs past the end
        {"memory", "write", "0x10", "ABC"},       // half a byte
        {"memory", "write", "0x10"},              // nothing to write
        {"memory", "watch", "0x10"},              // no --count
        {"memory", "erase", "0x10"},              // no such verb
        {"eobd", "--count", "0"},
        {"dtc", "--frobnicate"},
        {"counters", "extra"},
    };
    for (const QStringList& args : bad) {
        server.Ecu().ClearReceived();
        const TRun run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(run.err.isEmpty()) << args.join(' ').toStdString();
        EXPECT_TRUE(server.Ecu().Received().isEmpty()) << args.join(' ').toStdString();
    }
}

TEST_F(ServiceCli, PinoutIsPrintedOfflineForOneBoardOrBoth) {
    TRun run = RunCli({}, {"pinout", "--board", "wux"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 57);
    EXPECT_EQ(lines[0], "WUX-04 K35F62T9");
    EXPECT_TRUE(lines[1].startsWith(" 1 : ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[56].startsWith("56 : ")) << lines[56].toStdString();

    run = RunCli({}, {"pinout", "--json"});
    const QJsonArray boards = JsonOf(run)["boards"].toArray();
    ASSERT_EQ(boards.size(), 2);
    EXPECT_EQ(boards[0]["board"].toString(), "TOLA-04 K27B51T6");
    EXPECT_EQ(boards[0]["pins"].toArray().size(), 56);

    run = RunCli({}, {"pinout", "--board", "nothing-like-it"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("WUX-04 K35F62T9")) << run.err.toStdString();
}

TEST_F(ServiceCli, ARefusalEndsWithStatusFourAndASilentEcuWithStatusThree) {
    struct Case {
        QStringList args;
        quint16 code; // the first request of the subcommand's own
    };
    const Case cases[] = {
        {{"dtc"}, cmdTroubleCodes},
        {{"counters", "--clear"}, cmdCounters},
        {{"vin", "--write", "WF0AXXGCDAX123456"}, cmdVIN},
        {{"freeze-frame"}, cmdReadFreezeFrame},
        {{"com-errors"}, cmdReadComErrors},
        {{"eobd"}, cmdReadOBD},
        {{"memory", "read", "0x10"}, cmdReadMemory},
        {{"memory", "write", "0x10", "AA"}, cmdWriteMemory},
    };
    for (const Case& c : cases) {
        const std::string what = c.args.join(' ').toStdString();
        TSimFaults nack;
        nack.NackCodes = {c.code};
        server.Ecu().SetFaults(nack);
        TRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 4) << what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("refused " + CommandName(c.code))) << what << ": " << run.err.toStdString();

        // Silent from the subcommand's first request on: the connection itself went well.
        server.Ecu().SetFaults({});
        server.Ecu().ClearReceived();
        ASSERT_EQ(Run(c.args).exitCode, 0) << what;
        qsizetype before = 0;
        while (before < server.Ecu().Received().size() && server.Ecu().Received()[before].Code != c.code)
            ++before;
        TSimFaults silent;
        silent.SilenceAfter = static_cast<int>(before);
        server.Ecu().SetFaults(silent);
        run = Run(c.args);
        EXPECT_EQ(run.exitCode, 3) << what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("no answer to " + CommandName(c.code))) << what << ": " << run.err.toStdString();
        server.Ecu().SetFaults({});
    }
}
