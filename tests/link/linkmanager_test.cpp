#include "link/commands.h"
#include "link/linkmanager.h"
#include "session/linktexts.h"
#include "link/settings.h"
#include "support/fakeport.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>
#include <memory>

using namespace ambrel;
using ambrel::test::TFakePortDirectory;
using ambrel::test::TFakeSerialPort;

namespace {

struct TRecorder final : TConsumerInterface {
    QStringList events;
    QList<quint8> flags;
    QList<QByteArray> data;
    void OnReply(const TFrame& reply) override {
        events << QStringLiteral("reply %1").arg(HexWord(reply.Code()));
        flags << reply.Flag;
        data << reply.FrameDataPart();
    }
    void OnFailure() override { events << "failure"; }
    void OnTimeout() override { events << "timeout"; }
};

class LinkManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Ports = {"COM1", "COM3"};
        // The words are the window's; the tests read the events through them.
        QObject::connect(&link, &TLinkManager::StateChanged, [this](const TLinkStateEvent& e) {
            panel0 << LinkStateText(e);
            if (e.State == TLinkState::NotConnected)
                panel1 << QString();
        });
        QObject::connect(&link, &TLinkManager::ComEvent, [this](const TComMessage& m) { com << ComMessageText(m); });
        QObject::connect(&link, &TLinkManager::Notice, [this](TLinkNotice n) {
            if (LinkNoticeMilliseconds(n) > 0)
                timed << QStringLiteral("%1/%2").arg(LinkNoticeText(n)).arg(LinkNoticeMilliseconds(n));
            else
                errors << LinkNoticeText(n);
        });
    }
    // No Shutdown() here: it tells waiting requesters, and a test's own ones are gone by now.

    void Start(const QString& portName = "COM3") { link.Start(portName, false); }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            link.Tick();
    }
    // Ticks until the port has seen `count` writes in all; returns the ticks taken.
    int TickUntilWritten(qsizetype count, int limit = 1000) {
        int ticks = 0;
        while (port.Written.size() < count && ticks < limit) {
            link.Tick();
            ++ticks;
        }
        return ticks;
    }
    void Reply(quint16 requestCode, const QByteArray& data = {}, int fragment = 0) {
        port.FeedPayload(MakePayload(ReplyCodeFor(requestCode), data), fragment);
        link.DeliverPendingReplies();
    }
    // Answers the connection check and lets the connecting sequence be queued.
    void Connect() {
        link.CheckConnection();
        TickUntilWritten(port.Written.size() + 1);
        Reply(cmdCheckConnection);
    }

    // Connected, with the periodic polls off so that only the test's requests go out.
    void ConnectQuietly() {
        Connect();
        link.FlushLink();
        link.StopPolling();
        port.Written.clear();
    }

    TFakeSerialPort port;
    TFakePortDirectory dir;
    TMemorySettingsStore settings;
    TLinkManager link{port, dir, settings};
    QStringList panel0, panel1, com, timed, errors;
};

} // namespace

TEST_F(LinkManagerTest, WaitingHeadLeavesWithinSixTicksAndSilenceTimesOutAfterThreeTransmissions) {
    Start();
    TRecorder head, behind;
    link.QueueCommand(Payload::Plain(cmdCheckConnection), &head);
    link.QueueCommand(Payload::Plain(cmdReadIdent), &behind);
    link.QueueCommand(Payload::Plain(cmdReadIdent), &behind);

    QList<int> sentAt;
    for (int tick = 1; tick <= 200 && head.events.isEmpty(); ++tick) {
        const auto before = port.Written.size();
        link.Tick();
        if (port.Written.size() > before)
            sentAt << tick;
    }
    // The first retransmission leaves 47 ticks after the first transmission; the second 48
    // after that, because the time-out tick reloads the timer without counting itself.
    EXPECT_EQ(sentAt, (QList<int>{6, 53, 101}));
    EXPECT_EQ(port.WrittenCodes(), (QList<quint16>{0x0007, 0x0007, 0x0007}));
    EXPECT_EQ(head.events, QStringList{"timeout"});
    EXPECT_EQ(behind.events, (QStringList{"failure", "failure"}));
    EXPECT_TRUE(link.Queue().IsEmpty());
    EXPECT_TRUE(link.Queue().Enabled());
    EXPECT_FALSE(link.ECUisConnected());
    EXPECT_TRUE(panel0.contains("ECU not connected on COM3"));
    EXPECT_EQ(panel1.last(), "");
}

