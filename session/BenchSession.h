#pragma once
// One bench run, whatever shows it: the bus thread, the readings poll and
// its cadence, the target (device and controller), the chip's temperature
// coding, the consent guard and what the status line says. Windows show it
// and hand it the user's actions; it asks its questions through a
// SessionHost and says what happened through its signals. No widgets.
//
// Every bus transaction runs as one job on the one bus thread, in turn with
// the poll; its result comes back as a queued call on this thread. The
// session never waits on the bus.

#include "session/BenchAlarms.h"
#include "session/BenchRecording.h"
#include "session/TickLedger.h"
#include "session/BenchSettings.h"
#include "session/Module1.h"
#include "session/SessionHost.h"
#include "bus/BusAdapter.h"
#include "protocol/AddressGuard.h"
#include "protocol/BusHealth.h"
#include "protocol/BusThread.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AlarmNotices;

class BenchSession : public QObject {
    Q_OBJECT
public:
    static constexpr int PollIntervalMs = 100;

    // Nothing goes on the bus until start(). Until a host is set, every
    // question is answered No.
    explicit BenchSession(BusAdapter& bus, QObject* parent = nullptr);
    ~BenchSession() override;

    void setHost(SessionHost* host) { host_ = host; }
    // Where the alarms' notices go; none until set.
    void setNotices(AlarmNotices* notices) { alarms_.setNotices(notices); }

    // Start-up on the bus thread: finds the controller the chip answers
    // on, reads its settings, then polls every PollIntervalMs. Once only.
    void start();
    // One tick of the poll: the chip's readings, after its settings where
    // the target changed since they were read.
    void Timer1_Timer();

    const Module1& shared() const { return module_; }
    bool tempOffsetMode() const { return TempOffsetMode; }
    // Readings polls run so far, and ticks skipped: those that came while
    // the last poll was still on the bus, and those that never came, as
    // the program was stopped or held up (missedTicks()).
    std::uint64_t pollCount() const { return pollCount_; }
    std::uint64_t skippedTicks() const { return skippedTicks_; }
    std::uint64_t missedTicks() const { return tickLedger_.missed(); }
    bool hasStarted() const { return started_; }
    // Every job made so far has run and its result is handled.
    bool busIdle() const { return jobs_.idle(); }
    // Ends the bus thread after its current transaction. False when that
    // transaction is still stuck in the kernel after limit.
    bool stopBus(std::chrono::milliseconds limit) { return jobs_.stop(limit); }

    // The target. A device beyond the 7-bit range, or none, leaves it where it was.
    void setDevice(std::uint8_t device);
    // The device field names no device: notes about the last one give way.
    void deviceUnnamed();
    // As setDevice, from another window (the bus scan): a kernel driver
    // found to own it is remembered, so the first read there is asked
    // about before it is made.
    void chooseDevice(std::uint8_t device, const std::string& driver = {});
    void selectController(int index);
    // The controller (0 or 1) in use, as the last choice made it, and its name.
    int controller() const { return guard_.controller(); }
    const std::string& controllerName() const { return controllerName_; }
    // Counts controller choices, so a late result can tell it is stale.
    std::uint64_t controllerChoice() const { return controllerChoice_; }
    // The SMBus base address of the controller in use, as last detected.
    std::uint16_t controllerBase() const { return controllerBase_; }
    // The chip's settings are read again with the next poll, for a view
    // that has not seen them.
    void readSettingsAgain() { followPending_ = true; }

    // A job on the one bus thread, in turn with the poll and everything else.
    template <typename Job, typename Done>
    void runOnBus(Job job, QObject* receiver, Done done)
    {
        jobs_.run(std::move(job), receiver, std::move(done));
    }

