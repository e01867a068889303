#pragma once
// Reading a snapshot file with limits: a restore writes what it reads, so
// only a regular file, or standard input for "-", of at most 64 KiB. A
// FIFO would block, a device like /dev/zero would never end, and nothing a
// 256-register grid needs comes near the limit.

#include <cstddef>
#include <string>

inline constexpr std::size_t SnapshotFileLimit = 64 * 1024;

struct SnapshotFileText {
    std::string text;
    std::string error; // why it was not read, in a sentence; empty when it was

    bool ok() const { return error.empty(); }
};

SnapshotFileText readSnapshotFile(const std::string& path);
