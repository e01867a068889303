// The built program in a real X server: Xvfb, the xcb platform, a window
// found by its title the way a window manager sees it.

#include "recording/RecordingReader.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// Settings of the test's own, so no run here reads or changes the user's.
std::string configHome()
{
    return (std::filesystem::temp_directory_path() / ("corvane-e2e-config-" + std::to_string(getpid()))).string();
}

// Starts Xvfb on the first free display it finds and returns ":N".
std::string startXvfb(std::unique_ptr<Child>& server)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    server = std::make_unique<Child>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(pipeFds[1]),
                                                              "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                                     std::vector<std::string>{}, pipeFds[1]);
    close(pipeFds[1]);
    std::string number;
    char c;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(pipeFds[0]);
    return number.empty() ? std::string{} : ":" + number;
}

// The X id of the top-level window with exactly this title, or "".
std::string windowWithTitle(const std::string& display, const std::string& title)
{
    const std::string tree = output("xwininfo -display " + display + " -root -tree 2>/dev/null");
    // xwininfo prints a window's title followed by a colon, its class without.
    const std::string quoted = "\"" + title + "\":";
    std::size_t at = tree.find(quoted);
    if (at == std::string::npos)
        return {};
    const std::size_t lineStart = tree.rfind('\n', at) + 1;
    const std::size_t idStart = tree.find_first_not_of(' ', lineStart);
    return tree.substr(idStart, tree.find(' ', idStart) - idStart);
}

// Waits up to 15 s for a window with this title while the app runs.
std::string awaitWindow(Child& app, const std::string& display, const std::string& title)
{
    std::string window;
    for (auto waited = 0ms; window.empty() && waited < 15s && app.running(); waited += 100ms) {
        std::this_thread::sleep_for(100ms);
        window = windowWithTitle(display, title);
    }
    return window;
}

