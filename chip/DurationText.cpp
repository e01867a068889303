#include "DurationText.h"

#include <cstdint>

namespace {

// A decimal number at the front of text, taken off it; nothing when there is
// none, or when a point has no digits after it.
std::optional<double> takeNumber(std::string_view& text)
{
    std::size_t at = 0;
    double whole = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        whole = whole * 10 + (text[at++] - '0');
    if (at == 0)
        return std::nullopt;
    if (at < text.size() && text[at] == '.') {
        ++at;
        double scale = 0.1;
        const std::size_t digits = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            whole += (text[at++] - '0') * scale;
            scale /= 10;
        }
        if (at == digits)
            return std::nullopt;
    }
    text.remove_prefix(at);
    return whole;
}

std::optional<double> takeUnitMilliseconds(std::string_view& text)
{
    // "ms" before "m": the longer unit name first.
    static constexpr struct {
        std::string_view name;
        double milliseconds;
    } units[] = {{"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}};
    for (const auto& unit : units) {
        if (text.starts_with(unit.name)) {
            text.remove_prefix(unit.name.size());
            return unit.milliseconds;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::chrono::milliseconds> durationOf(std::string_view text)
{
    double total = 0;
    std::string_view rest = text;
    const auto first = takeNumber(rest);
    if (!first)
        return std::nullopt;
    if (rest.empty()) {
        total = *first * 1000;
    } else {
        std::optional<double> number = first;
        while (number) {
            const auto unit = takeUnitMilliseconds(rest);
            if (!unit)
                return std::nullopt;
            total += *number * *unit;
            if (rest.empty())
                break;
            number = takeNumber(rest);
        }
        if (!rest.empty())
            return std::nullopt;
    }
    if (total > 366.0 * 24 * 3'600'000)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<std::int64_t>(total + 0.5));
}
