#include "AlarmWatch.h"

using Poll::Reading;

AlarmWatch::AlarmWatch(std::vector<Limit> limits) : limits_(std::move(limits)), states_(limits_.size()) {}

double AlarmWatch::margin(const Limit& limit)
{
    switch (limit.reading) {
    case Reading::Remote1:
    case Reading::Local:
    case Reading::Remote2: return 1;
    case Reading::Fan1:
    case Reading::Fan2:
    case Reading::Fan3:
    case Reading::Fan4: return 0.02 * limit.bound;
    case Reading::Vcc:
    case Reading::Vccp: return 0.02;
    case Reading::Duty: break;
    }
    return 1;
}

bool AlarmWatch::stalled(std::size_t limit) const
{
    const Limit& l = limits_[limit];
    const bool fan = l.reading >= Reading::Fan1 && l.reading <= Reading::Fan4;
    return fan && !l.atMost && states_[limit].alarmed && (!states_[limit].value || *states_[limit].value == 0);
}

std::vector<AlarmWatch::Event> AlarmWatch::check(const PollResult& poll, bool offsetCoded)
{
    std::vector<Event> events;
    for (std::size_t i = 0; i < limits_.size(); ++i) {
        const Limit& limit = limits_[i];
        State& state = states_[i];
        const LimitCheck check = checkLimit(limit, poll, offsetCoded);
        if (check.against == Against::NotKnown)
            continue; // a fan with no new count: nothing new to count
        const bool beyond = check.against == Against::Beyond;
        if (!state.alarmed) {
            if (!beyond) {
                state.count = 0;
                continue;
            }
            if (state.count++ == 0)
                state.since = poll.time;
            state.value = check.value;
            if (state.count >= PollsToStart) {
                state.alarmed = true;
                state.count = 0;
                events.push_back({i, true, state.since, state.value});
            }
            continue;
        }
        if (beyond)
            state.value = check.value;
        const double back = margin(limit);
        const bool clearlyInside =
            check.value && (limit.atMost ? *check.value <= limit.bound - back : *check.value >= limit.bound + back);
        if (!clearlyInside) {
            state.count = 0;
            continue;
        }
        if (state.count++ == 0)
            state.back = poll.time;
        if (state.count >= PollsToEnd) {
            state.alarmed = false;
            state.count = 0;
            events.push_back({i, false, state.back, check.value});
        }
    }
    return events;
}
