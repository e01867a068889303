#pragma once
// Every poll of the run, in bounded memory: the last hour at the full poll
// rate, and before that the minimum, maximum and mean of each reading per
// second. A reading that failed, or a fan with no new count, is a gap, not
// a zero. A day costs about 12 MB.

#include "protocol/PollReadings.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class History {
public:
    using Milliseconds = std::int64_t; // since the epoch, UTC
    static constexpr Milliseconds FullRateSpan = 3'600'000;

    void add(const PollResult& poll, bool offsetCoded);

    struct Point {
        Milliseconds time;
        float value;
    };
    // One reading from..to, one point per step: the mean of the step's
    // values, at the step's middle; steps with no value are left out.
    std::vector<Point> series(Poll::Reading reading, Milliseconds from, Milliseconds to, Milliseconds step) const;

    // The readings of the poll nearest to a time, where one lies within
    // maxDistance; per-second means before the last hour.
    struct Values {
        Milliseconds time;
        std::array<std::optional<float>, Poll::ReadingCount> readings;
    };
    std::optional<Values> at(Milliseconds time, Milliseconds maxDistance) const;

    bool empty() const { return recent_.empty() && seconds_.empty(); }
    Milliseconds first() const;
    Milliseconds last() const;
    std::size_t polls() const { return polls_; }
    // What the stored samples take, near enough: for checking the budget.
    std::size_t bytes() const;

private:
    struct Sample {
        Milliseconds time;
        std::array<std::uint8_t, Poll::Registers.size()> bytes;
        std::uint16_t failedReads;
        bool offsetCoded;
    };
    struct Second {
        Milliseconds start;
        std::array<float, Poll::ReadingCount> min, max, mean;
        std::uint16_t present = 0; // bit r: reading r had a value in this second
    };

    static std::optional<float> value(const Sample& sample, Poll::Reading reading);
    void fold(const Sample& sample);

    std::deque<Sample> recent_;
    std::deque<Second> seconds_;
    // The second being folded, with its counts for the means.
    std::optional<Second> folding_;
    std::array<int, Poll::ReadingCount> foldCounts_{};
    std::size_t polls_ = 0;
};
