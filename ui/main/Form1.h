#pragma once
// The program's one window: live readings, PWM1 settings and the register
// panel, with a status line below them. Handlers run on the GUI thread:
// each reads its controls, asks the user where a write needs it, and hands
// the chip work to the bus thread as one job; the job's result comes back
// as a queued call and is shown then. The window never waits on the bus.

#include "ui/main/Form1Controls.h"
#include "ui/main/RecordingLine.h"
#include "ui/main/Module1.h"
#include "bus/BusAdapter.h"
#include "protocol/BusHealth.h"
#include "protocol/BusThread.h"
#include "protocol/AddressGuard.h"
#include "session/BenchSettings.h"
#include "ui/main/DesktopNotifier.h"
#include "session/BenchAlarms.h"
#include "recording/CsvRecorder.h"
#include "recording/History.h"

#include <QLabel>
#include <QWidget>
#include <QPointer>
#include <QTimer>
#include <array>
#include <chrono>
#include <functional>

class QMenu;
class QMenuBar;
class QStatusBar;
class TrendsView;

class Form1 : public QWidget {
    Q_OBJECT
public:
    // titleSuffix follows the controller's base address in the title, e.g.
    // " (simulated)". Construction starts Form_Load on the bus thread.
    explicit Form1(BusAdapter& bus, QString titleSuffix = {}, QWidget* parent = nullptr);
    ~Form1() override;

    const Module1& shared() const { return module_; }
    bool tempOffsetMode() const { return TempOffsetMode; }
    const Form1Controls& controls() const { return c_; }
    QString statusText() const { return statusLine_->text(); }

    static constexpr int PollIntervalMs = 100;
    // Readings polls run so far: how a long run shows the timer kept going.
    std::uint64_t pollCount() const { return pollCount_; }
    // Ticks that came while the last poll was still on the bus.
    std::uint64_t skippedTicks() const { return skippedTicks_; }
    // Start-up's result is shown.
    bool hasStarted() const { return started_; }
    // Every job made so far has run and its result is shown.
    bool busIdle() const { return jobs_.idle(); }
    // Ends the bus thread after its current transaction. False when that
    // transaction is still stuck in the kernel after limit.
    bool stopBus(std::chrono::milliseconds limit) { return jobs_.stop(limit); }

    // Every poll of the run, for the Trends window; a measuring harness may
    // load it before the window runs.
    const History& history() const { return history_; }
    History& history() { return history_; }
    // Records every poll, or each interval's last, to a CSV file; asks
    // before replacing one. False when it is not recording afterwards.
    bool startRecording(const QString& path, CsvRecorder::Interval interval);
    void stopRecording();
    bool isRecording() const { return recorder_ != nullptr; }
    QString recordingText() const { return recordingLine_->text(); }
    // Opens (or raises) the Trends window; nothing when its module cannot
    // be loaded, which a message box then says.
    TrendsView* showTrends();
    // Open (or raise) the register map and the bus scan.
    QWidget* showRegisterMap();
    QWidget* showBusScan();
    QWidget* showFanTest();

    // Before the program ends, however it ends: the recording's last row,
    // then the fan test's restore, waited for up to limit.
    void finishBeforeLeaving(std::chrono::milliseconds limit);

    // For the program's other windows: a job on the one bus thread, in
    // turn with the poll and the handlers.
    template <typename Job, typename Done>
    void runOnBus(Job job, QObject* receiver, Done done)
    {
        jobs_.run(std::move(job), receiver, std::move(done));
    }
    // The program's one write path for its other windows: asks what must be
    // asked, writes, and reads the register back. False when the user said
    // no, and nothing was written.
    bool writeChecked(std::uint8_t device, std::uint8_t reg, std::uint8_t data, QObject* receiver,
                      std::function<void(const CheckedWrite&)> done);
    // Asks what must be asked before writing to the device, as every write
    // does. False when the user said no.
    bool askBeforeWriting(std::uint8_t device) { return mayWrite(device); }
    // Asks, once per address in a run, before a read where the read's
    // write phase is a command, and before a read behind a kernel driver
    // the guard knows of. False when the user said no: nothing may be sent
    // there.
    bool mayRead(std::uint8_t device);
    // A read came back held back by a kernel driver, made while the
    // controller choice was choice: learns the driver and asks, once. True
    // when the user agreed, so the caller reads again.
    bool readAgainBehindDriver(const BusOutcome& read, std::uint8_t device, std::uint64_t choice);
    // Counts controller choices, so a late result can tell it is stale.
    std::uint64_t controllerChoice() const { return controllerChoice_; }
    // Tools ▸ Read Past Kernel Driver…: asks again about the device the
    // window watches, or says that no driver holds it.
    void readPastKernelDriver();
    // Another window changed PWM1: the lists and the duty entry follow it.
    void followSettingChange(Setting setting, int k, const SettingChange& change);
    void followDutyWrite(const CheckedWrite& write);
    // While a fan test drives PWM1 on this device and controller, nothing
    // else in this window may change them.
    void lockForFanTest(bool locked);
    // Work the program must see through before it ends (a fan test's
    // restore): finishBeforeLeaving waits for it.
    void holdLeaving() { ++leavingHeld_; }
    void releaseLeaving() { --leavingHeld_; }
    // A message for the status line, kept there for a while; a problem
    // shows with the warning sign.
    void announce(const QString& text, bool problem = false);

