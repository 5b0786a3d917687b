#include "formtestmode.h"

#include "config/datamap.h"
#include "link/linkmanager.h"
#include "ui/main/dialogservice.h"
#include "ui/widgets/ledlamp.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace ambrel::ui {

namespace {
QString Number(double value) {
    return QString::number(value, 'f', 2);
}
} // namespace

TFormTestMode::TFormTestMode(TLinkManager& link, TDataMap& config, TDialogService& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), m_link(link),
      m_config(config), m_dialogs(dialogs), m_session(link) {
    setObjectName(QStringLiteral("FormTestMode"));
    setWindowModality(Qt::ApplicationModal);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusIndicator"));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setFrameShape(QFrame::Panel);
    m_status->setFrameShadow(QFrame::Sunken);
    m_status->setMinimumHeight(28);

    m_outputs = new QGroupBox(this);
    auto* out = new QGridLayout(m_outputs);
    auto makeSwitch = [this](const char* name) {
        auto* s = new TConfirmedSwitch(m_outputs);
        s->setObjectName(QLatin1String(name));
        return s;
    };
    m_solenoid = makeSwitch("SwitchEV");
    m_petrolCut = makeSwitch("SwitchStaccaIniettori");
    m_emulation = makeSwitch("SwitchEmulazione");
    out->addWidget(m_solenoid, 0, 0, 1, 3);
    out->addWidget(m_petrolCut, 1, 0, 1, 3);
    out->addWidget(m_emulation, 2, 0, 1, 3);
    for (int i = 0; i < 2; ++i) {
        m_sliderCaptions[i] = new QLabel(m_outputs);
        m_sliders[i] = new QSlider(Qt::Horizontal, m_outputs);
        m_sliders[i]->setObjectName(QStringLiteral("SliderEmulated%1").arg(i + 1));
        m_sliderValues[i] = new QLabel(m_outputs);
        m_sliderValues[i]->setMinimumWidth(48);
        out->addWidget(m_sliderCaptions[i], 3 + i, 0);
        out->addWidget(m_sliders[i], 3 + i, 1);
        out->addWidget(m_sliderValues[i], 3 + i, 2);
        connect(m_sliders[i], &QSlider::valueChanged, this, [this, i] { ShowSliderValue(i); });
        // The voltage is sent once the knob is let go (or moved by keyboard), not on every pixel.
        connect(m_sliders[i], &QSlider::sliderReleased, this,
                [this, i] { m_session.SetLambdaVoltage(i, m_sliders[i]->value() / 10.0); });
        connect(m_sliders[i], &QSlider::actionTriggered, this, [this, i](int action) {
            if (action != QAbstractSlider::SliderMove)
                QTimer::singleShot(0, this, [this, i] { m_session.SetLambdaVoltage(i, m_sliders[i]->value() / 10.0); });
        });
    }
    m_ledCaption = new QLabel(m_outputs);
    m_ledPattern = new QComboBox(m_outputs);
    m_ledPattern->setObjectName(QStringLiteral("ComboBoxSwitchLed"));
    out->addWidget(m_ledCaption, 5, 0);
    out->addWidget(m_ledPattern, 5, 1, 1, 2);
    connect(m_ledPattern, &QComboBox::activated, this, [this](int index) { m_session.SetLedPattern(index); });
    m_gasCaption = new QLabel(m_outputs);
    out->addWidget(m_gasCaption, 6, 0, 1, 3);
    auto* gasRow = new QHBoxLayout;
    for (int i = 0; i < 8; ++i) {
        m_gas[i] = makeSwitch("");
        m_gas[i]->setObjectName(QStringLiteral("SwitchGas%1").arg(i + 1));
        m_gas[i]->setText(QString(QChar('A' + i)));
        gasRow->addWidget(m_gas[i]);
        connect(m_gas[i], &QCheckBox::clicked, this,
                [this, i] { m_session.SetGasInjector(i, !(m_session.Outputs().GasInjectors & (1u << i))); });
    }
    out->addLayout(gasRow, 7, 0, 1, 3);
    connect(m_solenoid, &QCheckBox::clicked, this, [this] { m_session.SetSolenoid(!m_session.Outputs().Solenoid); });
    connect(m_petrolCut, &QCheckBox::clicked, this,
            [this] { m_session.SetPetrolCut(!m_session.Outputs().PetrolCut); });
    connect(m_emulation, &QCheckBox::clicked, this,
            [this] { m_session.SetEmulation(!m_session.Outputs().Emulation); });

    m_inputs = new QGroupBox(this);
    auto* in = new QGridLayout(m_inputs);
    auto makeLamp = [this](const QString& name) {
        auto* lamp = new TLedLamp(m_inputs, QColor(0, 255, 0), QColor(0, 70, 0));
        lamp->setObjectName(name);
        return lamp;
    };
    auto makeNumber = [this](const char* name) {
        auto* edit = new QLineEdit(m_inputs);
        edit->setObjectName(QLatin1String(name));
        edit->setReadOnly(true);
        edit->setAlignment(Qt::AlignRight);
        edit->setMaximumWidth(80);
        return edit;
    };
    m_buttonCaption = new QLabel(m_inputs);
    m_button = makeLamp(QStringLiteral("LedSwitchButton"));
    in->addWidget(m_buttonCaption, 0, 0);
    in->addWidget(m_button, 0, 1);
    m_rpmCaption = new QLabel(m_inputs);
    m_rpm = makeLamp(QStringLiteral("LedRPMStatus"));
    m_periodCaption = new QLabel(m_inputs);
    m_period = makeNumber("EditRPMPeriod");
    in->addWidget(m_rpmCaption, 1, 0);
    in->addWidget(m_rpm, 1, 1);
    in->addWidget(m_periodCaption, 1, 2);
    in->addWidget(m_period, 1, 3);
    m_analogCaption = new QLabel(m_inputs);
    m_channel = new QComboBox(m_inputs);
    m_channel->setObjectName(QStringLiteral("ComboBoxChn"));
    m_analog = makeNumber("EditAnalogChannel");
    in->addWidget(m_analogCaption, 2, 0);
    in->addWidget(m_channel, 2, 1, 1, 2);
    in->addWidget(m_analog, 2, 3);
    connect(m_channel, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_session.SetAnalogChannel(index + kFirstAnalogChannel); });
    m_petrolCaption = new QLabel(m_inputs);
    in->addWidget(m_petrolCaption, 3, 0);
    auto* petrolRow = new QHBoxLayout;
    for (int i = 0; i < 8; ++i) {
        m_petrol[i] = makeLamp(QStringLiteral("LedBenzina%1").arg(i + 1));
        petrolRow->addWidget(new QLabel(QString::number(i + 1), m_inputs));
        petrolRow->addWidget(m_petrol[i]);
    }
    petrolRow->addStretch();
    in->addLayout(petrolRow, 4, 0, 1, 4);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_outputs);
    layout->addWidget(m_inputs);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(&m_session, &TTestModeSession::StateChanged, this, &TFormTestMode::ShowState);
    connect(&m_session, &TTestModeSession::OutputsChanged, this, &TFormTestMode::ShowOutputs);
    connect(&m_session, &TTestModeSession::InputsChanged, this, &TFormTestMode::ShowInputs);

    RetranslateUi();
    SetFullScale();
    ShowState();
    ShowOutputs();
    ShowInputs();
}

