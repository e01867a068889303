#include "RecordingSummary.h"

#include "AlarmLog.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>

using Poll::Reading;
using Milliseconds = Recording::Milliseconds;

namespace {

std::optional<Reading> readingNamed(std::string_view name)
{
    for (int r = 0; r < Poll::ReadingCount; ++r) {
        if (Poll::name(static_cast<Reading>(r)) == name)
            return static_cast<Reading>(r);
    }
    return std::nullopt;
}

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

} // namespace

std::variant<AlarmsRead, RecordingError> readAlarmsText(std::string_view text, Milliseconds lastTime,
                                                         const std::string& name)
{
    AlarmsRead read;
    const auto damaged = [&read](std::size_t line, const char* why) {
        if (read.damagedRows++ == 0)
            read.firstDamage = "line " + std::to_string(line) + ": " + why;
    };
    std::string header = AlarmLog::header();
    while (!header.empty() && (header.back() == '\n' || header.back() == '\r'))
        header.pop_back();
    // Starts not yet ended, by reading and bound.
    std::map<std::pair<Reading, std::string>, std::size_t> open;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (++lineNumber == 1) {
            if (line != header)
                return RecordingError{name + ", line 1: not an alarms file of this program's"};
            continue;
        }
        if (line.empty())
            continue;
        const auto fields = fieldsOf(line);
        if (fields.size() != 5) {
            damaged(lineNumber, "not five fields");
            continue;
        }
        const auto time = parseIsoUtc(fields[0]);
        const auto reading = readingNamed(fields[1]);
        if (!time || !reading || fields[2].empty()) {
            damaged(lineNumber, !time ? "a bad time" : "an unknown reading");
            continue;
        }
        std::optional<float> value;
        if (!fields[3].empty()) {
            double number = 0;
            const auto [at, error] = std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), number);
            if (error != std::errc() || at != fields[3].data() + fields[3].size() || !std::isfinite(number)) {
                damaged(lineNumber, "a bad number");
                continue;
            }
            value = static_cast<float>(number);
        }
        const std::pair<Reading, std::string> key{*reading, std::string(fields[2])};
        const std::string_view event = fields[4];
        if (event == "start") {
            // A second start without an end: the first ends where the second starts.
            if (const auto found = open.find(key); found != open.end()) {
                AlarmSpan& first = read.spans[found->second];
                first.end = std::max(*time, first.start);
                first.endEvent = "no end (started again)";
            }
            open[key] = read.spans.size();
            read.spans.push_back({*reading, key.second, *time, *time, value, {}});
        } else if (event.starts_with("end")) {
            const auto found = open.find(key);
            if (found == open.end()) {
                damaged(lineNumber, "an end with no start");
                continue;
            }
            read.spans[found->second].end = std::max(*time, read.spans[found->second].start);
            read.spans[found->second].endEvent = std::string(event);
            open.erase(found);
        } else {
            damaged(lineNumber, "an unknown event");
        }
    }
    if (lineNumber == 0)
        return RecordingError{name + " is empty: not an alarms file"};
    for (const auto& [key, index] : open) {
        read.spans[index].end = std::max(lastTime, read.spans[index].start);
        read.spans[index].endEvent = "no end (the recording stopped first)";
    }
    return read;
}

std::variant<AlarmsRead, RecordingError> readAlarmsFile(const std::string& recordingPath, Milliseconds lastTime)
{
    const std::string path = recordingPath + ".alarms.csv";
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return AlarmsRead{};
    if (!S_ISREG(status.st_mode))
        return RecordingError{path + " is not a regular file: its alarms are not shown"};
    // Alarms are a few rows a run; one far beyond that is not ours.
    constexpr off_t MostBytes = 64 << 20;
    if (status.st_size > MostBytes)
        return RecordingError{path + " is larger than 64 MB: not an alarms file of this program's"};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return RecordingError{"Cannot open " + path};
    std::ostringstream text;
    text << in.rdbuf();
    return readAlarmsText(text.str(), lastTime, path);
}

Milliseconds typicalInterval(const Recording& recording)
{
    if (recording.rows() < 2)
        return 0;
    std::vector<Milliseconds> steps;
    steps.reserve(recording.rows() - 1);
    for (std::size_t i = 1; i < recording.rows(); ++i)
        steps.push_back(recording.times[i] - recording.times[i - 1]);
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
    return steps[steps.size() / 2];
}

RecordingSummary summarize(const Recording& recording, const std::vector<AlarmSpan>& alarms)
{
    RecordingSummary summary;
    summary.rows = recording.rows();
    summary.damagedRows = recording.damagedRows;
    if (recording.rows() == 0)
        return summary;
    summary.first = recording.times.front();
    summary.last = recording.times.back();
    const Milliseconds longStep = std::max<Milliseconds>(1, typicalInterval(recording)) * GapIntervals;
    for (int r = 0; r < Poll::ReadingCount; ++r) {
        const std::vector<float>& column = recording.values[static_cast<std::size_t>(r)];
        ReadingSummary& s = summary.readings[static_cast<std::size_t>(r)];
        double sum = 0;
        // The time of the last row with a value, and whether rows without
        // one came since.
        std::optional<Milliseconds> lastSeen;
        bool missedSince = false;
        const auto gapEnds = [&s](Milliseconds length) {
            ++s.gaps;
            s.longestGap = std::max(s.longestGap, length);
        };
        for (std::size_t i = 0; i < column.size(); ++i) {
            const Milliseconds time = recording.times[i];
            if (std::isnan(column[i])) {
                missedSince = true;
                continue;
            }
            const float value = column[i];
            if (s.values == 0) {
                s.first = time;
                s.minimum = s.maximum = value;
                // Rows before the first value: a gap from the recording's start.
                if (missedSince)
                    gapEnds(time - summary.first);
            } else if (missedSince || time - *lastSeen > longStep) {
                gapEnds(time - *lastSeen);
            }
            s.minimum = std::min(s.minimum, value);
            s.maximum = std::max(s.maximum, value);
            sum += value;
            ++s.values;
            s.last = time;
            lastSeen = time;
            missedSince = false;
        }
        if (s.values > 0) {
            s.mean = static_cast<float>(sum / static_cast<double>(s.values));
            if (missedSince)
                gapEnds(summary.last - *lastSeen);
        } else if (missedSince) {
            gapEnds(summary.last - summary.first);
        }
    }
    for (const AlarmSpan& span : alarms) {
        auto& beyond = summary.readings[static_cast<std::size_t>(span.reading)].beyond;
        auto found = std::find_if(beyond.begin(), beyond.end(),
                                  [&span](const ReadingSummary::Beyond& b) { return b.bound == span.bound; });
        if (found == beyond.end())
            found = beyond.insert(beyond.end(), {span.bound, 0, 0});
        found->time += span.end - span.start;
        ++found->alarms;
    }
    return summary;
}