TEST_F(LinkManagerTest, FirstGoodAnswerConnectsAndQueuesTheConnectingSequenceInOrder) {
    Start();
    // The other layers add their part of the sequence when the link says it connected.
    QObject::connect(&link, &TLinkManager::EcuConnected, [this] {
        link.SendCommand(Payload::SolenoidDisable(false));
        for (int block = 1; block <= kBlockCount; ++block) {
            link.SendCommand(Payload::ReadBlock(block, 1), nullptr, 1);
            if (IsBankedBlock(block))
                link.SendCommand(Payload::ReadBlock(block, 2), nullptr, 1);
        }
        link.SendCommand(Payload::ReadBlock(1, 1));
        link.SendCommand(Payload::CountersRead());
    });
    TRecorder early;
    link.SendCommand(Payload::Plain(cmdReadFreezeFrame), &early); // puts a check in front
    EXPECT_EQ(link.Queue().Count(), 2);
    Tick(6);
    ASSERT_EQ(port.WrittenCodes(), QList<quint16>{0x0007});
    Reply(cmdCheckConnection);
    EXPECT_TRUE(link.ECUisConnected());
    EXPECT_EQ(early.events, QStringList{"failure"}); // connecting clears what waited
    EXPECT_EQ(link.Queue().Count(), 2 + 1 + 16 + 1 + 1);
    EXPECT_EQ(settings.ReadInteger(kSettingsKey, "COM_Port"), 3);

    // Answer every request in turn and record what went out.
    QList<QByteArray> sent;
    while (!link.Queue().IsEmpty()) {
        TickUntilWritten(port.Written.size() + 1);
        const QByteArray frame = port.Frames().last();
        if (FrameCode(frame) != cmdReadStatusMin) // the status poll runs once connected
            sent << frame.mid(4, frame.size() - 7); // the payload: code and data
        // Block and counters answers name what they answer: the request's data leads them.
        Reply(FrameCode(frame), FrameCode(frame) == cmdStrategy ? QByteArray("\x01", 1) : FrameData(frame));
    }
    QList<QByteArray> expected = {Payload::Strategy(Payload::TStrategyRequest::Query), Payload::Plain(cmdReadIdent),
                                  Payload::SolenoidDisable(false)};
    for (int block = 1; block <= kBlockCount; ++block) {
        expected << Payload::ReadBlock(block, 1);
        if (IsBankedBlock(block))
            expected << Payload::ReadBlock(block, 2);
    }
    expected << Payload::ReadBlock(1, 1) << Payload::CountersRead();
    ASSERT_EQ(sent.size(), expected.size());
    for (qsizetype i = 0; i < sent.size(); ++i)
        EXPECT_EQ(sent[i].toHex(' '), expected[i].toHex(' ')) << i;
    EXPECT_EQ(link.ReportedStrategy(), 0);
}

TEST_F(LinkManagerTest, CheckConnectionGoesInFrontOnlyWhenNeeded) {
    Start();
    struct Case {
        const char* what;
        QList<QByteArray> sends;
        QList<quint16> queued;
    };
    const Case cases[] = {
        {"plain request", {Payload::Plain(cmdReadIdent)}, {0x0007, 0x0006}},
        {"check already waiting", {Payload::Plain(cmdReadIdent), Payload::Plain(cmdReadStatus)}, {0x0007, 0x0006, 0x0003}},
        {"a check itself", {Payload::Plain(cmdCheckConnection)}, {0x0007}},
        {"a reset", {Payload::ResetECU()}, {0x0008}},
    };
    for (const Case& c : cases) {
        link.FlushLink();
        for (const QByteArray& p : c.sends)
            link.SendCommand(p);
        EXPECT_EQ(link.Queue().Count(), c.queued.size()) << c.what;
        EXPECT_EQ(link.Queue().HeadFrame()->Code(), c.queued.first()) << c.what;
        for (quint16 code : c.queued)
            EXPECT_TRUE(link.Queue().Contains(code)) << c.what;
    }
}

