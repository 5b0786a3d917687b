#include "formdiagnostics.h"

#include "config/datamap.h"
#include "link/linkmanager.h"
#include "service/diagnostics.h"
#include "service/troublecodes.h"
#include "session/linktexts.h"
#include "ui/main/dialogservice.h"
#include "ui/main/programsettings.h"
#include "ui/widgets/ledlamp.h"

#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace ambrel::ui {

namespace {

QListWidget* MakeList(const char* name, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    return list;
}

void Fill(QListWidget* list, const QStringList& lines) {
    list->clear();
    list->addItems(lines);
}

QFont FixedFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(11);
    return font;
}

} // namespace

TFormDiagnostics::TFormDiagnostics(TLinkManager& link, TDataMap& config, TDialogService& dialogs,
                                   TSettingsStore* settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_diagnostics(*new TDiagnostics(link, this)),
      m_config(config),
      m_dialogs(dialogs), m_settings(settings) {
    setObjectName(QStringLiteral("FormDiagnostics"));

    m_update = new QPushButton(this);
    m_update->setObjectName(QStringLiteral("ButtonUpdate"));
    m_save = new QPushButton(this);
    m_save->setObjectName(QStringLiteral("ButtonSave"));
    m_clear = new QPushButton(this);
    m_clear->setObjectName(QStringLiteral("ButtonClear"));

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_dtcList = MakeList("DTCListBox", m_pages);
    m_freezeFrameList = MakeList("FreezeFrameListBox", m_pages);
    m_comList = MakeList("COMListBox", m_pages);
    m_countersList = MakeList("CountersListBox", m_pages);

    auto* vinPage = new QWidget(m_pages);
    m_vin = new QLineEdit(vinPage);
    m_vin->setObjectName(QStringLiteral("EditVIN"));
    m_vin->setMaxLength(17);
    m_vin->setFont(FixedFont());
    // Upper case as typed; only what a VIN may hold gets in.
    connect(m_vin, &QLineEdit::textEdited, this, [this](const QString& text) {
        const int cursor = m_vin->cursorPosition();
        m_vin->setText(text.toUpper());
        m_vin->setCursorPosition(cursor);
    });
    m_vin->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[\\x20-\\x7E]{0,17}")), m_vin));
    auto* ruler = new QLabel(QStringLiteral("12345678901234567"), vinPage);
    ruler->setObjectName(QStringLiteral("LabelRuler"));
    ruler->setFont(FixedFont());
    ruler->setContentsMargins(m_vin->textMargins().left() + 3, 0, 0, 0);
    m_vinRead = new QPushButton(vinPage);
    m_vinRead->setObjectName(QStringLiteral("ButtonRead"));
    m_vinWrite = new QPushButton(vinPage);
    m_vinWrite->setObjectName(QStringLiteral("ButtonWrite"));
    auto* vinLayout = new QVBoxLayout(vinPage);
    vinLayout->addWidget(ruler);
    vinLayout->addWidget(m_vin);
    auto* vinButtons = new QHBoxLayout;
    vinButtons->addWidget(m_vinRead);
    vinButtons->addWidget(m_vinWrite);
    vinButtons->addStretch(1);
    vinLayout->addLayout(vinButtons);
    vinLayout->addStretch(1);

    m_pages->addTab(m_dtcList, QString());
    m_pages->addTab(m_freezeFrameList, QString());
    m_pages->addTab(vinPage, QString());
    m_pages->addTab(m_comList, QString());
    m_pages->addTab(m_countersList, QString());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_update);
    buttons->addWidget(m_save);
    buttons->addWidget(m_clear);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_pages, 1);

    connect(m_update, &QPushButton::clicked, this, &TFormDiagnostics::OnUpdate);
    connect(m_clear, &QPushButton::clicked, this, &TFormDiagnostics::OnClear);
    connect(m_save, &QPushButton::clicked, this, &TFormDiagnostics::OnSave);
    connect(m_pages, &QTabWidget::currentChanged, this, &TFormDiagnostics::OnPageSelected);
    connect(m_vinRead, &QPushButton::clicked, &m_diagnostics, &TDiagnostics::ReadVin);
    connect(m_vinWrite, &QPushButton::clicked, this, &TFormDiagnostics::WriteVin);
    connect(m_vin, &QLineEdit::returnPressed, this, &TFormDiagnostics::WriteVin);

    connect(&m_diagnostics, &TDiagnostics::CodesChanged, this, &TFormDiagnostics::ShowCodes);
    connect(&m_diagnostics, &TDiagnostics::FreezeFrameChanged, this, [this] {
        m_freezeFrameShown = true;
        ShowFreezeFrame();
    });
    connect(&m_diagnostics, &TDiagnostics::CountersChanged, this, &TFormDiagnostics::ShowCounters);
    connect(&m_diagnostics, &TDiagnostics::VinRead, m_vin, &QLineEdit::setText);
    connect(&m_diagnostics, &TDiagnostics::ComErrorsRead, this, [this](const QList<quint16>& codes) {
        for (const quint16 code : codes)
            m_com.append(code);
        ShowCom();
    });
    connect(&link, &TLinkManager::ComEvent, this, [this](const TComMessage& message) {
        m_com.append(message);
        ShowCom();
    });

    RetranslateUi();
    ShowCodes();
    ShowCom();
    resize(520, 380);
}

