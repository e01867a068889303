#include "chip/RegisterMap.h"

#include <gtest/gtest.h>

namespace rm = RegisterMap;

TEST(FieldExtraction, ReadsOnlyItsOwnBits)
{
    struct Case { std::uint8_t r; int behaviour, frequency, pulses; bool offsetCoded; };
    const Case cases[] = {
        {0x00, 0, 0, 0, true},
        {0xFF, 7, 1, 3, false},
        {0xE0, 7, 0, 0, true},
        {0x08, 0, 1, 0, true},
        {0x07, 0, 0, 3, false},
        {0xE2, 7, 0, 2, true},
        {0x1F, 0, 1, 3, false},
        {0x85, 4, 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "register byte 0x" << std::hex << int(c.r));
        EXPECT_EQ(rm::behaviour(c.r), c.behaviour);
        EXPECT_EQ(rm::frequency(c.r), c.frequency);
        EXPECT_EQ(rm::pulses(c.r), c.pulses);
        EXPECT_EQ(rm::offsetCoded(c.r), c.offsetCoded);
    }
}

TEST(FieldInsertion, ChangesOnlyItsOwnBits)
{
    struct Case { const char* what; std::uint8_t result, expected; };
    const Case cases[] = {
        {"withFrequency(0xFF, 0)", rm::withFrequency(0xFF, 0), 0xF7},
        {"withFrequency(0x00, 1)", rm::withFrequency(0x00, 1), 0x08},
        {"withFrequency(0x6B, 0)", rm::withFrequency(0x6B, 0), 0x63},
        {"withFrequency(0x63, 1)", rm::withFrequency(0x63, 1), 0x6B},
        {"withBehaviour(0xFF, 0)", rm::withBehaviour(0xFF, 0), 0x1F},
        {"withBehaviour(0x00, 7)", rm::withBehaviour(0x00, 7), 0xE0},
        {"withBehaviour(0xE5, 4)", rm::withBehaviour(0xE5, 4), 0x85},
        {"withPulses(0xFF, 0)", rm::withPulses(0xFF, 0), 0xFC},
        {"withPulses(0x54, 3)", rm::withPulses(0x54, 3), 0x57},
    };
    for (const Case& c : cases)
        EXPECT_EQ(int(c.result), int(c.expected)) << c.what;
}

TEST(FieldInsertion, RoundTripsEveryFieldValueThroughEveryByte)
{
    for (int r = 0; r <= 0xFF; ++r) {
        const auto byte = static_cast<std::uint8_t>(r);
        for (int k = 0; k < 8; ++k)
            ASSERT_EQ(rm::behaviour(rm::withBehaviour(byte, k)), k);
        for (int k = 0; k < 4; ++k)
            ASSERT_EQ(rm::pulses(rm::withPulses(byte, k)), k);
        for (int k = 0; k < 2; ++k)
            ASSERT_EQ(rm::frequency(rm::withFrequency(byte, k)), k);
        // Writing back the field just read leaves the register as it was.
        ASSERT_EQ(rm::withBehaviour(byte, rm::behaviour(byte)), byte);
        ASSERT_EQ(rm::withPulses(byte, rm::pulses(byte)), byte);
        ASSERT_EQ(rm::withFrequency(byte, rm::frequency(byte)), byte);
    }
}

TEST(RegisterIndexes, FanTachPairs)
{
    const std::uint8_t lows[] = {0x28, 0x2A, 0x2C, 0x2E};
    for (int fan = 0; fan < rm::FanCount; ++fan) {
        EXPECT_EQ(rm::fanTachLow(fan), lows[fan]);
        EXPECT_EQ(rm::fanTachHigh(fan), lows[fan] + 1);
    }
}
