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

private:
    Recording recording_;
    std::deque<Mark> marks_;
};
