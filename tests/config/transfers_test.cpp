// Block transfers of the configuration model: the order and flags of the requests, the
// progress and messages the user sees, the page tables, time-outs, undo and the title.

#include "config/datamap.h"
#include "support/qtprinters.h"

#include "link/commands.h"
#include "link/framecodec.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace ambrel;
using T = TMapTypeOfData;

namespace {

struct TRecordingSink final : TRequestSink {
    struct TRequest {
        QByteArray Payload;
        TConsumerInterface* Consumer;
        quint8 Flag;
    };
    bool SendCommand(const QByteArray& payload, TConsumerInterface* consumer, quint8 flag) override {
        Requests << TRequest{payload, consumer, flag};
        return true;
    }
    bool ECUisConnected() const override { return Connected; }
    quint16 HeadCode() override { return Head; }

    // "8/2" for a banked block, "5" otherwise; writes are prefixed "w".
    QStringList Order() const {
        QStringList order;
        for (const TRequest& r : Requests) {
            const QByteArray data = r.Payload.mid(2);
            QString item = QString::number(static_cast<quint8>(data.at(0)));
            if (IsBankedBlock(static_cast<quint8>(data.at(0))))
                item += QStringLiteral("/%1").arg(static_cast<quint8>(data.at(1)));
            order << (PayloadCode(r.Payload) == cmdWriteBlock ? QStringLiteral("w") : QString()) + item;
        }
        return order;
    }
    QList<TRequest> Requests;
    bool Connected = true;
    quint16 Head = 0;
};

struct TRecordingView final : TConfigView {
    TConfigPage VisiblePage() const override { return Page; }
    void ShowProgress(const QString& text, int percent) override { Events << QStringLiteral("%1 %2").arg(text).arg(percent); }
    void SetProgress(int percent) override { Events << QString::number(percent); }
    void HideProgress() override { Events << "hide"; }
    void ShowMessage(const QString& text, int ms) override { Events << QStringLiteral("%1/%2").arg(text).arg(ms); }
    void ShowError(const QString& text) override { Events << "error: " + text; }
    void SetTitle(const QString& title) override { Title = title; }
    void SetUndoEnabled(bool on) override { Events << (on ? "undo on" : "undo off"); }
    void ReadFromGUI(TDataMap&) override { ++Reads; }
    TConfigPage Page = TConfigPage::None;
    QStringList Events;
    QString Title;
    int Reads = 0;
};

TFrame Reply(quint16 requestCode, const QByteArray& data, quint8 flag) {
    return TFrame{BuildFrame(MakePayload(ReplyCodeFor(requestCode), data)), nullptr, 0, flag};
}

class Transfers : public ::testing::Test {
protected:
    void SetUp() override {
        map.SetRequestSink(&sink);
        map.SetView(&view);
    }
    // Answers every recorded read with the ECU's block image, in order.
    void AnswerReads(const TDataMap& ecu) {
        for (const auto& r : sink.Requests) {
            const QByteArray data = r.Payload.mid(2);
            const int block = static_cast<quint8>(data.at(0));
            const int bank = data.size() > 1 ? static_cast<quint8>(data.at(1)) : 1;
            map.OnReply(Reply(cmdReadBlock, ecu.RawData().BuildBlock(block, bank), r.Flag));
        }
    }
    TRecordingSink sink;
    TRecordingView view;
    TDataMap map;
};

} // namespace

