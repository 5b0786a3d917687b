// The diagnostics and supported-codes windows, driven by the object names of their
// controls: against the simulated ECU, and against the in-memory port where the test
// plays the ECU.

#include "app/workbench.h"
#include "link/commands.h"
#include "support/bytes.h"
#include "support/qtprinters.h"
#include "support/scripteddialogs.h"
#include "ui/diagnostics/formdiagnostics.h"
#include "uitest.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace ambrel;
using namespace ambrel::test;

namespace {

QStringList Lines(QWidget& window, const char* list) {
    auto* box = window.findChild<QListWidget*>(QLatin1String(list));
    QStringList lines;
    if (box)
        for (int i = 0; i < box->count(); ++i)
            lines << box->item(i)->text();
    return lines;
}

void Click(QWidget& window, const char* button) {
    auto* b = window.findChild<QPushButton*>(QLatin1String(button));
    ASSERT_NE(b, nullptr) << button;
    b->click();
}

void SelectPage(QWidget& window, int page) {
    window.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(page);
}

// A language in which the diagnostics window's texts read in capitals.
class TCapitalsTranslator final : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        // The window's own texts ("ambrel::ui::TFormDiagnostics") and the code tables'.
        return QLatin1String(context).endsWith(QLatin1String("TFormDiagnostics")) ? QString::fromUtf8(source).toUpper()
                                                                                 : QString();
    }
};

class DiagnosticsDemo : public DemoFixture {
protected:
    void SetUp() override { StartDemo(true); }
    ui::TCheckEngineLamp& Lamp() {
        return *workbench->Main().findChild<ui::TCheckEngineLamp*>(QStringLiteral("CheckEngine"));
    }
};

} // namespace

TEST_F(DiagnosticsDemo, ListsTheEcusCodesAndTheLampFlashesUntilTheyAreCleared) {
    QWidget& window = *workbench->Window(ui::TWindowId::Diagnostics);
    ASSERT_NE(workbench->Main().findChild<ui::TCheckEngineLamp*>(QStringLiteral("CheckEngine")), nullptr);
    workbench->Action(ui::TActionId::DiagnosticsDTC1)->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Diagnostic Trouble Codes");

    // The plain code list comes first, then the codes with their status.
    ASSERT_TRUE(WaitFor([&] { return Lines(window, "DTCListBox").value(0).startsWith("Present"); }));
    const QStringList codes = Lines(window, "DTCListBox");
    ASSERT_EQ(codes.size(), 2);
    EXPECT_EQ(codes[0], "Present P3391: Sensor power circuit range/performance");
    EXPECT_TRUE(codes[1].startsWith("Stored U300A: Link wire between injector 6")) << qPrintable(codes[1]);
    EXPECT_TRUE(Lamp().Flashing());

    // Declined: nothing is cleared.
    dialogs.Answers.enqueue(QMessageBox::No);
    Click(window, "ButtonClear");
    EXPECT_EQ(dialogs.Asked.last(), "Clearing trouble codes.\nDo you want to proceed ?");
    EXPECT_TRUE(Lamp().Flashing());

    dialogs.Answers.enqueue(QMessageBox::Yes);
    Click(window, "ButtonClear");
    EXPECT_FALSE(Lamp().Flashing()); // at once, before the ECU answers
    ASSERT_TRUE(WaitFor([&] { return workbench->Simulator()->Ecu().TroubleCodes().isEmpty(); }));
    ASSERT_TRUE(WaitFor([&] { return Lines(window, "DTCListBox") == QStringList{"No trouble code."}; }));
    EXPECT_FALSE(Lamp().Flashing());
}

TEST_F(DiagnosticsDemo, ReadsAndWritesTheVinAndShowsTheFreezeFrame) {
    QWidget& window = *workbench->Window(ui::TWindowId::Diagnostics);
    window.show();
    SelectPage(window, ui::TFormDiagnostics::PageVin);
    auto* vin = window.findChild<QLineEdit*>(QStringLiteral("EditVIN"));
    ASSERT_TRUE(WaitFor([&] { return vin->text() == "ZFA19800004512376"; }));

    vin->setText("WVWZZZ1JZXW000001");
    Click(window, "ButtonWrite");
    ASSERT_TRUE(WaitFor([&] { return workbench->Simulator()->Ecu().Vin() == "WVWZZZ1JZXW000001"; }));
    vin->setText("SHORT");
    Click(window, "ButtonWrite"); // not 17 characters: not sent
    Click(window, "ButtonRead");
    ASSERT_TRUE(WaitFor([&] { return vin->text() == "WVWZZZ1JZXW000001"; }));

    SelectPage(window, ui::TFormDiagnostics::PageFreezeFrame);
    ASSERT_TRUE(WaitFor([&] { return !Lines(window, "FreezeFrameListBox").isEmpty(); }));
    EXPECT_TRUE(Lines(window, "FreezeFrameListBox").first().startsWith("Error code: P3391")
                || Lines(window, "FreezeFrameListBox").first() == "No freeze-frame data stored.");
}

