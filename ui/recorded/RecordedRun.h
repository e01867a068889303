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

// The window lives in the Trends module, beside the plots it is made of;
// these are its entry points, by these names. It says why a file cannot be
// opened through the main window's own message box.
using CannotOpen = void (*)(QWidget* parent, const QString& why);
using OpenRecordedRunEntry = TrendsView* (*)(const QString& path, QWidget* parent, CannotOpen say);
inline constexpr char OpenRecordedRunSymbol[] = "corvaneOpenRecordedRun";
using CompareRecordedRunEntry = bool (*)(TrendsView& view, const QString& path, bool atStarts, CannotOpen say);
inline constexpr char CompareRecordedRunSymbol[] = "corvaneCompareRecordedRun";
