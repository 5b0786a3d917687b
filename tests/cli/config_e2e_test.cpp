// The configuration subcommands against the simulated ECU over a real pseudo-terminal:
// a configuration read, edited, written and read again comes back byte for byte, on a
// clean line and despite line faults; a silent or refusing ECU is reported and no file
// is touched.

#include "config/cfgfile.h"
#include "config/datamap.h"
#include "link/commands.h"
#include "sim/simserver.h"
#include "support/qtprinters.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "clirun.h"

using namespace ambrel;
using namespace ambrel::sim;
using ambrel::test::RunCli;
using ambrel::test::TRun;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ConfigEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorString().toStdString(); }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    // From the next request of this code on, the ECU answers nothing more.
    void SilenceFrom(quint16 code) {
        QObject::connect(&server, &TSimServer::RequestReceived, &server, [this, code](quint16 received) {
            if (received == code && server.Ecu().Faults().SilenceAfter < 0) {
                TSimFaults f;
                f.SilenceAfter = 0;
                server.Ecu().SetFaults(f);
            }
        });
    }
    // An edited copy of a configuration file, under the other strategy.
    void WriteEdited(const QString& from, const QString& to) {
        TDataMap model;
        ASSERT_TRUE(model.LoadFromFile(from).Ok());
        model.StrategyFlag = model.StrategyFlag == strategySlave ? strategyCompensated : strategySlave;
        model.CarModel = "Edited 2.0";
        model.SwitchRPM = 2500;
        model.Rapporti_Slave_banco2[3][4] = 1.25;
        model.TempiGas_Comp_banco1[11][8] = 20.4;
        model.PressioneIniettori[0] = 1300;
        ASSERT_TRUE(model.SaveToFile(to).Ok());
    }
    TSimServer server;
    QTemporaryDir dir;
};

} // namespace

TEST_F(ConfigEndToEnd, EditedConfigurationWrittenAndReadBackIsTheSameFile) {
    struct Case {
        const char* what;
        TSimFaults faults;
    };
    TSimFaults faulty;
    faulty.CorruptEvery = 9;
    faulty.DropEvery = 13;
    for (const Case& c : {Case{"clean line", {}}, Case{"corrupt checksums and dropped requests", faulty}}) {
        server.Ecu().SetFaults(c.faults);
        const TRun first = RunCli(server.DeviceName(), {"read-config", Path("first.cfg")});
        ASSERT_EQ(first.exitCode, 0) << c.what << ": " << first.err.toStdString();
        EXPECT_TRUE(first.err.contains("Upload complete")) << c.what;
        ASSERT_EQ(ReadAll(Path("first.cfg")).size(), kConfigFileSize) << c.what;

        WriteEdited(Path("first.cfg"), Path("edited.cfg"));
        const QByteArray edited = ReadAll(Path("edited.cfg"));
        const TRun write = RunCli(server.DeviceName(), {"write-config", Path("edited.cfg")});
        ASSERT_EQ(write.exitCode, 0) << c.what << ": " << write.err.toStdString();
        EXPECT_TRUE(write.err.contains("Download complete")) << c.what;

        const TRun again = RunCli(server.DeviceName(), {"read-config", Path("again.cfg")});
        ASSERT_EQ(again.exitCode, 0) << c.what << ": " << again.err.toStdString();
        EXPECT_EQ(ReadAll(Path("again.cfg")), edited) << c.what;
        EXPECT_NE(edited, ReadAll(Path("first.cfg"))) << c.what;
        QFile::rename(Path("again.cfg"), Path("first.cfg")); // the next round edits it back
        QFile::remove(Path("first.cfg"));
    }
}

TEST_F(ConfigEndToEnd, UnansweredWritesFailWithStatusThreeAndTouchNoFile) {
    const TRun read = RunCli(server.DeviceName(), {"read-config", Path("mine.cfg")});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    const QByteArray mine = ReadAll(Path("mine.cfg"));
    SilenceFrom(cmdWriteBlock);
    const TRun write = RunCli(server.DeviceName(), {"write-config", Path("mine.cfg")});
    EXPECT_EQ(write.exitCode, 3);
    EXPECT_TRUE(write.err.contains("Download failed: check connections.")) << write.err.toStdString();
    EXPECT_EQ(ReadAll(Path("mine.cfg")), mine);
}

TEST_F(ConfigEndToEnd, UnansweredReadsLeaveTheTargetFileAlone) {
    QFile old(Path("old.cfg"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older file");
    old.close();
    SilenceFrom(cmdReadBlock);
    const TRun read = RunCli(server.DeviceName(), {"read-config", Path("old.cfg")});
    EXPECT_EQ(read.exitCode, 3);
    EXPECT_TRUE(read.err.contains("could not be read")) << read.err.toStdString();
    EXPECT_EQ(ReadAll(Path("old.cfg")), "an older file");
}

TEST_F(ConfigEndToEnd, RefusedWritesEndWithStatusFour) {
    const TRun read = RunCli(server.DeviceName(), {"read-config", Path("mine.cfg")});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    TSimFaults f;
    f.NackCodes = {cmdWriteBlock};
    server.Ecu().SetFaults(f);
    const TRun write = RunCli(server.DeviceName(), {"write-config", Path("mine.cfg")});
    EXPECT_EQ(write.exitCode, 4);
    EXPECT_TRUE(write.err.contains("refused")) << write.err.toStdString();
}

TEST_F(ConfigEndToEnd, ShowConfigPrintsUnitsMapsAndJsonOffline) {
    TDataMap model;
    model.CarMake = "Maker";
    ASSERT_TRUE(model.SaveToFile(Path("show.cfg")).Ok());
    TRun run = RunCli({}, {"show-config", Path("show.cfg")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("CarMake: Maker"));
    EXPECT_TRUE(run.out.contains("SwitchRPM: 1800 rpm"));
    EXPECT_TRUE(run.out.contains("Giri_Slave (rpm): 500 1000 1500 2000 2500 3000 4000 5000 6000"));
    run = RunCli({}, {"show-config", Path("show.cfg"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(o["SwitchRPM"].toObject()["value"].toDouble(), 1800);
    EXPECT_EQ(o["SwitchRPM"].toObject()["unit"].toString(), "rpm");
    EXPECT_EQ(o["Buzzer"].toObject()["value"].toBool(), true);
    EXPECT_EQ(o["Rapporti_Slave_banco1"].toObject()["values"].toArray().size(), 12);
    EXPECT_EQ(o["Rapporti_Slave_banco1"].toObject()["values"].toArray()[0].toArray().size(), 9);
    EXPECT_EQ(o["PressioneGas"].toObject()["values"].toArray().size(), 15);
    EXPECT_EQ(RunCli({}, {"show-config", Path("missing.cfg")}).exitCode, 1);
    EXPECT_EQ(RunCli({}, {"show-config"}).exitCode, 2);
}
