// The workbench window driven by the object names of its controls, against the simulated
// ECU on a pseudo-terminal or against the in-memory port.

#include "app/workbench.h"
#include "link/commands.h"
#include "sim/enginemodel.h"
#include "sim/statusrecords.h"
#include "support/fakeport.h"
#include "support/qtprinters.h"
#include "support/scripteddialogs.h"
#include "uitest.h"

#include <QAction>
#include <QLabel>
#include <QTabWidget>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace ambrel;
using namespace ambrel::test;

namespace {

QString TabCaption(ui::TFormMain& main, int index) {
    return main.Pages()->isTabVisible(index) ? main.Pages()->tabText(index) : QString();
}

class DemoWorkbench : public DemoFixture {
protected:
    void SetUp() override { StartDemo(false); }
};

} // namespace

TEST_F(DemoWorkbench, ConnectsAndShowsTheIdentificationWithTheConnectingSequenceInOrder) {
    ui::TFormMain& main = workbench->Main();
    const QString device = workbench->Simulator()->DeviceName();
    EXPECT_TRUE(main.StatusPanelText(0) == "Trying on " + device || main.StatusPanelText(0).contains("connected"));
    ASSERT_TRUE(WaitFor([&] { return main.StatusPanelText(0).contains("connected on"); }));
    EXPECT_EQ(main.StatusPanelText(0),
              " WUX-04 connected on " + device + "    HW: 4    FW: 1.4.12    K35F62T9");
    ASSERT_TRUE(WaitFor([&] {
        for (const auto& r : workbench->Simulator()->Ecu().Received())
            if (r.Code == cmdReadBlock)
                return true;
        return false;
    }));
    QList<QByteArray> payloads;
    for (const auto& r : workbench->Simulator()->Ecu().Received())
        if (r.Code != cmdReadStatusMin)
            payloads << MakePayload(r.Code, r.Data);
    QList<QByteArray> expected = {Payload::Plain(cmdCheckConnection),
                                        Payload::Strategy(Payload::TStrategyRequest::Query),
                                        Payload::Plain(cmdReadIdent), Payload::SolenoidDisable(false)};
    // ... then the configuration model's full read, then the main window's block 1.
    QList<QByteArray> full;
    for (int block = 1; block <= kBlockCount; ++block)
        for (int bank = 1; bank <= (IsBankedBlock(block) ? 2 : 1); ++bank)
            full.append(Payload::ReadBlock(block, bank));
    QList<QByteArray> all = expected + full;
    all << Payload::ReadBlock(1);
    ASSERT_TRUE(WaitFor([&] {
        int reads = 0;
        for (const auto& r : workbench->Simulator()->Ecu().Received())
            reads += r.Code == cmdReadBlock ? 1 : 0;
        return reads >= 17;
    }));
    payloads.clear();
    for (const auto& r : workbench->Simulator()->Ecu().Received())
        if (r.Code != cmdReadStatusMin)
            payloads << MakePayload(r.Code, r.Data);
    ASSERT_GE(payloads.size(), all.size());
    for (qsizetype i = 0; i < all.size(); ++i)
        EXPECT_EQ(payloads[i].toHex(' '), all[i].toHex(' ')) << i;
}

TEST_F(DemoWorkbench, ResetShowsTheBootTextAndReturnsWhenTheApplicationStarts) {
    ASSERT_TRUE(WaitFor([&] { return workbench->Link().ECUisConnected(); }));
    dialogs.Answers.enqueue(QMessageBox::Yes);
    workbench->Main().Action(ui::TActionId::ECUReset1)->trigger();
    EXPECT_EQ(dialogs.Asked.last(), "Resetting ECU: are you sure ?");
    ASSERT_TRUE(WaitFor([&] { return workbench->Link().InBootMonitor(); }));
    ASSERT_TRUE(WaitFor([&] { return !workbench->Link().InBootMonitor(); }, 6000));
    EXPECT_EQ(workbench->Dialog().Text(), "ECU resetted");
    EXPECT_TRUE(workbench->Link().Log().Contains("Start Application"));
    // Back at 9600 baud: the ECU answers framed requests again.
    ASSERT_TRUE(WaitFor([&] {
        const auto& received = workbench->Simulator()->Ecu().Received();
        return !received.isEmpty() && received.last().Code != cmdResetECU &&
               received.last().Treatment == sim::TSimTreatment::Answered;
    }));
}

