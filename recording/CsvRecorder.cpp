#include "CsvRecorder.h"
#include "CsvText.h"
#include "WholeRows.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <charconv>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Poll::Reading;

namespace {

// The raw bytes in register order, as positions among the polled bytes.
const std::array<std::size_t, Poll::Registers.size()> ByteColumns = [] {
    std::array<std::size_t, Poll::Registers.size()> order{};
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) { return Poll::Registers[a] < Poll::Registers[b]; });
    return order;
}();

// The readings in the order the window lists them: the chip's own
// temperature first.
constexpr const auto& ColumnOrder = Poll::ListedOrder;

std::string errorText(int error)
{
    char buffer[128];
    return strerror_r(error, buffer, sizeof buffer);
}

} // namespace

std::string isoUtcText(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    const int millis = static_cast<int>(((ms % 1000) + 1000) % 1000);
    return std::string(text, length) + "." + std::to_string(millis + 1000).substr(1) + "Z";
}

std::string CsvRecorder::header()
{
    std::string text = "time";
    for (const Reading reading : ColumnOrder)
        text.append(",").append(Poll::name(reading));
    for (const std::size_t i : ByteColumns) {
        char column[8];
        std::snprintf(column, sizeof column, ",r%02X", Poll::Registers[i]);
        text += column;
    }
    // Which device and controller (1 or 2) each row came from.
    return text + ",device,controller\r\n";
}

std::string CsvRecorder::row(const PollResult& poll, bool offsetCoded)
{
    std::string text = isoUtcText(poll.time);
    for (const Reading reading : ColumnOrder) {
        text += ',';
        if (const auto value = readingValue(poll, reading, offsetCoded))
            text += csvNumber(*value);
    }
    for (const std::size_t i : ByteColumns) {
        text += ',';
        if (!(poll.failedReads & (1u << i))) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02X", poll.bytes[i]);
            text += byte;
        }
    }
    char source[32];
    std::snprintf(source, sizeof source, ",0x%02X,%d\r\n", poll.device, poll.controller + 1);
    return text + source;
}

std::variant<std::unique_ptr<CsvRecorder>, std::string> CsvRecorder::start(const std::string& path, Interval interval,
                                                                           bool overwrite)
{
    const std::string notAFile = "Cannot record to " + path +
                                 ": it is not a regular file (a FIFO, a device or a folder); record to a file";
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        return notAFile;
    // Not blocking in open(2) should a FIFO take the file's place meanwhile.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (overwrite ? O_TRUNC : O_EXCL);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0)
        return "Cannot record to " + path + ": " + errorText(errno);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return notAFile;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<CsvRecorder>(new CsvRecorder(fd, path, interval));
}

std::variant<std::unique_ptr<CsvRecorder>, std::string> CsvRecorder::toStandardOutput(Interval interval)
{
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return "Cannot record to standard output: " + errorText(errno);
    return std::unique_ptr<CsvRecorder>(new CsvRecorder(fd, "standard output", interval, false));
}

CsvRecorder::CsvRecorder(int fd, std::string path, Interval interval, bool ownsFile)
    : fd_(fd), path_(std::move(path)), interval_(interval), ownsFile_(ownsFile)
{
}

CsvRecorder::~CsvRecorder()
{
    finish();
    ::close(fd_);
}

std::optional<std::string> CsvRecorder::write(std::string text)
{
    if (fd_ < 0)
        return "the file is closed";
    if (!headerWritten_)
        text = header() + text;
    const RowWrite written = writeWholeRow(fd_, text, wholeRowsEnd_, ownsFile_);
    if (written.ok()) {
        headerWritten_ = true;
        if (full_) {
            full_->until = std::chrono::system_clock::now();
            keepFullSpan(*full_);
            full_.reset();
        }
        return std::nullopt;
    }
    readerGone_ = written.error == EPIPE;
    // A full disk is waited out: its rows are lost, counted, and the
    // recording goes on in the same file once there is room again, as a
    // bench left overnight would want. Not where a part of a row stays in
    // a file that is not ours to cut.
    if (written.diskFull() && !written.partLeft) {
        if (!full_)
            full_ = FullSpan{std::chrono::system_clock::now(), {}, 0};
        ++full_->lostRows;
        ++lostRows_;
        return std::nullopt;
    }
    ::close(fd_);
    fd_ = -1;
    return path_ + ": " + errorText(written.error);
}

