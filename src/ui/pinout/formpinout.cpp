#include "formpinout.h"

#include "link/linkmanager.h"
#include "service/pinout.h"

#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>

namespace ambrel::ui {

namespace {
constexpr int kColumns = kConnectorPins / kPinsPerColumn;
constexpr double kMargin = 18.0;
} // namespace

TConnectorPicture::TConnectorPicture(QWidget* parent) : QWidget(parent) {
    setFixedWidth(sizeHint().width());
}

void TConnectorPicture::SetMarkedPin(int pin) {
    m_pin = (pin >= 1 && pin <= kConnectorPins) ? pin : 0;
    update();
}

QPointF TConnectorPicture::PinCentre(int pin) const {
    const int index = pin - 1;
    const int column = index / kPinsPerColumn;
    const int row = index % kPinsPerColumn;
    const double pitchX = (width() - 2 * kMargin) / kColumns;
    const double pitchY = (height() - 2 * kMargin) / kPinsPerColumn;
    return {kMargin + pitchX * (column + 0.5), kMargin + pitchY * (row + 0.5)};
}

void TConnectorPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The housing, with the locking tab on the right.
    const QRectF body(kMargin / 2, kMargin / 2, width() - kMargin, height() - kMargin);
    p.setPen(QPen(QColor(20, 20, 20), 2));
    p.setBrush(QColor(60, 60, 64));
    p.drawRoundedRect(body, 8, 8);
    p.setBrush(QColor(45, 45, 48));
    p.drawRect(QRectF(body.right() - 4, body.center().y() - 30, 8, 60));

    const double pitchX = (width() - 2 * kMargin) / kColumns;
    const double pitchY = (height() - 2 * kMargin) / kPinsPerColumn;
    const double radius = std::min(pitchX, pitchY) * 0.28;
    QFont small = font();
    small.setPointSizeF(std::max(6.0, radius * 0.9));
    p.setFont(small);
    for (int pin = 1; pin <= kConnectorPins; ++pin) {
        const QPointF c = PinCentre(pin);
        const bool marked = pin == m_pin;
        p.setPen(QPen(marked ? QColor(255, 40, 40) : QColor(15, 15, 15), marked ? 2.5 : 1));
        p.setBrush(marked ? QColor(255, 220, 0) : QColor(196, 160, 80));
        p.drawEllipse(c, radius, radius);
        // Each column's first and last pin are numbered, as on the housing.
        const int row = (pin - 1) % kPinsPerColumn;
        if (row == 0 || row == kPinsPerColumn - 1 || marked) {
            p.setPen(marked ? QColor(255, 230, 0) : QColor(230, 230, 230));
            p.drawText(QRectF(c.x() + radius + 1, c.y() - pitchY / 2, pitchX / 2 - radius, pitchY),
                       Qt::AlignVCenter | Qt::AlignLeft, QString::number(pin));
        }
    }
}

TFormPinOut::TFormPinOut(TLinkManager& link, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_link(link) {
    setObjectName(QStringLiteral("FormPinOut"));

    m_boardCaption = new QLabel(this);
    m_board = new QComboBox(this);
    m_board->setObjectName(QStringLiteral("ScegliECU"));
    for (const TPinBoard& board : PinBoards())
        m_board->addItem(QString::fromLatin1(board.Name));

    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto* lists = new QHBoxLayout;
    for (int column = 0; column < kColumns; ++column) {
        auto* list = new QListWidget(this);
        list->setObjectName(QStringLiteral("ListBox%1").arg(column * kPinsPerColumn + 1));
        list->setFont(mono);
        list->setMinimumWidth(200);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_lists[column] = list;
        lists->addWidget(list, 0, Qt::AlignTop);
        connect(list, &QListWidget::currentRowChanged, this, [this, column](int row) { OnPinChosen(column, row); });
    }
    m_picture = new TConnectorPicture(this);
    m_picture->setObjectName(QStringLiteral("Image1"));
    lists->addWidget(m_picture, 0, Qt::AlignTop);

    auto* top = new QHBoxLayout;
    top->addWidget(m_boardCaption);
    top->addWidget(m_board);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(lists);

    connect(m_board, &QComboBox::currentIndexChanged, this, &TFormPinOut::FillLists);
    FillLists();
    RetranslateUi();
}

int TFormPinOut::Board() const {
    return m_board->currentIndex();
}

void TFormPinOut::SetBoard(int board) {
    m_board->setCurrentIndex(board);
}

void TFormPinOut::FillLists() {
    const int board = std::max(0, m_board->currentIndex());
    for (int column = 0; column < kColumns; ++column) {
        const QSignalBlocker block(m_lists[column]);
        m_lists[column]->clear();
        m_lists[column]->addItems(PinColumn(board, column));
        // Each list holds its 14 pins without scrolling or blank space.
        const int rows = m_lists[column]->sizeHintForRow(0) * kPinsPerColumn;
        m_lists[column]->setFixedHeight(rows + 2 * m_lists[column]->frameWidth() + 2);
    }
    m_picture->setFixedHeight(m_lists[0]->height());
    m_picture->SetMarkedPin(0);
}

void TFormPinOut::OnPinChosen(int column, int row) {
    if (row < 0)
        return;
    // One pin is chosen at a time, over the four lists.
    for (int other = 0; other < kColumns; ++other)
        if (other != column) {
            const QSignalBlocker block(m_lists[other]);
            m_lists[other]->setCurrentRow(-1);
            m_lists[other]->clearSelection();
        }
    m_picture->SetMarkedPin(column * kPinsPerColumn + row + 1);
}

void TFormPinOut::RetranslateUi() {
    setWindowTitle(tr("ECU pin-out"));
    m_boardCaption->setText(tr("ECU board:"));
    m_board->setAccessibleName(m_boardCaption->text());
    m_picture->setToolTip(tr("Connector, wire side"));
}

void TFormPinOut::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

void TFormPinOut::showEvent(QShowEvent* event) {
    // The board of the connected ECU, when the identification told its family.
    if (m_link.ECUisConnected())
        SetBoard(BoardForFamily(m_link.EcuFamily()));
    QWidget::showEvent(event);
}

} // namespace ambrel::ui
