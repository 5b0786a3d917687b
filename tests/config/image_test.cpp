// The ECU image: each item's encoding and decoding, the layout of the blocks, parsing of
// received (and short) blocks, the image text, and the round trip of every default.

#include "config/datamap.h"
#include "support/bytes.h"
#include "support/qtprinters.h"

#include "link/framecodec.h"

#include <functional>
#include <gtest/gtest.h>

using namespace ambrel;
using ambrel::test::Bytes;

namespace {

TConfiguration Defaults(int fuel, bool supercharged, int strategy) {
    TConfiguration c;
    c.StrategyFlag = static_cast<quint8>(strategy);
    c.ApplyDefaults(fuel, supercharged, QStringLiteral("Untitled.cfg"));
    return c;
}

struct TItemCase {
    const char* name;
    std::function<void(TConfiguration&)> set;
    int block;
    int offset;
    int bank;
    int stored;
    std::function<double(const TConfiguration&)> get;
    double decoded;
    int strategy = strategySlave;
};

TFrame ReadReply(const QByteArray& image) {
    return TFrame{BuildFrame(MakePayload(ReplyCodeFor(0x0002), image)), nullptr, 0, 0};
}

} // namespace

TEST(Image, EachItemIsStoredAndReadBackByItsRule) {
    using C = TConfiguration;
    const TItemCase cases[] = {
        {"SwitchRPM 1800", [](C& c) { c.SwitchRPM = 1800; }, 2, 2, 1, 112, [](const C& c) { return c.SwitchRPM; }, 1800},
        {"SwitchRPM 1850", [](C& c) { c.SwitchRPM = 1850; }, 2, 2, 1, 115, [](const C& c) { return c.SwitchRPM; }, 1800},
        {"SwitchStartupDelay 25", [](C& c) { c.SwitchStartupDelay = 25; }, 2, 4, 1, 8,
         [](const C& c) { return c.SwitchStartupDelay; }, 24},
        {"Slave petrol time 2.5", [](C& c) { c.TempiBenzina_Slave[1] = 2.5; }, 8, 12, 1, 20,
         [](const C& c) { return c.TempiBenzina_Slave[1]; }, 2.5},
        {"Slave petrol time 18", [](C& c) { c.TempiBenzina_Slave[11] = 18; }, 8, 22, 2, 141,
         [](const C& c) { return c.TempiBenzina_Slave[11]; }, 18},
        {"ratio 1.18", [](C& c) { c.Rapporti_Slave_banco1[0][0] = 1.18; }, 8, 23, 1, 151,
         [](const C& c) { return c.Rapporti_Slave_banco1[0][0]; }, 1.1796875},
        {"Offset 30", [](C& c) { c.Offset = 30; }, 2, 10, 1, 255, [](const C& c) { return c.Offset; }, 25.5},
        {"lambda type 4 reference 0.45", [](C& c) { c.LambdaType = 4; }, 5, 1, 1, 0,
         [](const C& c) { return c.RiferimentoSondaLambda[0]; }, 0.8},
        {"lambda type 3 reference 1.0",
         [](C& c) {
             c.LambdaType = 3;
             c.RiferimentoSondaLambda[11] = 1.0;
         },
         5, 12, 1, 204, [](const C& c) { return c.RiferimentoSondaLambda[11]; }, 1.0},
        {"lambda type 2 threshold 2.5 (half to even)",
         [](C& c) {
             c.LambdaType = 2;
             c.AdaptRichThreshold = 2.5;
         },
         5, 14, 1, 128, [](const C& c) { return c.AdaptRichThreshold; }, 5.0 * 128 / 255},
        {"temperature -25", [](C& c) { c.TemperaturaRiduttore[0] = -25; }, 6, 1, 1, 0,
         [](const C& c) { return c.TemperaturaRiduttore[0]; }, -20},
        {"BackupIdleTime 3", [](C& c) { c.BackupIdleTime = 3; }, 2, 17, 1, 12,
         [](const C& c) { return c.BackupIdleTime; }, 3},
        {"RPMSource crank", [](C& c) { c.RPMSource = 2; }, 1, 49, 1, 4, [](const C& c) { return c.RPMSource; }, 2},
        {"LevelSensor 2", [](C& c) { c.LevelSensor = 2; }, 1, 55, 1, 5, [](const C& c) { return c.LevelSensor; }, 2},
        {"LevelSensor 6", [](C& c) { c.LevelSensor = 6; }, 1, 55, 1, 3, [](const C& c) { return c.LevelSensor; }, 6},
        {"SwitchCondition cut-off", [](C& c) { c.SwitchCondition = 2; }, 2, 1, 1, 4,
         [](const C& c) { return c.SwitchCondition; }, 2},
        {"PressureSensor 0", [](C& c) { c.PressureSensor = 0; }, 1, 58, 1, 1,
         [](const C& c) { return c.PressureSensor; }, 0},
        {"InjectorsResistance 8", [](C& c) { c.InjectorsResistance = 8; }, 1, 52, 1, 80,
         [](const C& c) { return c.InjectorType; }, 1},
        {"InjectorsResistance 4.2", [](C& c) { c.InjectorsResistance = 4.2; }, 1, 52, 1, 42,
         [](const C& c) { return c.InjectorType; }, -1},
        {"Slave full throttle time 12", [](C& c) { c.BackupFullThrottleTime = 12; }, 2, 19, 1, 94,
         [](const C& c) { return c.BackupFullThrottleTime; }, 12.032},
        {"Compensated full throttle MAP 700", [](C& c) { c.BackupFullThrottleMAP = 700; }, 2, 19, 1, 70,
         [](const C& c) { return c.BackupFullThrottleMAP; }, 700, strategyCompensated},
        {"IntegralRich 1.5", [](C& c) { c.IntegralRich = 1.5; }, 5, 17, 1, 49,
         [](const C& c) { return c.IntegralRich; }, 1000.0 * 49 / 32768},
        {"FuelTrim on", [](C& c) { c.FuelTrim = true; }, 5, 23, 1, 255, [](const C& c) { return c.FuelTrim; }, 1},
        {"OpenLoopDelay 2", [](C& c) { c.OpenLoopDelay = 2; }, 5, 28, 1, 20,
         [](const C& c) { return c.OpenLoopDelay; }, 2},
        {"gas pressure 700", [](C& c) { c.PressioneGas[0] = 700; }, 6, 37, 1, 44,
         [](const C& c) { return c.PressioneGas[0]; }, 700},
        {"correction -17", [](C& c) { c.CorrTemperaturaRiduttore[0] = -17; }, 6, 10, 1, 106,
         [](const C& c) { return c.CorrTemperaturaRiduttore[0]; }, -17.1875},
        {"MAPcorrection -50", [](C& c) { c.MAPcorrection = -50; }, 7, 1, 1, 64,
         [](const C& c) { return c.MAPcorrection; }, -50},
        {"MAPgradient 1509", [](C& c) { c.MAPgradient = 1509; }, 7, 4, 1, 150,
         [](const C& c) { return c.MAPgradient; }, 1500},
        {"reversed TPS threshold 1.0",
         [](C& c) {
             c.TPSType = 2;
             c.TPSThreshold = 1.0;
         },
         7, 9, 1, 204, [](const C& c) { return c.TPSThreshold; }, 1.0},
        {"FullGroupFilter 5", [](C& c) { c.FullGroupFilter = 5; }, 7, 12, 1, 13,
         [](const C& c) { return c.FullGroupFilter; }, 5},
        {"Smoothness 100", [](C& c) { c.Smoothness = 100; }, 7, 28, 1, 124,
         [](const C& c) { return c.Smoothness; }, 100},
        {"Smoothness 110", [](C& c) { c.Smoothness = 110; }, 7, 28, 1, 136,
         [](const C& c) { return c.Smoothness; }, 100},
        {"AdaptMinTime 2", [](C& c) { c.AdaptMinTime = 2; }, 9, 3, 1, 16, [](const C& c) { return c.AdaptMinTime; }, 2},
        {"level threshold 1 V", [](C& c) { c.LivelloGas[0] = 1; }, 9, 10, 1, 46,
         [](const C& c) { return c.LivelloGas[0]; }, 5.0 * 46 / 231.795},
        {"emulation RPM 6000", [](C& c) { c.Giri_Emulazione[11] = 6000; }, 10, 12, 1, 188,
         [](const C& c) { return c.Giri_Emulazione[11]; }, 6000},
        {"emulation delay row 4 column 12", [](C& c) { c.Ritardi_Emulazione[3][11] = 7; }, 10, 64, 1, 7,
         [](const C& c) { return c.Ritardi_Emulazione[3][11]; }, 7},
        {"injector of cylinder 1", [](C& c) { c.AssegnazioneIniettori[0] = 2; }, 11, 1, 1, 1,
         [](const C& c) { return c.AssegnazioneIniettori[0]; }, 2},
        {"opening time row 8 column 11", [](C& c) { c.TempoAperturaIniettori[7][10] = 2.98; }, 13, 107, 1, 30,
         [](const C& c) { return c.TempoAperturaIniettori[7][10]; }, 3.0},
        {"petrol map bank 2 row 1 column 2", [](C& c) { c.Benzina_banco2[0][1] = 3.3; }, 3, 35, 2, 33,
         [](const C& c) { return c.Benzina_banco2[0][1]; }, 3.3},
        {"gas map bank 1 row 12 column 9", [](C& c) { c.TempiGas_Comp_banco1[11][8] = 30; }, 4, 130, 1, 255,
         [](const C& c) { return c.TempiGas_Comp_banco1[11][8]; }, 25.5},
    };
    for (const TItemCase& k : cases) {
        TConfiguration c = Defaults(fuelLPG, false, k.strategy);
        k.set(c);
        RMappatura r;
        c.EncodeImage(r);
        EXPECT_EQ(r.Byte(k.block, k.offset, k.bank), k.stored) << k.name;
        TConfiguration d = Defaults(fuelCNG, true, k.strategy);
        d.DecodeMaps(r);
        d.DecodeParameters(r);
        EXPECT_NEAR(k.get(d), k.decoded, 1e-9) << k.name;
    }
}

