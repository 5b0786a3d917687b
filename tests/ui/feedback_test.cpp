// The soft timers, the fading feedback windows and the language switch.

#include "app/workbench.h"
#include "link/settings.h"
#include "support/fakeport.h"
#include "support/qtprinters.h"
#include "support/scripteddialogs.h"
#include "uitest.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenuBar>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace ambrel;
using namespace ambrel::test;
using ui::TSoftTimer;
using ui::TSoftTimers;

TEST(SoftTimers, ATimerSetToNActsOnTheNPlusFirstTick) {
    TSoftTimers timers;
    for (int n : {0, 1, 13, 23}) {
        int firedAt = 0, tick = 0;
        timers.SetAction(TSoftTimer::RangeHint, [&] {
            firedAt = tick;
            timers.Set(TSoftTimer::RangeHint, -1);
        });
        timers.Set(TSoftTimer::RangeHint, n);
        for (tick = 1; tick <= 40; ++tick)
            timers.Tick();
        EXPECT_EQ(firedAt, n + 1) << n;
    }
    // An action that leaves its timer at 0 runs again on every tick.
    int calls = 0;
    timers.SetAction(TSoftTimer::PowerSwitch, [&] { ++calls; });
    timers.Set(TSoftTimer::PowerSwitch, 0);
    for (int i = 0; i < 5; ++i)
        timers.Tick();
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(TSoftTimers::TicksFor(500), 12);
    EXPECT_EQ(TSoftTimers::TicksFor(1000), 25);
    EXPECT_EQ(TSoftTimers::TicksFor(2000), 50);
}

namespace {
class Feedback : public FakeWorkbench {
protected:
    void SetUp() override {
        FakeWorkbench::SetUp();
        workbench->Splash().hide();
        workbench->SoftTimers().Set(TSoftTimer::SplashFade, -1);
    }
    // Ticks until the window hides; returns the ticks taken.
    int TicksUntilHidden(QWidget& w) {
        int ticks = 0;
        while (w.isVisible() && ticks < 500) {
            workbench->SoftTimers().Tick();
            ++ticks;
        }
        return ticks;
    }
};
} // namespace

TEST_F(Feedback, TimedMessageStaysThenFadesAndProgressGivesWayToTheMessage) {
    ui::TFormDialog& dialog = workbench->Dialog();
    dialog.ShowProgressBar("Upload in progress", 46);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.ProgressValue(), 46);
    EXPECT_EQ(workbench->SoftTimers().Get(TSoftTimer::DialogFade), -1);
    for (int i = 0; i < 100; ++i)
        workbench->SoftTimers().Tick();
    EXPECT_TRUE(dialog.isVisible()); // progress waits for its caller

    dialog.ShowMessage("Upload complete", 500);
    EXPECT_EQ(dialog.Kind(), ui::TFormDialog::TKind::Message);
    EXPECT_EQ(dialog.Text(), "Upload complete");
    // 12 ticks opaque, then a step every second tick: 225 ... 15, closed on the ninth step.
    EXPECT_EQ(TicksUntilHidden(dialog), 13 + 8 * 2);
}

TEST_F(Feedback, BannerIsDroppedWhileTheMessageDialogShowsAndFadesInThirteenSteps) {
    ui::TFormDialog& dialog = workbench->Dialog();
    ui::TFormGlowingLabel banner(workbench->SoftTimers(), &workbench->Main(), dialog);
    dialog.ShowMessage("File saved", 1000);
    banner.ShowText("LPG", nullptr);
    EXPECT_FALSE(banner.isVisible());
    dialog.hide();
    banner.ShowText("LPG", nullptr);
    EXPECT_TRUE(banner.isVisible());
    EXPECT_EQ(workbench->SoftTimers().Get(TSoftTimer::BannerFade), 27);
    EXPECT_EQ(TicksUntilHidden(banner), 28 + 12 * 2);
    EXPECT_EQ(banner.Text(), "");
}

TEST_F(Feedback, AboutShowsTheVersionLineAndDoesNotFade) {
    ui::TFormSplash& splash = workbench->Splash();
    splash.ShowAbout();
    EXPECT_EQ(splash.VersionText(), "Version 2.2.04");
    for (int i = 0; i < 200; ++i)
        workbench->SoftTimers().Tick();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_EQ(workbench->Main().windowTitle(), "Ambrel Q7 Diagnostic 2.2.04");
}

TEST_F(Feedback, LanguageSwitchRetranslatesAndIsRemembered) {
    ui::TLanguageSwitcher switcher({QStringLiteral(AMBREL_QM_DIR)}, settings);
    workbench->Commands().SetLanguageSwitcher(&switcher);
    ui::TFormMain& main = workbench->Main();
    EXPECT_FALSE(switcher.SwitchTo("English")); // no English module: nothing changes
    EXPECT_FALSE(main.Action(ui::TActionId::LanguageMenu2)->isChecked());
    ASSERT_TRUE(switcher.SwitchTo("Italiano"));
    QCoreApplication::processEvents();
    EXPECT_EQ(main.Pages()->tabText(ui::pageGeneral), "Generale");
    EXPECT_EQ(main.Pages()->tabText(ui::pageTimeAdvance), "Advance"); // kept in every language
    EXPECT_EQ(main.menuBar()->actions().at(1)->text(), "Modifica");
    EXPECT_EQ(main.Action(ui::TActionId::ECUSwitchMode1)->text(), "Passa a Compensato");
    EXPECT_EQ(workbench->Window(ui::TWindowId::Communications)->windowTitle(), "Registro");
    EXPECT_TRUE(main.Action(ui::TActionId::LanguageMenu4)->isChecked());
    EXPECT_EQ(settings.ReadString(kSettingsKey, "Language"), "Italian");

    // The next start restores it.
    ui::TLanguageSwitcher again({QStringLiteral(AMBREL_QM_DIR)}, settings);
    again.RestoreFromSettings();
    EXPECT_EQ(again.Active(), "Italiano");
}
