// Arbitrary bytes as a .cfg file, as an image text and as a received block: nothing may
// crash or read out of bounds. Run: build/fuzz/tests/fuzz/fuzz_config -max_total_time=60

#include "config/cfgfile.h"
#include "config/rawdata.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (auto content = ambrel::ReadConfigFile(bytes, ambrel::fuelLPG, QStringLiteral("Untitled.cfg"))) {
        ambrel::TRawData raw;
        content->Configuration.EncodeImage(raw.Record);
        (void)ambrel::ConfigFileBytes(raw, content->Configuration.StrategyFlag);
    }
    ambrel::TRawData raw;
    raw.FromText(bytes);
    raw.ParseBlockImage(bytes);
    (void)raw.ToText();
    return 0;
}
