#pragma once
// A recording opened again: read on a thread of its own behind a progress
// dialog with Cancel, then shown in a Trends window of its own, titled with
// the file's name, with its alarms shaded on their readings' plots and
// listed beside them with the summary.

#include <QString>

class QWidget;
class TrendsView;

// The window, or nothing when the file could not be read (a message box
// says why) or the user cancelled.
TrendsView* openRecordedRun(const QString& path, QWidget* parent);

// Another recording drawn over the one view shows, lined up at their
// starts or by clock time, and its figures beside this one's. False when
// it could not be read (a message box says why) or was cancelled.
bool compareRecordedRun(TrendsView& view, const QString& path, bool atStarts);
