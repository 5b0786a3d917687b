// The derived measures: each scaling by sensor type, the units, the engine state rules,
// the 19/20 gas pressure filter and the running petrol averages over a run of replies.

#include "measure/measures.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

namespace {

TDerivedMeasures DeriveOnce(const TRawMeasures& raw, const TMeasureSettings& settings = {}, int hardware = 4) {
    TDerivedMeasures m;
    Derive(raw, settings, hardware, m);
    return m;
}

struct TLambdaCase {
    int Type;
    int Count;
    double Volts;
};

} // namespace

TEST(Derive, LambdaVoltsByProbeType) {
    const TLambdaCase cases[] = {
        {0, 255, 1.0}, {1, 0, 0.0},    {1, 51, 0.2},  {1, 255, 1.0},   {2, 51, 1.0},   {2, 255, 5.0},
        {3, 0, 5.0},   {3, 255, 0.0},  {3, 51, 4.0},  {4, 0, 0.8},     {4, 255, 1.6},  {5, 0, 4.0},
        {5, 255, 1.0}, {5, 85, 3.0},
    };
    for (const TLambdaCase& c : cases) {
        TRawMeasures raw;
        raw.Slot[30] = raw.Slot[31] = raw.Slot[41] = c.Count;
        TMeasureSettings settings;
        settings.LambdaType = c.Type;
        const TDerivedMeasures m = DeriveOnce(raw, settings);
        EXPECT_NEAR(m.Lambda1, c.Volts, 1e-12) << "type " << c.Type << " count " << c.Count;
        EXPECT_NEAR(m.Lambda2, c.Volts, 1e-12);
        EXPECT_NEAR(m.LambdaReference, c.Volts, 1e-12);
    }
}

TEST(Derive, ThrottleVoltsBySensorType) {
    const struct {
        int Type;
        int Count;
        double Volts;
    } cases[] = {{0, 200, 0.0}, {1, 0, 0.0}, {1, 51, 1.0}, {1, 255, 5.0}, {2, 0, 5.0}, {2, 255, 0.0}, {2, 204, 1.0}};
    for (const auto& c : cases) {
        TRawMeasures raw;
        raw.Slot[49] = c.Count;
        TMeasureSettings settings;
        settings.TPSType = c.Type;
        EXPECT_NEAR(DeriveOnce(raw, settings).TPSVoltage, c.Volts, 1e-12) << c.Type << "/" << c.Count;
    }
}

TEST(Derive, UnknownTypesAndStatesKeepThePreviousValues) {
    TRawMeasures raw;
    raw.Slot[30] = raw.Slot[41] = 100;
    raw.Slot[49] = 100;
    raw.Slot[50] = 3;
    TDerivedMeasures m;
    Derive(raw, {}, 4, m);
    const TDerivedMeasures before = m;
    raw.Slot[30] = raw.Slot[41] = raw.Slot[49] = 200;
    raw.Slot[50] = 7;
    TMeasureSettings odd;
    odd.TPSType = 3;
    odd.LambdaType = 6;
    Derive(raw, odd, 4, m);
    EXPECT_EQ(m.TPSVoltage, before.TPSVoltage);
    EXPECT_EQ(m.Lambda1, before.Lambda1);
    EXPECT_EQ(m.LambdaReference, before.LambdaReference);
    EXPECT_EQ(m.EngineState, 3);
    raw.Slot[50] = 0xFFFF;
    Derive(raw, odd, 4, m);
    EXPECT_EQ(m.EngineState, esNone);
    EXPECT_EQ(EngineStateText(m.EngineState), "");
}

TEST(Derive, EngineStateTexts) {
    const char* texts[] = {"Engine off", "Key on", "Engine on", "Waiting", "Stall"};
    for (int state = 0; state <= 4; ++state) {
        TRawMeasures raw;
        raw.Slot[50] = state;
        const TDerivedMeasures m = DeriveOnce(raw);
        EXPECT_EQ(m.EngineState, state);
        EXPECT_EQ(EngineStateText(m.EngineState), texts[state]);
    }
}

