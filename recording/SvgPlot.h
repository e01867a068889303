#pragma once
// A plot of readings against time as an SVG element: the lines drawn per
// pixel column, shaded spans (alarms), marks (device changes), the value
// axis and the time along the bottom. What a report prints and what the
// Trends windows export.

#include "PixelEnvelope.h"

#include <string>
#include <vector>

struct SvgPlot {
    using Milliseconds = Recording::Milliseconds;
    static constexpr int Left = 64, Right = 12, Top = 30, Bottom = 30;

    std::string title;
    std::vector<Poll::Reading> readings; // the legend, and each one's colour
    std::string legendNote;              // after the readings: "solid: a.csv; dashed: b.csv"
    // The times across: clock times, or times since a start (elapsed).
    Milliseconds from = 0, to = 1;
    bool elapsed = false;
    struct Line {
        Poll::Reading reading;
        bool dashed = false;
        std::vector<PixelColumn> columns;
    };
    std::vector<Line> lines;
    struct Span {
        Poll::Reading reading;
        Milliseconds from, to;
        std::string text;
    };
    std::vector<Span> spans;
    struct Mark {
        Milliseconds at;
        std::string text;
    };
    std::vector<Mark> marks;

    static int areaWidth(int width) { return width - Left - Right; }
};

std::string svgOf(const SvgPlot& plot, int width, int height);

// "<", ">", "&" and quotes made safe for HTML and XML text.
std::string escapedXml(std::string_view text);
// "2025-12-08 23:04:05 UTC", or in the given strftime form; and "1 h 02 min 05 s".
std::string utcText(Recording::Milliseconds ms, const char* format = "%Y-%m-%d %H:%M:%S UTC");
std::string durationText(Recording::Milliseconds ms);
// The colour of a plot's index-th line, and a coordinate as SVG takes it.
const char* plotColour(std::size_t index);
std::string svgNumber(double value);
// Tick values for [low, high]: about count of them, on 1, 2 or 5 steps.
std::vector<double> niceTicks(double low, double high, int count);
