#pragma once
// Limits as alarms, for a window left open beside a board: a breach counts
// only once it has lasted ten polls (a second), and ends only once the
// reading has been back inside its bound, by a margin, for as long, so a
// reading hovering at its bound never flaps. The rules of a limit are the
// command line's (LimitWatch); this adds their patience.
//
// A reading that cannot be read is not beyond any bound: it is an alarm of
// its own, one a watched reading, after the same second, and its limits
// stand as they stood meanwhile.

#include "LimitWatch.h"

#include <array>
#include <chrono>
#include <optional>
#include <vector>

class AlarmWatch {
public:
    using Time = std::chrono::system_clock::time_point;
    static constexpr int PollsToStart = 10;
    static constexpr int PollsToEnd = 10;

    explicit AlarmWatch(std::vector<Limit> limits = {});

    // What an alarm is about: a limit passed (index into limits()), or a
    // watched reading that is not read (index is the reading's).
    enum class Kind { Bound, NoReading };
    struct Alarm {
        Kind kind;
        std::size_t index;
        bool operator==(const Alarm&) const = default;
    };
    struct Event {
        Alarm alarm;
        bool started; // or ended
        Time time;    // when the breach began, or when it was first back inside
        std::optional<double> value; // the reading then; nothing for a failed read
    };
    // One poll's transitions, usually none. No strings are made here: a
    // steady tick with limits set costs a few comparisons.
    std::vector<Event> check(const PollResult& poll, bool offsetCoded);
    // Ends every alarm at once, as of time: the watch starts afresh, and
    // each alarm that was on gets its end event.
    std::vector<Event> endAll(Time time);

    const std::vector<Limit>& limits() const { return limits_; }
    // Every alarm on now, in the order they are kept.
    std::vector<Alarm> active() const;
    bool alarmed(const Alarm& alarm) const { return state(alarm).alarmed; }
    bool alarmed(std::size_t limit) const { return states_[limit].alarmed; }
    // When the alarm's condition began.
    Time since(const Alarm& alarm) const { return state(alarm).since; }
    // The reading at the last poll that read it beyond the bound.
    std::optional<double> lastValue(const Alarm& alarm) const { return state(alarm).value; }
    Poll::Reading readingOf(const Alarm& alarm) const;
    // A fan below a low bound at 0 rpm: stalled.
    bool stalled(const Alarm& alarm) const;

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
    const State& state(const Alarm& alarm) const
    {
        return alarm.kind == Kind::Bound ? states_[alarm.index] : unread_[alarm.index];
    }
    // Counts one poll towards a start (when beyond) or an end (when back);
    // true when the alarm changed.
    static bool count(State& state, bool beyond, bool back, Time time);

    std::vector<Limit> limits_;
    std::vector<State> states_;
    std::array<State, Poll::ReadingCount> unread_{};
    std::array<bool, Poll::ReadingCount> watched_{};
};
