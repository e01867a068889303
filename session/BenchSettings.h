#pragma once
// What the window remembers between runs, in the user's
// ~/.config/corvane-bench/corvane-bench.conf: the limits, where each window
// was and whether it was open, the recording's folder and interval, the
// Trends window's series and range, the register map's watch interval and
// the fan test's rules. Not the device, the controller or PWM1's settings:
// the chip is the truth for its own. Written as they change, the file
// replaced whole; a file that cannot be read gives the defaults and one
// note, never a failed start. Off (--no-settings), nothing is read or written.

#include "recording/LimitWatch.h"

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

// A reading's limits as the Limits dialog sets them: a low and a high bound,
// each optional, and whether they are on.
struct LimitSetting {
    Poll::Reading reading = Poll::Reading::Local;
    std::optional<double> low, high;
    bool on = false;
};

class BenchSettings {
public:
    // Nothing read, nothing written.
    BenchSettings() = default;
    // The file at path: the user's, or a test's.
    explicit BenchSettings(const QString& path);
    static QString userFile();

    bool enabled() const { return settings_ != nullptr; }
    // Why the file could not be used, for the status line; empty when it could.
    const QString& problem() const { return problem_; }

    QVariant value(const QString& key, const QVariant& fallback = {}) const;
    void setValue(const QString& key, const QVariant& value);

    // One entry a reading, in the window's order.
    std::vector<LimitSetting> limits() const;
    void setLimits(const std::vector<LimitSetting>& limits);

private:
    void startAfresh();

    std::unique_ptr<QSettings> settings_;
    QString problem_;
};

// The limits that are on, as the command line's rules take them.
std::vector<Limit> limitsOn(const std::vector<LimitSetting>& settings);
