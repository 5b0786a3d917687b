#pragma once
// The "Diagnostic Trouble Codes" window: the trouble codes with their status, the freeze
// frame, the VIN (read and write), the COM list (the ECU's own COM error log together with
// the link's communication messages) and the usage counters, each on its page, with
// Update, Save and Clear acting on the page shown. The conversation is TDiagnostics'; this
// window words what it holds, again on every language change.

#include "link/linkevents.h"

#include <QWidget>
#include <variant>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace ambrel {
class TDataMap;
class TDiagnostics;
class TLinkManager;
class TSettingsStore;
} // namespace ambrel

namespace ambrel::ui {

class TDialogService;
class TLedLamp;

class TFormDiagnostics final : public QWidget {
    Q_OBJECT
public:
    enum TPage { PageErrors, PageFreezeFrame, PageVin, PageCom, PageCounters };

    // The window makes and owns the diagnostics conversation (and with it the status poll)
    // for the whole run.
    TFormDiagnostics(TLinkManager& link, TDataMap& config, TDialogService& dialogs, TSettingsStore* settings,
                     QWidget* parent = nullptr);

    TDiagnostics& Diagnostics() { return m_diagnostics; }
    void RetranslateUi();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnUpdate();
    void OnClear();
    void OnSave();
    void OnPageSelected(int page);
    void WriteVin();
    void ShowCodes();
    void ShowFreezeFrame();
    void ShowCom();
    void ShowCounters();
    QListWidget* PageList(int page) const;

    TDiagnostics& m_diagnostics;
    TDataMap& m_config;
    TDialogService& m_dialogs;
    TSettingsStore* m_settings;
    // The COM list: link messages and ECU error codes in the order they came, worded anew
    // on a language change. Empty shows "No error.".
    QList<std::variant<TComMessage, quint16>> m_com;
    bool m_freezeFrameShown = false;

    QPushButton* m_update;
    QPushButton* m_save;
    QPushButton* m_clear;
    QTabWidget* m_pages;
    QListWidget* m_dtcList;
    QListWidget* m_freezeFrameList;
    QListWidget* m_comList;
    QListWidget* m_countersList;
    QLineEdit* m_vin;
    QPushButton* m_vinRead;
    QPushButton* m_vinWrite;
};

// The main window's check-engine lamp: it flashes while the ECU reports a trouble code
// present and is dark otherwise (object name "CheckEngine").
class TCheckEngineLamp final : public QWidget {
    Q_OBJECT
public:
    explicit TCheckEngineLamp(QWidget* parent = nullptr);
    void SetFlashing(bool flashing);
    bool Flashing() const;
    void RetranslateUi();

protected:
    void changeEvent(QEvent* event) override;

private:
    TLedLamp* m_lamp;
    QTimer* m_blink;
};

// The "Supported error codes" window: every trouble code the workbench knows, sorted.
class TFormHelpDTC final : public QWidget {
    Q_OBJECT
public:
    explicit TFormHelpDTC(QWidget* parent = nullptr);
    void RetranslateUi();

protected:
    void changeEvent(QEvent* event) override;

private:
    QTableWidget* m_grid;
};

} // namespace ambrel::ui
