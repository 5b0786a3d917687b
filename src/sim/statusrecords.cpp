#include "statusrecords.h"

#include "link/bytequeue.h"

#include <QList>

#include <cmath>

namespace ambrel::sim {

namespace {

// Where a field of a record comes from: a slot number, or one of these.
enum TSource : int { srcRpm = -1, srcBattery = -2, srcZero = -3 };

struct TField {
    int Source;
    int Bytes; // 1 or 2
};

int Micro(double ms) {
    return static_cast<int>(std::lround(ms * 1000.0));
}

// Appends `count` word fields of consecutive slots starting at `first`.
void Words(QList<TField>& layout, int first, int count = 1) {
    for (int i = 0; i < count; ++i)
        layout.append({first + i, 2});
}

QList<TField> StatusLayout() {
    QList<TField> l;
    l.append({srcRpm, 2});
    l.append({srcBattery, 2});
    Words(l, 0, 8);  // petrol times
    Words(l, 8, 4);  // supply, reducer, gas temperature, tank level
    Words(l, 12, 8); // injector currents
    Words(l, 20, 2);
    Words(l, 22, 8); // gas times
    Words(l, 30, 3); // lambda 1, 2, gas pressure
    Words(l, 34, 5); // spares, fuel trims, petrol mode
    Words(l, 40, 10);
    Words(l, 52);
    l.append({62, 1});
    l.append({63, 1});
    Words(l, 53, 8); // gas injector times A..H
    l.append({64, 1});
    return l;
}

QList<TField> StatusMinLayout() {
    QList<TField> l;
    for (const int slot : {0, 4, 22, 26})
        Words(l, slot);
    l.append({srcRpm, 2});
    for (const int slot : {30, 31, 40, 9, 10, 32, 38, 36, 41, 47, 48, 33, 11})
        Words(l, slot);
    l.append({39, 1});
    Words(l, 50);
    l.append({51, 1});
    Words(l, 52);
    Words(l, 37);
    l.append({srcBattery, 2});
    l.append({61, 1});
    l.append({64, 1});
    return l;
}

QByteArray Encode(const TEngineRaw& raw, const QList<TField>& layout) {
    TByteQueue q;
    for (const auto& f : layout) {
        int v = 0;
        if (f.Source == srcRpm)
            v = raw.RpmWord;
        else if (f.Source == srcBattery)
            v = raw.BatteryWord;
        else if (f.Source >= 0)
            v = raw.Slot[static_cast<std::size_t>(f.Source)];
        if (f.Bytes == 1)
            q.WriteByte(v);
        else
            q.WriteWord(v);
    }
    return q.GetData();
}

// Injection order of the cylinder channels (0 = cylinder 1) for the usual engines.
QList<int> FiringOrder(int cylinders) {
    switch (cylinders) {
    case 4:
        return {0, 2, 3, 1};
    case 6:
        return {0, 4, 2, 5, 1, 3};
    case 8:
        return {0, 7, 3, 2, 5, 4, 6, 1};
    default: {
        QList<int> order;
        for (int c = 0; c < cylinders; ++c)
            order.append(c);
        return order;
    }
    }
}

} // namespace

TEngineRaw RawMeasures(const TEngineValues& v) {
    TEngineRaw r;
    r.Cylinders = v.Cylinders;
    r.RpmWord = v.Rpm;
    r.BatteryWord = static_cast<int>(std::lround(v.BatteryV * 100));
    auto& s = r.Slot;
    for (std::size_t c = 0; c < 8; ++c) {
        s[c] = Micro(v.PetrolTimeMs[c]);
        s[12 + c] = static_cast<int>(std::lround(v.InjectorCurrentA[c] / kInjectorCurrentScale));
        s[22 + c] = Micro(v.GasTimeMs[c]);
        s[53 + c] = Micro(v.GasTimeMs[c]); // gas injector n serves cylinder n
    }
    s[8] = static_cast<int>(std::lround(v.SupplyV * kSupplyCountsPerVolt));
    s[9] = static_cast<int>(std::lround((v.ReducerTempC + 20) * 4));
    s[10] = static_cast<int>(std::lround((v.GasTempC + 20) * 4));
    s[11] = static_cast<int>(std::lround(v.TankLevelPct * 255 / 100));
    s[30] = static_cast<int>(std::lround(v.Lambda1V * 255));
    s[31] = static_cast<int>(std::lround(v.Lambda2V * 255));
    s[32] = v.GasPressureMbar;
    s[33] = v.GasPressure2Mbar;
    s[36] = static_cast<int>(std::lround(32768 * (1 + v.FuelTrim1Pct / 100)));
    s[37] = static_cast<int>(std::lround(32768 * (1 + v.FuelTrim2Pct / 100)));
    s[38] = v.OnPetrol ? 1 : 0;
    s[39] = v.PowerMode;
    s[40] = static_cast<int>(std::lround(v.MapMbar));
    s[41] = static_cast<int>(std::lround(v.LambdaReferenceV * 255));
    s[47] = static_cast<int>(std::lround(v.EmulatedLambda1V * 100));
    s[48] = static_cast<int>(std::lround(v.EmulatedLambda2V * 100));
    s[49] = static_cast<int>(std::lround(v.TpsVolts * 255 / 5));
    s[50] = v.EngineState;
    s[51] = v.MapCorrectionActive ? 1 : 0;
    s[52] = static_cast<int>(std::lround(v.LevelSensorV / kLevelSensorScale));
    s[61] = v.SolenoidOpen ? 1 : 0;
    s[62] = v.PetrolInjectorMask;
    s[63] = v.GasInjectorMask;
    s[64] = v.GasDelayMs;
    return r;
}

QByteArray StatusRecord(const TEngineRaw& raw) {
    static const QList<TField> layout = StatusLayout();
    return Encode(raw, layout);
}

QByteArray StatusMinRecord(const TEngineRaw& raw) {
    static const QList<TField> layout = StatusMinLayout();
    return Encode(raw, layout);
}

QByteArray StatusExtRecord(const TEngineRaw& raw) {
    TEngineRaw r = raw;
    for (int c = r.Cylinders; c < 8; ++c)
        r.Slot[static_cast<std::size_t>(c)] = 0xFFFF;
    QList<TField> layout;
    Words(layout, 0, 8);
    for (const int slot : {32, 33, 40})
        Words(layout, slot);
    for (int i = 0; i < 3; ++i)
        layout.append({srcZero, 2});
    layout.append({srcBattery, 2});
    layout.append({srcRpm, 2});
    layout.append({srcZero, 2});
    return Encode(r, layout);
}

QByteArray InjectionTable(const TEngineValues& v) {
    QByteArray table(kInjectionTableSize, '\0');
    if (v.Rpm <= 0 || v.PetrolInjectorMask == 0)
        return table; // no injections to record

    // Injections come in groups that share one instant: one cylinder at a time over two
    // revolutions (sequential), all at once every revolution (full-group), or companion
    // pairs every half revolution (semi-sequential, on an even cylinder count).
    const QList<int> order = FiringOrder(v.Cylinders);
    const double revMs = 60000.0 / v.Rpm;
    QList<QList<int>> groups;
    double cycleMs = revMs;
    if (v.Sequence == TInjectionSequence::FullGroup) {
        groups.append(order);
    } else if (v.Sequence == TInjectionSequence::SemiSequential && order.size() % 2 == 0) {
        const auto half = order.size() / 2;
        for (qsizetype k = 0; k < half; ++k)
            groups.append(QList<int>{order[k], order[k + half]});
    } else {
        for (const int c : order)
            groups.append(QList<int>{c});
        cycleMs = 2 * revMs;
    }
    const double groupMs = cycleMs / static_cast<double>(groups.size());
    const auto perGroup = groups.front().size();
    const qint64 groupsNeeded = (16 + perGroup - 1) / perGroup;
    const qint64 last = static_cast<qint64>(std::floor(static_cast<double>(v.TimeMs) / groupMs));

    QList<QPair<int, double>> shots; // channel, time
    for (qint64 g = last - groupsNeeded + 1; g <= last; ++g) {
        const auto index = static_cast<qsizetype>(((g % groups.size()) + groups.size()) % groups.size());
        for (const int c : groups[index])
            shots.append({c, static_cast<double>(g) * groupMs});
    }
    shots = shots.first(16); // start on a group, so the oldest instant is recorded whole
    for (int k = 0; k < 16; ++k) {
        const auto& shot = shots[k];
        const auto ticks = static_cast<qint64>(std::llround(std::max(shot.second, 0.0) / kInjectionTick));
        table[k] = static_cast<char>(shot.first);
        table[16 + k] = static_cast<char>(ticks & 0xFF);
    }
    return table;
}

} // namespace ambrel::sim
