#include "ui/main/DesktopNotifier.h"

#include "session/ApplicationTitle.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(std::function<void(const QString& why)> failed, std::function<void()> worked,
                                 QObject* parent)
    : QObject(parent), failed_(std::move(failed)), worked_(std::move(worked))
{
}

void DesktopNotifier::call(const QString& method, const QVariantList& arguments,
                           std::function<void(const QVariant&)> replied, bool told)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (failed_)
            failed_(QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), method);
    message.setArguments(arguments);
    // Not waited for: a slow or missing service must not hold the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, replied = std::move(replied), told](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusMessage reply = done->reply();
                if (!told)
                    return;
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    if (failed_)
                        failed_(reply.errorMessage());
                    return;
                }
                if (worked_)
                    worked_();
                if (replied)
                    replied(reply.arguments().value(0));
            });
}

void DesktopNotifier::show(int key, const QString& summary, const QString& body, bool critical)
{
    QVariantMap hints;
    hints[QStringLiteral("urgency")] = QVariant::fromValue(static_cast<uchar>(critical ? 2 : 1));
    hints[QStringLiteral("category")] = QStringLiteral("device.error");
    const auto shown = ids_.find(key);
    const uint replaces = shown == ids_.end() ? 0 : shown->second;
    closeWhenKnown_.erase(key);
    call(QStringLiteral("Notify"),
         {QString::fromUtf8(ApplicationTitle), replaces, QStringLiteral("org.corvane.Bench"), summary, body,
          QStringList(), hints, int(critical ? 0 : -1)},
         [this, key](const QVariant& id) {
             ids_[key] = id.toUInt();
             if (closeWhenKnown_.erase(key))
                 withdraw(key);
         });
}

void DesktopNotifier::withdraw(int key)
{
    const auto shown = ids_.find(key);
    if (shown == ids_.end()) {
        closeWhenKnown_.insert(key);
        return;
    }
    // The id is kept: the alarm's next notification replaces this one,
    // wherever the service still shows it.
    // A service may answer a close of one it already let go with an error:
    // no news about notifications either way.
    call(QStringLiteral("CloseNotification"), {shown->second}, {}, false);
}