TEST(Derive, UnitsOfEveryScaledMeasure) {
    TRawMeasures raw;
    raw.EngineSpeed = 850;
    raw.Battery = 1385;
    for (std::size_t c = 0; c < 8; ++c) {
        raw.Slot[c] = 2900 + static_cast<int>(c);
        raw.Slot[22 + c] = 4570;
        raw.Slot[53 + c] = 4600 + static_cast<int>(c);
        raw.Slot[12 + c] = 512;
    }
    raw.Slot[8] = 512;   // 5.005 V
    raw.Slot[9] = 400;   // 80 °C
    raw.Slot[10] = 79;   // -0.25 °C
    raw.Slot[11] = 51;   // 20 %
    raw.Slot[32] = 1200;
    raw.Slot[33] = 1530;
    raw.Slot[36] = 36045; // about +10 %
    raw.Slot[37] = 32768;
    raw.Slot[38] = 0;
    raw.Slot[39] = 5;
    raw.Slot[40] = 330;
    raw.Slot[47] = 45;
    raw.Slot[48] = 80;
    raw.Slot[51] = 1;
    raw.Slot[52] = 1023;
    raw.Slot[61] = 1;
    raw.Slot[62] = 0x0F;
    raw.Slot[63] = 0x81;
    raw.Slot[64] = 3;
    const TDerivedMeasures m = DeriveOnce(raw);
    EXPECT_FALSE(m.OnPetrol);
    EXPECT_FALSE(m.ChangeoverPending); // 5 means pending only while still on petrol
    EXPECT_EQ(m.RPM, 850);
    EXPECT_EQ(m.MAP, 330);
    EXPECT_DOUBLE_EQ(m.PetrolTime[0], 2.9);
    EXPECT_DOUBLE_EQ(m.PetrolTime[7], 2.907);
    EXPECT_DOUBLE_EQ(m.GasTime[3], 4.57);
    EXPECT_DOUBLE_EQ(m.GasInjectorTime[7], 4.607);
    EXPECT_DOUBLE_EQ(m.EmulatedLambda1, 0.45);
    EXPECT_DOUBLE_EQ(m.EmulatedLambda2, 0.8);
    EXPECT_DOUBLE_EQ(m.ReducerTemp, 80);
    EXPECT_DOUBLE_EQ(m.GasTemp, -0.25);
    EXPECT_EQ(m.GasPressure, 1200);
    EXPECT_EQ(m.GasPressure2, 1530);
    EXPECT_NEAR(m.FuelTrim1, 10.0, 0.01);
    EXPECT_DOUBLE_EQ(m.FuelTrim2, 0);
    EXPECT_DOUBLE_EQ(m.BatteryVoltage, 13.85);
    EXPECT_NEAR(m.SupplyVoltage, 5.0049, 1e-4);
    EXPECT_DOUBLE_EQ(m.TankLevel, 20);
    EXPECT_NEAR(m.InjectorCurrent[0], 512 * 5 * 1.6889 / 1024, 1e-12);
    EXPECT_TRUE(m.MapCorrectionActive);
    EXPECT_NEAR(m.LevelSensorVoltage, 5.5, 1e-12);
    EXPECT_EQ(m.PetrolInjectorActive, (std::array<bool, 8>{true, true, true, true, false, false, false, false}));
    EXPECT_EQ(m.GasInjectorActive, (std::array<bool, 8>{true, false, false, false, false, false, false, true}));
    EXPECT_TRUE(m.SolenoidOpen);
    EXPECT_EQ(m.GasDelay, 3);

    raw.Slot[38] = 1;
    EXPECT_TRUE(DeriveOnce(raw).ChangeoverPending);
    // Hardware 3 senses the injector current through a different shunt.
    EXPECT_NEAR(DeriveOnce(raw, {}, 3).InjectorCurrent[5], 512 * 5 * 0.3406 / 1024, 1e-12);
}

TEST(Derive, GasPressureFilterMovesOneTwentiethInIntegerSteps) {
    TRawMeasures raw;
    raw.Slot[32] = 1000;
    TDerivedMeasures m;
    QList<int> seen;
    for (int i = 0; i < 4; ++i) {
        Derive(raw, {}, 4, m);
        seen << m.GasPressureFiltered;
    }
    EXPECT_EQ(seen, (QList<int>{50, 97, 142, 184}));
}

// Bank 1 follows channel 1 and bank 2 channel 5, each averaged on the fuel in use; the
// other fuel's averages stay where they were and nothing resets them.
TEST(Derive, PetrolAveragesRunSeparatelyOnPetrolAndOnGas) {
    TRawMeasures raw;
    TDerivedMeasures m;
    raw.Slot[38] = 1;
    raw.Slot[0] = 4000;
    raw.Slot[4] = 2000;
    Derive(raw, {}, 4, m);
    EXPECT_DOUBLE_EQ(m.PetrolOnPetrolAvg[0], 0.2);
    EXPECT_DOUBLE_EQ(m.PetrolOnPetrolAvg[1], 0.1);
    Derive(raw, {}, 4, m);
    EXPECT_DOUBLE_EQ(m.PetrolOnPetrolAvg[0], (4.0 + 19 * 0.2) / 20);
    EXPECT_EQ(m.PetrolOnGasAvg, (std::array<double, 2>{0, 0}));

    raw.Slot[38] = 0;
    raw.Slot[0] = 6000;
    const double onPetrol = m.PetrolOnPetrolAvg[0];
    Derive(raw, {}, 4, m);
    EXPECT_DOUBLE_EQ(m.PetrolOnGasAvg[0], 0.3);
    EXPECT_DOUBLE_EQ(m.PetrolOnGasAvg[1], 0.1);
    EXPECT_DOUBLE_EQ(m.PetrolOnPetrolAvg[0], onPetrol);
}
