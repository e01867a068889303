// The report command on a recording made by the recorder and the alarm log
// from a scripted run (Local on a schedule, a device change, an alarm):
// what it writes parses as HTML, each plot is well-formed SVG, it loads
// nothing from anywhere, and its figures are those worked out here from
// the script, not from the file.

#include "recording/AlarmLog.h"
#include "recording/CsvRecorder.h"
#include "support/CommandRuns.h"
#include "support/RecordingBus.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
const auto T0 = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'235'045'000));

struct Folder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("corvane-report-" + std::to_string(getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A system tool's complaints, or nothing to say when it is not there.
std::optional<std::string> tool(const std::string& command)
{
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0)
        return std::nullopt;
    std::string said;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        said += buffer;
    if (pipe)
        said += pclose(pipe) == 0 ? "" : "(exit status not 0)";
    return said;
}

// Local 40, 41, … 59 °C once a second, above 50 from the twelfth second;
// from the fifteenth row device 0x50's bytes, on controller 1.
struct ScriptedRun {
    std::vector<double> local;
    std::string path;

    explicit ScriptedRun(std::string file) : path(std::move(file))
    {
        auto started = CsvRecorder::start(path, 0ms, false);
        auto& recorder = *std::get<std::unique_ptr<CsvRecorder>>(started);
        AlarmLog log(path);
        AlarmWatch alarms({Limit{Poll::Reading::Local, true, 50}});
        for (int second = 0; second < 20; ++second) {
            for (int tenth = 0; tenth < 10; ++tenth) {
                PollResult poll;
                poll.time = T0 + std::chrono::milliseconds(second * 1000 + tenth * 100);
                poll.steadyTime = std::chrono::steady_clock::time_point(poll.time.time_since_epoch());
                poll.bytes = {46, static_cast<std::uint8_t>(40 + second), 31, 0x18, 0x15, 0x8C, 0x0A,
                              0x10, 0x0E, 0x00, 0x00, 192, 102, 0x99};
                poll.device = second < 15 ? 0x2E : 0x50;
                poll.controller = second < 15 ? 1 : 0;
                EXPECT_EQ(recorder.add(poll, false), std::nullopt);
                for (const AlarmWatch::Event& event : alarms.check(poll, false))
                    EXPECT_EQ(log.add(alarmRowOf(alarms, event)), std::nullopt);
                local.push_back(40 + second);
            }
        }
        for (const AlarmRow& row : activeAlarmRows(alarms, false, T0 + 20s))
            EXPECT_EQ(log.add(row), std::nullopt);
        EXPECT_EQ(recorder.finish(), std::nullopt);
    }
};

TEST(Report, IsOneFileThatParsesLoadsNothingAndSaysTheScriptsFigures)
{
    Folder folder;
    const ScriptedRun run(folder.file("run.csv"));
    RecordingBus unused;
    const std::string html = folder.file("report.html");
    const Ran written = runOn(unused, {"report", QString::fromStdString(run.path), "-o", QString::fromStdString(html)});
    ASSERT_EQ(written.status, 0) << written.err;
    const std::string report = slurp(html);

    // Worked out from the script: 200 rows, Local 40..59, mean 49.5; the
    // alarm from 11.0 s, where 51 °C began, to the recording's end at 20 s.
    const Ran json = runOn(unused, {"report", QString::fromStdString(run.path), "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonObject summary = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["run"].toObject();
    EXPECT_EQ(summary["rows"].toInt(), 200);
    const QJsonObject local = summary["readings"].toObject()["local_c"].toObject();
    double sum = 0;
    for (const double value : run.local)
        sum += value;
    EXPECT_EQ(local["minimum"].toDouble(), 40);
    EXPECT_EQ(local["maximum"].toDouble(), 59);
    EXPECT_DOUBLE_EQ(local["mean"].toDouble(), sum / static_cast<double>(run.local.size()));
    const QJsonArray beyond = local["beyond"].toArray();
    ASSERT_EQ(beyond.size(), 1);
    EXPECT_EQ(beyond[0].toObject()["bound"].toString(), "<=50");
    EXPECT_DOUBLE_EQ(beyond[0].toObject()["seconds"].toDouble(), 20.0 - 11.0);

    // The same figures in the HTML's summary, with their units.
    for (const char* shown : {">40 °C<", ">49.5 °C<", ">59 °C<", "&lt;=50: 9.0 s in 1 alarm",
                              "device 0x2E on SMBus Controller 2", "device 0x50 on SMBus Controller 1"})
        EXPECT_NE(report.find(shown), std::string::npos) << shown;

    // Nothing is loaded from anywhere: no address but the SVG namespace.
    std::string withoutNamespace = report;
    const std::string svgNamespace = "xmlns=\"http://www.w3.org/2000/svg\"";
    for (auto at = withoutNamespace.find(svgNamespace); at != std::string::npos; at = withoutNamespace.find(svgNamespace))
        withoutNamespace.erase(at, svgNamespace.size());
    for (const char* loads : {"http:", "https:", "src=", "<link", "url(", "@import", "<script"})
        EXPECT_EQ(withoutNamespace.find(loads), std::string::npos) << loads;

    // Parses as HTML: the parser knows no SVG elements, and says only that.
    const auto html5 = tool("xmllint --html --noout " + html);
    if (!html5) {
        if (std::getenv("CORVANE_REQUIRE_SYSTEM_TESTS"))
            FAIL() << "xmllint is missing (Debian's libxml2-utils)";
        GTEST_SKIP() << "xmllint is missing (Debian's libxml2-utils)";
    }
    // Each complaint is three lines: the message, the text, a caret under it.
    std::string notSvg;
    std::stringstream said(*html5);
    for (std::string line; std::getline(said, line);) {
        bool svgTag = false;
        for (const char* tag : {"svg", "path", "text", "tspan", "rect", "line", "title"})
            svgTag = svgTag || line.ends_with(std::string("HTML parser error : Tag ") + tag + " invalid");
        if (svgTag) {
            std::getline(said, line);
            std::getline(said, line);
            continue;
        }
        notSvg += line + "\n";
    }
    EXPECT_EQ(notSvg, "") << *html5;
    // Each plot is well-formed XML on its own.
    int plots = 0;
    for (auto start = report.find("<svg"); start != std::string::npos; start = report.find("<svg", start + 1)) {
        const auto end = report.find("</svg>", start);
        ASSERT_NE(end, std::string::npos);
        const std::string plot = report.substr(start, end + 6 - start);
        const std::string file = folder.file(("plot" + std::to_string(++plots) + ".svg").c_str());
        std::ofstream(file) << plot;
        EXPECT_EQ(tool("xmllint --noout " + file).value_or(""), "") << plot.substr(0, 200);
    }
    EXPECT_EQ(plots, 4) << "temperatures, fans, supplies, duty";
}

// A chip whose Local climbs half a degree a poll from 40 °C, in the
// offset-64 coding its zeroed configuration selects.
class ClimbingChip : public RecordingBus {
public:
    ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) override
    {
        if (reg == Poll::Registers[1])
            set(reg, static_cast<std::uint8_t>(std::min(64 + 40 + polls++ / 2, 200)), device);
        return RecordingBus::ReadSmbus(device, reg);
    }
    int polls = 0;
};

std::vector<std::vector<std::string>> csvRows(const std::string& path)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::stringstream split(line.substr(0, line.find('\r')));
        for (std::string cell; std::getline(split, cell, ',');)
            cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

double secondsOf(const std::string& iso)
{
    std::tm utc{};
    strptime(iso.c_str(), "%Y-%m-%dT%H:%M:%S", &utc);
    return static_cast<double>(timegm(&utc)) + std::stod(iso.substr(20, 3)) / 1000;
}

// record over a chip on a schedule, with a limit it passes, then report:
// the summary's figures are the CSV's own rows worked out here.
TEST(Report, ARecordedRunsFiguresAreItsRowsFigures)
{
    int argc = 1;
    char name[] = "command_tests";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
    Folder folder;
    const std::string path = folder.file("climb.csv");
    ClimbingChip chip;
    const Ran recorded = runOn(chip, {"record", QString::fromStdString(path), "--duration", "3s", "--limit", "local_c<=45"});
    EXPECT_EQ(recorded.status, 5) << recorded.err << " (5: a limit was passed)";
    const Ran json = runOn(chip, {"report", QString::fromStdString(path), "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonObject run = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["run"].toObject();
    const QJsonObject local = run["readings"].toObject()["local_c"].toObject();

    const auto rows = csvRows(path);
    ASSERT_GT(rows.size(), 20u);
    ASSERT_GT(std::stod(rows.back()[1]), 45) << "Local climbed past its bound";
    ASSERT_EQ(rows[0][1], "local_c");
    double low = 1e9, high = -1e9, sum = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const double value = std::stod(rows[i][1]);
        low = std::min(low, value);
        high = std::max(high, value);
        sum += value;
    }
    EXPECT_EQ(run["rows"].toInt(), static_cast<int>(rows.size() - 1));
    EXPECT_EQ(local["minimum"].toDouble(), low);
    EXPECT_EQ(local["maximum"].toDouble(), high);
    EXPECT_NEAR(local["mean"].toDouble(), sum / static_cast<double>(rows.size() - 1), 0.0005);
    // The alarm: from its start row to its end row beside the recording.
    const auto alarms = csvRows(path + ".alarms.csv");
    ASSERT_EQ(alarms.size(), 3u) << "a header, a start and its end";
    EXPECT_EQ(alarms[1][4], "start");
    EXPECT_EQ(alarms[2][4], "end (recording ended)");
    const QJsonArray beyond = local["beyond"].toArray();
    ASSERT_EQ(beyond.size(), 1);
    EXPECT_NEAR(beyond[0].toObject()["seconds"].toDouble(), secondsOf(alarms[2][0]) - secondsOf(alarms[1][0]), 0.0005);
}

TEST(Report, SaysWhyItCannotAndWritesNothingThen)
{
    Folder folder;
    std::ofstream(folder.file("other.csv")) << "Time,Temp\r\n1,2\r\n";
    const ScriptedRun run(folder.file("run.csv"));
    RecordingBus unused;
    const std::string out = folder.file("report.html");
    const struct {
        const char* what;
        QStringList arguments;
        const char* says;
    } cases[] = {
        {"another program's CSV", {"report", QString::fromStdString(folder.file("other.csv")), "-o", QString::fromStdString(out)},
         "line 1: not a recording of this program's"},
        {"no such file", {"report", QString::fromStdString(folder.file("none.csv")), "-o", QString::fromStdString(out)},
         "Cannot open "},
        {"a folder to compare", {"report", QString::fromStdString(run.path), "--compare",
                                 QString::fromStdString(folder.path.string()), "-o", QString::fromStdString(out)},
         "is a folder, not a recording"},
        {"a recording as the fan test", {"report", QString::fromStdString(run.path), "--fan-test",
                                         QString::fromStdString(run.path), "-o", QString::fromStdString(out)},
         "line 1: not a fan test of this program's"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Ran ran = runOn(unused, c.arguments);
        EXPECT_EQ(ran.status, 2);
        EXPECT_NE(ran.err.find(c.says), std::string::npos) << ran.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

} // namespace
