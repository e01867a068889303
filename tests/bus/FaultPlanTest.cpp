#include "bus/FaultPlan.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using namespace std::chrono_literals;

TEST(FaultPlan, ReadsEachFaultAndSaysWhatIsWrongWithABadOne)
{
    struct Case {
        const char* text;
        const char* refusal; // a part of why, or null for a plan
    };
    const Case cases[] = {
        {"fail=2%/10,silent=20s/2m,slow=50ms/1%,gone=10s/5m,seed=7,log=/tmp/x", nullptr},
        {"fail=0.5", nullptr},
        {"errors=EIO+EREMOTEIO,fail=100%", nullptr},
        {"", "the plan is empty"},
        {"fail=2%,", "an empty item"},
        {",fail=2%", "an empty item"},
        {"fail", "each item is NAME=VALUE"},
        {"fail=101%", "a share is 0 to 100 %"},
        {"fail=-1%", "a share is 0 to 100 %"},
        {"fail=2%/0", "a burst is 1 to 1000"},
        {"fail=2%,fail=3%", "'fail' is given twice"},
        {"errors=EIO+ENOENT", "'ENOENT' is not an error the bus gives"},
        {"silent=20s", "a span in every interval"},
        {"silent=2m/1m", "shorter than the interval"},
        {"silent=50ms/1s", "at least 100 ms"},
        {"gone=1x/5m", "a span in every interval"},
        {"slow=11s/1%", "at most 10 s"},
        {"slow=50ms", "a delay and a share"},
        {"seed=-1", "a whole number"},
        {"log=", "needs a file name"},
        {"wobble=1", "not a fault"},
    };
    for (const Case& c : cases) {
        const auto plan = parseFaultPlan(c.text);
        if (!c.refusal) {
            EXPECT_TRUE(std::holds_alternative<FaultPlan>(plan)) << c.text << ": " << std::get<std::string>(plan);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<std::string>(plan)) << c.text;
        EXPECT_NE(std::get<std::string>(plan).find(c.refusal), std::string::npos)
            << c.text << ": " << std::get<std::string>(plan);
    }

    const FaultPlan whole = std::get<FaultPlan>(parseFaultPlan("fail=2%/10,silent=20s/2m,slow=50ms/1%,gone=10s/5m,seed=7"));
    EXPECT_DOUBLE_EQ(whole.failShare, 0.02);
    EXPECT_EQ(whole.burst, 10);
    EXPECT_EQ(whole.errors, (std::vector<int>{EIO, EAGAIN, ETIMEDOUT}));
    EXPECT_EQ(whole.silent.span, 20s);
    EXPECT_EQ(whole.silent.every, 2min);
    EXPECT_EQ(whole.slowDelay, 50ms);
    EXPECT_DOUBLE_EQ(whole.slowShare, 0.01);
    EXPECT_EQ(whole.gone.every, 5min);
    EXPECT_EQ(whole.seed, 7u);
}

// A span sits at the end of each interval, on the steady clock from zero.
TEST(FaultPlan, SpansLieAtTheEndOfEachIntervalAndSayWhenTheyChange)
{
    const FaultPlan::Spans spans{20s, 2min};
    const auto at = [](std::chrono::milliseconds ms) { return FaultPlan::Clock::time_point(ms); };
    const struct {
        std::chrono::milliseconds time;
        bool inside;
        std::chrono::milliseconds next;
    } cases[] = {
        {0ms, false, 100s},       {99'999ms, false, 100s}, {100s, true, 120s},
        {119'999ms, true, 120s},  {120s, false, 220s},     {230s, true, 240s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(spans.at(at(c.time)), c.inside) << c.time.count();
        EXPECT_EQ(spans.nextChange(at(c.time)), at(c.next)) << c.time.count();
    }
    EXPECT_FALSE(FaultPlan::Spans{}.at(at(5s)));
}

} // namespace
