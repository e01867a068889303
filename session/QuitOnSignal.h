#pragma once
// Ends the event loop cleanly on SIGTERM, SIGINT or SIGHUP (a logout, a
// Ctrl+C in the terminal it was started from), so the window closes the
// adapters' files and the program exits through main like any other close.

#include <QObject>

void quitOnTerminationSignals(QObject& owner);
