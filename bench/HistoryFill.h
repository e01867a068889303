#pragma once
// Fills a history fast: the simulated chip on a clock that jumps a poll
// interval per poll, so hours of polls take seconds.

#include "bus/SimulatedBus.h"
#include "protocol/CorvaneProtocol.h"
#include "recording/History.h"

#include <chrono>

inline void fillHistory(History& history, std::chrono::system_clock::time_point start, std::chrono::milliseconds span)
{
    double seconds = 0;
    SimulatedBus bus([&seconds] { return seconds; }, [] { return 0.3; });
    CorvaneProtocol chip(bus);
    const auto polls = span.count() / 100;
    for (long long i = 0; i < polls; ++i) {
        seconds = static_cast<double>(i) / 10;
        PollResult poll = chip.poll(SimulatedBus::ChipAddress);
        poll.time = start + std::chrono::milliseconds(100 * i);
        history.add(poll, false);
    }
}
