#pragma once
// The car's own on-board diagnostics as the gas ECU passes them on: the standard mode 01
// parameters with their names, units and formulas (one table), the scan-tool record of
// cmdReadOBD2 and its lines, and the raw log line of cmdReadOBD.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace ambrel {

// One mode 01 parameter: its number, name, unit, the bytes A, B, ... that carry it in the
// car's answer (A first), and the formula that turns them into the value in the unit.
struct TObdPid {
    quint8 Pid;
    const char* Name;
    const char* Unit;
    int ByteCount;
    double (*Formula)(const quint8* bytes);
};

const QList<TObdPid>& ObdPidTable();
const TObdPid* FindObdPid(quint8 pid);
// The value of `pid` from its answer bytes (A first); nothing for an unknown parameter or
// fewer bytes than it needs.
std::optional<double> DecodeObdPid(quint8 pid, const QByteArray& bytes);

// The values of the scan-tool record, in answer order.
struct TObdScanEntry {
    const char* Name;
    quint8 Pid;
    int Size; // 1 or 2 bytes in the record
};
inline constexpr int kObdScanValues = 13;
const std::array<TObdScanEntry, kObdScanValues>& ObdScanTable();

struct TObdScanRecord {
    quint32 Supported = 0; // bit 31 = parameter 0x01 ... bit 0 = parameter 0x20
    std::array<std::optional<int>, kObdScanValues> Values{};
    bool HasMask = false;
    // Whether the car reports parameter `pid` (0x01 ... 0x20) as supported.
    bool IsSupported(quint8 pid) const;
};

TObdScanRecord ParseObdScanRecord(const QByteArray& data);
// "DTC_StoreNumber = 3", ... one line for each value the car supports and the answer holds;
// the engine speed in rpm (the record carries quarter revolutions).
QStringList ObdScanLines(const TObdScanRecord& record);
// The record's value at `position` (0-based) in the parameter's unit, where the
// parameter table has a formula for it.
std::optional<double> ObdScanValue(const TObdScanRecord& record, int position);

// The log line for a raw eOBD answer: two upper-case hexadecimal digits and a blank a byte.
QString ObdLogLine(const QByteArray& data);

} // namespace ambrel
