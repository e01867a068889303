#pragma once
// A recording this program wrote, read back to be looked at again. Strict
// about what the file is: another program's CSV, a byte-order mark, a
// folder or a FIFO is refused with a message naming the line where it
// applies. Lenient about single rows: a damaged row inside a good file is
// skipped and counted. Memory is bounded: a file beyond MaxRows rows is
// refused, never half-read into memory it cannot have.

#include "protocol/PollReadings.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct Recording {
    using Milliseconds = std::int64_t; // since the epoch, UTC

    std::vector<Milliseconds> times;
    // One column a reading, indexed by Poll::Reading; NaN where the cell
    // was empty (the reading was not read).
    std::array<std::vector<float>, Poll::ReadingCount> values;

    // Where the rows' device or controller changed, from the first row on;
    // empty for a file written before rows said so.
    struct Source {
        std::size_t row;
        std::uint8_t device;
        int controller; // 1 or 2, as the window names them
    };
    std::vector<Source> sources;

    // Rows skipped as damaged, and the first of them: "line 12: a bad time".
    std::size_t damagedRows = 0;
    std::string firstDamage;

    std::size_t rows() const { return times.size(); }
};

// The most rows a recording may have to be opened: four weeks at a row a
// second, in about 130 MB.
inline constexpr std::size_t MaxRecordingRows = 2'500'000;

// Why a file cannot be read as a recording, naming the line where one applies.
struct RecordingError {
    std::string message;
};

using RecordingRead = std::variant<Recording, RecordingError>;

// Told how many bytes of how many have been read; false to stop (Cancel).
using ReadProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// The file at path. A stop asked for by progress is an error that says so.
RecordingRead readRecordingFile(const std::string& path, const ReadProgress& progress = {},
                                std::size_t maxRows = MaxRecordingRows);
// The same rules for text in memory (name is used in the messages).
RecordingRead readRecordingText(std::string_view text, const std::string& name = "the recording",
                                std::size_t maxRows = MaxRecordingRows);

// "2026-12-08T23:04:05.123Z" to milliseconds since the epoch; nothing for
// any other form.
std::optional<Recording::Milliseconds> parseIsoUtc(std::string_view text);
