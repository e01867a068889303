#pragma once
// The alarms of a recording, beside it: <recording>.alarms.csv, with the
// recording's conventions (RFC 4180, UTF-8, ISO 8601 UTC times, a '.' in
// numbers, each row in one write). A row for each alarm's start and one for
// its end; the readings file's columns stay as they are. Made at the first
// alarm, so a recording without one leaves no empty file beside it.

#include "LimitWatch.h"

#include <chrono>
#include <optional>
#include <string>

class AlarmLog {
public:
    explicit AlarmLog(std::string recordingPath);
    ~AlarmLog();
    AlarmLog(const AlarmLog&) = delete;
    AlarmLog& operator=(const AlarmLog&) = delete;

    // Why the row could not be written; nothing when it was.
    std::optional<std::string> add(std::chrono::system_clock::time_point time, const Limit& limit,
                                   std::optional<double> value, bool started);

    static std::string header();

private:
    std::string path_;
    int fd_ = -1;
    bool failed_ = false;
};
