// The engine model: the course of a drive, the change-over to gas, the lambda signal,
// determinism, and the status records read back at their byte offsets.

#include "sim/enginemodel.h"
#include "sim/statusrecords.h"

#include "simexchange.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace ambrel::sim;
using namespace ambrel::sim::test;

namespace {

TEngineValues At(qint64 ms, quint32 seed = 1) {
    TEngineOptions o;
    o.StartMs = ms;
    o.Seed = seed;
    return TEngineModel(o).Values();
}

struct TPhaseCase {
    const char* Name;
    qint64 TimeMs;
    int State;
    int MinRpm;
    int MaxRpm;
    double MinBattery;
    double MaxBattery;
};

class DrivePhase : public ::testing::TestWithParam<TPhaseCase> {};

} // namespace

TEST_P(DrivePhase, EngineIsInItsPhase) {
    const auto& c = GetParam();
    const TEngineValues v = At(c.TimeMs);
    EXPECT_EQ(v.EngineState, c.State);
    EXPECT_GE(v.Rpm, c.MinRpm);
    EXPECT_LE(v.Rpm, c.MaxRpm);
    EXPECT_GE(v.BatteryV, c.MinBattery);
    EXPECT_LE(v.BatteryV, c.MaxBattery);
}

// The engine starts 4.5 s in; each minute after that it idles 20 s, blips the throttle
// three times in 30 s (tops at 5 s into each blip) and idles again.
INSTANTIATE_TEST_SUITE_P(Drive, DrivePhase,
                         ::testing::Values(TPhaseCase{"Off", 500, engineOff, 0, 0, 12.0, 12.6},
                                           TPhaseCase{"KeyOn", 2000, engineKeyOn, 0, 0, 11.8, 12.6},
                                           TPhaseCase{"Cranking", 3500, engineWaiting, 200, 300, 9.5, 11.5},
                                           TPhaseCase{"Idle", 14500, engineOn, 820, 880, 13.7, 13.9},
                                           TPhaseCase{"BlipTop", 29500, engineOn, 2900, 3100, 13.7, 13.9},
                                           TPhaseCase{"IdleAgain", 64000, engineOn, 820, 880, 13.7, 13.9},
                                           TPhaseCase{"NextMinuteBlipTop", 89500, engineOn, 2900, 3100, 13.7,
                                                      13.9}),
                         TCaseName());

TEST(EngineModel, StallShowsStallThenWaitingThenRunsAgainOnPetrol) {
    TEngineOptions options;
    options.StartMs = 45000; // warm, on gas
    TEngineModel model(options);
    ASSERT_FALSE(model.Values().OnPetrol);
    const int starts = model.EngineStarts();
    model.Stall();
    struct Step {
        qint64 AdvanceMs;
        int State;
        bool Stopped;
    };
    const Step steps[] = {{100, engineStall, true}, {1800, engineStall, true}, {500, engineWaiting, false},
                          {1500, engineOn, false}};
    for (const Step& s : steps) {
        model.Advance(s.AdvanceMs);
        const TEngineValues v = model.Values();
        EXPECT_EQ(v.EngineState, s.State) << model.TimeMs();
        EXPECT_EQ(v.Rpm == 0, s.Stopped) << model.TimeMs();
        EXPECT_TRUE(v.OnPetrol) << model.TimeMs(); // a stall drops the kit back to petrol
    }
    EXPECT_EQ(model.EngineStarts(), starts + 1);
}

TEST(EngineModel, ManifoldPressureFollowsTheThrottle) {
    EXPECT_NEAR(At(500).MapMbar, 1013, 1);
    const TEngineValues idle = At(14500);
    const TEngineValues top = At(29500);
    EXPECT_NEAR(idle.MapMbar, 330, 10);
    EXPECT_GT(top.MapMbar, 800);
    EXPECT_GT(top.PetrolTimeMs[0], 2 * idle.PetrolTimeMs[0]);
}