    // What the window remembers between runs; nothing is read or written
    // until the program hands it the user's file.
    BenchSettings& settings() { return *settings_; }
    // Takes the settings: the limits, the windows that were open and where.
    void useSettings(std::shared_ptr<BenchSettings> settings);
    // Tools ▸ Limits…, and what it sets: saved, and watched from the next poll.
    void showLimitsDialog();
    void setLimits(const std::vector<LimitSetting>& limits);
    const std::vector<LimitSetting>& limits() const { return alarms_.limits(); }
    const AlarmWatch& alarms() const { return alarms_.watch(); }
    const BenchAlarms& benchAlarms() const { return alarms_; }
    // The program's other windows remember where they were and that they
    // were open.
    void remember(QWidget* window, const QString& name);

    // Puts an address into the device field, as if the user typed it; a
    // kernel driver found to own it is remembered, so the window asks
    // before its first read there rather than after.
    void chooseDevice(std::uint8_t device, const std::string& driver = {});
    const std::string& controllerName() const { return controllerName_; }
    // The controller (0 or 1) the window reads, as the last choice made it.
    int controller() const { return guard_.controller(); }

    // Start-up and the readings poll.
    void Form_Load();
    void Timer1_Timer();

    // PWM1 settings.
    void cmbPWM1_Click();
    void cmbHF_Click();
    void cmbPulses_Click();
    void cmdWriteDuty_Click();
    // Shows the duty entry (on) or the duty display, and fills the entry
    // from register 0x30's read where that read worked.
    void SetManualDutyMode(bool on, const ByteRead& duty);

    // Register panel and controller choice.
    void cmdRead_Click();
    void cmdWrite_Click();
    void txtDevAddr_Change();
    void optController1_Click();
    void optController2_Click();

signals:
    void started();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    using Time = BusHealth::Time;
    static Time now() { return std::chrono::system_clock::now(); }

    void connectHandlers();
    void buildMenus();
    void showRecordDialog();
    void showAbout();
    void recordPoll(const PollResult& poll);
    // Writes a row whose interval has ended, even while the bus is slow.
    void recordDueRow();
    void recordingFailed(const std::string& problem);
    void showControllerBase(std::uint16_t base);
    // Start-up's result, for the device and the controller choice it began with.
    void showStartup(const Startup& startup, const std::optional<std::array<std::uint8_t, 3>>& identification,
                     std::uint8_t device, std::uint64_t choice);
    // sysfs says again which kernel driver owns the device in use: one
    // unbound since is forgotten, with the refusals it caused.
    void recheckOwnership();
    // "device 0x2E on the simulated SMBus", for the alarms' notices.
    QString originText() const;
    void showSettings(const ChipSettings& settings);
    // current: the poll is of the device and bus in use now.
    void showPoll(const PollResult& poll, bool current = true);
    // The identification registers of the device in use, read once a target.
    void showIdentification(const std::array<std::uint8_t, 3>& bytes);
    // The poll's device is one a read must not touch, for the reason why:
    // no traffic, and the readings say why.
    void showRefusedPoll(std::uint8_t device, const std::string& why);
    // Alarms.
    QLabel* labelOf(Poll::Reading reading) const;
    void connectAlarms();
    void showAlarmOn(Poll::Reading reading, const QString& words);
    // The polls that follow are of another device or bus, or of none: the
    // alarms about the last end, and what the target is is said again.
    void targetChanged(BenchAlarms::EndCause cause);
    // A tooltip for a reading: its alarm, and why it was not read.
    QString readingTip(Poll::Reading reading, const QString& noReading) const;
    void reopenWindows();
    // Brings the value labels in line with a poll; a reading whose read
    // failed shows a dash, with whyNot in its tooltip.
    void showReadings(const PollResult& poll, const std::string& whyNot);
    void refreshStatus();
    void selectController(int index);

