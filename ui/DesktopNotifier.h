#pragma once
// Desktop notifications through the freedesktop notification service on the
// session bus. The bus is reached only at the first notification, so a run
// without alarms costs nothing; where no service answers, the caller is
// told once and the rest are dropped.

#include <QObject>
#include <QString>
#include <functional>

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // unavailable is called once, with why, the first time a notification
    // cannot be delivered.
    explicit DesktopNotifier(std::function<void(const QString& why)> unavailable, QObject* parent = nullptr);

    // Critical urgency for what must not wait (a stalled fan), normal else.
    void notify(const QString& summary, const QString& body, bool critical);

private:
    void giveUp(const QString& why);

    std::function<void(const QString&)> unavailable_;
    bool givenUp_ = false;
};
