#pragma once
// The window needs a display; the commands don't. Without one, Qt would
// abort with its plugin message (exit 134): say so in one line instead,
// and end with the bad-command-line status.

// The sentence, for stderr.
extern const char* const NoDisplayText;

// True when no display is named at all (DISPLAY, WAYLAND_DISPLAY, or a
// platform chosen with QT_QPA_PLATFORM).
bool noDisplayNamed();

// Until the application object exists: a display that is named but cannot
// be reached ends the program with Qt's reason, the sentence and status 2,
// not an abort.
void endQuietlyIfTheDisplayFails();
// Once it exists: Qt's messages go where they always went.
void displayReached();
