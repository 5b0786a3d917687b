#pragma once
// The composition root of the workbench window: it builds every object once, in the order
// the windows are created, hands each what it needs, wires them together, and takes them
// down in order. The program, the screenshot tool and the window tests all build the
// workbench this way, so they exercise the same wiring.

#include "config/datamap.h"
#include "link/linkmanager.h"
#include "link/qtserialport.h"
#include "measure/acquisitions.h"
#include "link/settings.h"
#include "session/session.h"
#include "sim/simserver.h"
#include "ui/main/actions.h"
#include "ui/main/dialogservice.h"
#include "ui/main/formdialog.h"
#include "ui/main/formmain.h"
#include "ui/main/languages.h"
#include "ui/main/maincommands.h"
#include "ui/main/mainworkflow.h"
#include "ui/main/windowmodule.h"

#include <array>
#include <memory>

class QApplication;

namespace ambrel::app {

struct TWorkbenchOptions {
    QString Port;          // open this device instead of the stored one
    bool Demo = false;     // start the simulated ECU in-process and use it
    sim::TEngineOptions Engine;
    // For tests: a port, a port list and dialogs of their own (nullptr: the real ones).
    TSerialPort* SerialPort = nullptr;
    TPortDirectory* Directory = nullptr;
    // For tests: a settings store of their own (nullptr: the program's, TQtSettingsStore).
    TSettingsStore* Settings = nullptr;
    ui::TDialogService* Dialogs = nullptr;
    bool RunMasterTimer = true;
};

// The program's identity for QSettings and the platform. No display name is set: the
// platform would append it to every window title, and the main window's title already
// names the program.
void SetApplicationIdentity(const QString& applicationName);

class TWorkbench {
public:
    explicit TWorkbench(const TWorkbenchOptions& options);
    ~TWorkbench();

    // Opens the port and shows the main window; false with a message when the simulated
    // ECU cannot start.
    bool Start(QString* error = nullptr);

    TLinkManager& Link() { return *m_link; }
    TDataMap& Config() { return *m_config; }
    TAcquisitions& Acquisitions() { return *m_acquisitions; }
    TSession& Session() { return *m_session; }
    TSettingsStore& Settings() { return *m_settings; }
    TSerialPort& SerialPort() { return *m_serialPort; }
    ui::TActionRegistry& Actions() { return *m_actions; }
    QAction* Action(ui::TActionId id) { return m_actions->Action(id); }
    ui::TMainWorkflow& Workflow() { return *m_workflow; }
    ui::TMainCommands& Commands() { return *m_commands; }
    ui::TFormMain& Main() { return *m_formMain; }
    ui::TFormDialog& Dialog() { return *m_formDialog; }
    ui::TLanguageSwitcher& Languages() { return *m_languages; }
    ui::TSoftTimers& SoftTimers() { return m_softTimers; }
    sim::TSimServer* Simulator() { return m_simulator.get(); }
    // A window of the module table; null while its module has no factory.
    QWidget* Window(ui::TWindowId id) { return m_windows[Index(id)].get(); }
    template <class TForm>
    TForm& Window(ui::TWindowId id) {
        return *qobject_cast<TForm*>(Window(id));
    }
    ui::TFormSplash& Splash() { return Window<ui::TFormSplash>(ui::TWindowId::Splash); }

private:
    static std::size_t Index(ui::TWindowId id) { return static_cast<std::size_t>(id); }
    void WireLink();
    void CreateWindows();
    void ShutDown();

    TWorkbenchOptions m_options;
    std::unique_ptr<sim::TSimServer> m_simulator;
    std::unique_ptr<TSerialPort> m_ownPort;
    std::unique_ptr<TPortDirectory> m_ownDirectory;
    std::unique_ptr<ui::TDialogService> m_ownDialogs;
    std::unique_ptr<TSettingsStore> m_ownSettings;
    TSettingsStore* m_settings = nullptr;
    TSerialPort* m_serialPort = nullptr;
    TPortDirectory* m_directory = nullptr;
    ui::TDialogService* m_dialogs = nullptr;
    std::unique_ptr<TLinkManager> m_link;
    std::unique_ptr<TDataMap> m_config;
    std::unique_ptr<TAcquisitions> m_acquisitions;
    std::unique_ptr<TSession> m_session;
    ui::TSoftTimers m_softTimers;
    std::unique_ptr<ui::TActionRegistry> m_actions;
    std::unique_ptr<ui::TMainWorkflow> m_workflow;
    std::unique_ptr<ui::TFormMain> m_formMain;
    std::unique_ptr<ui::TFormDialog> m_formDialog;
    std::unique_ptr<ui::TMainCommands> m_commands;
    std::array<std::unique_ptr<QWidget>, static_cast<std::size_t>(ui::TWindowId::Count)> m_windows;
    std::unique_ptr<ui::TLanguageSwitcher> m_languages;
};

} // namespace ambrel::app
