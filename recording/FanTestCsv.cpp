#include "FanTestCsv.h"

#include "CsvRecorder.h"
#include "CsvText.h"
#include "RecordingReader.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

std::string fanTestCsv(const std::vector<FanStep>& steps)
{
    std::string text = "time,sweep,duty_pct,fan1_rpm,settle_s,settled\r\n";
    for (const FanStep& step : steps) {
        text += isoUtcText(step.time) + (step.down ? ",down," : ",up,") + std::to_string(step.dutyPercent) + "," +
                csvNumber(step.rpm) + "," + csvNumber(step.settleSeconds) + (step.settled ? ",yes" : ",no") + "\r\n";
    }
    return text;
}

std::variant<FanTestRead, std::string> readFanTestText(std::string_view text, const std::string& name)
{
    FanTestRead read;
    const auto damaged = [&read](std::size_t line, const char* why) {
        if (read.damagedRows++ == 0)
            read.firstDamage = "line " + std::to_string(line) + ": " + why;
    };
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (++lineNumber == 1) {
            if (line.starts_with("\xEF\xBB\xBF"))
                return name + ", line 1: starts with a byte-order mark; fan tests this program saves have none";
            if (line != "time,sweep,duty_pct,fan1_rpm,settle_s,settled")
                return name + ", line 1: not a fan test of this program's";
            continue;
        }
        if (line.empty())
            continue;
        std::vector<std::string_view> fields;
        for (std::size_t start = 0;;) {
            const std::size_t comma = line.find(',', start);
            fields.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        if (fields.size() != 6) {
            damaged(lineNumber, "not six fields");
            continue;
        }
        const auto time = parseIsoUtc(fields[0]);
        const auto number = [](std::string_view cell) -> std::optional<double> {
            double value = 0;
            const auto [at, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
            if (error != std::errc() || at != cell.data() + cell.size() || !std::isfinite(value))
                return std::nullopt;
            return value;
        };
        const auto duty = number(fields[2]), rpm = number(fields[3]), settle = number(fields[4]);
        if (!time || (fields[1] != "down" && fields[1] != "up") || !duty || *duty < 0 || *duty > 100 || !rpm ||
            *rpm < 0 || !settle || (fields[5] != "yes" && fields[5] != "no")) {
            damaged(lineNumber, !time ? "a bad time" : "a bad field");
            continue;
        }
        FanStep step;
        step.time = std::chrono::system_clock::time_point(std::chrono::milliseconds(*time));
        step.down = fields[1] == "down";
        step.dutyPercent = static_cast<int>(*duty);
        step.rpm = *rpm;
        step.settleSeconds = *settle;
        step.settled = fields[5] == "yes";
        read.steps.push_back(step);
    }
    if (lineNumber == 0)
        return name + " is empty: not a fan test";
    return read;
}

std::variant<FanTestRead, std::string> readFanTestFile(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return "Cannot open " + path + ": " + std::strerror(errno);
    if (!S_ISREG(status.st_mode))
        return path + " is not a regular file: not a fan test";
    // A fan test is some dozens of steps; far more is not one of ours.
    if (status.st_size > (16 << 20))
        return path + " is larger than 16 MB: not a fan test of this program's";
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "Cannot open " + path;
    std::ostringstream text;
    text << in.rdbuf();
    return readFanTestText(text.str(), path);
}
