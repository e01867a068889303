#pragma once
// How many of a timer's ticks never came. A stopped program (SIGSTOP, a
// suspend) or an event loop held up loses ticks without a word from the
// timer: counted here from the time between the ticks that did come, so
// that every tick due is either polled or counted as skipped.

#include <chrono>
#include <cstdint>

class TickLedger {
public:
    using Clock = std::chrono::steady_clock;

    explicit TickLedger(std::chrono::milliseconds interval) : interval_(interval) {}

    // A tick came at now: the ticks due since the last that never came.
    std::uint64_t came(Clock::time_point now)
    {
        std::uint64_t missed = 0;
        if (started_) {
            // Qt keeps a repeating timer on its schedule: a tick that comes
            // late is followed by one on time, so a late tick is no lost
            // one. Only whole intervals count, less a tenth for a coarse
            // timer's early ticks.
            const auto between = now - last_;
            const auto ticks = (between + interval_ / 10) / interval_;
            missed = ticks > 1 ? static_cast<std::uint64_t>(ticks - 1) : 0;
        }
        last_ = now;
        started_ = true;
        missedTotal_ += missed;
        return missed;
    }
    std::uint64_t missed() const { return missedTotal_; }

private:
    std::chrono::milliseconds interval_;
    bool started_ = false;
    Clock::time_point last_{};
    std::uint64_t missedTotal_ = 0;
};
