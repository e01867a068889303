#pragma once
// Limits as alarms, for a window left open beside a board: a breach counts
// only once it has lasted ten polls (a second), and ends only once the
// reading has been back inside its bound, by a margin, for as long, so a
// reading hovering at its bound never flaps. The rules of a limit are the
// command line's (LimitWatch); this adds their patience.

#include "LimitWatch.h"

#include <chrono>
#include <optional>
#include <vector>

class AlarmWatch {
public:
    using Time = std::chrono::system_clock::time_point;
    static constexpr int PollsToStart = 10;
    static constexpr int PollsToEnd = 10;

    explicit AlarmWatch(std::vector<Limit> limits = {});

    struct Event {
        std::size_t limit;
        bool started; // or ended
        Time time;    // when the breach began, or when it was first back inside
        std::optional<double> value; // the reading then; nothing for a failed read
    };
    // One poll's transitions, usually none. No strings are made here: a
    // steady tick with limits set costs a few comparisons.
    std::vector<Event> check(const PollResult& poll, bool offsetCoded);

    const std::vector<Limit>& limits() const { return limits_; }
    bool alarmed(std::size_t limit) const { return states_[limit].alarmed; }
    // When the breach of an alarmed limit began.
    Time since(std::size_t limit) const { return states_[limit].since; }
    // The reading at the last poll that read it beyond the bound.
    std::optional<double> lastValue(std::size_t limit) const { return states_[limit].value; }
    // A fan below a low bound with no count at all: stalled, or unread.
    bool stalled(std::size_t limit) const;

    // How far inside the bound a reading must come back: 1 °C, 2 % of the
    // bound for a fan, 0.02 V, 1 % of duty.
    static double margin(const Limit& limit);

private:
    struct State {
        bool alarmed = false;
        int count = 0; // polls in a row beyond (not alarmed) or clearly back (alarmed)
        Time since{};
        Time back{};
        std::optional<double> value;
    };

    std::vector<Limit> limits_;
    std::vector<State> states_;
};
