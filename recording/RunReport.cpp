#include "RunReport.h"

#include "CsvText.h"
#include "PixelEnvelope.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <limits>

using Poll::Reading;
using Milliseconds = Recording::Milliseconds;

namespace {

struct PlotGroup {
    const char* title;
    std::vector<Reading> readings;
};

const std::vector<PlotGroup>& plotGroups()
{
    static const std::vector<PlotGroup> groups = {
        {"Temperatures (°C)", {Reading::Local, Reading::Remote1, Reading::Remote2}},
        {"Fan speeds (rpm)", {Reading::Fan1, Reading::Fan2, Reading::Fan3, Reading::Fan4}},
        {"Supplies (V)", {Reading::Vcc, Reading::Vccp}},
        {"Duty (%)", {Reading::Duty}},
    };
    return groups;
}

// Told apart by more than colour: each reading of a plot has its own
// colour, and a compared run is dashed.
constexpr const char* Colours[] = {"#1f5fbf", "#c0392b", "#2e8b57", "#8e44ad"};

std::string text(std::string_view view) { return escapedXml(view); }

std::string utcText(Milliseconds ms, const char* format = "%Y-%m-%d %H:%M:%S UTC")
{
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[48];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, format, &utc));
}

std::string durationText(Milliseconds ms)
{
    if (ms < 60'000) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f s", static_cast<double>(ms) / 1000);
        return buffer;
    }
    const long long seconds = ms / 1000;
    const long long days = seconds / 86400, hours = seconds / 3600 % 24, minutes = seconds / 60 % 60;
    char buffer[64];
    if (days > 0)
        std::snprintf(buffer, sizeof buffer, "%lld d %02lld h %02lld min", days, hours, minutes);
    else if (hours > 0)
        std::snprintf(buffer, sizeof buffer, "%lld h %02lld min %02lld s", hours, minutes, seconds % 60);
    else
        std::snprintf(buffer, sizeof buffer, "%lld min %02lld s", minutes, seconds % 60);
    return buffer;
}

// A figure as the report prints it: to three decimals, in the program's
// number form.
std::string figure(double value) { return csvNumber(std::round(value * 1000) / 1000); }

std::string unitOf(Reading reading) { return std::string(Poll::unit(reading)); }

std::string sourcesText(const Recording& recording)
{
    if (recording.sources.empty())
        return "not recorded (a file from before rows named their device)";
    std::string said;
    for (const Recording::Source& source : recording.sources) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "device 0x%02X on SMBus Controller %d", source.device, source.controller);
        if (!said.empty())
            said += "; then, from " + utcText(recording.times[source.row], "%H:%M:%S") + ", ";
        said += buffer;
    }
    return said;
}

// Tick values for [low, high]: about count of them, on 1, 2 or 5 steps.
std::vector<double> niceTicks(double low, double high, int count)
{
    const double raw = (high - low) / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * magnitude;
        if (step >= raw)
            break;
    }
    std::vector<double> ticks;
    for (double tick = std::ceil(low / step) * step; tick <= high + step * 1e-9; tick += step)
        ticks.push_back(std::abs(tick) < step * 1e-9 ? 0 : tick);
    return ticks;
}

std::string number(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    return buffer;
}

} // namespace

std::string escapedXml(std::string_view view)
{
    std::string out;
    out.reserve(view.size());
    for (const char c : view) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // Control characters are no text of an XML file.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
                out += c;
        }
    }
    return out;
}

std::variant<ReportRun, std::string> loadReportRun(const std::string& path)
{
    RecordingRead read = readRecordingFile(path);
    if (auto* error = std::get_if<RecordingError>(&read))
        return error->message;
    ReportRun run;
    run.name = std::filesystem::path(path).filename().string();
    run.recording = std::move(std::get<Recording>(read));
    const Milliseconds last = run.recording.rows() ? run.recording.times.back() : 0;
    auto alarms = readAlarmsFile(path, last);
    if (auto* error = std::get_if<RecordingError>(&alarms))
        return error->message;
    run.alarms = std::move(std::get<AlarmsRead>(alarms).spans);
    run.summary = summarize(run.recording, run.alarms);
    return run;
}