TEST(Image, SensorCurvesAreWrittenAsWordsAndNeverReadBack) {
    TConfiguration c = Defaults(fuelLPG, false, strategySlave);
    RMappatura r;
    c.EncodeImage(r);
    EXPECT_EQ(r.Byte(12, 1), 0);            // -20 degC
    EXPECT_EQ(r.Word(12, 15), 839);         // 4.1 V
    EXPECT_EQ(r.Word(12, 141), 65);         // MAP sensor 0.2 V
    EXPECT_EQ(r.Byte(12, 85), 10);          // 200 mbar
    EXPECT_EQ(r.Byte(12, 127 + 13), 250);   // 2500 mbar
    r.SetWord(12, 15, 1);
    TConfiguration d = c;
    d.DecodeParameters(r);
    EXPECT_DOUBLE_EQ(d.SensoriVTempGas[0], 4.1);
}

TEST(Image, DecodingRulesBeyondAFormula) {
    TConfiguration c = Defaults(fuelLPG, false, strategySlave);
    c.CarMake = "Make";
    c.CarModel = QStringLiteral("A model longer than twenty");
    c.ConfigDate = "150324";
    RMappatura r;
    c.EncodeImage(r);
    EXPECT_EQ(r.Image(1).mid(1, 20), QByteArray("Make                "));
    EXPECT_EQ(r.Image(1).mid(21, 20), QByteArray("A model longer than "));
    EXPECT_EQ(r.Byte(1, 50), 0);

    // Texts lose their padding and control characters; a broken date becomes today's.
    r.Image(1).replace(1, 20, QByteArray("Make\t \x01               ").left(20));
    r.Image(1).replace(41, 6, "12a456");
    r.SetByte(1, 47, 7);   // no such fuel: unchanged
    r.SetByte(1, 49, 3);   // no such RPM source: unchanged
    r.SetByte(2, 1, 9);    // no such change-over condition: 0
    r.SetByte(2, 5, 0xE0); // Buzzer, bit 6 and bit 7
    TConfiguration d = c;
    d.SwitchCondition = 3;
    d.DecodeParameters(r, "010125");
    EXPECT_EQ(d.CarMake, "Make");
    EXPECT_EQ(d.CarModel, "A model longer than");
    EXPECT_EQ(d.ConfigDate, "010125");
    EXPECT_EQ(d.Fuel, fuelLPG);
    EXPECT_EQ(d.RPMSource, 1);
    EXPECT_EQ(d.SwitchCondition, 0);
    EXPECT_TRUE(d.Buzzer && d.Flag7);
    EXPECT_FALSE(d.BackupLowLevel);

    // The ECU's own bits 6 and 7 survive an encoding.
    d.Buzzer = false;
    d.EncodeImage(r);
    EXPECT_EQ(r.Byte(2, 5) & 0xC0, 0xC0);
    EXPECT_EQ(r.Byte(2, 5) & 0x20, 0);
}

