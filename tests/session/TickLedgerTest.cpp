#include "session/TickLedger.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Ticks that came, in ms from the first: those that never came between them.
TEST(TickLedger, CountsTheTicksThatNeverCameBetweenThoseThatDid)
{
    const struct {
        std::initializer_list<int> came;
        std::uint64_t missed;
    } cases[] = {
        {{0, 100, 200, 300}, 0},
        {{0, 95, 205, 300}, 0},     // a coarse timer's jitter
        {{0, 100, 260, 300}, 0},    // one late, the next on time: none lost
        {{0, 100, 350, 450}, 1},    // a loop held up 250 ms: one tick came for two
        {{0, 100, 30'100}, 299},    // stopped for 30 s
        {{0, 100, 100, 200}, 0},    // two at once: none missed
    };
    for (const auto& c : cases) {
        TickLedger ledger(100ms);
        const TickLedger::Clock::time_point start{};
        for (int ms : c.came)
            ledger.came(start + std::chrono::milliseconds(ms));
        EXPECT_EQ(ledger.missed(), c.missed) << c.came.begin()[c.came.size() - 1];
    }
}

} // namespace
