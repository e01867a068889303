#pragma once
// Every poll of the run, in bounded memory: the last hour at the full poll
// rate, before that the minimum, maximum and mean of each reading per
// second for a day, and per minute for what is older. A reading that
// failed, or a fan with no new count, is a gap, not a zero. A day costs
// about 12 MB, and each further day 0.2 MB.

#include "SeriesSource.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class History : public SeriesSource {
public:
    static constexpr Milliseconds FullRateSpan = 3'600'000;
    static constexpr Milliseconds PerSecondSpan = 24 * FullRateSpan;

    void add(const PollResult& poll, bool offsetCoded);

    // One reading from..to, one point per step: the mean of the step's
    // values, at the step's middle; steps with no value are left out.
    std::vector<Point> series(Poll::Reading reading, Milliseconds from, Milliseconds to,
                              Milliseconds step) const override;

    // The readings of the poll nearest to a time, where one lies within
    // maxDistance; per-second means before the last hour.
    std::optional<Values> at(Milliseconds time, Milliseconds maxDistance) const override;

    // The poll moved to another device, or the user chose another controller.
    void mark(Milliseconds time, std::string text);
    const std::deque<Mark>& marks() const override { return marks_; }
    // Marks kept; a run that changes device more often keeps the latest.
    static constexpr std::size_t MarksKept = 1000;

    bool empty() const override { return recent_.empty() && seconds_.empty() && minutes_.empty(); }
    Milliseconds first() const override;
    Milliseconds last() const override;
    std::size_t polls() const { return polls_; }
    // What the stored samples take, near enough: for checking the budget.
    std::size_t bytes() const;

private:
    // 24 bytes, the last hour's 36,000 of them under a megabyte: the
    // failed reads' fourteen bits and the coding share one word.
    struct Sample {
        static constexpr std::uint16_t OffsetCoded = 0x8000;
        Milliseconds time;
        std::array<std::uint8_t, Poll::Registers.size()> bytes;
        std::uint16_t failedReadsAndCoding;

        std::uint16_t failedReads() const { return failedReadsAndCoding & ~OffsetCoded; }
        bool offsetCoded() const { return failedReadsAndCoding & OffsetCoded; }
    };
    static_assert(Poll::Registers.size() < 16, "a bit of the word is the coding");
    static_assert(sizeof(Sample) == 24);
    struct Second {
        Milliseconds start;
        std::array<float, Poll::ReadingCount> min, max, mean;
        std::uint16_t present = 0; // bit r: reading r had a value in this second
    };

    static std::optional<float> value(const Sample& sample, Poll::Reading reading);
    void fold(const Sample& sample);
    void foldIntoMinute(const Second& second);

    std::deque<Sample> recent_;
    std::deque<Second> seconds_;
    std::deque<Second> minutes_; // the same summaries, a minute each
    std::array<int, Poll::ReadingCount> minuteCounts_{};
    // The second being folded, with its counts for the means.
    std::optional<Second> folding_;
    std::array<int, Poll::ReadingCount> foldCounts_{};
    std::size_t polls_ = 0;
    std::deque<Mark> marks_;
    std::optional<std::uint8_t> lastDevice_;
};
