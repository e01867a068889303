#include "RecordedSeries.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

RecordedSeries::RecordedSeries(Recording recording) : recording_(std::move(recording))
{
    const auto& sources = recording_.sources;
    for (std::size_t i = 1; i < sources.size(); ++i) {
        char text[48];
        if (sources[i].controller != sources[i - 1].controller)
            std::snprintf(text, sizeof text, "SMBus Controller %d", sources[i].controller);
        else
            std::snprintf(text, sizeof text, "Device 0x%02X", sources[i].device);
        marks_.push_back({recording_.times[sources[i].row], text});
    }
    if (recording_.rows() == 0)
        return;
    const auto& times = recording_.times;
    firstMinute_ = times.front() - times.front() % Minute;
    const auto minutes = static_cast<std::size_t>((times.back() - firstMinute_) / Minute + 1);
    for (std::size_t r = 0; r < minutes_.size(); ++r) {
        auto& extremes = minutes_[r];
        extremes.assign(minutes, {NAN, NAN});
        const auto& values = recording_.values[r];
        for (std::size_t i = 0; i < times.size(); ++i) {
            const float value = values[i];
            if (std::isnan(value))
                continue;
            // A clock set back puts a row before the first: it counts in the first minute.
            const auto m = static_cast<std::size_t>(std::max<Milliseconds>(0, times[i] - firstMinute_) / Minute);
            Extremes& e = extremes[std::min(m, minutes - 1)];
            e.minimum = std::isnan(e.minimum) ? value : std::min(e.minimum, value);
            e.maximum = std::isnan(e.maximum) ? value : std::max(e.maximum, value);
        }
    }
}

std::vector<SeriesSource::Point> RecordedSeries::series(Poll::Reading reading, Milliseconds from, Milliseconds to,
                                                        Milliseconds step) const
{
    std::vector<Point> points;
    if (step <= 0 || to <= from)
        return points;
    const auto& minutes = minutes_[static_cast<std::size_t>(reading)];
    if (step >= MinuteSteps && !minutes.empty()) {
        // Each step takes the minutes that start within it.
        for (Milliseconds start = from; start < to; start += step) {
            const Milliseconds firstIndex = std::max<Milliseconds>(0, (start - firstMinute_ + Minute - 1) / Minute);
            const Milliseconds endIndex = std::min<Milliseconds>(static_cast<Milliseconds>(minutes.size()),
                                                                 (start + step - firstMinute_ + Minute - 1) / Minute);
            float low = INFINITY, high = -INFINITY;
            for (Milliseconds m = firstIndex; m < endIndex; ++m) {
                const Extremes& e = minutes[static_cast<std::size_t>(m)];
                if (std::isnan(e.minimum))
                    continue;
                low = std::min(low, e.minimum);
                high = std::max(high, e.maximum);
            }
            if (low > high)
                continue;
            const Milliseconds middle = start + step / 2;
            points.push_back({middle, high});
            if (low != high)
                points.push_back({middle, low});
        }
        return points;
    }
    const auto& times = recording_.times;
    const auto& values = recording_.values[static_cast<std::size_t>(reading)];
    auto row = std::lower_bound(times.begin(), times.end(), from);
    for (Milliseconds start = from; start < to && row != times.end(); start += step) {
        const Milliseconds end = start + step;
        float low = INFINITY, high = -INFINITY;
        for (; row != times.end() && *row < end; ++row) {
            const float value = values[static_cast<std::size_t>(row - times.begin())];
            if (std::isnan(value))
                continue;
            low = std::min(low, value);
            high = std::max(high, value);
        }
        if (low > high)
            continue;
        const Milliseconds middle = start + step / 2;
        points.push_back({middle, high});
        if (low != high)
            points.push_back({middle, low});
    }
    return points;
}

std::optional<SeriesSource::Values> RecordedSeries::at(Milliseconds time, Milliseconds maxDistance) const
{
    const auto& times = recording_.times;
    if (times.empty())
        return std::nullopt;
    auto found = std::lower_bound(times.begin(), times.end(), time);
    if (found == times.end() || (found != times.begin() && time - *(found - 1) < *found - time))
        --found;
    if (std::abs(*found - time) > maxDistance)
        return std::nullopt;
    const auto row = static_cast<std::size_t>(found - times.begin());
    Values values{*found, {}};
    for (std::size_t r = 0; r < values.readings.size(); ++r) {
        const float value = recording_.values[r][row];
        if (!std::isnan(value))
            values.readings[r] = value;
    }
    return values;
}
