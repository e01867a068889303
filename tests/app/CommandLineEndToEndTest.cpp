// The built program's commands as a script runs them: no display, the
// simulated chip kept between commands in a runtime directory of the
// test's own, and record ended by a signal or by its duration.

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class CommandLine : public ::testing::Test {
protected:
    CommandLine()
    {
        std::filesystem::create_directories(runtime);
    }
    ~CommandLine() override { std::filesystem::remove_all(runtime); }

    // The program through the shell, without a display.
    CommandResult command(const std::string& arguments)
    {
        return run("env -u DISPLAY XDG_RUNTIME_DIR=" + runtime.string() + " " + CORVANE_BENCH_PATH + " " + arguments +
                   " 2>" + (runtime / "err").string());
    }
    std::string err() const
    {
        std::ifstream in(runtime / "err");
        return {std::istreambuf_iterator<char>(in), {}};
    }
    Child recording(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> argv{CORVANE_BENCH_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return Child(argv, {"XDG_RUNTIME_DIR=" + runtime.string()}, -1, (runtime / "out").string(),
                     (runtime / "err").string());
    }
    std::vector<std::string> outLines() const
    {
        std::ifstream in(runtime / "out");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    const std::filesystem::path runtime =
        std::filesystem::temp_directory_path() / ("corvane-cli-" + std::to_string(getpid()));
};

// A script's session: what one command writes, the next one reads.
TEST_F(CommandLine, TheSimulatedChipKeepsItsRegistersBetweenCommands)
{
    const CommandResult read = command("read --json --simulate");
    ASSERT_EQ(read.status, 0) << err();
    QJsonParseError error{};
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(read.text), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << read.text;
    EXPECT_EQ(json[QLatin1String("device")].toString(), QStringLiteral("0x2E"));
    EXPECT_TRUE(json[QLatin1String("local_c")].isDouble());

    EXPECT_EQ(command("pwm --behaviour manual --duty 60 --simulate").status, 0) << err();
    EXPECT_EQ(command("get 30 --simulate").text, "99\n");
    EXPECT_EQ(command("set --device 50 00 01 --simulate").status, 4);
    EXPECT_NE(err().find("--force"), std::string::npos) << err();
    EXPECT_EQ(command("get 30 --device 48 --simulate").status, 3);
    EXPECT_EQ(command("pwm --duty 150 --simulate").status, 2);
    EXPECT_NE(err().find("Invalid Value"), std::string::npos) << err();
}

// Rows go out whole as they are polled; SIGTERM ends the run cleanly.
TEST_F(CommandLine, RecordToStandardOutputEndsOnSigtermWithWholeRows)
{
    Child app = recording({"record", "-", "--simulate", "--hold-readings"});
    ASSERT_TRUE(app.started());
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(app.terminate(), 0) << err();
    const std::vector<std::string> lines = outLines();
    ASSERT_GE(lines.size(), 15u) << "a header and a row every 100 ms";
    EXPECT_TRUE(lines.front().starts_with("time,local_c,remote1_c,"));
    for (const std::string& line : lines) {
        EXPECT_TRUE(line.ends_with('\r')) << line;
        // The time, ten readings, fourteen bytes, the device and the controller.
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 26) << line;
    }
}

TEST_F(CommandLine, RecordExitsWithFiveWhenALimitWasPassed)
{
    // The held chip reads 39 °C local and Fan1 above 1000 rpm.
    const struct {
        std::vector<std::string> limits;
        int status;
        const char* saying;
    } cases[] = {
        {{"--limit", "local_c<=30"}, 5, " local_c<=30 passed: "},
        {{"--limit", "local_c<=80", "--limit", "fan1_rpm>=500"}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limits.back());
        std::vector<std::string> arguments{"record", (runtime / "run.csv").string(), "--simulate", "--hold-readings",
                                           "--duration", "1s"};
        arguments.insert(arguments.end(), c.limits.begin(), c.limits.end());
        std::filesystem::remove(runtime / "run.csv");
        Child app = recording(arguments);
        EXPECT_EQ(app.wait(15s), c.status) << err();
        EXPECT_NE(err().find(c.saying), std::string::npos) << err();
        std::ifstream csv(runtime / "run.csv");
        const auto rows = std::count(std::istreambuf_iterator<char>(csv), {}, '\n');
        EXPECT_GE(rows, 5) << "a second of rows, whatever the limits said";
    }
}

TEST_F(CommandLine, APwmMadeDuringARecordStaysMade)
{
    ASSERT_EQ(command("pwm --behaviour local --simulate").status, 0) << err();
    Child record = recording({"record", (runtime / "run.csv").string(), "--simulate", "--duration", "2s"});
    ASSERT_TRUE(record.started());
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(command("pwm --behaviour manual --duty 60 --simulate").status, 0) << err();
    EXPECT_EQ(record.wait(15s), 0) << err();
    EXPECT_EQ(command("get 30 --simulate").text, "99\n");
    EXPECT_EQ(command("get 5C --simulate").text.substr(0, 1), "E") << "still in Manual Mode";
}

// A reader that goes away is how a pipe ends: no complaint, status 0.
TEST_F(CommandLine, RecordIntoAPipeThatClosesEndsQuietly)
{
    const CommandResult piped =
        run("bash -c 'env -u DISPLAY XDG_RUNTIME_DIR=" + runtime.string() + " " + CORVANE_BENCH_PATH +
            " record - --simulate 2>" + (runtime / "err").string() + " | head -3 >/dev/null; echo ${PIPESTATUS[0]}'");
    EXPECT_EQ(piped.text, "0\n");
    EXPECT_EQ(err(), "");
}

// A restore reads its snapshot from standard input, with the same limits.
TEST_F(CommandLine, RestoreReadsStandardInput)
{
    ASSERT_EQ(command("dump --simulate > " + (runtime / "snapshot.txt").string()).status, 0) << err();
    const CommandResult restored = command("restore - --simulate < " + (runtime / "snapshot.txt").string());
    EXPECT_EQ(restored.status, 0) << err();
    EXPECT_NE(restored.text.find("The snapshot held 256 registers; 0 written."), std::string::npos) << restored.text;
    EXPECT_EQ(command("restore - --simulate < /dev/zero").status, 2);
    EXPECT_NE(err().find("Standard input is larger than 64 KiB"), std::string::npos) << err();
}

} // namespace