// The real program on the simulated chip in its own X server.
class RunningBench : public testing::Test {
protected:
    void SetUp() override
    {
        display = startXvfb(server);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
        app = std::make_unique<Child>(std::vector<std::string>{CORVANE_BENCH_PATH, "--simulate"},
                                      std::vector<std::string>{"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + configHome()});
        ASSERT_TRUE(app->started());
        window = awaitWindow(*app, display, "SMBBA = 0x400 (simulated)");
        ASSERT_FALSE(window.empty()) << "no window titled 'SMBBA = 0x400 (simulated)'";
    }

    void xdotool(const std::string& arguments) { output("DISPLAY=" + display + " xdotool " + arguments + " 2>&1"); }

    std::unique_ptr<Child> server;
    std::string display;
    std::unique_ptr<Child> app;
    std::string window;
};

TEST_F(RunningBench, OpensOnTheSimulatedChipAndKeepsRunning)
{
    std::this_thread::sleep_for(2s);
    Child& app = *this->app;
    EXPECT_TRUE(app.running()) << "corvane-bench stopped within two seconds";

    const std::filesystem::path shot = std::filesystem::path(SCREENSHOT_DIR) / "corvane-bench-end-to-end.png";
    std::filesystem::remove(shot);
    output("import -display " + display + " -window " + window + " " + shot.string() + " 2>&1");
    ASSERT_TRUE(std::filesystem::exists(shot)) << "no screenshot at " << shot;
    EXPECT_GT(std::filesystem::file_size(shot), 1000u);
    std::printf("Screenshot kept at %s\n", shot.c_str());

    // A logout's SIGTERM closes it like the close button does: through main,
    // so a sanitized build checks for leaks on the way out.
    EXPECT_EQ(app.terminate(), 0);
}

// Terminated while "Invalid Value" is open: the box's loop and the main
// loop both end, and the program exits cleanly.
TEST_F(RunningBench, EndsCleanlyWhenTerminatedDuringAMessageBox)
{
    // The window sits at the screen's origin, its client area below the
    // 19-pixel menu bar; the Write Data field and the Write button are at
    // (376, 292) and (436, 291).
    xdotool("mousemove 376 292 click 1 key ctrl+a type 1ff");
    xdotool("mousemove 436 291 click 1");
    ASSERT_FALSE(awaitWindow(*app, display, "Corvane Bench").empty()) << "no message box appeared";
    EXPECT_EQ(app->terminate(), 0);
}

// On a bus whose every transaction takes a second, a logout's SIGTERM ends
// the program within 1.5 s, though a transaction is on the bus.
TEST(SlowBus, EndsWithinOneAndAHalfSecondsOfSigterm)
{
    std::unique_ptr<Child> server;
    const std::string display = startXvfb(server);
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    Child app({SLOW_BUS_WINDOW_PATH}, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + configHome()});
    ASSERT_FALSE(awaitWindow(app, display, "Corvane Bench: waiting for the SMBus").empty());
    std::this_thread::sleep_for(1500ms); // start-up's reads are on the bus
    const auto signalled = std::chrono::steady_clock::now();
    EXPECT_EQ(app.terminate(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 1500ms);
}

// Ended while it records every poll, by SIGKILL or by a logout's SIGTERM:
// the file holds whole rows only, and the last one is recent. SIGTERM must
// not stop at the question a close asks while recording: nobody is there.
TEST(Recording, AnEndedProgramLeavesWholeRecentRows)
{
    const struct {
        const char* ending;
        bool terminate;
    } endings[] = {{"SIGKILL", false}, {"SIGTERM", true}};
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.ending);
        std::unique_ptr<Child> server;
        const std::string display = startXvfb(server);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() / ("corvane-ended-" + std::to_string(getpid()) + ".csv");
        std::filesystem::remove(file);
        Child app({CORVANE_BENCH_PATH, "--simulate", "--record", file.string()},
                  {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + configHome()});
        ASSERT_FALSE(awaitWindow(app, display, "SMBBA = 0x400 (simulated)").empty());
        std::this_thread::sleep_for(2s);
        if (ending.terminate)
            EXPECT_EQ(app.terminate(), 0) << "-2: still running ten seconds after SIGTERM";
        else
            app.kill9();
        const auto ended = std::chrono::system_clock::now();

        std::ifstream in(file);
        std::vector<std::string> rows;
        for (std::string line; std::getline(in, line);)
            rows.push_back(line);
        // Opened again, however the program ended: no row half-written.
        const RecordingRead read = readRecordingFile(file.string());
        ASSERT_TRUE(std::holds_alternative<Recording>(read)) << std::get<RecordingError>(read).message;
        EXPECT_EQ(std::get<Recording>(read).damagedRows, 0u) << std::get<Recording>(read).firstDamage;
        EXPECT_EQ(std::get<Recording>(read).rows() + 1, rows.size());
        std::filesystem::remove(file);
        ASSERT_GE(rows.size(), 5u) << "a header and some rows";
        for (const std::string& row : rows) {
            EXPECT_TRUE(row.ends_with('\r')) << row;
            EXPECT_EQ(std::count(row.begin(), row.end(), ','), 26) << row;
        }
        std::tm utc{};
        ASSERT_NE(strptime(rows.back().c_str(), "%Y-%m-%dT%H:%M:%S", &utc), nullptr) << rows.back();
        const auto last = std::chrono::system_clock::from_time_t(timegm(&utc));
        // Rows go out as they are polled; a loaded machine gets generous slack.
        EXPECT_LT(ended - last, 5s) << rows.back();
    }
}

// The command line is answered before any window or display is needed.
TEST(CommandLineEndToEnd, AnswersWithoutADisplay)
{
    struct Case {
        std::string arguments;
        int status;
        std::string saying;
    };
    const Case cases[] = {
        {"--help", 0, "--smbus <DEV1[,DEV2]>"},
        {"--help", 0, "Exit status"},
        {"--version", 0, std::string("Corvane Bench ") + CORVANE_BENCH_VERSION},
        {"--no-such-option", 2, "Unknown option 'no-such-option'"},
        {"--smbus ,", 2, "empty adapter"},
        {"--smbus a,b,c", 2, "at most two adapters"},
        {"--simulate --smbus /dev/i2c-0", 2, "exclude each other"},
        {"--smbus 'no adapter of this name'", 2, "There is no I2C adapter \"no adapter of this name\""},
        {"stray", 2, "'stray' is not a command"},
        {"--hold-readings", 2, "give it with --simulate"},
        {"--simulate --record ''", 2, "--record needs a file name"},
        // The window needs a display and says so in one line, not Qt's abort.
        {"--simulate", 2, "corvane-bench: the window needs a display"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CommandResult result =
            run(std::string("env -u DISPLAY QT_QPA_PLATFORM=xcb ") + CORVANE_BENCH_PATH + " " + c.arguments + " 2>&1");
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.text.find(c.saying), std::string::npos) << result.text;
    }
    const CommandResult bare =
        run(std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + CORVANE_BENCH_PATH + " --simulate 2>&1");
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(std::count(bare.text.begin(), bare.text.end(), '\n'), 1) << bare.text;
    EXPECT_TRUE(bare.text.starts_with("corvane-bench: the window needs a display")) << bare.text;
}

} // namespace