std::string plotSvg(const std::vector<const ReportRun*>& runs, const std::vector<Reading>& readings,
                    const std::string& title, int width, int height)
{
    constexpr int Left = 64, Right = 12, Top = 30, Bottom = 30;
    const int plotWidth = width - Left - Right, plotHeight = height - Top - Bottom;
    const bool compared = runs.size() > 1;
    // A compared run is drawn from the first's start: times since each start.
    Milliseconds span = 1;
    for (const ReportRun* run : runs) {
        if (run->recording.rows() > 0)
            span = std::max(span, run->recording.times.back() - run->recording.times.front());
    }
    struct Drawn {
        const ReportRun* run;
        Reading reading;
        std::vector<PixelColumn> columns;
    };
    std::vector<Drawn> drawn;
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const ReportRun* run : runs) {
        const Recording& recording = run->recording;
        if (recording.rows() == 0)
            continue;
        const Milliseconds start = recording.times.front();
        const Milliseconds gap = std::max<Milliseconds>(1, typicalInterval(recording)) * GapIntervals;
        for (const Reading reading : readings) {
            auto columns = pixelEnvelope(recording.times, recording.values[static_cast<std::size_t>(reading)], start,
                                         start + span + 1, plotWidth, gap);
            for (const PixelColumn& column : columns) {
                low = std::min<double>(low, column.minimum);
                high = std::max<double>(high, column.maximum);
            }
            drawn.push_back({run, reading, std::move(columns)});
        }
    }
    if (!std::isfinite(low)) {
        low = 0;
        high = 1;
    }
    if (high - low < 1e-6) {
        low -= 1;
        high += 1;
    }
    const double pad = (high - low) * 0.05;
    low -= pad;
    high += pad;
    const auto y = [&](double value) { return Top + plotHeight * (high - value) / (high - low); };
    const auto x = [&](double pixel) { return Left + pixel; };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                      std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " +
                      std::to_string(height) + "\" role=\"img\" aria-label=\"" + text(title) +
                      "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<rect x=\"" + std::to_string(Left) + "\" y=\"" + std::to_string(Top) + "\" width=\"" +
           std::to_string(plotWidth) + "\" height=\"" + std::to_string(plotHeight) +
           "\" fill=\"none\" stroke=\"#888\"/>\n";
    svg += "<text x=\"" + std::to_string(Left) + "\" y=\"14\" font-weight=\"bold\">" + text(title) + "</text>\n";
    // The legend: each reading, and each run where two are drawn.
    {
        std::string legend;
        for (std::size_t r = 0; r < readings.size(); ++r) {
            legend += "<tspan fill=\"" + std::string(Colours[r % 4]) + "\">" +
                      text(Poll::caption(readings[r])) + "</tspan> ";
        }
        if (compared)
            legend += "— solid: " + text(runs[0]->name) + "; dashed: " + text(runs[1]->name);
        svg += "<text x=\"" + std::to_string(Left + 150) + "\" y=\"14\">" + legend + "</text>\n";
    }
    for (const double tick : niceTicks(low, high, 5)) {
        const std::string at = number(y(tick));
        svg += "<line x1=\"" + std::to_string(Left) + "\" x2=\"" + std::to_string(Left + plotWidth) + "\" y1=\"" + at +
               "\" y2=\"" + at + "\" stroke=\"#ddd\"/>\n<text x=\"" + std::to_string(Left - 4) + "\" y=\"" + at +
               "\" text-anchor=\"end\" dominant-baseline=\"middle\">" + figure(tick) + "</text>\n";
    }
    // Time along the bottom: clock time for one run, time since the start for two.
    const Milliseconds origin = runs.front()->recording.rows() ? runs.front()->recording.times.front() : 0;
    for (int i = 0; i <= 4; ++i) {
        const Milliseconds at = span * i / 4;
        const std::string label = compared ? "+" + durationText(at)
                                           : utcText(origin + at, span > 86'400'000 ? "%m-%d %H:%M" : "%H:%M:%S");
        svg += "<text x=\"" + number(x(static_cast<double>(plotWidth) * i / 4)) + "\" y=\"" +
               std::to_string(height - 10) + "\" text-anchor=\"" + (i == 0 ? "start" : i == 4 ? "end" : "middle") +
               "\">" + text(label) + "</text>\n";
    }
    // Alarms on these readings, shaded where they lasted.
    for (const ReportRun* run : runs) {
        if (run->recording.rows() == 0)
            continue;
        const Milliseconds start = run->recording.times.front();
        for (const AlarmSpan& alarm : run->alarms) {
            if (std::find(readings.begin(), readings.end(), alarm.reading) == readings.end())
                continue;
            const double from = std::clamp((alarm.start - start) * plotWidth / static_cast<double>(span), 0.0,
                                           static_cast<double>(plotWidth));
            const double to = std::clamp((alarm.end - start) * plotWidth / static_cast<double>(span), 0.0,
                                         static_cast<double>(plotWidth));
            svg += "<rect x=\"" + number(x(from)) + "\" y=\"" + std::to_string(Top) + "\" width=\"" +
                   number(std::max(1.0, to - from)) + "\" height=\"" + std::to_string(plotHeight) +
                   "\" fill=\"#d62728\" fill-opacity=\"0.15\"><title>" +
                   text(std::string(Poll::caption(alarm.reading)) + " " + alarm.bound + " from " +
                        utcText(alarm.start, "%H:%M:%S") + " to " + utcText(alarm.end, "%H:%M:%S")) +
                   "</title></rect>\n";
        }
        // Where the rows start to come from another device or controller;
        // words only where the last mark's words leave room.
        double lastLabel = -1e9;
        for (std::size_t s = 1; s < run->recording.sources.size(); ++s) {
            const auto& source = run->recording.sources[s];
            const double at = (run->recording.times[source.row] - start) * plotWidth / static_cast<double>(span);
            char label[32];
            std::snprintf(label, sizeof label, "0x%02X, controller %d", source.device, source.controller);
            svg += "<line x1=\"" + number(x(at)) + "\" x2=\"" + number(x(at)) + "\" y1=\"" + std::to_string(Top) +
                   "\" y2=\"" + std::to_string(Top + plotHeight) + "\" stroke=\"#555\" stroke-dasharray=\"2 3\"><title>" +
                   label + "</title></line>\n";
            if (at - lastLabel < 120)
                continue;
            lastLabel = at;
            svg += "<text x=\"" + number(x(at) + 3) + "\" y=\"" + std::to_string(Top + 12) + "\" fill=\"#555\">" +
                   label + "</text>\n";
        }
    }
    for (const Drawn& line : drawn) {
        const std::size_t r =
            static_cast<std::size_t>(std::find(readings.begin(), readings.end(), line.reading) - readings.begin());
        std::string path;
        for (const PixelColumn& column : line.columns) {
            const double at = x(std::clamp(column.x + 0.5, 0.0, static_cast<double>(plotWidth)));
            path += (column.joined ? "L" : "M") + number(at) + " " + number(y(column.maximum));
            if (column.minimum != column.maximum)
                path += "L" + number(at) + " " + number(y(column.minimum));
        }
        if (path.empty())
            continue;
        svg += "<path d=\"" + path + "\" fill=\"none\" stroke=\"" + Colours[r % 4] + "\" stroke-width=\"1.2\"" +
               (line.run != runs.front() ? " stroke-dasharray=\"5 3\"" : "") + "/>\n";
    }
    return svg + "</svg>\n";
}

