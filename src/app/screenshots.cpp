// Takes screenshots of the workbench's windows against the simulated ECU, for the README:
//   ambrel-q7-screenshots OUTPUT-FOLDER
// It runs the real workbench (--demo wiring), waits for the connection, and grabs each
// window in both strategies.

#include "workbench.h"

#include "ui/memory/formmemory.h"
#include "ui/pinout/formpinout.h"
#include "ui/testmode/formtestmode.h"

#include <QApplication>
#include <QDialog>
#include <QComboBox>
#include <QListWidget>
#include <QTableWidget>
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
    workbench.Splash().hide();

    // The service windows. Test mode opens with a warning box; it is dismissed here.
    const auto dismissModal = [] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && qobject_cast<QDialog*>(modal))
            modal->close();
    };
    auto& testMode = workbench.Window<ui::TFormTestMode>(ui::TWindowId::TestMode);
    QTimer::singleShot(400, dismissModal);
    workbench.Action(ui::TActionId::DiagnosticsTestMode1)->trigger();
    Wait(1500);
    testMode.findChild<QComboBox*>(QStringLiteral("ComboBoxChn"))->setCurrentIndex(4); // battery voltage
    testMode.Session().SetSolenoid(true);
    testMode.Session().SetGasInjector(1, true);
    Wait(1600);
    ok &= Save(testMode, folder + QStringLiteral("/testmode.png"));
    testMode.hide();
    Wait(300);

    auto& memory = workbench.Window<ui::TFormMemory>(ui::TWindowId::Memory);
    workbench.Simulator()->Ecu().WriteMemoryByte(0x1234, 0xCD);
    workbench.Simulator()->Ecu().WriteMemoryByte(0x1235, 0xAB);
    workbench.Simulator()->Ecu().WriteMemoryByte(0x2000, 0x5A);
    workbench.Action(ui::TActionId::DiagnosticsMemory1)->trigger();
    auto* read = memory.findChild<QTableWidget*>(QStringLiteral("TableRead"));
    const auto put = [](QTableWidget* table, int row, int column, const char* text) {
        table->setItem(row, column, new QTableWidgetItem(QString::fromLatin1(text)));
    };
    put(read, 0, 0, "0x1234");
    put(read, 0, 1, "rail_target");
    put(read, 0, 2, "2");
    put(read, 1, 0, "8192");
    put(read, 1, 1, "inj_state");
    put(read, 1, 2, "1");
    auto* write = memory.findChild<QTableWidget*>(QStringLiteral("TableWrite"));
    put(write, 0, 0, "0x3000");
    put(write, 0, 2, "0x10");
    put(write, 1, 2, "32");
    Wait(1200);
    ok &= Save(memory, folder + QStringLiteral("/memory.png"));
    memory.hide();

    auto& pinOut = workbench.Window<ui::TFormPinOut>(ui::TWindowId::PinOut);
    workbench.Action(ui::TActionId::HelpPinOut)->trigger();
    pinOut.findChild<QListWidget*>(QStringLiteral("ListBox15"))->setCurrentRow(0);
    Wait(300);
    ok &= Save(pinOut, folder + QStringLiteral("/pinout.png"));
    pinOut.hide();
    return ok ? 0 : 1;
}
