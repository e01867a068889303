#include "RecordingReader.h"

#include "CsvRecorder.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using Poll::Reading;

namespace {

constexpr std::size_t ReadingColumns = Poll::ReadingCount;
constexpr std::size_t ByteColumnCount = Poll::Registers.size();
// time, the readings, the bytes; then device and controller in newer files.
constexpr std::size_t OldFieldCount = 1 + ReadingColumns + ByteColumnCount;
constexpr std::size_t FieldCount = OldFieldCount + 2;

std::string withoutLineEnd(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

const std::string& currentHeader()
{
    static const std::string header = withoutLineEnd(CsvRecorder::header());
    return header;
}

std::string_view olderHeader()
{
    constexpr std::string_view tail = ",device,controller";
    std::string_view header = currentHeader();
    header.remove_suffix(tail.size());
    return header;
}

// What a header line that is not ours looks like, shortened for a message.
std::string quoted(std::string_view line)
{
    std::string shown;
    for (const char c : line.substr(0, 60))
        shown += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return "\"" + shown + (line.size() > 60 ? "…\"" : "\"");
}

std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::optional<float> number(std::string_view cell)
{
    double value = 0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (error != std::errc() || end != cell.data() + cell.size() || !std::isfinite(value))
        return std::nullopt;
    return static_cast<float>(value);
}

bool hexByte(std::string_view cell)
{
    const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    return cell.size() == 2 && hex(cell[0]) && hex(cell[1]);
}

class Parser {
public:
    Parser(std::string name, std::size_t maxRows) : name_(std::move(name)), maxRows_(maxRows) {}

    // One line without its line end; false once the file is refused.
    bool line(std::string_view text)
    {
        ++lineNumber_;
        if (lineNumber_ == 1)
            return header(text);
        if (text.empty())
            return true; // a blank line, such as at the very end
        if (recording_.rows() >= maxRows_) {
            error_ = name_ + " has more than " + std::to_string(maxRows_) +
                     " rows, the most a recording can be opened with; open a shorter run";
            return false;
        }
        row(text);
        return true;
    }

    // Room for the rows a file of this size can hold, so the columns never
    // grow by doubling past what they need. Untouched room costs no memory.
    void expect(std::uint64_t rows)
    {
        const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(rows, maxRows_));
        recording_.times.reserve(room);
        for (auto& column : recording_.values)
            column.reserve(room);
    }

    RecordingRead finish()
    {
        if (error_)
            return RecordingError{*error_};
        if (lineNumber_ == 0)
            return RecordingError{name_ + " is empty: not a recording"};
        return std::move(recording_);
    }

    void fail(std::string message) { error_ = std::move(message); }

private:
    bool header(std::string_view text)
    {
        if (text.starts_with("\xEF\xBB\xBF")) {
            error_ = name_ + ", line 1: starts with a byte-order mark; recordings this program writes have none";
            return false;
        }
        if (text == currentHeader()) {
            fields_ = FieldCount;
        } else if (text == olderHeader()) {
            fields_ = OldFieldCount;
        } else {
            error_ = name_ + ", line 1: not a recording of this program's (its header is " + quoted(text) + ")";
            return false;
        }
        return true;
    }

    void damaged(const char* why)
    {
        if (recording_.damagedRows++ == 0)
            recording_.firstDamage = "line " + std::to_string(lineNumber_) + ": " + why;
    }

    void row(std::string_view text)
    {
        std::array<std::string_view, FieldCount> cells{};
        std::size_t count = 0;
        for (std::size_t start = 0;;) {
            const std::size_t comma = text.find(',', start);
            if (count == cells.size())
                return damaged("more fields than a recording's row has");
            cells[count++] = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        if (count != fields_)
            return damaged(count < fields_ ? "too few fields" : "more fields than a recording's row has");
        const auto time = parseIsoUtc(cells[0]);
        if (!time)
            return damaged("a bad time");
        std::array<float, ReadingColumns> values{};
        for (std::size_t i = 0; i < ReadingColumns; ++i) {
            const std::string_view cell = cells[1 + i];
            if (cell.empty()) {
                values[i] = std::numeric_limits<float>::quiet_NaN();
                continue;
            }
            const auto value = number(cell);
            if (!value)
                return damaged("a bad number");
            values[i] = *value;
        }
        for (std::size_t i = 0; i < ByteColumnCount; ++i) {
            const std::string_view cell = cells[1 + ReadingColumns + i];
            if (!cell.empty() && !hexByte(cell))
                return damaged("a bad register byte");
        }
        std::optional<Recording::Source> source;
        if (fields_ == FieldCount) {
            const std::string_view device = cells[OldFieldCount];
            const std::string_view controller = cells[OldFieldCount + 1];
            if (device.size() != 4 || !device.starts_with("0x") || !hexByte(device.substr(2)) ||
                (controller != "1" && controller != "2"))
                return damaged("a bad device or controller");
            unsigned address = 0;
            std::from_chars(device.data() + 2, device.data() + 4, address, 16);
            source = Recording::Source{recording_.rows(), static_cast<std::uint8_t>(address), controller[0] - '0'};
        }
        recording_.times.push_back(*time);
        for (std::size_t i = 0; i < ReadingColumns; ++i)
            recording_.values[static_cast<std::size_t>(Poll::ListedOrder[i])].push_back(values[i]);
        if (source && (recording_.sources.empty() || recording_.sources.back().device != source->device ||
                       recording_.sources.back().controller != source->controller))
            recording_.sources.push_back(*source);
    }

    std::string name_;
    std::size_t maxRows_;
    std::size_t lineNumber_ = 0;
    std::size_t fields_ = 0;
    Recording recording_;
    std::optional<std::string> error_;
};

// Hands each whole line of a chunked text to the parser.
class LineSplitter {
public:
    explicit LineSplitter(Parser& parser) : parser_(parser) {}

    bool add(std::string_view chunk)
    {
        while (!chunk.empty()) {
            const std::size_t end = chunk.find('\n');
            if (end == std::string_view::npos) {
                pending_.append(chunk);
                return true;
            }
            bool more;
            if (pending_.empty()) {
                more = parser_.line(trimmed(chunk.substr(0, end)));
            } else {
                pending_.append(chunk.substr(0, end));
                more = parser_.line(trimmed(pending_));
                pending_.clear();
            }
            if (!more)
                return false;
            chunk.remove_prefix(end + 1);
        }
        return true;
    }
    bool finish() { return pending_.empty() || parser_.line(trimmed(pending_)); }

private:
    static std::string_view trimmed(std::string_view line)
    {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

    Parser& parser_;
    std::string pending_;
};

} // namespace

std::optional<Recording::Milliseconds> parseIsoUtc(std::string_view text)
{
    // 2026-12-08T23:04:05.123Z
    if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != '.' || text[23] != 'Z')
        return std::nullopt;
    const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
    const auto millis = digits(text, 20, 3);
    if (!year || !month || !day || !hour || !minute || !second || !millis || *year < 1970 || *month < 1 ||
        *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 60)
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = *year - 1900;
    utc.tm_mon = *month - 1;
    utc.tm_mday = *day;
    utc.tm_hour = *hour;
    utc.tm_min = *minute;
    utc.tm_sec = *second;
    const std::time_t seconds = timegm(&utc);
    // timegm rolls 31 April over into May: a day the month does not have.
    if (seconds == static_cast<std::time_t>(-1) || utc.tm_mday != *day)
        return std::nullopt;
    return static_cast<Recording::Milliseconds>(seconds) * 1000 + *millis;
}

RecordingRead readRecordingText(std::string_view text, const std::string& name, std::size_t maxRows)
{
    Parser parser(name, maxRows);
    LineSplitter lines(parser);
    if (lines.add(text))
        lines.finish();
    return parser.finish();
}

RecordingRead readRecordingFile(const std::string& path, const ReadProgress& progress, std::size_t maxRows)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return RecordingError{"Cannot open " + path + ": " + std::strerror(errno)};
    if (S_ISDIR(status.st_mode))
        return RecordingError{path + " is a folder, not a recording"};
    if (!S_ISREG(status.st_mode))
        return RecordingError{path + " is not a regular file (a FIFO or a device): not a recording"};
    // Not blocking in open(2) should a FIFO take the file's place meanwhile.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return RecordingError{"Cannot open " + path + ": " + std::strerror(errno)};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return RecordingError{path + " is not a regular file (a FIFO or a device): not a recording"};
    }
    const auto total = static_cast<std::uint64_t>(status.st_size);
    // A row of ours is 57 bytes at the least (every reading empty) and
    // under 200 at the most: a file too large for the limit even at the
    // longest rows is refused before a byte is read.
    constexpr std::uint64_t ShortestRow = 57, LongestRow = 200;
    if (total / LongestRow > maxRows) {
        ::close(fd);
        return RecordingError{path + " has more than " + std::to_string(maxRows) +
                              " rows, the most a recording can be opened with; open a shorter run"};
    }
    Parser parser(path, maxRows);
    parser.expect(total / ShortestRow + 1);
    LineSplitter lines(parser);
    std::string buffer(1 << 20, '\0');
    std::uint64_t done = 0;
    bool more = true;
    while (more) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            parser.fail("Cannot read " + path + ": " + std::strerror(errno));
            break;
        }
        if (got == 0) {
            lines.finish();
            break;
        }
        done += static_cast<std::uint64_t>(got);
        more = lines.add(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        if (more && progress && !progress(done, total)) {
            parser.fail("Opening " + path + " was cancelled");
            break;
        }
    }
    ::close(fd);
    return parser.finish();
}