std::string fanCurveSvg(const std::string& name, const FanTestRead& test, int width, int height)
{
    constexpr int Left = 64, Right = 12, Top = 30, Bottom = 30;
    const int plotWidth = width - Left - Right, plotHeight = height - Top - Bottom;
    double high = 1;
    for (const FanStep& step : test.steps)
        high = std::max(high, step.rpm);
    high *= 1.05;
    const auto x = [&](double duty) { return Left + plotWidth * duty / 100; };
    const auto y = [&](double rpm) { return Top + plotHeight * (high - rpm) / high; };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                      std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " +
                      std::to_string(height) + "\" role=\"img\" aria-label=\"Fan test " + text(name) +
                      "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<rect x=\"" + std::to_string(Left) + "\" y=\"" + std::to_string(Top) + "\" width=\"" +
           std::to_string(plotWidth) + "\" height=\"" + std::to_string(plotHeight) +
           "\" fill=\"none\" stroke=\"#888\"/>\n<text x=\"" + std::to_string(Left) +
           "\" y=\"14\" font-weight=\"bold\">Fan1 speed (rpm) against PWM1 duty (%) — " + text(name) +
           "</text>\n<text x=\"" + std::to_string(Left + 420) + "\" y=\"14\"><tspan fill=\"" + Colours[0] +
           "\">down</tspan> <tspan fill=\"" + Colours[1] + "\">up</tspan></text>\n";
    for (const double tick : niceTicks(0, high, 5)) {
        svg += "<text x=\"" + std::to_string(Left - 4) + "\" y=\"" + number(y(tick)) +
               "\" text-anchor=\"end\" dominant-baseline=\"middle\">" + figure(tick) + "</text>\n";
    }
    for (int duty = 0; duty <= 100; duty += 25)
        svg += "<text x=\"" + number(x(duty)) + "\" y=\"" + std::to_string(height - 10) +
               "\" text-anchor=\"middle\">" + std::to_string(duty) + " %</text>\n";
    for (const bool down : {true, false}) {
        std::string path;
        for (const FanStep& step : test.steps) {
            if (step.down != down)
                continue;
            path += (path.empty() ? "M" : "L") + number(x(step.dutyPercent)) + " " + number(y(step.rpm));
        }
        if (!path.empty())
            svg += "<path d=\"" + path + "\" fill=\"none\" stroke=\"" + Colours[down ? 0 : 1] +
                   "\" stroke-width=\"1.5\"/>\n";
    }
    return svg + "</svg>\n";
}

