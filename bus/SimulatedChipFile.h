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
