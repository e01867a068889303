#pragma once
// Readings to a CSV file as they come: RFC 4180, UTF-8, one header row, the
// time in ISO 8601 UTC with milliseconds, the ten readings as the window
// shows them (with a '.' whatever the locale), then the fourteen raw bytes
// in two-digit hex. A cell is empty where the device did not answer, or
// where the window keeps its text (a fan whose pair reads 0x00 0x00).
//
// Each row goes to the file in one write(2) as soon as it is due, so a
// killed program leaves whole rows only, and loses at most the row of the
// interval in hand. A full disk does not end the recording: its rows are
// lost and counted, and the file goes on, whole rows only, once there is
// room again.

#include "protocol/PollReadings.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <variant>
#include <vector>

class CsvRecorder {
public:
    // 0 records every poll; longer intervals record each interval's last poll.
    using Interval = std::chrono::milliseconds;

    // Creates the file; the header goes out with the first row, so a file
    // that takes no bytes (a full disk) stops the recording like any later
    // failure. An existing file is an error unless overwrite is set: the
    // caller asks the user first. Only a regular file: a FIFO would block
    // the caller in open(2), and a device is no record.
    static std::variant<std::unique_ptr<CsvRecorder>, std::string> start(const std::string& path, Interval interval,
                                                                          bool overwrite);
    // Rows to standard output, for a pipe: the command line's "record -".
    static std::variant<std::unique_ptr<CsvRecorder>, std::string> toStandardOutput(Interval interval);
    ~CsvRecorder();
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Takes one poll. Returns why the file can take no more rows (full,
    // removed, a write failed): recording must stop, and every row written
    // so far stays whole.
    std::optional<std::string> add(const PollResult& poll, bool offsetCoded);
    // Called on every tick, polled or not: writes the row of an interval
    // that has ended, without waiting for the next poll. Intervals are
    // timed on the steady clock; rows carry the wall clock's time.
    std::optional<std::string> tick(std::chrono::steady_clock::time_point now);
    // Writes the row of the interval in hand.
    std::optional<std::string> finish();

    const std::string& path() const { return path_; }
    // The last write failed because nobody reads the pipe any more
    // (record - | head): a normal end, not a failure.
    bool readerGone() const { return readerGone_; }
    std::uint64_t rows() const { return rows_; }

    // A stretch of a full disk, and the rows it cost.
    struct FullSpan {
        std::chrono::system_clock::time_point from, until; // until is empty while it lasts
        std::uint64_t lostRows = 0;
    };
    std::uint64_t lostRows() const { return lostRows_; }
    // The disk is full now: since when, and the rows lost since.
    const std::optional<FullSpan>& full() const { return full_; }
    // "600 rows lost while the disk was full (… to …)"; empty when none were.
    std::string lossText() const;

    static std::string header();
    static std::string row(const PollResult& poll, bool offsetCoded);

private:
    CsvRecorder(int fd, std::string path, Interval interval, bool ownsFile = true);
    std::optional<std::string> write(std::string text);
    // rows_ and lostRows_ count every row as one or the other.
    std::optional<std::string> writeRow(std::string text);
    void keepFullSpan(const FullSpan& span);
    std::int64_t bucketOf(std::chrono::steady_clock::time_point time) const;
    std::optional<std::string> checkStillThere(std::chrono::steady_clock::time_point now);

    int fd_;
    std::string path_;
    Interval interval_;
    std::uint64_t rows_ = 0;
    bool headerWritten_ = false;
    off_t wholeRowsEnd_ = 0; // the file's size after the last whole row
    // A file this recorder created may be cut back to its last whole row;
    // standard output may be a file with another run's rows in it.
    bool ownsFile_ = true;
    // The last interval a row was written for: a poll that finishes after
    // its interval's row went out must not add a second one.
    std::optional<std::int64_t> lastWrittenInterval_;
    std::optional<PollResult> pending_; // the last poll of the interval in hand
    bool pendingOffsetCoded_ = false;
    std::chrono::steady_clock::time_point lastCheck_{};
    bool readerGone_ = false;
    std::uint64_t lostRows_ = 0;
    std::optional<FullSpan> full_;
    std::vector<FullSpan> fullSpans_; // the first and the latest
    std::uint64_t fullSpanCount_ = 0;
};

// "2026-12-08T23:04:05.123Z"
std::string isoUtcText(std::chrono::system_clock::time_point time);
