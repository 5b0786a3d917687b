#pragma once
// The .cfg file: "2.20" (the format version, never checked on reading), the strategy tag
// "SLAV" or "COMP", then the image text of rawdata.h. A file written here is 1388 bytes.

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
// Only "SLAV" is Slave; any other four bytes are Compensated.
int StrategyFromTag(const QByteArray& tag);

struct TConfigFileContent {
    TConfiguration Configuration; // with the file's StrategyFlag
    RMappatura Record;
    int Records = 0; // whole records the file held
};

// Builds the configuration a file describes, from the defaults for `fuel` under the
// file's strategy: what the file leaves out (short or missing records, the sensor curves,
// which are never read back) keeps its default. Nothing when the bytes end before the
// strategy tag is complete.
std::optional<TConfigFileContent> ReadConfigFile(const QByteArray& bytes, int fuel, const QString& untitledName);

} // namespace ambrel
