#include "formmain.h"

#include "config/datamap.h"
#include "dialogservice.h"
#include "formdialog.h"
#include "mainworkflow.h"
#include "programsettings.h"
#include "session/linktexts.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace ambrel::ui {

namespace {

const char* const kMenuTitles[kMenuBarCount] = {
    QT_TRANSLATE_NOOP("TFormMain", "File"), QT_TRANSLATE_NOOP("TFormMain", "Edit"),
    QT_TRANSLATE_NOOP("TFormMain", "ECU"), QT_TRANSLATE_NOOP("TFormMain", "Diagnostics"),
    QT_TRANSLATE_NOOP("TFormMain", "Help")};

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

// The tool bar's buttons, left to right after the logo, and the command each runs.
struct TToolButtonRow {
    const char* Name;
    const char* Caption;
    TActionId Action;
};
const TToolButtonRow kToolButtons[] = {
    {"ButtonDisplay", QT_TRANSLATE_NOOP("TFormMain", "Display"), TActionId::DiagnosticsDisplay1},
    {"ButtonLoad", QT_TRANSLATE_NOOP("TFormMain", "Load"), TActionId::FileOpen1},
    {"ButtonSave", QT_TRANSLATE_NOOP("TFormMain", "Save"), TActionId::FileSave1},
    {"ButtonUndo", QT_TRANSLATE_NOOP("TFormMain", "Undo"), TActionId::EditUndo1},
    {"ButtonBank", QT_TRANSLATE_NOOP("TFormMain", "Bank"), TActionId::None},
};

constexpr const char* kFeatureTag = "featureTag";
const char* const kConfigFilter = QT_TRANSLATE_NOOP("TFormMain", "Configuration file (*.cfg);;All files (*.*)");

QString Tr(const char* text) {
    return QCoreApplication::translate("TFormMain", text);
}

bool IsArrayAction(TActionId id) {
    const int i = static_cast<int>(id);
    const auto in = [i](TActionId first, int count) {
        return i >= static_cast<int>(first) && i < static_cast<int>(first) + count;
    };
    return in(TActionId::ECUCom1, kPortActionCount) || in(TActionId::LanguageMenu1, kLanguageActionCount);
}

} // namespace

TFormMain::TFormMain(TDataMap& config, TMainWorkflow& workflow, TActionRegistry& actions, TDialogService& dialogs,
                     TSoftTimers& timers, QWidget* parent)
    : QMainWindow(parent), m_config(config), m_workflow(workflow), m_actions(actions), m_dialogs(dialogs),
      m_softTimers(timers) {
    setObjectName(QStringLiteral("FormMain"));
    resize(1024, 740);
    CreateMenus();
    CreateToolBar();
    CreatePages();
    CreateStatusBar();

    // The window's own commands: its files, its close, and undo (the undo button is its own).
    m_actions.Handle(TActionId::FileOpen1, this, [this] { FileOpen1Execute(); });
    m_actions.Handle(TActionId::FileSave1, this, [this] { FileSave1Execute(); });
    m_actions.Handle(TActionId::FileExit1, this, [this] { close(); });
    m_actions.Handle(TActionId::EditUndo1, this, [this] { EditUndo1Execute(); });

    RetranslateUi();
    setWindowTitle(ApplicationTitle());
    SetUndoEnabled(false);
    m_config.SetApplicationTitle(ApplicationTitle());
    m_config.SetView(this);
    RefreshGUI(m_config);
    ApplyVisibilityRules();
    // A transfer that fails leaves no progress display behind.
    connect(&m_config, &TDataMap::RequestFailed, this, [this] { HideProgress(); });

    m_timerGui.setInterval(TSoftTimers::kTickMs);
    connect(&m_timerGui, &QTimer::timeout, this, [this] { m_softTimers.Tick(); }); // TimerGUITimer
    m_timerGui.start();
}

TFormMain::~TFormMain() {
    ShutDown();
    m_config.SetView(nullptr);
}

// ---------------------------------------------------------------- construction

