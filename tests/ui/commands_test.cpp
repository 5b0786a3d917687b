// The menu commands and what follows them: the action registry and the window modules,
// progress display after block writes, the gas solenoid's check mark, the status-update
// pair, and the window title the platform shows.

#include "app/windowmodules.h"
#include "app/workbench.h"
#include "link/commands.h"
#include "support/qtprinters.h"
#include "uitest.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QWindow>
#include <gtest/gtest.h>

using namespace ambrel;
using namespace ambrel::test;
using ui::TActionId;

namespace {

class Commands : public FakeWorkbench {
protected:
    // Connects through the in-memory port and empties the connecting sequence.
    void Connect() {
        workbench->Link().CheckConnection();
        AnswerNext();
        ASSERT_TRUE(workbench->Link().ECUisConnected());
        workbench->Link().FlushLink();
    }
    // Replies to every queued block write as the ECU would (with the requester's flag),
    // in queue order; `afterEach` looks at the window between replies.
    void AnswerQueuedWrites(const std::function<void()>& afterEach = {}) {
        TTXQueue& queue = workbench->Link().Queue();
        while (TFrame* head = queue.HeadFrame()) {
            const TFrame request = *head;
            queue.Pop();
            if (request.Code() != cmdWriteBlock || !request.Consumer)
                continue;
            request.Consumer->OnReply(
                TFrame{BuildFrame(MakePayload(ReplyCodeFor(cmdWriteBlock), {})), request.Consumer, 0, request.Flag});
            if (afterEach)
                afterEach();
        }
    }
    bool ProgressVisible() {
        return workbench->Dialog().isVisible() && workbench->Dialog().Kind() == ui::TFormDialog::TKind::Progress;
    }
};

} // namespace

TEST_F(FakeWorkbench, EveryMenuCommandHasOneNameOneCaptionAndOnePlace) {
    QSet<QString> names;
    QList<QAction*> inMenus;
    for (QAction* entry : workbench->Main().menuBar()->actions())
        for (QAction* a : entry->menu()->actions())
            inMenus << (a->menu() ? a->menu()->actions() : QList<QAction*>{a});
    for (int i = 0; i < ui::kActionCount; ++i) {
        const auto id = static_cast<TActionId>(i);
        QAction* action = workbench->Action(id);
        const QString name = action->objectName();
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
        names.insert(name);
        EXPECT_EQ(inMenus.count(action), 1) << name.toStdString();
        const bool array = name.startsWith("ECUCom") || name.startsWith("LanguageMenu");
        if (!array) {
            EXPECT_FALSE(action->text().isEmpty()) << name.toStdString();
        }
    }
    // Each window row names its place once, in the creation order.
    int row = 0;
    for (const ui::TWindowModule& module : app::WindowModules())
        EXPECT_EQ(static_cast<int>(module.Id), row++);
}

TEST_F(FakeWorkbench, LogCommandShowsTheLogWindowAndItFollowsTheLanguage) {
    QWidget* log = workbench->Window(ui::TWindowId::Communications);
    ASSERT_NE(log, nullptr);
    QAction* command = workbench->Action(TActionId::DiagnosticsLog1);
    EXPECT_TRUE(command->isEnabled());
    EXPECT_EQ(command->shortcut(), QKeySequence("F10"));
    EXPECT_EQ(command->text(), "&Log COM");
    EXPECT_FALSE(log->isVisible());
    command->trigger();
    EXPECT_TRUE(log->isVisible());
    EXPECT_EQ(log->windowTitle(), "Log");
    // Commands whose windows are not written yet are present and disabled.
    EXPECT_FALSE(workbench->Action(TActionId::EditTuneMap1)->isEnabled());
    EXPECT_EQ(workbench->Window(ui::TWindowId::AutoTune), nullptr);
}

