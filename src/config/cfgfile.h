#pragma once
// The .cfg file: "2.20" (the format version), the strategy tag "SLAV" or "COMP", then the
// image text of rawdata.h. A file written here is 1388 bytes.

#include "configuration.h"
#include "rawdata.h"

#include <QByteArray>
#include <optional>

namespace ambrel {

inline constexpr int kConfigFileHeaderSize = 8;
inline constexpr int kConfigFileSize = kConfigFileHeaderSize + kImageTextSize;
// The most a file can usefully hold: the header and 255 records of 255 bytes. Bytes
// beyond it cannot belong to any record and are not read.
inline constexpr qint64 kConfigFileReadLimit = kConfigFileHeaderSize + 1 + 255 * 256;

QByteArray ConfigFileBytes(const TRawData& raw, int strategyFlag);
// "SLAV" is Slave, "COMP" Compensated; any other tag is not a strategy (-1).
int StrategyFromTag(const QByteArray& tag);

// What is wrong with a file's bytes, or an empty text when they are a complete
// configuration: the "2.20" version text, the tag "SLAV" or "COMP", the count 16, and the
// sixteen records in their order, each complete, of its block's size and naming its own
// block (and bank). Bytes after the last record are ignored. Only such a file may replace
// the configuration that the workbench or an ECU holds: a cut or foreign file would put
// defaults or noise where the customer's calibration was. (Defaults come only from the
// explicit reset command.)
QString ConfigFileProblem(const QByteArray& bytes);

struct TConfigFileContent {
    TConfiguration Configuration; // with the file's StrategyFlag
    RMappatura Record;
    int Records = 0; // whole records the file held
};

// Builds the configuration a complete file describes, starting from the defaults for
// `fuel` under the file's strategy (the sensor curves are never read back and keep them).
// Nothing, with the reason in `problem`, when ConfigFileProblem finds a fault.
std::optional<TConfigFileContent> ReadConfigFile(const QByteArray& bytes, int fuel, const QString& untitledName,
                                                 QString* problem = nullptr);

} // namespace ambrel
