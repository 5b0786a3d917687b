// libFuzzer target: arbitrary bytes as the data of each status reply and of the injection
// table, and as the content of a trace file. Nothing may crash or read outside a buffer,
// every derived measure stays finite, and the trace reader either fails or gives points
// whose traces exist.

#include "measure/measures.h"
#include "measure/rawmeasures.h"
#include "measure/tracefile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace ambrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    TRawMeasures raw;
    raw.DecodeStatus(bytes);
    raw.DecodeStatusMin(bytes);
    raw.DecodeStatusExt(bytes);
    TMeasureSettings settings;
    settings.TPSType = size > 0 ? data[0] % 4 : 1;
    settings.LambdaType = size > 1 ? data[1] % 7 : 1;
    settings.Cylinders = size > 2 ? data[2] % 10 : 4;
    TDerivedMeasures m;
    Derive(raw, settings, size > 3 ? data[3] % 6 : 4, m);
    if (!std::isfinite(m.Lambda1) || !std::isfinite(m.TPSVoltage) || !std::isfinite(m.FuelTrim1))
        std::abort();
    TSequenceResult sequence;
    (void)AnalyseSequence(bytes.left(32), settings.Cylinders, m.RPM, sequence);
    (void)SequenceDisplay(sequence, {1, 2, 3, 4, 5, 6, 7, 8});

    double last = 0;
    (void)ReadTraceDataFrom(
        bytes,
        [](int trace, double time, double value) {
            if (trace < 0 || trace >= kTraceCount || !std::isfinite(time) || !std::isfinite(value))
                std::abort();
        },
        last);
    TTraceSettings traces = InitialTraceSettings();
    (void)ReadTraceHeaderFrom(bytes, traces);
    TTraceSummary summary;
    (void)SummariseTrace(bytes, summary);
    return 0;
}
