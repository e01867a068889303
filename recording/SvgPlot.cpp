#include "SvgPlot.h"

#include "CsvText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

namespace {

// Told apart by more than colour: each reading of a plot has its own
// colour, and a compared run is dashed.
constexpr const char* Colours[] = {"#1f5fbf", "#c0392b", "#2e8b57", "#8e44ad"};

std::string number(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    return buffer;
}

std::string text(std::string_view view) { return escapedXml(view); }

std::string tickText(double value) { return csvNumber(std::round(value * 1000) / 1000); }

} // namespace

const char* plotColour(std::size_t index) { return Colours[index % 4]; }

std::string svgNumber(double value) { return number(value); }

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

std::string utcText(Recording::Milliseconds ms, const char* format)
{
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[48];
    return std::string(buffer, std::strftime(buffer, sizeof buffer, format, &utc));
}

std::string durationText(Recording::Milliseconds ms)
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

std::string svgOf(const SvgPlot& plot, int width, int height)
{
    using P = SvgPlot;
    const int plotWidth = P::areaWidth(width), plotHeight = height - P::Top - P::Bottom;
    const SvgPlot::Milliseconds span = std::max<SvgPlot::Milliseconds>(1, plot.to - plot.from);
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const auto& line : plot.lines) {
        for (const PixelColumn& column : line.columns) {
            low = std::min<double>(low, column.minimum);
            high = std::max<double>(high, column.maximum);
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
    const auto y = [&](double value) { return P::Top + plotHeight * (high - value) / (high - low); };
    const auto x = [&](double pixel) { return P::Left + pixel; };
    const auto xOf = [&](SvgPlot::Milliseconds time) {
        return std::clamp((time - plot.from) * plotWidth / static_cast<double>(span), 0.0,
                          static_cast<double>(plotWidth));
    };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                      std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " +
                      std::to_string(height) + "\" role=\"img\" aria-label=\"" + text(plot.title) +
                      "\" font-family=\"sans-serif\" font-size=\"11\">\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
           "\" fill=\"#fff\"/>\n<rect x=\"" + std::to_string(P::Left) + "\" y=\"" + std::to_string(P::Top) +
           "\" width=\"" + std::to_string(plotWidth) + "\" height=\"" + std::to_string(plotHeight) +
           "\" fill=\"none\" stroke=\"#888\"/>\n";
    svg += "<text x=\"" + std::to_string(P::Left) + "\" y=\"14\" font-weight=\"bold\">" + text(plot.title) + "</text>\n";
    std::string legend;
    for (std::size_t r = 0; r < plot.readings.size(); ++r)
        legend += "<tspan fill=\"" + std::string(Colours[r % 4]) + "\">" + text(Poll::caption(plot.readings[r])) +
                  "</tspan> ";
    if (!plot.legendNote.empty())
        legend += "— " + text(plot.legendNote);
    svg += "<text x=\"" + std::to_string(P::Left + 150) + "\" y=\"14\">" + legend + "</text>\n";
    for (const double tick : niceTicks(low, high, 5)) {
        const std::string at = number(y(tick));
        svg += "<line x1=\"" + std::to_string(P::Left) + "\" x2=\"" + std::to_string(P::Left + plotWidth) +
               "\" y1=\"" + at + "\" y2=\"" + at + "\" stroke=\"#ddd\"/>\n<text x=\"" + std::to_string(P::Left - 4) +
               "\" y=\"" + at + "\" text-anchor=\"end\" dominant-baseline=\"middle\">" + tickText(tick) + "</text>\n";
    }
    for (int i = 0; i <= 4; ++i) {
        const SvgPlot::Milliseconds at = span * i / 4;
        const std::string label = plot.elapsed ? "+" + durationText(at)
                                               : utcText(plot.from + at, span > 86'400'000 ? "%m-%d %H:%M" : "%H:%M:%S");
        svg += "<text x=\"" + number(x(static_cast<double>(plotWidth) * i / 4)) + "\" y=\"" +
               std::to_string(height - 10) + "\" text-anchor=\"" + (i == 0 ? "start" : i == 4 ? "end" : "middle") +
               "\">" + text(label) + "</text>\n";
    }
    for (const auto& shaded : plot.spans) {
        const double from = xOf(shaded.from), to = xOf(shaded.to);
        svg += "<rect x=\"" + number(x(from)) + "\" y=\"" + std::to_string(P::Top) + "\" width=\"" +
               number(std::max(1.0, to - from)) + "\" height=\"" + std::to_string(plotHeight) +
               "\" fill=\"#d62728\" fill-opacity=\"0.15\"><title>" + text(shaded.text) + "</title></rect>\n";
    }
    // Words only where the last mark's words leave room.
    double lastLabel = -1e9;
    for (const auto& mark : plot.marks) {
        const double at = xOf(mark.at);
        svg += "<line x1=\"" + number(x(at)) + "\" x2=\"" + number(x(at)) + "\" y1=\"" + std::to_string(P::Top) +
               "\" y2=\"" + std::to_string(P::Top + plotHeight) + "\" stroke=\"#555\" stroke-dasharray=\"2 3\"><title>" +
               text(mark.text) + "</title></line>\n";
        if (at - lastLabel < 120)
            continue;
        lastLabel = at;
        svg += "<text x=\"" + number(x(at) + 3) + "\" y=\"" + std::to_string(P::Top + 12) + "\" fill=\"#555\">" +
               text(mark.text) + "</text>\n";
    }
    for (const auto& line : plot.lines) {
        const std::size_t r = static_cast<std::size_t>(
            std::find(plot.readings.begin(), plot.readings.end(), line.reading) - plot.readings.begin());
        std::string path;
        for (const PixelColumn& column : line.columns) {
            const double at = x(std::clamp(column.x + 0.5, 0.0, static_cast<double>(plotWidth)));
            path += (column.joined && !path.empty() ? "L" : "M") + number(at) + " " + number(y(column.maximum));
            if (column.minimum != column.maximum)
                path += "L" + number(at) + " " + number(y(column.minimum));
        }
        if (path.empty())
            continue;
        svg += "<path d=\"" + path + "\" fill=\"none\" stroke=\"" + Colours[r % 4] + "\" stroke-width=\"1.2\"" +
               (line.dashed ? " stroke-dasharray=\"5 3\"" : "") + "/>\n";
    }
    return svg + "</svg>\n";
}
