#pragma once
// The simulated chip's registers kept in a file between runs of the
// command line, under the user's runtime directory: it is emptied at
// logout, which is the simulated chip's power cycle.

#include "SimulatedCorvane.h"

#include <filesystem>
#include <optional>

// $XDG_RUNTIME_DIR/corvane-bench/simulated-chip, else the same under
// /tmp/corvane-bench-UID.
std::filesystem::path simulatedChipFile();

// Nothing when there is no file, or it is not one this program wrote.
std::optional<SimulatedCorvane::State> loadSimulatedChip(const std::filesystem::path& file);
// False when it could not be written; the next run then starts afresh.
bool saveSimulatedChip(const std::filesystem::path& file, const SimulatedCorvane::State& state);
// Keeps only the registers this run wrote, merged into the file as it is
// now, under a lock: a command that ran alongside keeps its own writes.
bool saveSimulatedChipWrites(const std::filesystem::path& file, const SimulatedCorvane::State& state,
                             const std::bitset<256>& written);
