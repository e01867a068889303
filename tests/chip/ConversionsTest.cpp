#include "chip/Conversions.h"

#include <gtest/gtest.h>

namespace rm = RegisterMap;

TEST(Rounding, HalfToEvenOnTheExactValue)
{
    struct Case { double x; int decimals; double expected; };
    const Case cases[] = {
        {1.125, 2, 1.12}, {1.375, 2, 1.38}, {2.5, 0, 2}, {3.5, 0, 4}, {112.5, 0, 112},
        {-2.5, 0, -2}, {0.125, 2, 0.12},
        // 0.285 is not a double; the nearest one lies just below it.
        {0.285, 2, 0.28}, {82.4, 0, 82},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rm::roundHalfEven(c.x, c.decimals), c.expected) << c.x << " to " << c.decimals;
}

TEST(Temperature, BothCodings)
{
    struct Case { std::uint8_t raw; bool offsetCoded; int celsius; };
    const Case cases[] = {
        {0x00, true, -64}, {0x40, true, 0}, {0xFF, true, 191}, {0x59, true, 25},
        {0x7F, false, 127}, {0x80, false, -128}, {0xFF, false, -1}, {0xF6, false, -10},
        {0x00, false, 0}, {0x19, false, 25},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rm::temperature(c.raw, c.offsetCoded), c.celsius)
            << "raw " << int(c.raw) << (c.offsetCoded ? " offset-64" : " two's complement");
}

TEST(FanSpeed, FromTachPair)
{
    struct Case { std::uint8_t low, high; float rpm; };
    const Case cases[] = {
        {0x18, 0x15, 1000},   // count 5400
        {0xFF, 0xFF, 0},      // stalled: 82.4 rpm is below the 100 rpm floor
        {0x01, 0x00, 5400000},
        {0x80, 0xBB, 112},    // count 48000: 112.5, tie to even
        {0x80, 0x3E, 338},    // count 16000: 337.5, tie to even
        {0xF0, 0xD2, 100},    // count 54000: exactly the floor, kept
        {0xF1, 0xD2, 100},    // count 54001: 99.998 rounds up to the floor first
        {0xE4, 0xD4, 0},      // count 54500: 99.08 rounds to 99, below the floor
    };
    for (const Case& c : cases) {
        const auto rpm = rm::fanSpeed(c.low, c.high);
        ASSERT_TRUE(rpm.has_value());
        EXPECT_EQ(*rpm, c.rpm) << "pair " << int(c.low) << ", " << int(c.high);
    }
    EXPECT_FALSE(rm::fanSpeed(0, 0).has_value()) << "a zero pair is no reading, not 0 rpm";
}

TEST(Voltages, RoundedToTwoDecimals)
{
    struct Case { const char* what; double volts, expected; };
    const Case cases[] = {
        {"Vcc 192", rm::vcc(192), 3.3},   {"Vcc 16", rm::vcc(16), 0.27},
        {"Vcc 208", rm::vcc(208), 3.57},  {"Vcc 0", rm::vcc(0), 0},
        {"Vcc 255", rm::vcc(255), 4.38},  {"Vccp 96", rm::vccp(96), 1.12},
        {"Vccp 32", rm::vccp(32), 0.38},  {"Vccp 102", rm::vccp(102), 1.2},
        {"Vccp 70", rm::vccp(70), 0.82},  {"Vccp 255", rm::vccp(255), 2.99},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.volts, c.expected) << c.what;
}

TEST(Duty, PercentFromRegisterByte)
{
    struct Case { std::uint8_t raw; int percent; };
    const Case cases[] = {{255, 100}, {254, 100}, {128, 50}, {1, 0}, {0, 0}, {0x99, 60}, {0x7F, 50}, {2, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(rm::dutyPercent(c.raw), c.percent) << "raw " << int(c.raw);
}

TEST(Duty, RegisterByteFromPercent)
{
    struct Case { double percent; int byte; };
    // 100 x 2.55 lands just below 255 in double precision and is floored.
    const Case cases[] = {{100, 0xFE}, {0, 0x00}, {50, 0x7F}, {60, 0x99}, {12.5, 0x1F}, {37, 0x5E}, {0.3, 0x00}};
    for (const Case& c : cases)
        EXPECT_EQ(rm::dutyByte(c.percent), c.byte) << c.percent << " %";
}

TEST(Duty, EveryPercentSurvivesTheRegisterRoundTrip)
{
    for (int percent = 0; percent <= 100; ++percent)
        EXPECT_EQ(rm::dutyPercent(rm::dutyByte(percent)), percent);
}