TEST_F(Transfers, FullUploadReadsInBlockOrderShowsProgressAndTakesTheEcuConfiguration) {
    TDataMap ecu;
    ecu.StrategyFlag = strategySlave;
    ecu.ResetToDefaults(fuelCNG, true);
    ecu.CarModel = "Van";
    ecu.ConfigDate = "020304";
    ecu.SwitchRPM = 2500;
    ecu.EncodeImage();

    map.UploadAll(1);
    EXPECT_FALSE(map.EnableMapRefresh());
    EXPECT_EQ(sink.Order().join(' '), "1 2 3/1 3/2 4/1 4/2 5 6 7 8/1 8/2 9 10 11 12 13");
    for (const auto& r : sink.Requests) {
        EXPECT_EQ(r.Flag, 1);
        EXPECT_EQ(r.Consumer, &map);
    }
    AnswerReads(ecu);
    EXPECT_EQ(view.Events.join(','), "Upload in progress 7,15,23,23,30,30,38,46,53,61,61,69,76,84,92,Upload complete/500");
    EXPECT_TRUE(map.EnableMapRefresh());
    EXPECT_EQ(map.Fuel, fuelCNG);
    EXPECT_TRUE(map.Supercharged);
    EXPECT_EQ(map.SwitchRPM, 2500);
    EXPECT_NEAR(map.Rapporti_Slave_banco2[4][8], ecu.Rapporti_Slave_banco2[4][8], 1.0 / 256);
    // A full upload leaves the configuration unsaved, under its derived name.
    EXPECT_FALSE(map.Saved());
    EXPECT_EQ(map.FileName, "Van 2004-03-02.cfg");
    EXPECT_EQ(view.Title, "Ambrel Q7 Diagnostic - Van 2004-03-02.cfg *");
}

TEST_F(Transfers, BlocksOneMapsAndInjectorsKeepTheSavedState) {
    TDataMap ecu;
    ecu.AssegnazioneIniettori = {2, 1, 3, 4, 5, 6, 7, 8};
    ecu.EncodeImage();
    bool advanced = false;
    struct TAdvanceView final : TConfigView {
        bool* Flag;
        void SetInjectorSequenceAdvanced(bool on) override { *Flag = on; }
    } advanceView;
    advanceView.Flag = &advanced;
    map.SetView(&advanceView);
    for (const auto& [block, bank] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{4, 1}, std::pair{8, 1}, std::pair{11, 1}})
        map.OnReply(Reply(cmdReadBlock, ecu.RawData().BuildBlock(block, bank), 0));
    EXPECT_TRUE(map.Saved());
    EXPECT_TRUE(advanced);
    map.OnReply(Reply(cmdReadBlock, ecu.RawData().BuildBlock(6, 1), 0));
    EXPECT_FALSE(map.Saved());
}

TEST_F(Transfers, FullDownloadWritesBlockOneLastWithTheFlagAndCountsProgress) {
    map.DownloadAll("Download in progress", true);
    EXPECT_EQ(view.Reads, 1);
    EXPECT_EQ(sink.Order().join(' '), "w13 w12 w11 w10 w9 w8/1 w8/2 w7 w6 w5 w4/1 w4/2 w3/1 w3/2 w2 w1");
    for (qsizetype i = 0; i < sink.Requests.size(); ++i) {
        const auto& r = sink.Requests[i];
        EXPECT_EQ(r.Flag, i == 15 ? 1 : 0) << i;
        const QByteArray image = r.Payload.mid(2);
        const int block = static_cast<quint8>(image.at(0));
        EXPECT_EQ(image, map.RawData().BuildBlock(block, IsBankedBlock(block) ? static_cast<quint8>(image.at(1)) : 1));
    }
    for (const auto& r : sink.Requests)
        r.Consumer->OnReply(Reply(cmdWriteBlock, {}, r.Flag));
    EXPECT_EQ(view.Events.join(','),
              "Download in progress 0,9,18,27,36,45,54,63,72,81,90,99,100,100,100,100,Download complete/500");
    EXPECT_FALSE(map.WholeWriteRunning());
    EXPECT_FALSE(map.EcuOutOfDate());

    // Not connected: no progress dialog; another consumer gets the writes and the flag.
    sink.Requests.clear();
    view.Events.clear();
    sink.Connected = false;
    map.DownloadAll("Clearing ECU", true);
    EXPECT_TRUE(view.Events.isEmpty());
    TDefaultConsumer other;
    sink.Requests.clear();
    map.DownloadAllTo(&other, 5);
    EXPECT_EQ(sink.Requests.size(), 16);
    EXPECT_EQ(sink.Requests.last().Consumer, &other);
    EXPECT_EQ(sink.Requests.last().Flag, 5);
    EXPECT_EQ(sink.Requests.first().Flag, 0);
}

