#include "formdialog.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QMainWindow>
#include <QTimer>
#include <QVBoxLayout>

namespace ambrel::ui {

namespace {
constexpr double kVersion = 2.2;
constexpr int kBuild = 4;

struct TPresentation {
    QColor From, To, Text;
};
TPresentation PresentationOf(TFormDialog::TKind kind) {
    switch (kind) {
    case TFormDialog::TKind::Information:
        return {QColor(255, 255, 0), QColor(128, 128, 0), Qt::black};
    case TFormDialog::TKind::Warning:
        return {QColor(255, 0, 0), QColor(128, 0, 0), Qt::white};
    case TFormDialog::TKind::Message:
    case TFormDialog::TKind::Progress:
        break;
    }
    return {QColor(0, 255, 0), QColor(0, 128, 0), Qt::black};
}
} // namespace

QString VersionNumberText() {
    return QString::asprintf("%1.1f", kVersion) + QLatin1Char('.') + QString::asprintf("%2.2d", kBuild);
}

QString ApplicationTitle() {
    return QCoreApplication::translate("TFormMain", "Ambrel Q7 Diagnostic") + QLatin1Char(' ') + VersionNumberText();
}

// ---------------------------------------------------------------- message dialog

TFormDialog::TFormDialog(TSoftTimers& timers, QWidget* mainWindow)
    : QDialog(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool), m_timers(timers),
      m_mainWindow(mainWindow) {
    setObjectName(QStringLiteral("FormDialog"));
    resize(399, 150);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("Etichetta"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(26);
    m_text->setFont(font);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar"));
    m_progress->setRange(0, 100);
    m_progress->setFormat(QStringLiteral("%p %"));
    m_progress->setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid #555; background: palette(button); text-align: center; height: 22px; }"
        "QProgressBar::chunk { background-color: #00b000; width: 8px; margin: 1px; }"));
    m_ok = new QPushButton(tr("Ok"), this);
    m_ok->setObjectName(QStringLiteral("ButtonOk"));
    layout->addWidget(m_text, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_ok, 0, Qt::AlignHCenter);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    // The OK text flashes at 1 Hz so that a waiting warning is not overlooked.
    m_flash = new QTimer(this);
    m_flash->setInterval(500);
    connect(m_flash, &QTimer::timeout, this, [this] {
        m_flashOn = !m_flashOn;
        m_ok->setStyleSheet(m_flashOn ? QStringLiteral("color: red; font-weight: bold;")
                                      : QStringLiteral("color: black; font-weight: bold;"));
    });
    m_timers.SetAction(TSoftTimer::DialogFade, [this] { ManageFade(); });
}

QString TFormDialog::Text() const {
    return m_text->text();
}

int TFormDialog::ProgressValue() const {
    return m_progress->value();
}

void TFormDialog::ShowMessage(const QString& text, int milliseconds) {
    Present(TKind::Message, text, TSoftTimers::TicksFor(milliseconds), nullptr);
}

void TFormDialog::ShowInformation(const QString& text, int milliseconds, QWidget* window) {
    Present(TKind::Information, text, TSoftTimers::TicksFor(milliseconds), window);
}

void TFormDialog::ShowWarning(const QString& text, QWidget* window) {
    Present(TKind::Warning, text, -1, window);
    m_flash->start();
    exec();
    m_flash->stop();
}

void TFormDialog::ShowProgressBar(const QString& text, int value) {
    m_progress->setValue(std::clamp(value, 0, 100));
    Present(TKind::Progress, text, -1, nullptr);
}

void TFormDialog::Present(TKind kind, const QString& text, int fadeTicks, QWidget* centreOn) {
    m_kind = kind;
    const TPresentation look = PresentationOf(kind);
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::WindowText, look.Text);
    m_text->setPalette(palette);
    m_ok->setVisible(kind == TKind::Warning);
    m_progress->setVisible(kind == TKind::Progress);
    m_text->setText(text);
    m_timers.Set(TSoftTimer::DialogFade, fadeTicks);
    SetOpacity(255);

    const QWidget* anchor = centreOn ? centreOn : m_mainWindow;
    if (anchor) {
        const QRect frame = anchor->frameGeometry();
        int top = frame.top() + (frame.height() - height()) / 2;
        if (!centreOn) {
            // Just above the main window's status bar.
            const auto* main = qobject_cast<const QMainWindow*>(anchor);
            const int statusHeight = main && main->statusBar() ? main->statusBar()->height() : 0;
            top = frame.top() + frame.height() - height() - statusHeight;
        }
        move(frame.left() + (frame.width() - width()) / 2, top);
    }
    update();
    if (kind != TKind::Warning) {
        show();
        raise();
        // The dialog informs; the keyboard stays with the main window.
        if (m_mainWindow)
            m_mainWindow->activateWindow();
    }
}

void TFormDialog::ManageFade() {
    if (m_opacity <= 30) {
        m_timers.Set(TSoftTimer::DialogFade, -1);
        hide();
        return;
    }
    SetOpacity(m_opacity - 30);
    m_timers.Set(TSoftTimer::DialogFade, 1);
}

void TFormDialog::SetOpacity(int opacity) {
    m_opacity = opacity;
    setWindowOpacity(opacity / 255.0);
}

void TFormDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const TPresentation look = PresentationOf(m_kind);
    // The body carries the kind's colours too, so that the text colour of each kind (white
    // on the red warning, black on the others) always stands on a matching background.
    QLinearGradient body(rect().topLeft(), rect().bottomLeft());
    body.setColorAt(0, look.From.lighter(m_kind == TKind::Warning ? 100 : 160));
    body.setColorAt(1, look.To.lighter(m_kind == TKind::Warning ? 100 : 160));
    painter.fillRect(rect(), body);
    // A 3-pixel outer bevel with a horizontal two-way gradient in the colours of the kind.
    QLinearGradient gradient(rect().topLeft(), rect().topRight());
    gradient.setColorAt(0, look.From);
    gradient.setColorAt(0.5, look.To);
    gradient.setColorAt(1, look.From);
    QPen pen(QBrush(gradient), 6);
    painter.setPen(pen);
    painter.drawRect(rect());
}

// ---------------------------------------------------------------- fuel-change banner

TFormGlowingLabel::TFormGlowingLabel(TSoftTimers& timers, QWidget* mainWindow, const TFormDialog& dialog)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool), m_timers(timers),
      m_mainWindow(mainWindow), m_dialog(dialog) {
    setObjectName(QStringLiteral("FormGlowingLabel"));
    setAttribute(Qt::WA_TranslucentBackground);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(69);
    m_label->setFont(font);
    m_label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    m_timers.SetAction(TSoftTimer::BannerFade, [this] { ManageFade(); });
}

void TFormGlowingLabel::ShowText(const QString& text, QWidget* cover) {
    m_label->setText(text);
    m_opacity = 255;
    setWindowOpacity(1.0);
    if (cover)
        setGeometry(QRect(cover->mapToGlobal(QPoint(0, 0)), cover->size()));
    if (m_dialog.isVisible())
        return; // the two never overlap
    if (!isVisible()) {
        show();
        // The fade starts when the banner appears; a second text keeps the running schedule.
        m_timers.Set(TSoftTimer::BannerFade, 27);
        if (m_mainWindow)
            m_mainWindow->activateWindow();
    }
}

void TFormGlowingLabel::ManageFade() {
    if (m_opacity <= 20) {
        m_timers.Set(TSoftTimer::BannerFade, -1);
        m_label->clear();
        hide();
        return;
    }
    m_opacity -= 20;
    setWindowOpacity(m_opacity / 255.0);
    m_timers.Set(TSoftTimer::BannerFade, 1);
}

// ---------------------------------------------------------------- splash and about

TFormSplash::TFormSplash(TSoftTimers& timers)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen), m_timers(timers) {
    setObjectName(QStringLiteral("FormSplash"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 30, 40, 30);
    auto* logo = new QLabel(QStringLiteral("Q7"), this);
    logo->setObjectName(QStringLiteral("ImageLogo"));
    logo->setAlignment(Qt::AlignCenter);
    logo->setFixedSize(120, 80);
    logo->setStyleSheet(QStringLiteral("background: white; border: 2px solid white; color: #0a5a8a;"
                                       "font: bold 40px 'Arial';"));
    m_application = new QLabel(this);
    m_application->setObjectName(QStringLiteral("LabelApplication"));
    m_application->setAlignment(Qt::AlignCenter);
    m_application->setStyleSheet(QStringLiteral("font: bold 22px 'Arial';"));
    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("LabelVersion"));
    m_version->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo, 0, Qt::AlignHCenter);
    layout->addWidget(m_application);
    layout->addWidget(m_version);
    RetranslateUi();
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    m_timers.SetAction(TSoftTimer::SplashFade, [this] { ManageFade(); });
    // Shown at start, opaque for a second of the main loop, then fading.
    m_timers.Set(TSoftTimer::SplashFade, 25);
}

void TFormSplash::RetranslateUi() {
    m_application->setText(tr("Ambrel Q7 Diagnostic"));
    m_version->setText(tr("Version") + QLatin1Char(' ') + VersionNumberText());
}

void TFormSplash::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

void TFormSplash::showEvent(QShowEvent* event) {
    RetranslateUi();
    QWidget::showEvent(event);
}

void TFormSplash::ShowAbout() {
    m_timers.Set(TSoftTimer::SplashFade, -1);
    m_opacity = 255;
    setWindowOpacity(1.0);
    // The about window keeps a border and stays until the user closes it.
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint);
    setWindowTitle(tr("About..."));
    show();
    raise();
}

void TFormSplash::ManageFade() {
    if (m_opacity < 31) {
        m_timers.Set(TSoftTimer::SplashFade, -1);
        hide();
        return;
    }
    m_opacity -= 30;
    setWindowOpacity(m_opacity / 255.0);
    m_timers.Set(TSoftTimer::SplashFade, 1);
}

void TFormSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(rect().topLeft(), rect().bottomLeft());
    gradient.setColorAt(0, palette().button().color());
    gradient.setColorAt(0.5, QColor(194, 191, 180));
    gradient.setColorAt(1, palette().button().color());
    painter.fillRect(rect(), gradient);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

} // namespace ambrel::ui
