// A desktop's notification service on the session bus, for a soak to stop
// and start again: prints a line for each notification it is sent.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QStringList>
#include <QVariantMap>
#include <csignal>
#include <cstdio>

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString&,
                const QStringList&, const QVariantMap&, int)
    {
        std::printf("notify %s\n", qPrintable(summary));
        std::fflush(stdout);
        return replaces ? replaces : ++last_;
    }
    void CloseNotification(uint id)
    {
        std::printf("close %u\n", id);
        std::fflush(stdout);
    }

private:
    uint last_ = 0;
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Notifications service;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "soak-notifications: cannot take the service: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    return QCoreApplication::exec();
}

#include "SoakNotifications.moc"
