// The fan test on the simulated chip, with the chip's clock and the test's
// waits both on one injected clock: a whole sweep takes a moment. A tap on
// the bus records every write and can make the device go silent.

#include "UserInput.h"
#include "bus/SimulatedBus.h"
#include "protocol/FanSweep.h"
#include "recording/FanTestCsv.h"
#include "support/MessageBoxAnswerer.h"
#include "ui/fantest/FanTestWindow.h"
#include "ui/main/Form1.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QEventLoop>
#include <QTimer>
#include <QtTest/QTest>
#include <cerrno>
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

using Write = std::pair<int, int>; // register, byte

class TappedBus : public SimulatedBus {
public:
    using SimulatedBus::SimulatedBus;

    ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) override
    {
        return silent ? ByteRead::failed(ENXIO) : SimulatedBus::ReadSmbus(device, reg);
    }
    BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override
    {
        writes.emplace_back(reg, data);
        const BusOutcome outcome = silent ? BusOutcome{ENXIO, {}} : SimulatedBus::WriteSmbus(device, reg, data);
        if (reg == 0x30 && ++dutyWrites == silentAfterDutyWrites)
            silent = true;
        return outcome;
    }

    std::vector<Write> writes;
    int dutyWrites = 0;
    int silentAfterDutyWrites = -1; // the write-back's read after it fails already
    bool silent = false;
};

class FanTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Fastest of three channels, with low bits a restore must keep.
        bus.chip().write(0x5C, 0xC5);
        form = std::make_unique<Form1>(bus);
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->session().hasStarted(); }, 5000));
        form->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        savedDuty = bus.chip().read(0x30);
        window = new FanTestWindow(form->session(), *form, [this] { return now; },
                                   [this](double seconds, QObject* context, std::function<void()> then) {
                                       now += seconds;
                                       QMetaObject::invokeMethod(context, std::move(then), Qt::QueuedConnection);
                                   });
        window->setAttribute(Qt::WA_DeleteOnClose);
        bus.writes.clear();
    }

    // Runs until the test has put PWM1 back and said so.
    QString runToTheEnd(int stopAfterSteps = -1)
    {
        QString said;
        QObject::connect(&window->run(), &FanTestRun::finished, [&said](const QString& text) { said = text; });
        if (stopAfterSteps >= 0) {
            QObject::connect(&window->run(), &FanTestRun::stepDone, [this, stopAfterSteps] {
                if (static_cast<int>(window->run().sweep().steps().size()) == stopAfterSteps)
                    window->findChild<QPushButton*>(QStringLiteral("fanTestCancel"))->click();
            });
        }
        window->findChild<QPushButton*>(QStringLiteral("fanTestStart"))->click();
        // An event loop of its own rather than qWaitFor, which sleeps
        // between looks: the sweep's hundreds of hops then take moments.
        QEventLoop loop;
        QObject::connect(&window->run(), &FanTestRun::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        if (said.isEmpty())
            loop.exec();
        EXPECT_FALSE(said.isEmpty()) << "the test did not end";
        EXPECT_TRUE(settleBus());
        return said;
    }

    // The writes after the sweep's: the restore.
    std::vector<Write> restoreWrites() const
    {
        return {{0x5C, 0xC5}, {0x30, savedDuty}};
    }

    double now = 0;
    TappedBus bus{[this] { return now; }, [] { return 0.0; }};
    MessageBoxAnswerer boxes;
    std::unique_ptr<Form1> form;
    FanTestWindow* window = nullptr;
    int savedDuty = 0;
};

