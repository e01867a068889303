#include "Snapshot.h"

#include "chip/RegisterMap.h"

#include <cctype>
#include <cstdio>

namespace {

char asciiOf(std::uint8_t value, bool failed)
{
    // As i2cdump shows them: 0x00 and 0xFF as dots, other unprintables too.
    if (failed)
        return 'X';
    if (value == 0x00 || value == 0xFF || value < 0x20 || value > 0x7E)
        return '.';
    return static_cast<char>(value);
}

std::optional<int> hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

} // namespace

std::string registerGridText(const std::array<std::uint8_t, 256>& values, const std::bitset<256>& failed,
                             const std::bitset<256>& changed)
{
    std::string text = "     0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F    0123456789ABCDEF\n";
    char cell[8];
    for (int row = 0; row < 256; row += 16) {
        std::snprintf(cell, sizeof cell, "%02X: ", row);
        text += cell;
        std::string ascii;
        for (int column = 0; column < 16; ++column) {
            const auto reg = static_cast<std::size_t>(row + column);
            if (failed[reg])
                text += "XX ";
            else {
                std::snprintf(cell, sizeof cell, "%02X ", values[reg]);
                text += cell;
            }
            ascii += asciiOf(values[reg], failed[reg]);
        }
        text += "   " + ascii + "\n";
    }
    if (changed.any()) {
        text += "Changed since the sweep before:";
        for (std::size_t reg = 0; reg < 256; ++reg) {
            if (changed[reg]) {
                std::snprintf(cell, sizeof cell, " %02X", static_cast<unsigned>(reg));
                text += cell;
            }
        }
        text += "\n";
    }
    return text;
}

std::string snapshotText(const SnapshotHeader& header, const std::array<std::uint8_t, 256>& values,
                         const std::bitset<256>& failed)
{
    char device[8];
    std::snprintf(device, sizeof device, "0x%02X", header.device);
    return "# Corvane Bench " + header.version + " register snapshot\n" + "# adapter: " + header.adapter + "\n" +
           "# device: " + device + "\n" + "# time: " + header.timeUtc + "\n" + registerGridText(values, failed);
}

std::optional<std::uint8_t> snapshotDeviceIn(std::string_view text)
{
    constexpr std::string_view Key = "# device: 0x";
    const auto at = text.find(Key);
    if (at == std::string_view::npos || at + Key.size() + 2 > text.size())
        return std::nullopt;
    const auto high = hexDigit(text[at + Key.size()]), low = hexDigit(text[at + Key.size() + 1]);
    if (!high || !low)
        return std::nullopt;
    return static_cast<std::uint8_t>(*high * 16 + *low);
}

std::optional<RegisterFile> parseRegisterGrid(std::string_view text, std::string* error)
{
    constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(ByteOrderMark))
        text.remove_prefix(ByteOrderMark.size());
    RegisterFile file;
    file.device = snapshotDeviceIn(text);
    std::bitset<16> rowsSeen;
    bool fullRow = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // A grid row is "00: " and then a cell every three characters;
        // any other line (a header, i2cdump's notes) is passed over.
        if (line.size() < 3 || line[2] != ':')
            continue;
        const std::string label(line.substr(0, 2));
        const auto high = hexDigit(line[0]), low = hexDigit(line[1]);
        if (!high || !low || *low != 0 || line.size() < 4 || line[3] != ' ') {
            *error = "'" + std::string(line.substr(0, 3)) + "' is not a row of the grid (00: to F0:)";
            return std::nullopt;
        }
        if (rowsSeen[static_cast<std::size_t>(*high)]) {
            *error = "row " + label + " appears twice";
            return std::nullopt;
        }
        rowsSeen[static_cast<std::size_t>(*high)] = true;
        const int row = *high * 16;
        int cells = 0;
        for (int column = 0; column < 16; ++column) {
            const std::size_t at = 4 + 3 * static_cast<std::size_t>(column);
            if (at + 2 > line.size()) {
                // A row cut off in the middle of a cell is damage, not an end.
                if (at < line.size() && line[at] != ' ') {
                    *error = "row " + label + " ends in half a cell";
                    return std::nullopt;
                }
                break;
            }
            // Cells stand three characters apart; anything else (i2cdump's
            // word mode, a mangled paste) is not this layout.
            if (at + 2 < line.size() && line[at + 2] != ' ') {
                *error = "row " + label + " is not in i2cdump's byte layout";
                return std::nullopt;
            }
            const auto reg = static_cast<std::size_t>(row + column);
            const std::string_view cell = line.substr(at, 2);
            if (cell == "  ")
                continue; // i2cdump left the register out
            if (cell == "XX") {
                file.failed[reg] = true;
            } else {
                const auto first = hexDigit(cell[0]), second = hexDigit(cell[1]);
                if (!first || !second) {
                    *error = "row " + label + ", column " + std::to_string(column) + ": '" + std::string(cell) +
                             "' is neither two hex digits nor XX";
                    return std::nullopt;
                }
                file.values[reg] = static_cast<std::uint8_t>(*first * 16 + *second);
            }
            file.present[reg] = true;
            ++cells;
        }
        fullRow = fullRow || cells == 16;
    }
    if (rowsSeen.none()) {
        *error = "no register grid in it (rows such as \"00: 2A 2B …\")";
        return std::nullopt;
    }
    if (!fullRow) {
        *error = "it holds " + std::to_string(file.count()) +
                 " registers and no full row of 16: a snapshot or an i2cdump has at least one";
        return std::nullopt;
    }
    return file;
}

