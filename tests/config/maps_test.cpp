// Defaults, map addressing and the default generators of the configuration model.

#include "config/datamap.h"
#include "support/qtprinters.h"

#include <QSettings>
#include <gtest/gtest.h>

using namespace ambrel;
using T = TMapTypeOfData;

namespace {

TConfiguration Defaults(int fuel, bool supercharged, int strategy) {
    TConfiguration c;
    c.StrategyFlag = static_cast<quint8>(strategy);
    c.ApplyDefaults(fuel, supercharged, QStringLiteral("Untitled.cfg"));
    return c;
}

} // namespace

TEST(Defaults, NewModelHoldsTheLpgAspiratedSlaveDefaults) {
    TDataMap map;
    EXPECT_EQ(map.ConfigDate, "000000");
    EXPECT_EQ(map.FileName, "Untitled.cfg");
    EXPECT_EQ(map.Fuel, fuelLPG);
    EXPECT_EQ(map.Cylinders, 4);
    EXPECT_EQ(map.Reducer, 2);
    EXPECT_EQ(map.LevelSensor, 0);
    EXPECT_DOUBLE_EQ(map.Offset, 0.8);
    EXPECT_TRUE(map.Saved());
    EXPECT_TRUE(map.EnableMapRefresh());
    EXPECT_FALSE(map.Flag7);
}

TEST(Defaults, CngSuperchargedCompensated) {
    const TConfiguration c = Defaults(fuelCNG, true, strategyCompensated);
    EXPECT_EQ(c.Reducer, 0);
    EXPECT_EQ(c.LevelSensor, 3);
    EXPECT_EQ(c.MAPgradient, 1500);
    EXPECT_EQ(c.MAPthreshold, 1000);
    EXPECT_DOUBLE_EQ(c.Offset, 0);
    EXPECT_DOUBLE_EQ(c.IntegralRich, 1.5);
    EXPECT_EQ(c.OpenLoopMAP, 1300);
    EXPECT_TRUE(c.LambdaEmulation && c.FuelTrim && c.OpenLoop && c.AdaptiveGas);
    EXPECT_EQ(c.AdaptMinRevs, 500);
    EXPECT_EQ(c.AdaptMaxRevs, 6000);
    EXPECT_DOUBLE_EQ(c.AdaptMaxMAP, 1300);
    // The reducer's nominal 1800 mbar curve.
    EXPECT_DOUBLE_EQ(c.PressioneGas[11], 1800);
    EXPECT_DOUBLE_EQ(c.CorrPressioneGas[0], 58);
}

TEST(Defaults, SetterArgumentsOutsideTheirCodesChangeOnlyTheCommonPart) {
    TConfiguration c = Defaults(fuelLPG, false, strategySlave);
    c.Offset = 7;
    c.SetLambdaDefaults(5);
    EXPECT_DOUBLE_EQ(c.Offset, 7);
    EXPECT_EQ(c.MinSamplingPeriod, 20);
    c.MAPgradient = 1234;
    c.SetAccelerationDefaults(7);
    EXPECT_EQ(c.MAPgradient, 1234);
    c.AdaptMinRevs = 1;
    c.SetAdaptivityDefaults(9);
    EXPECT_EQ(c.AdaptMinRevs, 1);
    const auto before = c.CorrPressioneGas;
    c.SetReducerDefaults(4);
    EXPECT_EQ(c.CorrPressioneGas, before);
    c.TemperaturaGas[0] = 99;
    c.SetGasTempDefaults(2);
    EXPECT_DOUBLE_EQ(c.TemperaturaGas[0], 99);
}

TEST(Defaults, BuiltInInjectionTablesHaveTheirShape) {
    struct Case {
        int fuel;
        bool supercharged;
        double highestRatio;
    };
    for (const Case k : {Case{fuelCNG, false, 1.35}, Case{fuelLPG, false, 1.22}, Case{fuelCNG, true, 1.00},
                         Case{fuelLPG, true, 1.22}}) {
        const TConfiguration c = Defaults(k.fuel, k.supercharged, strategySlave);
        double highest = 0;
        int peakedInMiddle = 0;
        for (size_t col = 0; col < 9; ++col) {
            size_t peakRow = 0;
            for (size_t row = 0; row < 12; ++row) {
                const double v = c.Rapporti_Slave_banco1[row][col];
                EXPECT_GE(v, 0.80);
                EXPECT_LE(v, 1.35);
                highest = std::max(highest, v);
                if (v > c.Rapporti_Slave_banco1[peakRow][col])
                    peakRow = row;
            }
            peakedInMiddle += (peakRow >= 2 && peakRow <= 4) ? 1 : 0;
        }
        EXPECT_DOUBLE_EQ(highest, k.highestRatio) << k.fuel << k.supercharged;
        EXPECT_GE(peakedInMiddle, 6) << k.fuel << k.supercharged;
        EXPECT_EQ(c.Rapporti_Slave_banco1, c.Rapporti_Slave_banco2);
        for (size_t col = 0; col < 9; ++col)
            for (size_t row = 1; row < 12; ++row)
                EXPECT_GE(c.TempiGas_Comp_banco1[row][col], c.TempiGas_Comp_banco1[row - 1][col]);
        EXPECT_DOUBLE_EQ(c.Benzina_banco2[5][5], 0);
    }
    const TConfiguration cng = Defaults(fuelCNG, false, strategySlave);
    EXPECT_DOUBLE_EQ(cng.TempiGas_Comp_banco1[0][0], 2.97);
    EXPECT_DOUBLE_EQ(cng.TempiGas_Comp_banco1[11][8], 18.33);
}

