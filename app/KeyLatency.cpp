#include "KeyLatency.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QWidget>
#include <chrono>

Q_LOGGING_CATEGORY(keyLatency, "corvane.latency", QtWarningMsg)

KeyLatency::KeyLatency(std::function<void(double)> told, QObject* parent) : QObject(parent), told_(std::move(told)) {}

bool KeyLatency::eventFilter(QObject* watched, QEvent* event)
{
    // The press reaches the window first, then its widget: timed from the
    // widget, whose paint shows it.
    auto* widget = qobject_cast<QWidget*>(watched);
    // A press whose widget went, or never painted again, is given up on:
    // the next press is timed.
    const bool pending = delivered_.isValid() && target_ && !delivered_.hasExpired(1000);
    if (event->type() == QEvent::KeyPress && widget && !pending) {
        target_ = widget;
        delivered_.start();
        beforeDelivery_ = 0;
        // X servers stamp events in milliseconds of the monotonic clock:
        // the time the press waited for a loop that was busy counts too.
        // A stamp on any other clock is left out.
        const auto stamp = static_cast<qint64>(static_cast<QKeyEvent*>(event)->timestamp());
        const auto nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
        const qint64 waited = (nowMs & 0xFFFFFFFF) - stamp;
        if (waited >= 0 && waited < 10'000)
            beforeDelivery_ = static_cast<double>(waited);
    } else if (event->type() == QEvent::Paint && delivered_.isValid() && watched == target_) {
        told_(beforeDelivery_ + static_cast<double>(delivered_.nsecsElapsed()) / 1e6);
        delivered_.invalidate();
    }
    return QObject::eventFilter(watched, event);
}

void logKeyLatencyWhenAsked()
{
    if (!keyLatency().isInfoEnabled())
        return;
    auto* watch = new KeyLatency([](double ms) { qCInfo(keyLatency, "key press to paint: %.2f ms", ms); }, qApp);
    qApp->installEventFilter(watch);
}
