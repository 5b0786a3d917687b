#include "enginemodel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ambrel::sim {

namespace {

// The course of a drive: the key is turned, the engine cranks and starts, then it runs a
// repeating minute of idling and three blips of the throttle.
constexpr qint64 kKeyOnAtMs = 1500;
constexpr qint64 kCrankAtMs = 3000;
constexpr qint64 kStartAtMs = 4500;
constexpr qint64 kStallMs = 2000;      // standing still after a stall
constexpr qint64 kRestartCrankMs = 1500; // cranking again after it
constexpr qint64 kCycleMs = 60000;
constexpr qint64 kRevvingFromMs = 20000;
constexpr qint64 kRevvingToMs = 50000;
constexpr qint64 kBlipMs = 10000;
constexpr int kRevRangeRpm = 2150; // idle + this = top of a blip
constexpr qint64 kStepMs = 20;     // the kit's state machine runs at this grain
constexpr qint64 kNoiseGrainMs = 100;
constexpr qint64 kLambdaWarmMs = 8000;
constexpr double kAmbientC = 20.0;
constexpr double kAtmosphereMbar = 1013.0;
constexpr double kTankStartPct = 68.0;

double Clamp(double v, double lo, double hi) {
    return std::min(std::max(v, lo), hi);
}

} // namespace

TEngineModel::TEngineModel(const TEngineOptions& options)
    : m_seed(options.Seed), m_cylinders(std::clamp(options.Cylinders, 1, 8)), m_sequence(options.Sequence) {
    Advance(options.StartMs);
    m_frozen = options.Frozen;
}

// Deterministic noise in [-1, 1]: a hash of the seed, a channel and the time grain, so the
// value does not depend on how the caller slices time into Advance calls.
double TEngineModel::Noise(int channel, qint64 t) const {
    quint64 x = (static_cast<quint64>(m_seed) << 32) ^
                (static_cast<quint64>(channel) * 0x9E3779B97F4A7C15ull) ^
                static_cast<quint64>(t / kNoiseGrainMs);
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    x ^= x >> 33;
    return static_cast<double>(x & 0xFFFFFF) / static_cast<double>(0x7FFFFF) - 1.0;
}

TEngineModel::TMotion TEngineModel::MotionAt(qint64 t) const {
    TMotion m;
    if (t < kKeyOnAtMs)
        return m;
    if (t < kCrankAtMs) {
        m.State = engineKeyOn;
        return m;
    }
    // Cranking: the ECU waits for the engine to catch.
    const auto crank = [&] {
        m.State = engineWaiting;
        m.Rpm = static_cast<int>(std::lround(250 + 30 * Noise(1, t)));
        return m;
    };
    if (t < kStartAtMs)
        return crank();
    if (m_stallAtMs >= 0 && t >= m_stallAtMs && t < m_stallAtMs + kStallMs) {
        m.State = engineStall;
        return m;
    }
    if (m_stallAtMs >= 0 && t >= m_stallAtMs + kStallMs && t < m_stallAtMs + kStallMs + kRestartCrankMs)
        return crank();
    m.State = engineOn;
    m.RunMs = t - kStartAtMs;
    const qint64 inCycle = m.RunMs % kCycleMs;
    if (inCycle >= kRevvingFromMs && inCycle < kRevvingToMs) {
        const double x =
            static_cast<double>((inCycle - kRevvingFromMs) % kBlipMs) / static_cast<double>(kBlipMs);
        const double s = std::sin(std::numbers::pi * x);
        m.Throttle = s * s;
        m.Accelerating = x < 0.5;
    }
    // Just after the start the idle speed flares and settles.
    const double flare = 250.0 * std::exp(-static_cast<double>(m.RunMs) / 700.0);
    m.Rpm = static_cast<int>(std::lround(kIdleRpm + flare + kRevRangeRpm * m.Throttle + 12 * Noise(2, t)));
    return m;
}

double TEngineModel::ReducerTempAt(qint64 runMs) const {
    if (runMs < 0)
        return kAmbientC;
    return kAmbientC + 60.0 * (1.0 - std::exp(-static_cast<double>(runMs) / 25000.0));
}

void TEngineModel::Stall() {
    m_stallAtMs = m_timeMs;
}

void TEngineModel::Advance(qint64 ms) {
    if (m_frozen)
        return;
    while (ms > 0) {
        const qint64 step = std::min(ms, kStepMs);
        Step(step);
        ms -= step;
    }
}

void TEngineModel::Step(qint64 ms) {
    m_timeMs += ms;
    const TMotion m = MotionAt(m_timeMs);
    const bool running = m.RunMs >= 0;
    if (running && !m_wasRunning)
        ++m_starts;
    m_wasRunning = running;

    if (!running || m_forcedPetrol || m_solenoidDisabled) {
        m_fuel = TFuel::Petrol;
    } else if (m_fuel == TFuel::Petrol) {
        if (ReducerTempAt(m.RunMs) >= kSwitchTemperatureC && m.Rpm >= kSwitchRpm) {
            m_fuel = TFuel::Pending;
            m_pendingSinceMs = m_timeMs;
        }
    } else if (m_fuel == TFuel::Pending && m_timeMs - m_pendingSinceMs >= kOverlapMs) {
        m_fuel = TFuel::Gas;
    }

    if (running) {
        if (m_fuel == TFuel::Gas)
            m_msOnGas += ms;
        else
            m_msOnPetrol += ms;
    }
}

void TEngineModel::PressFuelSwitch() {
    if (m_fuel != TFuel::Petrol) {
        m_forcedPetrol = true;
        m_fuel = TFuel::Petrol;
    } else {
        m_forcedPetrol = false;
    }
}

