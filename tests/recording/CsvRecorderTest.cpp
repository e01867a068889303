// The CSV file: its header, its cells, intervals, and what it does when the
// file can take no more.

#include "recording/CsvRecorder.h"

#include <cerrno>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

// 2026-12-08T23:04:05.123Z
const Clock::time_point T0 = Clock::time_point(std::chrono::milliseconds(1'796'771'045'123));
// The steady clock at T0, when the wall clock is not set meanwhile: the same
// count, so intervals fall where the wall clock's do.
const std::chrono::steady_clock::time_point S0 = std::chrono::steady_clock::time_point(T0.time_since_epoch());

std::chrono::steady_clock::time_point steadyAt(Clock::duration sinceT0) { return S0 + sinceT0; }

// A poll of a typical chip: local 39 °C, remote1 46, remote2 31, fans 1000,
// 2000, 1500 and one reading 0x00 0x00, Vcc 3.3 V, Vccp 1.2 V, duty 60 %.
// Made at wall time `time`, on the steady clock at `steady` (as the wall
// clock says, unless it was set).
PollResult poll(Clock::time_point time, std::uint16_t failedReads = 0,
                std::optional<std::chrono::steady_clock::time_point> steady = {})
{
    PollResult p;
    p.time = time;
    p.steadyTime = steady.value_or(steadyAt(time - T0));
    p.bytes = {46, 39, 31, 0x18, 0x15, 0x8C, 0x0A, 0x10, 0x0E, 0x00, 0x00, 192, 102, 0x99};
    p.device = 0x2E;
    p.failedReads = failedReads;
    for (std::size_t i = 0; i < p.bytes.size(); ++i) {
        if (failedReads & (1u << i))
            p.bytes[i] = 0xFF;
    }
    return p;
}

// Lets this process's files grow to at most bytes, with SIGXFSZ ignored
// so a write past it fails with EFBIG; gives back the limit before.
rlimit fileSizeLimit(std::size_t bytes)
{
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(bytes), before.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return before;
}

class TempFile {
public:
    TempFile() : path_(std::filesystem::temp_directory_path() / ("corvane-csv-" + std::to_string(std::random_device{}())))
    {
        std::filesystem::create_directories(path_);
    }
    ~TempFile() { std::filesystem::remove_all(path_); }
    std::string file() const { return (path_ / "run.csv").string(); }
    const std::filesystem::path& folder() const { return path_; }
    std::vector<std::string> lines() const
    {
        std::ifstream in(file());
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

private:
    std::filesystem::path path_;
};

std::unique_ptr<CsvRecorder> start(const std::string& path, CsvRecorder::Interval interval = 0ms,
                                   bool overwrite = false)
{
    auto started = CsvRecorder::start(path, interval, overwrite);
    if (auto* problem = std::get_if<std::string>(&started)) {
        ADD_FAILURE() << *problem;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<CsvRecorder>>(started));
}

TEST(CsvRecorder, HeaderAndRowsSayWhatTheWindowShows)
{
    EXPECT_EQ(CsvRecorder::header(),
              "time,local_c,remote1_c,remote2_c,fan1_rpm,fan2_rpm,fan3_rpm,fan4_rpm,vcc_v,vccp_v,duty_pct,"
              "r21,r22,r25,r26,r27,r28,r29,r2A,r2B,r2C,r2D,r2E,r2F,r30,device,controller\r\n");
    struct Case {
        const char* what;
        PollResult poll;
        bool offsetCoded;
        std::string row;
    };
    const Case cases[] = {
        {"every reading", poll(T0), false,
         "2026-12-08T23:04:05.123Z,39,46,31,1000,2000,1500,,3.3,1.2,60,66,C0,2E,27,1F,18,15,8C,0A,10,0E,00,00,99,0x2E,2\r\n"},
        {"offset-64 coding", poll(T0 + 877ms), true,
         "2026-12-08T23:04:06.000Z,-25,-18,-33,1000,2000,1500,,3.3,1.2,60,66,C0,2E,27,1F,18,15,8C,0A,10,0E,00,00,99,0x2E,2\r\n"},
        {"failed reads leave empty cells, not zeros", poll(T0, (1u << 1) | (1u << 4) | (1u << 12)), false,
         "2026-12-08T23:04:05.123Z,,46,31,,2000,1500,,3.3,,60,,C0,2E,,1F,18,,8C,0A,10,0E,00,00,99,0x2E,2\r\n"},
    };
    PollResult elsewhere = poll(T0);
    elsewhere.device = 0x50;
    elsewhere.controller = 0;
    EXPECT_TRUE(CsvRecorder::row(elsewhere, false).ends_with(",99,0x50,1\r\n")) << "the device and controller 1";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CsvRecorder::row(c.poll, c.offsetCoded), c.row);
    }
}

TEST(CsvRecorder, WritesAPointWhateverTheLocale)
{
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
        GTEST_SKIP() << "no de_DE locale (scripts/test makes it as root)";
    const std::string row = CsvRecorder::row(poll(T0), false);
    std::setlocale(LC_ALL, "C");
    EXPECT_NE(row.find(",3.3,1.2,"), std::string::npos) << row;
}

