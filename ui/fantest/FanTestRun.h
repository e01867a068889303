#pragma once
// A fan test in progress: saves PWM1's behaviour and duty, switches to
// Manual Mode, steps the duty down and up through FanSweep, reading Fan1
// until each step settles, and puts PWM1 back at the end, on cancel, on a
// device that stops answering, and when its window or the program closes.
// Every transaction is a job on the bench session's bus thread; time and
// waiting are injected, so a test sweeps in a moment.

#include "protocol/FanSweep.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class BenchSession;
struct CheckedWrite;
struct FanSpeedRead;
struct SettingChange;

class FanTestRun : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<double()>; // seconds since any fixed moment
    // Calls then() on context's thread after this many seconds.
    using Wait = std::function<void(double seconds, QObject* context, std::function<void()> then)>;

    explicit FanTestRun(BenchSession& session, Clock clock = {}, Wait wait = {}, QObject* parent = nullptr);
    ~FanTestRun() override;

    // Asks what a write to the device needs asked, then starts. False when
    // the user said no or a test is already running.
    bool start(const FanSweepSettings& settings);
    // Stops at once and puts PWM1 back; nothing when no test runs.
    void cancel();
    bool running() const { return stage_ != Stage::Idle; }
    const FanSweep& sweep() const { return sweep_; }

signals:
    void stepStarted(int index, int dutyPercent, bool down);
    void stepDone(const FanStep& step);
    // The test is over and PWM1 put back, or not: the status line's words.
    void finished(const QString& text);

private:
    enum class Stage { Idle, Saving, Sweeping, Restoring };

    void saved(std::uint8_t configuration, std::uint8_t duty);
    void inManualMode(const SettingChange& change);
    void nextStep();
    void dutyWritten(const CheckedWrite& write);
    void readSoon();
    void fanRead(const FanSpeedRead& read);
    // Ends the sweep and puts PWM1 back; ended opens the status line's note:
    // "Fan test cancelled".
    void stop(const QString& ended);
    void restored(const QString& text);

    BenchSession& session_;
    Clock clock_;
    Wait wait_;
    Stage stage_ = Stage::Idle;
    // Counts stops: a reading or a result that comes after one is stale.
    std::uint64_t generation_ = 0;
    std::uint8_t device_ = 0;
    std::optional<std::uint8_t> savedConfiguration_, savedDuty_;
    FanSweep sweep_;
    double stepStartedAt_ = 0;
};