TEST(EngineModel, ChangesOverToGasWhenWarmAndFastEnough) {
    TEngineModel m;
    std::vector<int> modes;
    qint64 pendingAt = -1;
    qint64 gasAt = -1;
    for (qint64 t = 0; t < 60000 && gasAt < 0; t += 20) {
        m.Advance(20);
        const TEngineValues v = m.Values();
        if (modes.empty() || modes.back() != v.PowerMode)
            modes.push_back(v.PowerMode);
        if (v.ChangeoverPending && pendingAt < 0) {
            pendingAt = v.TimeMs;
            EXPECT_GE(v.ReducerTempC, TEngineModel::kSwitchTemperatureC);
            EXPECT_GE(v.Rpm, TEngineModel::kSwitchRpm);
            EXPECT_TRUE(v.OnPetrol);
            EXPECT_TRUE(v.SolenoidOpen);
        }
        if (!v.OnPetrol && gasAt < 0)
            gasAt = v.TimeMs;
        if (pendingAt < 0) {
            EXPECT_TRUE(v.OnPetrol);
            EXPECT_EQ(v.GasTimeMs[0], 0.0);
            EXPECT_EQ(v.GasInjectorMask, 0);
        }
    }
    ASSERT_GT(pendingAt, 0);
    ASSERT_GT(gasAt, 0);
    EXPECT_NEAR(static_cast<double>(gasAt - pendingAt), TEngineModel::kOverlapMs, 20);
    EXPECT_EQ(modes, (std::vector<int>{powerPetrol, powerWaitingStart, powerWaitingTemperature,
                                       powerWaitingRpm, powerGas}));

    const TEngineValues gas = m.Values();
    EXPECT_NEAR(gas.GasPressureMbar, 1200, 100);
    EXPECT_GT(gas.GasTimeMs[0], gas.PetrolTimeMs[0]);
    EXPECT_EQ(gas.GasInjectorMask, 0x0F);
    EXPECT_GT(gas.PetrolTimeMs[0], 0.0); // the car's ECU keeps sending its pulses
}

TEST(EngineModel, FuelSwitchForcesPetrolAndReleasesIt) {
    TEngineOptions o;
    o.StartMs = 40000; // on gas, blipping the throttle
    TEngineModel m(o);
    ASSERT_FALSE(m.Values().OnPetrol);
    m.PressFuelSwitch();
    m.Advance(5000);
    EXPECT_TRUE(m.Values().OnPetrol);
    EXPECT_EQ(m.Values().PowerMode, powerForcedPetrol);
    m.PressFuelSwitch();
    m.Advance(10000);
    EXPECT_FALSE(m.Values().OnPetrol);
}

TEST(EngineModel, DisabledSolenoidKeepsTheKitOnPetrol) {
    TEngineModel m;
    m.SetSolenoidDisabled(true);
    m.Advance(60000);
    EXPECT_TRUE(m.Values().OnPetrol);
    EXPECT_FALSE(m.Values().SolenoidOpen);
    m.SetSolenoidDisabled(false);
    m.Advance(30000); // into the next blips of the throttle
    EXPECT_FALSE(m.Values().OnPetrol);
}

TEST(EngineModel, WarmLambdaSwingsAroundTheReference) {
    TEngineOptions o;
    o.StartMs = 20000;
    TEngineModel m(o);
    double lo = 5, hi = 0, sum = 0;
    int n = 0;
    for (; n < 200; ++n) {
        m.Advance(50);
        const double l = m.Values().Lambda1V;
        lo = std::min(lo, l);
        hi = std::max(hi, l);
        sum += l;
    }
    EXPECT_LT(lo, 0.15);
    EXPECT_GT(hi, 0.75);
    EXPECT_NEAR(sum / n, m.Values().LambdaReferenceV, 0.05);
}

TEST(EngineModel, SameSeedGivesSameNumbersWhateverTheTimeSlicing) {
    TEngineModel once;
    once.Advance(30000);
    TEngineModel sliced;
    for (int i = 0; i < 4285; ++i)
        sliced.Advance(7);
    sliced.Advance(5);
    EXPECT_EQ(StatusRecord(RawMeasures(once.Values())), StatusRecord(RawMeasures(sliced.Values())));
    EXPECT_NE(StatusRecord(RawMeasures(At(30000, 1))), StatusRecord(RawMeasures(At(30000, 2))));
}

TEST(EngineModel, FrozenModelStandsStill) {
    TEngineOptions o;
    o.StartMs = 33000;
    o.Frozen = true;
    TEngineModel m(o);
    const QByteArray before = StatusRecord(RawMeasures(m.Values()));
    m.Advance(10000);
    EXPECT_EQ(m.TimeMs(), 33000);
    EXPECT_EQ(StatusRecord(RawMeasures(m.Values())), before);
}