namespace {

std::string summaryRows(const ReportRun& run, const ReportRun* compared)
{
    std::string rows;
    for (const Reading reading : Poll::ListedOrder) {
        const auto r = static_cast<std::size_t>(reading);
        const ReadingSummary& s = run.summary.readings[r];
        const std::string unit = " " + unitOf(reading);
        const auto cells = [&unit](const ReadingSummary& t) {
            if (t.values == 0)
                return std::string("<td colspan=\"3\">not read</td>");
            return "<td>" + figure(t.minimum) + unit + "</td><td>" + figure(t.mean) + unit + "</td><td>" +
                   figure(t.maximum) + unit + "</td>";
        };
        rows += "<tr><th scope=\"row\">" + text(Poll::caption(reading)) + "</th>" + cells(s);
        if (compared) {
            const ReadingSummary& c = compared->summary.readings[r];
            rows += cells(c);
            rows += s.values && c.values ? "<td>" + figure(c.mean - s.mean) + unit + "</td>" : "<td>—</td>";
        } else {
            rows += "<td>" + (s.values ? utcText(s.first, "%H:%M:%S") + " – " + utcText(s.last, "%H:%M:%S") : "—") +
                    "</td>";
        }
        rows += "<td>" + std::to_string(s.gaps) + (s.gaps ? " (longest " + durationText(s.longestGap) + ")" : "") +
                "</td><td>";
        std::string beyond;
        for (const auto& b : s.beyond)
            beyond += (beyond.empty() ? "" : "; ") + text(b.bound) + ": " + durationText(b.time) + " in " +
                      std::to_string(b.alarms) + (b.alarms == 1 ? " alarm" : " alarms");
        rows += (beyond.empty() ? "—" : beyond) + "</td></tr>\n";
    }
    return rows;
}

std::string alarmRows(const ReportRun& run)
{
    std::string rows;
    for (const AlarmSpan& alarm : run.alarms) {
        rows += "<tr><td>" + text(Poll::caption(alarm.reading)) + "</td><td>" + text(alarm.bound) + "</td><td>" +
                utcText(alarm.start) + "</td><td>" + utcText(alarm.end) + "</td><td>" +
                durationText(alarm.end - alarm.start) + "</td><td>" +
                (alarm.value ? figure(*alarm.value) + " " + unitOf(alarm.reading) : "—") + "</td><td>" +
                text(alarm.endEvent) + "</td></tr>\n";
    }
    return rows;
}

std::string runFacts(const ReportRun& run)
{
    const RecordingSummary& s = run.summary;
    std::string facts = "<dl>\n<dt>File</dt><dd>" + text(run.name) + "</dd>\n";
    facts += "<dt>Span</dt><dd>" +
             (s.rows ? utcText(s.first) + " to " + utcText(s.last) + " (" + durationText(s.last - s.first) + ")"
                     : std::string("no rows")) +
             "</dd>\n";
    facts += "<dt>Rows</dt><dd>" + std::to_string(s.rows) +
             (s.damagedRows ? ", and " + std::to_string(s.damagedRows) + " damaged rows skipped (first: " +
                                  text(run.recording.firstDamage) + ")"
                            : std::string()) +
             "</dd>\n";
    facts += "<dt>Read from</dt><dd>" + text(sourcesText(run.recording)) + "</dd>\n</dl>\n";
    return facts;
}

} // namespace

