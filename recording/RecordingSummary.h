#pragma once
// What a recorded run comes to, reading by reading: its span, minimum,
// mean and maximum, its gaps, and the time it spent beyond each bound its
// alarms file names. The figures a report prints and the window lists.

#include "RecordingReader.h"

#include <optional>
#include <string>
#include <vector>

// The alarms a recording kept beside it, as spans: a start row paired with
// the end row that follows it for the same reading and bound.
struct AlarmSpan {
    Poll::Reading reading;
    std::string bound; // "<=80", ">=1200", "no reading"
    Recording::Milliseconds start;
    Recording::Milliseconds end;
    std::optional<float> value; // at the start
    std::string endEvent;       // "end", "end (recording ended)", …
};

struct AlarmsRead {
    std::vector<AlarmSpan> spans;
    std::size_t damagedRows = 0;
    std::string firstDamage;
};

// <recording>.alarms.csv, where it exists: nothing when it does not; an
// error when it is there but not one of ours. A start never ended (the
// program was killed) ends at lastTime, the recording's last row.
std::variant<AlarmsRead, RecordingError> readAlarmsFile(const std::string& recordingPath,
                                                         Recording::Milliseconds lastTime);
std::variant<AlarmsRead, RecordingError> readAlarmsText(std::string_view text, Recording::Milliseconds lastTime,
                                                         const std::string& name = "the alarms");

struct ReadingSummary {
    std::size_t values = 0; // rows with a value
    Recording::Milliseconds first = 0, last = 0;
    float minimum = 0, mean = 0, maximum = 0;
    std::size_t gaps = 0;
    Recording::Milliseconds longestGap = 0;
    struct Beyond {
        std::string bound;
        Recording::Milliseconds time = 0;
        std::size_t alarms = 0;
    };
    std::vector<Beyond> beyond; // one per bound the alarms name, in order of first appearance
};

struct RecordingSummary {
    Recording::Milliseconds first = 0, last = 0; // the rows' span
    std::size_t rows = 0;
    std::size_t damagedRows = 0;
    std::array<ReadingSummary, Poll::ReadingCount> readings;
};

// A stretch longer than this many typical row intervals with no row counts
// as a gap, as does every run of rows where the reading was not read.
inline constexpr int GapIntervals = 3;

RecordingSummary summarize(const Recording& recording, const std::vector<AlarmSpan>& alarms = {});

// The interval between rows the recording was mostly made at (the median).
Recording::Milliseconds typicalInterval(const Recording& recording);
