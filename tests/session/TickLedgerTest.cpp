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
        {{0, 140, 200, 260}, 0},    // late and early, but each came
        {{0, 100, 30'100}, 299},    // stopped for 30 s
        {{0, 100, 260, 360}, 1},    // one lost to a busy loop
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
