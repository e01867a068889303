#pragma once
// A recorded run as a report to hand on: one self-contained HTML file with
// the plots as inline SVG, the summary, the alarms, the device and
// controller, the program's version and the run's span; or the summary
// alone as JSON. Loads nothing from anywhere, and prints on A4.

#include "FanTestCsv.h"
#include "RecordingSummary.h"
#include "SvgPlot.h"

#include <optional>
#include <string>
#include <vector>

struct ReportRun {
    std::string name; // the file's name, as the legend and headings say it
    Recording recording;
    std::vector<AlarmSpan> alarms;
    RecordingSummary summary;
};

// path read with its alarms beside it and summed up; why not, when it cannot be.
std::variant<ReportRun, std::string> loadReportRun(const std::string& path);

struct ReportContents {
    ReportRun run;
    std::optional<ReportRun> compared; // plotted from the same start
    std::optional<std::pair<std::string, FanTestRead>> fanTest;
    std::string version;
};

std::string reportHtml(const ReportContents& report);
std::string reportJson(const ReportContents& report);

// One plot of some readings of the runs as an SVG element, width by height
// pixels, drawn per pixel; the second run from the first's start.
std::string plotSvg(const std::vector<const ReportRun*>& runs, const std::vector<Poll::Reading>& readings,
                    const std::string& title, int width, int height);
// A fan test's duty → speed curve, down and up.
std::string fanCurveSvg(const std::string& name, const FanTestRead& test, int width, int height);