    // Settings lists.
    QComboBox* listOf(Setting setting) const;
    void showField(Setting setting, int field);
    void pickSetting(Setting setting);
    void queueSettingChange(Setting setting, int k, int shownBefore, std::uint8_t device);
    void showSettingChange(Setting setting, int k, int shownBefore, std::uint8_t device, std::uint64_t choice,
                           const SettingChange& change);

    // Writes. Asks what the guard says to ask; false when the user said no.
    bool mayWrite(std::uint8_t device);
    // A write a kernel driver's ownership held back: asks once, and true
    // when the user agreed, so the caller makes it again.
    // Not when the controller has been chosen again since the write was
    // made (choice): the answer would send it to another bus.
    bool agreedAfterDriverRefusal(const BusOutcome& write, std::uint8_t device, std::uint64_t choice);
    void permitBehindDriver(std::uint8_t device);
    // Reads behind a kernel driver: true when they may go to the device now,
    // after asking where the guard says to; asks nothing while a question
    // is already open.
    bool mayReadBehindDriver(std::uint8_t device);
    // An outcome that names the driver owning the device, from a
    // transaction made while the controller choice was choice.
    void learnDriverFrom(const BusOutcome& outcome, std::uint8_t device, std::uint64_t choice);
    // The status line's tooltip: how to unbind the driver of the device at
    // hand, while one owns it.
    void showDriverTip();
    void queueWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t data);
    // The Read button's read, made again once the user agrees to go past a
    // driver that held it back.
    void queueRead(std::uint8_t device, std::uint8_t reg);
    void queueCheckedWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t data, QObject* receiver,
                           std::function<void(const CheckedWrite&)> done);

    QString titleSuffix_;
    Module1 module_;
    bool TempOffsetMode = false;
    std::uint64_t pollCount_ = 0;
    std::uint64_t skippedTicks_ = 0;
    bool started_ = false;
    bool pollOnBus_ = false;
    // The chip must be read again at the next tick: the controller or the
    // device changed since it was last read.
    bool followPending_ = false;
    // What each settings list shows, -1 for nothing: where a refused or
    // failed pick puts it back.
    std::array<int, 3> shownField_{-1, -1, -1};
    std::string controllerName_;
    // Counts controller choices, so a late result can tell it is stale.
    std::uint64_t controllerChoice_ = 0;
    BusHealth health_;
    AddressGuard guard_;
    // A question about reading behind a driver is open: the poll's ticks
    // under it send nothing and ask nothing.
    bool askingAboutDriver_ = false;

    // The bytes behind each value label as it was last written.
    class PolledBytes {
    public:
        // Whether the label must be rewritten for these bytes; remembers them.
        bool changed(Poll::Reading reading, int bytes);

    private:
        // -1: never written, so the first poll writes every label.
        std::array<int, Poll::ReadingCount> shown_ = [] {
            std::array<int, Poll::ReadingCount> never{};
            never.fill(-1);
            return never;
        }();
    };
    PolledBytes polled_;
    QMenuBar* menuBar_;
    QWidget* client_;
    Form1Controls c_;
    QStatusBar* statusBar_;
    QLabel* statusLine_;
    QLabel* statusIcon_;
    RecordingLine* recordingLine_;
    History history_;
    std::unique_ptr<CsvRecorder> recorder_;
    qint64 recordingShownAt_ = 0;
    // The Trends window, while it is open: the view and its widget.
    TrendsView* trends_ = nullptr;
    QPointer<QWidget> trendsWindow_;
    QPointer<QWidget> registerMap_;
    QPointer<QWidget> busScan_;
    QPointer<QWidget> fanTest_;
    // Limits and their alarms.
    std::shared_ptr<BenchSettings> settings_ = std::make_shared<BenchSettings>();
    DesktopNotifier notifier_;
    BenchAlarms alarms_;
    // What each reading's label says of its alarm, and what it is.
    std::array<QString, Poll::ReadingCount> alarmTips_;
    std::array<QString, Poll::ReadingCount> descriptions_;
    // The program is closing: the windows it closes were open at exit.
    bool closingProgram_ = false;
    int leavingHeld_ = 0;
    bool leaving_ = false; // the status line is about to go: notes go to stderr too
    QAction* stopRecordingAction_ = nullptr;
    QMenu* tools_ = nullptr;
    bool fanTestRunning_ = false;
    // Asked only what was fixed when the bus was made (its names), from
    // this thread; every transaction goes through jobs_.
    const BusAdapter& busNames_;
    QTimer Timer1;
    // Last, so it stops first: no job outlives what it reports to.
    BusThread jobs_;
};
