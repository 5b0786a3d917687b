#include "workbench.h"

#include "windowmodules.h"

#include "session/linktexts.h"

#include <QApplication>
#include <QMenu>

namespace ambrel::app {

void SetApplicationIdentity(const QString& applicationName) {
    QCoreApplication::setOrganizationName(QStringLiteral("Norvane"));
    QCoreApplication::setApplicationName(applicationName);
}

TWorkbench::TWorkbench(const TWorkbenchOptions& options) : m_options(options) {
    if (options.SerialPort) {
        m_serialPort = options.SerialPort;
    } else {
        m_ownPort = std::make_unique<TQtSerialPort>();
        m_serialPort = m_ownPort.get();
    }
    if (options.Directory) {
        m_directory = options.Directory;
    } else {
        m_ownDirectory = std::make_unique<TSystemPortDirectory>();
        m_directory = m_ownDirectory.get();
    }
    if (options.Dialogs) {
        m_dialogs = options.Dialogs;
    } else {
        m_ownDialogs = std::make_unique<ui::TStandardDialogs>();
        m_dialogs = m_ownDialogs.get();
    }
    if (options.Settings) {
        m_settings = options.Settings;
    } else {
        m_ownSettings = std::make_unique<TQtSettingsStore>();
        m_settings = m_ownSettings.get();
    }
    m_link = std::make_unique<TLinkManager>(*m_serialPort, *m_directory, *m_settings);
    // The one configuration model and the one set of live measures of the whole run.
    m_config = std::make_unique<TDataMap>(*m_settings);
    m_config->SetLink(*m_link);
    m_acquisitions = std::make_unique<TAcquisitions>(*m_link);
    m_link->SetAcquisitionModes(m_acquisitions.get());
    // The workflow over them: connecting sequence, strategy, sensor settings of the measures.
    m_session = std::make_unique<TSession>(*m_link, *m_config, *m_settings);
    m_session->SetAcquisitions(m_acquisitions.get());

    // Every command gets its place before the menus are built: the main window's own, then
    // those of the window modules (their windows come later, in their order).
    m_actions = std::make_unique<ui::TActionRegistry>();
    for (const ui::TActionRow& row : ui::MainWindowActions())
        m_actions->Describe(row);
    for (const ui::TWindowModule& module : WindowModules())
        if (module.Action != ui::TActionId::None)
            m_actions->Describe({module.Action, module.Menu, module.Caption, module.Shortcut, module.SeparatorBefore});

    m_workflow = std::make_unique<ui::TMainWorkflow>(*m_link, *m_config, *m_acquisitions, *m_session);
    m_formMain = std::make_unique<ui::TFormMain>(*m_config, *m_workflow, *m_actions, *m_dialogs, m_softTimers);
    // The shared message dialog is every window's feedback service: it comes first.
    m_formDialog = std::make_unique<ui::TFormDialog>(m_softTimers, m_formMain.get());
    m_formMain->SetFeedbackDialog(m_formDialog.get());
    m_commands = std::make_unique<ui::TMainCommands>(*m_actions, *m_workflow, *m_link, *m_config, *m_acquisitions,
                                                     *m_dialogs, *m_formMain);
    WireLink();
    CreateWindows();
    m_languages = std::make_unique<ui::TLanguageSwitcher>(ui::TLanguageSwitcher::DefaultFolders(), *m_settings);
    m_commands->SetLanguageSwitcher(m_languages.get());
}

void TWorkbench::WireLink() {
    ui::TFormMain& main = *m_formMain;
    ui::TMainWorkflow& workflow = *m_workflow;
    // The link reports typed events; the window words them.
    QObject::connect(m_link.get(), &TLinkManager::StateChanged, &main, &ui::TFormMain::ShowLinkState);
    QObject::connect(m_link.get(), &TLinkManager::Notice, &main, [this](TLinkNotice notice) {
        if (const int ms = LinkNoticeMilliseconds(notice); ms > 0)
            m_formDialog->ShowMessage(LinkNoticeText(notice), ms);
        else
            m_dialogs->Error(m_formMain.get(), LinkNoticeText(notice));
    });
    QObject::connect(m_link.get(), &TLinkManager::IdentificationChanged, &main, &ui::TFormMain::ApplyFeatureLevel);
    // The connecting sequence (solenoid, the model's full read, block 1, counters) is the
    // session's; the window follows its signals through the workflow.
    QObject::connect(m_acquisitions.get(), &TAcquisitions::MeasuresDerived, &workflow,
                     &ui::TMainWorkflow::OnMeasuresDerived);
    QObject::connect(&workflow, &ui::TMainWorkflow::StrategyApplied, &main, [&main] {
        main.ApplyStrategyCaptions();
        main.ApplyVisibilityRules();
    });
    QObject::connect(&workflow, &ui::TMainWorkflow::Message, m_formDialog.get(), &ui::TFormDialog::ShowMessage);
    // The port list may change while the program runs: it is read again when the menu opens.
    QObject::connect(main.Menu(ui::TMenu::Ecu), &QMenu::aboutToShow, m_commands.get(),
                     &ui::TMainCommands::RefreshPortMenu);
    QObject::connect(&main, &ui::TFormMain::ShuttingDown, &main, [this] { ShutDown(); });
}

void TWorkbench::CreateWindows() {
    const ui::TWindowContext context{*m_link,    *m_serialPort, *m_config,   *m_acquisitions, *m_dialogs,
                                     *m_formDialog, m_softTimers, *m_formMain, m_session.get(), m_settings};
    for (const ui::TWindowModule& module : WindowModules()) {
        if (!module.Create)
            continue;
        std::unique_ptr<QWidget>& window = m_windows[Index(module.Id)];
        window = module.Create(context);
        if (module.Action == ui::TActionId::None)
            continue;
        QWidget* shown = window.get();
        const auto activate = module.Activate;
        m_actions->Handle(module.Action, shown, [shown, activate] {
            if (activate) {
                activate(*shown);
            } else {
                shown->show();
                shown->raise();
                shown->activateWindow();
            }
        });
    }
}

void TWorkbench::ShutDown() {
    // The link first: the waiting requests fail while their requesters still exist. Then
    // the other windows close.
    m_link->Shutdown();
    for (auto& window : m_windows)
        if (window)
            window->close();
    m_formDialog->close();
}

TWorkbench::~TWorkbench() {
    // Link first (it tells the windows' requests they failed), then the windows, then the
    // measures and the model that the link and the windows were using.
    m_formMain->ShutDown();
    m_link->SetAcquisitionModes(nullptr);
    m_link->SetMapRefreshControl(nullptr);
}

bool TWorkbench::Start(QString* error) {
    QString port = m_options.Port;
    if (m_options.Demo) {
        m_simulator = std::make_unique<sim::TSimServer>(m_options.Engine);
        if (!m_simulator->Start()) {
            if (error)
                *error = m_simulator->ErrorString();
            return false;
        }
        port = m_simulator->DeviceName();
    }
    for (const ui::TWindowModule& module : WindowModules())
        if (module.ShownAtStart && Window(module.Id))
            Window(module.Id)->show();
    m_link->Start(port, m_options.RunMasterTimer);
    if (m_simulator)
        m_link->CheckConnection(); // it answers at once: no need to wait for the watchdog
    m_formMain->show();
    m_languages->RestoreFromSettings();
    return true;
}

} // namespace ambrel::app
