#pragma once
// The feedback windows that need no answer: the shared message dialog (timed message,
// timed information, warning with OK, progress bar), the fuel-change banner over the
// lambda chart, and the splash/about window. They have no title bar, stay on top and fade
// out on the soft timers of the main loop.

#include "softtimers.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>

class QProgressBar;
class QPushButton;
class QTimer;

namespace ambrel::ui {

// One window with a message; a new presentation replaces the one shown.
class TFormDialog final : public QDialog {
    Q_OBJECT
public:
    enum class TKind { Message, Information, Warning, Progress };

    TFormDialog(TSoftTimers& timers, QWidget* mainWindow);

    void ShowMessage(const QString& text, int milliseconds);
    void ShowInformation(const QString& text, int milliseconds, QWidget* window);
    // Modal: returns when OK has been clicked.
    void ShowWarning(const QString& text, QWidget* window);
    void ShowProgressBar(const QString& text, int value);
    // Fade step, run when the dialog's soft timer runs out.
    void ManageFade();

    TKind Kind() const { return m_kind; }
    int Opacity() const { return m_opacity; }
    QString Text() const;
    int ProgressValue() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Present(TKind kind, const QString& text, int fadeTicks, QWidget* centreOn);
    void SetOpacity(int opacity);

    TSoftTimers& m_timers;
    QWidget* m_mainWindow;
    QLabel* m_text;
    QProgressBar* m_progress;
    QPushButton* m_ok;
    QTimer* m_flash;
    TKind m_kind = TKind::Message;
    int m_opacity = 255;
    bool m_flashOn = false;
};

// The large word laid over the lambda chart when the engine changes fuel.
class TFormGlowingLabel final : public QWidget {
    Q_OBJECT
public:
    TFormGlowingLabel(TSoftTimers& timers, QWidget* mainWindow, const TFormDialog& dialog);

    // Shows the text over `cover` (the lambda chart), unless the message dialog is visible.
    void ShowText(const QString& text, QWidget* cover);
    void ManageFade();
    int Opacity() const { return m_opacity; }
    QString Text() const { return m_label->text(); }

private:
    TSoftTimers& m_timers;
    QWidget* m_mainWindow;
    const TFormDialog& m_dialog;
    QLabel* m_label;
    int m_opacity = 255;
};

// Title and version, shown at start (fading after a second) and by "About...".
class TFormSplash final : public QWidget {
    Q_OBJECT
public:
    explicit TFormSplash(TSoftTimers& timers);

    void ShowAbout();
    void ManageFade();
    void RetranslateUi();
    int Opacity() const { return m_opacity; }
    QString VersionText() const { return m_version->text(); }

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    TSoftTimers& m_timers;
    QLabel* m_application;
    QLabel* m_version;
    int m_opacity = 255;
};

// "Ambrel Q7 Diagnostic 2.2.04": the program's title with its version, "." whatever the locale.
QString ApplicationTitle();
QString VersionNumberText();

} // namespace ambrel::ui
