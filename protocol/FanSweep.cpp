#include "FanSweep.h"

#include <algorithm>
#include <cmath>

FanSweep::FanSweep(FanSweepSettings settings) : settings_(settings)
{
    const int step = std::clamp(settings_.stepPercent, 1, 100);
    for (int duty = 100; duty > 0; duty -= step)
        duties_.push_back(duty);
    duties_.push_back(0);
    downCount_ = static_cast<int>(duties_.size());
    // Up from standstill: the first step above 0 % is where the start is
    // looked for; 100 % closes the sweep where it began.
    for (int duty = step; duty < 100; duty += step)
        duties_.push_back(duty);
    duties_.push_back(100);
}

std::optional<int> FanSweep::currentDuty() const
{
    const std::size_t index = steps_.size();
    return index < duties_.size() ? std::optional<int>(duties_[index]) : std::nullopt;
}

bool FanSweep::goingDown() const
{
    return static_cast<int>(steps_.size()) < downCount_;
}

bool FanSweep::settledNow() const
{
    // Within the tolerance of the latest reading, which is then the settled
    // speed: a lagging fan still creeping up has its last reading nearest
    // to where it ends.
    const auto count = static_cast<std::size_t>(std::max(1, settings_.settleReadings));
    if (readings_.size() < count)
        return false;
    const double latest = readings_.back().rpm;
    const double allowed = latest * settings_.tolerancePercent / 100;
    return std::all_of(readings_.end() - static_cast<std::ptrdiff_t>(count), readings_.end(),
                       [&](const Reading& r) { return std::abs(r.rpm - latest) <= allowed; });
}

bool FanSweep::addReading(double seconds, double rpm, std::chrono::system_clock::time_point now)
{
    const auto duty = currentDuty();
    if (!duty)
        return true;
    readings_.push_back({seconds, rpm});
    const bool settled = settledNow();
    if (!settled && seconds < settings_.stepLimitSeconds)
        return false;
    FanStep step;
    step.down = goingDown();
    step.dutyPercent = *duty;
    step.settled = settled;
    step.time = now;
    step.rpm = rpm;
    // Settled: from the duty write to the first of the readings in tolerance.
    const double settle = settled ? (readings_.end() - std::max(1, settings_.settleReadings))->seconds : seconds;
    step.settleSeconds = std::round(settle * 1000) / 1000; // to the millisecond, as recordings' times
    steps_.push_back(step);
    readings_.clear();
    return true;
}

FanFindings FanSweep::findings() const
{
    return fanFindings(steps_);
}

FanFindings fanFindings(const std::vector<FanStep>& steps)
{
    FanFindings found;
    const FanStep* previousDown = nullptr;
    bool stoppedOnTheWayUp = false;
    for (const FanStep& step : steps) {
        if (!found.maxRpm || step.rpm > *found.maxRpm)
            found.maxRpm = step.rpm;
        if (step.down) {
            if (step.rpm == 0 && !found.stopDuty && previousDown && previousDown->rpm > 0)
                found.stopDuty = previousDown->dutyPercent;
            previousDown = &step;
            continue;
        }
        // The start is the first turning step after standstill: the last
        // step down, or the first steps up.
        const bool standing = stoppedOnTheWayUp || (previousDown && previousDown->rpm == 0);
        if (step.rpm == 0)
            stoppedOnTheWayUp = true;
        else if (standing && !found.startDuty)
            found.startDuty = step.dutyPercent;
        if (step.rpm > 0)
            stoppedOnTheWayUp = false;
    }
    return found;
}