TEST(Maps, ComputedSlaveGasTimeReadsAndStoresTheRatio) {
    TConfiguration c = Defaults(fuelCNG, false, strategySlave);
    EXPECT_DOUBLE_EQ(c.GetValue(T::TempiGas_Slave_banco1, 1, 1), 1.18 * 2 + 0.8);
    EXPECT_TRUE(c.SetValue(T::TempiGas_Slave_banco1, 1, 1, 4.0));
    EXPECT_DOUBLE_EQ(c.Rapporti_Slave_banco1[0][0], 1.6);
    EXPECT_DOUBLE_EQ(c.Rapporti_Slave_banco2[0][0], 1.18);
    // A petrol time breakpoint of 0 has no ratio to store: refused, the map unchanged.
    c.TempiBenzina_Slave[0] = 0;
    EXPECT_FALSE(c.SetValue(T::TempiGas_Slave_banco2, 1, 1, 4.0));
    EXPECT_DOUBLE_EQ(c.Rapporti_Slave_banco2[0][0], 1.18);
}

TEST(Maps, AddressingIntegersAndShapes) {
    TConfiguration c = Defaults(fuelLPG, false, strategySlave);
    EXPECT_TRUE(c.SetAxisValue(T::Giri_Slave, 1, 1499.9));
    EXPECT_DOUBLE_EQ(c.GetAxisValue(T::Giri_Slave, 1), 1499);
    EXPECT_TRUE(c.SetAxisValue(T::SensoriTempGas, 2, -10.7));
    EXPECT_EQ(c.SensoriTempGas[1], -10);
    EXPECT_TRUE(c.SetValue(T::Benzina_banco2, 12, 9, 7.5));
    EXPECT_DOUBLE_EQ(c.Benzina_banco2[11][8], 7.5);
    EXPECT_DOUBLE_EQ(c.GetValue(T::TempoAperturaIniettori, 1, 11), 5.23);
    EXPECT_DOUBLE_EQ(c.GetValue(T::Ritardi_Emulazione, 4, 12), 0);
    // Outside the shape: nothing read, nothing written.
    for (const auto& [type, row, col] : {std::tuple{T::Benzina_banco1, 13, 1}, std::tuple{T::Benzina_banco1, 0, 1},
                                         std::tuple{T::Benzina_banco1, 1, 10}, std::tuple{T::AssegnazioneIniettori, 0, 0},
                                         std::tuple{T::PressioneGas, 0, 16}, std::tuple{static_cast<T>(39), 1, 1}}) {
        EXPECT_EQ(c.GetValue(type, row, col), 0) << static_cast<int>(type) << ' ' << row << ' ' << col;
        EXPECT_FALSE(c.SetValue(type, row, col, 1)) << static_cast<int>(type);
    }
    EXPECT_EQ(MapTypeName(T::SensoriPressione), "SensoriPressione");
}

TEST(Maps, LevelThresholdsFollowTheSender) {
    TConfiguration c = Defaults(fuelCNG, false, strategySlave);
    c.LevelSensor = 3;
    c.SetAxisValue(T::LivelloGas, 1, 2.5);
    const double fixed[] = {0.7, 1.4, 2.4, 3.8};
    for (int i = 1; i <= 4; ++i)
        EXPECT_DOUBLE_EQ(c.GetAxisValue(T::LivelloGas, i), fixed[i - 1]);
    c.LevelSensor = 5;
    EXPECT_DOUBLE_EQ(c.GetAxisValue(T::LivelloGas, 1), 2.5);
    EXPECT_DOUBLE_EQ(c.GetAxisValue(T::LivelloGas, 4), 4);
}

