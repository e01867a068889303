// Recording the readings, as the window offers it: the Record Readings
// dialog, the questions before a file is replaced, and what the status
// line says of the recording.

#include "ui/main/Form1.h"
#include "ui/widgets/MessageBoxes.h"
#include "ui/dialogs/RecordDialog.h"

#include <QFileInfo>

void Form1::showRecordDialog()
{
    BenchSettings& settings = session_.settings();
    RecordDialog dialog(
        [this, &settings](const QString& path, CsvRecorder::Interval interval) {
            if (!startRecording(path, interval))
                return false;
            settings.setValue(QStringLiteral("recording/folder"), QFileInfo(path).absolutePath());
            settings.setValue(QStringLiteral("recording/intervalMs"), static_cast<int>(interval.count()));
            return true;
        },
        settings.value(QStringLiteral("recording/folder")).toString(),
        CsvRecorder::Interval(settings.value(QStringLiteral("recording/intervalMs"), -1).toInt()), this);
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
    BenchRecording& recording = session_.recording();
    if (exists && !confirmReplaceFile(this, path)) {
        // Said where the recording would be, so a run that was meant to
        // record is not mistaken for one that does.
        if (!recording.isRecording())
            recordingLine_->kept(path);
        return false;
    }
    if (const auto problem = recording.start(path.toStdString(), interval, exists)) {
        recordingLine_->clear();
        showCannotRecord(this, QString::fromStdString(*problem));
        return false;
    }
    return true;
}

void Form1::showRecordingEnded(const QString& path, quint64 rows, const QString& problem, const QString& loss)
{
    stopRecordingAction_->setEnabled(false);
    if (problem.isEmpty())
        recordingLine_->recorded(path, rows, loss);
    else
        recordingLine_->stopped(problem, path, rows, loss);
}
