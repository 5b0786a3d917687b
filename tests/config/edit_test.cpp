// The edit pipeline: one user edit from the range check to the blocks written, the undo
// point, the configuration date, the unsaved mark and the refresh of every view.

#include "config/datamap.h"
#include "support/qtprinters.h"

#include "link/commands.h"
#include "link/framecodec.h"

#include <gtest/gtest.h>

using namespace ambrel;

namespace {

struct TWriteRecorder final : TRequestSink {
    bool SendCommand(const QByteArray& payload, TConsumerInterface*, quint8) override {
        Payloads << payload;
        return true;
    }
    bool ECUisConnected() const override { return true; }
    quint16 HeadCode() override { return 0; }
    // "w2", "w8/2": the blocks written, in order.
    QStringList Writes() const {
        QStringList writes;
        for (const QByteArray& p : Payloads) {
            if (PayloadCode(p) != cmdWriteBlock)
                continue;
            const int block = static_cast<quint8>(p.at(2));
            writes << QStringLiteral("w%1").arg(block) +
                          (IsBankedBlock(block) ? QStringLiteral("/%1").arg(static_cast<quint8>(p.at(3))) : QString());
        }
        return writes;
    }
    QList<QByteArray> Payloads;
};

// A window whose controls hold values of their own until ReadFromGUI takes them in.
struct TControlsView final : TConfigView {
    TConfigPage VisiblePage() const override { return Page; }
    void ReadFromGUI(TDataMap& m) override {
        if (SwitchTemperature)
            m.SwitchTemperature = *SwitchTemperature;
        if (Buzzer)
            m.Buzzer = *Buzzer;
    }
    void RefreshGUI(const TDataMap&) override { ++Refreshes; }
    void ShowWarning(const QString& text) override { Warnings << text; }
    TConfigPage Page = TConfigPage::None;
    std::optional<int> SwitchTemperature;
    std::optional<bool> Buzzer;
    int Refreshes = 0;
    QStringList Warnings;
};

// What the ECU would hold after the write: the parameters decoded from the written block.
TConfiguration EcuAfter(const QByteArray& writePayload) {
    TDataMap ecu;
    const QByteArray reply = MakePayload(ReplyCodeFor(cmdReadBlock), writePayload.mid(2));
    ecu.RawData().ParseBlock(TFrame{BuildFrame(reply), nullptr, 0, 0});
    ecu.DecodeParameters(ecu.RawData().Record);
    return static_cast<const TConfiguration&>(ecu);
}

class EditPipeline : public ::testing::Test {
protected:
    void SetUp() override {
        map.SetRequestSink(&sink);
        map.SetView(&view);
        map.SetClock([] { return QDate(2024, 3, 15); });
        map.ConfigDate = QStringLiteral("010101");
        map.SetSaved(true);
        QObject::connect(&map, &TDataMap::ConfigurationRefreshed, [this] { ++refreshed; });
    }
    TMemorySettingsStore settings;
    TDataMap map{settings};
    TWriteRecorder sink;
    TControlsView view;
    int refreshed = 0;
};

} // namespace

TEST_F(EditPipeline, WritesTheBlocksTheEditTouchesAndMarksTheConfigurationUnsaved) {
    struct Case {
        const char* what;
        TConfigPage page;
        QList<int> blocks;
        int bank;
        QStringList writes;
    };
    const Case cases[] = {
        {"a control of the Functions page", TConfigPage::Functions, {}, 1, {"w2"}},
        {"a control of the Sensors page", TConfigPage::Sensors, {}, 1, {"w1"}},
        {"special settings, adaptivity", TConfigPage::SpecialAdaptivity, {}, 1, {"w2", "w9", "w5"}},
        {"a map page writes through its map type, not the page", TConfigPage::PetrolMap, {}, 1, {}},
        {"the buzzer, whatever page is in front", TConfigPage::Sensors, {2}, 1, {"w2"}},
        {"a banked block in the current bank", TConfigPage::General, {8}, 2, {"w8/2"}},
    };
    for (const Case& c : cases) {
        sink.Payloads.clear();
        map.SetSaved(true);
        view.Page = c.page;
        map.Banks = c.bank; // a second bank exists only on an engine with two
        map.CurrentBank = c.bank;
        const int before = refreshed;
        TEdit edit;
        edit.Blocks = c.blocks;
        EXPECT_EQ(map.ApplyEdit(edit), TEditOutcome::Applied) << c.what;
        EXPECT_EQ(sink.Writes(), c.writes) << c.what;
        EXPECT_FALSE(map.Saved()) << c.what;
        EXPECT_TRUE(map.WindowTitle().endsWith(" *")) << c.what;
        EXPECT_GT(refreshed, before) << c.what;
    }
}

