// The live-measurement subcommands against the simulated ECU over a pseudo-terminal. The
// simulator's engine stands still (frozen), so what the tool prints can be held against
// the engine model's own values in every poll mode; a recording made by the tool is read
// back by the tool.

#include "config/datamap.h"
#include "sim/simserver.h"
#include "support/qtprinters.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "clirun.h"

using namespace ambrel;
using namespace ambrel::sim;
using ambrel::test::RunCli;
using ambrel::test::TRun;

namespace {

// On gas, half way up a blip of the throttle: every measure has a value worth checking.
TEngineOptions FrozenOnGas() {
    TEngineOptions o;
    o.Frozen = true;
    o.StartMs = 48000;
    return o;
}

class MeasureEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorString().toStdString(); }
    QJsonObject Status(const char* mode) {
        const TRun run = RunCli(server.DeviceName(), {"status", "--mode", mode, "--json"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
        return doc.object();
    }
    TSimServer server{FrozenOnGas()};
};

double At(const QJsonObject& o, const char* key, int index) {
    return o.value(QLatin1String(key)).toArray().at(index).toDouble();
}

} // namespace

TEST_F(MeasureEndToEnd, StatusInEachModeShowsWhatTheEngineModelPutOnTheWire) {
    const TEngineValues v = server.Ecu().Engine().Values();
    ASSERT_FALSE(v.OnPetrol);

    const QJsonObject min = Status("min");
    EXPECT_EQ(min.value("RPM").toInt(), v.Rpm);
    EXPECT_EQ(min.value("MAP").toDouble(), v.MapMbar);
    EXPECT_EQ(min.value("GasPressure").toInt(), v.GasPressureMbar);
    EXPECT_EQ(min.value("GasPressure2").toInt(), v.GasPressure2Mbar);
    EXPECT_EQ(min.value("EngineState").toInt(), v.EngineState);
    EXPECT_EQ(min.value("OnPetrol").toBool(), v.OnPetrol);
    EXPECT_EQ(min.value("SolenoidOpen").toBool(), v.SolenoidOpen);
    EXPECT_NEAR(min.value("ReducerTemp").toDouble(), v.ReducerTempC, 0.125);
    EXPECT_NEAR(min.value("BatteryVoltage").toDouble(), v.BatteryV, 0.005);
    EXPECT_NEAR(min.value("FuelTrim1").toDouble(), v.FuelTrim1Pct, 0.002);
    EXPECT_NEAR(min.value("TankLevel").toDouble(), v.TankLevelPct, 0.2);
    EXPECT_NEAR(At(min, "PetrolTime", 0), v.PetrolTimeMs[0], 0.0005);
    EXPECT_NEAR(At(min, "GasTime", 0), v.GasTimeMs[0], 0.0005);

    const QJsonObject standard = Status("standard");
    EXPECT_EQ(standard.value("RPM").toInt(), v.Rpm);
    for (int c = 0; c < 8; ++c) {
        const auto i = static_cast<std::size_t>(c);
        EXPECT_NEAR(At(standard, "PetrolTime", c), v.PetrolTimeMs[i], 0.0005) << c;
        EXPECT_NEAR(At(standard, "GasInjectorTime", c), v.GasTimeMs[i], 0.0005) << c;
        EXPECT_NEAR(At(standard, "InjectorCurrent", c), v.InjectorCurrentA[i], 0.005) << c;
    }
    EXPECT_NEAR(standard.value("TPSVoltage").toDouble(), v.TpsVolts, 5.0 / 255);
    EXPECT_NEAR(standard.value("Lambda1").toDouble(), v.Lambda1V, 0.5 / 255);
    EXPECT_NEAR(standard.value("SupplyVoltage").toDouble(), v.SupplyV, 0.005);
    EXPECT_NEAR(standard.value("LevelSensorVoltage").toDouble(), v.LevelSensorV, 0.003);
    EXPECT_EQ(standard.value("GasDelay").toDouble(), v.GasDelayMs);
    EXPECT_EQ(standard.value("SolenoidOpen").toBool(), !v.OnPetrol);

    const QJsonObject extended = Status("extended");
    EXPECT_EQ(extended.value("RPM").toInt(), v.Rpm);
    EXPECT_EQ(extended.value("GasPressure2").toInt(), v.GasPressure2Mbar);
    for (int c = 0; c < 8; ++c)
        EXPECT_NEAR(At(extended, "PetrolTime", c), v.PetrolTimeMs[static_cast<std::size_t>(c)], 0.0005) << c;
    EXPECT_NEAR(At(extended, "GasInjectorTime", 0), v.GasTimeMs[0], 0.0005); // from the standard reply
    EXPECT_EQ(extended.keys(), standard.keys());
}

TEST_F(MeasureEndToEnd, StatusScalesTheSensorsAsTheEcuIsConfigured) {
    // An ECU with a 0.8 - 1.6 Volt lambda probe and a reversed (5 - 0 Volt) throttle sensor.
    TDataMap configured;
    configured.LambdaType = 4;
    configured.TPSType = 2;
    configured.EncodeImage();
    ASSERT_TRUE(server.Ecu().SetBlockImage(configured.RawData().BuildBlock(1, 1)));
    const TEngineValues v = server.Ecu().Engine().Values();
    const QJsonObject standard = Status("standard");
    EXPECT_NEAR(standard.value("Lambda1").toDouble(), 0.8 + 0.8 * v.Lambda1V, 0.5 / 255);
    EXPECT_NEAR(standard.value("TPSVoltage").toDouble(), 5 - v.TpsVolts, 5.0 / 255);
}

TEST_F(MeasureEndToEnd, StatusPrintsUnitsAndRejectsBadArguments) {
    const TRun run = RunCli(server.DeviceName(), {"status", "--mode", "min"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QRegularExpression("RPM: +\\d+ rpm"))) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("(Engine on)")) << run.out.toStdString();
    for (const QStringList& bad : {QStringList{"status", "--mode", "fast"}, QStringList{"status", "--count", "0"},
                                   QStringList{"record", "--seconds", "x", "f.txt"}}) {
        const TRun r = RunCli(server.DeviceName(), bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString();
    }
}

TEST_F(MeasureEndToEnd, RecordedFileIsReadBackByTraceInfo) {
    QTemporaryDir dir;
    const QString path = dir.filePath("drive.txt");
    const TRun record = RunCli(server.DeviceName(), {"record", "--seconds", "3", path});
    ASSERT_EQ(record.exitCode, 0) << record.err.toStdString();
    const TRun info = RunCli({}, {"trace-info", path});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains("Traces:    41")) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("Revs [RPM]\t10000.0")) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("Press. [mbar]\t2000.0")) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("Time span: 0.00 to ")) << info.out.toStdString();
    // A refresh every 150 ms for 3 s.
    const QRegularExpressionMatch lines = QRegularExpression("Lines: +(\\d+)").match(info.out);
    ASSERT_TRUE(lines.hasMatch());
    EXPECT_GE(lines.captured(1).toInt(), 10);
    EXPECT_LE(lines.captured(1).toInt(), 21);

    const TRun missing = RunCli({}, {"trace-info", dir.filePath("none.txt")});
    EXPECT_EQ(missing.exitCode, 1);
}
