#pragma once
// Runs the bench window on a bus until it is closed or the program is told
// to end, and ends it promptly even while a transaction hangs in the kernel.

#include "bus/BusAdapter.h"

#include <QString>
#include <chrono>
#include <functional>

class Form1;

// How long leaving waits for the bus thread's transaction in hand.
inline constexpr std::chrono::milliseconds BusStopLimit{1000};
// How long leaving waits for a fan test to put PWM1 back: four
// transactions, behind whatever is on the bus.
inline constexpr std::chrono::milliseconds RestoreLimit{3000};

// The event loop's exit status. Needs a QApplication. prepare, where given,
// sees the window before it is shown (a measuring harness hooks in there).
int runWindow(BusAdapter& bus, const QString& titleSuffix, const std::function<void(Form1&)>& prepare = {});
