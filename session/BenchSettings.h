#pragma once
// What the window remembers between runs, in the user's
// ~/.config/corvane-bench/corvane-bench.conf: the limits, where each window
// was and whether it was open, the recording's folder and interval, the
// Trends window's series and range, the register map's watch interval and
// the fan test's rules. Not the device, the controller or PWM1's settings:
// the chip is the truth for its own. Written once a change has settled
// (half a second with no other), and at the end; a file that cannot be read
// gives the defaults and one note, never a failed start, and one that cannot
// be written is said once while it cannot. Off (--no-settings), nothing is
// read or written.

#include "recording/LimitWatch.h"

#include <QSettings>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <functional>
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
    static constexpr int SettleMs = 500;

    // Nothing read, nothing written.
    BenchSettings() = default;
    // The file at path: the user's, or a test's.
    explicit BenchSettings(const QString& path);
    // Writes what has not settled yet.
    ~BenchSettings();
    BenchSettings(const BenchSettings&) = delete;
    BenchSettings& operator=(const BenchSettings&) = delete;
    static QString userFile();

    // Told, once, when the file cannot be written, with why; again only
    // after a write has worked since.
    void onWriteFailure(std::function<void(const QString&)> told) { writeFailed_ = std::move(told); }
    // Writes every change made so far now; false when the file could not
    // be written.
    bool flush();

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
    void changed();
    void reopen();

    std::unique_ptr<QSettings> settings_;
    QString problem_;
    // Restarted by each change; the file is written when it runs out.
    std::unique_ptr<QTimer> settle_;
    // Changes not yet handed to the file.
    QVariantMap pending_;
    std::function<void(const QString&)> writeFailed_;
    bool failing_ = false;
};

// The limits that are on, as the command line's rules take them.
std::vector<Limit> limitsOn(const std::vector<LimitSetting>& settings);
