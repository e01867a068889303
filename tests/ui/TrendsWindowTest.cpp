// The Trends window on the simulated chip with its readings held: its
// series hold what the main window shows, and its range is paused, zoomed,
// scrolled and followed by keyboard and mouse.

#include "HeldSimulatedForm.h"
#include "ui/TrendsWindow.h"

#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QAccessible>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

using Poll::Reading;

class Trends : public HeldSimulatedForm {};

TEST_F(Trends, TrendsPlotWhatTheWindowShows)
{
    ticks(5);
    auto* trends = new TrendsWindow(form->history(), form.get());
    trends->show();
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

TEST_F(Trends, RangeIsPausedZoomedAndFollowedByKeyboardAndMouse)
{
    // Half an hour of history before the window's own polls.
    const auto halfAnHourAgo = std::chrono::system_clock::now() - std::chrono::minutes(30);
    for (int i = 0; i < 18'000; ++i) {
        PollResult poll;
        poll.time = halfAnHourAgo + std::chrono::milliseconds(100 * i);
        form->history().add(poll, false);
    }
    ticks(3);
    auto* trends = new TrendsWindow(form->history(), form.get());
    trends->show();
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
    // What the readout says is what a screen reader reads.
    auto* readout = trends->findChild<QLabel*>(QStringLiteral("cursorReadout"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(readout)->text(QAccessible::Name), readout->text());
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

} // namespace
