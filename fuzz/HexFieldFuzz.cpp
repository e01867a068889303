// The register panel's hex fields: any text reads as what its leading hex
// digits say, blanks anywhere change nothing, and a value above a byte is
// refused, never wrapped.

#include "Properties.h"
#include "chip/ValueText.h"

#include <cstdint>
#include <optional>

namespace rm = RegisterMap;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A second reading of the rule, by counting digits rather than by value,
// so no arithmetic is shared with the code under test.
std::optional<std::uint8_t> expectedHex(std::string_view text)
{
    int value = 0;
    int significantDigits = 0;
    for (char c : text) {
        if (isBlank(c))
            continue;
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        if (significantDigits > 0 || digit != 0)
            ++significantDigits;
        if (significantDigits > 2)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return static_cast<std::uint8_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto read = rm::HexField(text);
    const auto expected = expectedHex(text);
    REQUIRE(read == expected, "text '%s': read %d, expected %d", shown(text).c_str(), read ? *read : -1,
            expected ? *expected : -1);

    const unsigned selector = size >= 4 ? data[0] | data[1] << 8 | data[2] << 16 | unsigned(data[3]) << 24 : 0x5;
    const std::string spread = withBlanksInserted(text, selector);
    REQUIRE(rm::HexField(spread) == read, "blanks changed '%s'", shown(spread).c_str());

    if (size >= 1) {
        const std::uint8_t byte = data[0];
        const std::string hex = rm::hexText(byte);
        REQUIRE(rm::HexField(hex) == byte, "hex text '%s' of %d", hex.c_str(), byte);
        REQUIRE(rm::HexField("000" + hex + "z") == byte, "leading zeros and a trailing letter, byte %d", byte);
        // One more digit multiplies by 16: refused, not wrapped, once past a byte.
        const auto timesSixteen = rm::HexField(hex + "0");
        REQUIRE(byte < 16 ? timesSixteen == byte * 16 : !timesSixteen, "byte %d times 16", byte);
    }
    return 0;
}