void TFormTestMode::RetranslateUi() {
    setWindowTitle(tr("ECU test mode"));
    m_outputs->setTitle(tr(" Outputs "));
    m_inputs->setTitle(tr(" Inputs "));
    m_solenoid->setText(tr("Gas solenoid"));
    m_petrolCut->setText(tr("Petrol injectors cut"));
    m_emulation->setText(tr("Emulation relay"));
    m_sliderCaptions[0]->setText(tr("Emulated lambda 1 voltage"));
    m_sliderCaptions[1]->setText(tr("Emulated lambda 2 voltage"));
    m_ledCaption->setText(tr("Test switch:"));
    const int pattern = m_ledPattern->currentIndex();
    m_ledPattern->clear();
    for (const QString& name : LedPatternNames())
        m_ledPattern->addItem(name);
    m_ledPattern->setCurrentIndex(pattern < 0 ? 0 : pattern);
    m_gasCaption->setText(tr("Gas injectors"));
    m_buttonCaption->setText(tr("Switch pressed"));
    m_rpmCaption->setText(tr("RPM signal active"));
    m_periodCaption->setText(tr("Period [ms]"));
    m_analogCaption->setText(tr("Analog input [V] ....."));
    m_petrolCaption->setText(tr("Petrol injectors"));
    // Controls without a caption of their own are named by the caption beside them.
    for (int i = 0; i < 2; ++i)
        m_sliders[i]->setAccessibleName(m_sliderCaptions[i]->text());
    m_ledPattern->setAccessibleName(m_ledCaption->text());
    m_period->setAccessibleName(m_periodCaption->text());
    m_channel->setAccessibleName(m_analogCaption->text());
    m_analog->setAccessibleName(m_analogCaption->text());
    FillChannels();
    ShowState();
}

