#pragma once
// Asks where to record the readings, and how often.

#include "recording/CsvRecorder.h"

#include <QDateTime>
#include <QDialog>

class QComboBox;
class QLineEdit;

class RecordDialog : public QDialog {
    Q_OBJECT
public:
    explicit RecordDialog(QWidget* parent = nullptr);

    QString path() const;
    CsvRecorder::Interval interval() const;

    // corvane-YYYYMMDD-HHMMSS.csv in the user's documents folder.
    static QString defaultPath(const QDateTime& now);

private:
    void browse();

    QLineEdit* file_;
    QComboBox* interval_;
};
