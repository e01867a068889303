#pragma once
// What the program knows of each Corvane register, in words: its name, and
// what its value means, for the register map's tooltips and side panel.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace RegisterMap {

// "PWM1 configuration", or nothing for a register the program doesn't know.
std::optional<std::string> registerName(std::uint8_t reg);

// The register's value decoded, e.g. "behaviour Manual Mode (7), other bits
// 0x02" for 0x5C, "39 °C" for a temperature in the run's coding, "1000 rpm"
// for either byte of a tach pair. Empty for a register the program doesn't
// know. Needs all 256 values, since a tach count spans two registers.
std::string decodeRegister(std::uint8_t reg, const std::array<std::uint8_t, 256>& values, bool offsetCoded);

} // namespace RegisterMap
