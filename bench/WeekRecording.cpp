// Writes a recording of a week at a row a second, as the program writes
// them, for timing how it opens and reports against gnuplot plotting the
// same file: the readings drift through the day, the chip stops answering
// for an hour on the third day, another device is polled on the fifth, and
// Local passes 45 °C for a stretch each afternoon, with its alarms beside.
//
//   week-recording FILE [DAYS]

#include "recording/AlarmLog.h"
#include "recording/CsvRecorder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: week-recording FILE [DAYS]\n", stderr);
        return 2;
    }
    const std::string path = argv[1];
    const int days = argc > 2 ? std::atoi(argv[2]) : 7;
    auto started = CsvRecorder::start(path, std::chrono::milliseconds(0), true);
    if (auto* problem = std::get_if<std::string>(&started)) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    auto& recorder = *std::get<std::unique_ptr<CsvRecorder>>(started);
    AlarmLog log(path);
    AlarmWatch alarms({Limit{Poll::Reading::Local, true, 45}});
    const auto start = std::chrono::system_clock::time_point(std::chrono::seconds(1'765'152'000));
    const int seconds = days * 86400;
    for (int s = 0; s < seconds; ++s) {
        PollResult poll;
        poll.time = start + std::chrono::seconds(s);
        poll.steadyTime = std::chrono::steady_clock::time_point(poll.time.time_since_epoch());
        const double day = std::sin(2 * M_PI * (s % 86400) / 86400.0);
        const auto local = static_cast<std::uint8_t>(38 + 9 * day + (s % 7 == 0 ? 1 : 0));
        const auto fan = static_cast<std::uint16_t>(1350000 / (1800 + 600 * day)); // count for rpm
        poll.bytes = {static_cast<std::uint8_t>(local + 8), local, static_cast<std::uint8_t>(local - 4),
                      static_cast<std::uint8_t>(fan & 0xFF), static_cast<std::uint8_t>(fan >> 8), 0x8C, 0x0A,
                      0x10, 0x0E, 0x00, 0x00, 192, 102, static_cast<std::uint8_t>(120 + 60 * day)};
        poll.device = s / 86400 == 4 ? 0x50 : 0x2E;
        poll.controller = 1;
        if (s / 3600 == 2 * 24 + 10)
            poll.failedReads = 0x3FFF; // an hour the chip did not answer
        if (auto problem = recorder.add(poll, false)) {
            std::fprintf(stderr, "%s\n", problem->c_str());
            return 1;
        }
        for (const AlarmWatch::Event& event : alarms.check(poll, false))
            log.add(alarmRowOf(alarms, event));
    }
    for (const AlarmRow& row : activeAlarmRows(alarms, false, start + std::chrono::seconds(seconds)))
        log.add(row);
    if (auto problem = recorder.finish()) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    return 0;
}