// A whole write that fails part-way writes the failed blocks once more; what still fails
// is named exactly, and the model stays marked as not yet in the ECU.
TEST_F(Transfers, FailedBlocksOfAWholeWriteGoAgainAndWhatIsLeftIsNamed) {
    struct Outcome {
        QList<TBlockBank> left;
        bool ok = false;
        int count = 0;
    } outcome;
    QObject::connect(&map, &TDataMap::WholeWriteFinished, [&](bool ok, const QList<TBlockBank>& left, const QString&) {
        outcome.ok = ok;
        outcome.left = left;
        ++outcome.count;
    });
    // Every second block write fails in the first pass; the second pass takes them all.
    map.DownloadAll("Download in progress", true);
    for (qsizetype i = 0; i < 16; ++i) {
        const auto& r = sink.Requests[i];
        i % 2 ? r.Consumer->OnFailure() : r.Consumer->OnReply(Reply(cmdWriteBlock, {}, r.Flag));
    }
    EXPECT_EQ(sink.Requests.size(), 16); // the second pass leaves from the event loop
    QCoreApplication::sendPostedEvents(&map, QEvent::MetaCall);
    ASSERT_EQ(sink.Requests.size(), 24);
    EXPECT_EQ(sink.Order().mid(16).join(' '), "w12 w10 w8/1 w7 w5 w4/2 w3/2 w1");
    EXPECT_EQ(sink.Requests.last().Flag, 1);
    EXPECT_TRUE(map.WholeWriteRunning());
    for (qsizetype i = 16; i < 24; ++i)
        sink.Requests[i].Consumer->OnReply(Reply(cmdWriteBlock, {}, 0));
    EXPECT_EQ(outcome.count, 1);
    EXPECT_TRUE(outcome.ok);
    EXPECT_FALSE(map.EcuOutOfDate());
    EXPECT_EQ(view.Events.last(), "Download complete/500");

    // Two blocks fail twice: exactly they are named, and no third pass is made.
    sink.Requests.clear();
    view.Events.clear();
    map.DownloadAll("Download in progress", true);
    const auto fails = [](const QByteArray& payload) {
        const auto block = static_cast<quint8>(payload.at(2));
        return block == 6 || (block == 4 && static_cast<quint8>(payload.at(3)) == 2);
    };
    for (qsizetype i = 0; i < 16; ++i) {
        const auto& r = sink.Requests[i];
        fails(r.Payload) ? r.Consumer->OnTimeout() : r.Consumer->OnReply(Reply(cmdWriteBlock, {}, r.Flag));
    }
    QCoreApplication::sendPostedEvents(&map, QEvent::MetaCall);
    ASSERT_EQ(sink.Requests.size(), 18);
    sink.Requests[16].Consumer->OnFailure();
    sink.Requests[17].Consumer->OnTimeout();
    EXPECT_EQ(outcome.count, 2);
    EXPECT_FALSE(outcome.ok);
    ASSERT_EQ(outcome.left.size(), 2);
    EXPECT_EQ(outcome.left[0].Block, 6);
    EXPECT_EQ(outcome.left[1].Block, 4);
    EXPECT_EQ(outcome.left[1].Bank, 2);
    EXPECT_EQ(sink.Requests.size(), 18);
    EXPECT_TRUE(map.EcuOutOfDate());
    EXPECT_TRUE(view.Events.contains("hide"));
    EXPECT_TRUE(view.Events.last().contains("block 6; block 4, bank 2")) << view.Events.last().toStdString();
    // The connecting read would overwrite the configuration that is still to be written.
    sink.Requests.clear();
    map.OnEcuConnected();
    EXPECT_TRUE(sink.Requests.isEmpty());
    EXPECT_TRUE(view.Events.last().contains("Use Download"));
}

