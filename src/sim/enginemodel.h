#pragma once
// A small car engine with a gas kit, good enough to make the simulated ECU's live status
// look like a real installation: the engine is started, idles, revs up and down in a
// repeating cycle, warms the reducer, and the kit changes over from petrol to gas once
// the reducer is warm and the engine has passed the switch-over speed. Time moves only
// when the caller says so (Advance), and every value depends on that time, the kit's
// state and a seed, so two models fed the same calls give the same numbers.

#include <QtGlobal>

#include <array>

namespace ambrel::sim {

enum class TInjectionSequence { Sequential, FullGroup, SemiSequential };

// Strategy codes as the ECU reports them.
enum class TStrategy : quint8 { Slave = 1, Compensated = 2 };

// Engine state codes of the live status.
enum TEngineState : int { engineOff = 0, engineKeyOn = 1, engineOn = 2, engineWaiting = 3, engineStall = 4 };

// The kit's power mode: why it runs on petrol, or that it runs on gas. A change-over is
// pending while the mode already says gas but the petrol flag is still set.
enum TPowerMode : int {
    powerGas = 5,
    powerForcedPetrol = 6,
    powerWaitingStart = 16,
    powerWaitingRpm = 48,
    powerWaitingTemperature = 64,
    powerPetrol = 160,
};

struct TEngineOptions {
    quint32 Seed = 1;
    // Time stands still: every snapshot is the same until the model is unfrozen.
    bool Frozen = false;
    // Model time to start from; the model runs up to it before the first snapshot.
    qint64 StartMs = 0;
    TInjectionSequence Sequence = TInjectionSequence::Sequential;
    int Cylinders = 4; // 1..8
};

// One snapshot in engineering units. Channels beyond the cylinder count stay 0.
struct TEngineValues {
    qint64 TimeMs = 0;
    int Cylinders = 4;
    TInjectionSequence Sequence = TInjectionSequence::Sequential;
    int EngineState = engineOff;
    int PowerMode = powerPetrol;
    bool OnPetrol = true;
    bool ChangeoverPending = false;
    bool SolenoidOpen = false;
    int Rpm = 0;
    double Throttle = 0; // 0..1
    double TpsVolts = 0; // 0-5 V sensor
    double MapMbar = 0;
    std::array<double, 8> PetrolTimeMs{};
    std::array<double, 8> GasTimeMs{}; // per cylinder channel; also per gas injector A..H
    std::array<double, 8> InjectorCurrentA{};
    double Lambda1V = 0;
    double Lambda2V = 0;
    double LambdaReferenceV = 0.45;
    double EmulatedLambda1V = 0;
    double EmulatedLambda2V = 0;
    double ReducerTempC = 20;
    double GasTempC = 20;
    int GasPressureMbar = 0;
    int GasPressure2Mbar = 0;
    double FuelTrim1Pct = 0;
    double FuelTrim2Pct = 0;
    double BatteryV = 0;
    double SupplyV = 5.0;
    double TankLevelPct = 0;
    double LevelSensorV = 0;
    bool MapCorrectionActive = false;
    int PetrolInjectorMask = 0;
    int GasInjectorMask = 0;
    int GasDelayMs = 0;
};

class TEngineModel {
public:
    // The kit changes over when the reducer is this warm and the engine this fast.
    static constexpr double kSwitchTemperatureC = 35.0;
    static constexpr int kSwitchRpm = 1500;
    // How long petrol and gas injectors overlap during a change-over.
    static constexpr qint64 kOverlapMs = 1500;
    static constexpr int kIdleRpm = 850;

    explicit TEngineModel(const TEngineOptions& options = {});

    // Moves model time on by ms (nothing while frozen).
    void Advance(qint64 ms);
    void SetFrozen(bool frozen) { m_frozen = frozen; }
    bool Frozen() const { return m_frozen; }
    qint64 TimeMs() const { return m_timeMs; }

    void SetSequence(TInjectionSequence sequence) { m_sequence = sequence; }
    TInjectionSequence Sequence() const { return m_sequence; }
    void SetStrategy(TStrategy strategy) { m_strategy = strategy; }
    int Cylinders() const { return m_cylinders; }

    // The change-over button: a press on gas or during a pending change-over forces
    // petrol; a press on forced petrol lets the kit change over again when it may.
    void PressFuelSwitch();
    // The workbench can keep the gas solenoid shut (the kit then stays on petrol).
    void SetSolenoidDisabled(bool disabled);
    // The engine stalls now: "Stall" for a moment, then it cranks ("Waiting") and runs again.
    void Stall();
    bool SolenoidDisabled() const { return m_solenoidDisabled; }

    TEngineValues Values() const;

    // Usage figures for the ECU's counters.
    quint32 EngineStarts() const { return m_starts; }
    qint64 MsOnGas() const { return m_msOnGas; }
    qint64 MsOnPetrol() const { return m_msOnPetrol; }

private:
    enum class TFuel { Petrol, Pending, Gas };
    struct TMotion {
        int State = engineOff;
        qint64 RunMs = -1; // time since the engine started, -1 while it does not run
        double Throttle = 0;
        int Rpm = 0;
        bool Accelerating = false;
    };

    TMotion MotionAt(qint64 t) const;
    double ReducerTempAt(qint64 runMs) const;
    double Noise(int channel, qint64 t) const;
    void Step(qint64 ms);

    quint32 m_seed;
    bool m_frozen = false;
    qint64 m_timeMs = 0;
    qint64 m_stallAtMs = -1;
    int m_cylinders;
    TInjectionSequence m_sequence;
    TStrategy m_strategy = TStrategy::Slave;
    TFuel m_fuel = TFuel::Petrol;
    qint64 m_pendingSinceMs = 0;
    bool m_forcedPetrol = false;
    bool m_solenoidDisabled = false;
    bool m_wasRunning = false;
    quint32 m_starts = 0;
    qint64 m_msOnGas = 0;
    qint64 m_msOnPetrol = 0;
};

} // namespace ambrel::sim
