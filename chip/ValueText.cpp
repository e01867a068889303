#include "ValueText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace RegisterMap {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

std::string withoutBlanks(std::string_view text)
{
    std::string kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept), [](char c) { return !isBlank(c); });
    return kept;
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

// Reads digits of the given radix from the start of text, stopping at the
// first other character. Accumulates in double so no length overflows.
double leadingWholeNumber(std::string_view text, int radix)
{
    double value = 0;
    for (char c : text) {
        const int digit = digitValue(c);
        if (digit >= radix)
            break;
        value = value * radix + digit;
    }
    return value;
}

bool startsWithPrefix(std::string_view text, char letter)
{
    return text.size() >= 2 && text[0] == '&' && std::toupper(static_cast<unsigned char>(text[1])) == letter;
}

// The longest leading piece of text shaped like [sign]digits[.digits][E[sign]digits],
// rewritten for from_chars (no '+', 'E' for 'D'). Sets decimalExponent to
// where the first significant digit sits, which tells an overflow from an
// underflow when from_chars gives up.
std::string decimalPrefix(std::string_view text, bool& negative, long& decimalExponent)
{
    std::size_t i = 0;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    std::string number;
    long integerDigits = 0;
    long leadingFractionZeros = 0;
    bool seenSignificant = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        number += text[i];
        seenSignificant = seenSignificant || text[i] != '0';
        if (seenSignificant)
            ++integerDigits;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            number += text[i];
            if (!seenSignificant && text[i] == '0')
                ++leadingFractionZeros;
            seenSignificant = seenSignificant || text[i] != '0';
        }
    }
    if (number.find_first_of("0123456789") == std::string::npos)
        return {};

    long exponent = 0;
    if (i < text.size() && (std::toupper(static_cast<unsigned char>(text[i])) == 'E' ||
                            std::toupper(static_cast<unsigned char>(text[i])) == 'D')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            negativeExponent = text[j++] == '-';
        const std::size_t firstDigit = j;
        for (; j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])); ++j)
            exponent = std::min(exponent * 10 + (text[j] - '0'), 100000L);
        if (j > firstDigit) {
            number += negativeExponent ? "e-" : "e";
            number += std::string(text.substr(firstDigit, j - firstDigit));
            exponent = negativeExponent ? -exponent : exponent;
        } else {
            exponent = 0;
        }
    }
    decimalExponent = exponent + (integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1));
    return number;
}

} // namespace

std::string numberText(double value, Precision precision)
{
    if (value == 0 || std::isnan(value))
        return " 0";
    // to_chars, unlike printf, keeps '.' whatever the user's locale.
    char text[64];
    const auto written =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, static_cast<int>(precision));
    std::string shown(text, written.ptr);
    std::transform(shown.begin(), shown.end(), shown.begin(), [](char c) { return c == 'e' ? 'E' : c; });
    const std::size_t digits = shown.front() == '-' ? 1 : 0;
    if (shown.compare(digits, 2, "0.") == 0)
        shown.erase(digits, 1);
    return value < 0 ? shown : " " + shown;
}

std::string trimmedNumberText(double value, Precision precision)
{
    std::string shown = numberText(value, precision);
    shown.erase(0, shown.find_first_not_of(' '));
    return shown;
}

std::string hexText(std::uint16_t value)
{
    char text[8];
    const auto written = std::to_chars(text, text + sizeof text, value, 16);
    std::string shown(text, written.ptr);
    std::transform(shown.begin(), shown.end(), shown.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
    return shown;
}

std::optional<std::uint8_t> HexField(std::string_view text)
{
    const double value = leadingWholeNumber(withoutBlanks(text), 16);
    if (value > 0xFF)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

double decimalValue(std::string_view text)
{
    const std::string kept = withoutBlanks(text);
    const std::string_view view = kept;
    if (startsWithPrefix(view, 'H'))
        return leadingWholeNumber(view.substr(2), 16);
    if (startsWithPrefix(view, 'O'))
        return leadingWholeNumber(view.substr(2), 8);

    bool negative = false;
    long decimalExponent = 0;
    const std::string number = decimalPrefix(view, negative, decimalExponent);
    if (number.empty())
        return 0;
    double magnitude = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), magnitude);
    if (error == std::errc::result_out_of_range)
        magnitude = decimalExponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
}

} // namespace RegisterMap