TEST_F(Transfers, PagesAndMapTypesChooseTheirBlocks) {
    struct Case {
        TConfigPage page;
        int strategy;
        const char* writes;
        const char* reads;
    };
    const Case cases[] = {
        {TConfigPage::SpecialGeneral, strategySlave, "w1 w2", "1 2"},
        {TConfigPage::SpecialAdaptivity, strategySlave, "w2 w9 w5", "2 9 5"},
        {TConfigPage::General, strategySlave, "w1", "1 9"},
        {TConfigPage::Functions, strategySlave, "w2", "2 7"},
        {TConfigPage::PetrolMap, strategySlave, "", "3/2"},
        {TConfigPage::GasMap, strategySlave, "", "8/2"},
        {TConfigPage::GasMap, strategyCompensated, "", "4/2"},
        {TConfigPage::Drivability, strategySlave, "w7", "7 11"},
        {TConfigPage::Advance, strategySlave, "", "11"},
        {TConfigPage::Sensors, strategyCompensated, "w1", "1 12"},
        {TConfigPage::None, strategySlave, "", ""},
    };
    map.Banks = 2;
    map.CurrentBank = 2;
    for (const Case& k : cases) {
        view.Page = k.page;
        map.StrategyFlag = static_cast<quint8>(k.strategy);
        sink.Requests.clear();
        map.DownloadPage();
        EXPECT_EQ(sink.Order().join(' '), k.writes) << static_cast<int>(k.page);
        sink.Requests.clear();
        map.UploadPage();
        EXPECT_EQ(sink.Order().join(' '), k.reads) << static_cast<int>(k.page);
    }
    const std::pair<T, const char*> types[] = {
        {T::Benzina_banco2, "w3/2"}, {T::Rapporti_Slave_banco1, "w8/1"}, {T::MAP_Comp, "w4/2"},
        {T::CorrPressioneGas, "w6"}, {T::RiferimentoSondaLambda, "w5"}, {T::TempoCicchetto, "w7"},
        {T::LivelloGas, "w9"},       {T::TempiGas_Slave_banco1, ""},    {T::Carichi_Emulazione, "w10"},
        {T::AssegnazioneIniettori, "w11"}, {T::TensioneIniettori, "w13"}, {T::SensoriPressione, "w12"},
    };
    for (const auto& [type, expected] : types) {
        sink.Requests.clear();
        map.DownloadMapType(type);
        EXPECT_EQ(sink.Order().join(' '), expected) << static_cast<int>(type);
    }
    sink.Requests.clear();
    map.DownloadBothBanks(true);
    EXPECT_EQ(sink.Order().join(' '), "w4/1 w4/2");
}

TEST_F(Transfers, AdaptedMapsAreReadOnlyOnTheirPageWhileTheEcuAdaptsThem) {
    struct Case {
        TConfigPage page;
        int strategy;
        bool acquire, adaptivePetrol, adaptiveGas, adaptiveSlave;
        const char* reads;
    };
    const Case cases[] = {
        {TConfigPage::PetrolMap, strategySlave, true, false, false, false, "3/1"},
        {TConfigPage::PetrolMap, strategySlave, false, false, true, true, ""},
        {TConfigPage::GasMap, strategyCompensated, false, false, true, false, "4/1"},
        {TConfigPage::GasMap, strategyCompensated, false, false, false, true, ""},
        {TConfigPage::GasMap, strategySlave, false, false, false, true, "8/1"},
        {TConfigPage::GasMap, strategySlave, false, false, true, false, "8/1"},
        {TConfigPage::General, strategySlave, true, true, true, true, ""},
    };
    for (const Case& k : cases) {
        view.Page = k.page;
        map.StrategyFlag = static_cast<quint8>(k.strategy);
        map.Acquire = k.acquire;
        map.AdaptivePetrol = k.adaptivePetrol;
        map.AdaptiveGas = k.adaptiveGas;
        map.AdaptiveSlave = k.adaptiveSlave;
        sink.Requests.clear();
        map.RefreshAdaptedMaps();
        EXPECT_EQ(sink.Order().join(' '), k.reads);
        for (const auto& r : sink.Requests)
            EXPECT_EQ(r.Flag, 0);
    }
}

