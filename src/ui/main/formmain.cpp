#include "formmain.h"

#include "config/datamap.h"
#include "dialogservice.h"
#include "formdialog.h"
#include "languages.h"
#include "programsettings.h"
#include "link/commands.h"
#include "link/linkmanager.h"
#include "session/session.h"
#include "measure/acquisitions.h"
#include "ui/link/formcommunications.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace ambrel::ui {

namespace {

enum TMenu { menuFile, menuEdit, menuEcu, menuDiagnostics, menuHelp };

const char* const kMenuTitles[] = {QT_TRANSLATE_NOOP("TFormMain", "File"), QT_TRANSLATE_NOOP("TFormMain", "Edit"),
                                   QT_TRANSLATE_NOOP("TFormMain", "ECU"),
                                   QT_TRANSLATE_NOOP("TFormMain", "Diagnostics"),
                                   QT_TRANSLATE_NOOP("TFormMain", "Help")};

// Every action of the menus, in menu order. A row with `separatorBefore` has a separator
// in front of it. Port and language actions are made apart (they are arrays).
struct TActionRow {
    TMenu Menu;
    const char* Name;
    const char* Caption;
    const char* Shortcut;
    bool SeparatorBefore;
};

const TActionRow kActions[] = {
    {menuFile, "FileOpen1", QT_TRANSLATE_NOOP("TFormMain", "Open..."), "", false},
    {menuFile, "FileSave1", QT_TRANSLATE_NOOP("TFormMain", "Save"), "", false},
    // the "La&nguage" sub-menu comes here, between two separators
    {menuFile, "FileExit1", QT_TRANSLATE_NOOP("TFormMain", "Exit"), "Alt+F4", true},
    {menuEdit, "EditWizard", QT_TRANSLATE_NOOP("TFormMain", "Wizard"), "", false},
    {menuEdit, "EditTuneMap1", QT_TRANSLATE_NOOP("TFormMain", "Tune gas map"), "", false},
    {menuEdit, "EditCopy1", QT_TRANSLATE_NOOP("TFormMain", "Copy"), "Ctrl+C", true},
    {menuEdit, "EditPaste1", QT_TRANSLATE_NOOP("TFormMain", "Paste"), "Ctrl+V", false},
    {menuEdit, "EditWinPaste", QT_TRANSLATE_NOOP("TFormMain", "Paste from clipboard"), "", false},
    {menuEdit, "EditUndo1", QT_TRANSLATE_NOOP("TFormMain", "Undo"), "Ctrl+Z", false},
    {menuEdit, "EditResetAll", QT_TRANSLATE_NOOP("TFormMain", "Reset to default cfg"), "", true},
    {menuEdit, "EditResetMap", QT_TRANSLATE_NOOP("TFormMain", "Reset gas map"), "", false},
    {menuEdit, "EditResampleMap1", QT_TRANSLATE_NOOP("TFormMain", "Resample map"), "", false},
    {menuEdit, "EditWriteDate", QT_TRANSLATE_NOOP("TFormMain", "Write date"), "", false},
    {menuEdit, "EditEnableRangeCheck1", QT_TRANSLATE_NOOP("TFormMain", "Range Check"), "", false},
    {menuEcu, "ECUUpload1", QT_TRANSLATE_NOOP("TFormMain", "Upload"), "F5", false},
    {menuEcu, "ECUDownload1", QT_TRANSLATE_NOOP("TFormMain", "Download"), "", false},
    {menuEcu, "ECUSpecialSettings", QT_TRANSLATE_NOOP("TFormMain", "Special settings"), "", false},
    {menuEcu, "ECUReset1", QT_TRANSLATE_NOOP("TFormMain", "Re&set ECU"), "", false},
    {menuEcu, "ECUClearQueue", QT_TRANSLATE_NOOP("TFormMain", "Clear TX queue"), "", false},
    {menuEcu, "ECUUpgradeFirmware1", QT_TRANSLATE_NOOP("TFormMain", "Firmware flasher"), "", true},
    {menuEcu, "ECUExitMonitor1", QT_TRANSLATE_NOOP("TFormMain", "Close bootloader (RST)"), "", false},
    {menuEcu, "ECUSwitchMode1", QT_TRANSLATE_NOOP("TFormMain", "Switch to Compensated"), "", false},
    {menuEcu, "ECUBuzzer1", QT_TRANSLATE_NOOP("TFormMain", "Enable buzzer"), "", false},
    // ECUCom1 .. ECUCom6 follow after a separator
    {menuEcu, "ECUScanCOM", QT_TRANSLATE_NOOP("TFormMain", "Auto-scan"), "", false},
    {menuDiagnostics, "DiagnosticsDisplay1", QT_TRANSLATE_NOOP("TFormMain", "Display meters"), "F9", false},
    {menuDiagnostics, "DiagnosticsCheckMap", QT_TRANSLATE_NOOP("TFormMain", "Check map"), "", false},
    {menuDiagnostics, "DiagnosticsDTC1", QT_TRANSLATE_NOOP("TFormMain", "Error codes (DTC)"), "F8", false},
    {menuDiagnostics, "DiagnosticsTestMode1", QT_TRANSLATE_NOOP("TFormMain", "Test mode"), "", true},
    {menuDiagnostics, "DiagnosticsOBD", QT_TRANSLATE_NOOP("TFormMain", "eOBD"), "", false},
    {menuDiagnostics, "DiagnosticsInjectionSequence", QT_TRANSLATE_NOOP("TFormMain", "Read injection sequence"), "",
     false},
    {menuDiagnostics, "DiagnosticsSolenoid1", QT_TRANSLATE_NOOP("TFormMain", "Disable gas solenoid"), "F12", false},
    {menuDiagnostics, "DiagnosticsEVon", QT_TRANSLATE_NOOP("TFormMain", "DiagnosticsEVon"), "", false},
    {menuDiagnostics, "DiagnosticsEVoff", QT_TRANSLATE_NOOP("TFormMain", "DiagnosticsEVoff"), "", false},
    {menuDiagnostics, "DiagnosticsMemory1", QT_TRANSLATE_NOOP("TFormMain", "Memory watch"), "", false},
    {menuDiagnostics, "DiagnosticsVersionInfo1", QT_TRANSLATE_NOOP("TFormMain", "Version info"), "", true},
    {menuDiagnostics, "DiagnosticsLog1", QT_TRANSLATE_NOOP("TFormMain", "&Log COM"), "F10", false},
    {menuDiagnostics, "DiagnosticsEnableStatusUpdate1", QT_TRANSLATE_NOOP("TFormMain", "Enable status update"), "",
     false},
    {menuDiagnostics, "DiagnosticsDisableStatusUpdate1", QT_TRANSLATE_NOOP("TFormMain", "Disable status update"), "",
     false},
    {menuHelp, "HelpPinOut", QT_TRANSLATE_NOOP("TFormMain", "ECU pin-out"), "F1", false},
    {menuHelp, "HelpDTC1", QT_TRANSLATE_NOOP("TFormMain", "Supported DTCs"), "", false},
    {menuHelp, "HelpInfo1", QT_TRANSLATE_NOOP("TFormMain", "About..."), "", false},
};

struct TPageRow {
    const char* Name;
    const char* Caption;
};
const TPageRow kPages[kPageCount] = {
    {"TabSheetGeneral", QT_TRANSLATE_NOOP("TFormMain", "General")},
    {"TabSheetFunctions", QT_TRANSLATE_NOOP("TFormMain", "Functions")},
    {"TabSheetInjectors", QT_TRANSLATE_NOOP("TFormMain", "Injectors")},
    {"TabSheetPetrolMap", QT_TRANSLATE_NOOP("TFormMain", "Petrol map")},
    {"TabSheetGasMap_Comp", QT_TRANSLATE_NOOP("TFormMain", "Gas map")},
    {"TabSheetGasMap_Slave", QT_TRANSLATE_NOOP("TFormMain", "Gas map")},
    {"TabSheetEmulation", QT_TRANSLATE_NOOP("TFormMain", "Emulation")},
    {"TabSheetFuelTrim", QT_TRANSLATE_NOOP("TFormMain", "Fuel trim")},
    {"TabSheetCorrections", QT_TRANSLATE_NOOP("TFormMain", "Correction")},
    {"TabSheetDrivability", QT_TRANSLATE_NOOP("TFormMain", "Drivability")},
    // These two keep their designed English captions in every language.
    {"TabSheetTimeAdvance", "Advance"},
    {"TabSheetSensors", "Sensors"},
};

// Actions whose handler this window has now; the others wait for their windows and
// stay disabled meanwhile.
const char* const kWorkingActions[] = {
    "FileOpen1",       "FileSave1",           "EditUndo1",             "EditResetAll",
    "EditWriteDate",   "EditEnableRangeCheck1", "ECUUpload1",          "ECUDownload1",  "ECUBuzzer1",
    "DiagnosticsInjectionSequence",
    "FileExit1",       "ECUReset1",           "ECUClearQueue",         "ECUSwitchMode1",
    "ECUScanCOM",      "DiagnosticsSolenoid1", "DiagnosticsEVon",       "DiagnosticsEVoff",
    "DiagnosticsVersionInfo1", "DiagnosticsLog1", "DiagnosticsEnableStatusUpdate1",
    "DiagnosticsDisableStatusUpdate1", "HelpInfo1",
};

constexpr const char* kFeatureTag = "featureTag";
const char* const kStatusTr = "TFormMain";

QString Tr(const char* text) {
    return QCoreApplication::translate(kStatusTr, text);
}

} // namespace

