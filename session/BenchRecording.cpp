#include "session/BenchRecording.h"
#include "session/BenchAlarms.h"

#include <QDateTime>

BenchRecording::BenchRecording(BenchAlarms& alarms, QObject* parent) : QObject(parent), alarms_(alarms)
{
    connect(&alarms_, &BenchAlarms::rowDue, this, &BenchRecording::logAlarm);
}

BenchRecording::~BenchRecording() = default;

std::optional<std::string> BenchRecording::start(const std::string& path, CsvRecorder::Interval interval,
                                                 bool replacing)
{
    stop();
    auto started = CsvRecorder::start(path, interval, replacing);
    if (auto* problem = std::get_if<std::string>(&started))
        return *problem;
    recorder_ = std::move(std::get<std::unique_ptr<CsvRecorder>>(started));
    alarmLog_ = std::make_unique<AlarmLog>(path);
    // Alarms already on start in this recording too, at their own start.
    for (const AlarmRow& row : alarms_.rowsOfActive(true, std::chrono::system_clock::now()))
        logAlarm(row);
    progressShownAt_ = 0;
    emit recordingProgress(QString::fromStdString(path), 0);
    return std::nullopt;
}

void BenchRecording::stop()
{
    if (!recorder_)
        return;
    if (const auto problem = recorder_->finish()) {
        failed(*problem);
        return;
    }
    const QString path = QString::fromStdString(recorder_->path());
    const auto rows = recorder_->rows();
    recorder_.reset();
    endAlarmLog();
    emit recordingEnded(path, rows, QString());
}

void BenchRecording::failed(const std::string& problem)
{
    const QString path = QString::fromStdString(recorder_->path());
    const auto rows = recorder_->rows();
    recorder_.reset();
    endAlarmLog();
    emit recordingEnded(path, rows, QString::fromStdString(problem));
}

void BenchRecording::tick()
{
    if (!recorder_)
        return;
    if (const auto problem = recorder_->tick(std::chrono::steady_clock::now()))
        failed(*problem);
}

void BenchRecording::mark(const std::string& text)
{
    history_.mark(QDateTime::currentMSecsSinceEpoch(), text);
}

void BenchRecording::add(const PollResult& poll, bool offsetCoded)
{
    history_.add(poll, offsetCoded);
    emit historyGrew();
    if (!recorder_)
        return;
    if (const auto problem = recorder_->add(poll, offsetCoded)) {
        failed(*problem);
        return;
    }
    // The count is said at most once a second: a label repainted every
    // tick would cost more than the recording.
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    if (nowMs - progressShownAt_ < 1000)
        return;
    progressShownAt_ = nowMs;
    emit recordingProgress(QString::fromStdString(recorder_->path()), recorder_->rows());
}

void BenchRecording::logAlarm(const AlarmRow& row)
{
    if (!alarmLog_)
        return;
    if (const auto failed = alarmLog_->add(row))
        emit problem(QStringLiteral("Alarms are not recorded: %1").arg(QString::fromStdString(*failed)));
}

void BenchRecording::endAlarmLog()
{
    for (const AlarmRow& row : alarms_.rowsOfActive(false, std::chrono::system_clock::now()))
        logAlarm(row);
    alarmLog_.reset();
}