void TFormDiagnostics::RetranslateUi() {
    setWindowTitle(tr("Diagnostic Trouble Codes"));
    m_update->setText(tr("Update"));
    m_save->setText(tr("Save"));
    m_clear->setText(tr("Clear"));
    m_vinRead->setText(tr("Read"));
    m_vinWrite->setText(tr("Write"));
    m_pages->setTabText(PageErrors, tr("Errors"));
    m_pages->setTabText(PageFreezeFrame, tr("Freeze frame"));
    m_pages->setTabText(PageVin, tr("VIN"));
    m_pages->setTabText(PageCom, tr("COM"));
    m_pages->setTabText(PageCounters, tr("Counters"));
    m_vin->setAccessibleName(m_pages->tabText(PageVin));
    // The lists' texts are translatable too: worded again from what the ECU answered.
    ShowCodes();
    ShowFreezeFrame();
    ShowCom();
    ShowCounters();
}

void TFormDiagnostics::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

void TFormDiagnostics::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_dtcList->clear();
    m_freezeFrameList->clear();
    m_freezeFrameShown = false;
    m_diagnostics.ReadCodes();
}

// ---------------------------------------------------------------- lists

void TFormDiagnostics::ShowCodes() {
    Fill(m_dtcList, m_diagnostics.CodeLines());
}

void TFormDiagnostics::ShowFreezeFrame() {
    if (m_freezeFrameShown && m_diagnostics.FreezeFrame())
        Fill(m_freezeFrameList, FreezeFrameLines(*m_diagnostics.FreezeFrame(), m_config.LambdaType));
    else
        m_freezeFrameList->clear();
}

void TFormDiagnostics::ShowCom() {
    QStringList lines;
    for (const auto& entry : m_com) {
        if (const auto* message = std::get_if<TComMessage>(&entry))
            lines.append(ComMessageText(*message));
        else
            lines.append(EcuErrorLine(std::get<quint16>(entry)));
    }
    if (lines.isEmpty())
        lines.append(NoComErrorLine());
    Fill(m_comList, lines);
}

void TFormDiagnostics::ShowCounters() {
    Fill(m_countersList, m_diagnostics.CounterLines());
}

QListWidget* TFormDiagnostics::PageList(int page) const {
    switch (page) {
    case PageErrors:
        return m_dtcList;
    case PageFreezeFrame:
        return m_freezeFrameList;
    case PageCom:
        return m_comList;
    default:
        return nullptr;
    }
}

// ---------------------------------------------------------------- buttons

void TFormDiagnostics::OnPageSelected(int page) {
    switch (page) {
    case PageErrors:
        m_dtcList->clear();
        m_diagnostics.ReadCodes();
        break;
    case PageFreezeFrame:
        m_freezeFrameShown = false;
        m_freezeFrameList->clear();
        m_diagnostics.ReadFreezeFrame();
        break;
    case PageVin:
        m_diagnostics.ReadVin();
        break;
    case PageCom:
        if (m_com.isEmpty())
            m_diagnostics.ReadComErrors();
        break;
    case PageCounters:
        m_countersList->clear();
        m_diagnostics.ReadCounters();
        break;
    default:
        break;
    }
}