// Fan1 stalls below 20 %, starts above 30 % and tops out at 3200 rpm.
TEST_F(FanTest, FindsTheSimulatedFansStallStartAndTopSpeed)
{
    bool lockedDuring = false;
    QObject::connect(&window->run(), &FanTestRun::stepDone, window,
                     [this, &lockedDuring] { lockedDuring = !form->controls().optController1->isEnabled(); });
    const QString said = runToTheEnd();
    EXPECT_TRUE(lockedDuring) << "the controller, device and PWM1 controls wait for the test";
    EXPECT_TRUE(form->controls().optController1->isEnabled());
    EXPECT_TRUE(said.startsWith(QLatin1String("Fan test finished; PWM1 put back to Fastest Speed of 3 channels")))
        << said.toStdString();
    EXPECT_EQ(form->statusText(), said);
    const FanFindings found = window->run().sweep().findings();
    ASSERT_TRUE(found.stopDuty && found.startDuty && found.maxRpm);
    EXPECT_NEAR(*found.stopDuty, SimulatedCorvane::Fan1StallPercent, 5);
    EXPECT_NEAR(*found.startDuty, SimulatedCorvane::Fan1StartPercent, 5);
    EXPECT_NEAR(*found.maxRpm, SimulatedCorvane::Fan1FullSpeedRpm, SimulatedCorvane::Fan1FullSpeedRpm * 0.02);
    EXPECT_EQ(window->run().sweep().steps().size(), 41u);
    EXPECT_EQ(window->findChild<QTableWidget*>(QStringLiteral("fanTestSteps"))->rowCount(), 41);
    // The main window followed, and was put back.
    EXPECT_EQ(form->controls().cmbPWM1->currentIndex(), 6);
    EXPECT_FALSE(form->controls().txtDutyCycle->isVisibleTo(form.get()));
}