// The standard record read at its byte offsets gives back the model's values, to the
// resolution of the raw units.
TEST(StatusRecords, StandardRecordCarriesTheModelValues) {
    const TEngineValues v = At(48000); // on gas, throttle half open
    ASSERT_FALSE(v.OnPetrol);
    const QByteArray r = StatusRecord(RawMeasures(v));
    ASSERT_EQ(r.size(), kStatusSize);
    EXPECT_EQ(Word(r, 0), v.Rpm);
    EXPECT_NEAR(Word(r, 2) / 100.0, v.BatteryV, 0.005);
    EXPECT_NEAR(Word(r, 4) / 1000.0, v.PetrolTimeMs[0], 0.0005);
    EXPECT_NEAR(Word(r, 10) / 1000.0, v.PetrolTimeMs[3], 0.0005);
    EXPECT_EQ(Word(r, 12), 0); // channel 5: no cylinder
    EXPECT_NEAR(Word(r, 20) / 102.3, v.SupplyV, 0.01);
    EXPECT_NEAR(Word(r, 22) / 4.0 - 20, v.ReducerTempC, 0.125);
    EXPECT_NEAR(Word(r, 24) / 4.0 - 20, v.GasTempC, 0.125);
    EXPECT_NEAR(Word(r, 26) * 100.0 / 255, v.TankLevelPct, 0.2);
    EXPECT_NEAR(Word(r, 28) * kInjectorCurrentScale, v.InjectorCurrentA[0], 0.01);
    EXPECT_NEAR(Word(r, 48) / 1000.0, v.GasTimeMs[0], 0.0005);
    EXPECT_NEAR(Word(r, 64) / 255.0, v.Lambda1V, 0.002);
    EXPECT_NEAR(Word(r, 66) / 255.0, v.Lambda2V, 0.002);
    EXPECT_EQ(Word(r, 68), v.GasPressureMbar);
    EXPECT_NEAR((Word(r, 74) / 32768.0 - 1) * 100, v.FuelTrim1Pct, 0.005);
    EXPECT_NEAR((Word(r, 76) / 32768.0 - 1) * 100, v.FuelTrim2Pct, 0.005);
    EXPECT_EQ(Word(r, 78), 0); // petrol mode off: on gas
    EXPECT_EQ(Word(r, 80), static_cast<int>(v.MapMbar));
    EXPECT_NEAR(Word(r, 82) / 255.0, v.LambdaReferenceV, 0.002);
    EXPECT_NEAR(Word(r, 94) / 100.0, v.EmulatedLambda1V, 0.005);
    EXPECT_NEAR(Word(r, 98) * 5.0 / 255, v.TpsVolts, 0.01);
    EXPECT_NEAR(Word(r, 100) * kLevelSensorScale, v.LevelSensorV, 0.005);
    EXPECT_EQ(ByteAt(r, 102), v.PetrolInjectorMask);
    EXPECT_EQ(ByteAt(r, 103), v.GasInjectorMask);
    EXPECT_NEAR(Word(r, 104) / 1000.0, v.GasTimeMs[0], 0.0005);
    EXPECT_EQ(ByteAt(r, 120), v.GasDelayMs);
}

TEST(StatusRecords, ShortRecordCarriesTheModelValues) {
    const TEngineValues v = At(27000); // during the overlap of the change-over
    ASSERT_TRUE(v.ChangeoverPending);
    const QByteArray r = StatusMinRecord(RawMeasures(v));
    ASSERT_EQ(r.size(), kStatusMinSize);
    EXPECT_NEAR(Word(r, 0) / 1000.0, v.PetrolTimeMs[0], 0.0005);
    EXPECT_NEAR(Word(r, 4) / 1000.0, v.GasTimeMs[0], 0.0005);
    EXPECT_EQ(Word(r, 8), v.Rpm);
    EXPECT_EQ(Word(r, 14), static_cast<int>(v.MapMbar));
    EXPECT_NEAR(Word(r, 16) / 4.0 - 20, v.ReducerTempC, 0.125);
    EXPECT_EQ(Word(r, 20), v.GasPressureMbar);
    EXPECT_NE(Word(r, 22), 0);          // still on petrol ...
    EXPECT_EQ(ByteAt(r, 36), powerGas); // ... while the change-over is under way
    EXPECT_EQ(Word(r, 32), v.GasPressure2Mbar);
    EXPECT_EQ(Word(r, 37), engineOn);
    EXPECT_NEAR(Word(r, 44) / 100.0, v.BatteryV, 0.005);
    EXPECT_EQ(ByteAt(r, 46), 1); // solenoid open
    EXPECT_EQ(ByteAt(r, 47), v.GasDelayMs);
}

