// The alarms' patience: a breach is an alarm only once it has lasted ten
// polls, ends only once the reading has been back inside by a margin for
// ten, never flaps at its bound, and counts a fan without a count as below.

#include "recording/AlarmLog.h"
#include "recording/AlarmWatch.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <tuple>

namespace {

using namespace std::chrono_literals;
const auto T0 = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'000'000'000));

// Local at raw byte local (°C in two's complement), Fan1's pair as given.
PollResult pollAt(int tenths, std::uint8_t local, std::uint8_t fanLow = 0x18, std::uint8_t fanHigh = 0x15,
                  std::uint16_t failed = 0)
{
    PollResult p;
    p.time = T0 + tenths * 100ms;
    p.bytes.fill(0x40);
    p.bytes[1] = local;
    p.bytes[3] = fanLow;
    p.bytes[4] = fanHigh;
    p.failedReads = failed;
    return p;
}

Limit limit(const char* text) { return std::get<Limit>(parseLimit(text)); }

// Each case feeds a run of polls and names the polls an event came on.
TEST(AlarmWatch, StartsAfterASecondEndsOnceAndNeverFlaps)
{
    struct Case {
        const char* what;
        Limit limit;
        std::vector<PollResult> polls;
        std::vector<std::pair<int, bool>> events; // (poll, started)
        int since = -1; // the poll the breach began on, where not ten before the start
    };
    const auto run = [](int from, int count, auto make) {
        std::vector<PollResult> polls;
        for (int i = from; i < from + count; ++i)
            polls.push_back(make(i));
        return polls;
    };
    const auto join = [](std::initializer_list<std::vector<PollResult>> parts) {
        std::vector<PollResult> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const Case cases[] = {
        {"a breach of nine polls is no alarm", limit("local_c<=40"),
         join({run(0, 9, [](int i) { return pollAt(i, 41); }), run(9, 20, [](int i) { return pollAt(i, 38); })}), {}},
        {"ten polls are", limit("local_c<=40"), run(0, 12, [](int i) { return pollAt(i, 41); }), {{9, true}}},
        {"hovering within the margin after it keeps the alarm", limit("local_c<=40"),
         join({run(0, 10, [](int i) { return pollAt(i, 41); }),
               run(10, 40, [](int i) { return pollAt(i, i % 2 ? 40 : 41); })}),
         {{9, true}}},
        {"back by the margin for ten polls ends it, once", limit("local_c<=40"),
         join({run(0, 10, [](int i) { return pollAt(i, 41); }), run(10, 30, [](int i) { return pollAt(i, 39); })}),
         {{9, true}, {19, false}}},
        {"a fan with no new count changes nothing", limit("fan1_rpm>=500"),
         join({run(0, 5, [](int i) { return pollAt(i, 39, 0xFF, 0xFF); }), run(5, 20, [](int i) { return pollAt(i, 39, 0, 0); }),
               run(25, 5, [](int i) { return pollAt(i, 39, 0xFF, 0xFF); })}),
         {{29, true}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlarmWatch watch({c.limit});
        std::vector<std::pair<int, bool>> seen;
        for (std::size_t i = 0; i < c.polls.size(); ++i) {
            for (const AlarmWatch::Event& event : watch.check(c.polls[i], false)) {
                EXPECT_EQ(event.alarm.kind, AlarmWatch::Kind::Bound);
                seen.emplace_back(static_cast<int>(i), event.started);
                if (event.started) {
                    const std::size_t began = c.since >= 0 ? static_cast<std::size_t>(c.since) : i + 1 - AlarmWatch::PollsToStart;
                    EXPECT_EQ(event.time, c.polls[began].time) << "since the breach began";
                }
            }
        }
        EXPECT_EQ(seen, c.events);
    }
}

TEST(AlarmWatch, AFanAtZeroIsStalled)
{
    AlarmWatch watch({limit("fan1_rpm>=500"), limit("local_c<=40")});
    for (int i = 0; i < 10; ++i)
        watch.check(pollAt(i, 41, 0xFF, 0xFF), false);
    EXPECT_TRUE(watch.alarmed(0));
    EXPECT_TRUE(watch.stalled({AlarmWatch::Kind::Bound, 0}));
    EXPECT_TRUE(watch.alarmed(1));
    EXPECT_FALSE(watch.stalled({AlarmWatch::Kind::Bound, 1})) << "only a fan stalls";
}

// A reading that cannot be read is an alarm of its own, one a watched
// reading however many limits it has, after the same second; never a bound
// passed, and its limits stand meanwhile.
TEST(AlarmWatch, AFailedReadIsItsOwnAlarmNeverABound)
{
    using Kind = AlarmWatch::Kind;
    constexpr std::uint16_t local = 1u << 1, fan1 = 1u << 3;
    struct Case {
        const char* what;
        std::vector<Limit> limits;
        std::vector<std::pair<int, std::uint16_t>> runs; // polls, reads failed
        std::vector<std::tuple<int, Kind, std::size_t, bool>> events; // poll, kind, index, started
    };
    const Case cases[] = {
        {"Vcc with a low and a high bound: one no-reading alarm, neither bound",
         {limit("vcc_v>=3.1"), limit("vcc_v<=3.5")}, {{12, 1u << 11}}, {{9, Kind::NoReading, 7, true}}},
        {"an unread temperature is not too high", {limit("local_c<=40")}, {{12, local}},
         {{9, Kind::NoReading, 1, true}}},
        {"an unread fan is not a stall", {limit("fan1_rpm>=500")}, {{12, fan1}}, {{9, Kind::NoReading, 3, true}}},
        {"nine unread polls are nothing", {limit("local_c<=40")}, {{9, local}, {20, 0}}, {}},
        {"read again for a second ends it", {limit("local_c<=40")}, {{10, local}, {12, 0}},
         {{9, Kind::NoReading, 1, true}, {19, Kind::NoReading, 1, false}}},
        {"an unwatched reading raises nothing", {limit("local_c<=40")}, {{12, fan1}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlarmWatch watch(c.limits);
        std::vector<std::tuple<int, Kind, std::size_t, bool>> seen;
        int at = 0;
        for (const auto& [count, failed] : c.runs) {
            for (int i = 0; i < count; ++i, ++at) {
                // Local at 39 °C, Fan1 at 1000 rpm and the rest within every bound.
                PollResult poll = pollAt(at, 39, 0x18, 0x15, failed);
                poll.bytes[11] = 0xC0; // Vcc 3.3 V
                for (const AlarmWatch::Event& event : watch.check(poll, false))
                    seen.emplace_back(at, event.alarm.kind, event.alarm.index, event.started);
            }
        }
        EXPECT_EQ(seen, c.events);
    }
}

TEST(AlarmLog, TwoAlarmsInTheOrderTheyCameWithTheRecordingsConventions)
{
    const auto recording = std::filesystem::temp_directory_path() / ("corvane-alarms-" + std::to_string(getpid()) + ".csv");
    {
        AlarmLog log(recording.string());
        EXPECT_FALSE(log.add({T0, Poll::Reading::Local, "<=40", 41, "start"}));
        EXPECT_FALSE(log.add({T0 + 1500ms, Poll::Reading::Fan1, "no reading", std::nullopt, "start"}));
        EXPECT_FALSE(log.add({T0 + 3s, Poll::Reading::Local, "<=40", 38.5, "end"}));
    }
    std::ifstream in(recording.string() + ".alarms.csv", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(recording.string() + ".alarms.csv");
    EXPECT_EQ(text, "time,reading,bound,value,event\r\n"
                    "2025-12-06T05:46:40.000Z,local_c,<=40,41,start\r\n"
                    "2025-12-06T05:46:41.500Z,fan1_rpm,no reading,,start\r\n"
                    "2025-12-06T05:46:43.000Z,local_c,<=40,38.5,end\r\n");
}

} // namespace