std::string reportHtml(const ReportContents& report)
{
    const ReportRun& run = report.run;
    const ReportRun* compared = report.compared ? &*report.compared : nullptr;
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Corvane Bench report: " +
        text(run.name) +
        "</title>\n<style>\n"
        "@page { size: A4; margin: 14mm; }\n"
        "body { font-family: sans-serif; font-size: 10pt; color: #111; max-width: 182mm; margin: auto; }\n"
        "h1 { font-size: 15pt; } h2 { font-size: 12pt; margin-top: 1.2em; }\n"
        "svg { display: block; max-width: 100%; height: auto; page-break-inside: avoid; margin: 4pt 0; }\n"
        "table { border-collapse: collapse; width: 100%; page-break-inside: auto; }\n"
        "th, td { border: 1px solid #bbb; padding: 2pt 4pt; text-align: left; vertical-align: top; }\n"
        "tr { page-break-inside: avoid; }\n"
        "dt { font-weight: bold; float: left; clear: left; width: 6em; } dd { margin-left: 7em; }\n"
        "</style>\n</head>\n<body>\n";
    html += "<h1>Recorded run: " + text(run.name) + (compared ? " compared with " + text(compared->name) : "") +
            "</h1>\n";
    html += runFacts(run);
    if (compared)
        html += "<h2>Compared with</h2>\n" + runFacts(*compared);
    html += "<p>Made by Corvane Bench " + text(report.version) + ".</p>\n";
    html += "<h2>Plots</h2>\n";
    std::vector<const ReportRun*> runs{&run};
    if (compared)
        runs.push_back(compared);
    for (const auto& group : plotGroups())
        html += plotSvg(runs, group.readings, group.title, 680, 190);
    html += "<h2>Summary</h2>\n<table>\n<thead><tr><th>Reading</th>";
    if (compared)
        html += "<th>Minimum</th><th>Mean</th><th>Maximum</th><th>Minimum (compared)</th><th>Mean (compared)</th>"
                "<th>Maximum (compared)</th><th>Mean, compared less first</th>";
    else
        html += "<th>Minimum</th><th>Mean</th><th>Maximum</th><th>First – last value</th>";
    html += "<th>Gaps</th><th>Beyond a bound</th></tr></thead>\n<tbody>\n" + summaryRows(run, compared) +
            "</tbody>\n</table>\n";
    for (const ReportRun* each : runs) {
        html += "<h2>Alarms of " + text(each->name) + "</h2>\n";
        if (each->alarms.empty()) {
            html += "<p>None recorded.</p>\n";
            continue;
        }
        html += "<table>\n<thead><tr><th>Reading</th><th>Bound</th><th>Start</th><th>End</th><th>Lasted</th>"
                "<th>Value at start</th><th>Ended by</th></tr></thead>\n<tbody>\n" +
                alarmRows(*each) + "</tbody>\n</table>\n";
    }
    if (report.fanTest) {
        const auto& [name, test] = *report.fanTest;
        html += "<h2>Fan test: " + text(name) + "</h2>\n" + fanCurveSvg(name, test, 680, 240);
        if (test.damagedRows)
            html += "<p>" + std::to_string(test.damagedRows) + " damaged rows skipped (first: " +
                    text(test.firstDamage) + ").</p>\n";
    }
    return html + "</body>\n</html>\n";
}

namespace {

std::string jsonString(std::string_view view)
{
    std::string out = "\"";
    for (const char c : view) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string runJson(const ReportRun& run)
{
    const RecordingSummary& s = run.summary;
    std::string json = "{\"file\":" + jsonString(run.name) + ",\"rows\":" + std::to_string(s.rows) +
                       ",\"damaged_rows\":" + std::to_string(s.damagedRows) + ",\"first\":" +
                       jsonString(s.rows ? utcText(s.first, "%Y-%m-%dT%H:%M:%SZ") : "") + ",\"last\":" +
                       jsonString(s.rows ? utcText(s.last, "%Y-%m-%dT%H:%M:%SZ") : "") +
                       ",\"seconds\":" + csvNumber(static_cast<double>(s.last - s.first) / 1000) + ",\"readings\":{";
    bool firstReading = true;
    for (const Reading reading : Poll::ListedOrder) {
        const ReadingSummary& r = s.readings[static_cast<std::size_t>(reading)];
        json += (firstReading ? "" : ",") + jsonString(Poll::name(reading)) + ":{\"values\":" + std::to_string(r.values);
        firstReading = false;
        if (r.values) {
            json += ",\"minimum\":" + figure(r.minimum) + ",\"mean\":" + figure(r.mean) + ",\"maximum\":" +
                    figure(r.maximum);
        }
        json += ",\"gaps\":" + std::to_string(r.gaps) + ",\"longest_gap_seconds\":" +
                csvNumber(static_cast<double>(r.longestGap) / 1000) + ",\"beyond\":[";
        for (std::size_t b = 0; b < r.beyond.size(); ++b) {
            json += (b ? "," : "") + std::string("{\"bound\":") + jsonString(r.beyond[b].bound) + ",\"seconds\":" +
                    csvNumber(static_cast<double>(r.beyond[b].time) / 1000) +
                    ",\"alarms\":" + std::to_string(r.beyond[b].alarms) + "}";
        }
        json += "]}";
    }
    return json + "}}";
}

} // namespace

std::string reportJson(const ReportContents& report)
{
    std::string json = "{\"version\":" + jsonString(report.version) + ",\"run\":" + runJson(report.run);
    if (report.compared)
        json += ",\"compared\":" + runJson(*report.compared);
    return json + "}\n";
}
