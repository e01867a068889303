// The readers of recordings and their alarms, which take whatever file a
// user opens: whatever the bytes, they never crash or hang; what they
// accept holds a value for every reading in every row it kept; rows kept
// and rows skipped never outnumber the lines; and the summary of what was
// read keeps each reading's minimum <= mean <= maximum.

#include "Properties.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingSummary.h"

#include <algorithm>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    const RecordingRead read = readRecordingText(text, "fuzzed", 1000);
    if (const auto* recording = std::get_if<Recording>(&read)) {
        for (const auto& column : recording->values)
            REQUIRE(column.size() == recording->rows(), "a column of %zu for %zu rows", column.size(), recording->rows());
        REQUIRE(recording->rows() + recording->damagedRows < lines, "%zu rows and %zu skipped from %zu lines",
                recording->rows(), recording->damagedRows, lines);
        REQUIRE((recording->damagedRows == 0) == recording->firstDamage.empty(), "%zu skipped, first: %s",
                recording->damagedRows, recording->firstDamage.c_str());
        const RecordingSummary summary = summarize(*recording);
        for (const ReadingSummary& reading : summary.readings) {
            if (reading.values > 0)
                REQUIRE(reading.minimum <= reading.mean + 1e-3f * std::abs(reading.mean) + 1e-3f &&
                            reading.mean <= reading.maximum + 1e-3f * std::abs(reading.maximum) + 1e-3f,
                        "min %g mean %g max %g", reading.minimum, reading.mean, reading.maximum);
        }
    }
    const auto alarms = readAlarmsText(text, 0);
    if (const auto* read = std::get_if<AlarmsRead>(&alarms)) {
        for (const AlarmSpan& span : read->spans)
            REQUIRE(span.end >= span.start, "a span from %lld to %lld", static_cast<long long>(span.start),
                    static_cast<long long>(span.end));
    }
    return 0;
}
