#pragma once
// Raw register bytes to engineering values, and a typed duty to its byte.

#include <cstdint>
#include <optional>

namespace RegisterMap {

// Rounds the exact value of x to the given number of decimals, ties to even.
double roundHalfEven(double x, int decimals);

// Whole degrees Celsius; offset-64 coding when offsetCoded, else two's complement.
std::int16_t temperature(std::uint8_t raw, bool offsetCoded);

// Whole rpm from a fan's tach pair; nullopt when both bytes are zero, which
// the chip reports when it has no new count (the display keeps its old text).
std::optional<float> fanSpeed(std::uint8_t low, std::uint8_t high);

double vcc(std::uint8_t raw);
double vccp(std::uint8_t raw);

// Register 0x30's byte as a percent, 0..100.
std::uint8_t dutyPercent(std::uint8_t raw);

// The register byte for a percent already checked to lie in 0..100.
std::uint8_t dutyByte(double percent);

} // namespace RegisterMap
