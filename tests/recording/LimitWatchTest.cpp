#include "recording/LimitWatch.h"

#include <gtest/gtest.h>

namespace {

// Local at raw 0x27 (39 °C, two's complement), Fan1's pair as given.
PollResult poll(std::uint8_t local, std::uint8_t fanLow = 0x18, std::uint8_t fanHigh = 0x15, std::uint16_t failed = 0)
{
    PollResult p;
    p.time = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'000'000'100));
    p.bytes.fill(0x40);
    p.bytes[1] = local;
    p.bytes[3] = fanLow;
    p.bytes[4] = fanHigh;
    p.failedReads = failed;
    p.outcome.error = failed ? ENXIO : 0;
    return p;
}

// Each line marks a change: passed, then held again; a failed read passes;
// a fan with no new count leaves its limit where it stood.
TEST(LimitWatch, ReportsEachPassingAndItsEndOnce)
{
    LimitWatch watch({std::get<Limit>(parseLimit("local_c<=40")), std::get<Limit>(parseLimit("fan1_rpm>=500"))});
    const struct {
        PollResult poll;
        std::vector<std::string> lines;
    } steps[] = {
        {poll(0x27), {}},
        {poll(0x29), {"2025-12-06T05:46:40.100Z local_c<=40 passed: 41"}},
        {poll(0x2A), {}},
        {poll(0x28, 0x00, 0x00), {"2025-12-06T05:46:40.100Z local_c<=40 holds again: 40"}},
        {poll(0x28, 0xFF, 0xFF), {"2025-12-06T05:46:40.100Z fan1_rpm>=500 passed: 0"}},
        {poll(0x28, 0x00, 0x00), {}},
        {poll(0x28, 0x18, 0x15, 1u << 1),
         {"2025-12-06T05:46:40.100Z local_c<=40 passed: no reading (No such device or address)",
          "2025-12-06T05:46:40.100Z fan1_rpm>=500 holds again: 1000"}},
    };
    EXPECT_FALSE(watch.everPassed());
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(watch.check(steps[i].poll, false), steps[i].lines);
    }
    EXPECT_TRUE(watch.everPassed());
}

} // namespace