TFormMain::TFormMain(TLinkManager& link, TDataMap& config, TAcquisitions& acquisitions, TSession& session,
                     TDialogService& dialogs, TSoftTimers& timers, QWidget* parent)
    : QMainWindow(parent), m_link(link), m_config(config), m_acquisitions(acquisitions), m_session(session),
      m_dialogs(dialogs), m_softTimers(timers) {
    setObjectName(QStringLiteral("FormMain"));
    resize(1024, 740);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreatePages();

    auto* panel0 = new QLabel(this);
    panel0->setObjectName(QStringLiteral("StatusPanel0"));
    auto* panel1 = new QLabel(this);
    panel1->setObjectName(QStringLiteral("StatusPanel1"));
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(panel0, 85);
    statusBar()->addWidget(panel1, 15);
    m_statusPanels[0] = panel0;
    m_statusPanels[1] = panel1;

    RetranslateUi();
    setWindowTitle(ApplicationTitle());
    SetUndoEnabled(false);
    m_config.SetApplicationTitle(ApplicationTitle());
    m_config.SetView(this);
    RefreshGUI(m_config);

    ApplyVisibilityRules();
    ConnectLink();
    RefreshPortMenu();

    m_timerGui.setInterval(TSoftTimers::kTickMs);
    connect(&m_timerGui, &QTimer::timeout, this, &TFormMain::TimerGUITimer);
    m_timerGui.start();
}

