#include "TrendsWindow.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenuBar>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QToolBar>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>

using Poll::Reading;

namespace {

struct Look {
    const char* name;
    const char* unit;
    QColor colour;
};

// Green for temperatures, red for fans, blue for the supplies, as in the
// main window; the duty in a dashed slate blue beside the supplies.
const std::array<Look, Poll::ReadingCount> Looks = {{
    {"Remote1", "°C", QColor(0, 160, 0)},
    {"Local", "°C", QColor(0, 96, 0)},
    {"Remote2", "°C", QColor(100, 210, 100)},
    {"Fan1", "rpm", QColor(192, 0, 0)},
    {"Fan2", "rpm", QColor(240, 90, 60)},
    {"Fan3", "rpm", QColor(120, 0, 0)},
    {"Fan4", "rpm", QColor(230, 140, 160)},
    {"Vcc", "V", QColor(0, 0, 192)},
    {"Vccp", "V", QColor(70, 130, 255)},
    {"Duty", "%", QColor(90, 90, 150)},
}};

constexpr History::Milliseconds ShortestSpan = 10'000;

qint64 wallClockMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString valueText(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

TrendsWindow::TrendsWindow(const History& history, QWidget* parent) : QMainWindow(parent), history_(history)
{
    setObjectName(QStringLiteral("trendsWindow"));
    setWindowTitle(QStringLiteral("Trends - Corvane Bench"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    state_ = new QLabel(central);
    state_->setObjectName(QStringLiteral("trendsState"));
    layout->addWidget(state_);
    layout->addWidget(addPlot(QStringLiteral("Temperatures"), QStringLiteral("°C"),
                              {Reading::Local, Reading::Remote1, Reading::Remote2}),
                      1);
    layout->addWidget(addPlot(QStringLiteral("Fan speeds"), QStringLiteral("rpm"),
                              {Reading::Fan1, Reading::Fan2, Reading::Fan3, Reading::Fan4}),
                      1);
    layout->addWidget(addPlot(QStringLiteral("Supplies and duty"), QStringLiteral("V"), {Reading::Vcc, Reading::Vccp},
                              {Reading::Duty}, QStringLiteral("%")),
                      1);
    cursor_ = new QLabel(central);
    cursor_->setObjectName(QStringLiteral("cursorReadout"));
    // Described, not named: a label's name would replace its text.
    cursor_->setAccessibleDescription(QStringLiteral("Values under the cursor"));
    cursor_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cursor_->setText(QStringLiteral("Point at a plot to read its values."));
    layout->addWidget(cursor_);
    setCentralWidget(central);
    buildActions();
    resize(900, 720);
    redraw();
}

QChartView* TrendsWindow::addPlot(const QString& name, const QString& unit, std::initializer_list<Reading> readings,
                                  std::initializer_list<Reading> rightAxisReadings, const QString& rightUnit)
{
    auto* chart = new QChart;
    chart->setMargins(QMargins(4, 2, 4, 2));
    // Placed by hand beside the plot, whose area is fixed so that the three
    // plots line up.
    chart->legend()->detachFromChart();
    chart->legend()->setAlignment(Qt::AlignRight);
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("HH:mm:ss"));
    time->setTickCount(7);
    chart->addAxis(time, Qt::AlignBottom);
    timeAxes_.push_back(time);

    const auto addSeries = [&](std::initializer_list<Reading> group, const QString& groupUnit, Qt::Alignment side) {
        if (group.size() == 0)
            return;
        auto* values = new QValueAxis;
        values->setTitleText(groupUnit);
        values->setLabelFormat(QStringLiteral("%.4g"));
        chart->addAxis(values, side);
        valueAxes_.push_back({values, std::vector<Reading>(group)});
        for (const Reading reading : group) {
            const Look& look = Looks[static_cast<std::size_t>(reading)];
            auto* line = new QLineSeries;
            line->setName(QString::fromUtf8(look.name));
            QPen pen(look.colour, 1.5);
            if (reading == Reading::Duty)
                pen.setStyle(Qt::DashLine);
            line->setPen(pen);
            chart->addSeries(line);
            line->attachAxis(time);
            line->attachAxis(values);
            series_[static_cast<std::size_t>(reading)] = line;
        }
    };
    addSeries(readings, QStringLiteral("%1 (%2)").arg(name, unit), Qt::AlignLeft);
    addSeries(rightAxisReadings, rightUnit, Qt::AlignRight);

    // A click on a legend entry switches its series off and on.
    for (QLegendMarker* marker : chart->legend()->markers()) {
        connect(marker, &QLegendMarker::clicked, this, [marker] {
            QAbstractSeries* series = marker->series();
            series->setVisible(!series->isVisible());
            marker->setVisible(true);
            QColor label = marker->labelBrush().color();
            label.setAlphaF(series->isVisible() ? 1.0 : 0.4);
            marker->setLabelBrush(label);
        });
    }
    charts_.push_back(chart);
    auto* view = new QChartView(chart);
    view->setObjectName(name);
    view->setAccessibleName(name);
    view->setRenderHint(QPainter::Antialiasing, false);
    view->setMouseTracking(true);
    view->viewport()->setMouseTracking(true);
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this);
    return view;
}

void TrendsWindow::buildActions()
{
    auto* bar = addToolBar(QStringLiteral("Range"));
    bar->setObjectName(QStringLiteral("rangeBar"));
    QMenu* range = menuBar()->addMenu(QStringLiteral("&Range"));
    const auto add = [&](const QString& text, QKeySequence key, auto slot) {
        auto* action = new QAction(text, this);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        bar->addAction(action);
        range->addAction(action);
        return action;
    };
    pauseAction_ = add(QStringLiteral("&Pause"), QKeySequence(Qt::Key_Space), [this] { pause(); });
    followAction_ = add(QStringLiteral("&Follow"), QKeySequence(Qt::Key_End), [this] { follow(); });
    add(QStringLiteral("Zoom &In"), QKeySequence(Qt::Key_Plus), [this] { zoom(0.5); });
    add(QStringLiteral("Zoom &Out"), QKeySequence(Qt::Key_Minus), [this] { zoom(2.0); });
    add(QStringLiteral("&Earlier"), QKeySequence(Qt::Key_Left), [this] { scroll(-0.25); });
    add(QStringLiteral("&Later"), QKeySequence(Qt::Key_Right), [this] { scroll(0.25); });

    // Every series can be switched from the keyboard too.
    QMenu* shown = menuBar()->addMenu(QStringLiteral("&Series"));
    for (int r = 0; r < Poll::ReadingCount; ++r) {
        QLineSeries* line = series_[static_cast<std::size_t>(r)];
        auto* action = shown->addAction(line->name());
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, line, &QLineSeries::setVisible);
        connect(line, &QLineSeries::visibleChanged, action, [action, line] { action->setChecked(line->isVisible()); });
        seriesActions_[static_cast<std::size_t>(r)] = action;
    }
}

void TrendsWindow::historyGrew()
{
    // Counted in polls, not in wall-clock time, so the cost per tick is the
    // same on any machine.
    if (!following_ || !isVisible() || ++pollsSinceRedraw_ < 10)
        return;
    redraw();
}

void TrendsWindow::pause()
{
    if (!following_)
        return;
    following_ = false;
    end_ = history_.empty() ? wallClockMs() : history_.last();
    redraw();
}

void TrendsWindow::follow()
{
    following_ = true;
    redraw();
}

void TrendsWindow::zoom(double factor)
{
    const History::Milliseconds whole =
        std::max<History::Milliseconds>(DefaultSpan, history_.empty() ? 0 : history_.last() - history_.first());
    const History::Milliseconds middle = (following_ ? history_.last() : end_) - span_ / 2;
    span_ = std::clamp<History::Milliseconds>(static_cast<History::Milliseconds>(span_ * factor), ShortestSpan, whole);
    if (!following_)
        end_ = middle + span_ / 2;
    redraw();
}

void TrendsWindow::scroll(double share)
{
    pause();
    moveRightEdge(end_ + static_cast<History::Milliseconds>(span_ * share));
}

void TrendsWindow::moveRightEdge(History::Milliseconds end)
{
    // Never so far back that the run's start leaves the left half, nor past its end.
    const History::Milliseconds earliest = history_.empty() ? end : history_.first() + span_ / 2;
    const History::Milliseconds latest = history_.empty() ? end : history_.last();
    end_ = std::clamp<History::Milliseconds>(end, std::min(earliest, latest), latest);
    redraw();
}

QList<QPointF> TrendsWindow::points(Reading reading) const
{
    return series(reading)->points();
}

QString TrendsWindow::cursorText() const
{
    return cursor_->text();
}

void TrendsWindow::redraw()
{
    pollsSinceRedraw_ = 0;
    const History::Milliseconds to = following_ ? (history_.empty() ? wallClockMs() : history_.last()) : end_;
    const History::Milliseconds from = to - span_;
    const History::Milliseconds step = std::max<History::Milliseconds>(100, span_ / PointsPerSeries);
    for (int r = 0; r < Poll::ReadingCount; ++r) {
        QList<QPointF> points;
        for (const History::Point& p : history_.series(static_cast<Reading>(r), from, to, step))
            points.append(QPointF(static_cast<qreal>(p.time), p.value));
        series_[static_cast<std::size_t>(r)]->replace(points);
    }
    for (QDateTimeAxis* axis : timeAxes_)
        axis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    for (auto& [axis, readings] : valueAxes_) {
        double low = 0, high = 0;
        bool any = false;
        for (const Reading reading : readings) {
            for (const QPointF& p : series_[static_cast<std::size_t>(reading)]->points()) {
                low = any ? std::min(low, p.y()) : p.y();
                high = any ? std::max(high, p.y()) : p.y();
                any = true;
            }
        }
        const double pad = std::max(1e-3, (high - low) * 0.1 + (high == low ? std::abs(high) * 0.05 + 1 : 0));
        // Speeds, supplies and duty are never negative: no axis below zero for them.
        const double floor = low >= 0 ? 0 : low - pad;
        const double from = any ? std::max(floor, low - pad) : 0, to = any ? high + pad : 1;
        // A new range re-lays the whole plot out: only when the data left it
        // or no longer fills half of it.
        const bool inside = from >= axis->min() && to <= axis->max();
        const bool filled = (to - from) * 2 >= axis->max() - axis->min();
        if (!inside || !filled) {
            axis->setRange(from, to);
            axis->applyNiceNumbers();
        }
    }
    updateStateText();
}

void TrendsWindow::updateStateText()
{
    const auto minutes = span_ / 60000.0;
    const QString length = minutes >= 1 ? QStringLiteral("%1 min").arg(valueText(minutes))
                                        : QStringLiteral("%1 s").arg(span_ / 1000);
    if (following_) {
        state_->setText(QStringLiteral("Following the last %1").arg(length));
    } else {
        const auto at = [](History::Milliseconds t) {
            return QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss"));
        };
        state_->setText(QStringLiteral("Paused: %1 to %2 (%3)").arg(at(end_ - span_), at(end_), length));
    }
    pauseAction_->setEnabled(following_);
    followAction_->setEnabled(!following_);
}

void TrendsWindow::showCursorAt(History::Milliseconds time)
{
    const auto values = history_.at(time, std::max<History::Milliseconds>(100, span_ / PointsPerSeries));
    if (!values) {
        cursor_->setText(QStringLiteral("No reading at %1")
                             .arg(QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("HH:mm:ss.z"))));
        return;
    }
    QStringList parts{QDateTime::fromMSecsSinceEpoch(values->time).toString(QStringLiteral("HH:mm:ss.z"))};
    for (int r = 0; r < Poll::ReadingCount; ++r) {
        const Look& look = Looks[static_cast<std::size_t>(r)];
        const auto& value = values->readings[static_cast<std::size_t>(r)];
        parts << QStringLiteral("%1 %2").arg(QString::fromUtf8(look.name),
                                             value ? valueText(*value) + QLatin1Char(' ') + QString::fromUtf8(look.unit)
                                                   : QStringLiteral("-"));
    }
    cursor_->setText(parts.join(QStringLiteral(" · ")));
}