TEST_F(DemoWorkbench, PulledCableIsReportedAndTheWindowStaysResponsive) {
    ui::TFormMain& main = workbench->Main();
    ASSERT_TRUE(WaitFor([&] { return workbench->Link().ECUisConnected(); }));
    workbench->Simulator()->Unplug();
    ASSERT_TRUE(WaitFor([&] {
        const QString text = main.StatusPanelText(0);
        return text.startsWith("ECU not connected on") || text == "Communication breakdown !" ||
               text == "No COM port found" || text.endsWith("already in use");
    }));
    // The requests that were on their way time out: the ECU is reported lost.
    EXPECT_TRUE(WaitFor([&] { return !workbench->Link().ECUisConnected(); }, 5000));
    // Still answering the user: the menu works and the soft timers run.
    bool ticked = false;
    workbench->SoftTimers().SetAction(ui::TSoftTimer::PinOutFlash, [&] {
        ticked = true;
        workbench->SoftTimers().Set(ui::TSoftTimer::PinOutFlash, -1);
    });
    workbench->SoftTimers().Set(ui::TSoftTimer::PinOutFlash, 2);
    EXPECT_TRUE(WaitFor([&] { return ticked; }, 2000));
}


TEST_F(FakeWorkbench, SwitchModeWhileDisconnectedChangesThePagesAtOnce) {
    ui::TFormMain& main = workbench->Main();
    QAction* switchMode = main.Action(ui::TActionId::ECUSwitchMode1);
    EXPECT_EQ(switchMode->text(), "Switch to Compensated");
    EXPECT_EQ(TabCaption(main, ui::pageGasMapSlave), "Gas map");
    EXPECT_EQ(TabCaption(main, ui::pageGasMapComp), "");
    EXPECT_EQ(TabCaption(main, ui::pageFuelTrim), "");

    dialogs.Answers.enqueue(QMessageBox::No);
    switchMode->trigger();
    EXPECT_EQ(main.StrategyFlag(), 0); // No leaves everything as it was

    dialogs.Answers.enqueue(QMessageBox::Yes);
    switchMode->trigger();
    EXPECT_EQ(main.StrategyFlag(), 1);
    EXPECT_EQ(TabCaption(main, ui::pageGasMapComp), "Gas map");
    EXPECT_EQ(TabCaption(main, ui::pageFuelTrim), "Fuel trim");
    EXPECT_EQ(TabCaption(main, ui::pageGasMapSlave), "");
    EXPECT_EQ(switchMode->text(), "Switch to Slave");
    EXPECT_TRUE(dialogs.Asked.last().startsWith("You are about to switch to Compensated mode."));
}

TEST_F(FakeWorkbench, FirmwareFeatureLevelHidesNewerControls) {
    ui::TFormMain& main = workbench->Main();
    QWidget* page = main.Pages()->widget(ui::pageFunctions);
    const int tags[] = {2101, 2106, 2201, 2202};
    QList<QLabel*> controls;
    for (int tag : tags) {
        auto* label = new QLabel(QString::number(tag), page);
        label->setProperty("featureTag", tag);
        controls << label;
    }
    struct Case {
        const char* version;
        int level;
        QList<bool> visible;
    };
    const Case cases[] = {
        {"1.4.5", 2101, {true, false, false, false}},   {"1.4.10", 2106, {true, true, false, false}},
        {"1.4.14", 2201, {true, true, true, false}},    {"1.4.15", 2202, {true, true, true, true}},
        {"2.0.1", 2202, {true, true, true, true}},
    };
    for (const Case& c : cases) {
        workbench->Link().ParseIdentification(QByteArray("WUX-04 ") + c.version + " K35F62T9");
        emit workbench->Link().IdentificationChanged();
        EXPECT_EQ(workbench->Workflow().FirmwareFeatureLevel(), c.level) << c.version;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(!controls[i]->isHidden(), c.visible[i]) << c.version << " tag " << tags[i];
    }
}

