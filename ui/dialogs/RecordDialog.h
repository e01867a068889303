#pragma once
// Asks where to record the readings, and how often.

#include "recording/CsvRecorder.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLineEdit;

class RecordDialog : public QDialog {
    Q_OBJECT
public:
    // start is tried on Record; the dialog closes only once it has worked,
    // so a file that cannot be recorded to leaves the choices to correct.
    using Start = std::function<bool(const QString& path, CsvRecorder::Interval interval)>;
    // folder and interval are where the last recording went and how often
    // it took rows; an empty folder is the default one.
    RecordDialog(Start start, const QString& folder, CsvRecorder::Interval interval, QWidget* parent = nullptr);

    QString path() const;
    CsvRecorder::Interval interval() const;

private:
    void browse();

    Start start_;
    QLineEdit* file_;
    QComboBox* interval_;
};
