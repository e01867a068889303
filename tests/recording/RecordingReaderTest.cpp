// Reading a recording back: what is refused and with which words and line,
// what is skipped and counted, and the summary's figures against the same
// rows worked out here by hand.

#include "recording/CsvRecorder.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingSummary.h"
#include "recording/RecordedSeries.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Reading = Poll::Reading;
using namespace std::chrono_literals;
const auto T0 = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'235'045'000));
constexpr Recording::Milliseconds T0ms = 1'765'235'045'000;

// A poll with Local at local °C and Vcc at 3.3 V; device and controller as given.
PollResult poll(int tenths, std::uint8_t local, std::uint16_t failed = 0, std::uint8_t device = 0x2E,
                int controller = 1)
{
    PollResult p;
    p.time = T0 + tenths * 100ms;
    p.bytes = {46, local, 31, 0x18, 0x15, 0x8C, 0x0A, 0x10, 0x0E, 0x00, 0x00, 192, 102, 0x99};
    p.failedReads = failed;
    p.device = device;
    p.controller = controller;
    return p;
}

std::string rows(std::initializer_list<PollResult> polls)
{
    std::string text = CsvRecorder::header();
    for (const PollResult& p : polls)
        text += CsvRecorder::row(p, false);
    return text;
}

const std::string Header = CsvRecorder::header();
const std::string Good = CsvRecorder::row(poll(0, 40), false);

std::string error(const RecordingRead& read)
{
    const auto* e = std::get_if<RecordingError>(&read);
    return e ? e->message : std::string("(read)");
}

