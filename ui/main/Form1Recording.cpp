// Recording the readings: the Record Readings dialog, the CSV recorder
// fed from the poll, and what the status line says of it.

#include "ui/main/Form1.h"
#include "ui/widgets/MessageBoxes.h"
#include "ui/dialogs/RecordDialog.h"
#include "ui/trends/TrendsView.h"

#include <QDateTime>
#include <QFileInfo>

void Form1::showRecordDialog()
{
    RecordDialog dialog(
        [this](const QString& path, CsvRecorder::Interval interval) {
            if (!startRecording(path, interval))
                return false;
            settings_->setValue(QStringLiteral("recording/folder"), QFileInfo(path).absolutePath());
            settings_->setValue(QStringLiteral("recording/intervalMs"), static_cast<int>(interval.count()));
            return true;
        },
        settings_->value(QStringLiteral("recording/folder")).toString(),
        CsvRecorder::Interval(settings_->value(QStringLiteral("recording/intervalMs"), -1).toInt()), this);
    dialog.exec();
}

bool Form1::startRecording(const QString& path, CsvRecorder::Interval interval)
{
    // Asked before the recording in hand ends: No leaves it running.
    const QFileInfo file(path);
    const bool exists = file.exists();
    // A FIFO or a device is refused before anything is asked about it.
    if (exists && !file.isFile()) {
        showCannotRecord(this, QStringLiteral("Cannot record to %1: it is not a regular file (a FIFO, a device or a "
                                              "folder); record to a file")
                                   .arg(path));
        return false;
    }
    if (exists && !confirmReplaceFile(this, path)) {
        // Said where the recording would be, so a run that was meant to
        // record is not mistaken for one that does.
        if (!recorder_)
            recordingLine_->kept(path);
        return false;
    }
    stopRecording();
    auto started = CsvRecorder::start(path.toStdString(), interval, exists);
    if (auto* problem = std::get_if<std::string>(&started)) {
        recordingLine_->clear();
        showCannotRecord(this, QString::fromStdString(*problem));
        return false;
    }
    recorder_ = std::move(std::get<std::unique_ptr<CsvRecorder>>(started));
    alarms_.startLog(path.toStdString());
    stopRecordingAction_->setEnabled(true);
    recordingShownAt_ = 0;
    recordingLine_->recording(path, 0);
    return true;
}

void Form1::stopRecording()
{
    if (!recorder_)
        return;
    if (const auto problem = recorder_->finish()) {
        recordingFailed(*problem);
        return;
    }
    const QString path = QString::fromStdString(recorder_->path());
    const auto rows = recorder_->rows();
    recorder_.reset();
    alarms_.stopLog(now());
    stopRecordingAction_->setEnabled(false);
    recordingLine_->recorded(path, rows);
}

void Form1::recordingFailed(const std::string& problem)
{
    const QString path = QString::fromStdString(recorder_->path());
    const auto rows = recorder_->rows();
    recorder_.reset();
    alarms_.stopLog(now());
    stopRecordingAction_->setEnabled(false);
    recordingLine_->stopped(QString::fromStdString(problem), path, rows);
}

void Form1::recordDueRow()
{
    if (!recorder_)
        return;
    if (const auto problem = recorder_->tick(std::chrono::steady_clock::now()))
        recordingFailed(*problem);
}

void Form1::recordPoll(const PollResult& poll)
{
    history_.add(poll, TempOffsetMode);
    if (trendsWindow_)
        trends_->historyGrew();
    if (!recorder_)
        return;
    if (const auto problem = recorder_->add(poll, TempOffsetMode)) {
        recordingFailed(*problem);
        return;
    }
    // The count is rewritten at most once a second: a label repainted every
    // tick would cost more than the recording.
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    if (nowMs - recordingShownAt_ < 1000)
        return;
    recordingShownAt_ = nowMs;
    recordingLine_->recording(QString::fromStdString(recorder_->path()), recorder_->rows());
}

