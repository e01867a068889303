// The menu bar's new windows on the simulated chip with its readings held:
// the Trends window's series and range, and recording from the File menu.

#include "UserInput.h"
#include "bus/SimulatedBus.h"
#include "chip/ValueText.h"
#include "support/MessageBoxAnswerer.h"
#include "ui/TrendsWindow.h"

#include <QChartView>
#include <QComboBox>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenuBar>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace {

using Poll::Reading;
using Answer = MessageBoxAnswerer::Answer;

class TrendsAndRecording : public testing::Test {
protected:
    void SetUp() override
    {
        bus.holdReadings();
        form = std::make_unique<Form1>(bus);
        ASSERT_TRUE(QTest::qWaitFor([this] { return form->hasStarted(); }, 5000));
        form->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        form.reset();
        std::filesystem::remove_all(folder);
    }

    void ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            form->Timer1_Timer();
            ASSERT_TRUE(settleBus());
        }
    }

    double shown(const QLabel* label) const { return RegisterMap::decimalValue(label->text().toStdString()); }

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

    double now = 0;
    SimulatedBus bus{[this] { return now; }, [] { return 0.0; }};
    MessageBoxAnswerer boxes;
    std::unique_ptr<Form1> form;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("corvane-rec-" + std::to_string(std::random_device{}()));
};

TEST_F(TrendsAndRecording, TrendsPlotWhatTheWindowShows)
{
    ticks(5);
    QTest::keyClick(form.get(), Qt::Key_T, Qt::ControlModifier);
    auto* trends = form->findChild<TrendsWindow*>();
    ASSERT_NE(trends, nullptr) << "Ctrl+T opens the Trends window";
    ASSERT_TRUE(QTest::qWaitForWindowExposed(trends));

    const auto& c = form->controls();
    const std::pair<Reading, const QLabel*> expected[] = {
        {Reading::Local, c.lblTemp[1]}, {Reading::Remote1, c.lblTemp[0]}, {Reading::Fan2, c.lblFanSpeed[1]},
        {Reading::Vcc, c.lblVcc},       {Reading::Vccp, c.lblVccp},      {Reading::Duty, c.lblDutyCycle},
    };
    for (const auto& [reading, label] : expected) {
        const QList<QPointF> points = trends->points(reading);
        ASSERT_FALSE(points.isEmpty()) << label->objectName().toStdString();
        for (const QPointF& point : points)
            EXPECT_NEAR(point.y(), shown(label), 1e-4) << label->objectName().toStdString();
        EXPECT_LE(form->history().last() - points.back().x(), 1000) << "the last point is the latest poll's second";
    }
    EXPECT_TRUE(trends->points(Reading::Fan4).isEmpty() || trends->points(Reading::Fan4).front().y() == 0);
}

TEST_F(TrendsAndRecording, RangeIsPausedZoomedAndFollowedByKeyboardAndMouse)
{
    // Half an hour of history before the window's own polls.
    const auto halfAnHourAgo = std::chrono::system_clock::now() - std::chrono::minutes(30);
    for (int i = 0; i < 18'000; ++i) {
        PollResult poll;
        poll.time = halfAnHourAgo + std::chrono::milliseconds(100 * i);
        form->history().add(poll, false);
    }
    ticks(3);
    TrendsWindow* trends = form->showTrends();
    // The offscreen platform leaves the main window active.
    QApplication::setActiveWindow(trends);
    ASSERT_TRUE(QTest::qWaitForWindowActive(trends));
    EXPECT_TRUE(trends->isFollowing());
    EXPECT_EQ(trends->span(), TrendsWindow::DefaultSpan);

    QTest::keyClick(trends, Qt::Key_Plus);
    EXPECT_EQ(trends->span(), TrendsWindow::DefaultSpan / 2);
    EXPECT_TRUE(trends->isFollowing()) << "zooming keeps following";
    QTest::keyClick(trends, Qt::Key_Space);
    EXPECT_FALSE(trends->isFollowing());
    QTest::keyClick(trends, Qt::Key_End);
    EXPECT_TRUE(trends->isFollowing());
    QTest::keyClick(trends, Qt::Key_Left);
    EXPECT_FALSE(trends->isFollowing()) << "scrolling back pauses";
    QTest::keyClick(trends, Qt::Key_End);

    // The wheel zooms about the pointer and pauses; a drag scrolls.
    auto* view = trends->findChild<QChartView*>(QStringLiteral("Temperatures"));
    ASSERT_NE(view, nullptr);
    const QPoint middle = view->viewport()->rect().center();
    QWheelEvent wheel(middle, view->viewport()->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(trends->span(), TrendsWindow::DefaultSpan / 4);
    EXPECT_FALSE(trends->isFollowing());
    const auto edge = trends->rightEdge();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, middle);
    QTest::mouseMove(view->viewport(), middle + QPoint(100, 0));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, middle + QPoint(100, 0));
    EXPECT_LT(trends->rightEdge(), edge) << "dragging right shows earlier times";
    EXPECT_FALSE(trends->cursorText().isEmpty());
    QTest::keyClick(trends, Qt::Key_End);
    EXPECT_TRUE(trends->isFollowing());

    // A legend entry switches its series off and on.
    QLineSeries* local = trends->series(Reading::Local);
    QLegendMarker* marker = local->chart()->legend()->markers(local).front();
    emit marker->clicked();
    EXPECT_FALSE(local->isVisible());
    emit marker->clicked();
    EXPECT_TRUE(local->isVisible());
}

TEST_F(TrendsAndRecording, RecordsFromTheFileMenuAndStops)
{
    const auto file = folder / "run.csv";
    answerRecordDialog(file, QStringLiteral("Every poll (0.1 s)"));
    QTest::keyClick(form.get(), Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_R);
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->isRecording(); }, 5000));
    ticks(3);
    EXPECT_TRUE(form->recordingText().startsWith("Recording run.csv: ")) << form->recordingText().toStdString();
    form->stopRecording();
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
    const auto polls = form->pollCount();
    QTest::qWait(1100); // the file is looked at once a second
    ticks(3);
    EXPECT_FALSE(form->isRecording());
    EXPECT_TRUE(form->recordingText().startsWith("Recording stopped: ")) << form->recordingText().toStdString();
    EXPECT_TRUE(form->recordingText().contains("was removed. 2 rows are in run.csv"));
    EXPECT_EQ(form->pollCount(), polls + 3) << "the window keeps polling";

    // A full disk: the first row finds it.
    boxes.answerNext(Answer::ClickYes); // "/dev/full exists. Replace it?"
    ASSERT_TRUE(form->startRecording(QStringLiteral("/dev/full"), CsvRecorder::Interval(0)));
    ticks(2);
    EXPECT_FALSE(form->isRecording());
    EXPECT_EQ(form->recordingText(), "Recording stopped: /dev/full: No space left on device. 0 rows are in full.");
    EXPECT_EQ(form->pollCount(), polls + 5);
}

} // namespace