TEST_F(LinkManagerTest, ExchangeEdgeCases) {
    Start();
    ConnectQuietly();

    // NACK ends the request at once; the next one leaves on a later tick.
    TRecorder a, b;
    link.SendCommand(Payload::Plain(cmdReadIdent), &a);
    link.SendCommand(Payload::Plain(cmdReadComErrors), &b, 1);
    TickUntilWritten(1);
    port.FeedPayload(MakePayload(replyNack));
    EXPECT_EQ(a.events, QStringList{"failure"});
    EXPECT_EQ(com.last(), "NACK received to command 0x0006");
    EXPECT_EQ(port.Written.size(), 1);
    EXPECT_GE(TickUntilWritten(2), 1);
    // The flag travels with the reply.
    Reply(cmdReadComErrors, QByteArray("\x01\x00", 2));
    EXPECT_EQ(b.events, QStringList{"reply FFFA"});
    EXPECT_EQ(b.flags, QList<quint8>{1});

    // Echo: the modem message, an unexpected answer, and the head goes again on expiry.
    TRecorder c;
    port.Written.clear();
    link.SendCommand(Payload::Plain(cmdReadIdent), &c);
    TickUntilWritten(1);
    port.Feed(port.Written.last());
    EXPECT_EQ(panel0.last(), "ERROR: modem on COM3");
    EXPECT_EQ(com.last(), "Unespected answer to command 0x0006");
    EXPECT_EQ(TickUntilWritten(2), 47);
    Reply(cmdReadIdent, "WUX-04 1.4.12 K35F62T9");
    EXPECT_EQ(c.events, QStringList{"reply FFF9"});

    // A corrupt reply is not counted: four corrupt answers and then a good one still succeed.
    TRecorder d;
    port.Written.clear();
    link.SendCommand(Payload::Plain(cmdReadFreezeFrame), &d);
    for (int attempt = 1; attempt <= 4; ++attempt) {
        TickUntilWritten(attempt);
        QByteArray bad = BuildFrame(MakePayload(ReplyCodeFor(cmdReadFreezeFrame), "abc"));
        bad[bad.size() - 3] = char(bad[bad.size() - 3] + 1);
        port.Feed(bad);
        EXPECT_EQ(com.last(), "Checksum error in incoming frame, command 0x001A");
    }
    TickUntilWritten(5);
    Reply(cmdReadFreezeFrame, "abc");
    EXPECT_EQ(d.events, QStringList{"reply FFE5"});
    EXPECT_EQ(port.Written.size(), 5);

    // The ECU saw a bad checksum: reported, and the head goes again when the timer expires.
    TRecorder e;
    port.Written.clear();
    link.SendCommand(Payload::Plain(cmdReadComErrors), &e);
    TickUntilWritten(1);
    port.FeedPayload(MakePayload(replyBadChecksum));
    EXPECT_EQ(com.last(), "Checksum error in outgoing frame, command 0x0005");
    EXPECT_EQ(TickUntilWritten(2), 47);
    Reply(cmdReadComErrors);
    EXPECT_EQ(e.events, QStringList{"reply FFFA"});
}

TEST_F(LinkManagerTest, IncompleteAnswersAreNotCountedExceptForBlockWrites) {
    Start();
    ConnectQuietly();
    const int flushesBefore = port.FlushCount;

    TRecorder reader;
    link.SendCommand(Payload::Plain(cmdReadIdent), &reader);
    TickUntilWritten(1);
    port.Feed(QByteArray::fromHex("fe0102fe"));
    EXPECT_EQ(com.last(), "Incoming frame incomplete, command 0x0006");
    EXPECT_GT(port.FlushCount, flushesBefore);
    EXPECT_EQ(TickUntilWritten(2), 47 + 20);
    EXPECT_EQ(link.Queue().HeadFrame()->SendCount, 1);
    Reply(cmdReadIdent, "WUX-04 1.4.12 K35F62T9");
    EXPECT_EQ(reader.events, QStringList{"reply FFF9"});

    TRecorder writer;
    port.Written.clear();
    link.SendCommand(Payload::WriteBlock(QByteArray(25, '\x02')), &writer);
    TickUntilWritten(1);
    port.Feed(QByteArray::fromHex("fe0102fe"));
    EXPECT_EQ(writer.events, QStringList{"failure"});
    EXPECT_TRUE(link.Queue().IsEmpty());
    EXPECT_EQ(link.ReplyTimer(), -1);
}