void CsvRecorder::keepFullSpan(const FullSpan& span)
{
    // The first and the latest are told; a disk that fills again and again
    // must not make the telling grow without end.
    if (fullSpans_.size() < 2)
        fullSpans_.push_back(span);
    else
        fullSpans_.back() = span;
    ++fullSpanCount_;
}

std::optional<std::string> CsvRecorder::checkStillThere(std::chrono::steady_clock::time_point now)
{
    // A file removed while open takes writes without complaint, into an
    // inode nobody can reach: look once a second.
    if (now - lastCheck_ < std::chrono::seconds(1))
        return std::nullopt;
    lastCheck_ = now;
    struct stat status {};
    if (::fstat(fd_, &status) == 0 && (!S_ISREG(status.st_mode) || status.st_nlink > 0))
        return std::nullopt;
    ::close(fd_);
    fd_ = -1;
    return path_ + " was removed";
}

std::optional<std::string> CsvRecorder::add(const PollResult& poll, bool offsetCoded)
{
    if (fd_ < 0)
        return "the file is closed";
    if (auto problem = checkStillThere(poll.steadyTime))
        return problem;
    if (interval_.count() <= 0)
        return writeRow(row(poll, offsetCoded));
    if (lastWrittenInterval_ && bucketOf(poll.steadyTime) <= *lastWrittenInterval_)
        return std::nullopt;
    std::optional<std::string> problem;
    if (pending_ && bucketOf(pending_->steadyTime) != bucketOf(poll.steadyTime))
        problem = finish();
    pending_ = poll;
    pendingOffsetCoded_ = offsetCoded;
    return problem;
}

std::int64_t CsvRecorder::bucketOf(std::chrono::steady_clock::time_point time) const
{
    return std::chrono::duration_cast<Interval>(time.time_since_epoch()).count() / interval_.count();
}

std::optional<std::string> CsvRecorder::tick(std::chrono::steady_clock::time_point now)
{
    if (!pending_ || bucketOf(pending_->steadyTime) == bucketOf(now))
        return std::nullopt;
    return finish();
}

std::optional<std::string> CsvRecorder::finish()
{
    if (!pending_ || fd_ < 0)
        return std::nullopt;
    auto problem = writeRow(row(*pending_, pendingOffsetCoded_));
    if (interval_.count() > 0)
        lastWrittenInterval_ = bucketOf(pending_->steadyTime);
    pending_.reset();
    return problem;
}

std::optional<std::string> CsvRecorder::writeRow(std::string text)
{
    const std::uint64_t lostBefore = lostRows_;
    auto problem = write(std::move(text));
    if (!problem && lostRows_ == lostBefore)
        ++rows_;
    return problem;
}

std::string CsvRecorder::lossText() const
{
    if (lostRows_ == 0)
        return {};
    std::string text = rowsText(lostRows_) + " lost while the disk was full (";
    std::vector<FullSpan> spans = fullSpans_;
    if (full_)
        spans.push_back(*full_);
    const std::uint64_t count = fullSpanCount_ + (full_ ? 1 : 0);
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (i > 0)
            text += i + 1 == spans.size() && count > spans.size() ? ", " + std::to_string(count - spans.size()) +
                                                                        " more, and " : ", ";
        text += isoUtcText(spans[i].from) + " to ";
        text += spans[i].until == std::chrono::system_clock::time_point() ? std::string("the end")
                                                                          : isoUtcText(spans[i].until);
    }
    return text + ")";
}
