#pragma once
// The main window's menu commands that are not windows: editing the configuration as a
// whole (reset, write date, range check), the ECU menu (upload, download, reset, queue,
// strategy switch, buzzer, ports, auto-scan), the diagnostics commands (solenoid, its
// tests, injection sequence, version, status update) and the language choices. Each is
// connected to its action by id; the check marks and enabled states follow the objects
// they describe (the link, the measures, the ECU's confirmations), not the clicks.

#include "actions.h"

#include <QObject>

class QWidget;

namespace ambrel {
class TAcquisitions;
class TDataMap;
class TLinkManager;
} // namespace ambrel

namespace ambrel::ui {

class TDialogService;
class TLanguageSwitcher;
class TMainWorkflow;

class TMainCommands final : public QObject {
    Q_OBJECT
public:
    // `window`: the parent of the questions (the main window).
    TMainCommands(TActionRegistry& actions, TMainWorkflow& workflow, TLinkManager& link, TDataMap& config,
                  TAcquisitions& acquisitions, TDialogService& dialogs, QWidget& window, QObject* parent = nullptr);

    // The language choices switch through this switcher.
    void SetLanguageSwitcher(TLanguageSwitcher* switcher);
    // The first six ports of the system's list, the open one checked.
    void RefreshPortMenu();

private:
    QAction* Action(TActionId id) const { return m_actions.Action(id); }
    bool Confirm(const QString& question);
    void FollowStatusUpdate(bool on);
    void EditResetAllExecute();
    void EditWriteDateExecute();
    void ECUBuzzer1Execute();
    void ECUSwitchMode1Execute();
    void ECUComExecute(TActionId id);
    void DiagnosticsSolenoid1Execute();

    TActionRegistry& m_actions;
    TMainWorkflow& m_workflow;
    TLinkManager& m_link;
    TDataMap& m_config;
    TAcquisitions& m_acquisitions;
    TDialogService& m_dialogs;
    QWidget& m_window;
    TLanguageSwitcher* m_languages = nullptr;
};

} // namespace ambrel::ui
