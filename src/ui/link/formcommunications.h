#pragma once
// The "Log" window: the link's traffic log with Pause and Clear, the number of queued
// requests, the port and its rate, and TX/RX activity lights. The log itself is the link
// manager's text model; this window only shows it.

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ambrel {
class TLinkManager;
class TSerialPort;
} // namespace ambrel

namespace ambrel::ui {

class TLedLamp;

class TFormCommunications final : public QWidget {
    Q_OBJECT
public:
    TFormCommunications(TLinkManager& link, TSerialPort& port, QWidget* parent = nullptr);

    void SetPort(const QString& portLabel, int baudRate);
    void RetranslateUi();

protected:
    void changeEvent(QEvent* event) override;

private:
    void AppendLines(const QStringList& lines);
    void ReloadLog();

    TLinkManager& m_link;
    QPlainTextEdit* m_logBox;
    QPushButton* m_pause;
    QPushButton* m_clear;
    QLabel* m_queued;
    QLabel* m_queuedCaption;
    QLabel* m_portLabel;
    QLabel* m_portCaption;
    QLabel* m_baudRate;
    QLabel* m_baudCaption;
    TLedLamp* m_tx;
    TLedLamp* m_rx;
};

} // namespace ambrel::ui