TEST(Image, WithoutATpsTheThresholdByteIsKeptAndTheCutOffIsOff) {
    TConfiguration c = Defaults(fuelLPG, false, strategySlave);
    RMappatura r;
    c.EncodeImage(r);
    r.SetByte(7, 9, 77);
    c.TPSType = 0;
    c.TPSCutOff = true;
    c.TPSThreshold = 4.0;
    c.EncodeImage(r);
    EXPECT_EQ(r.Byte(7, 9), 77);
    EXPECT_EQ(r.Byte(7, 7), 1);
    TConfiguration d = Defaults(fuelLPG, false, strategySlave);
    d.TPSThreshold = 2.0;
    d.DecodeParameters(r);
    EXPECT_FALSE(d.TPSCutOff);
    EXPECT_DOUBLE_EQ(d.TPSThreshold, 2.0);
}

TEST(Image, SuperchargedFollowsTheHighestCompensatedMapBreakpoint) {
    for (const auto& [highest, supercharged] : {std::pair{1200.0, false}, std::pair{1210.0, true}}) {
        TConfiguration c = Defaults(fuelLPG, false, strategySlave);
        c.MAP_Comp[11] = highest;
        RMappatura r;
        c.EncodeImage(r);
        TConfiguration d = Defaults(fuelLPG, !supercharged, strategySlave);
        d.DecodeMaps(r);
        d.DecodeParameters(r);
        EXPECT_EQ(d.Supercharged, supercharged) << highest;
    }
}

