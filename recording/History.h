#pragma once
// Every poll of the run, in bounded memory: the last hour at the full poll
// rate, before that the minimum, maximum and mean of each reading per
// second for a day, and per minute for what is older. A reading that
// failed, or a fan with no new count, is a gap, not a zero. A day costs
// about 12 MB, and each further day 0.2 MB.

#include "SeriesSource.h"
#include "SlidingSpan.h"

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
    // 20 bytes, the last hour's 36,000 of them 0.7 MB: the time counts
    // from a base the history keeps, and the failed reads' fourteen bits
    // and the coding share one word.
    struct Sample {
        static constexpr std::uint16_t OffsetCoded = 0x8000;
        std::uint32_t sinceBase;
        std::array<std::uint8_t, Poll::Registers.size()> bytes;
        std::uint16_t failedReadsAndCoding;

        std::uint16_t failedReads() const { return failedReadsAndCoding & ~OffsetCoded; }
        bool offsetCoded() const { return failedReadsAndCoding & OffsetCoded; }
    };
    static_assert(Poll::Registers.size() < 16, "a bit of the word is the coding");
    static_assert(sizeof(Sample) == 20);
    struct Second {
        Milliseconds start;
        std::array<float, Poll::ReadingCount> min, max, mean;
        std::uint16_t present = 0; // bit r: reading r had a value in this second
    };

    static std::optional<float> value(const Sample& sample, Poll::Reading reading);
    Milliseconds timeOf(const Sample& sample) const { return base_ + sample.sinceBase; }
    // The first recent sample at or after a time.
    SlidingSpan<Sample>::const_iterator recentFrom(Milliseconds time) const;
    // Keeps a time within 24 days of the base: only a wall clock
    // stepped weeks ahead, or a run of weeks, moves it.
    void rebaseFor(Milliseconds time);
    void fold(const Sample& sample);
    void foldIntoMinute(const Second& second);

    // The hour at the window's ten polls a second, in one block reserved
    // up front: a deque's small blocks, taken and given back among the
    // poll's other allocations, left the heap growing faster than the
    // samples did.
    static constexpr std::size_t FullRateSamples = 37'000; // with room for early polls
    static constexpr std::size_t DropsBeforeMove = 4'096;
    SlidingSpan<Sample> recent_{FullRateSamples, DropsBeforeMove};
    Milliseconds base_ = 0;
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
