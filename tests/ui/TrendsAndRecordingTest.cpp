// The menu bar's new windows on the simulated chip with its readings held:
// the Trends window loaded from its module, and recording from the File menu.

#include "HeldSimulatedForm.h"
#include "support/MessageBoxAnswerer.h"
#include "ui/recorded/RecordedRun.h"
#include "ui/trends/TrendsView.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>

#include "recording/AlarmLog.h"
#include "recording/CsvRecorder.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QMainWindow>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace {

using Poll::Reading;
using Answer = MessageBoxAnswerer::Answer;

class TrendsAndRecording : public HeldSimulatedForm {
protected:
    void SetUp() override
    {
        HeldSimulatedForm::SetUp();
        if (HasFatalFailure())
            return;
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        form.reset();
        std::filesystem::remove_all(folder);
    }

    std::vector<std::string> lines(const std::filesystem::path& file) const
    {
        std::ifstream in(file);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

    // Answers the Record Readings dialog when it opens.
    void answerRecordDialog(const std::filesystem::path& file, const QString& interval)
    {
        QTimer::singleShot(50, [file, interval] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            auto* path = dialog->findChild<QLineEdit*>(QStringLiteral("recordFile"));
            typeOver(path, QString::fromStdString(file.string()));
            auto* choice = dialog->findChild<QComboBox*>(QStringLiteral("recordInterval"));
            choice->setCurrentIndex(choice->findText(interval));
            QTest::keyClick(dialog, Qt::Key_Return);
        });
    }

    MessageBoxAnswerer boxes;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("corvane-rec-" + std::to_string(std::random_device{}()));
};

TEST_F(TrendsAndRecording, CtrlTOpensTheTrendsWindowFromItsModule)
{
    ticks(5);
    QTest::keyClick(form.get(), Qt::Key_T, Qt::ControlModifier);
    auto* window = form->findChild<QMainWindow*>(QStringLiteral("trendsWindow"));
    ASSERT_NE(window, nullptr) << "Ctrl+T opens the Trends window";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    TrendsView* trends = form->showTrends();
    ASSERT_EQ(trends->window(), window) << "opened once, raised after";
    EXPECT_TRUE(trends->isFollowing());
    const QList<QPointF> local = trends->points(Reading::Local);
    ASSERT_FALSE(local.isEmpty());
    EXPECT_NEAR(local.back().y(), shown(form->controls().lblTemp[1]), 1e-4);
    form->close();
    EXPECT_TRUE(QTest::qWaitFor([window = QPointer<QMainWindow>(window)] { return !window || !window->isVisible(); }))
        << "closing the main window closes it";
}

TEST_F(TrendsAndRecording, RecordsFromTheFileMenuAndStops)
{
    const auto file = folder / "run.csv";
    answerRecordDialog(file, QStringLiteral("Every poll (0.1 s)"));
    QTest::keyClick(form.get(), Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_R);
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->session().recording().isRecording(); }, 5000));
    ticks(3);
    EXPECT_TRUE(form->recordingText().startsWith("Recording run.csv: ")) << form->recordingText().toStdString();
    form->session().recording().stop();
    EXPECT_EQ(form->recordingText(), "Recorded 3 rows to run.csv");
    const auto rows = lines(file);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(rows[0].starts_with("time,local_c,"));

    // An existing file is replaced only after asking; No leaves it alone.
    boxes.answerNext(Answer::Escape);
    EXPECT_FALSE(form->startRecording(QString::fromStdString(file.string()), CsvRecorder::Interval(0)));
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_TRUE(boxes.seen()[0].text.contains("exists. Replace it?"));
    EXPECT_EQ(lines(file).size(), 4u);
}

TEST_F(TrendsAndRecording, AFileThatGoesAwayStopsTheRecordingNotTheWindow)
{
    ASSERT_TRUE(form->startRecording(QString::fromStdString((folder / "run.csv").string()), CsvRecorder::Interval(0)));
    ticks(2);
    std::filesystem::remove_all(folder);
    const auto polls = form->session().pollCount();
    QTest::qWait(1100); // the file is looked at once a second
    ticks(3);
    EXPECT_FALSE(form->session().recording().isRecording());
    EXPECT_TRUE(form->recordingText().startsWith("Recording stopped: ")) << form->recordingText().toStdString();
    EXPECT_TRUE(form->recordingText().contains("was removed. 2 rows are in run.csv"));
    EXPECT_EQ(form->session().pollCount(), polls + 3) << "the window keeps polling";

    // A device is no record (and a FIFO would block the window in open):
    // refused at the start, with the reason.
    boxes.forget();
    boxes.answerNext(Answer::Enter);
    EXPECT_FALSE(form->startRecording(QStringLiteral("/dev/full"), CsvRecorder::Interval(0)));
    ASSERT_EQ(boxes.seen().size(), 1u) << "not asked whether to replace it first";
    EXPECT_TRUE(boxes.seen()[0].text.contains("/dev/full: it is not a regular file")) << boxes.seen()[0].text.toStdString();
    ticks(2);
    EXPECT_FALSE(form->session().recording().isRecording());
    EXPECT_EQ(form->session().pollCount(), polls + 5);
}

