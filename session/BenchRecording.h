#pragma once
// What a bench run keeps of its readings: every poll in the history the
// Trends window plots, and, while recording, each poll (or each
// interval's last) in a CSV file, with every alarm's start and end in a
// file beside it. Fed by the session and its alarms; never touches the bus.

#include "recording/AlarmLog.h"
#include "recording/CsvRecorder.h"
#include "recording/History.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

class BenchAlarms;

class BenchRecording : public QObject {
    Q_OBJECT
public:
    explicit BenchRecording(BenchAlarms& alarms, QObject* parent = nullptr);
    ~BenchRecording() override;

    const History& history() const { return history_; }
    History& history() { return history_; }

    // Ends the recording in hand, then records to path, replacing the file
    // there when replacing (the user was asked). Why not, when it cannot.
    std::optional<std::string> start(const std::string& path, CsvRecorder::Interval interval, bool replacing);
    void stop();
    bool isRecording() const { return recorder_ != nullptr; }

    // One poll, or a poll that read nothing: a gap in the plots and the file.
    void add(const PollResult& poll, bool offsetCoded);
    // Every tick, polled or not: an interval's row goes out when it ends,
    // even while the bus is slow.
    void tick();
    // Where the readings start to come from another bus.
    void mark(const std::string& text);

signals:
    // The history has another poll.
    void historyGrew();
    // While recording: the file and its rows, at most once a second, and
    // what a full disk cost it (empty when nothing).
    void recordingProgress(const QString& path, quint64 rows, const QString& loss);
    // The recording ended, with why where it failed, and what a full disk
    // cost it.
    void recordingEnded(const QString& path, quint64 rows, const QString& problem, const QString& loss);
    // Something the user must hear once: the alarms cannot be recorded.
    void problem(const QString& text);

private:
    void failed(const std::string& problem);
    void ended(const QString& problem);
    // At most once a second: a label repainted every tick would cost more
    // than the recording.
    void showProgress();
    // "the disk is full since 10:01:02: 120 rows lost so far; …" while it
    // is, what a full disk cost once there is room or the recording ended.
    QString lossText(bool ended) const;
    void logAlarm(const AlarmRow& row);
    void reportAlarmLogProblem(const std::optional<std::string>& failed);
    // The recording ended: the alarms still on end in its file, marked so.
    void endAlarmLog();

    BenchAlarms& alarms_;
    History history_;
    std::unique_ptr<CsvRecorder> recorder_;
    std::unique_ptr<AlarmLog> alarmLog_; // while recording
    std::optional<std::chrono::steady_clock::time_point> progressShownAt_;
};
