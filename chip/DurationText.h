#pragma once
// Lengths of time as users type them: "90" (seconds), "90s", "500ms", "5m",
// "2h", "1h30m", "1.5s". One rule for every option that takes a time.

#include <chrono>
#include <optional>
#include <string_view>

// Nothing for text that is not a length of time, or is longer than a year:
// beyond that a typing mistake is likelier than a run.
std::optional<std::chrono::milliseconds> durationOf(std::string_view text);