// A file that exists and is kept: the recording does not run, and the
// status line says so rather than nothing.
TEST_F(TrendsAndRecording, AKeptFileSaysThatNothingRecords)
{
    const auto file = folder / "kept.csv";
    std::ofstream(file) << "precious\n";
    boxes.answerNext(Answer::Escape);
    EXPECT_FALSE(form->startRecording(QString::fromStdString(file.string()), CsvRecorder::Interval(0)));
    ticks(2);
    EXPECT_FALSE(form->session().recording().isRecording());
    EXPECT_EQ(form->recordingText(), "Not recording: kept.csv exists and was kept");
    EXPECT_EQ(lines(file), std::vector<std::string>{"precious"});
}

} // namespace

namespace {

// A recorded minute: Local climbing from 30 °C, past 40 from 0:31, and from
// 0:45 another device's bytes, with the alarm beside it as the window and
// record write them.
std::string recordedMinute(const std::filesystem::path& folder, const char* name = "minute.csv", int warmer = 0,
                           int hoursLater = 0)
{
    const std::string path = (folder / name).string();
    auto started = CsvRecorder::start(path, std::chrono::milliseconds(0), false);
    auto& recorder = *std::get<std::unique_ptr<CsvRecorder>>(started);
    AlarmLog log(path);
    AlarmWatch alarms({Limit{Reading::Local, true, 40}});
    const auto t0 = std::chrono::system_clock::time_point(std::chrono::milliseconds(1'765'235'040'000)) +
                    std::chrono::hours(hoursLater);
    for (int tenths = 0; tenths < 600; ++tenths) {
        PollResult poll;
        poll.time = t0 + std::chrono::milliseconds(tenths * 100);
        poll.steadyTime = std::chrono::steady_clock::time_point(poll.time.time_since_epoch());
        poll.bytes = {46, static_cast<std::uint8_t>(30 + warmer + tenths / 30), 31, 0x18, 0x15, 0x8C, 0x0A,
                      0x10, 0x0E, 0x00, 0x00, 192, 102, 0x99};
        poll.device = tenths < 450 ? 0x2E : 0x50;
        EXPECT_EQ(recorder.add(poll, false), std::nullopt);
        for (const AlarmWatch::Event& event : alarms.check(poll, false))
            EXPECT_EQ(log.add(alarmRowOf(alarms, event)), std::nullopt);
    }
    for (const AlarmRow& row : activeAlarmRows(alarms, false, t0 + std::chrono::seconds(60)))
        EXPECT_EQ(log.add(row), std::nullopt);
    EXPECT_EQ(recorder.finish(), std::nullopt);
    return path;
}

} // namespace