TEST(Maps, PressureCorrectionForEachNominalPressure) {
    struct Case {
        double p;
        std::array<double, 15> breakpoints;
        std::array<double, 15> corrections;
    };
    const Case cases[] = {
        {1800,
         {700, 800, 900, 1000, 1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800, 1850, 1900, 2000},
         {58, 49, 42, 35, 29, 24, 19, 15, 10, 6, 3, 0, -2, -3, -6}},
        {900,
         {300, 400, 450, 500, 550, 600, 650, 700, 750, 800, 850, 900, 950, 1000, 1100},
         {66, 45, 37, 30, 25, 19, 15, 11, 8, 5, 2, 0, -3, -5, -9}},
        {1200,
         {500, 600, 700, 800, 850, 900, 950, 1000, 1050, 1100, 1150, 1200, 1250, 1300, 1400},
         {50, 37, 28, 21, 18, 15, 12, 9, 7, 4, 2, 0, -2, -4, -7}},
        {1700,
         {700, 800, 900, 1000, 1100, 1200, 1300, 1400, 1500, 1600, 1650, 1700, 1750, 1800, 1900},
         {53, 45, 38, 31, 25, 20, 15, 11, 7, 3, 2, 0, -2, -3, -6}},
        {2900,
         {1150, 1250, 1350, 1450, 1550, 1650, 1750, 1850, 1950, 2050, 2150, 2250, 2350, 2450, 3100},
         {59, 52, 47, 41, 37, 33, 29, 25, 22, 19, 16, 14, 11, 9, -3}},
        {700,
         {100, 200, 250, 300, 350, 400, 450, 500, 550, 600, 650, 700, 750, 800, 900},
         {165, 87, 67, 53, 41, 32, 25, 18, 13, 8, 4, 0, -3, -6, -12}},
    };
    for (const Case& k : cases) {
        TConfiguration c;
        c.BuildPressureCorrection(k.p);
        EXPECT_EQ(c.PressioneGas, k.breakpoints) << k.p;
        EXPECT_EQ(c.CorrPressioneGas, k.corrections) << k.p;
    }
}

TEST(Maps, PressureCorrectionAtOrBelow600MbarStaysFinite) {
    for (const double p : {600.0, 300.0, 0.0, -50.0}) {
        TConfiguration c;
        c.BuildPressureCorrection(p);
        for (size_t i = 0; i < 15; ++i) {
            EXPECT_TRUE(std::isfinite(c.CorrPressioneGas[i])) << p << ' ' << i;
            EXPECT_GE(c.PressioneGas[i], 0) << p << ' ' << i;
        }
    }
}

TEST(Parameters, FileNameFromModelStrategyAndDate) {
    TConfiguration c;
    c.CarModel = "A/B:C";
    c.ConfigDate = "010203";
    c.BuildFileName();
    EXPECT_EQ(c.FileName, "A B C 2003-02-01.cfg");
    c.CarModel = "Sedan 1.6";
    c.ConfigDate = "250309";
    c.StrategyFlag = strategyCompensated;
    c.BuildFileName();
    EXPECT_EQ(c.FileName, "Sedan 1.6 Comp. 2009-03-25.cfg");
    c.ConfigDate = "000000";
    c.CarModel = "Other";
    c.BuildFileName();
    EXPECT_EQ(c.FileName, "Sedan 1.6 Comp. 2009-03-25.cfg");
}

TEST(Parameters, RangeCheckAndRpmRounding) {
    TDataMap map;
    map.SetEnableCheckRanges(true, false);
    EXPECT_TRUE(map.IsInRange(500, 500, 4000));
    EXPECT_TRUE(map.IsInRange(4000, 500, 4000));
    EXPECT_FALSE(map.IsInRange(4001, 500, 4000));
    EXPECT_FALSE(map.IsInRange(499.5, 500, 4000));
    map.SetEnableCheckRanges(false, false);
    EXPECT_TRUE(map.IsInRange(1e9, 500, 4000));
    EXPECT_EQ(TDataMap::RoundToHundred(1849), 1800);
    EXPECT_EQ(TDataMap::RoundToHundred(1850), 1900);
    const TParameterInfo* p = FindParameter("SwitchRPM");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Lower, 500);
    EXPECT_EQ(ParameterValue(map, *p), 1800);
}

TEST(Parameters, RangeCheckSettingIsStoredAndRead) {
    TMemorySettingsStore settings;
    TDataMap absent(settings);
    EXPECT_FALSE(absent.EnableCheckRanges()); // an installation that wrote nothing
    absent.SetEnableCheckRanges(true);
    EXPECT_TRUE(TDataMap(settings).EnableCheckRanges());
    TDataMap(settings).SetEnableCheckRanges(false);
    EXPECT_FALSE(TDataMap(settings).EnableCheckRanges());
    TDataMap(settings).SetEnableCheckRanges(true, false); // the window's refresh: not stored
    EXPECT_FALSE(TDataMap(settings).EnableCheckRanges());
}
