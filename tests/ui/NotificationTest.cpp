// The desktop notification of an alarm, against a fake notification service
// on a private session bus of the test's own: exactly one Notify per alarm,
// critical for a stalled fan; with no service, one note and the window goes
// on. A program of its own, since the session bus is chosen once a process.

#include "bus/SimulatedBus.h"
#include "ui/main/Form1.h"
#include "ui/UserInput.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString summary, body;
        uint urgency;
        uint replaces = 0;
    };
    std::vector<Call> calls;
    std::vector<uint> closed;

public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        calls.push_back({summary, body, hints.value(QStringLiteral("urgency")).toUInt(), replaces});
        return replaces ? replaces : static_cast<uint>(calls.size());
    }
    void CloseNotification(uint id) { closed.push_back(id); }
};

// The private bus, started before anything in the process reaches for one.
QString busAddress;
pid_t busPid = 0;

class Notifications : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(busAddress.isEmpty()) << "dbus-daemon did not start";
        fakeBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(busAddress, QStringLiteral("fake")));
        ASSERT_TRUE(fakeBus->isConnected());
        ASSERT_TRUE(fakeBus->registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                            QDBusConnection::ExportAllSlots));
        bus.holdReadings();
        // Fan1 stalled: its count pinned at the top, as the chip reads a fan
        // that gives no pulses.
        bus.WriteSmbus(0x2E, 0x28, 0xFF);
        bus.WriteSmbus(0x2E, 0x29, 0xFF);
        form = std::make_unique<Form1>(bus);
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->session().hasStarted(); }, 5000));
        form->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        std::vector<LimitSetting> limits = form->session().limits();
        limits[3] = {Poll::Reading::Fan1, 1200.0, std::nullopt, true}; // stalled
        limits[4] = {Poll::Reading::Fan2, 3000.0, std::nullopt, true}; // 2000 rpm: too slow
        form->session().setLimits(limits);
    }
    void TearDown() override
    {
        form.reset();
        fakeBus->unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        fakeBus->unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    }

    void ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            form->session().Timer1_Timer();
            ASSERT_TRUE(settleBus());
        }
        QTest::qWait(200); // the calls' replies
    }

    FakeNotifications fake;
    std::unique_ptr<QDBusConnection> fakeBus;
    SimulatedBus bus{[] { return 0.0; }, [] { return 0.0; }};
    std::unique_ptr<Form1> form;
};

TEST_F(Notifications, OnePerAlarmCriticalForAStalledFan)
{
    ASSERT_TRUE(fakeBus->registerService(QStringLiteral("org.freedesktop.Notifications")));
    ticks(9);
    EXPECT_TRUE(fake.calls.empty()) << "not before a second";
    ticks(1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.calls.size() == 2; }, 3000));
    EXPECT_EQ(fake.calls[0].summary, "Fan1 stalled");
    EXPECT_EQ(fake.calls[0].urgency, 2u) << "critical: stalled";
    EXPECT_TRUE(fake.calls[0].body.startsWith("Fan1 0 rpm below 1200 rpm since ")) << fake.calls[0].body.toStdString();
    EXPECT_EQ(fake.calls[1].summary, "Fan2 too low");
    EXPECT_EQ(fake.calls[1].urgency, 1u) << "normal";
    EXPECT_TRUE(fake.calls[1].body.contains("Fan2 2000 rpm below 3000 rpm since ")) << fake.calls[1].body.toStdString();
    ticks(30);
    EXPECT_EQ(fake.calls.size(), 2u) << "an alarm that lasts notifies once";
    for (const auto& call : fake.calls)
        std::printf("Notify as received: '%s' / '%s' (urgency %u)\n", qPrintable(call.summary), qPrintable(call.body),
                    call.urgency);
}

// Fan1 running again at 3000 rpm, or stalled again.
void setFan1(SimulatedBus& bus, bool running)
{
    bus.WriteSmbus(0x2E, 0x28, running ? 0x08 : 0xFF);
    bus.WriteSmbus(0x2E, 0x29, running ? 0x07 : 0xFF);
}

// The end of an alarm takes its notification away, and the alarm's next
// one replaces it rather than piling up beside it.
TEST_F(Notifications, AnAlarmsEndClosesItAndARepeatReplacesIt)
{
    ASSERT_TRUE(fakeBus->registerService(QStringLiteral("org.freedesktop.Notifications")));
    ticks(10);
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.calls.size() == 2; }, 3000));
    setFan1(bus, true);
    ticks(10);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !fake.closed.empty(); }, 3000));
    EXPECT_EQ(fake.closed, std::vector<uint>{1}) << "Fan1's notification, and not Fan2's";
    setFan1(bus, false);
    ticks(10);
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.calls.size() == 3; }, 3000));
    EXPECT_EQ(fake.calls[2].summary, "Fan1 stalled");
    EXPECT_EQ(fake.calls[2].replaces, 1u);
}

// One failed call is not the end of notifications: the next alarm tries
// again, and the status line says so only while they fail.
TEST_F(Notifications, AFailureIsSaidWhileItLastsAndTheNextAlarmTriesAgain)
{
    ticks(10);
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->statusText().contains("no desktop notifications"); }, 3000));
    ASSERT_TRUE(fakeBus->registerService(QStringLiteral("org.freedesktop.Notifications")));
    setFan1(bus, true);
    ticks(10);
    setFan1(bus, false);
    ticks(10);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !fake.calls.empty(); }, 3000));
    EXPECT_EQ(fake.calls[0].summary, "Fan1 stalled");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !form->statusText().contains("no desktop notifications"); }, 3000))
        << form->statusText().toStdString();
}

TEST_F(Notifications, NoServiceIsSaidOnceAndTheWindowGoesOn)
{
    ticks(10);
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->statusText().contains("no desktop notifications"); }, 3000))
        << form->statusText().toStdString();
    EXPECT_TRUE(form->statusText().startsWith("Alarm: ")) << form->statusText().toStdString();
    EXPECT_TRUE(fake.calls.empty());
    const std::uint64_t polls = form->session().pollCount();
    ticks(5);
    EXPECT_EQ(form->session().pollCount(), polls + 5) << "polling goes on";
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // A session bus of the test's own, before Qt reaches for the user's.
    if (FILE* daemon = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r")) {
        char line[512];
        if (std::fgets(line, sizeof line, daemon))
            busAddress = QString::fromUtf8(line).trimmed();
        if (std::fgets(line, sizeof line, daemon))
            busPid = static_cast<pid_t>(std::atoi(line));
        pclose(daemon);
    }
    if (busAddress.isEmpty()) {
        std::fprintf(stderr, "dbus-daemon is missing (the dbus package); scripts/test installs it\n");
        if (!std::getenv("CORVANE_REQUIRE_SYSTEM_TESTS"))
            return 77;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
    if (busPid > 0)
        ::kill(busPid, SIGTERM);
    return status;
}

#include "NotificationTest.moc"
