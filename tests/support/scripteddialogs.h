#pragma once
// Answers the workbench's questions in tests: a queue of answers for questions, names for
// file dialogs, and a record of everything that was asked.

#include "ui/main/dialogservice.h"

#include <QQueue>
#include <QStringList>

namespace ambrel::test {

class TScriptedDialogs final : public ui::TDialogService {
public:
    QQueue<QMessageBox::StandardButton> Answers; // empty: Cancel (or No)
    QQueue<QString> FileNames;                   // empty: the dialog is cancelled
    QStringList Asked;                           // every question, warning, error and information text
    QStringList FileDialogs;                     // the titles of the file dialogs opened

    QMessageBox::StandardButton Question(QWidget*, const QString& text, QMessageBox::StandardButtons buttons) override {
        return Answer(text, buttons);
    }
    QMessageBox::StandardButton Warning(QWidget*, const QString& text, QMessageBox::StandardButtons buttons) override {
        return Answer(text, buttons);
    }
    void Error(QWidget*, const QString& text) override { Asked << text; }
    void Information(QWidget*, const QString& text) override { Asked << text; }
    QString OpenFileName(QWidget*, const QString& title, const QString&, const QString&) override {
        FileDialogs << title;
        return FileNames.isEmpty() ? QString() : FileNames.dequeue();
    }
    QString SaveFileName(QWidget*, const QString& title, const QString&, const QString&) override {
        FileDialogs << title;
        return FileNames.isEmpty() ? QString() : FileNames.dequeue();
    }

private:
    QMessageBox::StandardButton Answer(const QString& text, QMessageBox::StandardButtons buttons) {
        Asked << text;
        if (!Answers.isEmpty())
            return Answers.dequeue();
        return buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::No;
    }
};

} // namespace ambrel::test