TEST_F(LinkManagerTest, RepliesArriveInFragmentsAndConsumersMayQueueFromOnReply) {
    Start();
    ConnectQuietly();
    struct TChain final : TConsumerInterface {
        TLinkManager* link = nullptr;
        int replies = 0;
        void OnReply(const TFrame&) override {
            ++replies;
            EXPECT_TRUE(link->Queue().Enabled());
            if (replies == 1) {
                EXPECT_TRUE(link->QueueCommand(Payload::Plain(cmdReadIdent), this));
            }
        }
        void OnFailure() override {}
        void OnTimeout() override {}
    } chain;
    chain.link = &link;
    link.QueueCommand(Payload::Plain(cmdReadIdent), &chain);
    TickUntilWritten(1);
    Reply(cmdReadIdent, "WUX-04 1.4.12 K35F62T9", 3);
    EXPECT_EQ(chain.replies, 1);
    EXPECT_EQ(link.Queue().Count(), 1);
    TickUntilWritten(2);
    Reply(cmdReadIdent, "WUX-04 1.4.12 K35F62T9", 1);
    EXPECT_EQ(chain.replies, 2);
}

TEST_F(LinkManagerTest, IdentificationParsing) {
    Start();
    struct Case {
        const char* text;
        int family, major, hardware, release;
        const char* panel; // nullptr: no panel text
    };
    const Case cases[] = {
        {"WUX-04 1.4.12 K35F62T9", 0, 1, 4, 12, " WUX-04 connected on COM3    HW: 4    FW: 1.4.12    K35F62T9"},
        {"Q7 ECU 1.2.7 B1", 1, 1, 3, 7, " Q7 ECU connected on COM3    HW: 3    FW: 1.2.7    B1"},
        {"WUX-04 2.x.9 T", 0, 2, 3, 7, " WUX-04 connected on COM3    HW: 3    FW: 2.x.9    T"},
        {"XYZ nodots here", 1, 2, 3, 7, nullptr},
        {"too short", 1, 2, 3, 7, nullptr},
    };
    for (const Case& c : cases) {
        panel0.clear();
        link.ParseIdentification(c.text);
        EXPECT_EQ(link.EcuFamily(), c.family) << c.text;
        EXPECT_EQ(link.FirmwareMajor(), c.major) << c.text;
        EXPECT_EQ(link.HardwareVersion(), c.hardware) << c.text;
        EXPECT_EQ(link.FirmwareRelease(), c.release) << c.text;
        if (c.panel) {
            EXPECT_EQ(panel0, QStringList{c.panel}) << c.text;
        } else {
            EXPECT_TRUE(panel0.isEmpty()) << c.text;
        }
    }
}

TEST_F(LinkManagerTest, WatchdogChecksEveryPeriodOnlyWhileDisconnected) {
    Start();
    QList<int> checks;
    for (int tick = 1; tick <= 3 * 203; ++tick) {
        const int before = link.Queue().Count();
        link.Tick();
        if (link.Queue().Count() > before)
            checks << tick;
    }
    EXPECT_EQ(checks.first(), 203);
    EXPECT_TRUE(checks.contains(406));

    Connect();
    ASSERT_TRUE(link.ECUisConnected());
    link.FlushLink();
    link.AcquisitionModes().SetStatusUpdate(false);
    const int before = link.Queue().Count();
    for (int tick = 0; tick < 203; ++tick)
        link.Tick();
    EXPECT_FALSE(link.Queue().Contains(cmdCheckConnection));
    EXPECT_EQ(link.Queue().Count(), before);
}

TEST_F(LinkManagerTest, AutoScanFollowsTheCableOnlyWhileDisconnected) {
    settings.WriteBool(kSettingsKey, "COM_Autoscan", true);
    settings.WriteInteger(kSettingsKey, "COM_Port", 3);
    link.Start({}, false); // the stored port, which the cable may take over; a named one never
    ASSERT_TRUE(link.ScanCOM());
    dir.Cable = "COM5";
    Tick(203);
    EXPECT_EQ(link.PortName(), "COM5");
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Name(), "COM5");
    EXPECT_TRUE(panel0.contains("Auto-scan on COM5"));

    Connect();
    link.FlushLink();
    link.AcquisitionModes().SetStatusUpdate(false);
    dir.Cable = "COM8";
    Tick(203);
    EXPECT_TRUE(link.ECUisConnected());
    EXPECT_EQ(link.PortName(), "COM5");
}

