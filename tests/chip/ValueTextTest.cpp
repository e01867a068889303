#include "chip/Conversions.h"
#include "chip/ValueText.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

namespace rm = RegisterMap;

TEST(NumberText, ShortestFormWithSignPlace)
{
    struct Case { double value; rm::Precision precision; const char* text; };
    const Case cases[] = {
        {25, rm::Precision::Double, " 25"},
        {-5, rm::Precision::Double, "-5"},
        {3.30, rm::Precision::Double, " 3.3"},
        {0.82, rm::Precision::Double, " .82"},
        {-0.82, rm::Precision::Double, "-.82"},
        {0.27, rm::Precision::Double, " .27"},
        {0, rm::Precision::Double, " 0"},
        {-0.0, rm::Precision::Double, " 0"},
        {1000, rm::Precision::Single, " 1000"},
        {5400000, rm::Precision::Single, " 5400000"},
        {191, rm::Precision::Double, " 191"},
        {-128, rm::Precision::Double, "-128"},
        {0.1 + 0.2, rm::Precision::Double, " .3"},           // 15 significant digits hide the binary noise
        {1.0 / 3, rm::Precision::Single, " .3333333"},
        {1.0 / 3, rm::Precision::Double, " .333333333333333"},
        {123456789, rm::Precision::Single, " 1.234568E+08"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rm::numberText(c.value, c.precision), c.text) << c.value;
}

TEST(NumberText, TrimmedDropsTheSignPlace)
{
    EXPECT_EQ(rm::trimmedNumberText(50), "50");
    EXPECT_EQ(rm::trimmedNumberText(0), "0");
    EXPECT_EQ(rm::trimmedNumberText(100), "100");
    EXPECT_EQ(rm::trimmedNumberText(-3), "-3");
}

TEST(HexText, UpperCaseNoPrefixNoLeadingZeros)
{
    struct Case { std::uint16_t value; const char* text; };
    const Case cases[] = {{0x2E, "2E"}, {0x0A, "A"}, {0, "0"}, {0xE5, "E5"}, {0x400, "400"},
                          {0xF000, "F000"}, {0xFFFF, "FFFF"}, {0x8000, "8000"}};
    for (const Case& c : cases)
        EXPECT_EQ(rm::hexText(c.value), c.text);
}

TEST(HexField, ReadsHexAndRefusesWhatDoesNotFitAByte)
{
    struct Case { const char* text; std::optional<int> value; };
    const Case cases[] = {
        {"2e", 0x2E}, {"ff", 0xFF}, {"FF", 0xFF}, {"12g4", 0x12}, {"", 0}, {"g", 0}, {"  ", 0},
        {" 2 e ", 0x2E}, {"\t2\ne", 0x2E}, {"00002e", 0x2E}, {"0x2e", 0}, {"-1", 0}, {"0", 0},
        {"100", std::nullopt}, {"fff", std::nullopt}, {"1ff", std::nullopt},
        {"ffffffffffffffffffffffffffffffffffffffff", std::nullopt},
        {"10000000000000000000000000000000000000000000000000000000000000000000000000000000000", std::nullopt},
        {"100g", std::nullopt}, {"80", 0x80}, {"7f", 0x7F},
    };
    for (const Case& c : cases) {
        const auto value = rm::HexField(c.text);
        if (c.value)
            EXPECT_EQ(value, std::optional<std::uint8_t>(*c.value)) << "'" << c.text << "'";
        else
            EXPECT_FALSE(value.has_value()) << "'" << c.text << "' must be out of range";
    }
}

TEST(DecimalValue, ReadsLeadingNumberNeverFails)
{
    struct Case { const char* text; double value; };
    const Case cases[] = {
        {"50", 50}, {"12.5x", 12.5}, {"&H32", 50}, {"&h32", 50}, {"&O17", 15}, {"&o17", 15},
        {"abc", 0}, {"", 0}, {"  ", 0}, {"-1", -1}, {"+7", 7}, {"100.1", 100.1}, {" 6 0 ", 60},
        {"1e2", 100}, {"1D2", 100}, {"1e", 1}, {"1e+", 1}, {"2.5e-1", 0.25}, {".5", 0.5},
        {"5.", 5}, {".", 0}, {"-", 0}, {"1.2.3", 1.2}, {"5-", 5}, {"- 5", -5}, {"&H", 0},
        {"&Hzz", 0}, {"&O9", 0}, {"&17", 0}, {"1e-999", 0},
        {"0.000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000001", 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(rm::decimalValue(c.text), c.value) << "'" << c.text << "'";
}

TEST(DecimalValue, TooLargeForADoubleIsInfinite)
{
    for (const char* text : {"1e999", "1D999", "9e99999999999999999999"}) {
        const double value = rm::decimalValue(text);
        EXPECT_TRUE(std::isinf(value) && value > 0) << text;
    }
    EXPECT_TRUE(std::isinf(rm::decimalValue("-1e999")) && rm::decimalValue("-1e999") < 0);
    EXPECT_TRUE(std::isinf(rm::decimalValue(std::string(400, '9'))));
}

// Qt switches the C library to the user's locale; a German desktop must
// still see ' 3.3 V', not ' 3,3 V'.
TEST(ValueText, IgnoresTheUsersLocale)
{
    const char* commaLocale = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            commaLocale = name;
            break;
        }
    if (!commaLocale)
        GTEST_SKIP() << "no locale with a decimal comma is installed (scripts/test makes de_DE.UTF-8 as root)";
    EXPECT_EQ(rm::numberText(0.82), " .82");
    EXPECT_EQ(rm::numberText(3.3), " 3.3");
    EXPECT_DOUBLE_EQ(rm::decimalValue("12.5"), 12.5);
    EXPECT_EQ(rm::hexText(0x2E), "2E");
    EXPECT_EQ(rm::vccp(96), 1.12);
    std::setlocale(LC_ALL, "C");
}