void TEngineModel::SetSolenoidDisabled(bool disabled) {
    m_solenoidDisabled = disabled;
    if (disabled)
        m_fuel = TFuel::Petrol;
}

TEngineValues TEngineModel::Values() const {
    const qint64 t = m_timeMs;
    const TMotion m = MotionAt(t);
    const bool running = m.RunMs >= 0;
    const double runMs = static_cast<double>(std::max<qint64>(m.RunMs, 0));

    TEngineValues v;
    v.TimeMs = t;
    v.Cylinders = m_cylinders;
    v.Sequence = m_sequence;
    v.EngineState = m.State;
    v.Rpm = m.Rpm;
    v.Throttle = m.Throttle;
    v.OnPetrol = m_fuel != TFuel::Gas;
    v.ChangeoverPending = m_fuel == TFuel::Pending;
    v.SolenoidOpen = m_fuel != TFuel::Petrol;
    const bool gasFlowing = v.SolenoidOpen;

    if (m.State == engineOff)
        v.PowerMode = powerPetrol;
    else if (m_fuel != TFuel::Petrol)
        v.PowerMode = powerGas;
    else if (m_forcedPetrol)
        v.PowerMode = powerForcedPetrol;
    else if (m_solenoidDisabled)
        v.PowerMode = powerPetrol;
    else if (!running)
        v.PowerMode = powerWaitingStart;
    else if (ReducerTempAt(m.RunMs) < kSwitchTemperatureC)
        v.PowerMode = powerWaitingTemperature;
    else
        v.PowerMode = powerWaitingRpm;

    // Manifold pressure follows the throttle; the sensor reads the atmosphere at rest.
    const bool turning = m.State == engineOn || m.State == engineWaiting; // running or cranking
    if (turning)
        v.MapMbar = running ? std::round(330 + 520 * m.Throttle + 5 * Noise(3, t)) : 900;
    else
        v.MapMbar = kAtmosphereMbar;
    v.TpsVolts = m.State == engineOff ? 0.0 : 0.5 + 3.8 * m.Throttle;

    const int channelMask = (1 << m_cylinders) - 1;
    if (turning) {
        // Petrol pulses keep coming from the car's ECU on gas as well.
        const double base = running ? 2.9 * v.MapMbar / 330.0 : 8.0;
        for (int c = 0; c < m_cylinders; ++c) {
            const auto i = static_cast<std::size_t>(c);
            v.PetrolTimeMs[i] = std::round(1000 * base * (1.0 + 0.01 * (c - 1.5))) / 1000;
            if (gasFlowing) {
                v.GasTimeMs[i] = m_strategy == TStrategy::Slave ? 1.3 * v.PetrolTimeMs[i] + 0.8
                                                                : 1.2 * v.PetrolTimeMs[i] + 1.0;
                v.GasTimeMs[i] = std::round(1000 * v.GasTimeMs[i]) / 1000;
                v.InjectorCurrentA[i] = 1.0 + 0.05 * Noise(10 + c, t);
            }
        }
        v.PetrolInjectorMask = channelMask;
        v.GasInjectorMask = gasFlowing ? channelMask : 0;
    }

    // The probes oscillate around the reference once warm; a cold probe sits near it.
    if (running && m.RunMs >= kLambdaWarmMs) {
        const double phase = 2 * std::numbers::pi * runMs / 1200.0;
        v.Lambda1V = 0.45 + 0.35 * std::sin(phase);
        v.Lambda2V = 0.45 + 0.35 * std::sin(phase + 1.8);
    } else if (turning) {
        v.Lambda1V = v.Lambda2V = 0.45;
    }
    v.EmulatedLambda1V = v.Lambda1V;
    v.EmulatedLambda2V = v.Lambda2V;

    v.ReducerTempC = ReducerTempAt(m.RunMs);
    v.GasTempC = kAmbientC + 8.0 * (1.0 - std::exp(-runMs / 90000.0));

    if (gasFlowing)
        v.GasPressureMbar = static_cast<int>(std::lround(1200 - 60 * m.Throttle + 15 * Noise(4, t)));
    else
        v.GasPressureMbar = m.State == engineOff ? 0 : 1050; // what the reducer holds
    v.GasPressure2Mbar = v.GasPressureMbar + static_cast<int>(v.MapMbar);

    if (m_fuel == TFuel::Gas) {
        v.FuelTrim1Pct = 3.0 * std::sin(2 * std::numbers::pi * runMs / 17000.0);
        v.FuelTrim2Pct = 2.0 * std::sin(2 * std::numbers::pi * runMs / 23000.0);
    }

    switch (m.State) {
    case engineOff:
        v.BatteryV = 12.45;
        break;
    case engineKeyOn:
    case engineStall:
        v.BatteryV = 12.2;
        break;
    default:
        v.BatteryV = running ? 13.8 + 0.05 * Noise(5, t) : 10.6;
        break;
    }
    v.SupplyV = m.State == engineOff ? 0.0 : 5.0;

    v.TankLevelPct = Clamp(kTankStartPct - 0.5 * static_cast<double>(m_msOnGas) / 60000.0, 0, 100);
    v.LevelSensorV = m.State == engineOff ? 0.0 : 0.5 + 0.04 * v.TankLevelPct;

    v.MapCorrectionActive = running && m.Accelerating;
    v.GasDelayMs = running ? static_cast<int>(std::lround(3 - 2 * m.Throttle)) : 0;
    return v;
}

} // namespace ambrel::sim