TEST_F(EditPipeline, TheChangeReachesTheEcuEvenWhenAControlStillShowsTheOldValue) {
    view.Page = TConfigPage::Sensors;
    view.Buzzer = false; // the window's own copy, not yet refreshed
    map.Buzzer = false;
    TEdit edit;
    edit.Change = [](TDataMap& m) { m.Buzzer = true; };
    edit.Blocks = {2};
    map.ApplyEdit(edit);
    ASSERT_EQ(sink.Writes(), QStringList{"w2"});
    EXPECT_TRUE(EcuAfter(sink.Payloads.last()).Buzzer);
    EXPECT_TRUE(map.Buzzer);
}

TEST_F(EditPipeline, UndoPointHoldsTheValueFromBeforeTheEdit) {
    view.Page = TConfigPage::Functions;
    map.SwitchTemperature = 30;
    view.SwitchTemperature = 55; // typed into the control
    map.ApplyEdit({});
    EXPECT_EQ(map.SwitchTemperature, 55);
    EXPECT_EQ(EcuAfter(sink.Payloads.last()).SwitchTemperature, 55);
    view.SwitchTemperature.reset();
    ASSERT_TRUE(map.Undo());
    EXPECT_EQ(map.SwitchTemperature, 30);
}

TEST_F(EditPipeline, WizardEditsKeepTheUndoPointTakenWhenItStarted) {
    map.Buzzer = false;
    map.SaveUndoPoint(); // the wizard starts
    TEdit edit;
    edit.Change = [](TDataMap& m) { m.Buzzer = true; };
    edit.Blocks = {2};
    edit.UndoPoint = false;
    map.ApplyEdit(edit);
    edit.Change = [](TDataMap& m) { m.SwitchTemperature = 71; };
    map.ApplyEdit(edit);
    ASSERT_TRUE(map.Undo()); // the wizard is cancelled
    EXPECT_FALSE(map.Buzzer);
    EXPECT_NE(map.SwitchTemperature, 71);
}

TEST_F(EditPipeline, DateBecomesTodayUnlessTheEcuWasNeverConfigured) {
    const struct {
        const char* before;
        const char* after;
    } cases[] = {{"010101", "150324"}, {"311299", "150324"}, {"000000", "000000"}};
    for (const auto& c : cases) {
        map.ConfigDate = QString::fromLatin1(c.before);
        TEdit edit;
        edit.Blocks = {1};
        map.ApplyEdit(edit);
        EXPECT_EQ(map.ConfigDate, QString::fromLatin1(c.after)) << c.before;
        EXPECT_EQ(EcuAfter(sink.Payloads.last()).ConfigDate, QString::fromLatin1(c.after)) << c.before;
    }
}

TEST_F(EditPipeline, RangeCheckRefusesOutsideTheBoundsOnlyWhileItIsOn) {
    struct Case {
        bool checkRange;
        double value;
        TEditOutcome outcome;
    };
    const Case cases[] = {
        {true, 4001, TEditOutcome::OutOfRange}, {true, 499, TEditOutcome::OutOfRange},
        {true, 4000, TEditOutcome::Applied},    {true, 500, TEditOutcome::Applied},
        {false, 9000, TEditOutcome::Applied},
    };
    for (const Case& c : cases) {
        map.SetEnableCheckRanges(c.checkRange);
        map.SwitchRPM = 1800;
        map.SetSaved(true);
        sink.Payloads.clear();
        view.Warnings.clear();
        TEdit edit;
        edit.Range = TEditRange{c.value, 500, 4000};
        edit.Change = [v = c.value](TDataMap& m) { m.SwitchRPM = static_cast<int>(v); };
        edit.Blocks = {2};
        const bool undoBefore = map.UndoAvailable();
        const int refreshesBefore = view.Refreshes;
        EXPECT_EQ(map.ApplyEdit(edit), c.outcome) << c.value;
        if (c.outcome == TEditOutcome::OutOfRange) {
            EXPECT_EQ(view.Warnings, QStringList{"Parameter out of range."}) << c.value;
            EXPECT_TRUE(sink.Payloads.isEmpty()) << c.value;
            EXPECT_EQ(map.SwitchRPM, 1800) << c.value;
            EXPECT_TRUE(map.Saved()) << c.value;
            EXPECT_EQ(map.UndoAvailable(), undoBefore) << c.value;
            EXPECT_GT(view.Refreshes, refreshesBefore) << c.value; // the control shows 1800 again
        } else {
            EXPECT_TRUE(view.Warnings.isEmpty()) << c.value;
            EXPECT_EQ(sink.Writes(), QStringList{"w2"}) << c.value;
            EXPECT_EQ(map.SwitchRPM, static_cast<int>(c.value)) << c.value;
        }
    }
}