TFormMain::~TFormMain() {
    ShutDown();
}

void TFormMain::SetFeedbackWindows(TFormDialog* dialog, TFormSplash* splash) {
    m_dialog = dialog;
    m_splash = splash;
}

void TFormMain::SetCommunicationsWindow(TFormCommunications* window) {
    m_communications = window;
}

void TFormMain::SetLanguageSwitcher(TLanguageSwitcher* switcher) {
    m_languages = switcher;
    connect(switcher, &TLanguageSwitcher::LanguageChanged, this, [this](const QString& nativeName) {
        for (QAction* a : m_languageActions)
            a->setChecked(a->text() == nativeName);
        ApplyStrategyCaptions();
    });
}

// ---------------------------------------------------------------- construction

void TFormMain::CreateActions() {
    for (const TActionRow& row : kActions) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(row.Name));
        if (*row.Shortcut)
            action->setShortcut(QKeySequence(QLatin1String(row.Shortcut)));
        action->setEnabled(false);
        m_actions.insert(action->objectName(), action);
    }
    for (const char* name : kWorkingActions)
        m_actions.value(QLatin1String(name))->setEnabled(true);
    for (const char* checkable : {"EditEnableRangeCheck1", "ECUBuzzer1", "ECUScanCOM", "DiagnosticsSolenoid1"})
        m_actions.value(QLatin1String(checkable))->setCheckable(true);

    for (int i = 1; i <= 6; ++i) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("ECUCom%1").arg(i));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, action] { ECUComExecute(action); });
        m_portActions << action;
        m_actions.insert(action->objectName(), action);
    }
    for (int i = 1; i <= 10; ++i) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("LanguageMenu%1").arg(i));
        action->setCheckable(true);
        if (i <= LanguageTable().size())
            action->setText(QString::fromUtf8(LanguageTable()[i - 1].NativeName));
        else
            action->setVisible(false);
        connect(action, &QAction::triggered, this, [this, action] {
            // A missing module changes nothing, check mark included.
            if (!m_languages || !m_languages->SwitchTo(action->text()))
                action->setChecked(action->text() == (m_languages ? m_languages->Active() : QString()));
        });
        m_languageActions << action;
        m_actions.insert(action->objectName(), action);
    }

    const auto on = [this](const char* name, auto handler) {
        connect(m_actions.value(QLatin1String(name)), &QAction::triggered, this, handler);
    };
    on("FileOpen1", [this] { FileOpen1Execute(); });
    on("FileSave1", [this] { FileSave1Execute(); });
    on("FileExit1", [this] { close(); });
    on("EditUndo1", [this] { EditUndo1Execute(); });
    on("EditResetAll", [this] { EditResetAllExecute(); });
    on("EditWriteDate", [this] { EditWriteDateExecute(); });
    on("EditEnableRangeCheck1", [this] {
        m_config.SetEnableCheckRanges(m_actions.value(QStringLiteral("EditEnableRangeCheck1"))->isChecked());
    });
    on("ECUUpload1", [this] { m_config.UploadAll(1); });
    on("ECUDownload1", [this] { ECUDownload1Execute(); });
    on("ECUBuzzer1", [this] {
        // An edit like any other; the buzzer lives in block 2, whichever page is in front.
        TEdit edit;
        edit.Change = [on = m_actions.value(QStringLiteral("ECUBuzzer1"))->isChecked()](TDataMap& m) { m.Buzzer = on; };
        edit.Blocks = {2};
        m_config.ApplyEdit(edit);
    });
    on("DiagnosticsInjectionSequence", [this] { m_acquisitions.RequestSequence(); });
    on("ECUReset1", [this] { ECUReset1Execute(); });
    on("ECUClearQueue", [this] { ECUClearQueueExecute(); });
    on("ECUSwitchMode1", [this] { ECUSwitchMode1Execute(); });
    on("ECUScanCOM", [this] { ECUScanCOMExecute(); });
    on("DiagnosticsSolenoid1", [this] { DiagnosticsSolenoid1Execute(); });
    on("DiagnosticsEVon", [this] { m_link.SendCommand(Payload::SolenoidTest(true)); });
    on("DiagnosticsEVoff", [this] { m_link.SendCommand(Payload::SolenoidTest(false)); });
    on("DiagnosticsVersionInfo1", [this] { DiagnosticsVersionInfo1Execute(); });
    on("DiagnosticsLog1", [this] { DiagnosticsLog1Execute(); });
    on("DiagnosticsEnableStatusUpdate1", [this] { DiagnosticsStatusUpdate(true); });
    on("DiagnosticsDisableStatusUpdate1", [this] { DiagnosticsStatusUpdate(false); });
    on("HelpInfo1", [this] { HelpInfo1Execute(); });
}