TEST_F(FakeWorkbench, PortMenuListsTheFirstSixPortsAndChecksTheOpenOne) {
    ui::TFormMain& main = workbench->Main();
    workbench->Commands().RefreshPortMenu();
    EXPECT_EQ(main.Action(ui::TActionId::ECUCom1)->text(), "COM1");
    EXPECT_TRUE(main.Action(ui::TActionId::ECUCom2)->isChecked());
    EXPECT_TRUE(main.Action(ui::TActionId::ECUCom3)->isVisible());
    EXPECT_FALSE(main.Action(ui::TActionId::ECUCom4)->isVisible());
    main.Action(ui::TActionId::ECUCom3)->trigger();
    EXPECT_EQ(workbench->Link().PortName(), "COM4");
    EXPECT_EQ(port.Name(), "COM4");
    EXPECT_EQ(main.StatusPanelText(0), "Trying on COM4");
    EXPECT_TRUE(main.Action(ui::TActionId::ECUCom3)->isChecked());
    EXPECT_FALSE(main.Action(ui::TActionId::ECUCom2)->isChecked());
}

TEST_F(FakeWorkbench, CloseAsksExitNowAndCancelKeepsTheProgramRunning) {
    ui::TFormMain& main = workbench->Main();
    dialogs.Answers.enqueue(QMessageBox::Cancel);
    EXPECT_FALSE(main.close());
    EXPECT_EQ(dialogs.Asked, QStringList{"Exit now?"});
    EXPECT_TRUE(port.IsOpen());
    dialogs.Answers.enqueue(QMessageBox::Yes);
    EXPECT_TRUE(main.close());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(workbench->Link().Polling());
    EXPECT_FALSE(workbench->Link().MasterTimer().isActive());
}

TEST_F(FakeWorkbench, BuzzerIsAnEditThatWritesBlockTwoAndCanBeUndone) {
    ui::TFormMain& main = workbench->Main();
    TDataMap& config = workbench->Config();
    QAction* buzzer = main.Action(ui::TActionId::ECUBuzzer1);
    ASSERT_TRUE(buzzer->isEnabled());
    EXPECT_EQ(buzzer->isChecked(), config.Buzzer);
    const bool before = config.Buzzer;
    workbench->Link().FlushLink();
    buzzer->trigger();
    EXPECT_EQ(config.Buzzer, !before);
    EXPECT_FALSE(config.Saved());
    EXPECT_TRUE(main.Action(ui::TActionId::EditUndo1)->isEnabled());
    bool wroteBlockTwo = false;
    for (TFrame* head = workbench->Link().Queue().HeadFrame(); head; head = workbench->Link().Queue().HeadFrame()) {
        wroteBlockTwo |= head->Code() == cmdWriteBlock && head->FrameDataPart().startsWith('\x02');
        workbench->Link().Queue().Pop();
    }
    EXPECT_TRUE(wroteBlockTwo);
    main.Action(ui::TActionId::EditUndo1)->trigger();
    EXPECT_EQ(config.Buzzer, before);
    EXPECT_FALSE(main.Action(ui::TActionId::EditUndo1)->isEnabled());
}

TEST_F(FakeWorkbench, UnsavedConfigurationAsksTwiceAndKeepsRunningUnlessSavedOrDropped) {
    ui::TFormMain& main = workbench->Main();
    TDataMap& config = workbench->Config();
    struct Case {
        const char* what;
        QList<QMessageBox::StandardButton> answers;
        bool closes;
    };
    const Case cases[] = {
        {"cancel at the first question", {QMessageBox::Cancel}, false},
        {"cancel at the second", {QMessageBox::Yes, QMessageBox::Cancel}, false},
        {"save, but the file dialog is cancelled", {QMessageBox::Yes, QMessageBox::Yes}, false},
        {"close without saving", {QMessageBox::Yes, QMessageBox::No}, true},
    };
    for (const Case& c : cases) {
        config.SetSaved(false);
        dialogs.Asked.clear();
        for (auto a : c.answers)
            dialogs.Answers.enqueue(a);
        EXPECT_EQ(main.close(), c.closes) << c.what;
        EXPECT_EQ(dialogs.Asked.first(), "Exit now?") << c.what;
        if (c.answers.size() > 1) {
            EXPECT_EQ(dialogs.Asked.value(1), "Current configuration is unsaved.\nDo you want to save it ?") << c.what;
        }
    }
}