TEST_F(LinkManagerTest, ResetEntersBootMonitorUntilStartApplication) {
    Start();
    Connect();
    link.FlushLink();
    link.AcquisitionModes().SetStatusUpdate(true);
    link.ResetECU();
    EXPECT_FALSE(link.AcquisitionModes().StatusUpdate());
    TickUntilWritten(port.Written.size() + 1);
    EXPECT_EQ(port.WrittenCodes().last(), cmdResetECU);
    Reply(cmdResetECU);
    EXPECT_TRUE(link.InBootMonitor());
    EXPECT_EQ(port.Baud, 38400);
    EXPECT_EQ(port.StopBits, 2);
    EXPECT_FALSE(link.Queue().Enabled());
    port.Feed("\r\nBoot 2.1\r\nStart Appli");
    Tick(1);
    EXPECT_TRUE(link.InBootMonitor());
    port.Feed("cation\r\n");
    Tick(1);
    EXPECT_FALSE(link.InBootMonitor());
    EXPECT_EQ(port.Baud, 9600);
    EXPECT_EQ(port.StopBits, 1);
    EXPECT_TRUE(link.Queue().Enabled());
    EXPECT_TRUE(link.AcquisitionModes().StatusUpdate());
    EXPECT_EQ(timed, QStringList{"ECU resetted/500"});
    EXPECT_TRUE(link.Log().Contains("Boot 2.1"));
}

TEST_F(LinkManagerTest, BootMonitorFallsBackSilentlyOnTheFourHundredSecondTick) {
    Start();
    Connect();
    link.FlushLink();
    link.ResetECU();
    TickUntilWritten(port.Written.size() + 1);
    Reply(cmdResetECU);
    Tick(401);
    EXPECT_TRUE(link.InBootMonitor());
    Tick(1);
    EXPECT_FALSE(link.InBootMonitor());
    EXPECT_EQ(port.Baud, 9600);
    EXPECT_TRUE(timed.isEmpty());
}

TEST_F(LinkManagerTest, UnansweredResetShowsTheErrorBox) {
    Start();
    link.ResetECU();
    Tick(150);
    EXPECT_EQ(errors, QStringList{"Reset failed: check connections."});
}

TEST_F(LinkManagerTest, LineErrorsAreReportedInOrderAndTheAttemptIsNotCounted) {
    Start();
    ConnectQuietly();
    TRecorder r;
    link.SendCommand(Payload::Plain(cmdReadIdent), &r);
    TickUntilWritten(port.Written.size() + 1);
    const int timer = link.ReplyTimer();
    port.RaiseLineError(TLineError::Parity, true);
    EXPECT_EQ(com.mid(com.size() - 2), (QStringList{"PC COM port parity error", "PC COM line break error"}));
    EXPECT_EQ(link.ReplyTimer(), timer + 20);
    EXPECT_EQ(link.Queue().HeadFrame()->SendCount, 0);
    EXPECT_FALSE(link.CaptureEnabled());
    port.RaiseLineError(TLineError::Other, false);
    EXPECT_EQ(com.last(), "PC COM line break error"); // no message for other kinds
}

// An answer that comes after its request timed out is followed by the answer to the
// retry. Where an answer names what it answers, neither may be taken for the next request
// of the same code: the exchange would run one step behind from then on.
TEST_F(LinkManagerTest, LateAnswersAreNotTakenForTheNextRequest) {
    Start();
    ConnectQuietly();
    struct Case {
        const char* what;
        QByteArray first, second;     // requests, same code
        QByteArray late, expected;    // answer data to the first and to the second
    };
    const QByteArray block2 = QByteArray("\x02") + QByteArray(24, '\x11');
    const QByteArray block3 = QByteArray("\x03\x01") + QByteArray(129, '\x22');
    const Case cases[] = {
        {"block read", Payload::ReadBlock(2), Payload::ReadBlock(3, 1), block2, block3},
        {"banked block read", Payload::ReadBlock(3, 1), Payload::ReadBlock(3, 2), block3,
         QByteArray("\x03\x02") + QByteArray(129, '\x33')},
        {"counters", Payload::CountersClear(), Payload::CountersRead(), QByteArray(13, '\x02'),
         QByteArray("\x01") + QByteArray(12, '\x05')},
        {"memory", Payload::ReadMemory(0x1234, 2), Payload::ReadMemory(0x1236, 2), QByteArray::fromHex("34120002AABB"),
         QByteArray::fromHex("36120002CCDD")},
        {"test command", Payload::TestCommand(testButton), Payload::TestCommand(testRpmPresent), QByteArray("\x07\x01"),
         QByteArray("\x0A\x01")},
    };
    for (const Case& k : cases) {
        port.Written.clear();
        TRecorder a, b;
        link.SendCommand(k.first, &a);
        link.SendCommand(k.second, &b);
        TickUntilWritten(1);
        TickUntilWritten(2); // the first timed out and went again
        const quint16 code = PayloadCode(k.first);
        Reply(code, k.late);
        EXPECT_EQ(a.data, QList<QByteArray>{k.late}) << k.what;
        TickUntilWritten(3);
        Reply(code, k.late); // the answer to the retry, while the second waits
        EXPECT_TRUE(b.events.isEmpty()) << k.what;
        EXPECT_EQ(com.last(), QStringLiteral("Unespected answer to command 0x") + HexWord(code)) << k.what;
        Reply(code, k.expected);
        EXPECT_EQ(b.data, QList<QByteArray>{k.expected}) << k.what;
        EXPECT_EQ(port.Written.size(), 3) << k.what; // the second was answered without a retry
        EXPECT_TRUE(link.Queue().IsEmpty()) << k.what;
    }
    // A wrong answer and the right one in the same read: the right one is taken.
    TRecorder c;
    port.Written.clear();
    link.SendCommand(Payload::ReadBlock(2), &c);
    TickUntilWritten(1);
    port.Feed(BuildFrame(MakePayload(ReplyCodeFor(cmdReadBlock), block3)) +
              BuildFrame(MakePayload(ReplyCodeFor(cmdReadBlock), block2)));
    link.DeliverPendingReplies();
    EXPECT_EQ(c.data, QList<QByteArray>{block2});
}