void TFormMain::CreateMenus() {
    menuBar()->setObjectName(QStringLiteral("ActionMainMenuBar1"));
    for (int m = menuFile; m <= menuHelp; ++m) {
        QMenu* menu = menuBar()->addMenu(QString());
        menu->setObjectName(QStringLiteral("Menu%1").arg(m));
        m_menus << menu;
    }
    for (const TActionRow& row : kActions) {
        QMenu* menu = m_menus[row.Menu];
        const QString name = QLatin1String(row.Name);
        if (name == QLatin1String("FileExit1")) {
            menu->addSeparator();
            m_languageMenu = menu->addMenu(QString());
            m_languageMenu->setObjectName(QStringLiteral("MenuLanguage"));
            m_languageMenu->addActions(m_languageActions);
        }
        if (name == QLatin1String("ECUScanCOM")) {
            menu->addSeparator();
            menu->addActions(m_portActions);
        }
        if (row.SeparatorBefore)
            menu->addSeparator();
        menu->addAction(m_actions.value(name));
    }
    // The port list may change while the program runs: refresh it when the menu opens.
    connect(m_menus[menuEcu], &QMenu::aboutToShow, this, &TFormMain::RefreshPortMenu);
}

void TFormMain::CreateToolBar() {
    m_toolBar = addToolBar(QStringLiteral("PanelToolBar"));
    m_toolBar->setObjectName(QStringLiteral("PanelToolBar"));
    m_toolBar->setMovable(false);
    auto* logo = new QLabel(QStringLiteral(" Q7 "), m_toolBar);
    logo->setObjectName(QStringLiteral("ImageLogo"));
    logo->setStyleSheet(QStringLiteral("font: bold 18px 'Arial'; color: #0a5a8a; padding: 2px 10px;"));
    m_toolBar->addWidget(logo);
    const struct {
        const char* Name;
        const char* Action;
    } buttons[] = {{"ButtonDisplay", "DiagnosticsDisplay1"},
                   {"ButtonLoad", "FileOpen1"},
                   {"ButtonSave", "FileSave1"},
                   {"ButtonUndo", "EditUndo1"},
                   {"ButtonBank", nullptr}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(m_toolBar);
        button->setObjectName(QLatin1String(b.Name));
        button->setMinimumWidth(80);
        m_toolButtonActions.insert(button->objectName(), m_toolBar->addWidget(button));
        m_toolButtons.insert(button->objectName(), button);
        if (b.Action) {
            QAction* action = m_actions.value(QLatin1String(b.Action));
            button->setEnabled(action->isEnabled());
            connect(button, &QPushButton::clicked, action, &QAction::trigger);
            connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
        }
    }
    // Bank switching needs two banks and a map page; until the maps arrive it stays hidden.
    m_toolButtonActions.value(QStringLiteral("ButtonBank"))->setVisible(false);
}

