#pragma once
// The alarms of a recording, beside it: <recording>.alarms.csv, with the
// recording's conventions (RFC 4180, UTF-8, ISO 8601 UTC times, a '.' in
// numbers, each row in one write). A row for each alarm's start and one for
// its end, so every alarm has both: one still on when the recording ends
// gets an end row then, marked so. The readings file's columns stay as they
// are. Made at the first alarm, so a recording without one leaves no empty
// file beside it; whatever a recording of the same name left there goes
// when this one starts.

#include "AlarmWatch.h"
#include "LimitWatch.h"

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// One row: "2026-12-09T10:00:00.000Z,local_c,<=80,81,start".
struct AlarmRow {
    std::chrono::system_clock::time_point time;
    Poll::Reading reading;
    std::string bound; // "<=80", or "no reading" for a reading that is not read
    std::optional<double> value;
    std::string event; // "start", "end", or "end (" why ")" for an end the watch did not see
};

class AlarmLog {
public:
    // Removes what an earlier recording of this name left beside it.
    explicit AlarmLog(std::string recordingPath);
    ~AlarmLog();
    AlarmLog(const AlarmLog&) = delete;
    AlarmLog& operator=(const AlarmLog&) = delete;

    // Why the row could not be written; nothing when it was, or when it
    // waits for room on a full disk.
    std::optional<std::string> add(const AlarmRow& row);
    // Writes the rows that wait for room; why not, when they never can be.
    std::optional<std::string> flush();
    std::size_t waiting() const { return waiting_.size(); }

    static std::string header();

private:
    static constexpr std::size_t MaxWaitingRows = 10'000;

    std::string path_;
    int fd_ = -1;
    bool failed_ = false;
    off_t wholeRowsEnd_ = 0;
    std::deque<std::string> waiting_; // rows the disk had no room for yet
};

// The row of a watch's event; cause marks an end the watch did not see
// ("recording ended", "device changed"), empty for its own.
AlarmRow alarmRowOf(const AlarmWatch& watch, const AlarmWatch::Event& event, const std::string& cause = {});
// A row for each alarm on now: its start where a recording starts
// (starting), else its end, marked "recording ended", where one ends.
std::vector<AlarmRow> activeAlarmRows(const AlarmWatch& watch, bool starting, std::chrono::system_clock::time_point now);
