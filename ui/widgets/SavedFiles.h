#pragma once
// Where the program offers to save what it writes (recordings, register
// snapshots, fan-test results), and what it names them: one folder and one
// rule for all, corvane-<what>-YYYYMMDD-HHMMSS.<suffix>.

#include <QDateTime>
#include <QString>

// The documents folder, made if it is missing; the home folder where it
// cannot be had.
QString savedFilesFolder();

// e.g. savedFilePath("readings", "csv", now): .../corvane-readings-20261209-140211.csv
QString savedFilePath(const QString& what, const QString& suffix, const QDateTime& now = QDateTime::currentDateTime());
