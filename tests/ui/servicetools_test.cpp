// The service windows as the user meets them: test mode (switches that follow the ECU's
// answers only, and an ECU taken out of test mode when the window goes or the cable is
// pulled), the memory watch (one row read every 200 ms with the link's other polling
// stopped, and writes that are refused with a reason) and the pin-out reference.

#include "link/framecodec.h"
#include "ui/memory/formmemory.h"
#include "ui/pinout/formpinout.h"
#include "ui/testmode/formtestmode.h"
#include "uitest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QSlider>
#include <gtest/gtest.h>

using namespace ambrel;
using namespace ambrel::test;
using ui::TActionId;
using ui::TWindowId;

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// The window over the in-memory port: every request and answer by hand.
class TestModeByHand : public FakeWorkbench {
protected:
    void SetUp() override {
        FakeWorkbench::SetUp();
        workbench->Link().CheckConnection();
        AnswerNext();
        ASSERT_TRUE(workbench->Link().ECUisConnected());
        workbench->Link().FlushLink();
        form = &workbench->Window<ui::TFormTestMode>(TWindowId::TestMode);
    }
    // Ticks until the next request goes out, checks it and answers it with `reply`.
    void Expect(const QByteArray& request, const QByteArray& reply) {
        const auto before = port.Written.size();
        for (int i = 0; i < 100 && port.Written.size() == before; ++i)
            workbench->Link().Tick();
        ASSERT_GT(port.Written.size(), before) << "nothing sent, expected " << request.toHex(' ').toStdString();
        const QByteArray frame = port.Frames().last();
        const QByteArray sent = MakePayload(FrameCode(frame), FrameData(frame));
        ASSERT_EQ(sent.toHex(' '), request.toHex(' '));
        port.FeedPayload(MakePayload(ReplyCodeFor(PayloadCode(sent)), reply));
        workbench->Link().DeliverPendingReplies();
    }
    void Enter() {
        workbench->Action(TActionId::DiagnosticsTestMode1)->trigger();
        ASSERT_TRUE(form->isVisible());
        Expect(Bytes({0x18, 0x00, 0x01}), Bytes({0x01}));
        ASSERT_EQ(Status(), "Test mode on");
    }
    QString Status() { return form->findChild<QLabel*>("StatusIndicator")->text(); }
    QCheckBox* Switch(const char* name) { return form->findChild<QCheckBox*>(name); }
    ui::TFormTestMode* form = nullptr;
};

} // namespace

TEST_F(TestModeByHand, SwitchesShowWhatTheEcuAnsweredNeverTheClick) {
    workbench->Action(TActionId::DiagnosticsTestMode1)->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.Asked.contains("This feature is intended for lab tests only, use it at your own risk."));
    // Until the ECU confirms test mode nothing can be driven.
    EXPECT_EQ(Status(), "Test mode off");
    EXPECT_FALSE(form->findChild<QGroupBox*>()->isEnabled());
    Expect(Bytes({0x18, 0x00, 0x01}), Bytes({0x01}));
    EXPECT_EQ(Status(), "Test mode on");

    struct Case {
        const char* name;
        QByteArray request;
        QByteArray refused; // the ECU answers the old state
        QByteArray confirmed;
    };
    const Case cases[] = {
        {"SwitchEV", Bytes({0x19, 0, 1, 1}), Bytes({1, 0}), Bytes({1, 1})},
        // The cut starts with 0 and is reported as 0.
        {"SwitchStaccaIniettori", Bytes({0x19, 0, 4, 0}), Bytes({4, 1}), Bytes({4, 0})},
        {"SwitchEmulazione", Bytes({0x19, 0, 5, 1}), Bytes({5, 0}), Bytes({5, 1})},
        {"SwitchGas3", Bytes({0x19, 0, 2, 2, 1}), Bytes({2, 0}), Bytes({2, 0x04})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QCheckBox* s = Switch(c.name);
        ASSERT_NE(s, nullptr);
        s->click();
        EXPECT_FALSE(s->isChecked()); // the click alone changes nothing
        Expect(c.request, c.refused);
        EXPECT_FALSE(s->isChecked());
        s->click();
        Expect(c.request, c.confirmed);
        EXPECT_TRUE(s->isChecked());
    }
    // Two gas injectors on: a third is not even asked for; switching one off is.
    Switch("SwitchGas1")->click();
    Expect(Bytes({0x19, 0, 2, 0, 1}), Bytes({2, 0x05}));
    ASSERT_TRUE(Switch("SwitchGas1")->isChecked());
    const auto before = port.Written.size();
    Switch("SwitchGas2")->click();
    workbench->Link().Tick();
    workbench->Link().Tick();
    EXPECT_EQ(port.Written.size(), before);
    EXPECT_FALSE(Switch("SwitchGas2")->isChecked());
    Switch("SwitchGas1")->click();
    Expect(Bytes({0x19, 0, 2, 0, 0}), Bytes({2, 0x04}));
    EXPECT_FALSE(Switch("SwitchGas1")->isChecked());
    EXPECT_TRUE(Switch("SwitchGas3")->isChecked());
}

