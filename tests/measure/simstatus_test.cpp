// The simulated ECU's status replies read by the workbench's own decoders: over a whole
// drive (engine off, key on, cranking, idle, change-over, revving on gas) every derived
// measure agrees with the engine model's value to the resolution of its raw unit, in all
// three layouts, and the injection table reads as the sequence the model was set to.

#include "measure/measures.h"
#include "sim/enginemodel.h"
#include "sim/statusrecords.h"

#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>

using namespace ambrel;
using namespace ambrel::sim;

namespace {

constexpr int kHardware = 4; // the simulator identifies as hardware 4

TEngineValues At(qint64 ms, TInjectionSequence sequence = TInjectionSequence::Sequential) {
    TEngineOptions o;
    o.StartMs = ms;
    o.Sequence = sequence;
    return TEngineModel(o).Values();
}

TDerivedMeasures Decoded(void (TRawMeasures::*decode)(const QByteArray&), const QByteArray& record) {
    TRawMeasures raw;
    (raw.*decode)(record);
    TDerivedMeasures m;
    Derive(raw, TMeasureSettings{}, kHardware, m);
    return m;
}

const qint64 kMoments[] = {500, 2000, 3500, 9000, 14500, 26000, 27000, 29500, 48000, 65000, 150000};

} // namespace

TEST(SimulatedStatus, StandardReplyAgreesWithTheModel) {
    for (const qint64 t : kMoments) {
        const TEngineValues v = At(t);
        const TDerivedMeasures m = Decoded(&TRawMeasures::DecodeStatus, StatusRecord(RawMeasures(v)));
        SCOPED_TRACE(t);
        EXPECT_EQ(m.RPM, v.Rpm);
        EXPECT_EQ(m.OnPetrol, v.OnPetrol);
        EXPECT_EQ(m.SolenoidOpen, !v.OnPetrol);
        EXPECT_NEAR(m.MAP, v.MapMbar, 0.5);
        EXPECT_NEAR(m.TPSVoltage, v.TpsVolts, 5.0 / 255);
        for (std::size_t c = 0; c < 8; ++c) {
            EXPECT_NEAR(m.PetrolTime[c], v.PetrolTimeMs[c], 0.0005);
            EXPECT_NEAR(m.GasTime[c], v.GasTimeMs[c], 0.0005);
            EXPECT_NEAR(m.GasInjectorTime[c], v.GasTimeMs[c], 0.0005);
            EXPECT_NEAR(m.InjectorCurrent[c], v.InjectorCurrentA[c], 0.005);
            EXPECT_EQ(m.PetrolInjectorActive[c], ((v.PetrolInjectorMask >> c) & 1) != 0);
            EXPECT_EQ(m.GasInjectorActive[c], ((v.GasInjectorMask >> c) & 1) != 0);
        }
        EXPECT_NEAR(m.Lambda1, v.Lambda1V, 0.5 / 255);
        EXPECT_NEAR(m.Lambda2, v.Lambda2V, 0.5 / 255);
        EXPECT_NEAR(m.LambdaReference, v.LambdaReferenceV, 0.5 / 255);
        EXPECT_NEAR(m.EmulatedLambda1, v.EmulatedLambda1V, 0.005);
        EXPECT_NEAR(m.ReducerTemp, v.ReducerTempC, 0.125);
        EXPECT_NEAR(m.GasTemp, v.GasTempC, 0.125);
        EXPECT_EQ(m.GasPressure, v.GasPressureMbar);
        EXPECT_NEAR(m.FuelTrim1, v.FuelTrim1Pct, 0.002);
        EXPECT_NEAR(m.FuelTrim2, v.FuelTrim2Pct, 0.002);
        EXPECT_NEAR(m.BatteryVoltage, v.BatteryV, 0.005);
        EXPECT_NEAR(m.SupplyVoltage, v.SupplyV, 0.005);
        EXPECT_NEAR(m.TankLevel, v.TankLevelPct, 0.2);
        EXPECT_NEAR(m.LevelSensorVoltage, v.LevelSensorV, 0.003);
        EXPECT_EQ(m.GasDelay, v.GasDelayMs);
    }
}