TEST(Image, EncodeDecodeEncodeReproducesEveryDefaultImage) {
    for (const int fuel : {fuelCNG, fuelLPG})
        for (const bool supercharged : {false, true})
            for (const int strategy : {strategySlave, strategyCompensated}) {
                const TConfiguration c = Defaults(fuel, supercharged, strategy);
                TConfiguration e = c;
                RMappatura first;
                e.EncodeImage(first);
                TConfiguration d;
                d.StrategyFlag = static_cast<quint8>(strategy);
                d.SetSensorDefaults();
                d.DecodeMaps(first);
                d.DecodeParameters(first);
                RMappatura second;
                d.EncodeImage(second);
                for (int i = 0; i < kImageRecordCount; ++i)
                    EXPECT_EQ(second.Images[static_cast<size_t>(i)], first.Images[static_cast<size_t>(i)])
                        << "fuel " << fuel << " supercharged " << supercharged << " strategy " << strategy
                        << " record " << i;
                EXPECT_EQ(d.Supercharged, supercharged);
                EXPECT_EQ(d.Fuel, fuel);
            }
}

TEST(Image, TextHoldsSixteenRecordsInImageOrder) {
    TDataMap map;
    const QByteArray text = map.RawData().ToText();
    ASSERT_EQ(text.size(), 1380);
    EXPECT_EQ(text.at(0), 16);
    const int lengths[] = {61, 25, 131, 131, 131, 131, 29, 68, 29, 131, 131, 14, 65, 9, 169, 108};
    const int blocks[] = {1, 2, 3, 3, 4, 4, 5, 6, 7, 8, 8, 9, 10, 11, 12, 13};
    qsizetype at = 1;
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(static_cast<quint8>(text.at(at)), lengths[i]) << i;
        EXPECT_EQ(static_cast<quint8>(text.at(at + 1)), blocks[i]) << i;
        if (i >= 2 && i <= 5) {
            EXPECT_EQ(static_cast<quint8>(text.at(at + 2)), i % 2 == 0 ? 1 : 2) << i;
        }
        at += 1 + lengths[i];
    }
    TRawData copy;
    EXPECT_EQ(copy.FromText(text), 16);
    EXPECT_EQ(copy.Record, map.RawData().Record);
}