bool TrendsWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The three plots share one time axis, so their plot areas line up: the
    // same margins in each, wide enough for the axes' labels on both sides.
    if (auto* resized = qobject_cast<QChartView*>(watched); resized && event->type() == QEvent::Resize) {
        const QSizeF size = static_cast<QResizeEvent*>(event)->size();
        constexpr qreal Left = 78, Right = 190, Top = 12, Bottom = 28, AxisRoom = 70;
        const qreal width = std::max<qreal>(10, size.width() - Left - Right);
        const qreal height = std::max<qreal>(10, size.height() - Top - Bottom);
        resized->chart()->setPlotArea(QRectF(Left, Top, width, height));
        resized->chart()->legend()->setGeometry(QRectF(Left + width + AxisRoom, Top, Right - AxisRoom, height));
        return false;
    }
    auto* view = qobject_cast<QChartView*>(watched->parent());
    if (!view)
        return QMainWindow::eventFilter(watched, event);
    const auto timeAt = [view](QPointF position) {
        return static_cast<History::Milliseconds>(
            view->chart()->mapToValue(view->chart()->mapFromScene(view->mapToScene(position.toPoint()))).x());
    };
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        if (dragX_ >= 0) {
            const double width = view->chart()->plotArea().width();
            if (width > 0)
                scroll((dragX_ - move->position().x()) / width);
            dragX_ = static_cast<int>(move->position().x());
        }
        showCursorAt(timeAt(move->position()));
        return false;
    }
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            dragX_ = static_cast<int>(static_cast<QMouseEvent*>(event)->position().x());
        return false;
    case QEvent::MouseButtonRelease:
        dragX_ = -1;
        return false;
    case QEvent::Wheel: {
        // The wheel zooms about the time under the pointer.
        auto* wheel = static_cast<QWheelEvent*>(event);
        const History::Milliseconds at = timeAt(wheel->position());
        const History::Milliseconds right = following_ ? history_.last() : end_;
        const double factor = wheel->angleDelta().y() > 0 ? 0.5 : 2.0;
        pause();
        const History::Milliseconds oldSpan = span_;
        zoom(factor);
        moveRightEdge(at + static_cast<History::Milliseconds>((right - at) * (double(span_) / double(oldSpan))));
        return true;
    }
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}