TEST_F(FakeWorkbench, SavingOntoAnExistingFileAndAnsweringNoOpensTheDialogAgain) {
    ui::TFormMain& main = workbench->Main();
    QTemporaryDir dir;
    const QString existing = dir.filePath("existing.cfg");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    const QString fresh = dir.filePath("fresh.cfg");
    dialogs.FileNames << existing << fresh;
    dialogs.Answers.enqueue(QMessageBox::No);
    EXPECT_TRUE(main.FileSave1Execute());
    EXPECT_EQ(dialogs.FileDialogs, (QStringList{"Save configuration as", "Save configuration as"}));
    EXPECT_EQ(dialogs.Asked.value(0), "existing.cfg already exists.\nDo you want to overwrite it ?");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me");
    EXPECT_EQ(QFileInfo(fresh).size(), 1388);
    EXPECT_TRUE(main.windowTitle().endsWith(" - fresh.cfg"));

    // The saved file loads back; a file that is no configuration leaves everything as it was.
    dialogs.FileNames << fresh;
    EXPECT_TRUE(main.FileOpen1Execute());
    dialogs.FileNames << existing;
    EXPECT_FALSE(main.FileOpen1Execute());
    EXPECT_TRUE(main.windowTitle().endsWith(" - fresh.cfg"));
    EXPECT_TRUE(workbench->Config().Saved());
}

// The port was named: when its cable is pulled the workbench stays on it and never talks
// to another device; the ECU connects again when it answers there.
TEST_F(FakeWorkbench, UnpluggedCableStaysOnTheNamedPortAndConnectsWhenTheEcuAnswersAgain) {
    ui::TFormMain& main = workbench->Main();
    workbench->Link().CheckConnection();
    AnswerNext();
    ASSERT_TRUE(workbench->Link().ECUisConnected());
    port.Unplug();
    EXPECT_EQ(main.StatusPanelText(0), "Communication breakdown !");
    EXPECT_EQ(port.Name(), "COM3");
    EXPECT_FALSE(workbench->Link().ECUisConnected());
    Tick(500); // nothing answers for a while
    EXPECT_EQ(main.StatusPanelText(0), "ECU not connected on COM3");
    EXPECT_EQ(port.Name(), "COM3");
    // The ECU answers on COM3 again: the watchdog's check connects.
    for (int i = 0; i < 10 && !workbench->Link().ECUisConnected(); ++i)
        AnswerNext();
    EXPECT_TRUE(workbench->Link().ECUisConnected());
}

TEST(WorkbenchShutdown, LeavesNoThreadTimerOrOpenPortBehind) {
    TScriptedDialogs dialogs;
    {
        app::TWorkbenchOptions options;
        options.Demo = true;
        options.Dialogs = &dialogs;
        app::TWorkbench workbench(options);
        ASSERT_TRUE(workbench.Start());
        ASSERT_TRUE(WaitFor([&] { return workbench.Link().ECUisConnected(); }));
        dialogs.Answers.enqueue(QMessageBox::Yes);
        EXPECT_TRUE(workbench.Main().close());
        EXPECT_FALSE(workbench.SerialPort().IsOpen());
        EXPECT_FALSE(workbench.Link().MasterTimer().isActive());
        EXPECT_TRUE(workbench.Link().Queue().IsEmpty());
    }
    // Everything was owned and is gone; the sanitizers report any leak or late access.
    QCoreApplication::processEvents();
}