void TFormDiagnostics::OnUpdate() {
    switch (m_pages->currentIndex()) {
    case PageCom:
        m_diagnostics.ReadComErrors();
        break;
    default:
        OnPageSelected(m_pages->currentIndex());
        break;
    }
}

void TFormDiagnostics::OnClear() {
    switch (m_pages->currentIndex()) {
    case PageErrors:
        if (m_dialogs.Question(this, tr("Clearing trouble codes.\nDo you want to proceed ?"),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        m_diagnostics.ClearCodes();
        m_diagnostics.ReadCodes();
        break;
    case PageFreezeFrame:
        OnPageSelected(PageFreezeFrame);
        break;
    case PageVin:
        m_vin->clear();
        m_diagnostics.ReadVin();
        break;
    case PageCom:
        m_com.clear();
        ShowCom();
        m_diagnostics.ReadComErrors();
        break;
    case PageCounters:
        if (m_dialogs.Question(this, tr("Clearing all counters.\nDo you want to proceed ?"),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        m_diagnostics.ClearCounters();
        m_countersList->clear();
        m_diagnostics.ReadCounters();
        break;
    default:
        break;
    }
}

void TFormDiagnostics::WriteVin() {
    m_diagnostics.WriteVin(m_vin->text());
}

// Saved through a temporary file: a failed write reports the system's reason and leaves
// any file of that name as it was, never half replaced.
void TFormDiagnostics::OnSave() {
    QListWidget* list = PageList(m_pages->currentIndex());
    if (!list)
        return;
    const QString folder = m_settings ? InstallFolder(*m_settings) : QString();
    QString path = m_dialogs.SaveFileName(this, tr("Save"), folder, tr("Text file (*.txt);;All files (*.*)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".txt");
    QByteArray text;
    for (int i = 0; i < list->count(); ++i)
        text += list->item(i)->text().toUtf8() + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        m_dialogs.Error(this, tr("%1 could not be written: %2").arg(QFileInfo(path).fileName(), file.errorString()));
}

// ---------------------------------------------------------------- check-engine lamp

TCheckEngineLamp::TCheckEngineLamp(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CheckEngine"));
    m_lamp = new TLedLamp(this, QColor(255, 170, 0), QColor(70, 50, 0));
    m_blink = new QTimer(this);
    m_blink->setInterval(500);
    connect(m_blink, &QTimer::timeout, this, [this] { m_lamp->SetLit(!m_lamp->Lit()); });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(m_lamp);
    RetranslateUi();
}

void TCheckEngineLamp::SetFlashing(bool flashing) {
    if (flashing == Flashing())
        return;
    if (flashing) {
        m_lamp->SetLit(true);
        m_blink->start();
    } else {
        m_blink->stop();
        m_lamp->SetLit(false);
    }
}

bool TCheckEngineLamp::Flashing() const {
    return m_blink->isActive();
}

void TCheckEngineLamp::RetranslateUi() {
    setToolTip(tr("Check engine"));
}

void TCheckEngineLamp::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

// ---------------------------------------------------------------- supported codes

TFormHelpDTC::TFormHelpDTC(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormHelpDTC"));
    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("GridDTC"));
    m_grid->setColumnCount(2);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_grid->setColumnWidth(0, 70);
    m_grid->setColumnWidth(1, 730);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    RetranslateUi();
    resize(830, 520);
}

void TFormHelpDTC::RetranslateUi() {
    setWindowTitle(tr("Supported error codes"));
    m_grid->setHorizontalHeaderLabels({tr("DTC"), tr("Description")});
    const QList<TSupportedCode> codes = SupportedCodes();
    m_grid->setRowCount(static_cast<int>(codes.size()));
    for (int row = 0; row < codes.size(); ++row) {
        m_grid->setItem(row, 0, new QTableWidgetItem(codes[row].Name));
        m_grid->setItem(row, 1, new QTableWidgetItem(codes[row].Description));
    }
}

void TFormHelpDTC::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

} // namespace ambrel::ui
