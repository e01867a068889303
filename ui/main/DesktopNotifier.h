#pragma once
// Alarm notices as desktop notifications, through the freedesktop
// notification service on the session bus. The bus is reached only at the
// first notice, so a run without alarms costs nothing. A repeat replaces
// the alarm's notification and its end closes it. A call that fails is
// said (failed) and the next notice tries again; one that works after
// failures is said too (worked).

#include "session/AlarmNotices.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <set>

class DesktopNotifier : public QObject, public AlarmNotices {
    Q_OBJECT
public:
    DesktopNotifier(std::function<void(const QString& why)> failed, std::function<void()> worked,
                    QObject* parent = nullptr);

    // Critical urgency for what must not wait (a stalled fan), normal else.
    void show(int key, const QString& summary, const QString& body, bool critical) override;
    void withdraw(int key) override;

private:
    // told: whether how the call fared is said (failed, worked).
    void call(const QString& method, const QVariantList& arguments, std::function<void(const QVariant&)> replied,
              bool told = true);

    std::function<void(const QString&)> failed_;
    std::function<void()> worked_;
    // The service's id for each key's last notification, once it has said.
    std::map<int, uint> ids_;
    // Withdrawn before the service said which id it gave.
    std::set<int> closeWhenKnown_;
};