// Open with files that are not complete configurations: nothing changes, not the model,
// not the title, and nothing is written to the connected ECU; the user is told why.
TEST_F(FakeWorkbench, OpeningAnIncompleteFileChangesNothingAndSaysWhy) {
    ui::TFormMain& main = workbench->Main();
    workbench->Link().CheckConnection();
    AnswerNext();
    ASSERT_TRUE(workbench->Link().ECUisConnected());
    QTemporaryDir dir;
    TDataMap& config = workbench->Config();
    ASSERT_TRUE(config.SaveToFile(dir.filePath("good.cfg")).Ok());
    QFile f(dir.filePath("good.cfg"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    f.close();
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"header only", good.left(8), "record count"},
        {"cut inside block 4, bank 2", good.left(600), "ends inside block 4, bank 2"},
        {"zeros", QByteArray(1388, '\0'), "2.20"},
        {"unknown tag", QByteArray(good).replace(4, 4, "XXXX"), "strategy tag"},
    };
    config.SwitchRPM = 2900;
    const RMappatura before = config.RawData().Record;
    const QString title = main.windowTitle();
    for (const Case& k : cases) {
        const QString path = dir.filePath("bad.cfg");
        QFile bad(path);
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write(k.bytes);
        bad.close();
        dialogs.Asked.clear();
        port.Written.clear();
        dialogs.FileNames << path;
        EXPECT_FALSE(main.FileOpen1Execute()) << k.what;
        Tick(100);
        EXPECT_TRUE(dialogs.Asked.join('\n').contains(QLatin1String(k.reason))) << k.what << ": "
                                                                                << dialogs.Asked.join('|').toStdString();
        EXPECT_FALSE(port.WrittenCodes().contains(cmdWriteBlock)) << k.what;
        EXPECT_EQ(config.SwitchRPM, 2900) << k.what;
        EXPECT_EQ(config.RawData().Record, before) << k.what;
        EXPECT_EQ(main.windowTitle(), title) << k.what;
    }
}

// The cable is pulled in the middle of a Download: nothing more is written anywhere, the
// error names the blocks the ECU may now hold wrongly, and the configuration stays to be
// written (the next connection does not read the half-written one over it).
TEST_F(FakeWorkbench, DownloadCutByAPulledCableNamesTheBlocksLeft) {
    workbench->Link().CheckConnection();
    AnswerNext();
    workbench->Link().FlushLink();
    workbench->Action(ui::TActionId::ECUDownload1)->trigger();
    for (int i = 0; i < 5; ++i)
        AnswerNext();
    port.Unplug();
    port.Written.clear();
    Tick(300);
    EXPECT_FALSE(port.WrittenCodes().contains(cmdWriteBlock));
    EXPECT_EQ(port.Name(), "COM3");
    EXPECT_TRUE(workbench->Config().EcuOutOfDate());
    const QString asked = dialogs.Asked.join('\n');
    EXPECT_TRUE(asked.contains("Download failed: check connections.")) << asked.toStdString();
    EXPECT_TRUE(asked.contains("block")) << asked.toStdString();
    EXPECT_TRUE(asked.contains("COM3")) << asked.toStdString();
}

// The Drivability page asks for the injection sequence only while the engine runs.
TEST_F(FakeWorkbench, DrivabilityUploadAsksForTheSequenceOnlyWithTheEngineOn) {
    ui::TFormMain& main = workbench->Main();
    workbench->Link().CheckConnection();
    AnswerNext();
    workbench->Link().FlushLink();
    main.Pages()->setCurrentIndex(ui::pageDrivability);
    const auto queuedSequence = [&] { return workbench->Link().Queue().Contains(cmdReadTable32); };
    workbench->Config().UploadPage();
    EXPECT_FALSE(queuedSequence()); // no live status yet: engine off
    workbench->Link().FlushLink();
    sim::TEngineValues running;
    running.EngineState = sim::engineOn;
    const QByteArray status = sim::StatusMinRecord(sim::RawMeasures(running));
    workbench->Acquisitions().OnReply(
        TFrame{BuildFrame(MakePayload(ReplyCodeFor(cmdReadStatusMin), status)), nullptr, 0, 0});
    ASSERT_EQ(workbench->Acquisitions().Measures().EngineState, 2);
    workbench->Config().UploadPage();
    EXPECT_TRUE(queuedSequence());
}