namespace {

std::string identificationText(const std::array<std::uint8_t, 256>& values, const std::bitset<256>& failed,
                               const std::bitset<256>& present)
{
    std::string text;
    for (std::size_t reg = RegisterMap::FirstIdentification; reg <= RegisterMap::LastIdentification; ++reg) {
        char cell[4];
        if (!present[reg])
            std::snprintf(cell, sizeof cell, "--");
        else if (failed[reg])
            std::snprintf(cell, sizeof cell, "XX");
        else
            std::snprintf(cell, sizeof cell, "%02X", values[reg]);
        text += (text.empty() ? "" : " ") + std::string(cell);
    }
    return text;
}

} // namespace

std::optional<std::string> snapshotMismatch(const RegisterFile& snapshot, std::uint8_t device,
                                            const std::array<std::uint8_t, 256>& live,
                                            const std::bitset<256>& liveFailed)
{
    char names[48];
    if (snapshot.device) {
        if (*snapshot.device == device)
            return std::nullopt;
        std::snprintf(names, sizeof names, "The snapshot is of device 0x%02X, not 0x%02X.", *snapshot.device, device);
        return std::string(names);
    }
    bool same = true;
    for (std::size_t reg = RegisterMap::FirstIdentification; reg <= RegisterMap::LastIdentification; ++reg)
        same = same && snapshot.present[reg] && !snapshot.failed[reg] && !liveFailed[reg] &&
               snapshot.values[reg] == live[reg];
    if (same)
        return std::nullopt;
    std::bitset<256> all;
    all.set();
    return "The snapshot names no device, and its identification registers 0x3D to 0x3F (" +
           identificationText(snapshot.values, snapshot.failed, snapshot.present) + ") are not the chip's (" +
           identificationText(live, liveFailed, all) + "): it is of another device.";
}

std::vector<RegisterDifference> differences(const RegisterFile& snapshot, const std::array<std::uint8_t, 256>& live,
                                            const std::bitset<256>& liveFailed)
{
    using Kind = RegisterDifference::Kind;
    std::vector<RegisterDifference> found;
    for (std::size_t reg = 0; reg < 256; ++reg) {
        if (!snapshot.present[reg] || snapshot.failed[reg] || liveFailed[reg] || snapshot.values[reg] == live[reg])
            continue;
        const auto r = static_cast<std::uint8_t>(reg);
        const Kind kind = RegisterMap::isKnownSetting(r)  ? Kind::Setting
                          : RegisterMap::isMeasurement(r) ? Kind::Measurement
                                                          : Kind::Unknown;
        found.push_back({r, snapshot.values[reg], live[reg], kind});
    }
    return found;
}