TEST_F(TestModeByHand, ClosingAsksThenLeavesTestModeAndGivesTheLineBack) {
    Enter();
    EXPECT_NE(workbench->Link().ExclusivePoll(), nullptr);
    dialogs.Answers.enqueue(QMessageBox::No);
    form->close();
    EXPECT_EQ(dialogs.Asked.last(), "Do you really want to exit ?");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(Status(), "Test mode on");

    dialogs.Answers.enqueue(QMessageBox::Yes);
    form->close();
    EXPECT_FALSE(form->isVisible());
    Expect(Bytes({0x18, 0x00, 0x02}), Bytes({0x02}));
    EXPECT_EQ(workbench->Link().ExclusivePoll(), nullptr);
    EXPECT_EQ(form->Session().State(), TTestModeSession::TState::Off);
}

TEST_F(TestModeByHand, HidingTheWindowWithoutAskingStillLeavesTestMode) {
    // The program hides its windows when it quits or switches strategy: no question then.
    Enter();
    form->hide();
    Expect(Bytes({0x18, 0x00, 0x02}), Bytes({0x02}));
    EXPECT_EQ(workbench->Link().ExclusivePoll(), nullptr);
}

namespace {

class ServiceWindows : public DemoFixture {
protected:
    void SetUp() override {
        StartDemo(true);
        // Past the connecting sequence's full configuration read.
        ASSERT_TRUE(WaitFor([&] { return Count(cmdReadStatusMin) > 0; }));
    }
    sim::TSimEcu& Ecu() { return workbench->Simulator()->Ecu(); }
    int Count(quint16 code, qint64 sinceMs = 0) {
        int n = 0;
        for (const auto& r : Ecu().Received())
            n += r.Code == code && r.ElapsedMs >= sinceMs ? 1 : 0;
        return n;
    }
    qint64 Now() { return workbench->Simulator()->ElapsedMs(); }
};

} // namespace

