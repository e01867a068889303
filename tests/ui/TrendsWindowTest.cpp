// The Trends window on the simulated chip with its readings held: its
// series hold what the main window shows, and its range is paused, zoomed,
// scrolled and followed by keyboard and mouse.

#include "HeldSimulatedForm.h"
#include "ui/trends/TrendsWindow.h"

#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QAbstractAxis>
#include <QAccessible>
#include <cmath>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

using Poll::Reading;

class Trends : public HeldSimulatedForm {};

TEST_F(Trends, TrendsPlotWhatTheWindowShows)
{
    ticks(5);
    auto* trends = new TrendsWindow(form->session().history(), form.get());
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
        EXPECT_LE(form->session().history().last() - points.back().x(), 1000) << "the last point is the latest poll's second";
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
        form->session().history().add(poll, false);
    }
    ticks(3);
    auto* trends = new TrendsWindow(form->session().history(), form.get());
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

// A poll whose reads failed is a gap: the line stops and starts again, one
// piece a run of readings; and a change of device is marked on the time
// axis and breaks the line, so the other device's values are not read as
// the chip's.
TEST(TrendsOfARun, MissingReadingsSplitTheLineAndADeviceChangeIsMarked)
{
    History history;
    const auto start = std::chrono::system_clock::now() - std::chrono::seconds(60);
    const auto at = [&](int tenths, std::uint8_t device, bool answered) {
        PollResult poll;
        poll.time = start + std::chrono::milliseconds(100 * tenths);
        poll.device = device;
        poll.bytes[1] = 0x27; // local 39 °C
        poll.failedReads = answered ? 0 : 0x3FFF;
        history.add(poll, false);
    };
    // 10 s answered, 12 s of silence, 10 s answered, then 10 s of another
    // device that answers.
    int t = 0;
    for (; t < 100; ++t)
        at(t, 0x2E, true);
    for (; t < 220; ++t)
        at(t, 0x48, false);
    for (; t < 320; ++t)
        at(t, 0x2E, true);
    for (; t < 420; ++t)
        at(t, 0x50, true);
    TrendsWindow trends(history);
    trends.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&trends));
    QCoreApplication::processEvents();
    const auto pieces = trends.segments(Reading::Local);
    ASSERT_EQ(pieces.size(), 3) << "0x2E's readings, 0x2E's after the gap, then 0x50's";
    for (const auto& piece : pieces)
        EXPECT_FALSE(piece.isEmpty());
    const qreal change = static_cast<qreal>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                (start + std::chrono::milliseconds(100 * 320)).time_since_epoch())
                                                .count());
    EXPECT_LT(pieces[1].back().x(), change);
    EXPECT_GE(pieces[2].front().x(), change);
    EXPECT_EQ(trends.marksShown(), (QStringList{"Device 0x48", "Device 0x2E", "Device 0x50"}));
}

// The readout says what lies under the pointer, and however long that is,
// the window's width is the user's: it wraps, and the whole is in a tooltip.
TEST(TrendsOfARun, TheLongestReadoutLeavesTheWindowsWidthAlone)
{
    History history;
    const auto start = std::chrono::system_clock::now() - std::chrono::seconds(30);
    for (int t = 0; t < 300; ++t) {
        PollResult poll;
        poll.time = start + std::chrono::milliseconds(100 * t);
        poll.bytes = {0x7F, 0x7F, 0x7F, 1, 0, 1, 0, 1, 0, 1, 0, 0xFF, 0xFF, 0xFF}; // the widest numbers there are
        history.add(poll, true);
    }
    TrendsWindow trends(history);
    trends.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&trends));
    const int minimum = trends.minimumSizeHint().width();
    const int width = trends.width();
    auto* view = trends.findChild<QChartView*>(QStringLiteral("Temperatures"));
    const QPoint middle = view->viewport()->rect().center();
    QTest::mouseMove(view->viewport(), middle);
    QCoreApplication::processEvents();
    EXPECT_TRUE(trends.cursorText().contains("Fan1 5400000 rpm")) << trends.cursorText().toStdString();
    EXPECT_EQ(trends.minimumSizeHint().width(), minimum);
    EXPECT_EQ(trends.width(), width);
    // Outside a plot area there is no time to read: the readout stays.
    const QString before = trends.cursorText();
    QTest::mouseMove(view->viewport(), QPoint(view->viewport()->width() - 5, middle.y()));
    EXPECT_EQ(trends.cursorText(), before) << "pointing at the legend reads nothing";
}

// In a dark theme the plots take the palette's colours: axis text and
// legend names stand out from the chart's background by 4.5:1 at least.
TEST(TrendsOfARun, TheAxesReadInADarkTheme)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](int value) {
            const double v = value / 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    const auto contrast = [&](const QColor& a, const QColor& b) {
        const double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    };
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Mid, QColor(90, 90, 95));
    QApplication::setPalette(dark);
    History history;
    TrendsWindow trends(history);
    for (QChartView* view : trends.findChildren<QChartView*>()) {
        const QColor ground = view->chart()->backgroundBrush().color();
        EXPECT_LT(ground.lightness(), 128) << "a dark chart in a dark theme";
        for (QAbstractAxis* axis : view->chart()->axes()) {
            EXPECT_GE(contrast(axis->labelsBrush().color(), ground), 4.5);
            EXPECT_GE(contrast(axis->titleBrush().color(), ground), 4.5);
        }
        EXPECT_GE(contrast(view->chart()->legend()->labelColor(), ground), 4.5);
    }
    QApplication::setPalette(before);
}

} // namespace