// A named port is the only one the link uses: when it fails, what waited on it ends there,
// with the port's name and the system's reason, and nothing moves to another device.
TEST_F(LinkManagerTest, ANamedPortThatFailsEndsItsRequestsAndStaysTheOnlyPort) {
    QStringList lost;
    QObject::connect(&link, &TLinkManager::PortLost,
                     [&](const QString& name, const QString& reason) { lost << name + " / " + reason; });
    Start("COM3");
    ConnectQuietly();
    TRecorder r;
    for (int block = 1; block <= 4; ++block)
        link.SendCommand(Payload::ReadBlock(block), &r);
    TickUntilWritten(1);
    port.Unplug();
    EXPECT_EQ(lost, QStringList{"COM3 / Input/output error"});
    EXPECT_EQ(r.events, (QStringList{"failure", "failure", "failure", "failure"}));
    EXPECT_FALSE(link.ECUisConnected());
    EXPECT_EQ(link.PortName(), "COM3");
    EXPECT_TRUE(panel0.contains("COM3: Input/output error"));
    Tick(500);
    EXPECT_EQ(port.Name(), "COM3"); // never opened anything else
    EXPECT_EQ(port.WrittenCodes().count(cmdReadBlock), 1);

    // A named port that cannot be opened at all: the link stays on it and says why.
    TFakeSerialPort p;
    TFakePortDirectory d;
    d.Ports = {"COM1", "COM3"};
    p.Refuse.insert("COM7");
    TLinkManager l(p, d, settings);
    QStringList texts;
    QObject::connect(&l, &TLinkManager::StateChanged, [&](const TLinkStateEvent& e) { texts << LinkStateText(e); });
    l.Start("COM7", false);
    EXPECT_EQ(l.PortName(), "COM7");
    EXPECT_FALSE(p.IsOpen());
    EXPECT_TRUE(texts.contains("COM7: Permission denied")) << texts.join('|').toStdString();
    l.SendCommand(Payload::Plain(cmdReadIdent));
    for (int i = 0; i < 300; ++i)
        l.Tick();
    EXPECT_EQ(p.Name(), "COM7");
    l.Shutdown();
}

TEST_F(LinkManagerTest, PortFailuresMoveToTheFirstListedPort) {
    settings.WriteInteger(kSettingsKey, "COM_Port", 3);
    Start({});
    ASSERT_EQ(link.PortName(), "COM3");
    // What waited on the failed port is not carried over to the next one.
    TRecorder r;
    link.SendCommand(Payload::ReadBlock(1), &r);
    port.Unplug();
    EXPECT_EQ(r.events, QStringList{"failure"});
    EXPECT_TRUE(link.Queue().IsEmpty());
    EXPECT_EQ(link.PortName(), "COM1");
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(panel0.mid(panel0.size() - 2), (QStringList{"Trying on COM1", "Communication breakdown !"}));

    port.Refuse.insert("COM1");
    link.PortFailure("boom", false);
    EXPECT_EQ(panel0.last(), "COM1 already in use");
    EXPECT_TRUE(link.PortName().isEmpty());
    // Without a port requests time out with the no-port text.
    link.SendCommand(Payload::Plain(cmdReadIdent));
    Tick(150);
    EXPECT_EQ(panel0.last(), "No COM port found");

    dir.Ports.clear();
    link.ReadPortList();
    link.PortFailure("boom", false);
    EXPECT_EQ(panel0.last(), "No COM port found");
}

