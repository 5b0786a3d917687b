#include "workbench.h"

namespace ambrel::app {

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

    // Windows in their creation order; each exists once for the whole run.
    m_formMain = std::make_unique<ui::TFormMain>(*m_link, *m_config, *m_acquisitions, *m_session, *m_dialogs,
                                                 m_softTimers);
    m_formSplash = std::make_unique<ui::TFormSplash>(m_softTimers);
    m_formDialog = std::make_unique<ui::TFormDialog>(m_softTimers, m_formMain.get());
    m_formCommunications = std::make_unique<ui::TFormCommunications>(*m_link, *m_serialPort);
    m_languages = std::make_unique<ui::TLanguageSwitcher>(ui::TLanguageSwitcher::DefaultFolders(), *m_settings);
    m_formMain->SetFeedbackWindows(m_formDialog.get(), m_formSplash.get());
    m_formMain->SetCommunicationsWindow(m_formCommunications.get());
    m_formMain->SetLanguageSwitcher(m_languages.get());
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
    m_formSplash->show();
    m_link->Start(port, m_options.RunMasterTimer);
    if (m_simulator)
        m_link->CheckConnection(); // it answers at once: no need to wait for the watchdog
    m_formMain->show();
    m_languages->RestoreFromSettings();
    return true;
}

} // namespace ambrel::app
