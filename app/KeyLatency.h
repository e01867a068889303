#pragma once
// How long a key press takes to reach the screen: from the press (as the
// display server stamped it, where its stamp is on the steady clock, so
// that a loop held up is counted too) to the next paint of the widget it
// went to. For measuring the window under load; nothing is watched unless
// asked for.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

class KeyLatency : public QObject {
public:
    // told gets each press's milliseconds.
    KeyLatency(std::function<void(double milliseconds)> told, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(double)> told_;
    QElapsedTimer delivered_;
    double beforeDelivery_ = 0; // from the server's stamp to delivery, ms
    QPointer<QWidget> target_;
};

// With QT_LOGGING_RULES="corvane.latency.info=true": every key press in the
// application to its paint, one line each on stderr.
void logKeyLatencyWhenAsked();
