#pragma once
// What a plot of readings against time asks of its data, whether the run
// going on now (History) or one recorded before (RecordedSeries).

#include "protocol/PollReadings.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class SeriesSource {
public:
    using Milliseconds = std::int64_t; // since the epoch, UTC

    struct Point {
        Milliseconds time;
        float value;
    };
    struct Values {
        Milliseconds time;
        std::array<std::optional<float>, Poll::ReadingCount> readings;
    };
    // A moment the readings stopped being of the same chip: another device,
    // or another controller. A plot marks it, so one device's values are
    // not read as another's.
    struct Mark {
        Milliseconds time;
        std::string text; // "Device 0x50", "SMBus Controller 1"
    };

    virtual ~SeriesSource() = default;

    virtual bool empty() const = 0;
    virtual Milliseconds first() const = 0;
    virtual Milliseconds last() const = 0;
    // One reading from..to, a point or two per step at the step's middle;
    // steps with no value are left out.
    virtual std::vector<Point> series(Poll::Reading reading, Milliseconds from, Milliseconds to,
                                      Milliseconds step) const = 0;
    // The readings nearest to a time, where some lie within maxDistance.
    virtual std::optional<Values> at(Milliseconds time, Milliseconds maxDistance) const = 0;
    virtual const std::deque<Mark>& marks() const = 0;
};
