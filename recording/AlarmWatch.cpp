#include "AlarmWatch.h"

using Poll::Reading;

AlarmWatch::AlarmWatch(std::vector<Limit> limits) : limits_(std::move(limits)), states_(limits_.size())
{
    for (const Limit& limit : limits_)
        watched_[static_cast<std::size_t>(limit.reading)] = true;
}

double AlarmWatch::margin(const Limit& limit)
{
    switch (Poll::info(limit.reading).kind) {
    case Poll::Kind::Temperature: return 1;
    case Poll::Kind::Fan: return 0.02 * limit.bound;
    case Poll::Kind::Voltage: return 0.02;
    case Poll::Kind::Duty: break;
    }
    return 1;
}

Reading AlarmWatch::readingOf(const Alarm& alarm) const
{
    return alarm.kind == Kind::Bound ? limits_[alarm.index].reading : static_cast<Reading>(alarm.index);
}

bool AlarmWatch::stalled(const Alarm& alarm) const
{
    if (alarm.kind != Kind::Bound)
        return false;
    const Limit& l = limits_[alarm.index];
    const State& s = states_[alarm.index];
    return Poll::isFan(l.reading) && !l.atMost && s.alarmed && s.value && *s.value == 0;
}

std::vector<AlarmWatch::Alarm> AlarmWatch::active() const
{
    std::vector<Alarm> on;
    for (std::size_t i = 0; i < states_.size(); ++i) {
        if (states_[i].alarmed)
            on.push_back({Kind::Bound, i});
    }
    for (std::size_t r = 0; r < unread_.size(); ++r) {
        if (unread_[r].alarmed)
            on.push_back({Kind::NoReading, r});
    }
    return on;
}

bool AlarmWatch::count(State& state, bool beyond, bool back, Time time)
{
    if (!state.alarmed) {
        if (!beyond) {
            state.count = 0;
            return false;
        }
        if (state.count++ == 0)
            state.since = time;
        if (state.count < PollsToStart)
            return false;
        state.alarmed = true;
        state.count = 0;
        return true;
    }
    if (!back) {
        state.count = 0;
        return false;
    }
    if (state.count++ == 0)
        state.back = time;
    if (state.count < PollsToEnd)
        return false;
    state.alarmed = false;
    state.count = 0;
    return true;
}

std::vector<AlarmWatch::Event> AlarmWatch::check(const PollResult& poll, bool offsetCoded)
{
    std::vector<Event> events;
    for (std::size_t r = 0; r < unread_.size(); ++r) {
        if (!watched_[r])
            continue;
        const bool failed = readingFailed(poll, static_cast<Reading>(r));
        State& state = unread_[r];
        if (count(state, failed, !failed, poll.time))
            events.push_back({{Kind::NoReading, r}, state.alarmed, state.alarmed ? state.since : state.back, {}});
    }
    for (std::size_t i = 0; i < limits_.size(); ++i) {
        const Limit& limit = limits_[i];
        State& state = states_[i];
        const LimitCheck check = checkLimit(limit, poll, offsetCoded);
        // Not read, or a fan with no new count: nothing new to count.
        if (check.against == Against::NotKnown || check.against == Against::NotRead)
            continue;
        const bool beyond = check.against == Against::Beyond;
        if (beyond)
            state.value = check.value;
        const double back = margin(limit);
        const bool clearlyInside =
            check.value && (limit.atMost ? *check.value <= limit.bound - back : *check.value >= limit.bound + back);
        if (count(state, beyond, clearlyInside, poll.time))
            events.push_back({{Kind::Bound, i}, state.alarmed, state.alarmed ? state.since : state.back,
                              state.alarmed ? state.value : check.value});
    }
    return events;
}

std::vector<AlarmWatch::Event> AlarmWatch::endAll(Time time)
{
    std::vector<Event> events;
    for (const Alarm& alarm : active())
        events.push_back({alarm, false, time, {}});
    *this = AlarmWatch(std::move(limits_));
    return events;
}