    // Writes. Each asks what the guard says to ask first; false when the
    // user said no, and nothing was sent.
    bool askBeforeWriting(std::uint8_t device);
    // A write by hand; a failure is said in the status line.
    bool write(std::uint8_t device, std::uint8_t reg, std::uint8_t data);
    // Writes and reads the register back.
    bool writeChecked(std::uint8_t device, std::uint8_t reg, std::uint8_t data, QObject* receiver,
                      std::function<void(const CheckedWrite&)> done);
    // A read-modify-write of one PWM1 field of the chip in use; its result
    // is announced by settingChanged.
    bool changeSetting(Setting setting, int k);
    // Another window changed PWM1 itself: every view follows.
    void reportSettingChange(Setting setting, int k, const SettingChange& change);
    void reportDutyWrite(const CheckedWrite& write);

    // Reads. mayRead asks, once per address in a run, before a read whose
    // write phase is a command, and before a read behind a kernel driver
    // the guard knows of; false when nothing may be sent there.
    bool mayRead(std::uint8_t device);
    // The Read button's read; false, and said why, when it was not made.
    bool readRegister(std::uint8_t device, std::uint8_t reg, QObject* receiver,
                      std::function<void(const ByteRead&)> done);
    // A read came back held back by a kernel driver, made while the
    // controller choice was choice: learns the driver and asks, once. True
    // when the user agreed, so the caller reads again.
    bool readAgainBehindDriver(const BusOutcome& read, std::uint8_t device, std::uint64_t choice);
    // Tools ▸ Read Past Kernel Driver…: asks again about the device in
    // use, or says that no driver holds it.
    void readPastKernelDriver();

    // The controller's adapter went (its file is closed) or came back, as
    // the kernel said: polls read nothing meanwhile, and start-up's reads
    // run again on its return.
    void adapterGone(int controller);
    void adapterBack(int controller);
    // What waits to be taken for a gone controller, in words; empty for
    // nothing.
    void strangerWaiting(int controller, const std::string& text);
    // How to take what waits for a controller the user chooses again; true
    // when something was taken.
    void takeStrangersWith(std::function<bool(int)> take) { takeStranger_ = std::move(take); }

    // A message for the status line, kept there for a while.
    void announce(const QString& text, bool problem = false);
    QString statusText() const { return shownStatus_; }
    // What statusText() says is a problem.
    bool statusTroubled() const { return shownTroubled_; }
    // How to unbind the driver that owns the device in use; empty when none does.
    const QString& driverTip() const { return driverTip_; }

    // While a fan test drives PWM1, the target and PWM1 are its alone.
    void lockForFanTest(bool locked);
    bool fanTestRunning() const { return fanTestRunning_; }
    // Work that must be seen through before the program ends (a fan
    // test's restore).
    void holdLeaving() { ++leavingHeld_; }
    void releaseLeaving() { --leavingHeld_; }
    // The program is ending: the recording's last row, no more polls, and
    // notes said on stderr too, as the status line is about to go.
    void beginLeaving();
    bool leaving() const { return leaving_; }
    // Then waits up to limit for held work, and writes the settings. False
    // when some work is still held.
    bool finishLeaving(std::chrono::milliseconds limit);

    // What is remembered between runs; nothing is read or written until
    // the program hands over the user's file.
    BenchSettings& settings() { return *settings_; }
    void useSettings(std::shared_ptr<BenchSettings> settings);
    // The limits, saved, and watched from the next poll.
    void setLimits(const std::vector<LimitSetting>& limits);
    const std::vector<LimitSetting>& limits() const { return alarms_.limits(); }
    BenchAlarms& alarms() { return alarms_; }
    const BenchAlarms& alarms() const { return alarms_; }
    BenchRecording& recording() { return recording_; }
    const BenchRecording& recording() const { return recording_; }
    const History& history() const { return recording_.history(); }
    History& history() { return recording_.history(); }

signals:
    // Start-up's result is in, and the poll runs.
    void started();
    // The controller in use and its SMBus base address.
    void controllerShown(int controller, std::uint16_t base);
    // The chip's PWM1 settings, as read after start-up or a change of target.
    void settingsRead(const ChipSettings& settings);
    // A poll's readings; whyNot says why those that failed were not read.
    void polled(const PollResult& poll, const std::string& whyNot);
    // The polls that follow are of another device or bus.
    void targetChanged();
    // A device was chosen from elsewhere than the device field.
    void deviceChosen(std::uint8_t device);
    void settingChanged(Setting setting, int k, const SettingChange& change);
    void dutyWritten(const CheckedWrite& write);
    void statusChanged(const QString& text, bool troubled);
    void driverTipChanged(const QString& tip);
    void fanTestLocked(bool locked);

private:
    using Time = BusHealth::Time;
    static Time now() { return std::chrono::system_clock::now(); }

