#include "DesktopNotifier.h"

#include "ApplicationTitle.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(std::function<void(const QString& why)> unavailable, QObject* parent)
    : QObject(parent), unavailable_(std::move(unavailable))
{
}

void DesktopNotifier::notify(const QString& summary, const QString& body, bool critical)
{
    if (givenUp_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        giveUp(QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints[QStringLiteral("urgency")] = QVariant::fromValue(static_cast<uchar>(critical ? 2 : 1));
    hints[QStringLiteral("category")] = QStringLiteral("device.error");
    call << QString::fromUtf8(ApplicationTitle) << uint(0) << QStringLiteral("org.corvane.Bench") << summary << body
         << QStringList() << hints << int(critical ? 0 : -1);
    // Not waited for: a slow or missing service must not hold the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        if (done->isError())
            giveUp(done->error().message());
        done->deleteLater();
    });
}

void DesktopNotifier::giveUp(const QString& why)
{
    if (givenUp_)
        return;
    givenUp_ = true;
    if (unavailable_)
        unavailable_(why);
}
