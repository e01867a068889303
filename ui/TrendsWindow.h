#pragma once
// The readings against time: temperatures, fan speeds, and the supplies with
// the duty, in three stacked plots that share the time axis. It follows the
// last ten minutes until the user pauses, zooms or scrolls back, and shows
// the values under the mouse with their time.

#include "TrendsView.h"

#include <QMainWindow>
#include <QPointF>
#include <array>

class QAction;
class QChart;
class QChartView;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QValueAxis;

class TrendsWindow : public QMainWindow, public TrendsView {
    Q_OBJECT
public:
    using TrendsView::DefaultSpan;
    // At most this many points a series at any zoom: the mean of each step.
    static constexpr int PointsPerSeries = 300;

    explicit TrendsWindow(const History& history, QWidget* parent = nullptr);

    QMainWindow* window() override { return this; }
    // Redrawn when following, once every ten polls: a second at 10 Hz.
    void historyGrew() override;

    bool isFollowing() const override { return following_; }
    History::Milliseconds span() const override { return span_; }
    History::Milliseconds rightEdge() const override { return end_; }
    QList<QPointF> points(Poll::Reading reading) const override;
    QString cursorText() const override;
    QLineSeries* series(Poll::Reading reading) const { return series_[static_cast<std::size_t>(reading)]; }

    void pause();
    void follow();
    // Factor below 1 zooms in, above 1 out, about the middle.
    void zoom(double factor);
    // By a share of the span; negative is earlier.
    void scroll(double share);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QChartView* addPlot(const QString& name, const QString& unit, std::initializer_list<Poll::Reading> readings,
                        std::initializer_list<Poll::Reading> rightAxisReadings = {}, const QString& rightUnit = {});
    void buildActions();
    void redraw();
    void moveRightEdge(History::Milliseconds end);
    void showCursorAt(History::Milliseconds time);
    void updateStateText();

    const History& history_;
    bool following_ = true;
    History::Milliseconds span_ = DefaultSpan;
    History::Milliseconds end_ = 0; // the right edge while paused
    int pollsSinceRedraw_ = 0;
    std::array<QLineSeries*, Poll::ReadingCount> series_{};
    std::vector<QChart*> charts_;
    std::vector<QDateTimeAxis*> timeAxes_;
    std::vector<std::pair<QValueAxis*, std::vector<Poll::Reading>>> valueAxes_;
    QLabel* cursor_ = nullptr;
    QLabel* state_ = nullptr;
    QAction* pauseAction_ = nullptr;
    QAction* followAction_ = nullptr;
    std::array<QAction*, Poll::ReadingCount> seriesActions_{};
    int dragX_ = -1;
};