TEST_F(LinkManagerTest, StartUpPortChoice) {
    struct Case {
        QStringList ports;
        int stored;
        const char* storedName;
        const char* expectedPort;
        const char* expectedText;
    };
    const Case cases[] = {
        {{"COM1", "COM3"}, 3, "", "COM3", "Trying on COM3"},
        {{"COM1", "COM3"}, 0, "", "COM1", "Trying on COM1"},
        {{"/dev/ttyUSB0"}, 0, "/dev/ttyUSB1", "/dev/ttyUSB1", "Trying on /dev/ttyUSB1"},
        {{}, 4, "", "", "No COM port found"},
    };
    for (const Case& c : cases) {
        TFakeSerialPort p;
        TFakePortDirectory d;
        d.Ports = c.ports;
        TMemorySettingsStore stored;
        stored.WriteInteger(kSettingsKey, "COM_Port", c.stored);
        stored.WriteString(kSettingsKey, "COM_PortName", c.storedName);
        TLinkManager l(p, d, stored);
        QStringList texts;
        QObject::connect(&l, &TLinkManager::StateChanged, [&](const TLinkStateEvent& e) { texts << LinkStateText(e); });
        l.Start({}, false);
        EXPECT_EQ(l.PortName(), c.expectedPort);
        EXPECT_EQ(texts.value(0), c.expectedText);
        EXPECT_EQ(p.IsOpen(), !QString(c.expectedPort).isEmpty());
        l.Shutdown();
    }
}

TEST_F(LinkManagerTest, WriteErrorClearsTheQueueUntilTheLinkIsFlushed) {
    Start();
    TRecorder r;
    port.FailWrites = true;
    link.SendCommand(Payload::Plain(cmdReadIdent), &r);
    Tick(6);
    EXPECT_EQ(r.events, QStringList{"failure"});
    EXPECT_FALSE(link.Queue().Enabled());
    EXPECT_FALSE(link.SendCommand(Payload::Plain(cmdReadIdent), &r));
    port.FailWrites = false;
    link.FlushLink();
    EXPECT_TRUE(link.Queue().Enabled());
    EXPECT_TRUE(link.SendCommand(Payload::Plain(cmdReadIdent), &r));
}

TEST_F(LinkManagerTest, FullQueueRefusesAndTellsTheRequester) {
    Start();
    TRecorder r;
    int queued = 0;
    for (int i = 0; i < 40; ++i)
        queued += link.QueueCommand(Payload::Plain(cmdReadStatus), &r) ? 1 : 0;
    EXPECT_EQ(queued, 29);
    EXPECT_TRUE(com.last().startsWith("Transmit queue full, command 0x0003"));
    link.DeliverPendingReplies();
    EXPECT_EQ(r.events.count("failure"), 11);
    EXPECT_EQ(link.Queue().Count(), 29);
}

// The link names no periodic request of other layers: their owners register entries,
// fired in order while polling runs, each after its countdown.
TEST_F(LinkManagerTest, RegisteredPollsFireOnTheirPeriodOnlyWhilePolling) {
    Start();
    QStringList fired;
    int everyTick = 0;
    TFunctionPoll cyclic(207, [&] {
        fired << "cyclic";
        return 207;
    });
    TFunctionPoll oneShot(5, [&] {
        fired << "one-shot";
        return ++everyTick < 3 ? 0 : 100; // nothing due: look again on the next tick
    });
    link.RegisterPoll(&cyclic);
    link.RegisterPoll(&oneShot);
    link.RegisterPoll(&cyclic); // once only
    link.StartPolling();
    Tick(5);
    EXPECT_TRUE(fired.isEmpty());
    Tick(1);
    EXPECT_EQ(fired, QStringList{"one-shot"});
    Tick(2);
    EXPECT_EQ(fired.count("one-shot"), 3);
    Tick(207 - 8);
    EXPECT_TRUE(fired.count("cyclic") == 0);
    Tick(1);
    EXPECT_EQ(fired.count("cyclic"), 1);
    Tick(207);
    EXPECT_EQ(fired.count("cyclic"), 1);
    Tick(1);
    EXPECT_EQ(fired.count("cyclic"), 2);

    // Stopped polling fires nothing; a restart counts from the start again.
    link.StopPolling();
    fired.clear();
    Tick(1000);
    EXPECT_TRUE(fired.isEmpty());
    link.StartPolling();
    Tick(207);
    EXPECT_EQ(fired.count("cyclic"), 0);
    Tick(1);
    EXPECT_EQ(fired.count("cyclic"), 1);

    // An entry may go while the tick fires the others.
    TFunctionPoll leaving(0, [&] {
        link.UnregisterPoll(&cyclic);
        link.UnregisterPoll(&oneShot);
        return 0;
    });
    link.RegisterPoll(&leaving);
    fired.clear();
    Tick(500);
    EXPECT_TRUE(fired.isEmpty() || fired == QStringList{"one-shot"});
    link.UnregisterPoll(&leaving);
}