// Every poll's row is in the file as soon as the poll is; a longer interval
// writes each interval's last poll once the interval is over, without
// waiting for another poll.
TEST(CsvRecorder, RowsReachTheFileAsSoonAsTheyAreDue)
{
    struct Case {
        CsvRecorder::Interval interval;
        std::vector<Clock::duration> polls;
        Clock::duration tickAt;
        std::vector<std::string> times; // the rows in the file after the tick
    };
    const Case cases[] = {
        {0ms, {0ms, 100ms, 200ms}, 200ms, {"05.123", "05.223", "05.323"}},
        {1000ms, {0ms, 300ms, 700ms}, 800ms, {}},
        {1000ms, {0ms, 300ms, 700ms}, 900ms, {"05.823"}},
        {10000ms, {0ms, 4s, 9s, 12s}, 13s, {"09.123"}},
        // A poll begun before the boundary and handed over after the row for
        // its interval went out adds no second row.
        {1000ms, {0ms, 700ms, 880ms, 750ms}, 900ms, {"05.823"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval.count());
        TempFile temp;
        auto recorder = start(temp.file(), c.interval);
        for (const auto offset : c.polls) {
            ASSERT_FALSE(recorder->add(poll(T0 + offset), false));
            if (offset == 880ms) {
                ASSERT_FALSE(recorder->tick(steadyAt(900ms)));
            }
        }
        ASSERT_FALSE(recorder->tick(steadyAt(c.tickAt)));
        auto lines = temp.lines();
        if (!lines.empty())
            lines.erase(lines.begin()); // the header
        ASSERT_EQ(lines.size(), c.times.size());
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].substr(17, 6), c.times[i]);
        EXPECT_EQ(recorder->rows(), c.times.size());
    }
}

// The wall clock set back 60 s in the middle of a run: intervals go by the
// steady clock, so every second still gets its row, and the rows' times go
// back as the clock did.
TEST(CsvRecorder, AClockSetBackLosesNoRow)
{
    TempFile temp;
    auto recorder = start(temp.file(), 1000ms);
    for (int i = 0; i < 40; ++i) {
        const auto sinceStart = i * 100ms;
        const auto wall = T0 + sinceStart - (i >= 20 ? 60s : 0s);
        ASSERT_FALSE(recorder->add(poll(wall, 0, steadyAt(sinceStart)), false));
        ASSERT_FALSE(recorder->tick(steadyAt(sinceStart + 50ms)));
    }
    auto lines = temp.lines();
    lines.erase(lines.begin());
    ASSERT_EQ(lines.size(), 4u) << "a row for each of four seconds";
    EXPECT_EQ(lines[1].substr(11, 12), "23:04:06.923");
    EXPECT_EQ(lines[2].substr(11, 12), "23:03:07.923") << "a time going back, not missing rows";
}

// A FIFO would block the window in open(2); a device is no record.
TEST(CsvRecorder, RecordsOnlyToARegularFile)
{
    TempFile temp;
    const std::string fifo = (temp.folder() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null"), temp.folder().string()}) {
        SCOPED_TRACE(path);
        const auto refused = CsvRecorder::start(path, 0ms, true);
        ASSERT_TRUE(std::holds_alternative<std::string>(refused));
        EXPECT_NE(std::get<std::string>(refused).find("it is not a regular file"), std::string::npos)
            << std::get<std::string>(refused);
    }
}

TEST(CsvRecorder, NeverReplacesAFileItWasNotToldTo)
{
    TempFile temp;
    std::ofstream(temp.file()) << "precious\n";
    const auto refused = CsvRecorder::start(temp.file(), 0ms, false);
    ASSERT_TRUE(std::holds_alternative<std::string>(refused));
    EXPECT_NE(std::get<std::string>(refused).find("File exists"), std::string::npos);
    EXPECT_EQ(temp.lines(), std::vector<std::string>{"precious"});

    start(temp.file(), 0ms, true)->add(poll(T0), false);
    EXPECT_EQ(temp.lines().size(), 2u);
}

// A full disk or a file removed under the recorder stops the recording with
// the reason; what was written stays whole.
TEST(CsvRecorder, WaitsOutAFullDiskAndStopsWhenTheFileIsGone)
{
    TempFile temp;
    {
        // A file that may grow to one and a half rows, as on a disk that is
        // nearly full: the second row does not fit, the half of it that did
        // is taken back, and the row is counted lost; the recording goes on,
        // and once there is room the next row follows the first.
        const std::size_t rowSize = CsvRecorder::row(poll(T0), false).size();
        const rlimit before = fileSizeLimit(CsvRecorder::header().size() + rowSize * 3 / 2);
        auto full = start(temp.file());
        ASSERT_FALSE(full->add(poll(T0), false));
        EXPECT_FALSE(full->add(poll(T0 + 100ms), false)) << "a full disk does not end the recording";
        EXPECT_FALSE(full->add(poll(T0 + 200ms), false));
        EXPECT_TRUE(full->full().has_value());
        EXPECT_EQ(full->lostRows(), 2u);
        EXPECT_EQ(temp.lines().size(), 2u) << "the header and the whole row";
        ::setrlimit(RLIMIT_FSIZE, &before);
        ASSERT_FALSE(full->add(poll(T0 + 300ms), false));
        EXPECT_FALSE(full->full().has_value());
        EXPECT_EQ(full->rows(), 2u);
        EXPECT_EQ(temp.lines().size(), 3u);
        EXPECT_EQ(temp.lines().back() + "\n", CsvRecorder::row(poll(T0 + 300ms), false));
        EXPECT_EQ(full->lossText().rfind("2 rows lost while the disk was full (", 0), 0u) << full->lossText();
        std::filesystem::remove(temp.file());
    }

    auto recorder = start(temp.file());
    ASSERT_FALSE(recorder->add(poll(T0), false));
    ASSERT_FALSE(recorder->add(poll(T0 + 100ms), false));
    std::filesystem::remove_all(temp.folder());
    std::optional<std::string> removed;
    for (int i = 2; i < 15 && !removed; ++i)
        removed = recorder->add(poll(T0 + i * 100ms), false);
    ASSERT_TRUE(removed) << "noticed within a second";
    EXPECT_EQ(*removed, temp.file() + " was removed");
}

} // namespace