TEST_F(TrendsAndRecording, OpenRecordingShowsTheRunsSpanItsAlarmAndItsDeviceChange)
{
    const std::string path = recordedMinute(folder);
    form->openRecording(QString::fromStdString(path));
    auto* window = form->findChild<QMainWindow*>(QStringLiteral("recordedRun"));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("minute.csv — Corvane Bench"));
    auto* facts = window->findChild<QLabel*>(QStringLiteral("recordingFacts"));
    ASSERT_NE(facts, nullptr);
    EXPECT_EQ(facts->text(), QStringLiteral("2025-12-08 23:04:00 to 2025-12-08 23:04:59 UTC (59.9 s), 600 rows."));
    auto* alarms = window->findChild<QListWidget*>(QStringLiteral("recordingAlarms"));
    ASSERT_NE(alarms, nullptr);
    ASSERT_EQ(alarms->count(), 1);
    EXPECT_EQ(alarms->item(0)->text(),
              QStringLiteral("Local <=40: 2025-12-08 23:04:33 to 2025-12-08 23:05:00 (27.0 s)"));
    auto* summary = window->findChild<QTableWidget*>(QStringLiteral("recordingSummary"));
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->item(0, 0)->text(), QStringLiteral("30 °C")) << "Local's minimum";
    EXPECT_EQ(summary->item(0, 2)->text(), QStringLiteral("49 °C")) << "Local's maximum";
    EXPECT_EQ(summary->item(0, 5)->text(), QStringLiteral("<=40: 27.0 s"));
    // The plots show the whole run, with the device change marked.
    auto* trends = dynamic_cast<TrendsView*>(window);
    ASSERT_NE(trends, nullptr);
    EXPECT_FALSE(trends->isFollowing());
    EXPECT_EQ(trends->marksShown(), QStringList{QStringLiteral("Device 0x50")});
    EXPECT_EQ(trends->points(Reading::Local).front().y(), 30);

    // File > Export Plot: the plots as drawn, and as SVG with the alarm and the mark.
    const QString png = QString::fromStdString((folder / "plots.png").string());
    const QString svg = QString::fromStdString((folder / "plots.svg").string());
    EXPECT_EQ(trends->exportPlots(png), QString());
    EXPECT_EQ(trends->exportPlots(svg), QString());
    EXPECT_EQ(QImage(png).size(), window->centralWidget()->size());
    std::ifstream in(svg.toStdString());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(text.starts_with("<?xml")) << text.substr(0, 80);
    EXPECT_EQ(std::count(text.begin(), text.end(), '<') - std::count(text.begin(), text.end(), '>'), 0);
    EXPECT_NE(text.find("Local &lt;=40 from"), std::string::npos) << "the alarm, shaded";
    EXPECT_NE(text.find("Device 0x50"), std::string::npos) << "the device change";
    EXPECT_NE(trends->exportPlots(QString::fromStdString((folder / "none" / "plots.svg").string())), QString())
        << "a folder that is not there is said";
    window->close();
}

TEST_F(TrendsAndRecording, OpenRecordingSaysWhyAFileIsNotOne)
{
    const auto other = folder / "other.csv";
    std::ofstream(other) << "Time,Temp\r\n1,2\r\n";
    boxes.answerNext(Answer::Enter);
    form->openRecording(QString::fromStdString(other.string()));
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_TRUE(boxes.seen()[0].text.contains(QStringLiteral("line 1: not a recording of this program's")))
        << boxes.seen()[0].text.toStdString();
    EXPECT_EQ(form->findChild<QMainWindow*>(QStringLiteral("recordedRun")), nullptr);
}

TEST_F(TrendsAndRecording, CompareWithLinesASecondRunUpAtItsStartAndSetsItsFiguresBeside)
{
    form->openRecording(QString::fromStdString(recordedMinute(folder)));
    auto* window = form->findChild<QMainWindow*>(QStringLiteral("recordedRun"));
    ASSERT_NE(window, nullptr);
    auto* trends = dynamic_cast<TrendsView*>(window);
    ASSERT_NE(trends, nullptr);
    // The same minute two hours later and 2 °C warmer.
    const std::string later = recordedMinute(folder, "warmer.csv", 2, 2);
    ASSERT_TRUE(compareRecordedRun(*trends, QString::fromStdString(later), true));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("minute.csv compared with warmer.csv — Corvane Bench"));
    auto* versus = window->findChild<QTableWidget*>(QStringLiteral("comparedSummary"));
    ASSERT_NE(versus, nullptr);
    EXPECT_EQ(versus->item(0, 0)->text(), QStringLiteral("32 °C")) << "Local's minimum, compared";
    EXPECT_EQ(versus->item(0, 3)->text(), QStringLiteral("2 °C")) << "its mean less this run's";
    // Lined up at its start, the warmer run's line lies over this run's minute.
    auto* chart = window->findChildren<QChartView*>().front()->chart();
    QLineSeries* dashed = nullptr;
    // Its first piece: the line is cut at the device change.
    for (QAbstractSeries* series : chart->series()) {
        if (!dashed && series->name() == QStringLiteral("Local (warmer.csv)"))
            dashed = qobject_cast<QLineSeries*>(series);
    }
    ASSERT_NE(dashed, nullptr);
    ASSERT_FALSE(dashed->points().isEmpty());
    EXPECT_EQ(dashed->points().front().y(), 32);
    EXPECT_LT(dashed->points().front().x(), 1'765'235'040'000.0 + 60'000) << "shifted onto the first run's minute";
    window->close();
}
