#pragma once
// A device's 256 registers as text in i2cdump's layout, and back: the
// register map's copy, and its snapshot files. A snapshot reads back, and so
// does i2cdump's own output pasted into a file.

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct RegisterFile {
    std::array<std::uint8_t, 256> values{};
    std::bitset<256> present; // registers the text had a cell for
    std::bitset<256> failed;  // cells that read "XX": the read failed
    std::optional<std::uint8_t> device; // as the header names it; i2cdump names none

    std::size_t count() const { return present.count(); }
};

// The grid: a header row, then sixteen rows "00: 2A 2B … 3F    ASCII".
// Registers in changed are listed after the grid, so the mark survives a
// copy without breaking the layout.
std::string registerGridText(const std::array<std::uint8_t, 256>& values, const std::bitset<256>& failed,
                             const std::bitset<256>& changed = {});

struct SnapshotHeader {
    std::string version;  // the program's
    std::string adapter;  // the controller's name
    std::uint8_t device = 0;
    std::string timeUtc;  // ISO 8601
};

std::string snapshotText(const SnapshotHeader& header, const std::array<std::uint8_t, 256>& values,
                         const std::bitset<256>& failed);

// The device a snapshot's header names, if it names one.
std::optional<std::uint8_t> snapshotDeviceIn(std::string_view text);

// The registers a snapshot or an i2cdump output holds. Strict, since a
// misread cell would be written into a chip: a grid cell is two hex digits,
// XX for a failed read, or blank where i2cdump left the register out (a
// cell cut in half is refused), and
// the text must hold at least one full row. Nothing, with the reason, for
// anything else. A leading byte-order mark is passed over.
std::optional<RegisterFile> parseRegisterGrid(std::string_view text, std::string* error);

// Why a snapshot must not be written into device, whose registers read
// live now; nothing when it may. A snapshot that names its device must name
// this one; one that names none (i2cdump's output) must hold this chip's
// identification registers.
std::optional<std::string> snapshotMismatch(const RegisterFile& snapshot, std::uint8_t device,
                                            const std::array<std::uint8_t, 256>& live,
                                            const std::bitset<256>& liveFailed);

// A register whose live value differs from a snapshot's. Only the settings
// the program knows are restored unless the user says otherwise; the
// measurement registers change on their own.
struct RegisterDifference {
    enum class Kind { Setting, Measurement, Unknown };
    std::uint8_t reg;
    std::uint8_t snapshot;
    std::uint8_t live;
    Kind kind;

    bool tickedByDefault() const { return kind == Kind::Setting; }
};

// The registers both hold a value for, where the values differ.
std::vector<RegisterDifference> differences(const RegisterFile& snapshot, const std::array<std::uint8_t, 256>& live,
                                            const std::bitset<256>& liveFailed);
