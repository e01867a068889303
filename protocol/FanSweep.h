#pragma once
// The fan test's plan and its findings, with no bus and no clock of its
// own: the duty steps down from 100 % to 0 % and up again, and at each step
// the caller hands in Fan1's readings with their times until the speed has
// settled or the step's time is up.

#include <chrono>
#include <optional>
#include <vector>

struct FanSweepSettings {
    int stepPercent = 5;            // 1, 2, 5 or 10
    double tolerancePercent = 2;    // readings within ± this of the latest…
    int settleReadings = 3;         // …this many in a row: settled
    double stepLimitSeconds = 10;   // or this long at most per step
    double readingSeconds = 1;      // between readings: a tach counts for about a second
};

struct FanStep {
    bool down = true;
    int dutyPercent = 0;
    double rpm = 0;            // the last reading: the settled speed, when it settled
    double settleSeconds = 0;  // from the duty write to the first settled reading
    bool settled = false;
    std::chrono::system_clock::time_point time{}; // when the step ended
};

struct FanFindings {
    std::optional<int> stopDuty;  // lowest duty on the way down before the speed read 0
    std::optional<int> startDuty; // lowest duty on the way up at which it turned again
    std::optional<double> maxRpm;
};

class FanSweep {
public:
    explicit FanSweep(FanSweepSettings settings = {});

    const FanSweepSettings& settings() const { return settings_; }
    // The duty to set now; nothing once every step is done.
    std::optional<int> currentDuty() const;
    bool goingDown() const;
    int stepCount() const { return static_cast<int>(duties_.size()); }

    // A reading of Fan1, seconds after the current duty was written. True
    // when it ends the step, which is then among steps().
    bool addReading(double seconds, double rpm, std::chrono::system_clock::time_point now = {});

    const std::vector<FanStep>& steps() const { return steps_; }
    FanFindings findings() const;

private:
    struct Reading {
        double seconds;
        double rpm;
    };
    bool settledNow() const;

    FanSweepSettings settings_;
    std::vector<int> duties_;
    int downCount_ = 0; // the first downCount_ duties are the way down
    std::vector<Reading> readings_; // of the step in hand
    std::vector<FanStep> steps_;
};

// FanFindings from steps recorded in sweep order.
FanFindings fanFindings(const std::vector<FanStep>& steps);