    // Start-up's reads of the device in use, on the controller given or
    // wherever it answers; shown by showStartup.
    void readStartup(std::optional<int> controller);
    void showStartup(const Startup& startup, const std::optional<std::array<std::uint8_t, 3>>& identification,
                     std::uint8_t device, std::uint64_t choice);
    void showSettings(const ChipSettings& settings);
    void showIdentification(const std::array<std::uint8_t, 3>& bytes);
    void showPoll(const PollResult& poll, bool current);
    // The poll's device is one a read must not touch: no traffic, and the
    // readings say why.
    void showRefusedPoll(std::uint8_t device, const std::string& why);
    void endTarget();
    void recheckOwnership();
    QString originText() const;
    void refreshStatus();
    void showDriverTip();
    // The status line about the controller in use, gone or not.
    void showGone();

    bool mayReadBehindDriver(std::uint8_t device);
    bool agreedAfterDriverRefusal(const BusOutcome& write, std::uint8_t device, std::uint64_t choice);
    void permitBehindDriver(std::uint8_t device);
    void learnDriverFrom(const BusOutcome& outcome, std::uint8_t device, std::uint64_t choice);
    void queueWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t data);
    void queueRead(std::uint8_t device, std::uint8_t reg, QObject* receiver, std::function<void(const ByteRead&)> done);
    void queueCheckedWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t data, QObject* receiver,
                           std::function<void(const CheckedWrite&)> done);
    void queueSettingChange(Setting setting, int k, std::uint8_t device);

    SessionHost* host_ = nullptr;
    Module1 module_;
    bool TempOffsetMode = false;
    std::uint64_t pollCount_ = 0;
    std::uint64_t skippedTicks_ = 0;
    TickLedger tickLedger_{std::chrono::milliseconds(PollIntervalMs)};
    bool starting_ = false;
    bool started_ = false;
    bool pollOnBus_ = false;
    // The chip's settings must be read again at the next tick: the
    // controller or the device changed since they were last read.
    bool followPending_ = false;
    std::string controllerName_;
    std::uint64_t controllerChoice_ = 0;
    std::uint16_t controllerBase_ = 0;
    BusHealth health_;
    AddressGuard guard_;
    // A question about reading behind a driver is open: the poll's ticks
    // under it send nothing and ask nothing.
    bool askingAboutDriver_ = false;
    QString shownStatus_;
    bool shownTroubled_ = false;
    QString driverTip_;
    bool fanTestRunning_ = false;
    int leavingHeld_ = 0;
    bool leaving_ = false; // the status line is about to go: notes go to stderr too
    std::shared_ptr<BenchSettings> settings_ = std::make_shared<BenchSettings>();
    BenchAlarms alarms_;
    BenchRecording recording_;
    // Each controller whose adapter is gone: since when, under what name,
    // and what waits to be taken for it.
    struct Gone {
        std::string name;
        Time since;
        std::string stranger;
    };
    std::array<std::optional<Gone>, 2> gone_;
    std::function<bool(int)> takeStranger_;
    // Asked only what was fixed when the bus was made (its names) and what
    // sysfs says, from this thread; every transaction goes through jobs_.
    const BusAdapter& busNames_;
    QTimer Timer1;
    // Last, so it stops first: no job outlives what it reports to.
    BusThread jobs_;
};
