#include "ledlamp.h"

#include <QPainter>
#include <QRadialGradient>

namespace ambrel::ui {

TLedLamp::TLedLamp(QWidget* parent, QColor lit, QColor unlit)
    : QWidget(parent), m_litColour(lit), m_unlitColour(unlit) {
    setMinimumSize(12, 12);
    m_off.setSingleShot(true);
    connect(&m_off, &QTimer::timeout, this, [this] { SetLit(false); });
}

void TLedLamp::SetLit(bool lit) {
    if (m_lit == lit)
        return;
    m_lit = lit;
    update();
}

void TLedLamp::Flash(int milliseconds) {
    SetLit(true);
    m_off.start(milliseconds);
}

void TLedLamp::SetColours(QColor lit, QColor unlit) {
    m_litColour = lit;
    m_unlitColour = unlit;
    update();
}

void TLedLamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int d = std::min(width(), height()) - 2;
    const QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    const QColor base = m_lit ? m_litColour : m_unlitColour;
    QRadialGradient glow(r.center() - QPointF(d / 5.0, d / 5.0), d / 1.5);
    glow.setColorAt(0, base.lighter(m_lit ? 160 : 120));
    glow.setColorAt(1, base);
    painter.setBrush(glow);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.drawEllipse(r);
}

} // namespace ambrel::ui
