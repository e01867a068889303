// The run's history: full rate for the last hour, per-second summaries
// before it, gaps where nothing answered, and a day within its budget.

#include "recording/History.h"

#include <gtest/gtest.h>

namespace {

using Poll::Reading;

// A poll at a time in ms whose Local temperature is value (two's complement),
// or one where nothing answered.
PollResult pollAt(History::Milliseconds ms, int local, bool answered = true)
{
    PollResult p;
    p.time = std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
    p.bytes.fill(0x10);
    p.bytes[1] = static_cast<std::uint8_t>(local);
    p.failedReads = answered ? 0 : 0x3FFF;
    return p;
}

constexpr History::Milliseconds Start = 1'796'770'000'000;

TEST(History, KeepsTheLastHourAtFullRateAndSummariesBeforeIt)
{
    History history;
    // Two hours at 10 Hz; Local counts 20, 21, ... 29 within each second.
    const History::Milliseconds twoHours = 2 * 3600 * 1000;
    for (History::Milliseconds t = 0; t < twoHours; t += 100)
        history.add(pollAt(Start + t, 20 + static_cast<int>(t % 1000 / 100)), false);

    EXPECT_EQ(history.polls(), 72'000u);
    EXPECT_EQ(history.first(), Start);
    EXPECT_EQ(history.last(), Start + twoHours - 100);

    // The last hour: every poll.
    const auto recent = history.series(Reading::Local, Start + twoHours - 1000, Start + twoHours, 100);
    ASSERT_EQ(recent.size(), 10u);
    EXPECT_EQ(recent.front().value, 20);
    EXPECT_EQ(recent.back().value, 29);

    // Before it: one mean a second, its min and max behind it.
    const auto old = history.series(Reading::Local, Start, Start + 10'000, 100);
    ASSERT_EQ(old.size(), 10u) << "one point a second, however fine the step asked";
    EXPECT_FLOAT_EQ(old.front().value, 24.5f);
    const auto values = history.at(Start + 2'000, 100);
    ASSERT_TRUE(values);
    EXPECT_FLOAT_EQ(*values->readings[static_cast<std::size_t>(Reading::Local)], 24.5f);

    // Coarse steps average what they cover, across both stores.
    const auto whole = history.series(Reading::Local, Start, Start + twoHours, 600'000);
    ASSERT_EQ(whole.size(), 12u);
    for (const auto& point : whole)
        EXPECT_NEAR(point.value, 24.5f, 1e-3);
}

TEST(History, ATickWhereNothingAnsweredIsAGapNotAZero)
{
    History history;
    for (int i = 0; i < 30; ++i)
        history.add(pollAt(Start + i * 100, 40, i < 10 || i >= 20), false);
    const auto points = history.series(Reading::Local, Start, Start + 3000, 100);
    ASSERT_EQ(points.size(), 20u);
    for (const auto& point : points)
        EXPECT_EQ(point.value, 40);
    EXPECT_FALSE(history.at(Start + 1500, 40)->readings[static_cast<std::size_t>(Reading::Local)]);
}

// Times count from a base the history moves when they would outgrow it:
// after a wall clock stepped weeks ahead, the polls on both sides of the
// step keep their times and their values.
TEST(History, TimesSurviveAClockSteppedWeeksAhead)
{
    constexpr History::Milliseconds Day = 24 * 3600 * 1000;
    for (const History::Milliseconds step : {History::Milliseconds{1000}, 20 * Day, 30 * Day, 60 * Day}) {
        SCOPED_TRACE(testing::Message() << "stepped " << step << " ms");
        History history;
        for (int i = 0; i < 50; ++i)
            history.add(pollAt(Start + i * 100, 30), false);
        const History::Milliseconds after = Start + 4'900 + step;
        for (int i = 0; i < 50; ++i)
            history.add(pollAt(after + i * 100, 40), false);
        EXPECT_EQ(history.last(), after + 4'900);
        const auto latest = history.at(after + 4'900, 0);
        ASSERT_TRUE(latest);
        EXPECT_EQ(latest->time, after + 4'900);
        EXPECT_EQ(*latest->readings[static_cast<std::size_t>(Reading::Local)], 40);
        const auto recent = history.series(Reading::Local, after, after + 5'000, 100);
        ASSERT_EQ(recent.size(), 50u);
        EXPECT_EQ(recent.front().time, after + 50);
        // Before the step: at full rate if within the hour, else a mean a second.
        const auto before = history.at(Start + 2'000, 100);
        ASSERT_TRUE(before);
        EXPECT_EQ(*before->readings[static_cast<std::size_t>(Reading::Local)], 30);
        EXPECT_EQ(history.first(), Start);
    }
}

TEST(History, AClockSetBackDoesNotUnsortIt)
{
    History history;
    history.add(pollAt(Start + 1000, 30), false);
    history.add(pollAt(Start + 500, 31), false); // the wall clock went back
    history.add(pollAt(Start + 1100, 32), false);
    EXPECT_EQ(history.last(), Start + 1100);
    EXPECT_EQ(history.series(Reading::Local, Start, Start + 2000, 100).size(), 2u) << "30 and 31 share a step, then 32";
}

TEST(History, ADayFitsInThirtyMegabytesAndOlderPollsAMinuteAtATime)
{
    History history;
    for (History::Milliseconds t = 0; t < 24LL * 3600 * 1000; t += 100)
        history.add(pollAt(Start + t, 30), false);
    EXPECT_EQ(history.polls(), 864'000u);
    const std::size_t day = history.bytes();
    EXPECT_LE(day, 30u * 1024 * 1024);

    // Two hours more: the first hour is now older than a day and an hour.
    const History::Milliseconds end = 26LL * 3600 * 1000;
    for (History::Milliseconds t = 24LL * 3600 * 1000; t < end; t += 100)
        history.add(pollAt(Start + t, 40), false);
    EXPECT_LT(history.bytes(), day + day / 20) << "the oldest seconds went into minutes";
    const History::Milliseconds firstMinute = Start - Start % 60'000;
    EXPECT_EQ(history.first(), firstMinute) << "the minute of the first poll";
    const auto oldest = history.series(Reading::Local, firstMinute, firstMinute + 3600 * 1000 - 1, 60'000);
    ASSERT_EQ(oldest.size(), 60u);
    EXPECT_EQ(oldest.front().value, 30);
    const auto values = history.at(firstMinute + 90'000, 100);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->time, firstMinute + 90'000) << "the middle of its minute";
    EXPECT_EQ(values->readings[static_cast<std::size_t>(Reading::Local)], 30);
}

} // namespace
