#include "session/PlannedAdapterWatch.h"

#include <QTimer>
#include <algorithm>

PlannedAdapterWatch::PlannedAdapterWatch(const FaultyBus& bus, QObject* parent)
    : AdapterWatch(parent), bus_(bus), timer_(new QTimer(this))
{
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &PlannedAdapterWatch::look);
    // Told from the event loop, once whoever made it has connected.
    QTimer::singleShot(0, this, &PlannedAdapterWatch::look);
}

void PlannedAdapterWatch::look()
{
    const bool gone = bus_.adapterGone(FaultyBus::PlannedController);
    if (gone != gone_) {
        gone_ = gone;
        if (gone)
            emit this->gone(FaultyBus::PlannedController);
        else
            emit back(FaultyBus::PlannedController);
    }
    const auto next = bus_.nextAdapterChange();
    if (!next)
        return;
    using namespace std::chrono;
    // A moment past the change, so that the bus agrees it has happened;
    // an hour at most, as a timer takes no more than about 24 days.
    const auto wait = duration_cast<milliseconds>(*next - bus_.now()) + milliseconds(1);
    timer_->start(std::clamp(wait, milliseconds(1), duration_cast<milliseconds>(hours(1))));
}