TEST(RecordingReader, RefusesWhatIsNotOneOfOursNamingTheLine)
{
    const struct {
        const char* what;
        std::string text;
        std::size_t maxRows;
        const char* message;
    } cases[] = {
        {"a byte-order mark", "\xEF\xBB\xBF" + Header + Good, 10, "run.csv, line 1: starts with a byte-order mark"},
        {"another program's CSV", "Time,Temp\r\n1,2\r\n", 10, "run.csv, line 1: not a recording of this program's (its header is \"Time,Temp\")"},
        {"an empty file", "", 10, "run.csv is empty: not a recording"},
        {"more rows than may be opened", Header + Good + Good + Good, 2, "run.csv has more than 2 rows"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(error(readRecordingText(c.text, "run.csv", c.maxRows)).rfind(c.message, 0), 0u)
            << error(readRecordingText(c.text, "run.csv", c.maxRows));
    }
}

TEST(RecordingReader, SkipsAndCountsDamagedRowsInsideAGoodFile)
{
    std::string badNumber = Good;
    badNumber.replace(badNumber.find(",40,"), 4, ",4x,");
    std::string badByte = Good;
    badByte.replace(badByte.find(",99,"), 4, ",9G,");
    std::string badDevice = Good;
    badDevice.replace(badDevice.find(",0x2E,"), 6, ",0x2G,");
    const struct {
        const char* what;
        std::string row;
        const char* damage;
    } cases[] = {
        {"too few fields", "2026-12-08T23:04:05.000Z,40,41\r\n", "line 3: too few fields"},
        {"too many", Good.substr(0, Good.size() - 2) + ",7\r\n", "line 3: more fields than a recording's row has"},
        {"a bad time", "2026-02-30T23:04:05.000Z" + Good.substr(24), "line 3: a bad time"},
        {"a time in another form", "2026-12-08 23:04:05" + Good.substr(24), "line 3: a bad time"},
        {"a bad number", badNumber, "line 3: a bad number"},
        {"a bad register byte", badByte, "line 3: a bad register byte"},
        {"a bad device", badDevice, "line 3: a bad device or controller"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RecordingRead read = readRecordingText(Header + Good + c.row + Good);
        ASSERT_TRUE(std::holds_alternative<Recording>(read)) << error(read);
        const Recording& r = std::get<Recording>(read);
        EXPECT_EQ(r.rows(), 2u);
        EXPECT_EQ(r.damagedRows, 1u);
        EXPECT_EQ(r.firstDamage, c.damage);
    }
}

TEST(RecordingReader, RefusesFoldersAndFifosAndReadsAnOlderFile)
{
    const auto folder = std::filesystem::temp_directory_path() / ("reader-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string fifo = (folder / "fifo.csv").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(error(readRecordingFile(folder.string())), folder.string() + " is a folder, not a recording");
    EXPECT_EQ(error(readRecordingFile(fifo)), fifo + " is not a regular file (a FIFO or a device): not a recording");
    EXPECT_EQ(error(readRecordingFile((folder / "none.csv").string())).rfind("Cannot open ", 0), 0u);
    // Too large for the limit even at the longest rows: refused unread.
    const std::string large = (folder / "large.csv").string();
    std::ofstream(large) << Header;
    std::filesystem::resize_file(large, 601);
    EXPECT_EQ(error(readRecordingFile(large, {}, 2)),
              large + " has more than 2 rows, the most a recording can be opened with; open a shorter run");

    // Written before rows named their device: opens, with no device changes.
    const std::string older = (folder / "older.csv").string();
    const auto cut = [](std::string line) { return line.substr(0, line.rfind(",0x2E,2")) + "\r\n"; };
    std::ofstream(older, std::ios::binary) << Header.substr(0, Header.find(",device")) << "\r\n" << cut(Good) << cut(Good);
    const RecordingRead read = readRecordingFile(older, [](std::uint64_t, std::uint64_t) { return true; });
    ASSERT_TRUE(std::holds_alternative<Recording>(read)) << error(read);
    EXPECT_EQ(std::get<Recording>(read).rows(), 2u);
    EXPECT_TRUE(std::get<Recording>(read).sources.empty());
    // Cancel stops it, and says so.
    EXPECT_EQ(error(readRecordingFile(older, [](std::uint64_t, std::uint64_t) { return false; })),
              "Opening " + older + " was cancelled");
    std::filesystem::remove_all(folder);
}

// A run with a failed read, a stretch of no rows, a device change and an
// alarm; every figure worked out by hand from the rows below.
TEST(RecordingSummary, FiguresEqualTheRowsWorkedOutByHand)
{
    const std::string text = rows({
        poll(0, 40),
        poll(1, 42),
        poll(2, 0, 1u << 1), // Local not read: a gap of 0.2 s, from 0.1 to 0.3
        poll(3, 44),
        poll(20, 50), // no rows for 1.7 s: a gap
        poll(21, 46, 0, 0x50, 0),
    });
    const RecordingRead read = readRecordingText(text);
    ASSERT_TRUE(std::holds_alternative<Recording>(read)) << error(read);
    const Recording& recording = std::get<Recording>(read);
    ASSERT_EQ(recording.sources.size(), 2u);
    EXPECT_EQ(recording.sources[1].row, 5u);
    EXPECT_EQ(recording.sources[1].device, 0x50);
    EXPECT_EQ(recording.sources[1].controller, 1);

    const auto alarms = readAlarmsText("time,reading,bound,value,event\r\n"
                                       "2025-12-08T23:04:05.300Z,local_c,<=43,44,start\r\n"
                                       "2025-12-08T23:04:07.100Z,local_c,<=43,,end (device changed)\r\n"
                                       "2025-12-08T23:04:05.000Z,vcc_v,no reading,,start\r\n",
                                       T0ms + 2100);
    ASSERT_TRUE(std::holds_alternative<AlarmsRead>(alarms));
    const auto& spans = std::get<AlarmsRead>(alarms).spans;
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[1].endEvent, "no end (the recording stopped first)") << "ends at the last row";

    const RecordingSummary summary = summarize(recording, spans);
    EXPECT_EQ(summary.rows, 6u);
    EXPECT_EQ(summary.last - summary.first, 2100);
    const ReadingSummary& local = summary.readings[static_cast<std::size_t>(Reading::Local)];
    EXPECT_EQ(local.values, 5u);
    EXPECT_EQ(local.minimum, 40);
    EXPECT_EQ(local.maximum, 50);
    EXPECT_FLOAT_EQ(local.mean, (40 + 42 + 44 + 50 + 46) / 5.0f);
    EXPECT_EQ(local.gaps, 2u);
    EXPECT_EQ(local.longestGap, 1700);
    ASSERT_EQ(local.beyond.size(), 1u);
    EXPECT_EQ(local.beyond[0].bound, "<=43");
    EXPECT_EQ(local.beyond[0].time, 1800);
    const ReadingSummary& vcc = summary.readings[static_cast<std::size_t>(Reading::Vcc)];
    EXPECT_EQ(vcc.gaps, 1u) << "the stretch without rows";
    ASSERT_EQ(vcc.beyond.size(), 1u);
    EXPECT_EQ(vcc.beyond[0].time, 2100);
}

} // namespace

namespace {

TEST(AlarmsFile, PairsStartsWithEndsAndSaysWhatItCannot)
{
    const std::string header = "time,reading,bound,value,event\r\n";
    const std::string start = "2025-12-08T23:04:05.300Z,local_c,<=43,44,start\r\n";
    const struct {
        const char* what;
        std::string text;
        std::size_t spans;
        const char* damage;
        const char* error;
    } cases[] = {
        {"a start and its end", header + start + "2025-12-08T23:04:06.300Z,local_c,<=43,,end\r\n", 1, "", ""},
        {"started again, earlier, before its end: no span runs backwards",
         header + start + "2025-12-08T23:04:04.000Z,local_c,<=43,45,start\r\n", 2, "", ""},
        {"an end with no start", header + "2025-12-08T23:04:06.300Z,local_c,<=43,,end\r\n", 0,
         "line 2: an end with no start", ""},
        {"an unknown reading", header + "2025-12-08T23:04:06.300Z,cpu_c,<=43,,start\r\n", 0,
         "line 2: an unknown reading", ""},
        {"another file", "time,value\r\n", 0, "", "run.alarms.csv, line 1: not an alarms file of this program's"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = readAlarmsText(c.text, T0ms + 10'000, "run.alarms.csv");
        if (*c.error) {
            ASSERT_TRUE(std::holds_alternative<RecordingError>(read));
            EXPECT_EQ(std::get<RecordingError>(read).message, c.error);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<AlarmsRead>(read));
        const AlarmsRead& alarms = std::get<AlarmsRead>(read);
        EXPECT_EQ(alarms.spans.size(), c.spans);
        EXPECT_EQ(alarms.firstDamage, c.damage);
        for (const AlarmSpan& span : alarms.spans)
            EXPECT_GE(span.end, span.start);
    }
}

} // namespace

namespace {

// A recorded run's plot points: each step's extremes, from the rows for
// short steps and from each minute's for long ones; both must say the same
// where the steps fall on whole minutes, gaps included.
TEST(RecordedSeries, LongStepsFromMinutesAgreeWithTheRows)
{
    Recording recording;
    for (int s = 0; s < 7200; ++s) {
        recording.times.push_back(T0ms + s * 1000);
        for (auto& column : recording.values)
            column.push_back(s / 60 == 30 ? NAN : static_cast<float>((s * 37) % 101));
    }
    const RecordedSeries series(recording);
    const Recording::Milliseconds step = RecordedSeries::MinuteSteps;
    const auto fromMinutes = series.series(Reading::Local, T0ms, T0ms + 7'200'000, step);
    // The same steps worked out from the rows: the maximum, then the minimum.
    std::vector<SeriesSource::Point> fromRows;
    for (Recording::Milliseconds start = T0ms; start < T0ms + 7'200'000; start += step) {
        float low = INFINITY, high = -INFINITY;
        for (std::size_t i = 0; i < recording.rows(); ++i) {
            const float value = recording.values[0][i];
            if (recording.times[i] >= start && recording.times[i] < start + step && !std::isnan(value)) {
                low = std::min(low, value);
                high = std::max(high, value);
            }
        }
        fromRows.push_back({start + step / 2, high});
        if (low != high)
            fromRows.push_back({start + step / 2, low});
    }
    ASSERT_EQ(fromMinutes.size(), fromRows.size());
    for (std::size_t i = 0; i < fromRows.size(); ++i) {
        EXPECT_EQ(fromMinutes[i].time, fromRows[i].time);
        EXPECT_EQ(fromMinutes[i].value, fromRows[i].value) << i;
    }
    // The minute without a value leaves no point of its own; its step still has others'.
    EXPECT_EQ(series.at(T0ms + 30 * 60'000 + 500, 1000)->readings[0], std::nullopt);
    EXPECT_EQ(series.at(T0ms + 29 * 60'000, 1000)->readings[0], static_cast<float>((29 * 60 * 37) % 101));
}

} // namespace
