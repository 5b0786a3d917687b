#pragma once
// The main window: menu bar, tool bar, the twelve pages of PageControlGeneral, the
// two-panel status bar, the 40 ms TimerGUI with its soft timers, the strategy and
// firmware visibility rules, the ECU menu actions, and the close questions. It is also the
// consumer of the requests it sends itself (the solenoid). The workflow behind it
// (connecting sequence, strategy switch, feature level) is the session's (session/session.h).
//
// Everything it needs comes in through the constructor; it creates no model of its own.

#include "config/configview.h"
#include "link/frame.h"
#include "softtimers.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QToolBar;

namespace ambrel {
class TAcquisitions;
class TDataMap;
class TLinkManager;
class TSession;
} // namespace ambrel

namespace ambrel::ui {

class TDialogService;
class TFormDialog;
class TFormSplash;
class TFormCommunications;
class TLanguageSwitcher;

// The fixed page order of PageControlGeneral; other parts choose blocks by this index.
enum TPageIndex {
    pageGeneral = 0,
    pageFunctions,
    pageInjectors,
    pagePetrolMap,
    pageGasMapComp,
    pageGasMapSlave,
    pageEmulation,
    pageFuelTrim,
    pageCorrections,
    pageDrivability,
    pageTimeAdvance,
    pageSensors,
    kPageCount
};

class TFormMain final : public QMainWindow, public TConsumerInterface, public TConfigView {
    Q_OBJECT
public:
    TFormMain(TLinkManager& link, TDataMap& config, TAcquisitions& acquisitions, TSession& session,
              TDialogService& dialogs, TSoftTimers& timers, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The windows made after the main window, handed over by the composition root.
    void SetFeedbackWindows(TFormDialog* dialog, TFormSplash* splash);
    void SetCommunicationsWindow(TFormCommunications* window);
    void SetLanguageSwitcher(TLanguageSwitcher* switcher);

    // Strategy: 0 Slave, 1 Compensated; the configuration model holds it.
    int StrategyFlag() const;
    void SetStrategyFlag(int flag);
    void ApplyVisibilityRules();
    void ApplyStrategyCaptions();
    int FirmwareFeatureLevel() const;
    void ShowFeatureControls(QWidget* root);
    void HideUnsupportedControls(QWidget* root);
    void RefreshPortMenu();
    // "Open..." and "Save": false when cancelled or failed (the reason was shown).
    bool FileOpen1Execute();
    bool FileSave1Execute();

    QAction* Action(const QString& name) const { return m_actions.value(name); }
    QTabWidget* Pages() const { return m_pages; }
    QString StatusPanelText(int panel) const;
    TSoftTimers& SoftTimers() { return m_softTimers; }
    int SolenoidState() const { return m_solenoidState; }
    // Runs the shut-down once (stops timers and polling, empties the queue, closes the port).
    void ShutDown();

    // TConsumerInterface: answers to the requests the main window sent itself (the solenoid).
    void OnReply(const TFrame&) override {}
    void OnFailure() override {}
    void OnTimeout() override {}

    // TConfigView: what the configuration model asks of the window.
    TConfigPage VisiblePage() const override;
    void RefreshGUI(const TDataMap& config) override;
    void StrategyChanged(int strategyFlag) override;
    void RequestSequence() override;
    void ShowProgress(const QString& text, int percent) override;
    void SetProgress(int percent) override;
    void HideProgress() override;
    void ShowMessage(const QString& text, int milliseconds) override;
    void ShowError(const QString& text) override;
    void ShowWarning(const QString& text) override;
    void SetTitle(const QString& title) override;
    void SetUndoEnabled(bool enabled) override;

signals:
    // A block 1 with the date "000000" came from an ECU never configured.
    void WizardRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreatePages();
    void ConnectLink();
    void RetranslateUi();
    void TimerGUITimer();
    bool FormCloseQuery();

    // Menu handlers.
    void EditUndo1Execute();
    void EditResetAllExecute();
    void EditWriteDateExecute();
    void ECUDownload1Execute();
    void ECUReset1Execute();
    void ECUClearQueueExecute();
    void ECUSwitchMode1Execute();
    void ECUComExecute(QAction* action);
    void ECUScanCOMExecute();
    void DiagnosticsSolenoid1Execute();
    void DiagnosticsVersionInfo1Execute();
    void DiagnosticsStatusUpdate(bool on);
    void DiagnosticsLog1Execute();
    void HelpInfo1Execute();

    TLinkManager& m_link;
    TDataMap& m_config;
    TAcquisitions& m_acquisitions;
    TSession& m_session;
    TDialogService& m_dialogs;
    TSoftTimers& m_softTimers;
    QPointer<TFormDialog> m_dialog;
    QPointer<TFormSplash> m_splash;
    QPointer<TFormCommunications> m_communications;
    TLanguageSwitcher* m_languages = nullptr;

    QHash<QString, QAction*> m_actions;
    QList<QAction*> m_portActions;
    QList<QAction*> m_languageActions;
    QList<QMenu*> m_menus;
    QMenu* m_languageMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QHash<QString, QPushButton*> m_toolButtons;
    QHash<QString, QAction*> m_toolButtonActions; // a tool bar shows or hides a widget through its action
    QTabWidget* m_pages = nullptr;
    QLabel* m_statusPanels[2] = {nullptr, nullptr};
    QTimer m_timerGui;
    int m_solenoidState = 3;
    bool m_shutDown = false;
    QString m_progressText;
};

} // namespace ambrel::ui
