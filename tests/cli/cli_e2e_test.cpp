// The command-line tool against the simulated ECU over a real pseudo-terminal, with clean
// lines and with each fault switched on. The simulator runs in this process, so the test
// sees exactly what reached it; the tool runs as its own process.

#include "link/commands.h"
#include "sim/simserver.h"
#include "support/qtprinters.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include "clirun.h"

using namespace ambrel;
using namespace ambrel::sim;
using ambrel::test::RunCli;
using ambrel::test::TRun;

namespace {

class CliEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorString().toStdString(); }
    QList<quint16> ReceivedCodes() {
        QList<quint16> codes;
        for (const TReceivedRequest& r : server.Ecu().Received())
            codes << r.Code;
        return codes;
    }
    TSimServer server;
};

} // namespace

TEST_F(CliEndToEnd, IdentSucceedsOnACleanLineAndDespiteEachFault) {
    struct Case {
        const char* what;
        TSimFaults faults;
    };
    const auto faults = [](auto set) {
        TSimFaults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"clean line", {}},
        {"corrupt checksums", faults([](TSimFaults& f) { f.CorruptEvery = 2; })},
        {"incomplete frames", faults([](TSimFaults& f) { f.IncompleteEvery = 3; })},
        {"echoes", faults([](TSimFaults& f) { f.EchoEvery = 2; })},
        {"dropped requests", faults([](TSimFaults& f) { f.DropEvery = 3; })},
        {"slow answers at 9600 baud", faults([](TSimFaults& f) {
             f.AnswerDelayMs = 30;
             f.PacingBaud = 9600;
         })},
        // Together, chosen so that no request meets three counted failures in a row (an echo
        // or a drop counts, a corrupt or cut-short answer does not): that would rightly fail.
        {"all of them", faults([](TSimFaults& f) {
             f.CorruptEvery = 5;
             f.IncompleteEvery = 7;
             f.EchoEvery = 9;
             f.DropEvery = 11;
         })},
    };
    for (const Case& c : cases) {
        server.Ecu().SetFaults(c.faults);
        server.Ecu().ClearReceived();
        const TRun run = RunCli(server.DeviceName(), {"ident"});
        EXPECT_EQ(run.exitCode, 0) << c.what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("Identification:   WUX-04 1.4.12 K35F62T9")) << c.what;
        EXPECT_TRUE(run.out.contains("Hardware version: 4")) << c.what;
        EXPECT_TRUE(run.out.contains("Strategy:         Slave")) << c.what;
        EXPECT_TRUE(ReceivedCodes().contains(cmdReadIdent)) << c.what;
    }
}

TEST_F(CliEndToEnd, SilentEcuEndsWithStatusThreeAfterThreeTransmissions) {
    TSimFaults f;
    f.SilenceAfter = 0;
    server.Ecu().SetFaults(f);
    const TRun run = RunCli(server.DeviceName(), {"ident"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("does not answer")) << run.err.toStdString();
    const auto& received = server.Ecu().Received();
    ASSERT_EQ(received.size(), 3);
    for (const TReceivedRequest& r : received)
        EXPECT_EQ(r.Code, cmdCheckConnection);
    // 47 and 48 ticks of 10 ms; the process's timer is not exact, so allow for scheduling.
    for (int i = 1; i < 3; ++i) {
        const qint64 gap = received[i].ElapsedMs - received[i - 1].ElapsedMs;
        EXPECT_GE(gap, 455) << i;
        EXPECT_LE(gap, 560) << i;
    }
}

TEST_F(CliEndToEnd, RefusedIdentificationEndsWithStatusFour) {
    TSimFaults f;
    f.NackCodes = {cmdReadIdent};
    server.Ecu().SetFaults(f);
    const TRun run = RunCli(server.DeviceName(), {"ident"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(run.err.contains("refused")) << run.err.toStdString();
}

TEST_F(CliEndToEnd, RawPrintsTheAnswerAndReportsUsageErrors) {
    TRun run = RunCli(server.DeviceName(), {"raw", "0x0007"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.trimmed(), "FFF8:");
    run = RunCli(server.DeviceName(), {"raw", "cmdReadMemory", "34 12 00 02"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("7695: 34 12 00 02")) << run.out.toStdString();
    for (const QStringList& bad : {QStringList{"raw"}, QStringList{"raw", "0x1FFFF"}, QStringList{"raw", "7", "ABC"},
                                   QStringList{"frobnicate"}}) {
        run = RunCli(server.DeviceName(), bad);
        EXPECT_EQ(run.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_FALSE(run.err.isEmpty());
    }
    TSimFaults f;
    f.NackCodes = {cmdReadFreezeFrame};
    server.Ecu().SetFaults(f);
    run = RunCli(server.DeviceName(), {"raw", "cmdReadFreezeFrame"});
    EXPECT_EQ(run.exitCode, 4);
}

TEST_F(CliEndToEnd, PortThatCannotBeOpenedIsReported) {
    // The named port and the system's reason; no other port is tried in its place.
    const TRun run = RunCli("/dev/ambrel-no-such-port", {"ident"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains("cannot open /dev/ambrel-no-such-port: No such file or directory"))
        << run.err.toStdString();
    const TRun null = RunCli("/dev/null", {"--verbose", "ident"});
    EXPECT_EQ(null.exitCode, 3);
    EXPECT_TRUE(null.err.contains("cannot open /dev/null: ")) << null.err.toStdString();
    EXPECT_FALSE(null.err.endsWith(": \n")) << null.err.toStdString(); // a reason is given
    EXPECT_FALSE(null.err.contains("Trying on /dev/ttyS")) << null.err.toStdString();
}
