// What the tool must do before and around talking to the ECU: refuse wrong arguments
// before it opens anything, and leave the window's stored settings as they were.

#include "sim/simserver.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "clirun.h"

using namespace ambrel;
using namespace ambrel::sim;
using ambrel::test::RunCli;
using ambrel::test::TRun;

namespace {

class CliWorkflow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorString().toStdString(); }
    TSimServer server;
};

} // namespace

TEST_F(CliWorkflow, WrongArgumentsEndWithStatusTwoBeforeTheEcuIsAsked) {
    // A silent ECU: a tool that connected first would end with status 3 after its retries.
    TSimFaults silent;
    silent.SilenceAfter = 0;
    server.Ecu().SetFaults(silent);
    const QStringList cases[] = {
        {"raw", "zz"},
        {"raw", "7", "abc"},
        {"raw", "cmdNoSuchCommand"},
        {"raw", "0x0007", "123"}, // half a byte
        {"status", "--count", "abc"},
        {"status", "--count", "0"},
        {"status", "--mode", "fast"},
        {"status", "--json", "--mode"},
        {"record", "--seconds", "x", "f.txt"},
        {"record", "f.txt", "--seconds", "-1"},
    };
    for (const QStringList& args : cases) {
        server.Ecu().ClearReceived();
        const TRun run = RunCli(server.DeviceName(), args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith("error: ")) << args.join(' ').toStdString();
        EXPECT_TRUE(server.Ecu().Received().isEmpty()) << args.join(' ').toStdString();
    }
}

TEST_F(CliWorkflow, ConnectingLeavesTheWindowsStoredPortAlone) {
    // The tool gets a settings folder of its own in which the window left its port.
    QTemporaryDir home;
    const QString file = QDir(home.path()).filePath("Norvane/Ambrel Q7.conf");
    {
        QSettings window(file, QSettings::IniFormat);
        window.setValue("COM_Port", 3);
        window.setValue("COM_PortName", "/dev/ttyUSB0");
        window.setValue("COM_Autoscan", 1);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.path());
    for (const QStringList& args : {QStringList{"--port", server.DeviceName(), "ident"}, QStringList{"--sim", "ident"}}) {
        const TRun run = RunCli({}, args, 60000, environment);
        ASSERT_EQ(run.exitCode, 0) << args.join(' ').toStdString() << ": " << run.err.toStdString();
        QSettings window(file, QSettings::IniFormat);
        EXPECT_EQ(window.value("COM_Port").toInt(), 3) << args.join(' ').toStdString();
        EXPECT_EQ(window.value("COM_PortName").toString(), "/dev/ttyUSB0") << args.join(' ').toStdString();
        EXPECT_EQ(window.value("COM_Autoscan").toInt(), 1) << args.join(' ').toStdString();
    }
}
