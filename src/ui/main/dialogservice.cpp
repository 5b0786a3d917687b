#include "dialogservice.h"

#include "formdialog.h"

#include <QFileDialog>

namespace ambrel::ui {

// The boxes are captioned with the program's title, as the main window is.
static QString Caption() {
    return ApplicationTitle();
}

QMessageBox::StandardButton TStandardDialogs::Question(QWidget* parent, const QString& text,
                                                       QMessageBox::StandardButtons buttons) {
    return QMessageBox::question(parent, Caption(), text, buttons);
}

QMessageBox::StandardButton TStandardDialogs::Warning(QWidget* parent, const QString& text,
                                                      QMessageBox::StandardButtons buttons) {
    return QMessageBox::warning(parent, Caption(), text, buttons);
}

void TStandardDialogs::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, Caption(), text, QMessageBox::Ok);
}

void TStandardDialogs::Information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, Caption(), text, QMessageBox::Ok);
}

QString TStandardDialogs::OpenFileName(QWidget* parent, const QString& title, const QString& folder,
                                       const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString TStandardDialogs::SaveFileName(QWidget* parent, const QString& title, const QString& suggestion,
                                       const QString& filter) {
    // The overwrite question is the workbench's own, so the dialog must not ask it too.
    return QFileDialog::getSaveFileName(parent, title, suggestion, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace ambrel::ui
