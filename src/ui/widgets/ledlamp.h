#pragma once
// A round LED lamp: lit and unlit colours, and a short flash for activity lights.

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace ambrel::ui {

class TLedLamp final : public QWidget {
    Q_OBJECT
public:
    explicit TLedLamp(QWidget* parent = nullptr, QColor lit = QColor(0, 255, 0), QColor unlit = QColor(0, 64, 0));

    void SetLit(bool lit);
    bool Lit() const { return m_lit; }
    // Lights the lamp for a moment (activity).
    void Flash(int milliseconds = 60);
    void SetColours(QColor lit, QColor unlit);
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_litColour;
    QColor m_unlitColour;
    bool m_lit = false;
    QTimer m_off;
};

} // namespace ambrel::ui
