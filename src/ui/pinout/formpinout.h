#pragma once
// The pin-out window: the function of each of the 56 pins of the connected ECU's
// connector, in four lists of 14, and a picture of the connector, painted from the same
// table, on which the chosen pin is marked. It reads nothing from the ECU: the board is
// pre-selected from the ECU family the identification reported.

#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QListWidget;

namespace ambrel {
class TLinkManager;
} // namespace ambrel

namespace ambrel::ui {

// The connector seen from the wire side: four columns of 14 pins, pin 1 at the top of the
// left column; the marked pin (1 ... 56, 0 for none) is drawn highlighted.
class TConnectorPicture final : public QWidget {
    Q_OBJECT
public:
    explicit TConnectorPicture(QWidget* parent = nullptr);
    void SetMarkedPin(int pin);
    int MarkedPin() const { return m_pin; }
    // The centre of a pin in the picture (for tests and the marker).
    QPointF PinCentre(int pin) const;
    QSize sizeHint() const override { return {150, 280}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_pin = 0;
};

class TFormPinOut final : public QWidget {
    Q_OBJECT
public:
    TFormPinOut(TLinkManager& link, QWidget* parent = nullptr);

    int Board() const;
    void SetBoard(int board);
    TConnectorPicture& Picture() { return *m_picture; }
    void RetranslateUi();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FillLists();
    void OnPinChosen(int column, int row);

    TLinkManager& m_link;
    QLabel* m_boardCaption;
    QComboBox* m_board;
    std::array<QListWidget*, 4> m_lists{};
    TConnectorPicture* m_picture;
};

} // namespace ambrel::ui
