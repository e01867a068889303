#include "Snapshot.h"

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
    RegisterFile file;
    bool anyRow = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // A grid row: two hex digits of a multiple of 16, a colon, a space,
        // then a cell every three characters.
        if (line.size() < 6 || line[2] != ':' || line[3] != ' ')
            continue;
        const auto high = hexDigit(line[0]), low = hexDigit(line[1]);
        if (!high || !low || *low != 0)
            continue;
        anyRow = true;
        const int row = *high * 16;
        for (int column = 0; column < 16; ++column) {
            const std::size_t at = 4 + 3 * static_cast<std::size_t>(column);
            if (at + 2 > line.size())
                break;
            // Cells stand three characters apart; anything else (i2cdump's
            // word mode, a mangled paste) is not this layout.
            if (at + 2 < line.size() && line[at + 2] != ' ') {
                *error = "row " + std::string(line.substr(0, 2)) + " is not in i2cdump's byte layout";
                return std::nullopt;
            }
            const auto reg = static_cast<std::size_t>(row + column);
            const std::string_view cell = line.substr(at, 2);
            if (cell == "XX" || cell == "xx") {
                file.present[reg] = true;
                file.failed[reg] = true;
                continue;
            }
            const auto first = hexDigit(cell[0]), second = hexDigit(cell[1]);
            if (!first || !second)
                continue; // a blank cell: i2cdump left the register out
            file.present[reg] = true;
            file.values[reg] = static_cast<std::uint8_t>(*first * 16 + *second);
        }
    }
    if (!anyRow) {
        *error = "no register grid in it (rows such as \"00: 2A 2B …\")";
        return std::nullopt;
    }
    return file;
}

std::vector<RegisterDifference> differences(const RegisterFile& snapshot, const std::array<std::uint8_t, 256>& live,
                                            const std::bitset<256>& liveFailed)
{
    std::vector<RegisterDifference> found;
    for (std::size_t reg = 0; reg < 256; ++reg) {
        if (!snapshot.present[reg] || snapshot.failed[reg] || liveFailed[reg] || snapshot.values[reg] == live[reg])
            continue;
        const bool measurement = reg >= 0x20 && reg <= 0x2F;
        found.push_back({static_cast<std::uint8_t>(reg), snapshot.values[reg], live[reg], !measurement});
    }
    return found;
}