// The COM list with the in-memory port: the link's own messages and the ECU's log share it,
// and a saved list is one line per entry.
TEST_F(FakeWorkbench, ComListTakesTheLinksMessagesAndTheEcusLogAndIsSavedLineByLine) {
    QWidget& window = *workbench->Window(ui::TWindowId::Diagnostics);
    EXPECT_EQ(Lines(window, "COMListBox"), QStringList{"No error."});

    emit workbench->Link().ComEvent(TComMessage{TComEvent::Incomplete, cmdReadDTCStatus, {}});
    const QStringList linkLine = Lines(window, "COMListBox");
    ASSERT_EQ(linkLine.size(), 1); // the placeholder gave way
    EXPECT_EQ(linkLine[0], "Incoming frame incomplete, command 0x0015");

    workbench->Link().CheckConnection();
    AnswerNext();
    ASSERT_TRUE(workbench->Link().ECUisConnected());
    workbench->Link().FlushLink(); // the connecting sequence is not this test's
    SelectPage(window, ui::TFormDiagnostics::PageCom);
    Click(window, "ButtonUpdate");
    AnswerNext(Bytes({0x03, 0x00, 0x34, 0x12}));
    QCoreApplication::sendPostedEvents();
    const QStringList expected = {"Incoming frame incomplete, command 0x0015", "0003: ECU COM framing error",
                                  "1234: Unknown COM error"};
    EXPECT_EQ(Lines(window, "COMListBox"), expected);

    QTemporaryDir dir;
    const QString path = dir.filePath("com.txt");
    dialogs.FileNames.enqueue(path);
    Click(window, "ButtonSave");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected.join("\r\n").toUtf8() + "\r\n");
}

TEST_F(FakeWorkbench, SupportedCodesListsEveryKnownCodeSorted) {
    workbench->Action(ui::TActionId::HelpDTC1)->trigger();
    QWidget& window = *workbench->Window(ui::TWindowId::SupportedDtc);
    EXPECT_EQ(window.windowTitle(), "Supported error codes");
    auto* grid = window.findChild<QTableWidget*>(QStringLiteral("GridDTC"));
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(grid->rowCount(), 51);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "DTC");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Description");
    for (int row = 1; row < grid->rowCount(); ++row)
        EXPECT_LT(grid->item(row - 1, 0)->text(), grid->item(row, 0)->text());
    EXPECT_EQ(grid->item(0, 0)->text(), "C2000");
    EXPECT_EQ(grid->item(0, 1)->text(), "Switch button - Short to GND");
}

TEST_F(FakeWorkbench, DiagnosticsWindowFollowsTheLanguageWithItsListsWordedAgain) {
    QWidget& window = *workbench->Window(ui::TWindowId::Diagnostics);
    emit workbench->Link().ComEvent(TComMessage{TComEvent::Nack, cmdVIN, {}});
    const QString linkLine = Lines(window, "COMListBox").value(0);
    TCapitalsTranslator capitals;
    QCoreApplication::installTranslator(&capitals);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.windowTitle(), "DIAGNOSTIC TROUBLE CODES");
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    EXPECT_EQ(pages->tabText(ui::TFormDiagnostics::PageFreezeFrame), "FREEZE FRAME");
    EXPECT_EQ(Lines(window, "DTCListBox"), QStringList{"NO TROUBLE CODE."});
    EXPECT_EQ(Lines(window, "COMListBox"), QStringList{linkLine}); // worded by the link texts' own context
    QCoreApplication::removeTranslator(&capitals);
    QCoreApplication::processEvents();
    EXPECT_EQ(Lines(window, "DTCListBox"), QStringList{"No trouble code."});
}
