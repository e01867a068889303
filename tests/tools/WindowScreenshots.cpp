// Screenshots of the windows in the states worth showing, in the light or
// a dark palette, drawn on the offscreen platform: the main window on the
// chip, on a device that is not the chip and on one that does not answer,
// Trends across a gap and a device change, the
// register map after a restore that partly failed, a bus scan, a recorded
// run opened again with its alarm, the chip behind a kernel driver: the
// question, and the window after a No; and an adapter gone and back.
//
//   window-screenshots FOLDER [--dark]

#include "bus/FaultyBus.h"
#include "bus/SimulatedBus.h"
#include "protocol/Snapshot.h"
#include "recording/AlarmLog.h"
#include "recording/CsvRecorder.h"
#include "recording/FanTestCsv.h"
#include "ui/fantest/FanTestWindow.h"
#include "ui/recorded/RecordedRun.h"
#include "support/FakeKernel.h"
#include "support/FakeLinuxBus.h"
#include "session/AdapterFollower.h"
#include "support/MessageBoxAnswerer.h"
#include "ui/busscan/BusScanWindow.h"
#include "ui/main/Form1.h"
#include "ui/registermap/RegisterMapWindow.h"
#include "ui/trends/TrendsWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <tuple>
#include <QDir>
#include <QTimer>
#include <QtTest/QTest>
#include <fstream>