TEST_F(Commands, SingleBlockWritesLeaveNoProgressDialogAndWholeTransfersEndTheirs) {
    struct Case {
        const char* what;
        std::function<void()> command;
        bool progressOnTheWay;   // a progress display shows between the replies
        QString finalText;       // what the dialog shows at the end ("" = hidden)
    };
    const QByteArray compensated("\x02", 1);
    const Case cases[] = {
        {"write date", [&] { workbench->Action(TActionId::EditWriteDate)->trigger(); }, false, ""},
        {"the ECU's answer to a strategy switch writes blocks 5, 2 and 9",
         [&] {
             workbench->Workflow().OnReply(
                 TFrame{BuildFrame(MakePayload(ReplyCodeFor(cmdStrategy), compensated)), nullptr, 0, 1});
         },
         false, ""},
        {"buzzer", [&] { workbench->Action(TActionId::ECUBuzzer1)->trigger(); }, false, ""},
        {"download", [&] { workbench->Action(TActionId::ECUDownload1)->trigger(); }, true, "Download complete"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        workbench->Dialog().hide();
        Connect();
        c.command();
        bool sawProgress = false;
        AnswerQueuedWrites([&] { sawProgress |= ProgressVisible(); });
        EXPECT_EQ(sawProgress, c.progressOnTheWay);
        EXPECT_FALSE(ProgressVisible());
        EXPECT_EQ(workbench->Dialog().isVisible() ? workbench->Dialog().Text() : QString(), c.finalText);
    }
}

TEST_F(Commands, WholeDownloadCutShortLeavesNoProgressDialog) {
    Connect();
    workbench->Action(TActionId::ECUDownload1)->trigger();
    ASSERT_TRUE(ProgressVisible());
    EXPECT_EQ(workbench->Dialog().Text(), "Download in progress");
    workbench->Action(TActionId::ECUClearQueue)->trigger(); // every waiting write fails
    EXPECT_FALSE(ProgressVisible());
}

TEST_F(Commands, ExactlyOneStatusUpdateCommandIsOfferedAndItFollowsThePolling) {
    QAction* enable = workbench->Action(TActionId::DiagnosticsEnableStatusUpdate1);
    QAction* disable = workbench->Action(TActionId::DiagnosticsDisableStatusUpdate1);
    EXPECT_TRUE(enable->isEnabled());
    EXPECT_FALSE(disable->isEnabled());
    Connect(); // a connection switches the status update on
    EXPECT_FALSE(enable->isEnabled());
    EXPECT_TRUE(disable->isEnabled());
    struct Step {
        QAction* command;
        bool polling;
    };
    for (const Step& step : {Step{disable, false}, Step{enable, true}, Step{disable, false}}) {
        SCOPED_TRACE(step.command->objectName().toStdString());
        step.command->trigger();
        EXPECT_EQ(workbench->Acquisitions().StatusUpdate(), step.polling);
        EXPECT_EQ(workbench->Link().Polling(), step.polling);
        EXPECT_EQ(enable->isEnabled(), !step.polling);
        EXPECT_EQ(disable->isEnabled(), step.polling);
    }
}

TEST(WindowTitle, ReadsExactlyWhatTheWindowComposesWithNoProgramNameAppended) {
    const QString name = QCoreApplication::applicationName();
    app::SetApplicationIdentity(QStringLiteral("Ambrel Q7"));
    // The platform appends the display name to every title once one is set; none is, so
    // Qt falls back to the application name and appends nothing.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    {
        TFakeSerialPort port;
        TFakePortDirectory directory;
        TScriptedDialogs dialogs;
        app::TWorkbenchOptions options;
        options.SerialPort = &port;
        options.Directory = &directory;
        options.Dialogs = &dialogs;
        options.RunMasterTimer = false;
        app::TWorkbench workbench(options);
        ASSERT_TRUE(workbench.Start());
        ui::TFormMain& main = workbench.Main();
        workbench.Config().ConfigDate = QStringLiteral("010124");
        workbench.Config().SetSaved(false);
        const QString title = main.windowTitle();
        EXPECT_TRUE(title.startsWith("Ambrel Q7 Diagnostic 2.2.04 - ")) << title.toStdString();
        EXPECT_TRUE(title.endsWith(".cfg *")) << title.toStdString();
        EXPECT_EQ(title.count("Ambrel Q7"), 1);
        ASSERT_NE(main.windowHandle(), nullptr);
        EXPECT_EQ(main.windowHandle()->title(), title);
        dialogs.Answers.enqueue(QMessageBox::Yes);
        dialogs.Answers.enqueue(QMessageBox::No);
    }
    QCoreApplication::setApplicationName(name);
}

TEST(GasSolenoid, CheckMarkFollowsTheEcusConfirmationBothWays) {
    TScriptedDialogs dialogs;
    app::TWorkbenchOptions options;
    options.Demo = true;
    options.Dialogs = &dialogs;
    app::TWorkbench workbench(options);
    ASSERT_TRUE(workbench.Start());
    ASSERT_TRUE(WaitFor([&] { return workbench.Link().ECUisConnected(); }));
    QAction* solenoid = workbench.Action(TActionId::DiagnosticsSolenoid1);
    const sim::TEngineModel& engine = workbench.Simulator()->Ecu().Engine();
    EXPECT_FALSE(solenoid->isChecked());

    dialogs.Answers.enqueue(QMessageBox::Yes);
    solenoid->trigger();
    EXPECT_EQ(dialogs.Asked.last(), "You are about to disable the gas solenoid.\nDo you want to proceed ?");
    EXPECT_FALSE(solenoid->isChecked()); // not before the ECU says so
    ASSERT_TRUE(WaitFor([&] { return solenoid->isChecked(); }));
    EXPECT_TRUE(engine.SolenoidDisabled());
    EXPECT_EQ(workbench.Dialog().Text(), "Solenoid disabled");

    // Checked, the command asks the ECU to open the solenoid again, without a question.
    const auto asked = dialogs.Asked.size();
    solenoid->trigger();
    EXPECT_EQ(dialogs.Asked.size(), asked);
    ASSERT_TRUE(WaitFor([&] { return !solenoid->isChecked(); }));
    EXPECT_FALSE(engine.SolenoidDisabled());
    EXPECT_EQ(workbench.Dialog().Text(), "Solenoid enabled");
}
