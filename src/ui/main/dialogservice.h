#pragma once
// Every standard question, warning, error and file dialog of the workbench goes through
// this one small service, so that tests can answer them and nothing blocks offscreen.

#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace ambrel::ui {

class TDialogService {
public:
    virtual ~TDialogService() = default;
    // A confirmation with the given buttons; returns the button pressed.
    virtual QMessageBox::StandardButton Question(QWidget* parent, const QString& text,
                                                 QMessageBox::StandardButtons buttons) = 0;
    virtual QMessageBox::StandardButton Warning(QWidget* parent, const QString& text,
                                                QMessageBox::StandardButtons buttons) = 0;
    virtual void Error(QWidget* parent, const QString& text) = 0;
    virtual void Information(QWidget* parent, const QString& text) = 0;
    // File dialogs: the chosen path, or empty when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& suggestion,
                                 const QString& filter) = 0;
};

// The real dialogs, QMessageBox and QFileDialog, captioned with the application title.
class TStandardDialogs final : public TDialogService {
public:
    QMessageBox::StandardButton Question(QWidget* parent, const QString& text,
                                         QMessageBox::StandardButtons buttons) override;
    QMessageBox::StandardButton Warning(QWidget* parent, const QString& text,
                                        QMessageBox::StandardButtons buttons) override;
    void Error(QWidget* parent, const QString& text) override;
    void Information(QWidget* parent, const QString& text) override;
    QString OpenFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& title, const QString& suggestion,
                         const QString& filter) override;
};

} // namespace ambrel::ui