void TFormMain::CreatePages() {
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControlGeneral"));
    for (const TPageRow& row : kPages) {
        auto* page = new QWidget(m_pages);
        page->setObjectName(QLatin1String(row.Name));
        m_pages->addTab(page, QString());
    }
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("PanelMain"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_pages);
    setCentralWidget(central);
}

void TFormMain::ConnectLink() {
    connect(&m_link, &TLinkManager::StatusText, this, [this](int panel, const QString& text) {
        if (panel == 0 || panel == 1)
            m_statusPanels[panel]->setText(text);
    });
    connect(&m_link, &TLinkManager::TimedMessage, this, [this](const QString& text, int ms) {
        if (m_dialog)
            m_dialog->ShowMessage(text, ms);
    });
    connect(&m_link, &TLinkManager::ErrorBox, this, [this](const QString& text) { m_dialogs.Error(this, text); });
    connect(&m_link, &TLinkManager::IdentificationChanged, this, [this] {
        ShowFeatureControls(m_pages);
        HideUnsupportedControls(m_pages);
    });
    // The session runs the connecting sequence and the strategy; the window follows it.
    connect(&m_session, &TSession::SolenoidReset, this,
            [this] { m_actions.value(QStringLiteral("DiagnosticsSolenoid1"))->setChecked(false); });
    connect(&m_session, &TSession::StrategyConfirmed, this, [this] {
        ApplyStrategyCaptions();
        ApplyVisibilityRules();
    });
    connect(&m_session, &TSession::WizardRequested, this, &TFormMain::WizardRequested);
    connect(&m_link, &TLinkManager::PortMenuChanged, this, &TFormMain::RefreshPortMenu);
    connect(&m_link, &TLinkManager::AutoScanLoaded, this,
            [this](bool on) { m_actions.value(QStringLiteral("ECUScanCOM"))->setChecked(on); });
}

void TFormMain::RetranslateUi() {
    for (int m = menuFile; m <= menuHelp; ++m)
        m_menus[m]->setTitle(Tr(kMenuTitles[m]));
    m_languageMenu->setTitle(Tr(QT_TRANSLATE_NOOP("TFormMain", "La&nguage")));
    for (const TActionRow& row : kActions)
        m_actions.value(QLatin1String(row.Name))->setText(Tr(row.Caption));
    for (int i = 0; i < kPageCount; ++i)
        m_pages->setTabText(i, i >= pageTimeAdvance ? QLatin1String(kPages[i].Caption) : Tr(kPages[i].Caption));
    m_toolButtons.value(QStringLiteral("ButtonDisplay"))->setText(Tr("Display"));
    m_toolButtons.value(QStringLiteral("ButtonLoad"))->setText(Tr("Load"));
    m_toolButtons.value(QStringLiteral("ButtonSave"))->setText(Tr("Save"));
    m_toolButtons.value(QStringLiteral("ButtonUndo"))->setText(Tr("Undo"));
    m_toolButtons.value(QStringLiteral("ButtonBank"))->setText(Tr("Bank") + QStringLiteral(" 1"));
    ApplyStrategyCaptions();
}

void TFormMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QMainWindow::changeEvent(event);
}

// ---------------------------------------------------------------- rules

int TFormMain::StrategyFlag() const {
    return m_config.StrategyFlag;
}

void TFormMain::SetStrategyFlag(int flag) {
    m_config.SetStrategyFlag(flag); // the model tells the window back through StrategyChanged
    ApplyStrategyCaptions();
    ApplyVisibilityRules();
}

void TFormMain::StrategyChanged(int) {
    ApplyStrategyCaptions();
    ApplyVisibilityRules();
}

void TFormMain::ApplyVisibilityRules() {
    m_actions.value(QStringLiteral("EditPaste1"))->setEnabled(false); // enabled with the map grids
    for (QAction* action : m_actions)
        if (!m_portActions.contains(action) && !m_languageActions.contains(action))
            action->setVisible(true);
    const bool compensated = StrategyFlag() == strategyCompensated;
    for (int i = 0; i < kPageCount; ++i) {
        bool visible = true;
        if (i == pageGasMapComp || i == pageFuelTrim)
            visible = compensated;
        else if (i == pageGasMapSlave)
            visible = !compensated;
        m_pages->setTabVisible(i, visible);
    }
}

void TFormMain::ApplyStrategyCaptions() {
    m_actions.value(QStringLiteral("ECUSwitchMode1"))
        ->setText(StrategyFlag() == strategySlave ? Tr("Switch to Compensated") : Tr("Switch to Slave"));
}

int TFormMain::FirmwareFeatureLevel() const {
    return m_session.FirmwareFeatureLevel();
}

void TFormMain::ShowFeatureControls(QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->property(kFeatureTag).toInt() > 0 && w->isHidden())
            w->setVisible(true);
}

void TFormMain::HideUnsupportedControls(QWidget* root) {
    const int level = FirmwareFeatureLevel();
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const int tag = w->property(kFeatureTag).toInt();
        if (tag > 0)
            w->setVisible(!w->isHidden() && tag <= level);
    }
}

QString TFormMain::StatusPanelText(int panel) const {
    return (panel == 0 || panel == 1) ? m_statusPanels[panel]->text() : QString();
}

// ---------------------------------------------------------------- link and replies

void TFormMain::RefreshPortMenu() {
    const QStringList ports = m_link.PortList();
    for (int i = 0; i < m_portActions.size(); ++i) {
        QAction* action = m_portActions[i];
        if (i < ports.size()) {
            action->setText(ports[i]);
            action->setVisible(true);
            action->setChecked(ports[i] == m_link.PortName());
        } else {
            action->setVisible(false);
        }
    }
    if (m_communications)
        m_communications->SetPort(m_link.PortLabel(), TLinkManager::kNormalBaud);
}

// ---------------------------------------------------------------- menu handlers

void TFormMain::ECUReset1Execute() {
    if (m_dialogs.Question(this, Tr("Resetting ECU: are you sure ?"), QMessageBox::Yes | QMessageBox::No) ==
        QMessageBox::Yes)
        m_link.ResetECU();
}

void TFormMain::ECUClearQueueExecute() {
    m_link.FlushLink();
}

