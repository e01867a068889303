// The window on a slow bus: jobs reach the bus in the user's order, ticks
// do not pile up, the window's own timers keep time, and leaving does not
// wait for a transaction stuck on the bus.

#include "Form1Fixture.h"
#include "support/Traffic.h"

#include <QElapsedTimer>
#include <atomic>
#include <thread>
#include "ui/registermap/RegisterMapWindow.h"

namespace {

using namespace std::chrono_literals;



// The exporter's poll: repeated on the bus thread itself, at its cadence,
// never twice for one tick, and not after stop().
TEST(RepeatedBusJob, RunsOnTheBusThreadAtItsCadenceUntilStopped)
{
    RecordingBus bus;
    ::BusThread jobs(bus);
    std::atomic<int> runs = 0;
    std::atomic<bool> ranOnThisThread = false;
    const std::thread::id thisThread = std::this_thread::get_id();
    jobs.repeat(20ms, [&](CorvaneProtocol& chip) {
        chip.readRegister(0x2E, 0x20);
        ranOnThisThread = ranOnThisThread || std::this_thread::get_id() == thisThread;
        ++runs;
    });
    std::this_thread::sleep_for(210ms); // at once, then about ten more
    EXPECT_FALSE(ranOnThisThread);
    EXPECT_GE(runs, 3);
    EXPECT_LE(runs, 12);
    ASSERT_TRUE(jobs.stop(1s));
    const int atStop = runs;
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(runs, atStop);
}

class JobsOnASlowBus : public Form1Fixture {};

TEST_F(JobsOnASlowBus, APickMadeDuringASlowPollLandsAfterItAndBeforeTheNext)
{
    openOnScreen();
    bus.delay = 20ms; // a poll takes 280 ms
    form->session().Timer1_Timer();
    form->session().Timer1_Timer(); // comes while the poll is on the bus: dropped, not queued
    EXPECT_EQ(form->session().skippedTicks(), 1u);
    ASSERT_TRUE(chooseEntry(controls().cmbPulses, "4"));
    tick();
    EXPECT_EQ(bus.calls, pollReads() + (Calls{Read(0x7B), Write(0x7B, 0x03)}) + pollReads());
}

TEST_F(JobsOnASlowBus, AWriteAndAReadMadeInQuickSuccessionReachTheBusInThatOrder)
{
    openOnScreen();
    bus.delay = 20ms;
    typeOver(controls().txtDataOut, QStringLiteral("5a"));
    bus.calls.clear();
    QTest::mouseClick(controls().cmdWrite, Qt::LeftButton);
    QTest::mouseClick(controls().cmdRead, Qt::LeftButton);
    ASSERT_TRUE(settleBus());
    EXPECT_EQ(bus.calls, (Calls{Write(0x25, 0x5A), Read(0x25)}));
    EXPECT_EQ(controls().lblReadData->text(), "5A");
}

// A window closed while its job is on the bus: the result finds nobody and
// is dropped (the sanitized build would see a use after free).
TEST_F(JobsOnASlowBus, AWindowClosedWhileItsJobRunsIsLeftAlone)
{
    openOnScreen();
    bus.delay = 1ms; // a sweep takes a quarter of a second
    auto* map = qobject_cast<RegisterMapWindow*>(form->showRegisterMap());
    ASSERT_TRUE(map->readAll());
    QPointer<QWidget> gone(map);
    map->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return gone.isNull(); }, 2000));
    ASSERT_TRUE(settleBus());
    EXPECT_EQ(bus.calls.size(), 256u);
}

// Every transaction takes a second, as on an SMBus whose adapter times out.
// A timer on the window's thread keeps its time while the user types and
// clicks, and leaving is done in well under 1.5 s.
TEST_F(JobsOnASlowBus, ASlowBusNeverHoldsTheWindow)
{
    scriptTypicalChip();
    bus.delay = 1000ms;
    form = std::make_unique<Form1>(bus);
    form->show();

    QElapsedTimer clock;
    clock.start();
    qint64 due = 100, worstLateness = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worstLateness = std::max(worstLateness, clock.elapsed() - due);
        due = clock.elapsed() + 100;
    });
    probe.start(100);
    QTimer user;
    int step = 0;
    QObject::connect(&user, &QTimer::timeout, [&] {
        // Ticks, keystrokes and clicks, all of which need the bus.
        form->session().Timer1_Timer();
        QTest::keyClick(controls().txtDevAddr, step % 2 ? Qt::Key_E : Qt::Key_Backspace);
        QTest::mouseClick(controls().cmdRead, Qt::LeftButton);
        ++step;
    });
    user.start(250);
    QTest::qWait(5000);
    user.stop();
    probe.stop();
    EXPECT_LT(worstLateness, 200) << "the window's timer was held up by the bus";
    EXPECT_GT(form->session().skippedTicks(), 10u);

    clock.restart();
    form->close();
    form->session().stopBus(1000ms);
    EXPECT_LT(clock.elapsed(), 1500) << "leaving waited for the bus";
    form.reset(); // waits for the transaction in hand; the program itself would not
    EXPECT_LT(bus.calls.size(), 12u) << "the queued jobs were dropped, not run";
}

} // namespace
