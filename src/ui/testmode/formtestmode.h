#pragma once
// The test mode window: the installer drives the ECU's outputs by hand and watches its
// inputs. Every switch and lamp shows what the ECU confirmed, never the click: a click
// only sends the request. Hiding or closing the window ends the ECU's test mode (the
// session also ends it when the link is lost or a request fails).

#include "service/testmode.h"

#include <QCheckBox>
#include <QWidget>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace ambrel {
class TDataMap;
class TLinkManager;
} // namespace ambrel

namespace ambrel::ui {

class TDialogService;
class TLedLamp;

// A switch whose check mark is set by the program alone: a click emits clicked() and
// leaves the mark as it was until the ECU's answer sets it.
class TConfirmedSwitch final : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};

class TFormTestMode final : public QWidget {
    Q_OBJECT
public:
    TFormTestMode(TLinkManager& link, TDataMap& config, TDialogService& dialogs, QWidget* parent = nullptr);

    TTestModeSession& Session() { return m_session; }
    void RetranslateUi();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowOutputs();
    void ShowInputs();
    void ShowState();
    void FillChannels();
    void SetFullScale();
    void ShowSliderValue(int output);

    TLinkManager& m_link;
    TDataMap& m_config;
    TDialogService& m_dialogs;
    TTestModeSession m_session;

    QLabel* m_status;
    QGroupBox* m_outputs;
    QGroupBox* m_inputs;
    TConfirmedSwitch* m_solenoid;
    TConfirmedSwitch* m_petrolCut;
    TConfirmedSwitch* m_emulation;
    std::array<QSlider*, 2> m_sliders{};
    std::array<QLabel*, 2> m_sliderCaptions{};
    std::array<QLabel*, 2> m_sliderValues{};
    QLabel* m_ledCaption;
    QComboBox* m_ledPattern;
    QLabel* m_gasCaption;
    std::array<TConfirmedSwitch*, 8> m_gas{};
    QLabel* m_buttonCaption;
    TLedLamp* m_button;
    QLabel* m_rpmCaption;
    TLedLamp* m_rpm;
    QLabel* m_periodCaption;
    QLineEdit* m_period;
    QLabel* m_analogCaption;
    QComboBox* m_channel;
    QLineEdit* m_analog;
    QLabel* m_petrolCaption;
    std::array<TLedLamp*, 8> m_petrol{};
    double m_fullScale = 1.0;
};

} // namespace ambrel::ui
