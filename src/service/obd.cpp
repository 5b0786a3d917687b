#include "obd.h"

#include "link/bytequeue.h"

namespace ambrel {

namespace {

double A(const quint8* b) {
    return b[0];
}
double Percent(const quint8* b) {
    return b[0] * 100.0 / 255.0;
}
double Temperature(const quint8* b) {
    return b[0] - 40.0;
}
double FuelTrim(const quint8* b) {
    return (b[0] - 128.0) * 100.0 / 128.0;
}
double Rpm(const quint8* b) {
    return (b[0] * 256.0 + b[1]) / 4.0;
}
double Advance(const quint8* b) {
    return b[0] / 2.0 - 64.0;
}
double AirFlow(const quint8* b) {
    return (b[0] * 256.0 + b[1]) / 100.0;
}
double FuelPressure(const quint8* b) {
    return b[0] * 3.0;
}
double OxygenVolts(const quint8* b) {
    return b[0] / 200.0;
}
double DtcCount(const quint8* b) {
    return b[0] & 0x7F;
}

} // namespace

const QList<TObdPid>& ObdPidTable() {
    static const QList<TObdPid> table = {
        {0x01, "Stored trouble codes", "", 4, DtcCount},
        {0x04, "Calculated load value", "%", 1, Percent},
        {0x05, "Engine coolant temperature", "\u00B0C", 1, Temperature},
        {0x06, "Short term fuel trim bank 1", "%", 1, FuelTrim},
        {0x07, "Long term fuel trim bank 1", "%", 1, FuelTrim},
        {0x08, "Short term fuel trim bank 2", "%", 1, FuelTrim},
        {0x09, "Long term fuel trim bank 2", "%", 1, FuelTrim},
        {0x0A, "Fuel pressure", "kPa", 1, FuelPressure},
        {0x0B, "Intake manifold absolute pressure", "kPa", 1, A},
        {0x0C, "Engine speed", "rpm", 2, Rpm},
        {0x0D, "Vehicle speed", "km/h", 1, A},
        {0x0E, "Ignition timing advance cylinder 1", "\u00B0", 1, Advance},
        {0x0F, "Intake air temperature", "\u00B0C", 1, Temperature},
        {0x10, "Air flow rate", "g/s", 2, AirFlow},
        {0x11, "Absolute throttle position", "%", 1, Percent},
        {0x14, "Oxygen sensor bank 1 sensor 1", "V", 2, OxygenVolts},
        {0x15, "Oxygen sensor bank 1 sensor 2", "V", 2, OxygenVolts},
        {0x16, "Oxygen sensor bank 1 sensor 3", "V", 2, OxygenVolts},
        {0x17, "Oxygen sensor bank 1 sensor 4", "V", 2, OxygenVolts},
        {0x18, "Oxygen sensor bank 2 sensor 1", "V", 2, OxygenVolts},
        {0x19, "Oxygen sensor bank 2 sensor 2", "V", 2, OxygenVolts},
        {0x1A, "Oxygen sensor bank 2 sensor 3", "V", 2, OxygenVolts},
        {0x1B, "Oxygen sensor bank 2 sensor 4", "V", 2, OxygenVolts},
    };
    return table;
}

const TObdPid* FindObdPid(quint8 pid) {
    for (const TObdPid& entry : ObdPidTable())
        if (entry.Pid == pid)
            return &entry;
    return nullptr;
}

std::optional<double> DecodeObdPid(quint8 pid, const QByteArray& bytes) {
    const TObdPid* entry = FindObdPid(pid);
    if (!entry || bytes.size() < entry->ByteCount)
        return std::nullopt;
    return entry->Formula(reinterpret_cast<const quint8*>(bytes.constData()));
}

const std::array<TObdScanEntry, kObdScanValues>& ObdScanTable() {
    static constexpr std::array<TObdScanEntry, kObdScanValues> table = {{
        {"DTC_StoreNumber", 0x01, 1},
        {"MIL_Status", 0x01, 1},
        {"FuelSystem_1_Status", 0x03, 1},
        {"FuelSystem_2_Status", 0x03, 1},
        {"CalculatedLoadValue", 0x04, 1},
        {"ShortFuelTrim1", 0x06, 1},
        {"LongFuelTrim1", 0x07, 1},
        {"ShortFuelTrim2", 0x08, 1},
        {"LongFuelTrim2", 0x09, 1},
        {"IntakeMainfoldPressure", 0x0B, 1},
        {"Engine_RPM", 0x0C, 2},
        {"VehicleSpeedSensor", 0x0D, 1},
        {"IgnitionTimeAdvancerCil1", 0x0E, 1},
    }};
    return table;
}

bool TObdScanRecord::IsSupported(quint8 pid) const {
    if (!HasMask || pid < 0x01 || pid > 0x20)
        return false;
    return (Supported >> (32 - pid)) & 1U;
}

TObdScanRecord ParseObdScanRecord(const QByteArray& data) {
    TObdScanRecord record;
    TByteQueue q(data);
    int unused = 0;
    if (!q.ReadWord(unused) || !q.ReadLongWord(record.Supported))
        return record;
    record.HasMask = true;
    const auto& table = ObdScanTable();
    for (size_t i = 0; i < table.size(); ++i) {
        int v = 0;
        if (!(table[i].Size == 2 ? q.ReadWord(v) : q.ReadByte(v)))
            break;
        record.Values[i] = v;
    }
    return record;
}

QStringList ObdScanLines(const TObdScanRecord& record) {
    QStringList lines;
    const auto& table = ObdScanTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (!record.Values[i] || !record.IsSupported(table[i].Pid))
            continue;
        const int value = table[i].Pid == 0x0C ? *record.Values[i] / 4 : *record.Values[i];
        lines << QString::fromLatin1(table[i].Name) + QStringLiteral(" = ") + QString::number(value);
    }
    return lines;
}

std::optional<double> ObdScanValue(const TObdScanRecord& record, int position) {
    if (position < 0 || position >= kObdScanValues || !record.Values[static_cast<size_t>(position)])
        return std::nullopt;
    const TObdScanEntry& entry = ObdScanTable()[static_cast<size_t>(position)];
    const int raw = *record.Values[static_cast<size_t>(position)];
    if (entry.Pid == 0x01) // the record splits the monitor status into count and lamp
        return raw;
    if (entry.Pid == 0x03) // a bit field, not a quantity
        return std::nullopt;
    // The record holds the parameter little-endian; the formulas take A first.
    QByteArray bytes;
    if (entry.Size == 2)
        bytes.append(static_cast<char>(raw >> 8));
    bytes.append(static_cast<char>(raw & 0xFF));
    return DecodeObdPid(entry.Pid, bytes);
}

QString ObdLogLine(const QByteArray& data) {
    return HexDump(data);
}

} // namespace ambrel