TEST_F(Transfers, UnansweredWriteShowsTheErrorAndAnUnansweredReadNothing) {
    map.UploadAll(1);
    sink.Head = cmdReadBlock;
    map.OnTimeout();
    EXPECT_EQ(view.Events.join(','), "hide");
    EXPECT_TRUE(map.EnableMapRefresh());
    view.Events.clear();
    map.DownloadBlock(2);
    sink.Head = cmdWriteBlock;
    map.OnTimeout();
    map.OnFailure();
    EXPECT_EQ(view.Events.join(','), "hide,error: Download failed: check connections.");
    // A reply naming no block changes nothing but lets the maps refresh again.
    map.SetEnableMapRefresh(false);
    const RMappatura before = map.RawData().Record;
    map.OnReply(Reply(cmdReadBlock, QByteArray(1, '\x20'), 1));
    EXPECT_TRUE(map.EnableMapRefresh());
    EXPECT_EQ(map.RawData().Record, before);
}

TEST_F(Transfers, UndoRestoresTheModelOnceAndWritesItBack) {
    map.SaveUndoPoint();
    EXPECT_TRUE(map.UndoAvailable());
    map.SwitchRPM = 3000;
    map.Rapporti_Slave_banco2[4][4] = 0.5;
    map.Offset = 2.0;
    sink.Requests.clear();
    EXPECT_TRUE(map.Undo());
    EXPECT_EQ(map.SwitchRPM, 1800);
    EXPECT_DOUBLE_EQ(map.Offset, 0.8);
    EXPECT_NEAR(map.Rapporti_Slave_banco2[4][4], TDataMap().Rapporti_Slave_banco2[4][4], 1.0 / 256);
    EXPECT_EQ(sink.Requests.size(), 16);
    EXPECT_TRUE(view.Events.contains("Restoring ECU 0"));
    EXPECT_EQ(view.Events.first(), "undo on");
    EXPECT_EQ(view.Events.last(), "undo off");
    EXPECT_TRUE(map.EnableMapRefresh());
    // Usable once.
    map.SwitchRPM = 3000;
    EXPECT_FALSE(map.Undo());
    EXPECT_EQ(map.SwitchRPM, 3000);
    EXPECT_TRUE(map.Saved());
}

TEST_F(Transfers, TitleShowsTheFileOnlyOnceTheConfigurationIsDated) {
    map.SetSaved(false);
    EXPECT_EQ(view.Title, "Ambrel Q7 Diagnostic");
    map.ConfigDate = "250309";
    map.CarModel = "Sedan 1.6";
    map.StrategyFlag = strategyCompensated;
    map.SetSaved(false);
    EXPECT_EQ(view.Title, "Ambrel Q7 Diagnostic - Sedan 1.6 Comp. 2009-03-25.cfg *");
    map.SetSaved(true);
    EXPECT_EQ(view.Title, "Ambrel Q7 Diagnostic - Sedan 1.6 Comp. 2009-03-25.cfg");
}

TEST_F(Transfers, StrategyReportsSetTheFlag) {
    map.OnStrategyReported(strategyCompensated, false);
    EXPECT_EQ(map.StrategyFlag, strategyCompensated);
    map.OnStrategyReported(-1, false);
    EXPECT_EQ(map.StrategyFlag, strategyCompensated);
    map.OnStrategyReported(strategySlave, true);
    EXPECT_EQ(map.StrategyFlag, strategySlave);
}
