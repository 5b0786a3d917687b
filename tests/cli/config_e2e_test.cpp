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
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// A reply that comes just after its time-out is answered twice (the late answer and the
// answer to the retry). Whatever the delay, a read either saves exactly what the ECU holds
// or fails with status 3 and keeps the old file: never a wrong file with status 0.
TEST_F(ConfigEndToEnd, LateRepliesNeverPutAWrongBlockIntoTheFile) {
    const TRun clean = RunCli(server.DeviceName(), {"read-config", Path("ecu.cfg")});
    ASSERT_EQ(clean.exitCode, 0) << clean.err.toStdString();
    const QByteArray ecu = ReadAll(Path("ecu.cfg"));
    for (const int delay : {440, 460, 480, 520, 800}) {
        QFile old(Path("old.cfg"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older file");
        old.close();
        TSimFaults f;
        f.AnswerDelayMs = delay;
        server.Ecu().SetFaults(f);
        const TRun read = RunCli(server.DeviceName(), {"read-config", Path("old.cfg")}, 120000);
        const QByteArray saved = ReadAll(Path("old.cfg"));
        if (read.exitCode == 0) {
            EXPECT_EQ(saved, ecu) << delay << " ms";
        } else {
            EXPECT_EQ(read.exitCode, 3) << delay << " ms: " << read.err.toStdString();
            EXPECT_EQ(saved, "an older file") << delay << " ms";
        }
    }
}

// Only a complete configuration file reaches the ECU: anything else is refused before a
// single block is written.
TEST_F(ConfigEndToEnd, MalformedFilesAreNeverWritten) {
    const TRun read = RunCli(server.DeviceName(), {"read-config", Path("good.cfg")});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    const QByteArray good = ReadAll(Path("good.cfg"));
    QByteArray random(1388, '\0');
    for (qsizetype i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 7919 + 13) % 251);
    const auto write = [this](const char* name, const QByteArray& bytes) {
        QFile f(Path(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return Path(name);
    };
    QDir(dir.path()).mkdir("folder");
    const QString unreadable = write("unreadable.cfg", good);
    QFile::setPermissions(unreadable, QFileDevice::Permissions());
    struct Case {
        const char* what;
        QString path;
    };
    const Case cases[] = {
        {"cut after the header", write("h.cfg", good.left(8))},
        {"cut inside block 4, bank 2", write("c1.cfg", good.left(600))},
        {"cut one byte short", write("c2.cfg", good.left(good.size() - 1))},
        {"random bytes", write("r.cfg", random)},
        {"zeros", write("z.cfg", QByteArray(1388, '\0'))},
        {"unknown tag", write("t.cfg", QByteArray(good).replace(4, 4, "LPG "))},
        {"count 255", write("n.cfg", QByteArray(good).replace(8, 1, "\xFF"))},
        {"a folder", Path("folder")},
        {"missing", Path("missing.cfg")},
        {"unreadable (or, for root, complete and written)", unreadable},
    };
    int writes = 0, requests = 0;
    QObject::connect(&server, &TSimServer::RequestReceived, &server, [&](quint16 code) {
        ++requests;
        if (code == cmdWriteBlock)
            ++writes;
    });
    for (const Case& k : cases) {
        writes = requests = 0;
        const TRun run = RunCli(server.DeviceName(), {"write-config", k.path});
        if (k.path == unreadable && QFileInfo(unreadable).isReadable())
            continue; // root reads any file: this one is complete and may be written
        EXPECT_TRUE(run.exitCode == 1 || run.exitCode == 2) << k.what << ": " << run.exitCode;
        EXPECT_TRUE(run.err.contains("error:")) << k.what;
        EXPECT_EQ(writes, 0) << k.what << ": " << run.err.toStdString();
        EXPECT_EQ(requests, 0) << k.what; // refused before the port was even opened
    }
}

// Every second answer breaks off: the failed block writes go a second time. The write
// ends with every block written, or names the blocks the ECU may now hold wrongly.
TEST_F(ConfigEndToEnd, FailedBlockWritesAreRetriedOrNamed) {
    const TRun read = RunCli(server.DeviceName(), {"read-config", Path("mine.cfg")});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    WriteEdited(Path("mine.cfg"), Path("edited.cfg"));
    TSimFaults f;
    f.IncompleteEvery = 2;
    server.Ecu().SetFaults(f);
    const TRun write = RunCli(server.DeviceName(), {"write-config", Path("edited.cfg")});
    server.Ecu().SetFaults({});
    if (write.exitCode == 0) {
        const TRun again = RunCli(server.DeviceName(), {"read-config", Path("again.cfg")});
        ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
        EXPECT_EQ(ReadAll(Path("again.cfg")), ReadAll(Path("edited.cfg")));
    } else {
        EXPECT_EQ(write.exitCode, 3);
        EXPECT_TRUE(write.err.contains("may now be wrong in the ECU: block")) << write.err.toStdString();
    }
}

// The ECU's side of the line goes away in the middle of a transfer: the transfer ends
// there, naming the port, and nothing is saved.
TEST_F(ConfigEndToEnd, APulledCableEndsTheTransferOnItsPort) {
    const TRun first = RunCli(server.DeviceName(), {"read-config", Path("mine.cfg")});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    for (const char* command : {"read-config", "write-config"}) {
        int blocks = 0;
        auto c = QObject::connect(&server, &TSimServer::RequestReceived, &server, [&](quint16 code) {
            if ((code == cmdReadBlock || code == cmdWriteBlock) && ++blocks == 6)
                server.Unplug();
        });
        const QString target = QString::fromLatin1(command) == "read-config" ? Path("new.cfg") : Path("mine.cfg");
        const TRun run = RunCli(server.DeviceName(), {command, target});
        QObject::disconnect(c);
        EXPECT_EQ(run.exitCode, 3) << command << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(server.DeviceName())) << command << ": " << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("Wrote")) << command;
        EXPECT_FALSE(QFile::exists(Path("new.cfg"))) << command;
        ASSERT_TRUE(server.Start()); // a fresh line for the next round
    }
}