void TFormMain::CreateMenus() {
    menuBar()->setObjectName(QStringLiteral("ActionMainMenuBar1"));
    for (int m = 0; m < kMenuBarCount; ++m) {
        QMenu* menu = menuBar()->addMenu(QString());
        menu->setObjectName(QStringLiteral("Menu%1").arg(m));
        m_menus << menu;
    }
    // Every command in id order, each in the menu its row names.
    for (int i = 0; i < kActionCount; ++i) {
        const auto id = static_cast<TActionId>(i);
        const TMenu where = m_actions.Menu(id);
        if (where == TMenu::None)
            continue;
        if (where == TMenu::Language) {
            if (!m_languageMenu) {
                m_menus[0]->addSeparator();
                m_languageMenu = m_menus[0]->addMenu(QString());
                m_languageMenu->setObjectName(QStringLiteral("MenuLanguage"));
            }
            m_languageMenu->addAction(m_actions.Action(id));
            continue;
        }
        QMenu* menu = m_menus[static_cast<int>(where)];
        if (m_actions.SeparatorBefore(id))
            menu->addSeparator();
        menu->addAction(m_actions.Action(id));
    }
}

QMenu* TFormMain::Menu(TMenu menu) const {
    if (menu == TMenu::Language)
        return m_languageMenu;
    const int i = static_cast<int>(menu);
    return i >= 0 && i < m_menus.size() ? m_menus[i] : nullptr;
}

void TFormMain::CreateToolBar() {
    m_toolBar = addToolBar(QStringLiteral("PanelToolBar"));
    m_toolBar->setObjectName(QStringLiteral("PanelToolBar"));
    m_toolBar->setMovable(false);
    auto* logo = new QLabel(QStringLiteral(" Q7 "), m_toolBar);
    logo->setObjectName(QStringLiteral("ImageLogo"));
    logo->setStyleSheet(QStringLiteral("font: bold 18px 'Arial'; color: #0a5a8a; padding: 2px 10px;"));
    m_toolBar->addWidget(logo);
    for (const TToolButtonRow& row : kToolButtons) {
        auto* button = new QPushButton(m_toolBar);
        button->setObjectName(QLatin1String(row.Name));
        button->setMinimumWidth(80);
        QAction* placed = m_toolBar->addWidget(button);
        m_toolButtons << button;
        if (row.Action == TActionId::None) {
            m_bankButton = placed;
            continue;
        }
        QAction* action = m_actions.Action(row.Action);
        button->setEnabled(action->isEnabled());
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
    }
    // Bank switching needs two banks and a map page; until the maps arrive it stays hidden.
    m_bankButton->setVisible(false);
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

void TFormMain::CreateStatusBar() {
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 0; i < 2; ++i) {
        m_statusPanels[i] = new QLabel(this);
        m_statusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusBar()->addWidget(m_statusPanels[i], i == 0 ? 85 : 15);
    }
}

void TFormMain::RetranslateUi() {
    for (int m = 0; m < kMenuBarCount; ++m)
        m_menus[m]->setTitle(Tr(kMenuTitles[m]));
    m_languageMenu->setTitle(Tr(QT_TRANSLATE_NOOP("TFormMain", "La&nguage")));
    m_actions.Retranslate();
    if (m_hasLinkState)
        SetStatusText(0, LinkStateText(m_linkState));
    for (int i = 0; i < kPageCount; ++i)
        m_pages->setTabText(i, i >= pageTimeAdvance ? QLatin1String(kPages[i].Caption) : Tr(kPages[i].Caption));
    for (qsizetype i = 0; i < m_toolButtons.size(); ++i)
        m_toolButtons[i]->setText(Tr(kToolButtons[i].Caption));
    m_toolButtons.last()->setText(Tr("Bank") + QStringLiteral(" 1"));
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

void TFormMain::StrategyChanged(int) {
    ApplyStrategyCaptions();
    ApplyVisibilityRules();
}

void TFormMain::ApplyVisibilityRules() {
    Action(TActionId::EditPaste1)->setEnabled(false); // enabled with the map grids
    // Every command shows; the port and language arrays show as many as there are.
    for (int i = 0; i < kActionCount; ++i)
        if (!IsArrayAction(static_cast<TActionId>(i)))
            Action(static_cast<TActionId>(i))->setVisible(true);
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
    Action(TActionId::ECUSwitchMode1)
        ->setText(StrategyFlag() == strategySlave ? Tr("Switch to Compensated") : Tr("Switch to Slave"));
}

void TFormMain::ShowFeatureControls(QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->property(kFeatureTag).toInt() > 0 && w->isHidden())
            w->setVisible(true);
}

