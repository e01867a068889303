// The window on a fake kernel's adapter that is unplugged and plugged back
// under another number: how long from a cold start to the first readings
// on screen, and from the adapter's return to fresh readings, each poll at
// its usual 100 ms. Prints both, in milliseconds, median of ROUNDS.
//
//   adapter-return [ROUNDS [RECORDING.csv]]   the last round recorded there

#include "session/AdapterFollower.h"
#include "support/FakeKernel.h"
#include "ui/main/Form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Whether the window's temperature labels show a reading, or all a dash.
bool showsReadings(const QList<QLabel*>& labels)
{
    return std::ranges::any_of(labels, [](QLabel* label) { return label->text().contains(QStringLiteral("°C")); });
}

template <typename Condition>
qint64 msUntil(Condition condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 10000)
        QTest::qWait(1);
    return clock.elapsed();
}

qint64 median(std::vector<qint64> values)
{
    std::ranges::sort(values);
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::string recordTo = argc > 2 ? argv[2] : "";
    std::vector<qint64> cold, back;
    for (int round = 0; round < rounds; ++round) {
        FakeKernel kernel;
        LinuxSmbus& bus = *kernel.bus;

        QElapsedTimer started;
        started.start();
        BenchSession session(bus);
        Form1 window(session, {});
        AdapterFollower follower(bus, kernel.takeMonitor(), kernel.sysfs.root());
        followAdapters(session, follower);
        window.show();
        if (!recordTo.empty() && round == rounds - 1)
            (void)session.recording().start(recordTo, CsvRecorder::Interval(0), false);
        const auto labels = window.findChildren<QLabel*>(QRegularExpression(QStringLiteral("^lblTemp_")));
        msUntil([&] { return showsReadings(labels); });
        cold.push_back(started.elapsed());

        kernel.unplug(1);
        follower.takeEvents();
        msUntil([&] { return !showsReadings(labels); });
        const bool recorded = !recordTo.empty() && round == rounds - 1;
        if (recorded)
            QTest::qWait(500); // a gap of a few polls in the recording
        // Back under another number; its add event handled as it comes.
        kernel.plug(4);
        follower.takeEvents();
        back.push_back(msUntil([&] { return showsReadings(labels); }));

        if (recorded) {
            QTest::qWait(300); // a few polls more in the recording
            session.recording().stop();
        }
        window.close();
        window.finishBeforeLeaving(std::chrono::milliseconds(1000));
        session.stopBus(std::chrono::milliseconds(1000));
    }
    std::printf("%lld %lld\n", static_cast<long long>(median(cold)), static_cast<long long>(median(back)));
    return 0;
}
