#include "RunReport.h"

#include "CsvText.h"
#include "PixelEnvelope.h"
#include "SvgPlot.h"

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

std::string text(std::string_view view) { return escapedXml(view); }

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

} // namespace

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
    SvgPlot plot;
    plot.title = title;
    plot.readings = readings;
    // A compared run is drawn from the first's start: times since each start.
    plot.elapsed = runs.size() > 1;
    if (plot.elapsed)
        plot.legendNote = "solid: " + runs[0]->name + "; dashed: " + runs[1]->name;
    Milliseconds span = 1;
    for (const ReportRun* run : runs) {
        if (run->recording.rows() > 0)
            span = std::max(span, run->recording.times.back() - run->recording.times.front());
    }
    const Milliseconds origin = runs.front()->recording.rows() ? runs.front()->recording.times.front() : 0;
    plot.from = plot.elapsed ? 0 : origin;
    plot.to = plot.from + span;
    for (const ReportRun* run : runs) {
        const Recording& recording = run->recording;
        if (recording.rows() == 0)
            continue;
        const Milliseconds start = recording.times.front();
        // Each run's times as the plot counts them.
        const Milliseconds shift = plot.elapsed ? start : 0;
        const Milliseconds gap = std::max<Milliseconds>(1, typicalInterval(recording)) * GapIntervals;
        for (const Reading reading : readings) {
            plot.lines.push_back({reading, run != runs.front(),
                                  pixelEnvelope(recording.times, recording.values[static_cast<std::size_t>(reading)],
                                                start, start + span + 1, SvgPlot::areaWidth(width), gap)});
        }
        for (const AlarmSpan& alarm : run->alarms) {
            if (std::find(readings.begin(), readings.end(), alarm.reading) != readings.end())
                plot.spans.push_back({alarm.reading, alarm.start - shift, alarm.end - shift,
                                      std::string(Poll::caption(alarm.reading)) + " " + alarm.bound + " from " +
                                          utcText(alarm.start, "%H:%M:%S") + " to " + utcText(alarm.end, "%H:%M:%S")});
        }
        // Where the rows start to come from another device or controller.
        for (std::size_t s = 1; s < recording.sources.size(); ++s) {
            char label[32];
            std::snprintf(label, sizeof label, "0x%02X, controller %d", recording.sources[s].device,
                          recording.sources[s].controller);
            plot.marks.push_back({recording.times[recording.sources[s].row] - shift, label});
        }
    }
    return svgOf(plot, width, height);
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
           "</text>\n<text x=\"" + std::to_string(Left + 420) + "\" y=\"14\"><tspan fill=\"" + plotColour(0) +
           "\">down</tspan> <tspan fill=\"" + plotColour(1) + "\">up</tspan></text>\n";
    for (const double tick : niceTicks(0, high, 5)) {
        svg += "<text x=\"" + std::to_string(Left - 4) + "\" y=\"" + svgNumber(y(tick)) +
               "\" text-anchor=\"end\" dominant-baseline=\"middle\">" + figure(tick) + "</text>\n";
    }
    for (int duty = 0; duty <= 100; duty += 25)
        svg += "<text x=\"" + svgNumber(x(duty)) + "\" y=\"" + std::to_string(height - 10) +
               "\" text-anchor=\"middle\">" + std::to_string(duty) + " %</text>\n";
    for (const bool down : {true, false}) {
        std::string path;
        for (const FanStep& step : test.steps) {
            if (step.down != down)
                continue;
            path += (path.empty() ? "M" : "L") + svgNumber(x(step.dutyPercent)) + " " + svgNumber(y(step.rpm));
        }
        if (!path.empty())
            svg += "<path d=\"" + path + "\" fill=\"none\" stroke=\"" + plotColour(down ? 0 : 1) +
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
