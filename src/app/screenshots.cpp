// Takes screenshots of the workbench's windows against the simulated ECU, for the README:
//   ambrel-q7-screenshots OUTPUT-FOLDER
// It runs the real workbench (--demo wiring), waits for the connection, and grabs each
// window in both strategies.

#include "workbench.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

using namespace ambrel;

namespace {
void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
bool Save(QWidget& w, const QString& path) {
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app::SetApplicationIdentity(QStringLiteral("Ambrel Q7 screenshots"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(folder);

    app::TWorkbenchOptions options;
    options.Demo = true;
    options.Engine.StartMs = 45000; // engine warm and on gas
    app::TWorkbench workbench(options);
    if (!workbench.Start())
        return 1;
    workbench.Main().resize(1024, 740);
    Wait(2500);
    bool ok = Save(workbench.Splash(), folder + QStringLiteral("/splash.png"));
    workbench.Splash().hide();
    ok &= Save(workbench.Main(), folder + QStringLiteral("/main-slave.png"));

    // Compensated: select it on the simulated ECU and let the workbench hear of it.
    workbench.Session().SendStrategy(1, 1);
    Wait(1500);
    ok &= Save(workbench.Main(), folder + QStringLiteral("/main-compensated.png"));

    // The Diagnostics menu of a connected ECU: solenoid check mark, one status-update command.
    QMenu* diagnostics = workbench.Main().Menu(ui::TMenu::Diagnostics);
    diagnostics->popup(workbench.Main().mapToGlobal(QPoint(120, 30)));
    Wait(300);
    ok &= Save(*diagnostics, folder + QStringLiteral("/menu-diagnostics.png"));
    diagnostics->hide();

    QWidget& log = *workbench.Window(ui::TWindowId::Communications);
    log.resize(760, 420);
    workbench.Action(ui::TActionId::DiagnosticsLog1)->trigger();
    Wait(600);
    ok &= Save(log, folder + QStringLiteral("/log.png"));

    // The diagnostics window on its Errors page (the simulated ECU has a code present and
    // one stored), then its Freeze frame and Counters pages; the supported-codes list.
    QWidget& dtc = *workbench.Window(ui::TWindowId::Diagnostics);
    dtc.resize(660, 380);
    workbench.Action(ui::TActionId::DiagnosticsDTC1)->trigger();
    Wait(1200);
    ok &= Save(dtc, folder + QStringLiteral("/diagnostics-errors.png"));
    auto* pages = dtc.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    pages->setCurrentIndex(1);
    Wait(1000);
    ok &= Save(dtc, folder + QStringLiteral("/diagnostics-freeze-frame.png"));
    pages->setCurrentIndex(4);
    Wait(1000);
    ok &= Save(dtc, folder + QStringLiteral("/diagnostics-counters.png"));
    pages->setCurrentIndex(0);
    dtc.hide();
    QWidget& supported = *workbench.Window(ui::TWindowId::SupportedDtc);
    workbench.Action(ui::TActionId::HelpDTC1)->trigger();
    Wait(300);
    ok &= Save(supported, folder + QStringLiteral("/supported-dtc.png"));
    supported.hide();

    workbench.Dialog().ShowProgressBar(QStringLiteral("Upload in progress"), 46);
    Wait(100);
    ok &= Save(workbench.Dialog(), folder + QStringLiteral("/dialog-progress.png"));
    workbench.Dialog().ShowInformation(QStringLiteral("Start the engine"), 2000, &workbench.Main());
    Wait(100);
    ok &= Save(workbench.Dialog(), folder + QStringLiteral("/dialog-information.png"));
    workbench.Dialog().ShowMessage(QStringLiteral("Upload complete"), 500);
    Wait(100);
    ok &= Save(workbench.Dialog(), folder + QStringLiteral("/dialog-message.png"));
    QTimer::singleShot(300, [&] {
        ok &= Save(workbench.Dialog(), folder + QStringLiteral("/dialog-warning.png"));
        workbench.Dialog().accept();
    });
    workbench.Dialog().ShowWarning(QStringLiteral("Adjust these settings"), &workbench.Main());
    workbench.Splash().ShowAbout();
    Wait(200);
    ok &= Save(workbench.Splash(), folder + QStringLiteral("/about.png"));
    return ok ? 0 : 1;
}
