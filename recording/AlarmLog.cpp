#include "AlarmLog.h"

#include "CsvRecorder.h"
#include "CsvText.h"
#include "WholeRows.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

AlarmLog::AlarmLog(std::string recordingPath) : path_(std::move(recordingPath) + ".alarms.csv")
{
    // Another run's alarms beside this run's readings would read as this
    // run's; a name that is no file of ours (a folder) is left alone.
    ::unlink(path_.c_str());
}

AlarmLog::~AlarmLog()
{
    flush();
    if (fd_ >= 0)
        ::close(fd_);
}

std::string AlarmLog::header()
{
    return "time,reading,bound,value,event\r\n";
}

std::optional<std::string> AlarmLog::add(const AlarmRow& alarm)
{
    if (failed_)
        return std::nullopt; // said once already
    waiting_.push_back(isoUtcText(alarm.time) + "," + std::string(Poll::name(alarm.reading)) + "," + alarm.bound +
                       "," + (alarm.value ? csvNumber(*alarm.value) : std::string()) + "," + alarm.event + "\r\n");
    if (auto problem = flush())
        return problem;
    if (waiting_.size() > MaxWaitingRows) {
        failed_ = true;
        return path_ + ": the disk stayed full for " + std::to_string(MaxWaitingRows) + " alarm rows";
    }
    return std::nullopt;
}

std::optional<std::string> AlarmLog::flush()
{
    if (failed_ || waiting_.empty())
        return std::nullopt;
    if (fd_ < 0) {
        // The recording's own: it replaces one a recording of the same name left.
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd_ < 0) {
            failed_ = true;
            return path_ + ": " + std::strerror(errno);
        }
    }
    while (!waiting_.empty()) {
        const std::string row = (wholeRowsEnd_ == 0 ? header() : std::string()) + waiting_.front();
        const RowWrite written = writeWholeRow(fd_, row, wholeRowsEnd_, true);
        // An alarm's start without its end would read as an alarm still on:
        // on a full disk the rows wait for room, in order, rather than be lost.
        if (written.diskFull())
            return std::nullopt;
        if (!written.ok()) {
            failed_ = true;
            return path_ + ": " + std::strerror(written.error);
        }
        waiting_.pop_front();
    }
    return std::nullopt;
}

AlarmRow alarmRowOf(const AlarmWatch& watch, const AlarmWatch::Event& event, const std::string& cause)
{
    const AlarmWatch::Alarm& alarm = event.alarm;
    std::string bound = "no reading";
    if (alarm.kind == AlarmWatch::Kind::Bound) {
        const Limit& limit = watch.limits()[alarm.index];
        bound = (limit.atMost ? "<=" : ">=") + csvNumber(limit.bound);
    }
    const std::string what = event.started ? "start" : cause.empty() ? "end" : "end (" + cause + ")";
    return {event.time, watch.readingOf(alarm), bound, event.value, what};
}

std::vector<AlarmRow> activeAlarmRows(const AlarmWatch& watch, bool starting, std::chrono::system_clock::time_point now)
{
    std::vector<AlarmRow> rows;
    for (const AlarmWatch::Alarm& alarm : watch.active()) {
        rows.push_back(starting ? alarmRowOf(watch, {alarm, true, watch.since(alarm), watch.lastValue(alarm)})
                                : alarmRowOf(watch, {alarm, false, now, std::nullopt}, "recording ended"));
    }
    return rows;
}