namespace {

void settle(Form1& form)
{
    for (int i = 0; i < 200 && !form.session().busIdle(); ++i)
        QTest::qWait(5);
    QTest::qWait(50);
}

void tick(Form1& form, int count = 1)
{
    for (int i = 0; i < count; ++i) {
        form.session().Timer1_Timer();
        settle(form);
    }
}

void save(QWidget* window, const QString& folder, const QString& name, bool dark)
{
    // As on screen: a new text's layout is done before the window is drawn.
    QCoreApplication::sendPostedEvents();
    window->grab().save(QDir(folder).filePath(name + (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png"))));
}

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Mid, QColor(90, 90, 95));
    dark.setColor(QPalette::Highlight, QColor(60, 110, 190));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(140, 140, 140));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(140, 140, 140));
    return dark;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: window-screenshots FOLDER [--dark]\n");
        return 2;
    }
    const QString folder = arguments[1];
    const bool dark = arguments.contains(QStringLiteral("--dark"));
    QDir().mkpath(folder);
    if (dark)
        QApplication::setPalette(darkPalette());
    MessageBoxAnswerer boxes;

    SimulatedBus bus;
    bus.holdReadings();
    Form1 form(bus, QStringLiteral(" (simulated)"));
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    for (int i = 0; i < 100 && !form.session().hasStarted(); ++i)
        QTest::qWait(10);
    form.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    tick(form, 3);
    save(&form, folder, QStringLiteral("main-window"), dark);

    // A memory module's EEPROM at 0x50: its bytes as the chip's would be,
    // and the status line says it is not the chip.
    form.controls().txtDevAddr->setText(QStringLiteral("50"));
    tick(form, 2);
    save(&form, folder, QStringLiteral("main-window-not-the-chip"), dark);

    // A device that does not answer: dashes, and the status line says why.
    form.controls().txtDevAddr->setText(QStringLiteral("48"));
    tick(form, 2);
    save(&form, folder, QStringLiteral("main-window-device-48"), dark);
    form.controls().txtDevAddr->setText(QStringLiteral("2e"));
    tick(form);

    // Fan1 stalls (its tach pinned at a full count) under a low bound of
    // 1200 rpm: a second later, the alarm.
    std::vector<LimitSetting> limits = form.session().limits();
    limits[3] = {Poll::Reading::Fan1, 1200.0, std::nullopt, true};
    form.session().setLimits(limits);
    bus.chip().write(0x28, 0xFF);
    bus.chip().write(0x29, 0xFF);
    tick(form, 11);
    save(&form, folder, QStringLiteral("main-window-fan1-stall"), dark);
    bus.chip().write(0x28, 0x18);
    bus.chip().write(0x29, 0x15);
    limits[3].on = false;
    form.session().setLimits(limits);
    tick(form);

    // Two minutes of readings: one, a 10 s gap at 0x48, one more, then
    // 20 s of the memory module at 0x50.
    History history;
    const auto start = std::chrono::system_clock::now() - std::chrono::minutes(2);
    CorvaneProtocol chip(bus);
    for (int t = 0; t < 1200; ++t) {
        const std::uint8_t device = t >= 600 && t < 700 ? 0x48 : t >= 1000 ? 0x50 : 0x2E;
        PollResult poll = chip.poll(device);
        poll.time = start + std::chrono::milliseconds(100 * t);
        history.add(poll, false);
    }
    TrendsWindow trends(history);
    trends.show();
    if (!QTest::qWaitForWindowExposed(&trends))
        return 1;
    QTest::qWait(200);
    save(&trends, folder, QStringLiteral("trends-gap-and-device-change"), dark);

    // A restore where one register does not take: 0x3E is read-only.
    auto* map = qobject_cast<RegisterMapWindow*>(form.showRegisterMap());
    map->readAll();
    settle(form);
    std::array<std::uint8_t, 256> values = map->grid().values();
    values[0x5F] = 0xCC;
    values[0x3E] = 0x99;
    const QString snapshot = QDir(folder).filePath(QStringLiteral("snapshot.txt"));
    std::ofstream(snapshot.toStdString()) << snapshotText({"0", "x", 0x2E, "t"}, values, {});
    map->compareWith(snapshot);
    settle(form);
    map->setTicked(0x3E, true);
    boxes.answerNext(MessageBoxAnswerer::Answer::ClickYes);
    QTimer::singleShot(0, map, [map] { map->restoreTicked(); });
    QTest::qWait(300);
    settle(form);
    QFile::remove(snapshot);
    save(map, folder, QStringLiteral("register-map-partial-restore"), dark);

    auto* scan = qobject_cast<BusScanWindow*>(form.showBusScan());
    scan->scan();
    settle(form);
    save(scan, folder, QStringLiteral("bus-scan"), dark);

    // A recorded afternoon opened again: six hours at a row a second, Local
    // past 45 °C for a while, and the last hour another device's bytes.
    const std::string recorded = QDir(folder).filePath(QStringLiteral("afternoon.csv")).toStdString();
    const std::string warmer = QDir(folder).filePath(QStringLiteral("next-afternoon.csv")).toStdString();
    for (const auto& [file, hotter, later] : {std::tuple{recorded, 0, 0}, std::tuple{warmer, 3, 24}}) {
        const std::string& recorded = file;
        auto started = CsvRecorder::start(recorded, std::chrono::milliseconds(0), true);
        auto& recorder = *std::get<std::unique_ptr<CsvRecorder>>(started);
        AlarmLog log(recorded);
        AlarmWatch alarms({Limit{Poll::Reading::Local, true, 45}});
        const auto from = std::chrono::system_clock::time_point(std::chrono::seconds(1'765'202'400)) +
                          std::chrono::hours(later);
        for (int s = 0; s < 6 * 3600; ++s) {
            PollResult poll = chip.poll(s < 5 * 3600 ? 0x2E : 0x50);
            poll.time = from + std::chrono::seconds(s);
            if (s < 5 * 3600)
                poll.bytes[1] = static_cast<std::uint8_t>(36 + hotter + 11 * std::sin(s / 6000.0) + (s % 11 == 0));
            (void)recorder.add(poll, false);
            for (const AlarmWatch::Event& event : alarms.check(poll, false))
                (void)log.add(alarmRowOf(alarms, event));
        }
        for (const AlarmRow& row : activeAlarmRows(alarms, false, from + std::chrono::hours(6)))
            (void)log.add(row);
        (void)recorder.finish();
    }
    form.openRecording(QString::fromStdString(recorded));
    if (auto* run = form.findChild<QMainWindow*>(QStringLiteral("recordedRun"))) {
        (void)QTest::qWaitForWindowExposed(run);
        QTest::qWait(300);
        save(run, folder, QStringLiteral("recorded-run-with-alarm"), dark);
        if (auto* view = dynamic_cast<TrendsView*>(run); view && compareRecordedRun(*view, QString::fromStdString(warmer), true)) {
            QTest::qWait(300);
            save(run, folder, QStringLiteral("recorded-runs-compared"), dark);
        }
        run->close();
    }
    QFile::remove(QString::fromStdString(recorded));
    QFile::remove(QString::fromStdString(recorded + ".alarms.csv"));
    QFile::remove(QString::fromStdString(warmer));
    QFile::remove(QString::fromStdString(warmer + ".alarms.csv"));

    // Two fans' saved fan tests overlaid.
    if (auto* fanTest = qobject_cast<FanTestWindow*>(form.showFanTest())) {
        for (const auto& [name, stop, start, top] : {std::tuple{"fan1-cpu.csv", 20, 35, 2400.0},
                                                     std::tuple{"fan2-case.csv", 30, 45, 1500.0}}) {
            std::vector<FanStep> steps;
            for (int duty = 100; duty >= 0; duty -= 5)
                steps.push_back({true, duty, duty >= stop ? top * (0.25 + 0.75 * duty / 100.0) : 0.0, 2, true, {}});
            for (int duty = 0; duty <= 100; duty += 5)
                steps.push_back({false, duty, duty >= start ? top * (0.25 + 0.75 * duty / 100.0) : 0.0, 2, true, {}});
            const QString file = QDir(folder).filePath(QString::fromLatin1(name));
            std::ofstream(file.toStdString(), std::ios::binary) << fanTestCsv(steps);
            fanTest->openSaved(file);
            QFile::remove(file);
        }
        QTest::qWait(200);
        save(fanTest, folder, QStringLiteral("fan-tests-overlaid"), dark);
        fanTest->close();
    }
    form.session().stopBus(std::chrono::seconds(2));

    // The chip behind a kernel driver: the question, and the window after a No.
    FakeLinuxBus driven({0x2E}, {{0x2E, "at24"}});
    Form1 behind(*driven.bus);
    behind.show();
    if (!QTest::qWaitForWindowExposed(&behind))
        return 1;
    for (int i = 0; i < 100 && !behind.session().hasStarted(); ++i)
        QTest::qWait(10);
    behind.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    boxes.answerNext(MessageBoxAnswerer::Answer::Escape, 400);
    QTimer::singleShot(200, &behind, [&] {
        if (QWidget* box = QApplication::activeModalWidget())
            save(box, folder, QStringLiteral("kernel-driver-question"), dark);
    });
    tick(behind, 2);
    save(&behind, folder, QStringLiteral("main-window-kernel-driver-not-read"), dark);
    behind.session().stopBus(std::chrono::seconds(2));

    // The adapter unplugged, then back under another number.
    FakeKernel kernel;
    Form1 plugged(*kernel.bus);
    AdapterFollower follower(*kernel.bus, kernel.takeMonitor(), kernel.sysfs.root());
    followAdapters(plugged.session(), follower);
    plugged.show();
    if (!QTest::qWaitForWindowExposed(&plugged))
        return 1;
    for (int i = 0; i < 100 && !plugged.session().hasStarted(); ++i)
        QTest::qWait(10);
    plugged.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    tick(plugged);
    kernel.unplug(1);
    follower.takeEvents();
    tick(plugged, 2);
    save(&plugged, folder, QStringLiteral("main-window-adapter-gone"), dark);
    kernel.plug(4);
    follower.takeEvents();
    settle(plugged);
    tick(plugged);
    save(&plugged, folder, QStringLiteral("main-window-adapter-back"), dark);
    plugged.session().stopBus(std::chrono::seconds(2));

    // A faulty bus, recording to a disk that fills: the title says the
    // faults, the status line what the full disk costs.
    auto held = std::make_unique<SimulatedBus>();
    held->holdReadings();
    FaultyBus faulty(std::get<FaultPlan>(parseFaultPlan("fail=1%,seed=1")), std::move(held));
    Form1 filling(faulty, QStringLiteral(" (simulated, with faults)"));
    filling.show();
    if (!QTest::qWaitForWindowExposed(&filling))
        return 1;
    for (int i = 0; i < 100 && !filling.session().hasStarted(); ++i)
        QTest::qWait(10);
    filling.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    const QString run = QDir(QDir::tempPath()).filePath(QStringLiteral("overnight-%1.csv").arg(QCoreApplication::applicationPid()));
    filling.session().recording().start(run.toStdString(), CsvRecorder::Interval(0), true);
    tick(filling, 3);
    {
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit full{static_cast<rlim_t>(QFileInfo(run).size() + 10), before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &full);
        tick(filling, 12);
        QTest::qWait(1100);
        tick(filling);
        ::setrlimit(RLIMIT_FSIZE, &before);
    }
    save(&filling, folder, QStringLiteral("main-window-disk-full"), dark);
    filling.session().recording().stop();
    save(&filling, folder, QStringLiteral("main-window-recorded-after-full-disk"), dark);
    filling.session().stopBus(std::chrono::seconds(2));
    QFile::remove(run);
    return 0;
}
