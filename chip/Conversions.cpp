#include "Conversions.h"

#include <array>
#include <charconv>
#include <cmath>

namespace RegisterMap {

double roundHalfEven(double x, int decimals)
{
    if (!std::isfinite(x))
        return x;
    // To a whole number the FPU's own rounding (to nearest, ties to even)
    // does the same to the exact value, at a hundredth of the cost.
    if (decimals == 0)
        return std::nearbyint(x);
    // to_chars with a precision rounds the double's exact binary value, ties
    // to even, and ignores the locale; multiplying by 10^n first would round
    // twice and turn 0.27499999... into 0.28.
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, decimals);
    double rounded = x;
    std::from_chars(text, written.ptr, rounded);
    return rounded;
}

std::int16_t temperature(std::uint8_t raw, bool offsetCoded)
{
    if (offsetCoded)
        return static_cast<std::int16_t>(raw - 64);
    return static_cast<std::int16_t>(raw < 0x80 ? raw : raw - 256);
}

std::optional<float> fanSpeed(std::uint8_t low, std::uint8_t high)
{
    if (low == 0 && high == 0)
        return std::nullopt;
    const double count = high * 256.0 + low;
    const auto rpm = static_cast<float>(roundHalfEven(5400000.0 / count, 0));
    // Counts near full scale mean the fan has stopped.
    return rpm < 100 ? 0.0f : rpm;
}

namespace {

// A supply reading for each of the 256 raw values, rounded once: the
// history and the plots convert many readings a second.
std::array<double, 256> supplyTable(double fullScale)
{
    std::array<double, 256> table{};
    for (int raw = 0; raw < 256; ++raw)
        table[static_cast<std::size_t>(raw)] = roundHalfEven(raw * fullScale / 192, 2);
    return table;
}

} // namespace

double vcc(std::uint8_t raw)
{
    static const std::array<double, 256> table = supplyTable(3.3);
    return table[raw];
}

double vccp(std::uint8_t raw)
{
    static const std::array<double, 256> table = supplyTable(2.25);
    return table[raw];
}

std::uint8_t dutyPercent(std::uint8_t raw)
{
    return static_cast<std::uint8_t>(roundHalfEven(raw / 2.55, 0));
}

std::uint8_t dutyByte(double percent)
{
    return static_cast<std::uint8_t>(std::floor(percent * 2.55));
}

} // namespace RegisterMap
