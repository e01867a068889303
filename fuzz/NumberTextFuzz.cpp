// Number text for any finite value: a leading space unless negative, no
// leading zero before the point, no trailing zeros after it, no more
// significant digits than the precision allows, and decimal reading gives
// the value back to that precision.

#include "Properties.h"
#include "chip/ValueText.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace rm = RegisterMap;

namespace {

int significantDigits(std::string_view mantissa)
{
    const auto first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return 0;
    int count = 0;
    for (std::size_t i = first; i < mantissa.size(); ++i)
        count += std::isdigit(static_cast<unsigned char>(mantissa[i])) ? 1 : 0;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < sizeof(double) + 1)
        return 0;
    double value;
    std::memcpy(&value, data, sizeof value);
    const bool single = data[sizeof value] & 1;
    if (single)
        value = static_cast<float>(value); // what a single-precision reading holds
    if (!std::isfinite(value))
        return 0;
    const auto precision = single ? rm::Precision::Single : rm::Precision::Double;
    const int allowedDigits = single ? 7 : 15;

    const std::string text = rm::numberText(value, precision);
    REQUIRE(text.find_first_not_of(" -0123456789.E+") == std::string::npos, "'%s'", text.c_str());
    REQUIRE(text[0] == (std::signbit(value) && value != 0 ? '-' : ' '), "sign of '%s' for %.17g", text.c_str(), value);
    const std::string_view body = std::string_view(text).substr(1);
    const std::string_view mantissa = body.substr(0, body.find('E'));
    REQUIRE(!mantissa.starts_with("0.") && !mantissa.empty(), "'%s'", text.c_str());
    if (mantissa.find('.') != std::string_view::npos)
        REQUIRE(!mantissa.ends_with("0") && !mantissa.ends_with("."), "trailing zeros in '%s'", text.c_str());
    REQUIRE(significantDigits(mantissa) <= allowedDigits, "'%s' has too many digits", text.c_str());

    // Fifteen digits of a value this close to the largest double round past
    // it, so its text reads back as infinity; no reading comes near.
    if (std::abs(value) > 1e300)
        return 0;
    const double back = rm::decimalValue(text);
    const double tolerance = std::abs(value) * (single ? 1e-6 : 1e-14) + 1e-300;
    REQUIRE(std::abs(back - value) <= tolerance || (value == 0 && back == 0), "'%s' read back as %.17g, was %.17g",
            text.c_str(), back, value);
    REQUIRE(rm::trimmedNumberText(value, precision) == (text[0] == ' ' ? text.substr(1) : text), "trimmed '%s'",
            text.c_str());
    return 0;
}
