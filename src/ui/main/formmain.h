#pragma once
// The main window: the containers of the workbench. Its menu bar is built from the action
// registry (the commands and their places come from elsewhere), the tool bar runs
// commands by id, the twelve pages of PageControlGeneral, the two-panel status bar, the
// 40 ms TimerGUI with its soft timers, the strategy and firmware visibility rules, the
// configuration files with their questions, and the close questions. It is the
// configuration model's TConfigView.
//
// Everything it needs comes in through the constructor; it creates no model of its own and
// knows no other window. The composition root connects it to the link and the measures.

#include "actions.h"
#include "config/configview.h"
#include "link/linkevents.h"
#include "softtimers.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QToolBar;

namespace ambrel {
class TDataMap;
} // namespace ambrel

namespace ambrel::ui {

class TDialogService;
class TFormDialog;
class TMainWorkflow;

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

class TFormMain final : public QMainWindow, public TConfigView {
    Q_OBJECT
public:
    TFormMain(TDataMap& config, TMainWorkflow& workflow, TActionRegistry& actions, TDialogService& dialogs,
              TSoftTimers& timers, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The shared message dialog, made right after the main window.
    void SetFeedbackDialog(TFormDialog* dialog) { m_dialog = dialog; }

    // Strategy: 0 Slave, 1 Compensated; the configuration model holds it.
    int StrategyFlag() const;
    void ApplyVisibilityRules();
    void ApplyStrategyCaptions();
    void ShowFeatureControls(QWidget* root);
    void HideUnsupportedControls(QWidget* root);
    // After an identification: the pages' controls as the firmware allows.
    void ApplyFeatureLevel();
    // "Open..." and "Save": false when cancelled or failed (the reason was shown).
    bool FileOpen1Execute();
    bool FileSave1Execute();

    QAction* Action(TActionId id) const { return m_actions.Action(id); }
    QMenu* Menu(TMenu menu) const;
    QTabWidget* Pages() const { return m_pages; }
    QString StatusPanelText(int panel) const;
    void SetStatusText(int panel, const QString& text);
    // The link's state in status panel 0, in the current language.
    void ShowLinkState(const TLinkStateEvent& event);
    TSoftTimers& SoftTimers() { return m_softTimers; }
    // Runs the shut-down once (stops the main-loop timer, then tells ShuttingDown).
    void ShutDown();

    // TConfigView: what the configuration model asks of the window.
    TConfigPage VisiblePage() const override;
    void RefreshGUI(const TDataMap& config) override;
    void StrategyChanged(int strategyFlag) override;
    void RequestSequence() override;
    void ShowProgress(const QString& text, int percent) override;
    void SetProgress(int percent) override;
    void HideProgress() override;
    void ShowMessage(const QString& text, int milliseconds) override;
    void ShowWarning(const QString& text) override;
    void ShowError(const QString& text) override;
    void SetTitle(const QString& title) override;
    void SetUndoEnabled(bool enabled) override;

signals:
    // The window closes for good: the link stops and the other windows close.
    void ShuttingDown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreatePages();
    void CreateStatusBar();
    void RetranslateUi();
    bool ProgressShown() const;
    bool FormCloseQuery();
    void EditUndo1Execute();

    TDataMap& m_config;
    TMainWorkflow& m_workflow;
    TActionRegistry& m_actions;
    TDialogService& m_dialogs;
    TSoftTimers& m_softTimers;
    QPointer<TFormDialog> m_dialog;

    QList<QMenu*> m_menus;
    QMenu* m_languageMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QList<QPushButton*> m_toolButtons;
    QAction* m_bankButton = nullptr; // the tool bar shows or hides ButtonBank through its action
    QTabWidget* m_pages = nullptr;
    QLabel* m_statusPanels[2] = {nullptr, nullptr};
    QTimer m_timerGui;
    bool m_shutDown = false;
    QString m_progressText;
    TLinkStateEvent m_linkState;
    bool m_hasLinkState = false;
};

} // namespace ambrel::ui