TEST(Image, ABankTwoBlockReplacesOnlyItsCellsAndTheSharedAxes) {
    TDataMap map;
    QByteArray image = map.RawData().BuildBlock(3, 2);
    image[1] = 7; // any bank byte but 1 means bank 2
    image[2] = 20;       // first RPM breakpoint
    image[23] = 99;      // first cell
    const QByteArray bankOneBefore = map.RawData().Record.Image(3, 1);
    EXPECT_EQ(map.RawData().ParseBlock(ReadReply(image)), 3);
    const RMappatura& r = map.RawData().Record;
    EXPECT_EQ(r.Byte(3, 23, 2), 99);
    EXPECT_EQ(r.Byte(3, 23, 1), static_cast<quint8>(bankOneBefore.at(23)));
    EXPECT_EQ(r.Byte(3, 2, 1), 20);
    EXPECT_EQ(r.Byte(3, 2, 2), 20);
    EXPECT_EQ(r.Byte(3, 1, 2), 2);
    EXPECT_EQ(map.RawData().BuildBlock(3, 1).at(1), 1);
}

TEST(Image, ShortBlocksLeaveMissingItemsUnchanged) {
    struct Case {
        const char* what;
        QByteArray image;
        int block;
        int unchangedFrom; // first offset that must keep its old byte
    };
    const Case cases[] = {
        {"block 2 cut after 5 items", Bytes({2, 9, 9, 9, 9, 9}), 2, 6},
        {"car model cut in the middle", QByteArray("\x01") + QByteArray(20, 'M') + "Half", 1, 21},
        {"sensor word cut in half", QByteArray("\x0c") + QByteArray(14, 1) + Bytes({9}), 12, 15},
        {"banked block with bank byte only", Bytes({8, 1}), 8, 2},
    };
    for (const Case& k : cases) {
        TDataMap map;
        const QByteArray before = map.RawData().Record.Image(k.block);
        EXPECT_EQ(map.RawData().ParseBlock(ReadReply(k.image)), k.block) << k.what;
        const QByteArray after = map.RawData().Record.Image(k.block);
        ASSERT_EQ(after.size(), before.size()) << k.what;
        EXPECT_EQ(after.mid(k.unchangedFrom), before.mid(k.unchangedFrom)) << k.what;
        EXPECT_EQ(after.left(k.unchangedFrom).mid(1), k.image.left(k.unchangedFrom).mid(1)) << k.what;
    }
    TDataMap map;
    const RMappatura before = map.RawData().Record;
    EXPECT_EQ(map.RawData().ParseBlock(ReadReply(Bytes({14, 1, 2, 3}))), 14);
    EXPECT_EQ(map.RawData().ParseBlock(ReadReply({})), 0);
    EXPECT_EQ(map.RawData().Record, before);
    EXPECT_EQ(map.RawData().BuildBlock(14, 1), Bytes({14}));
}

TEST(Image, TextReadsOnlyTheWholeRecordsItHolds) {
    TDataMap map;
    const QByteArray text = map.RawData().ToText();
    TRawData raw;
    EXPECT_EQ(raw.FromText(text.left(1 + 62 + 10)), 1); // block 1 whole, block 2 cut
    EXPECT_EQ(raw.Record.Image(1), map.RawData().Record.Image(1));
    EXPECT_EQ(raw.Record.Image(2), RMappatura().Image(2));
    QByteArray announcesMore = text;
    announcesMore[0] = static_cast<char>(200);
    EXPECT_EQ(raw.FromText(announcesMore), 16);
    EXPECT_EQ(raw.FromText(Bytes({0})), 0);
    EXPECT_EQ(raw.FromText({}), 0);
}
