#include "session/BenchRecording.h"
#include "session/BenchAlarms.h"
#include "recording/CsvText.h"

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
    progressShownAt_.reset();
    emit recordingProgress(QString::fromStdString(path), 0, QString());
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
    ended(QString());
}

void BenchRecording::failed(const std::string& problem)
{
    ended(QString::fromStdString(problem));
}

void BenchRecording::ended(const QString& problem)
{
    const QString path = QString::fromStdString(recorder_->path());
    const auto rows = recorder_->rows();
    const QString loss = lossText(true);
    endAlarmLog();
    recorder_.reset();
    emit recordingEnded(path, rows, problem, loss);
}

QString BenchRecording::lossText(bool ended) const
{
    const auto clock = [](std::chrono::system_clock::time_point time) {
        return QDateTime::fromMSecsSinceEpoch(
                   std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count())
            .toString(QStringLiteral("HH:mm:ss"));
    };
    const QString lost = QString::fromStdString(rowsText(recorder_->lostRows()));
    const auto& full = recorder_->full();
    if (full && !ended)
        return QStringLiteral("the disk is full since %1: %2 lost so far; the recording goes on when there is room")
            .arg(clock(full->from), lost);
    if (full)
        return QStringLiteral("%1 lost while the disk was full, the last of them from %2 to the end")
            .arg(lost, clock(full->from));
    if (recorder_->lostRows() == 0)
        return QString();
    return QStringLiteral("%1 lost while the disk was full").arg(lost);
}

void BenchRecording::tick()
{
    if (!recorder_)
        return;
    if (const auto problem = recorder_->tick(std::chrono::steady_clock::now())) {
        failed(*problem);
        return;
    }
    // Alarm rows a full disk held back: on every tick, so that they go out
    // as soon as there is room, not at the next alarm, which may be hours.
    if (alarmLog_ && alarmLog_->waiting())
        reportAlarmLogProblem(alarmLog_->flush());
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
    showProgress();
}

void BenchRecording::showProgress()
{
    // The count is said at most once a second: a label repainted every
    // tick would cost more than the recording. On the steady clock, so
    // that a wall clock stepped back does not silence it.
    const auto now = std::chrono::steady_clock::now();
    if (progressShownAt_ && now - *progressShownAt_ < std::chrono::seconds(1))
        return;
    progressShownAt_ = now;
    emit recordingProgress(QString::fromStdString(recorder_->path()), recorder_->rows(), lossText(false));
}

void BenchRecording::logAlarm(const AlarmRow& row)
{
    if (!alarmLog_)
        return;
    reportAlarmLogProblem(alarmLog_->add(row));
}

void BenchRecording::reportAlarmLogProblem(const std::optional<std::string>& failed)
{
    if (failed)
        emit problem(QStringLiteral("Alarms are not recorded: %1").arg(QString::fromStdString(*failed)));
}

void BenchRecording::endAlarmLog()
{
    for (const AlarmRow& row : alarms_.rowsOfActive(false, std::chrono::system_clock::now()))
        logAlarm(row);
    if (alarmLog_ && alarmLog_->waiting())
        emit problem(QStringLiteral("%1 of the alarms' rows could not be written: the disk is still full")
                         .arg(alarmLog_->waiting()));
    alarmLog_.reset();
}
