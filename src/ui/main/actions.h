#pragma once
// The commands of the menu bar, addressed by a typed id. The composition root owns one
// TActionRegistry for the whole run: it makes one QAction per id up front (disabled until
// somebody handles it), takes each command's menu, caption and shortcut from the table of
// the main window's own commands or from a window module's row, and hands the registry to
// whoever adds a handler. The main window builds its menus from it in id order, so a
// window that arrives only adds a row somewhere else.

#include <QObject>
#include <array>
#include <functional>
#include <span>

class QAction;

namespace ambrel::ui {

// In menu order: the menus list their commands in the order of this enumeration.
enum class TActionId : int {
    FileOpen1,
    FileSave1,
    LanguageMenu1, LanguageMenu2, LanguageMenu3, LanguageMenu4, LanguageMenu5,
    LanguageMenu6, LanguageMenu7, LanguageMenu8, LanguageMenu9, LanguageMenu10,
    FileExit1,
    EditWizard,
    EditTuneMap1,
    EditCopy1,
    EditPaste1,
    EditWinPaste,
    EditUndo1,
    EditResetAll,
    EditResetMap,
    EditResampleMap1,
    EditWriteDate,
    EditEnableRangeCheck1,
    ECUUpload1,
    ECUDownload1,
    ECUSpecialSettings,
    ECUReset1,
    ECUClearQueue,
    ECUUpgradeFirmware1,
    ECUExitMonitor1,
    ECUSwitchMode1,
    ECUBuzzer1,
    ECUCom1, ECUCom2, ECUCom3, ECUCom4, ECUCom5, ECUCom6,
    ECUScanCOM,
    DiagnosticsDisplay1,
    DiagnosticsCheckMap,
    DiagnosticsDTC1,
    DiagnosticsTestMode1,
    DiagnosticsOBD,
    DiagnosticsInjectionSequence,
    DiagnosticsSolenoid1,
    DiagnosticsEVon,
    DiagnosticsEVoff,
    DiagnosticsMemory1,
    DiagnosticsVersionInfo1,
    DiagnosticsLog1,
    DiagnosticsEnableStatusUpdate1,
    DiagnosticsDisableStatusUpdate1,
    HelpPinOut,
    HelpDTC1,
    HelpInfo1,
    Count,
    None = Count // a window without a menu command
};

constexpr int kActionCount = static_cast<int>(TActionId::Count);
constexpr int kPortActionCount = 6;
constexpr int kLanguageActionCount = 10;

// The n-th (0-based) port or language action.
constexpr TActionId PortAction(int n) {
    return static_cast<TActionId>(static_cast<int>(TActionId::ECUCom1) + n);
}
constexpr TActionId LanguageAction(int n) {
    return static_cast<TActionId>(static_cast<int>(TActionId::LanguageMenu1) + n);
}

// The menus of the menu bar, in their order; Language is the sub-menu of File.
enum class TMenu { File, Edit, Ecu, Diagnostics, Help, Language, None };
constexpr int kMenuBarCount = 5;

// Where a command sits and how it reads. Captions are translated in the main window's
// context ("TFormMain"), since they are the menu bar's texts; a null caption is set at run
// time (port names, language names).
struct TActionRow {
    TActionId Id;
    TMenu Menu;
    const char* Caption;
    const char* Shortcut = "";
    bool SeparatorBefore = false;
    bool Checkable = false;
};

class TActionRegistry final : public QObject {
    Q_OBJECT
public:
    explicit TActionRegistry(QObject* parent = nullptr);
    ~TActionRegistry() override;

    // Gives the command its place, caption and shortcut.
    void Describe(const TActionRow& row);
    // The action of `id`; every id has one for the whole run.
    QAction* Action(TActionId id) const { return m_actions[Index(id)]; }
    TMenu Menu(TActionId id) const { return m_rows[Index(id)].Menu; }
    bool SeparatorBefore(TActionId id) const { return m_rows[Index(id)].SeparatorBefore; }
    const char* Caption(TActionId id) const { return m_rows[Index(id)].Caption; }

    // Runs `handler` when the command is chosen, and enables it: a command is enabled
    // exactly when somebody handles it.
    void Handle(TActionId id, QObject* receiver, std::function<void()> handler);

    // The captions again in the language now installed.
    void Retranslate();

    static const char* ObjectName(TActionId id);

private:
    static std::size_t Index(TActionId id) { return static_cast<std::size_t>(id); }
    std::array<QAction*, kActionCount> m_actions{};
    std::array<TActionRow, kActionCount> m_rows;
};

// The main window's own commands (the others come from the window modules).
std::span<const TActionRow> MainWindowActions();

} // namespace ambrel::ui
