#pragma once
// The limits of a bench run and the alarms they raise, for every view: the
// debounced watch, the words each alarm is said in, its notice, and the
// rows a recording keeps of it. Fed with the polls of one device on one bus; a
// change of either, a poll the user declined, or a device that is not the
// chip ends every alarm, and each end is written where a start was. Never
// writes to the chip.

#include "BenchSettings.h"
#include "recording/AlarmLog.h"
#include "recording/AlarmWatch.h"

#include <QObject>
#include <QString>
#include <array>
#include <memory>

class AlarmNotices;

class BenchAlarms : public QObject {
    Q_OBJECT
public:
    using Time = std::chrono::system_clock::time_point;
    // Why alarms ended without the readings coming back: each end row says so.
    enum class EndCause { LimitsChanged, TargetChanged, NotRead, NotTheChip, RecordingEnded };

    explicit BenchAlarms(AlarmNotices* notices = nullptr, QObject* parent = nullptr);
    ~BenchAlarms() override;

    // The limits as set, watched from the next poll; alarms on the old ones end.
    void setLimits(const std::vector<LimitSetting>& limits, Time now);
    const std::vector<LimitSetting>& limits() const { return settings_; }
    const AlarmWatch& watch() const { return watch_; }
    // Where notices go from now on; none when null.
    void setNotices(AlarmNotices* notices) { notices_ = notices; }

    // The device and bus the polls are of, for the notices' words:
    // "device 0x2E on the simulated SMBus".
    void setOrigin(const QString& origin) { origin_ = origin; }
    // Every alarm ends here, for cause: the polls that follow are of
    // another device or bus, or of none.
    void endAll(Time now, EndCause cause);
    // Whether the device at hand identifies as the chip: its bytes mean
    // nothing to the chip's limits otherwise, and none is applied.
    void setApplies(bool applies, Time now);
    bool applies() const { return applies_; }

    // One poll of the device at hand.
    void check(const PollResult& poll, bool offsetCoded);

    // A row for each alarm on now, for a recording's alarms: its start
    // where a recording starts (starting), else its end as the recording ends.
    std::vector<AlarmRow> rowsOfActive(bool starting, Time now) const;

    // How the notices fare: said with the alarm while they fail, and
    // tried again at the next alarm.
    void noticesFailed(const QString& why);
    void noticesWork();

    // What the reading's box says of its alarms: "Below 1200 rpm since
    // 14:02:11"; empty when none is on.
    QString wordsOn(Poll::Reading reading) const;
    // The status line's words for the newest alarm, with a count where
    // there are more; empty when none is on.
    QString statusText() const { return status_; }

signals:
    // The alarms on a reading changed: words as wordsOn() says them.
    void readingChanged(Poll::Reading reading, const QString& words);
    void statusChanged(const QString& text);
    // An alarm started or ended: its row, for a recording's alarms.
    void rowDue(const AlarmRow& row);

private:
    using Alarm = AlarmWatch::Alarm;
    void handle(const std::vector<AlarmWatch::Event>& events, EndCause* cause);
    AlarmRow rowOf(const AlarmWatch::Event& event, const QString& cause) const;
    void refreshStatus();
    QString name(const Alarm& alarm) const;
    // "Fan1 0 rpm below 1200 rpm since 14:02:11", "Vcc not read since 14:02:11"
    QString words(const Alarm& alarm) const;
    static int keyOf(const Alarm& alarm);

    AlarmNotices* notices_;
    std::vector<LimitSetting> settings_ = BenchSettings().limits(); // one a reading, all off
    AlarmWatch watch_;
    QString origin_;
    bool applies_ = true;
    QString noticesFailing_;
    QString status_;
    std::array<QString, Poll::ReadingCount> shownWords_;
};

// "14:02:11", in local time.
QString clockText(std::chrono::system_clock::time_point time);
// "1200 rpm": a number in the program's form, with the reading's unit.
QString amountText(double value, Poll::Reading reading);