void TFormTestMode::FillChannels() {
    const QSignalBlocker block(m_channel);
    const int selected = m_channel->currentIndex();
    m_channel->clear();
    for (int channel = kFirstAnalogChannel; channel <= kLastAnalogChannel; ++channel)
        m_channel->addItem(QString::number(channel) + QStringLiteral(": ") +
                           AnalogChannelName(m_link.EcuFamily(), channel));
    m_channel->setCurrentIndex(selected < 0 ? 0 : selected);
}

void TFormTestMode::SetFullScale() {
    m_fullScale = EmulatedLambdaFullScale(m_config.LambdaType);
    m_session.SetLambdaProbeType(m_config.LambdaType);
    for (int i = 0; i < 2; ++i) {
        const QSignalBlocker block(m_sliders[i]);
        m_sliders[i]->setRange(0, static_cast<int>(std::lround(m_fullScale * 10)));
        ShowSliderValue(i);
    }
}

void TFormTestMode::ShowSliderValue(int output) {
    m_sliderValues[output]->setText(QString::number(m_sliders[output]->value() / 10.0, 'f', 1) + QStringLiteral(" V"));
}

void TFormTestMode::ShowState() {
    const bool on = m_session.Active();
    m_status->setText(on ? tr("Test mode on") : tr("Test mode off"));
    m_status->setStyleSheet(on ? QStringLiteral("QLabel { background: #30c030; color: black; font-weight: bold; }")
                               : QStringLiteral("QLabel { background: #404040; color: #d0d0d0; font-weight: bold; }"));
    // Nothing can be driven unless the ECU confirmed test mode.
    m_outputs->setEnabled(on);
    m_inputs->setEnabled(on);
    ShowOutputs();
    ShowInputs();
}

void TFormTestMode::ShowOutputs() {
    // Outside test mode the ECU drives its outputs itself: the switches claim nothing.
    const TTestOutputs o = m_session.Active() ? m_session.Outputs() : TTestOutputs{};
    m_solenoid->setChecked(o.Solenoid);
    m_petrolCut->setChecked(o.PetrolCut);
    m_emulation->setChecked(o.Emulation);
    for (int i = 0; i < 8; ++i)
        m_gas[i]->setChecked(o.GasInjectors & (1u << i));
}

void TFormTestMode::ShowInputs() {
    const TTestInputs in = m_session.Active() ? m_session.Inputs() : TTestInputs{};
    for (int i = 0; i < 8; ++i)
        m_petrol[i]->SetLit(in.PetrolInjectors & (1u << i));
    m_button->SetLit(in.ButtonPressed);
    m_rpm->SetLit(in.RpmPresent);
    m_period->setText(Number(in.RpmPeriodMs));
    m_analog->setText(Number(in.AnalogVolts));
}

void TFormTestMode::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        RetranslateUi();
    QWidget::changeEvent(event);
}

void TFormTestMode::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FillChannels();
    m_channel->setCurrentIndex(0);
    m_session.SetAnalogChannel(kFirstAnalogChannel);
    SetFullScale();
    if (!m_session.Open()) {
        m_dialogs.Error(this, tr("Test mode cannot start while another tool holds the line."));
        QTimer::singleShot(0, this, &QWidget::hide);
        return;
    }
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            m_dialogs.Warning(this, tr("This feature is intended for lab tests only, use it at your own risk."),
                              QMessageBox::Ok);
    });
}

void TFormTestMode::hideEvent(QHideEvent* event) {
    // However the window goes (closed, hidden by the program, the program quitting), the
    // ECU leaves test mode and the line goes back to the link's polling.
    m_session.Close();
    QWidget::hideEvent(event);
}

void TFormTestMode::closeEvent(QCloseEvent* event) {
    // Only the user closing the shown window is asked; the program closing its hidden
    // windows at shutdown is not.
    if (isVisible() && m_dialogs.Question(this, tr("Do you really want to exit ?"), QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes) {
        event->ignore();
        return;
    }
    m_session.Close();
    event->accept();
}

} // namespace ambrel::ui
