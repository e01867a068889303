// The bench session's alarms on their own, fed polls as the session feeds
// them: what each step notifies, withdraws and leaves beside a recording.
// Each case is a run of steps and the notices and rows it must leave.

#include "session/AlarmNotices.h"
#include "session/BenchAlarms.h"
#include "session/BenchRecording.h"

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Reading = Poll::Reading;
const auto T0 = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'000'000'000));

struct RecordedNotices : AlarmNotices {
    std::vector<std::string> log; // "show Fan1 stalled (critical)", "withdraw 3"
    void show(int key, const QString& summary, const QString&, bool critical) override
    {
        log.push_back("show " + std::to_string(key) + " " + summary.toStdString() + (critical ? " (critical)" : ""));
    }
    void withdraw(int key) override { log.push_back("withdraw " + std::to_string(key)); }
};

// Local, Fan1 and Vcc as given; the rest well inside any bound here.
PollResult poll(int tenths, std::uint8_t local, std::uint16_t failed = 0, std::uint8_t fanPair = 0x18)
{
    PollResult p;
    p.time = T0 + tenths * 100ms;
    p.bytes.fill(0x40);
    p.bytes[1] = local;
    p.bytes[3] = fanPair; // Fan1's pair 0x18 0x15: about 1000 rpm; 0xFF 0xFF: stalled
    p.bytes[4] = fanPair == 0xFF ? 0xFF : 0x15;
    p.bytes[11] = 0xC0; // Vcc 3.3 V
    p.failedReads = failed;
    return p;
}

std::vector<LimitSetting> limits(std::initializer_list<LimitSetting> on)
{
    std::vector<LimitSetting> all = BenchSettings().limits();
    for (const LimitSetting& limit : on) {
        for (LimitSetting& each : all) {
            if (each.reading == limit.reading)
                each = limit;
        }
    }
    return all;
}

struct Rig {
    RecordedNotices notices;
    BenchAlarms alarms{&notices};
    BenchRecording recording{alarms};
    int tenths = 0;
    void polls(int count, std::uint8_t local, std::uint16_t failed = 0, std::uint8_t fanPair = 0x18)
    {
        for (int i = 0; i < count; ++i)
            alarms.check(poll(tenths++, local, failed, fanPair), false);
    }
    BenchAlarms::Time now() const { return T0 + tenths * 100ms; }
};

const auto localAbove40 = limits({{Reading::Local, std::nullopt, 40.0, true}});
constexpr std::uint16_t VccFailed = 1u << 11, Fan1Failed = 1u << 3;

TEST(BenchAlarms, WhatEachStepNotifiesAndWithdraws)
{
    const struct {
        const char* what;
        std::vector<LimitSetting> limits;
        std::function<void(Rig&)> steps;
        std::vector<std::string> notices;
    } cases[] = {
        {"a breach of a second notifies once; its end withdraws it", localAbove40,
         [](Rig& r) {
             r.polls(30, 45);
             r.polls(10, 30);
         },
         {"show 0 Local too high", "withdraw 0"}},
        {"another device's reading neither ends the alarm nor carries it on", localAbove40,
         [](Rig& r) {
             r.polls(10, 45);
             r.alarms.endAll(r.now(), BenchAlarms::EndCause::TargetChanged);
             EXPECT_TRUE(r.alarms.statusText().isEmpty());
             r.polls(9, 45);
             EXPECT_TRUE(r.alarms.statusText().isEmpty()) << "a second of the new device first";
             r.polls(1, 45);
             EXPECT_TRUE(r.alarms.statusText().contains("since")) << r.alarms.statusText().toStdString();
         },
         {"show 0 Local too high", "withdraw 0", "show 0 Local too high"}},
        {"Vcc unread with both bounds: one no-reading alarm, no bound passed",
         limits({{Reading::Vcc, 3.1, 3.5, true}}), [](Rig& r) { r.polls(20, 39, VccFailed); },
         {"show 1007 Vcc not read"}},
        {"an unread fan is not a stall", limits({{Reading::Fan1, 500.0, std::nullopt, true}}),
         [](Rig& r) { r.polls(20, 39, Fan1Failed); }, {"show 1003 Fan1 not read"}},
        {"a fan at 0 rpm is", limits({{Reading::Fan1, 500.0, std::nullopt, true}}),
         [](Rig& r) { r.polls(20, 39, 0, 0xFF); }, {"show 0 Fan1 stalled (critical)"}},
        {"new limits end the old alarms", localAbove40,
         [](Rig& r) {
             r.polls(10, 45);
             r.alarms.setLimits(limits({{Reading::Local, std::nullopt, 50.0, true}}), r.now());
             r.polls(20, 45);
         },
         {"show 0 Local too high", "withdraw 0"}},
        {"a device that is not the chip raises nothing", localAbove40,
         [](Rig& r) {
             r.alarms.setApplies(false, r.now());
             r.polls(30, 45);
             r.polls(30, 45);
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.alarms.setLimits(c.limits, T0);
        c.steps(rig);
        EXPECT_EQ(rig.notices.log, c.notices);
    }
}

// Every alarm in a recording's alarms file has a start and an end row.
TEST(BenchAlarms, EveryAlarmInARecordingHasItsStartAndItsEnd)
{
    const auto folder = std::filesystem::temp_directory_path() / ("corvane-bench-alarms-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string recording = (folder / "run.csv").string();
    const auto rows = [&] {
        std::ifstream in(recording + ".alarms.csv");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(line.find(',') + 1)); // without the time
        return lines;
    };
    const std::string header = "reading,bound,value,event\r";
    const struct {
        const char* what;
        std::function<void(Rig&)> steps;
        std::vector<std::string> rows; // empty: no file at all
    } cases[] = {
        {"started during an alarm, stopped during it",
         [&](Rig& r) {
             r.polls(12, 45);
             ASSERT_EQ(r.recording.start(recording, CsvRecorder::Interval(0), true), std::nullopt);
             r.polls(5, 45);
             r.recording.stop();
         },
         {header, "local_c,<=40,45,start\r", "local_c,<=40,,end (recording ended)\r"}},
        {"limits changed during an alarm",
         [&](Rig& r) {
             ASSERT_EQ(r.recording.start(recording, CsvRecorder::Interval(0), true), std::nullopt);
             r.polls(12, 45);
             r.alarms.setLimits(limits({{Reading::Local, std::nullopt, 50.0, true}}), r.now());
             r.recording.stop();
         },
         {header, "local_c,<=40,45,start\r", "local_c,<=40,,end (limits changed)\r"}},
        {"the device changed, and a read failed",
         [&](Rig& r) {
             ASSERT_EQ(r.recording.start(recording, CsvRecorder::Interval(0), true), std::nullopt);
             r.polls(12, 45, 1u << 1);
             r.alarms.endAll(r.now(), BenchAlarms::EndCause::TargetChanged);
             r.recording.stop();
         },
         {header, "local_c,no reading,,start\r", "local_c,no reading,,end (device changed)\r"}},
        {"a replaced recording's old alarms go, even with none new", [&](Rig& r) {
             std::ofstream(recording + ".alarms.csv") << "an old run's alarms\n";
             ASSERT_EQ(r.recording.start(recording, CsvRecorder::Interval(0), true), std::nullopt);
             r.polls(12, 30);
             r.recording.stop();
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(recording + ".alarms.csv");
        Rig rig;
        rig.alarms.setLimits(localAbove40, T0);
        c.steps(rig);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(std::filesystem::exists(recording + ".alarms.csv"), !c.rows.empty());
    }
    std::filesystem::remove_all(folder);
}

} // namespace
