#include "windowmodules.h"

#include "service/diagnostics.h"
#include "session/session.h"
#include "ui/diagnostics/formdiagnostics.h"
#include "ui/link/formcommunications.h"
#include "ui/main/formdialog.h"
#include "ui/memory/formmemory.h"
#include "ui/pinout/formpinout.h"
#include "ui/testmode/formtestmode.h"

#include <QMainWindow>
#include <QStatusBar>

namespace ambrel::app {

namespace {

using ui::TActionId;
using ui::TMenu;
using ui::TWindowContext;
using ui::TWindowId;

std::unique_ptr<QWidget> MakeSplash(const TWindowContext& c) {
    return std::make_unique<ui::TFormSplash>(c.SoftTimers);
}
void ShowAbout(QWidget& window) {
    static_cast<ui::TFormSplash&>(window).ShowAbout();
}

std::unique_ptr<QWidget> MakeCommunications(const TWindowContext& c) {
    return std::make_unique<ui::TFormCommunications>(c.Link, c.SerialPort);
}

// The diagnostics window owns the trouble-code conversation and its status poll; the
// counters it shows between the user's reads come from the session controller's periodic
// read. The main window's check-engine lamp sits at the right of its status bar and
// follows the conversation.
std::unique_ptr<QWidget> MakeDiagnostics(const TWindowContext& c) {
    auto window = std::make_unique<ui::TFormDiagnostics>(c.Link, c.Config, c.Dialogs, c.Settings);
    TDiagnostics& diagnostics = window->Diagnostics();
    if (c.Session) {
        diagnostics.TakeCounters(c.Session->Counters());
        QObject::connect(c.Session, &TSession::CountersRead, &diagnostics, &TDiagnostics::TakeCounters);
    }
    if (auto* main = qobject_cast<QMainWindow*>(&c.MainWindow)) {
        auto* lamp = new ui::TCheckEngineLamp(main->statusBar());
        main->statusBar()->addPermanentWidget(lamp);
        QObject::connect(&diagnostics, &TDiagnostics::CheckEngineChanged, lamp, &ui::TCheckEngineLamp::SetFlashing);
    }
    return window;
}

std::unique_ptr<QWidget> MakeSupportedDtc(const TWindowContext&) {
    return std::make_unique<ui::TFormHelpDTC>();
}

std::unique_ptr<QWidget> MakeBanner(const TWindowContext& c) {
    return std::make_unique<ui::TFormGlowingLabel>(c.SoftTimers, &c.MainWindow, c.Feedback);
}

std::unique_ptr<QWidget> MakePinOut(const TWindowContext& c) {
    return std::make_unique<ui::TFormPinOut>(c.Link);
}

std::unique_ptr<QWidget> MakeTestMode(const TWindowContext& c) {
    return std::make_unique<ui::TFormTestMode>(c.Link, c.Config, c.Dialogs);
}

std::unique_ptr<QWidget> MakeMemory(const TWindowContext& c) {
    return std::make_unique<ui::TFormMemory>(c.Link, c.Dialogs);
}

// Window, command, menu, caption, shortcut, separator before, factory (null: not written
// yet, its command stays disabled), what the command does (null: show and raise), shown at start.
const ui::TWindowModule kModules[] = {
    {TWindowId::MapCheck, TActionId::DiagnosticsCheckMap, TMenu::Diagnostics,
     QT_TRANSLATE_NOOP("TFormMain", "Check map"), "", false, nullptr},
    {TWindowId::Splash, TActionId::HelpInfo1, TMenu::Help, QT_TRANSLATE_NOOP("TFormMain", "About..."), "", false,
     MakeSplash, ShowAbout, true},
    {TWindowId::Modify, TActionId::None, TMenu::None, nullptr, "", false, nullptr},
    {TWindowId::Meters, TActionId::DiagnosticsDisplay1, TMenu::Diagnostics,
     QT_TRANSLATE_NOOP("TFormMain", "Display meters"), "F9", false, nullptr},
    {TWindowId::Communications, TActionId::DiagnosticsLog1, TMenu::Diagnostics,
     QT_TRANSLATE_NOOP("TFormMain", "&Log COM"), "F10", false, MakeCommunications},
    {TWindowId::Diagnostics, TActionId::DiagnosticsDTC1, TMenu::Diagnostics,
     QT_TRANSLATE_NOOP("TFormMain", "Error codes (DTC)"), "F8", false, MakeDiagnostics},
    {TWindowId::PinOut, TActionId::HelpPinOut, TMenu::Help, QT_TRANSLATE_NOOP("TFormMain", "ECU pin-out"), "F1",
     false, MakePinOut},
    {TWindowId::AutoTune, TActionId::EditTuneMap1, TMenu::Edit, QT_TRANSLATE_NOOP("TFormMain", "Tune gas map"), "",
     false, nullptr},
    {TWindowId::Flasher, TActionId::ECUUpgradeFirmware1, TMenu::Ecu,
     QT_TRANSLATE_NOOP("TFormMain", "Firmware flasher"), "", true, nullptr},
    {TWindowId::Banner, TActionId::None, TMenu::None, nullptr, "", false, MakeBanner},
    {TWindowId::Resample, TActionId::EditResampleMap1, TMenu::Edit, QT_TRANSLATE_NOOP("TFormMain", "Resample map"),
     "", false, nullptr},
    {TWindowId::TestMode, TActionId::DiagnosticsTestMode1, TMenu::Diagnostics,
     QT_TRANSLATE_NOOP("TFormMain", "Test mode"), "", true, MakeTestMode},
    {TWindowId::Memory, TActionId::DiagnosticsMemory1, TMenu::Diagnostics,
     QT_TRANSLATE_NOOP("TFormMain", "Memory watch"), "", false, MakeMemory},
    {TWindowId::SupportedDtc, TActionId::HelpDTC1, TMenu::Help, QT_TRANSLATE_NOOP("TFormMain", "Supported DTCs"), "",
     false, MakeSupportedDtc},
    {TWindowId::Wizard, TActionId::EditWizard, TMenu::Edit, QT_TRANSLATE_NOOP("TFormMain", "Wizard"), "", false,
     nullptr},
    {TWindowId::SpecialSettings, TActionId::ECUSpecialSettings, TMenu::Ecu,
     QT_TRANSLATE_NOOP("TFormMain", "Special settings"), "", false, nullptr},
    {TWindowId::Eobd, TActionId::DiagnosticsOBD, TMenu::Diagnostics, QT_TRANSLATE_NOOP("TFormMain", "eOBD"), "",
     false, nullptr},
};
static_assert(std::size(kModules) == static_cast<std::size_t>(TWindowId::Count), "one row per window");

} // namespace

std::span<const ui::TWindowModule> WindowModules() {
    return kModules;
}

} // namespace ambrel::app
