#pragma once
// The program's designed window: live readings, PWM1 settings and the
// register panel, with a menu bar above and a status line below. A view of
// the bench session: it shows what the session says and hands it the
// user's actions; the session asks its questions through the window's
// message boxes. The window never waits on the bus.

#include "ui/main/Form1Controls.h"
#include "ui/main/RecordingLine.h"
#include "ui/main/DesktopNotifier.h"
#include "session/BenchSession.h"

#include <QLabel>
#include <QWidget>
#include <QPointer>
#include <array>
#include <chrono>
#include <memory>

class QMenu;
class QMenuBar;
class QStatusBar;
class TrendsView;

class Form1 : public QWidget, private SessionHost {
    Q_OBJECT
public:
    // A view of session, which outlives it. titleSuffix follows the
    // controller's base address in the title, e.g. " (simulated)".
    // Construction starts the session (Form_Load) if nothing has.
    explicit Form1(BenchSession& session, QString titleSuffix = {}, QWidget* parent = nullptr);
    // A window with a session of its own on bus.
    explicit Form1(BusAdapter& bus, QString titleSuffix = {}, QWidget* parent = nullptr);
    ~Form1() override;

    BenchSession& session() { return session_; }
    const BenchSession& session() const { return session_; }
    const Form1Controls& controls() const { return c_; }
    QString statusText() const { return statusLine_->text(); }
    QString recordingText() const { return recordingLine_->text(); }

    // Records every poll, or each interval's last, to a CSV file; asks
    // before replacing one. False when it is not recording afterwards.
    bool startRecording(const QString& path, CsvRecorder::Interval interval);
    // Opens (or raises) the Trends window; nothing when its module cannot
    // be loaded, which a message box then says.
    TrendsView* showTrends();
    // Open (or raise) the register map, the bus scan and the fan test.
    QWidget* showRegisterMap();
    QWidget* showBusScan();
    QWidget* showFanTest();
    // A recording made before, in a Trends window of its own; nothing
    // shown but a message box where it cannot be read.
    void openRecording(const QString& path);

    // Before the program ends, however it ends: the recording's last row,
    // then the fan test's restore, waited for up to limit.
    void finishBeforeLeaving(std::chrono::milliseconds limit);

    // Takes the settings: the limits, the windows that were open and where.
    void useSettings(std::shared_ptr<BenchSettings> settings);
    // Tools ▸ Limits…: saved, and watched from the next poll.
    void showLimitsDialog();
    // The program's other windows remember where they were and that they
    // were open.
    void remember(QWidget* window, const QString& name);

    // Start-up.
    void Form_Load();

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
    // Views session, or owned where that is null.
    Form1(std::unique_ptr<BenchSession> owned, BenchSession* session, QString titleSuffix, QWidget* parent);

    // The session's questions, as message boxes over this window.
    bool confirmDangerousWrite(std::uint8_t device, AddressRisk risk) override;
    bool confirmWriteBehindDriver(std::uint8_t device, const std::string& driver) override;
    bool confirmGuardedRead(std::uint8_t device) override;
    bool confirmReadBehindDriver(std::uint8_t device, int controller, const std::string& driver) override;

    void connectHandlers();
    void connectSession();
    void buildMenus();
    void showRecordDialog();
    void chooseRecordingToOpen();
    void showAbout();
    void showController(int controller, std::uint16_t base);
    void showStarted();
    void showSettings(const ChipSettings& settings);
    void showStatus(const QString& text, bool troubled);
    void showRecordingEnded(const QString& path, quint64 rows, const QString& problem, const QString& loss);
    // Brings the value labels in line with a poll; a reading whose read
    // failed shows a dash, with whyNot in its tooltip.
    void showReadings(const PollResult& poll, const std::string& whyNot);
    void lockForFanTest(bool locked);
    // Alarms.
    QLabel* labelOf(Poll::Reading reading) const;
    void showAlarmOn(Poll::Reading reading, const QString& words);
    // A tooltip for a reading: its alarm, and why it was not read.
    QString readingTip(Poll::Reading reading, const QString& noReading) const;
    void reopenWindows();

    // Settings lists.
    QComboBox* listOf(Setting setting) const;
    void showField(Setting setting, int field);
    void pickSetting(Setting setting);
    void showSettingChange(Setting setting, int k, const SettingChange& change);
    void showDuty(std::uint8_t percent);

    // Declared first, so the session a window owns goes after everything
    // that views it.
    std::unique_ptr<BenchSession> ownedSession_;
    BenchSession& session_;
    QString titleSuffix_;
    // What each settings list shows, -1 for nothing: where a refused or
    // failed pick puts it back.
    std::array<int, 3> shownField_{-1, -1, -1};

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
    // The Trends window, while it is open: the view and its widget.
    TrendsView* trends_ = nullptr;
    QPointer<QWidget> trendsWindow_;
    QPointer<QWidget> registerMap_;
    QPointer<QWidget> busScan_;
    QPointer<QWidget> fanTest_;
    DesktopNotifier notifier_;
    // What each reading's label says of its alarm, and what it is.
    std::array<QString, Poll::ReadingCount> alarmTips_;
    std::array<QString, Poll::ReadingCount> descriptions_;
    // The program is closing: the windows it closes were open at exit.
    bool closingProgram_ = false;
    QAction* stopRecordingAction_ = nullptr;
    QMenu* tools_ = nullptr;
};