TEST(SimulatedStatus, ShortReplyAgreesWithTheModel) {
    for (const qint64 t : kMoments) {
        const TEngineValues v = At(t);
        const TDerivedMeasures m = Decoded(&TRawMeasures::DecodeStatusMin, StatusMinRecord(RawMeasures(v)));
        SCOPED_TRACE(t);
        EXPECT_EQ(m.RPM, v.Rpm);
        EXPECT_EQ(m.OnPetrol, v.OnPetrol);
        EXPECT_EQ(m.ChangeoverPending, v.ChangeoverPending);
        EXPECT_EQ(m.SolenoidOpen, v.SolenoidOpen);
        EXPECT_EQ(m.EngineState, v.EngineState);
        EXPECT_EQ(m.MapCorrectionActive, v.MapCorrectionActive);
        EXPECT_NEAR(m.PetrolTime[0], v.PetrolTimeMs[0], 0.0005);
        EXPECT_NEAR(m.PetrolTime[4], v.PetrolTimeMs[4], 0.0005);
        EXPECT_NEAR(m.GasTime[0], v.GasTimeMs[0], 0.0005);
        EXPECT_NEAR(m.MAP, v.MapMbar, 0.5);
        EXPECT_NEAR(m.ReducerTemp, v.ReducerTempC, 0.125);
        EXPECT_EQ(m.GasPressure, v.GasPressureMbar);
        EXPECT_EQ(m.GasPressure2, v.GasPressure2Mbar);
        EXPECT_NEAR(m.FuelTrim2, v.FuelTrim2Pct, 0.002);
        EXPECT_NEAR(m.EmulatedLambda2, v.EmulatedLambda2V, 0.005);
        EXPECT_NEAR(m.TankLevel, v.TankLevelPct, 0.2);
        EXPECT_NEAR(m.BatteryVoltage, v.BatteryV, 0.005);
        EXPECT_EQ(m.GasDelay, v.GasDelayMs);
    }
}

TEST(SimulatedStatus, PetrolTimesReplyAgreesWithTheModel) {
    for (const qint64 t : kMoments) {
        const TEngineValues v = At(t);
        const TDerivedMeasures m = Decoded(&TRawMeasures::DecodeStatusExt, StatusExtRecord(RawMeasures(v)));
        SCOPED_TRACE(t);
        for (std::size_t c = 0; c < 8; ++c)
            EXPECT_NEAR(m.PetrolTime[c], v.PetrolTimeMs[c], 0.0005); // no signal reads 0
        EXPECT_EQ(m.GasPressure, v.GasPressureMbar);
        EXPECT_EQ(m.GasPressure2, v.GasPressure2Mbar);
        EXPECT_NEAR(m.MAP, v.MapMbar, 0.5);
        EXPECT_NEAR(m.BatteryVoltage, v.BatteryV, 0.005);
        EXPECT_EQ(m.RPM, v.Rpm);
    }
}

// A drive shows what an installer expects to see: the reducer warms, the kit changes
// over through a pending state, the tank level falls on gas and the pressure sits near
// the reducer's setting.
TEST(SimulatedStatus, DriveGoesThroughTheStatesAnInstallerSees) {
    QSet<int> states;
    bool sawPending = false, sawGas = false;
    double firstTank = -1, lastTank = -1, coldest = 1e9, warmest = -1e9;
    TEngineModel model;
    for (qint64 t = 0; t < 600000; t += 500) {
        const TDerivedMeasures m =
            Decoded(&TRawMeasures::DecodeStatusMin, StatusMinRecord(RawMeasures(model.Values())));
        states << m.EngineState;
        sawPending |= m.ChangeoverPending;
        if (!m.OnPetrol) {
            sawGas = true;
            EXPECT_NEAR(m.GasPressure, 1200, 150) << t;
        }
        if (firstTank < 0)
            firstTank = m.TankLevel;
        lastTank = m.TankLevel;
        coldest = std::min(coldest, m.ReducerTemp);
        warmest = std::max(warmest, m.ReducerTemp);
        model.Advance(500);
    }
    EXPECT_TRUE(states.contains(esEngineOff) && states.contains(esKeyOn) && states.contains(esEngineOn));
    EXPECT_TRUE(sawPending);
    EXPECT_TRUE(sawGas);
    EXPECT_LT(lastTank, firstTank);
    EXPECT_GT(warmest - coldest, 30);
}

TEST(SimulatedStatus, InjectionTableReadsAsTheChosenSequence) {
    const struct {
        TInjectionSequence Kind;
        quint8 Strategy;
    } cases[] = {{TInjectionSequence::Sequential, isSequential},
                 {TInjectionSequence::FullGroup, isFullGroup},
                 {TInjectionSequence::SemiSequential, isSemiSequential}};
    for (const auto& c : cases) {
        for (qint64 t = 14000; t < 15000; t += 37) {
            const TEngineValues v = At(t, c.Kind);
            TSequenceResult r;
            ASSERT_EQ(AnalyseSequence(InjectionTable(v), v.Cylinders, v.Rpm, r), TSequenceOutcome::Analysed);
            ASSERT_EQ(r.InjectionStrategy, c.Strategy) << static_cast<int>(c.Kind) << " at " << t;
            QList<int> channels(r.SequenceInjector.begin(), r.SequenceInjector.begin() + 4);
            std::sort(channels.begin(), channels.end());
            EXPECT_EQ(channels, (QList<int>{1, 2, 3, 4}));
        }
    }
}