void TFormMain::HideUnsupportedControls(QWidget* root) {
    const int level = m_workflow.FirmwareFeatureLevel();
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const int tag = w->property(kFeatureTag).toInt();
        if (tag > 0)
            w->setVisible(!w->isHidden() && tag <= level);
    }
}

void TFormMain::ApplyFeatureLevel() {
    ShowFeatureControls(m_pages);
    HideUnsupportedControls(m_pages);
}

QString TFormMain::StatusPanelText(int panel) const {
    return (panel == 0 || panel == 1) ? m_statusPanels[panel]->text() : QString();
}

void TFormMain::SetStatusText(int panel, const QString& text) {
    if (panel == 0 || panel == 1)
        m_statusPanels[panel]->setText(text);
}

void TFormMain::ShowLinkState(const TLinkStateEvent& event) {
    // Kept, so that a language change words it again.
    m_linkState = event;
    m_hasLinkState = true;
    SetStatusText(0, LinkStateText(event));
    if (event.State == TLinkState::NotConnected)
        SetStatusText(1, QString());
}

// ---------------------------------------------------------------- files, undo and close

bool TFormMain::FileOpen1Execute() {
    const QString path = m_dialogs.OpenFileName(this, Tr("Open configuration file"), ConfigFolder(m_workflow.Settings()), Tr(kConfigFilter));
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
    if (m_workflow.Connected()) {
        m_config.DownloadAll(Tr("Opening file"), true);
        m_workflow.SendStrategy(StrategyFlag(), 0);
    }
    return true;
}

bool TFormMain::FileSave1Execute() {
    m_config.View().ReadFromGUI(m_config);
    m_config.BuildFileName();
    const QString configFolder = ConfigFolder(m_workflow.Settings());
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
    m_timerGui.stop();
    emit ShuttingDown();
}

// ---------------------------------------------------------------- what the model asks of the window

TConfigPage TFormMain::VisiblePage() const {
    static constexpr TConfigPage kByIndex[kPageCount] = {
        TConfigPage::General,    TConfigPage::Functions,   TConfigPage::Injectors, TConfigPage::PetrolMap,
        TConfigPage::GasMap,     TConfigPage::GasMap,      TConfigPage::Emulation, TConfigPage::FuelTrim,
        TConfigPage::Correction, TConfigPage::Drivability, TConfigPage::Advance,   TConfigPage::Sensors,
    };
    const int index = m_pages->currentIndex();
    return index >= 0 && index < kPageCount ? kByIndex[index] : TConfigPage::None;
}

void TFormMain::RefreshGUI(const TDataMap& config) {
    Action(TActionId::EditEnableRangeCheck1)->setChecked(config.EnableCheckRanges());
    Action(TActionId::ECUBuzzer1)->setChecked(config.Buzzer);
}

void TFormMain::RequestSequence() {
    // The Drivability page's upload: the sequence exists only while the engine runs.
    if (!m_workflow.EngineRunning())
        return;
    m_workflow.RequestSequence();
}

bool TFormMain::ProgressShown() const {
    return m_dialog && m_dialog->isVisible() && m_dialog->Kind() == TFormDialog::TKind::Progress;
}

void TFormMain::ShowProgress(const QString& text, int percent) {
    m_progressText = text;
    if (m_dialog)
        m_dialog->ShowProgressBar(text, percent);
}

void TFormMain::SetProgress(int percent) {
    // The model reports a step for every block it writes or reads, a single block included;
    // only a display that a whole-configuration transfer opened moves on. Nothing would
    // ever close a display opened here.
    if (ProgressShown())
        m_dialog->ShowProgressBar(m_progressText, percent);
}

void TFormMain::HideProgress() {
    if (ProgressShown())
        m_dialog->hide();
}

void TFormMain::ShowMessage(const QString& text, int milliseconds) {
    if (m_dialog)
        m_dialog->ShowMessage(text, milliseconds);
}

void TFormMain::ShowWarning(const QString& text) {
    m_dialogs.Warning(this, text, QMessageBox::Ok);
}

void TFormMain::ShowError(const QString& text) {
    m_dialogs.Error(this, text);
}

void TFormMain::SetTitle(const QString& title) {
    setWindowTitle(title);
}

void TFormMain::SetUndoEnabled(bool enabled) {
    Action(TActionId::EditUndo1)->setEnabled(enabled);
}

} // namespace ambrel::ui
