#include "PixelEnvelope.h"

#include <algorithm>
#include <cmath>

std::vector<PixelColumn> pixelEnvelope(const std::vector<Recording::Milliseconds>& times,
                                       const std::vector<float>& values, Recording::Milliseconds from,
                                       Recording::Milliseconds to, int width, Recording::Milliseconds gapAfter)
{
    std::vector<PixelColumn> columns;
    if (width <= 0 || to <= from || times.empty())
        return columns;
    const double perPixel = static_cast<double>(to - from) / width;
    // Rows are in time order: start at the first row in range, and one
    // before it, so the line enters from the left edge.
    auto first = std::lower_bound(times.begin(), times.end(), from);
    if (first != times.begin())
        --first;
    std::optional<Recording::Milliseconds> lastTime;
    bool broken = true;
    for (auto at = first; at != times.end(); ++at) {
        const std::size_t i = static_cast<std::size_t>(at - times.begin());
        const Recording::Milliseconds time = *at;
        const float value = values[i];
        if (std::isnan(value)) {
            broken = true;
            continue;
        }
        if (lastTime && time - *lastTime > gapAfter)
            broken = true;
        lastTime = time;
        const int x = static_cast<int>(std::floor((time - from) / perPixel));
        if (x >= width) {
            // One row beyond the right edge, joined, so the line leaves the plot.
            if (!broken)
                columns.push_back({width, value, value, true});
            break;
        }
        if (!columns.empty() && columns.back().x == x) {
            columns.back().minimum = std::min(columns.back().minimum, value);
            columns.back().maximum = std::max(columns.back().maximum, value);
            columns.back().joined = columns.back().joined && !broken;
        } else {
            columns.push_back({std::max(x, -1), value, value, !broken && !columns.empty()});
        }
        broken = false;
    }
    return columns;
}

std::vector<PixelColumn> pixelColumns(const SeriesSource& source, Poll::Reading reading, Recording::Milliseconds from,
                                      Recording::Milliseconds to, int width)
{
    std::vector<PixelColumn> columns;
    if (width <= 0 || to <= from)
        return columns;
    const Recording::Milliseconds step = std::max<Recording::Milliseconds>(1, (to - from) / width);
    for (const SeriesSource::Point& point : source.series(reading, from, to, step)) {
        const int x = static_cast<int>((point.time - from) / step);
        if (!columns.empty() && columns.back().x == x) {
            columns.back().minimum = std::min(columns.back().minimum, point.value);
            columns.back().maximum = std::max(columns.back().maximum, point.value);
            continue;
        }
        const bool joined = !columns.empty() && x - columns.back().x <= 3;
        columns.push_back({x, point.value, point.value, joined});
    }
    return columns;
}
