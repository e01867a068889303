#pragma once
// Loads the Trends module, where the program's Qt Charts plots live, and
// makes them.

#include "ui/fantest/FanCurvePlot.h"
#include "ui/trends/TrendsView.h"

// A new Trends window, or nothing with the reason in *error.
TrendsView* openTrendsView(const SeriesSource& history, QWidget* parent, QString* error);
// A new plot for the fan test, or nothing with the reason in *error.
FanCurvePlot* openFanCurvePlot(QWidget* parent, QString* error);