// A request that must reach the ECU however the program ends is written by the shutdown
// itself, after the queue is gone and before the port closes; a withdrawn one is not.
TEST_F(LinkManagerTest, ShutdownWritesTheLastWordsBeforeThePortCloses) {
    Start();
    const int owner = 0, other = 0;
    link.SetLastWords(&owner, Payload::TestMode(false));
    link.SetLastWords(&other, Payload::SolenoidTest(false));
    link.ClearLastWords(&other);
    link.SendCommand(Payload::Plain(cmdReadIdent));
    port.Written.clear();
    link.Shutdown();
    ASSERT_EQ(port.Frames().size(), 1);
    EXPECT_EQ(port.Frames().first(), BuildFrame(Payload::TestMode(false)));
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(LinkManagerTest, ShutdownFailsWaitingRequestsAndLeavesNothingRunning) {
    link.Start("COM3", true);
    TRecorder r;
    link.SendCommand(Payload::Plain(cmdReadIdent), &r);
    link.Shutdown();
    EXPECT_EQ(r.events, QStringList{"failure"});
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(link.Polling());
    EXPECT_TRUE(link.Queue().IsEmpty());
    EXPECT_FALSE(link.SendCommand(Payload::Plain(cmdReadIdent), &r)); // the queue stays shut
}

// A tool that holds the line alone: the other entries stand still while it holds it and
// count from their start again when it is given back; a second claim is refused.
TEST_F(LinkManagerTest, AnExclusivePollStopsTheOthersUntilReleased) {
    Start();
    int others = 0, own = 0;
    TFunctionPoll other(0, [&] {
        ++others;
        return 9;
    });
    TFunctionPoll tool(0, [&] {
        ++own;
        return 0;
    });
    TFunctionPoll second(0, [] { return 0; });
    link.RegisterPoll(&other);
    Tick(20);
    EXPECT_EQ(others, 2);
    ASSERT_TRUE(link.ClaimExclusivePoll(&tool));
    EXPECT_FALSE(link.ClaimExclusivePoll(&second));
    Tick(100);
    EXPECT_EQ(others, 2);
    EXPECT_EQ(own, 100);
    link.ReleaseExclusivePoll(&tool);
    Tick(10);
    EXPECT_EQ(own, 100);
    EXPECT_EQ(others, 3);
    EXPECT_TRUE(link.ClaimExclusivePoll(&second));
    link.UnregisterPoll(&second); // unregistering gives the line back too
    EXPECT_EQ(link.ExclusivePoll(), nullptr);
    link.UnregisterPoll(&other);
}

// A requester that goes away with requests waiting and an answer under way hears nothing
// more (its memory may already be reused); the requests still go out.
TEST_F(LinkManagerTest, AForgottenConsumerHearsNothingMore) {
    Start();
    ConnectQuietly();
    auto gone = std::make_unique<TRecorder>();
    link.QueueCommand(Payload::Plain(cmdReadIdent), gone.get());
    link.QueueCommand(Payload::Plain(cmdReadComErrors), gone.get());
    TickUntilWritten(1);
    port.FeedPayload(MakePayload(ReplyCodeFor(cmdReadIdent), "WUX"));
    // The answer is posted, not yet delivered, when the requester goes.
    link.ForgetConsumer(gone.get());
    gone.reset();
    link.DeliverPendingReplies();
    TickUntilWritten(2);
    ASSERT_EQ(port.Written.size(), 2); // the second request is still sent
    EXPECT_EQ(FrameCode(port.Frames().last()), cmdReadComErrors);
    Reply(cmdReadComErrors, QByteArray("\x03\x00", 2));
    link.FlushLink();
}
