#pragma once
// The faulty simulated bus's adapter going and coming back when its plan
// says, told as udev tells it of a real one.

#include "bus/FaultyBus.h"
#include "session/AdapterWatch.h"

class QTimer;

class PlannedAdapterWatch : public AdapterWatch {
    Q_OBJECT
public:
    PlannedAdapterWatch(const FaultyBus& bus, QObject* parent = nullptr);

private:
    // Says what changed since the last look, and waits for the next change.
    void look();

    const FaultyBus& bus_;
    QTimer* timer_;
    bool gone_ = false;
};
