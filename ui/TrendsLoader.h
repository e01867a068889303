#pragma once
// Loads the Trends module and makes its window.

#include "TrendsView.h"

// A new Trends window, or nothing with the reason in *error.
TrendsView* openTrendsView(const History& history, QWidget* parent, QString* error);
