#pragma once
// Where an alarm's notice goes: the desktop's notifications in the window,
// a list in a test. Each notice has a key of the alarm's own, so a repeat
// replaces it and the alarm's end takes it away.

#include <QString>

class AlarmNotices {
public:
    virtual ~AlarmNotices() = default;
    // Shows the notice under key, replacing one still shown there.
    virtual void show(int key, const QString& summary, const QString& body, bool critical) = 0;
    // Takes the notice under key away, where one is shown.
    virtual void withdraw(int key) = 0;
};
