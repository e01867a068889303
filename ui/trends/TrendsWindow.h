#pragma once
// The readings against time: temperatures, fan speeds, and the supplies
// with the duty on an axis of its own, in three stacked plots that share one
// time axis at the bottom. It follows the run (its last ten minutes once it
// is that long) until the user pauses, zooms or scrolls back, and shows the
// values under the pointer with their time. A reading that was not read is
// a gap in its line, and a change of device or controller is marked.

#include "ui/trends/TrendsView.h"

#include <QMainWindow>
#include <QPointF>
#include <array>
#include <functional>
#include <vector>

class QAction;
class QCategoryAxis;
class QChart;
class QChartView;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLabel;
class QLineSeries;
class QValueAxis;

class TrendsWindow : public QMainWindow, public TrendsView {
    Q_OBJECT
public:
    using TrendsView::DefaultSpan;
    // At most this many points a series at any zoom: the mean of each step.
    static constexpr int PointsPerSeries = 300;

    explicit TrendsWindow(const SeriesSource& history, QWidget* parent = nullptr);

    QMainWindow* window() override { return this; }
    // Redrawn when following, once every ten polls: a second at 10 Hz.
    void historyGrew() override;

    bool isFollowing() const override { return following_; }
    History::Milliseconds span() const override { return span_; }
    History::Milliseconds rightEdge() const override { return end_; }
    QList<QPointF> points(Poll::Reading reading) const override;
    QList<QList<QPointF>> segments(Poll::Reading reading) const override;
    QStringList marksShown() const override;
    QString cursorText() const override;
    QStringList hiddenSeries() const override;
    void setHiddenSeries(const QStringList& names) override;
    void setSpan(History::Milliseconds span) override;
    void showWholeRun() override;
    QString exportPlots(const QString& path) const override;
    void compareWith(const SeriesSource* other, History::Milliseconds shift, const QString& name) override;
    void setShadedSpans(std::vector<ShadedSpan> spans) override;
    // The line the legend and the Series menu stand for.
    QLineSeries* series(Poll::Reading reading) const { return segments_[static_cast<std::size_t>(reading)].front(); }

    void pause();
    void follow();
    // Factor below 1 zooms in, above 1 out, about the middle.
    void zoom(double factor);
    // By a share of the span; negative is earlier.
    void scroll(double share);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Plot {
        QChart* chart = nullptr;
        QChartView* view = nullptr;
        QCategoryAxis* time = nullptr; // round times; labelled on the bottom plot only
        QValueAxis* values = nullptr;
        std::vector<Poll::Reading> autoRanged; // the readings on the left axis
        QGraphicsSimpleTextItem* empty = nullptr;
        // Device and controller changes: a line across the plot each, and
        // on the top plot its words above it.
        std::vector<QGraphicsLineItem*> markLines;
        std::vector<QGraphicsSimpleTextItem*> markLabels;
        std::vector<QGraphicsRectItem*> shades;
    };

    QChartView* addPlot(const QString& title, std::initializer_list<Poll::Reading> readings,
                        const QString& rightTitle = {}, std::initializer_list<Poll::Reading> rightReadings = {});
    QLineSeries* segment(Poll::Reading reading, std::size_t index);
    QLineSeries* comparedSegment(Poll::Reading reading, std::size_t index);
    // One reading's line from source, its times shifted by shift, in the
    // pieces segmentAt gives; how many pieces it took.
    std::size_t drawLine(const SeriesSource& source, History::Milliseconds shift, Poll::Reading reading,
                         History::Milliseconds from, History::Milliseconds to, History::Milliseconds step,
                         const std::function<QLineSeries*(std::size_t)>& segmentAt) const;
    void buildActions();
    void redraw();
    // The times shown: the span, or the run where it is shorter, up to the
    // right edge.
    std::pair<History::Milliseconds, History::Milliseconds> shownRange() const;
    void drawSeries(History::Milliseconds from, History::Milliseconds to);
    void drawTimeAxes(History::Milliseconds from, History::Milliseconds to);
    // Where the marks in the range shown fall, in each plot.
    void placeMarks();
    void placeShades();
    void rangeValueAxes();
    void placeEmptyNotes();
    void moveRightEdge(History::Milliseconds end);
    void showCursorAt(History::Milliseconds time);
    void updateStateText();
    void showSeriesOnOff(Poll::Reading reading);

    const SeriesSource& history_;
    bool following_ = true;
    History::Milliseconds span_ = DefaultSpan;
    History::Milliseconds end_ = 0; // the right edge while paused
    int pollsSinceRedraw_ = 0;
    // Each reading's line, cut where readings are missing: the first is the
    // one the legend shows, the others follow its pen and visibility.
    std::array<std::vector<QLineSeries*>, Poll::ReadingCount> segments_{};
    std::array<std::size_t, Poll::ReadingCount> segmentsUsed_{};
    std::array<std::size_t, Poll::ReadingCount> plotOf_{};
    std::vector<Plot> plots_;
    // What the axes show now, so they are redone only when it changes.
    std::pair<History::Milliseconds, History::Milliseconds> tickRange_{};
    bool redrawQueued_ = false; // after a resize, until the one redraw for all plots runs
    QStringList marksShown_;
    std::vector<ShadedSpan> shaded_;
    // A second run drawn dashed over the first, its times shifted onto the first's.
    const SeriesSource* compared_ = nullptr;
    History::Milliseconds comparedShift_ = 0;
    QString comparedName_;
    std::array<std::vector<QLineSeries*>, Poll::ReadingCount> comparedSegments_{};
    QLabel* cursor_ = nullptr;
    QLabel* state_ = nullptr;
    QAction* pauseAction_ = nullptr;
    QAction* followAction_ = nullptr;
    std::array<QAction*, Poll::ReadingCount> seriesActions_{};
    int dragX_ = -1;
};