// The exact writes: Manual Mode, a duty a step, then the restore: 0x5C's
// own bits by read-modify-write, then the duty.
TEST_F(FanTest, PutsPwm1BackOnCompletionOnCancelAndOnClosing)
{
    const struct {
        const char* how;
        std::size_t steps;  // done when it ends
        std::size_t duties; // written: a quit comes with the next step's duty out
    } cases[] = {{"completion", 41, 41}, {"cancel", 7, 7}, {"closing", 3, 3}, {"quitting", 2, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        if (!window)
            SetUp();
        if (c.how != std::string("completion") && c.how != std::string("cancel")) {
            const bool quitting = c.how == std::string("quitting");
            QObject::connect(&window->run(), &FanTestRun::stepDone, window, [this, c, quitting] {
                if (window->run().sweep().steps().size() != c.steps)
                    return;
                // Quitting: the event loop has ended, and the program leaves
                // through the main window's last steps.
                if (quitting)
                    QTimer::singleShot(0, form.get(), [this] { form->finishBeforeLeaving(std::chrono::seconds(2)); });
                else
                    window->close();
            });
            window->findChild<QPushButton*>(QStringLiteral("fanTestStart"))->click();
            ASSERT_TRUE(QTest::qWaitFor([this] { return bus.writes.size() >= 6 && form->session().busIdle(); }, 20000));
            ASSERT_TRUE(settleBus());
        } else {
            runToTheEnd(c.steps == 41 ? -1 : static_cast<int>(c.steps));
            window->close();
        }
        ASSERT_EQ(bus.writes.size(), 1 + c.duties + 2) << "Manual Mode, the duties, the restore";
        EXPECT_EQ(bus.writes.front(), Write(0x5C, 0xE5));
        EXPECT_EQ(bus.writes[1], Write(0x30, 0xFE)) << "100 %";
        EXPECT_EQ(std::vector<Write>(bus.writes.end() - 2, bus.writes.end()), restoreWrites());
        EXPECT_EQ(bus.chip().read(0x5C), 0xC5);
        // The window deletes itself on closing; the next case opens afresh.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window = nullptr;
        form.reset();
    }
}

// The device goes silent after the fourth duty write: the test stops there,
// only the restore is tried, and the status line says it did not take.
TEST_F(FanTest, StopsWhenTheDeviceStopsAnsweringAndReportsTheRestore)
{
    bus.silentAfterDutyWrites = 4;
    const QString said = runToTheEnd();
    EXPECT_TRUE(said.startsWith(QLatin1String("Fan test stopped: device 0x2E"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QLatin1String("could NOT be put back"))) << said.toStdString();
    EXPECT_EQ(form->statusText(), said);
    // Manual Mode, four duties, then only the restore's duty write: its
    // read of 0x5C failed, so 0x5C was not written.
    ASSERT_EQ(bus.writes.size(), 6u);
    EXPECT_EQ(bus.writes.back(), Write(0x30, savedDuty));
}

TEST(FanTestCsv, HeaderAndRowsAsRecordingsAre)
{
    const auto at = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'000'000'250));
    const std::vector<FanStep> steps = {{true, 100, 3151, 2, true, at}, {false, 35, 1120.5, 10, false, at}};
    EXPECT_EQ(fanTestCsv(steps), "time,sweep,duty_pct,fan1_rpm,settle_s,settled\r\n"
                                 "2025-12-06T05:46:40.250Z,down,100,3151,2,yes\r\n"
                                 "2025-12-06T05:46:40.250Z,up,35,1120.5,10,no\r\n");
}

// Steps settle on readings within the tolerance of the latest, or end at
// the step's time limit; the findings read the two sweeps.
TEST(FanSweep, SettlesAndFindsFromTheReadings)
{
    FanSweep sweep({50, 2, 3, 10, 1});
    EXPECT_EQ(sweep.stepCount(), 5) << "100, 50, 0, then 50, 100";
    const struct {
        std::vector<double> readings;
        bool settled;
        double rpm;
    } steps[] = {
        {{2000, 2900, 3000, 3010, 3020}, true, 3020},
        {{1500, 1500, 1500}, true, 1500},
        {{300, 0, 0, 0}, true, 0},
        {{0, 0, 0}, true, 0}, // 50 % up: still standing
        {{1000, 2000, 2500, 2800, 2900, 3000, 3100, 3200, 3300, 3400}, false, 3400},
    };
    for (const auto& step : steps) {
        bool ended = false;
        for (std::size_t i = 0; i < step.readings.size(); ++i) {
            ASSERT_FALSE(ended);
            ended = sweep.addReading(static_cast<double>(i + 1), step.readings[i]);
        }
        ASSERT_TRUE(ended);
        EXPECT_EQ(sweep.steps().back().settled, step.settled);
        EXPECT_EQ(sweep.steps().back().rpm, step.rpm);
    }
    EXPECT_FALSE(sweep.currentDuty());
    const FanFindings found = sweep.findings();
    EXPECT_EQ(found.stopDuty, 50);
    EXPECT_EQ(found.startDuty, 100);
    EXPECT_EQ(found.maxRpm, 3400);
}

} // namespace

namespace {

// Two fans' saved results overlaid: each run's curves and where it stopped
// and started, named in the legend; a file that is no fan test is refused.
TEST_F(FanTest, SavedResultsOverlayTwoFansWithTheirStopAndStartDuties)
{
    const auto folder = std::filesystem::temp_directory_path() / ("fan-saved-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto save = [&folder](const char* name, int stop, int start) {
        std::vector<FanStep> steps;
        for (int duty = 100; duty >= 0; duty -= 10)
            steps.push_back({true, duty, duty >= stop ? duty * 20.0 : 0.0, 1, true, {}});
        for (int duty = 0; duty <= 100; duty += 10)
            steps.push_back({false, duty, duty >= start ? duty * 20.0 : 0.0, 1, true, {}});
        const auto path = folder / name;
        std::ofstream(path, std::ios::binary) << fanTestCsv(steps);
        return QString::fromStdString(path.string());
    };
    EXPECT_EQ(window->openSaved(save("fanA.csv", 20, 40)), QString());
    EXPECT_EQ(window->openSaved(save("fanB.csv", 30, 50)), QString());
    auto* progress = window->findChild<QLabel*>(QStringLiteral("fanTestProgress"));
    EXPECT_EQ(progress->text(), QStringLiteral("Showing saved results: fanA.csv (stops below 20 %, starts at 40 %) and "
                                             "fanB.csv (stops below 30 %, starts at 50 %)."));
    auto* plot = window->findChild<QChartView*>(QStringLiteral("fanCurvePlot"));
    ASSERT_NE(plot, nullptr);
    QStringList names;
    for (QAbstractSeries* series : plot->chart()->series())
        names << series->name();
    EXPECT_TRUE(names.contains(QStringLiteral("fanA.csv: stops below 20 %, starts at 40 %"))) << names.join(", ").toStdString();
    EXPECT_TRUE(names.contains(QStringLiteral("fanB.csv: stops below 30 %, starts at 50 %"))) << names.join(", ").toStdString();

    std::ofstream(folder / "run.csv") << "time,local_c\r\n";
    EXPECT_EQ(window->openSaved(QString::fromStdString((folder / "run.csv").string())),
              QString::fromStdString((folder / "run.csv").string() + ", line 1: not a fan test of this program's"));
    std::filesystem::remove_all(folder);
}

} // namespace
