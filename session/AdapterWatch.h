#pragma once
// What tells the session that a controller's adapter went or came back:
// udev's events on a real PC, the fault plan on the simulated bus. Both
// are heard the same way by the window, record and serve.

#include "bus/SmbusAdapters.h"

#include <QObject>
#include <optional>

class AdapterWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The adapter waiting for the controller, taken for it: the user chose
    // the controller again. False when none waits.
    virtual bool takeStranger(int /*controller*/) { return false; }
    // Another adapter of a gone one's name, at another place, if one came.
    virtual const std::optional<SmbusAdapter>& stranger(int /*controller*/) const { return none_; }

signals:
    // The controller's adapter went; its file is closed.
    void gone(int controller);
    // It is back, maybe under another number, and opens again.
    void back(int controller);
    // Another adapter of the gone one's name came at another place, or went
    // again (none).
    void strangerChanged(int controller);

private:
    std::optional<SmbusAdapter> none_;
};