TEST_F(ServiceWindows, TestModeAgainstTheSimulatedEcuEndsWithTheWindowAndWithThePulledCable) {
    auto& form = workbench->Window<ui::TFormTestMode>(TWindowId::TestMode);
    auto* status = form.findChild<QLabel*>("StatusIndicator");
    auto* solenoid = form.findChild<QCheckBox*>("SwitchEV");

    workbench->Action(TActionId::DiagnosticsTestMode1)->trigger();
    ASSERT_TRUE(WaitFor([&] { return status->text() == "Test mode on"; }));
    EXPECT_TRUE(Ecu().InTestMode());
    solenoid->click();
    EXPECT_FALSE(solenoid->isChecked());
    ASSERT_TRUE(WaitFor([&] { return solenoid->isChecked(); }));
    // The inputs are read once a second, the analog one on the chosen channel (battery).
    form.findChild<QComboBox*>("ComboBoxChn")->setCurrentIndex(8 - kFirstAnalogChannel);
    auto* analog = form.findChild<QLineEdit*>("EditAnalogChannel");
    ASSERT_TRUE(WaitFor([&] { return analog->text().toDouble() > 10.0; }, 4000)) << analog->text().toStdString();

    dialogs.Answers.enqueue(QMessageBox::Yes);
    form.close();
    ASSERT_TRUE(WaitFor([&] { return !Ecu().InTestMode(); }));
    const qint64 closed = Now();
    EXPECT_TRUE(WaitFor([&] { return Count(cmdReadStatusMin, closed) > 0; }, 3000)) << "polling resumes";

    // Again, and the cable is pulled: the window shows test mode off and nothing driven.
    workbench->Action(TActionId::DiagnosticsTestMode1)->trigger();
    ASSERT_TRUE(WaitFor([&] { return status->text() == "Test mode on"; }));
    solenoid->click();
    ASSERT_TRUE(WaitFor([&] { return solenoid->isChecked(); }));
    workbench->Simulator()->Unplug();
    ASSERT_TRUE(WaitFor([&] { return status->text() == "Test mode off"; }, 8000));
    EXPECT_FALSE(solenoid->isChecked());
    EXPECT_FALSE(solenoid->isEnabled());
    // The ECU did not hear it: the session takes it out as soon as it answers again.
    EXPECT_EQ(form.Session().State(), TTestModeSession::TState::Off);
}

TEST_F(ServiceWindows, MemoryWatchReadsARowEvery200MsWithTheLinksPollingStopped) {
    Ecu().WriteMemoryByte(0x1234, 0xCD);
    Ecu().WriteMemoryByte(0x1235, 0xAB);
    Ecu().WriteMemoryByte(0x2000, 0x5A);
    auto& form = workbench->Window<ui::TFormMemory>(TWindowId::Memory);
    auto* table = form.findChild<QTableWidget*>("TableRead");
    workbench->Action(TActionId::DiagnosticsMemory1)->trigger();
    ASSERT_TRUE(form.isVisible());
    table->setItem(0, 0, new QTableWidgetItem("4660"));
    table->setItem(0, 2, new QTableWidgetItem("2"));
    table->setItem(1, 0, new QTableWidgetItem("0x2000"));
    table->setItem(1, 2, new QTableWidgetItem("1"));
    table->setItem(2, 0, new QTableWidgetItem("0x1234"));
    table->setItem(2, 2, new QTableWidgetItem("2"));
    EXPECT_EQ(table->item(0, 0)->text(), "0x001234");
    EXPECT_EQ(table->rowCount(), 4); // the entry rows and the empty one
    auto value = [&](int row) { return table->item(row, 3) ? table->item(row, 3)->text() : QString(); };
    ASSERT_TRUE(WaitFor([&] { return value(0) == "ABCD" && value(1) == "5A" && value(2) == "ABCD"; }, 5000));

    const qint64 from = Now();
    WaitFor([] { return false; }, 2500);
    QList<qint64> reads;
    for (const auto& r : Ecu().Received())
        if (r.ElapsedMs >= from && r.Code == cmdReadMemory)
            reads << r.ElapsedMs;
    EXPECT_EQ(Count(cmdReadStatusMin, from), 0) << "the link's own polling stands still";
    // Three entry rows and the empty row, one every 200 ms: three reads in every 800 ms.
    ASSERT_GE(reads.size(), 7);
    EXPECT_LE(reads.size(), 11);
    for (qsizetype i = 1; i < reads.size(); ++i) {
        const qint64 gap = reads[i] - reads[i - 1];
        EXPECT_TRUE((gap >= 150 && gap <= 300) || (gap >= 350 && gap <= 500)) << gap;
    }

    form.hide();
    const qint64 hidden = Now();
    ASSERT_TRUE(WaitFor([&] { return Count(cmdReadStatusMin, hidden) > 0; }, 3000)) << "polling resumes";
    const qint64 resumed = Now();
    WaitFor([] { return false; }, 600);
    EXPECT_EQ(Count(cmdReadMemory, resumed), 0);
}

