#include "actions.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>

namespace ambrel::ui {

namespace {

// Object names, in the order of TActionId: the names the tests and the designer use.
constexpr const char* kNames[] = {
    "FileOpen1", "FileSave1",
    "LanguageMenu1", "LanguageMenu2", "LanguageMenu3", "LanguageMenu4", "LanguageMenu5",
    "LanguageMenu6", "LanguageMenu7", "LanguageMenu8", "LanguageMenu9", "LanguageMenu10",
    "FileExit1",
    "EditWizard", "EditTuneMap1", "EditCopy1", "EditPaste1", "EditWinPaste", "EditUndo1", "EditResetAll",
    "EditResetMap", "EditResampleMap1", "EditWriteDate", "EditEnableRangeCheck1",
    "ECUUpload1", "ECUDownload1", "ECUSpecialSettings", "ECUReset1", "ECUClearQueue", "ECUUpgradeFirmware1",
    "ECUExitMonitor1", "ECUSwitchMode1", "ECUBuzzer1",
    "ECUCom1", "ECUCom2", "ECUCom3", "ECUCom4", "ECUCom5", "ECUCom6",
    "ECUScanCOM",
    "DiagnosticsDisplay1", "DiagnosticsCheckMap", "DiagnosticsDTC1", "DiagnosticsTestMode1", "DiagnosticsOBD",
    "DiagnosticsInjectionSequence", "DiagnosticsSolenoid1", "DiagnosticsEVon", "DiagnosticsEVoff",
    "DiagnosticsMemory1", "DiagnosticsVersionInfo1", "DiagnosticsLog1", "DiagnosticsEnableStatusUpdate1",
    "DiagnosticsDisableStatusUpdate1",
    "HelpPinOut", "HelpDTC1", "HelpInfo1",
};
static_assert(std::size(kNames) == kActionCount, "one object name per action id");

constexpr const char* kContext = "TFormMain";

using A = TActionId;
using M = TMenu;

// The main window's own commands: files, editing, the ECU and the diagnostics that are
// not windows. The commands that show a window are rows of the window module table.
const TActionRow kMainActions[] = {
    {A::FileOpen1, M::File, QT_TRANSLATE_NOOP("TFormMain", "Open...")},
    {A::FileSave1, M::File, QT_TRANSLATE_NOOP("TFormMain", "Save")},
    {A::FileExit1, M::File, QT_TRANSLATE_NOOP("TFormMain", "Exit"), "Alt+F4", true},
    {A::EditCopy1, M::Edit, QT_TRANSLATE_NOOP("TFormMain", "Copy"), "Ctrl+C", true},
    {A::EditPaste1, M::Edit, QT_TRANSLATE_NOOP("TFormMain", "Paste"), "Ctrl+V"},
    {A::EditWinPaste, M::Edit, QT_TRANSLATE_NOOP("TFormMain", "Paste from clipboard")},
    {A::EditUndo1, M::Edit, QT_TRANSLATE_NOOP("TFormMain", "Undo"), "Ctrl+Z"},
    {A::EditResetAll, M::Edit, QT_TRANSLATE_NOOP("TFormMain", "Reset to default cfg"), "", true},
    {A::EditResetMap, M::Edit, QT_TRANSLATE_NOOP("TFormMain", "Reset gas map")},
    {A::EditWriteDate, M::Edit, QT_TRANSLATE_NOOP("TFormMain", "Write date")},
    {A::EditEnableRangeCheck1, M::Edit, QT_TRANSLATE_NOOP("TFormMain", "Range Check"), "", false, true},
    {A::ECUUpload1, M::Ecu, QT_TRANSLATE_NOOP("TFormMain", "Upload"), "F5"},
    {A::ECUDownload1, M::Ecu, QT_TRANSLATE_NOOP("TFormMain", "Download")},
    {A::ECUReset1, M::Ecu, QT_TRANSLATE_NOOP("TFormMain", "Re&set ECU")},
    {A::ECUClearQueue, M::Ecu, QT_TRANSLATE_NOOP("TFormMain", "Clear TX queue")},
    {A::ECUExitMonitor1, M::Ecu, QT_TRANSLATE_NOOP("TFormMain", "Close bootloader (RST)")},
    {A::ECUSwitchMode1, M::Ecu, QT_TRANSLATE_NOOP("TFormMain", "Switch to Compensated")},
    {A::ECUBuzzer1, M::Ecu, QT_TRANSLATE_NOOP("TFormMain", "Enable buzzer"), "", false, true},
    {A::ECUScanCOM, M::Ecu, QT_TRANSLATE_NOOP("TFormMain", "Auto-scan"), "", false, true},
    {A::DiagnosticsInjectionSequence, M::Diagnostics, QT_TRANSLATE_NOOP("TFormMain", "Read injection sequence")},
    {A::DiagnosticsSolenoid1, M::Diagnostics, QT_TRANSLATE_NOOP("TFormMain", "Disable gas solenoid"), "F12", false,
     true},
    {A::DiagnosticsEVon, M::Diagnostics, QT_TRANSLATE_NOOP("TFormMain", "DiagnosticsEVon")},
    {A::DiagnosticsEVoff, M::Diagnostics, QT_TRANSLATE_NOOP("TFormMain", "DiagnosticsEVoff")},
    {A::DiagnosticsVersionInfo1, M::Diagnostics, QT_TRANSLATE_NOOP("TFormMain", "Version info"), "", true},
    {A::DiagnosticsEnableStatusUpdate1, M::Diagnostics, QT_TRANSLATE_NOOP("TFormMain", "Enable status update")},
    {A::DiagnosticsDisableStatusUpdate1, M::Diagnostics, QT_TRANSLATE_NOOP("TFormMain", "Disable status update")},
};

} // namespace

std::span<const TActionRow> MainWindowActions() {
    return kMainActions;
}

const char* TActionRegistry::ObjectName(TActionId id) {
    return kNames[Index(id)];
}

TActionRegistry::TActionRegistry(QObject* parent) : QObject(parent) {
    for (int i = 0; i < kActionCount; ++i) {
        const auto id = static_cast<TActionId>(i);
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(kNames[i]));
        action->setEnabled(false);
        m_actions[Index(id)] = action;
        m_rows[Index(id)] = TActionRow{id, TMenu::None, nullptr};
    }
    // The arrays: ports of the ECU menu after a separator, languages in File's sub-menu.
    for (int n = 0; n < kPortActionCount; ++n)
        Describe({PortAction(n), TMenu::Ecu, nullptr, "", n == 0, true});
    for (int n = 0; n < kLanguageActionCount; ++n)
        Describe({LanguageAction(n), TMenu::Language, nullptr, "", false, true});
}

TActionRegistry::~TActionRegistry() = default;

void TActionRegistry::Describe(const TActionRow& row) {
    m_rows[Index(row.Id)] = row;
    QAction* action = Action(row.Id);
    action->setShortcut(QKeySequence(QLatin1String(row.Shortcut ? row.Shortcut : "")));
    action->setCheckable(row.Checkable);
    if (row.Caption)
        action->setText(QCoreApplication::translate(kContext, row.Caption));
}

void TActionRegistry::Handle(TActionId id, QObject* receiver, std::function<void()> handler) {
    QAction* action = Action(id);
    connect(action, &QAction::triggered, receiver, [handler = std::move(handler)] { handler(); });
    action->setEnabled(true);
}

void TActionRegistry::Retranslate() {
    for (const TActionRow& row : m_rows)
        if (row.Caption)
            Action(row.Id)->setText(QCoreApplication::translate(kContext, row.Caption));
}

} // namespace ambrel::ui
