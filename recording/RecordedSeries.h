#pragma once
// A recorded run as a plot's data: each step's minimum and maximum, so a
// week of rows is drawn per pixel of the plot, never point by point; a
// change of device or controller is a mark, as in the live run.

#include "RecordingReader.h"
#include "SeriesSource.h"

class RecordedSeries : public SeriesSource {
public:
    explicit RecordedSeries(Recording recording);

    const Recording& recording() const { return recording_; }

    bool empty() const override { return recording_.rows() == 0; }
    Milliseconds first() const override { return empty() ? 0 : recording_.times.front(); }
    Milliseconds last() const override { return empty() ? 0 : recording_.times.back(); }
    // Each step's minimum and maximum (one point where they are equal).
    std::vector<Point> series(Poll::Reading reading, Milliseconds from, Milliseconds to,
                              Milliseconds step) const override;
    std::optional<Values> at(Milliseconds time, Milliseconds maxDistance) const override;
    const std::deque<Mark>& marks() const override { return marks_; }

    // Steps this long or longer are drawn from each minute's extremes, not
    // from every row: a week's plot costs a week's minutes.
    static constexpr Milliseconds MinuteSteps = 600'000;

private:
    static constexpr Milliseconds Minute = 60'000;
    struct Extremes {
        float minimum, maximum; // NaN when the minute had no value
    };

    Recording recording_;
    std::deque<Mark> marks_;
    // Each minute's extremes from the first row's minute on, a vector a reading.
    Milliseconds firstMinute_ = 0;
    std::array<std::vector<Extremes>, Poll::ReadingCount> minutes_;
};