TEST_F(ServiceWindows, MemoryWritesGoToConsecutiveAddressesOrAreRefusedWithTheReason) {
    auto& form = workbench->Window<ui::TFormMemory>(TWindowId::Memory);
    auto* table = form.findChild<QTableWidget*>("TableWrite");
    auto* write = form.findChild<QPushButton*>("ButtonWrite");
    workbench->Action(TActionId::DiagnosticsMemory1)->trigger();
    table->setItem(0, 0, new QTableWidgetItem("256"));
    table->setItem(0, 2, new QTableWidgetItem("1"));
    // The next row offers the next address.
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(1, 0)->text(), "0x000101");
    table->setItem(1, 2, new QTableWidgetItem("2"));
    table->setItem(2, 2, new QTableWidgetItem("300"));

    write->click();
    EXPECT_EQ(dialogs.Asked.last(), "Row 3: \"300\" is not a byte value (0 to 255).");
    EXPECT_EQ(Count(cmdWriteMemory), 0);

    table->item(2, 2)->setText("0x2C");
    write->click();
    ASSERT_TRUE(WaitFor([&] { return Ecu().MemoryByte(258) == 0x2C; }));
    EXPECT_EQ(Ecu().MemoryByte(256), 1);
    EXPECT_EQ(Ecu().MemoryByte(257), 2);
    EXPECT_EQ(Count(cmdWriteMemory), 1);
}

TEST_F(ServiceWindows, PinOutShowsTheConnectedBoardAndMarksTheChosenPin) {
    auto& form = workbench->Window<ui::TFormPinOut>(TWindowId::PinOut);
    form.SetBoard(0);
    workbench->Action(TActionId::HelpPinOut)->trigger();
    // The simulated ECU is a WUX-04: family 0, the second board of the list.
    EXPECT_EQ(form.findChild<QComboBox*>("ScegliECU")->currentText(), "WUX-04 K35F62T9");
    auto* column2 = form.findChild<QListWidget*>("ListBox15");
    ASSERT_EQ(column2->count(), 14);
    EXPECT_EQ(column2->item(0)->text(), "15 : RPM IN");
    EXPECT_EQ(form.findChild<QListWidget*>("ListBox1")->item(0)->text(), " 1 : KEY VOLTAGE IN");

    form.findChild<QListWidget*>("ListBox43")->setCurrentRow(2);
    EXPECT_EQ(form.Picture().MarkedPin(), 45);
    column2->setCurrentRow(0);
    EXPECT_EQ(form.Picture().MarkedPin(), 15);
    EXPECT_EQ(form.findChild<QListWidget*>("ListBox43")->currentRow(), -1);
    // Another board: its functions, nothing marked.
    form.SetBoard(0);
    EXPECT_EQ(column2->item(0)->text(), "15 : BATTERY VOLTAGE");
    EXPECT_EQ(form.Picture().MarkedPin(), 0);
}

// A screen reader names every editing control of the service windows by its caption.
TEST_F(FakeWorkbench, EveryEditingControlOfTheServiceWindowsHasAnAccessibleName) {
    for (const ui::TWindowId id : {ui::TWindowId::TestMode, ui::TWindowId::Memory, ui::TWindowId::Diagnostics,
                                   ui::TWindowId::PinOut}) {
        QWidget* window = workbench->Window(id);
        ASSERT_NE(window, nullptr);
        QList<QWidget*> controls;
        for (QWidget* w : window->findChildren<QWidget*>())
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QSlider*>(w) ||
                qobject_cast<QTableWidget*>(w))
                controls << w;
        for (QWidget* w : controls) {
            if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget()))
                continue; // a combo box's own edit
            EXPECT_FALSE(w->accessibleName().isEmpty()) << window->objectName().toStdString() << " "
                                                         << w->objectName().toStdString();
        }
    }
}