TEST(StatusRecords, PetrolTimesRecordMarksChannelsWithoutSignal) {
    const TEngineValues v = At(14500);
    const QByteArray r = StatusExtRecord(RawMeasures(v));
    ASSERT_EQ(r.size(), kStatusExtSize);
    EXPECT_NEAR(Word(r, 0) / 1000.0, v.PetrolTimeMs[0], 0.0005);
    EXPECT_NEAR(Word(r, 6) / 1000.0, v.PetrolTimeMs[3], 0.0005);
    for (int channel = 4; channel < 8; ++channel)
        EXPECT_EQ(Word(r, 2 * channel), 0xFFFF);
    EXPECT_EQ(Word(r, 16), v.GasPressureMbar);
    EXPECT_EQ(Word(r, 18), v.GasPressure2Mbar);
    EXPECT_EQ(Word(r, 20), static_cast<int>(v.MapMbar));
    EXPECT_NEAR(Word(r, 28) / 100.0, v.BatteryV, 0.005);
    EXPECT_EQ(Word(r, 30), v.Rpm);
}

namespace {

// Reads a 32-byte injection table the way the workbench does: the first run of as many
// consecutive injections as there are cylinders whose times do not go back (the counter
// wraps), and the gaps between them. Returns the sequence kind and the channels seen.
struct TTableReading {
    TInjectionSequence Kind = TInjectionSequence::Sequential;
    std::multiset<int> Channels;
};

TTableReading ReadTable(const QByteArray& table, int cylinders) {
    int a[17], t[17];
    for (int k = 1; k <= 16; ++k) {
        a[k] = ByteAt(table, k - 1);
        t[k] = static_cast<int>(std::lround(ByteAt(table, 15 + k) * 1.36));
    }
    int s = 1, i = 1;
    while (i - s < cylinders - 1 && i < 16) {
        if (t[i] > t[i + 1])
            i = s = i + 1;
        else
            ++i;
    }
    TTableReading reading;
    int positive = 0, zero = 0;
    for (int k = s; k <= i; ++k) {
        reading.Channels.insert(a[k]);
        if (k > s)
            (t[k] - t[k - 1] > 0 ? positive : zero) += 1;
    }
    if (positive > 0 && zero > 1)
        reading.Kind = TInjectionSequence::SemiSequential;
    else if (positive == 0 && zero > 0)
        reading.Kind = TInjectionSequence::FullGroup;
    return reading;
}

struct TSequenceCase {
    TInjectionSequence Kind;
    int Cylinders;
    int Rpm;
};

class InjectionTableKind : public ::testing::TestWithParam<TSequenceCase> {};

} // namespace

// Over many moments, so that the 8-bit time counter wraps at every place in the table.
TEST_P(InjectionTableKind, TableReadsAsItsSequence) {
    const auto& c = GetParam();
    TEngineValues v;
    v.Sequence = c.Kind;
    v.Cylinders = c.Cylinders;
    v.Rpm = c.Rpm;
    v.PetrolInjectorMask = (1 << c.Cylinders) - 1;
    std::multiset<int> everyChannel;
    for (int ch = 0; ch < c.Cylinders; ++ch)
        everyChannel.insert(ch);
    for (qint64 t = 10000; t < 12000; t += 13) {
        v.TimeMs = t;
        const QByteArray table = InjectionTable(v);
        ASSERT_EQ(table.size(), kInjectionTableSize);
        const TTableReading reading = ReadTable(table, c.Cylinders);
        ASSERT_EQ(reading.Kind, c.Kind) << "at " << t << " ms: " << table.toHex().constData();
        ASSERT_EQ(reading.Channels, everyChannel) << "at " << t << " ms: " << table.toHex().constData();
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, InjectionTableKind,
                         ::testing::Values(TSequenceCase{TInjectionSequence::Sequential, 4, 850},
                                           TSequenceCase{TInjectionSequence::Sequential, 4, 3000},
                                           TSequenceCase{TInjectionSequence::Sequential, 6, 850},
                                           TSequenceCase{TInjectionSequence::Sequential, 8, 2500},
                                           TSequenceCase{TInjectionSequence::FullGroup, 4, 850},
                                           TSequenceCase{TInjectionSequence::FullGroup, 6, 3000},
                                           TSequenceCase{TInjectionSequence::SemiSequential, 4, 850},
                                           TSequenceCase{TInjectionSequence::SemiSequential, 4, 3000},
                                           TSequenceCase{TInjectionSequence::SemiSequential, 8, 850}));

TEST(StatusRecords, EngineAtRestRecordsNoInjections) {
    EXPECT_EQ(InjectionTable(At(500)), QByteArray(kInjectionTableSize, '\0'));
}
