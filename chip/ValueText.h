#pragma once
// The text forms in which values are shown, and the rules for reading what
// the user types.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace RegisterMap {

enum class Precision { Single = 7, Double = 15 };

// ' 25', '-5', ' 3.3', ' .82', ' 0': a leading space for zero and positive
// values, no leading zero below 1, no trailing zeros, at most 7 (single) or
// 15 (double) significant digits.
std::string numberText(double value, Precision precision = Precision::Double);

// Number text without its leading space: '50'.
std::string trimmedNumberText(double value, Precision precision = Precision::Double);

// Upper-case hex with no prefix or leading zeros: '2E', 'A', '0', 'F000'.
std::string hexText(std::uint16_t value);

// A register-panel field read as hex: blanks anywhere are ignored, digits are
// read from the start up to the first non-hex character, and an empty or
// non-hex text reads as 0. Returns nullopt when the value does not fit a
// byte, however many digits the text has, so nothing is ever wrapped.
std::optional<std::uint8_t> HexField(std::string_view text);

// The duty field read as a decimal number: blanks anywhere are ignored, an
// optional sign, digits, decimal point and exponent (E or D) are read up to
// the first other character, '&H' and '&O' prefixes read hex and octal whole
// numbers, and anything else reads as 0. Never fails: a value too large for
// a double comes back as an infinity.
double decimalValue(std::string_view text);

} // namespace RegisterMap
