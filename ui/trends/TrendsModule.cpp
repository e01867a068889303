// The Trends module's entry point: the main window loads this library when
// the user first opens the Trends window.

#include "ui/trends/TrendsWindow.h"

extern "C" Q_DECL_EXPORT TrendsView* corvaneCreateTrendsView(const SeriesSource& history, QWidget* parent)
{
    return new TrendsWindow(history, parent);
}
