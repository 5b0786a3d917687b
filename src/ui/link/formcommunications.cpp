#include "formcommunications.h"

#include "link/linkmanager.h"
#include "ui/widgets/ledlamp.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace ambrel::ui {

TFormCommunications::TFormCommunications(TLinkManager& link, TSerialPort& port, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_link(link) {
    setObjectName(QStringLiteral("FormCommunications"));
    resize(720, 420);

    m_logBox = new QPlainTextEdit(this);
    m_logBox->setObjectName(QStringLiteral("LogBox"));
    m_logBox->setReadOnly(true);
    m_logBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_logBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_logBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono(QStringLiteral("Terminal"));
    mono.setStyleHint(QFont::Monospace);
    mono.setFamilies({QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    mono.setPointSize(10);
    m_logBox->setFont(mono);
    m_logBox->setStyleSheet(QStringLiteral("QPlainTextEdit { background: black; color: lime; }"));

    m_pause = new QPushButton(this);
    m_pause->setObjectName(QStringLiteral("PauseButton"));
    m_pause->setCheckable(true);
    m_clear = new QPushButton(this);
    m_clear->setObjectName(QStringLiteral("ClearButton"));

    auto* frames = new QGroupBox(QStringLiteral(" Frames "), this);
    auto* framesLayout = new QHBoxLayout(frames);
    m_queuedCaption = new QLabel(frames);
    m_queued = new QLabel(QStringLiteral("0"), frames);
    m_queued->setObjectName(QStringLiteral("EnqdFrmNumLabel"));
    framesLayout->addWidget(m_queuedCaption);
    framesLayout->addWidget(m_queued);

    auto* com = new QGroupBox(QStringLiteral(" Com "), this);
    auto* comLayout = new QHBoxLayout(com);
    m_portCaption = new QLabel(com);
    m_portLabel = new QLabel(com);
    m_portLabel->setObjectName(QStringLiteral("PortLabel"));
    m_baudCaption = new QLabel(com);
    m_baudRate = new QLabel(com);
    m_baudRate->setObjectName(QStringLiteral("BaudRateLabel"));
    m_tx = new TLedLamp(com, QColor(0, 255, 0), QColor(0, 90, 0));
    m_tx->setObjectName(QStringLiteral("LightTX"));
    m_rx = new TLedLamp(com, QColor(255, 0, 0), QColor(128, 0, 0));
    m_rx->setObjectName(QStringLiteral("LightRX"));
    comLayout->addWidget(m_portCaption);
    comLayout->addWidget(m_portLabel);
    comLayout->addSpacing(12);
    comLayout->addWidget(m_baudCaption);
    comLayout->addWidget(m_baudRate);
    comLayout->addSpacing(12);
    comLayout->addWidget(new QLabel(QStringLiteral("TX:"), com));
    comLayout->addWidget(m_tx);
    comLayout->addWidget(new QLabel(QStringLiteral("RX:"), com));
    comLayout->addWidget(m_rx);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_pause);
    bottom->addWidget(m_clear);
    bottom->addWidget(frames);
    bottom->addWidget(com, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_logBox, 1);
    layout->addLayout(bottom);

    TTrafficLog& log = m_link.Log();
    connect(m_pause, &QPushButton::toggled, this, [&log](bool down) { log.SetPaused(down); });
    connect(m_clear, &QPushButton::clicked, &log, &TTrafficLog::Clear);
    connect(&log, &TTrafficLog::LinesAdded, this, &TFormCommunications::AppendLines);
    connect(&log, &TTrafficLog::Reset, this, &TFormCommunications::ReloadLog);
    connect(&m_link, &TLinkManager::QueuedCountChanged, this,
            [this](int count) { m_queued->setText(QString::number(count)); });
    connect(&m_link, &TLinkManager::PortChanged, this,
            [this](const QString& label) { SetPort(label, m_link.InBootMonitor() ? TLinkManager::kMonitorBaud
                                                                                 : TLinkManager::kNormalBaud); });
    connect(&m_link, &TLinkManager::BootMonitorChanged, this, [this](bool monitor) {
        SetPort(m_link.PortLabel(), monitor ? TLinkManager::kMonitorBaud : TLinkManager::kNormalBaud);
    });
    connect(&port, &TSerialPort::BytesSent, m_tx, [this] { m_tx->Flash(); });
    connect(&port, &TSerialPort::BytesReceived, m_rx, [this] { m_rx->Flash(); });
    RetranslateUi();
    SetPort(m_link.PortLabel(), TLinkManager::kNormalBaud);
    ReloadLog();
}

void TFormCommunications::RetranslateUi() {
    setWindowTitle(tr("Log"));
    m_pause->setText(tr("Pause"));
    m_clear->setText(tr("Clear"));
    m_queuedCaption->setText(tr("queued:"));
    m_portCaption->setText(tr("Port:"));
    m_baudCaption->setText(tr("Rate:"));
}

void TFormCommunications::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

void TFormCommunications::SetPort(const QString& portLabel, int baudRate) {
    m_portLabel->setText(portLabel.isEmpty() ? QStringLiteral("-") : portLabel);
    m_baudRate->setText(QString::number(baudRate));
}

void TFormCommunications::AppendLines(const QStringList& lines) {
    for (const QString& line : lines)
        m_logBox->appendPlainText(line);
    m_logBox->verticalScrollBar()->setValue(m_logBox->verticalScrollBar()->maximum());
}

void TFormCommunications::ReloadLog() {
    m_logBox->setPlainText(m_link.Log().Text());
    m_logBox->verticalScrollBar()->setValue(m_logBox->verticalScrollBar()->maximum());
}

} // namespace ambrel::ui