void TFormMain::ECUSwitchMode1Execute() {
    const QString question =
        StrategyFlag() == strategySlave
            ? Tr("You are about to switch to Compensated mode.\nCompensated default settings will be loaded.\nAre "
                 "you sure ?")
            : Tr("You are about to switch to Slave mode.\nSlave default settings will be loaded.\nAre you sure ?");
    if (m_dialogs.Question(this, question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_session.SwitchStrategy(); // the captions follow the model's strategy
}

void TFormMain::ECUComExecute(QAction* action) {
    for (QAction* a : m_portActions)
        a->setChecked(false);
    m_actions.value(QStringLiteral("ECUScanCOM"))->setChecked(false);
    m_link.ChangePort(action->text());
    action->setChecked(m_link.PortName() == action->text());
    if (m_communications)
        m_communications->SetPort(m_link.PortLabel(), TLinkManager::kNormalBaud);
}

void TFormMain::ECUScanCOMExecute() {
    m_link.SetScanCOM(m_actions.value(QStringLiteral("ECUScanCOM"))->isChecked());
    m_link.SavePort();
}

void TFormMain::DiagnosticsSolenoid1Execute() {
    QAction* action = m_actions.value(QStringLiteral("DiagnosticsSolenoid1"));
    // The check mark follows the ECU's confirmation, not the click.
    const bool wasChecked = !action->isChecked();
    action->setChecked(wasChecked);
    if (!m_link.ECUisConnected())
        return;
    if (wasChecked) {
        m_link.SendCommand(Payload::SolenoidDisable(false), this, 1);
        m_solenoidState = 0;
    } else if (m_dialogs.Question(this, Tr("You are about to disable the gas solenoid.\nDo you want to proceed ?"),
                                  QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
        m_link.SendCommand(Payload::SolenoidDisable(true), this, 1);
        m_solenoidState = 1;
    }
}

void TFormMain::DiagnosticsVersionInfo1Execute() {
    m_link.SendCommand(Payload::Plain(cmdReadIdent), &m_link);
}

void TFormMain::DiagnosticsStatusUpdate(bool on) {
    m_link.AcquisitionModes().SetStatusUpdate(on);
    m_link.MapRefresh().SetEnableMapRefresh(on);
    if (on)
        m_link.StartPolling();
    else
        m_link.StopPolling();
}

void TFormMain::DiagnosticsLog1Execute() {
    if (m_communications) {
        m_communications->show();
        m_communications->raise();
    }
}

void TFormMain::HelpInfo1Execute() {
    if (m_splash)
        m_splash->ShowAbout();
}

// ---------------------------------------------------------------- tick, close, shut-down

void TFormMain::TimerGUITimer() {
    m_softTimers.Tick();
}

bool TFormMain::FormCloseQuery() {
    if (m_dialogs.Question(this, Tr("Exit now?"), QMessageBox::Yes | QMessageBox::Cancel) != QMessageBox::Yes)
        return false;
    if (m_config.Saved())
        return true;
    switch (m_dialogs.Question(this, Tr("Current configuration is unsaved.\nDo you want to save it ?"),
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        // Closing only once the file is written: a cancelled or failed save keeps the
        // program, and the configuration, where they are.
        return FileSave1Execute();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------- files and configuration

namespace {
const char* const kConfigFilter = QT_TRANSLATE_NOOP("TFormMain", "Configuration file (*.cfg);;All files (*.*)");
}

bool TFormMain::FileOpen1Execute() {
    const QString folder = ConfigFolder(m_session.Settings());
    const QString path = m_dialogs.OpenFileName(this, Tr("Open configuration file"), folder, Tr(kConfigFilter));
    if (path.isEmpty())
        return false;
    const TFileResult result = m_config.LoadFromFile(path);
    if (!result.Ok()) {
        m_dialogs.Error(this, result.Error);
        return false;
    }
    ApplyStrategyCaptions();
    ApplyVisibilityRules();
    HideUnsupportedControls(m_pages);
    setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") + QFileInfo(path).fileName());
    if (m_link.ECUisConnected()) {
        m_config.DownloadAll(Tr("Opening file"), true);
        m_session.SendStrategy(StrategyFlag(), 0);
    }
    return true;
}

bool TFormMain::FileSave1Execute() {
    m_config.View().ReadFromGUI(m_config);
    m_config.BuildFileName();
    const QString configFolder = ConfigFolder(m_session.Settings());
    const QString folder = configFolder.isEmpty()
                               ? QString()
                               : QDir(configFolder).filePath(m_config.Fuel == fuelCNG ? QStringLiteral("CNG")
                                                                                      : QStringLiteral("LPG"));
    const QString suggestion = folder.isEmpty() ? m_config.FileName : QDir(folder).filePath(m_config.FileName);
    for (;;) {
        const QString path = m_dialogs.SaveFileName(this, Tr("Save configuration as"), suggestion, Tr(kConfigFilter));
        if (path.isEmpty())
            return false;
        if (QFileInfo::exists(path) &&
            m_dialogs.Warning(this, QFileInfo(path).fileName() + Tr(" already exists.\nDo you want to overwrite it ?"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            continue; // No: the dialog opens again
        const TFileResult result = m_config.SaveToFile(path);
        if (!result.Ok()) {
            m_dialogs.Error(this, result.Error);
            return false;
        }
        setWindowTitle(ApplicationTitle() + QStringLiteral(" - ") + QFileInfo(path).fileName());
        return true;
    }
}

void TFormMain::EditUndo1Execute() {
    m_config.Undo();
    SetUndoEnabled(false);
}

void TFormMain::EditResetAllExecute() {
    const QString question =
        StrategyFlag() == strategySlave
            ? Tr("You are about to reset the configuration to Slave LPG defaults.\nYou will loose current maps: are "
                 "you sure ?")
            : Tr("You are about to reset the configuration to Compensated LPG defaults.\nYou will loose current maps: "
                 "are you sure ?");
    if (m_dialogs.Question(this, question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_config.SaveUndoPoint();
    m_config.ResetToDefaults(fuelLPG, false);
    m_config.SetSaved(true);
    m_config.RefreshViews();
    if (m_link.ECUisConnected())
        m_config.DownloadAll(Tr("Clearing ECU"), true);
}

void TFormMain::EditWriteDateExecute() {
    m_config.ConfigDate = QDate::currentDate().toString(QStringLiteral("ddMMyy"));
    m_config.DownloadBlock(1);
}

void TFormMain::ECUDownload1Execute() {
    if (m_link.ECUisConnected())
        m_config.DownloadAll(Tr("Download in progress"), true);
}

// ---------------------------------------------------------------- what the model asks of the window

TConfigPage TFormMain::VisiblePage() const {
    static constexpr TConfigPage kByIndex[kPageCount] = {
        TConfigPage::General,    TConfigPage::Functions,  TConfigPage::Injectors,   TConfigPage::PetrolMap,
        TConfigPage::GasMap,     TConfigPage::GasMap,     TConfigPage::Emulation,   TConfigPage::FuelTrim,
        TConfigPage::Correction, TConfigPage::Drivability, TConfigPage::Advance,    TConfigPage::Sensors,
    };
    const int index = m_pages->currentIndex();
    return index >= 0 && index < kPageCount ? kByIndex[index] : TConfigPage::None;
}

void TFormMain::RefreshGUI(const TDataMap& config) {
    m_actions.value(QStringLiteral("EditEnableRangeCheck1"))->setChecked(config.EnableCheckRanges());
    m_actions.value(QStringLiteral("ECUBuzzer1"))->setChecked(config.Buzzer);
}

void TFormMain::RequestSequence() {
    m_acquisitions.RequestSequence();
}

void TFormMain::ShowProgress(const QString& text, int percent) {
    m_progressText = text;
    if (m_dialog)
        m_dialog->ShowProgressBar(text, percent);
}

void TFormMain::SetProgress(int percent) {
    if (m_dialog)
        m_dialog->ShowProgressBar(m_progressText, percent);
}

void TFormMain::HideProgress() {
    if (m_dialog)
        m_dialog->hide();
}

void TFormMain::ShowMessage(const QString& text, int milliseconds) {
    if (m_dialog)
        m_dialog->ShowMessage(text, milliseconds);
}

void TFormMain::ShowError(const QString& text) {
    m_dialogs.Error(this, text);
}

void TFormMain::ShowWarning(const QString& text) {
    m_dialogs.Warning(this, text, QMessageBox::Ok);
}

void TFormMain::SetTitle(const QString& title) {
    setWindowTitle(title);
}

void TFormMain::SetUndoEnabled(bool enabled) {
    m_actions.value(QStringLiteral("EditUndo1"))->setEnabled(enabled);
    m_toolButtons.value(QStringLiteral("ButtonUndo"))->setEnabled(enabled);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!m_shutDown && !FormCloseQuery()) {
        event->ignore();
        return;
    }
    ShutDown();
    event->accept();
}

void TFormMain::ShutDown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_link.Shutdown();
    m_timerGui.stop();
    for (QWidget* w : {static_cast<QWidget*>(m_communications.data()), static_cast<QWidget*>(m_dialog.data()),
                       static_cast<QWidget*>(m_splash.data())})
        if (w)
            w->close();
}

} // namespace ambrel::ui
