#include "maincommands.h"

#include "config/datamap.h"
#include "dialogservice.h"
#include "languages.h"
#include "link/commands.h"
#include "link/linkmanager.h"
#include "mainworkflow.h"
#include "measure/acquisitions.h"

#include <QAction>
#include <QCoreApplication>
#include <QDate>

namespace ambrel::ui {

namespace {
QString Tr(const char* text) {
    return QCoreApplication::translate("TFormMain", text);
}
} // namespace

TMainCommands::TMainCommands(TActionRegistry& actions, TMainWorkflow& workflow, TLinkManager& link, TDataMap& config,
                             TAcquisitions& acquisitions, TDialogService& dialogs, QWidget& window, QObject* parent)
    : QObject(parent), m_actions(actions), m_workflow(workflow), m_link(link), m_config(config),
      m_acquisitions(acquisitions), m_dialogs(dialogs), m_window(window) {
    using A = TActionId;
    const auto on = [this](TActionId id, std::function<void()> handler) { m_actions.Handle(id, this, handler); };
    on(A::EditResetAll, [this] { EditResetAllExecute(); });
    on(A::EditWriteDate, [this] { EditWriteDateExecute(); });
    on(A::EditEnableRangeCheck1,
       [this] { m_config.SetEnableCheckRanges(Action(TActionId::EditEnableRangeCheck1)->isChecked()); });
    on(A::ECUUpload1, [this] { m_config.UploadAll(1); });
    on(A::ECUDownload1, [this] {
        if (m_link.ECUisConnected())
            m_config.DownloadAll(Tr("Download in progress"), true);
    });
    on(A::ECUBuzzer1, [this] { ECUBuzzer1Execute(); });
    on(A::ECUReset1, [this] {
        if (Confirm(Tr("Resetting ECU: are you sure ?")))
            m_link.ResetECU();
    });
    on(A::ECUClearQueue, [this] { m_link.FlushLink(); });
    on(A::ECUSwitchMode1, [this] { ECUSwitchMode1Execute(); });
    for (int n = 0; n < kPortActionCount; ++n)
        on(PortAction(n), [this, n] { ECUComExecute(PortAction(n)); });
    on(A::ECUScanCOM, [this] {
        m_link.SetScanCOM(Action(TActionId::ECUScanCOM)->isChecked());
        m_link.SavePort();
    });
    on(A::DiagnosticsInjectionSequence, [this] { m_workflow.RequestSequence(); });
    on(A::DiagnosticsSolenoid1, [this] { DiagnosticsSolenoid1Execute(); });
    on(A::DiagnosticsEVon, [this] { m_link.SendCommand(Payload::SolenoidTest(true)); });
    on(A::DiagnosticsEVoff, [this] { m_link.SendCommand(Payload::SolenoidTest(false)); });
    on(A::DiagnosticsVersionInfo1, [this] { m_link.SendCommand(Payload::Plain(cmdReadIdent), &m_link); });
    on(A::DiagnosticsEnableStatusUpdate1, [this] { m_workflow.SetStatusUpdate(true); });
    on(A::DiagnosticsDisableStatusUpdate1, [this] { m_workflow.SetStatusUpdate(false); });

    for (int n = 0; n < kLanguageActionCount; ++n) {
        QAction* action = Action(LanguageAction(n));
        if (n < LanguageTable().size())
            action->setText(QString::fromUtf8(LanguageTable()[n].NativeName));
        else
            action->setVisible(false);
        on(LanguageAction(n), [this, action] {
            // A missing module changes nothing, check mark included.
            if (!m_languages || !m_languages->SwitchTo(action->text()))
                action->setChecked(action->text() == (m_languages ? m_languages->Active() : QString()));
        });
    }

    // The check marks and enabled states follow what they describe.
    connect(&m_link, &TLinkManager::PortMenuChanged, this, &TMainCommands::RefreshPortMenu);
    connect(&m_link, &TLinkManager::AutoScanLoaded, this,
            [this](bool scan) { Action(TActionId::ECUScanCOM)->setChecked(scan); });
    connect(&m_acquisitions, &TAcquisitions::StatusUpdateChanged, this, &TMainCommands::FollowStatusUpdate);
    FollowStatusUpdate(m_acquisitions.StatusUpdate());
    connect(&m_workflow, &TMainWorkflow::SolenoidChecked, this,
            [this](bool checked) { Action(TActionId::DiagnosticsSolenoid1)->setChecked(checked); });
    RefreshPortMenu();
}

void TMainCommands::SetLanguageSwitcher(TLanguageSwitcher* switcher) {
    m_languages = switcher;
    connect(switcher, &TLanguageSwitcher::LanguageChanged, this, [this](const QString& nativeName) {
        for (int n = 0; n < kLanguageActionCount; ++n)
            Action(LanguageAction(n))->setChecked(Action(LanguageAction(n))->text() == nativeName);
    });
}

bool TMainCommands::Confirm(const QString& question) {
    return m_dialogs.Question(&m_window, question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TMainCommands::FollowStatusUpdate(bool on) {
    // Exactly one of the two is offered: the one that changes the present state.
    Action(TActionId::DiagnosticsEnableStatusUpdate1)->setEnabled(!on);
    Action(TActionId::DiagnosticsDisableStatusUpdate1)->setEnabled(on);
}

void TMainCommands::RefreshPortMenu() {
    const QStringList ports = m_link.PortList();
    for (int n = 0; n < kPortActionCount; ++n) {
        QAction* action = Action(PortAction(n));
        if (n < ports.size()) {
            action->setText(ports[n]);
            action->setVisible(true);
            action->setChecked(ports[n] == m_link.PortName());
        } else {
            action->setVisible(false);
        }
    }
}

void TMainCommands::EditResetAllExecute() {
    const QString question =
        m_config.StrategyFlag == strategySlave
            ? Tr("You are about to reset the configuration to Slave LPG defaults.\nYou will loose current maps: are "
                 "you sure ?")
            : Tr("You are about to reset the configuration to Compensated LPG defaults.\nYou will loose current maps: "
                 "are you sure ?");
    if (!Confirm(question))
        return;
    m_config.SaveUndoPoint();
    m_config.ResetToDefaults(fuelLPG, false);
    m_config.SetSaved(true);
    m_config.RefreshViews();
    if (m_link.ECUisConnected())
        m_config.DownloadAll(Tr("Clearing ECU"), true);
}

void TMainCommands::EditWriteDateExecute() {
    m_config.ConfigDate = QDate::currentDate().toString(QStringLiteral("ddMMyy"));
    m_config.DownloadBlock(1);
}

void TMainCommands::ECUBuzzer1Execute() {
    // An edit like any other; the buzzer lives in block 2, whichever page is in front.
    TEdit edit;
    edit.Change = [on = Action(TActionId::ECUBuzzer1)->isChecked()](TDataMap& m) { m.Buzzer = on; };
    edit.Blocks = {2};
    m_config.ApplyEdit(edit);
}

void TMainCommands::ECUSwitchMode1Execute() {
    const QString question =
        m_config.StrategyFlag == strategySlave
            ? Tr("You are about to switch to Compensated mode.\nCompensated default settings will be loaded.\nAre "
                 "you sure ?")
            : Tr("You are about to switch to Slave mode.\nSlave default settings will be loaded.\nAre you sure ?");
    if (Confirm(question))
        m_workflow.SwitchStrategy();
}

void TMainCommands::ECUComExecute(TActionId id) {
    for (int n = 0; n < kPortActionCount; ++n)
        Action(PortAction(n))->setChecked(false);
    Action(TActionId::ECUScanCOM)->setChecked(false);
    QAction* action = Action(id);
    m_link.ChangePort(action->text());
    action->setChecked(m_link.PortName() == action->text());
}

void TMainCommands::DiagnosticsSolenoid1Execute() {
    QAction* action = Action(TActionId::DiagnosticsSolenoid1);
    // The click toggled the check mark; it goes back, and follows the ECU's confirmation.
    const bool disabled = !action->isChecked();
    action->setChecked(disabled);
    if (!m_link.ECUisConnected())
        return;
    if (disabled)
        m_workflow.RequestSolenoid(false);
    else if (Confirm(Tr("You are about to disable the gas solenoid.\nDo you want to proceed ?")))
        m_workflow.RequestSolenoid(true);
}

} // namespace ambrel::ui
