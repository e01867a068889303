#include "ui/trends/TrendsWindow.h"
#include "recording/SvgPlot.h"

#include <QAction>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QFileDialog>
#include <QGraphicsLineItem>
#include <QMessageBox>
#include <QSaveFile>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
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
#include <vector>

using Poll::Reading;

namespace {

struct Look {
    const char* name;
    const char* unit;
    QColor colour;
    Qt::PenStyle dash;
};

// The main window's families, green for temperatures, red for fans, blue
// for the supplies, told apart within a family by lightness and by dash:
// the solid line is the darkest.
const std::array<Look, Poll::ReadingCount> Looks = {{
    {"Remote1", "°C", QColor(0, 160, 0), Qt::DashLine},
    {"Local", "°C", QColor(0, 90, 0), Qt::SolidLine},
    {"Remote2", "°C", QColor(110, 200, 110), Qt::DotLine},
    {"Fan1", "rpm", QColor(150, 0, 0), Qt::SolidLine},
    {"Fan2", "rpm", QColor(215, 60, 40), Qt::DashLine},
    {"Fan3", "rpm", QColor(240, 140, 120), Qt::DotLine},
    {"Fan4", "rpm", QColor(120, 40, 90), Qt::DashDotLine},
    {"Vcc", "V", QColor(0, 0, 170), Qt::SolidLine},
    {"Vccp", "V", QColor(90, 130, 240), Qt::DashLine},
    {"Duty", "%", QColor(110, 110, 150), Qt::DashDotDotLine},
}};

// The plots from top to bottom, and their readings in the order of their
// legends, are the main window's order; the Series menu lists them so too.
constexpr const auto& PlotOrder = Poll::ListedOrder;

constexpr History::Milliseconds ShortestSpan = 10'000;
// One format for every time the window writes: the readout's, the ticks'.
const QString TimeFormat = QStringLiteral("HH:mm:ss");

// Room around each plot area: the value axis and its title on the left,
// the duty's axis and the legend on the right, a tick label's half above.
constexpr qreal LeftRoom = 78, RightRoom = 200, AxisRoom = 72, TopRoom = 20, BottomRoom = 30, InnerBottom = 8;

const Look& lookOf(Reading reading) { return Looks[static_cast<std::size_t>(reading)]; }

qint64 wallClockMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// A reading as the main window writes it: whole degrees, rpm and percent,
// volts to two places; never in exponent form.
QString readingText(Reading reading, double value)
{
    const bool volts = reading == Reading::Vcc || reading == Reading::Vccp;
    return QString::number(value, 'f', volts ? 2 : 0);
}

QString timeText(History::Milliseconds time)
{
    return QDateTime::fromMSecsSinceEpoch(time).toString(TimeFormat);
}

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

// The line's colour, lightened on a dark background so the darkest of a
// family still shows.
QColor lineColour(Reading reading, const QPalette& palette)
{
    const QColor colour = lookOf(reading).colour;
    return isDark(palette) ? colour.lighter(190) : colour;
}

// Round steps for the time axis: 1, 2, 5, 10, 15, 30 s, 1, 2, 5 … minutes,
// hours, a day.
constexpr History::Milliseconds TimeSteps[] = {1'000,     2'000,     5'000,      10'000,     15'000,    30'000,
                                               60'000,    120'000,   300'000,    600'000,    900'000,   1'800'000,
                                               3'600'000, 7'200'000, 10'800'000, 21'600'000, 43'200'000, 86'400'000};

History::Milliseconds timeStep(History::Milliseconds span, int mostTicks)
{
    for (const History::Milliseconds step : TimeSteps) {
        if (span / step <= mostTicks)
            return step;
    }
    return TimeSteps[std::size(TimeSteps) - 1];
}

// Removes every category of an axis.
void clearCategories(QCategoryAxis* axis)
{
    for (const QString& label : axis->categoriesLabels())
        axis->remove(label);
}

} // namespace

TrendsWindow::TrendsWindow(const SeriesSource& history, QWidget* parent) : QMainWindow(parent), history_(history)
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
    layout->addWidget(addPlot(QStringLiteral("Temperatures (°C)"), {Reading::Local, Reading::Remote1, Reading::Remote2}),
                      1);
    layout->addWidget(
        addPlot(QStringLiteral("Fan speeds (rpm)"), {Reading::Fan1, Reading::Fan2, Reading::Fan3, Reading::Fan4}), 1);
    layout->addWidget(addPlot(QStringLiteral("Supplies (V)"), {Reading::Vcc, Reading::Vccp},
                              QStringLiteral("Duty (%)"), {Reading::Duty}),
                      1);
    cursor_ = new QLabel(central);
    cursor_->setObjectName(QStringLiteral("cursorReadout"));
    // Described, not named: a label's name would replace its text.
    cursor_->setAccessibleDescription(QStringLiteral("Values under the pointer"));
    cursor_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Wrapped within the window's width and two lines high whatever it
    // says: the readout never widens the window nor moves the plots.
    cursor_->setWordWrap(true);
    cursor_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    cursor_->setFixedHeight(cursor_->fontMetrics().lineSpacing() * 2 + 4);
    cursor_->setText(QStringLiteral("Point at a plot to read its values."));
    layout->addWidget(cursor_);
    setCentralWidget(central);
    buildActions();
    setMinimumSize(640, 480);
    resize(900, 720);
    redraw();
}

QChartView* TrendsWindow::addPlot(const QString& title, std::initializer_list<Reading> readings,
                                  const QString& rightTitle, std::initializer_list<Reading> rightReadings)
{
    const QPalette colours = palette();
    auto* chart = new QChart;
    // The theme first: it sets every colour it knows, and those it gets
    // wrong for the desktop's palette are set after it.
    chart->setTheme(isDark(colours) ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart->setBackgroundBrush(colours.base());
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->legend()->detachFromChart();
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setLabelColor(colours.color(QPalette::Text));
    const auto style = [&colours](QAbstractAxis* axis) {
        axis->setLabelsBrush(colours.text());
        axis->setTitleBrush(colours.text());
        axis->setGridLineColor(colours.color(QPalette::Mid));
        axis->setLinePenColor(colours.color(QPalette::Mid));
    };

    Plot plot;
    plot.chart = chart;
    plot.time = new QCategoryAxis;
    plot.time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    style(plot.time);
    chart->addAxis(plot.time, Qt::AlignBottom);
    plot.values = new QValueAxis;
    plot.values->setTitleText(title);
    plot.values->setLabelFormat(QStringLiteral("%.4g"));
    style(plot.values);
    chart->addAxis(plot.values, Qt::AlignLeft);
    plot.autoRanged.assign(readings.begin(), readings.end());
    QValueAxis* right = nullptr;
    if (rightReadings.size() > 0) {
        // A percentage never shares volts' axis: its own, fixed.
        right = new QValueAxis;
        right->setTitleText(rightTitle);
        right->setRange(0, 100);
        right->setLabelFormat(QStringLiteral("%d"));
        right->setTickCount(6);
        right->setGridLineVisible(false);
        style(right);
        chart->addAxis(right, Qt::AlignRight);
    }
    const std::size_t index = plots_.size();
    const auto addLines = [&](std::initializer_list<Reading> group, QValueAxis* axis) {
        for (const Reading reading : group) {
            plotOf_[static_cast<std::size_t>(reading)] = index;
            auto* line = new QLineSeries;
            line->setName(QString::fromUtf8(lookOf(reading).name));
            line->setPen(QPen(lineColour(reading, colours), 1.5, lookOf(reading).dash));
            chart->addSeries(line);
            line->attachAxis(plot.time);
            line->attachAxis(axis);
            segments_[static_cast<std::size_t>(reading)].push_back(line);
            connect(line, &QLineSeries::visibleChanged, this, [this, reading] { showSeriesOnOff(reading); });
        }
    };
    addLines(readings, plot.values);
    addLines(rightReadings, right);

    // A click on a legend entry switches its series off and on.
    for (QLegendMarker* marker : chart->legend()->markers()) {
        connect(marker, &QLegendMarker::clicked, this, [marker] {
            marker->series()->setVisible(!marker->series()->isVisible());
            marker->setVisible(true);
        });
    }
    plot.empty = new QGraphicsSimpleTextItem(QStringLiteral("No readings in this range"), chart);
    plot.empty->setBrush(colours.text());
    plot.empty->setVisible(false);
    auto* view = new QChartView(chart);
    plot.view = view;
    const QString name = title.left(title.indexOf(QLatin1String(" (")));
    view->setObjectName(name);
    view->setAccessibleName(title);
    view->setRenderHint(QPainter::Antialiasing, false);
    view->setMouseTracking(true);
    view->viewport()->setMouseTracking(true);
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this);
    view->setMinimumHeight(110);
    plots_.push_back(plot);
    return view;
}

QLineSeries* TrendsWindow::segment(Reading reading, std::size_t index)
{
    auto& lines = segments_[static_cast<std::size_t>(reading)];
    while (lines.size() <= index) {
        QLineSeries* head = lines.front();
        const Plot& plot = plots_[plotOf_[static_cast<std::size_t>(reading)]];
        auto* line = new QLineSeries;
        line->setName(head->name());
        line->setPen(head->pen());
        plot.chart->addSeries(line);
        for (QAbstractAxis* axis : head->attachedAxes())
            line->attachAxis(axis);
        line->setVisible(head->isVisible());
        // One legend entry a reading, however many pieces its line is in.
        plot.chart->legend()->markers(line).front()->setVisible(false);
        lines.push_back(line);
    }
    return lines[index];
}

void TrendsWindow::showSeriesOnOff(Reading reading)
{
    const auto& lines = segments_[static_cast<std::size_t>(reading)];
    const bool on = lines.front()->isVisible();
    for (QLineSeries* line : lines)
        line->setVisible(on);
    for (QLineSeries* line : comparedSegments_[static_cast<std::size_t>(reading)])
        line->setVisible(on);
    // A series switched off greys its legend entry, swatch and name, so
    // the legend never says a line is there that is not.
    QLegendMarker* marker = lines.front()->chart()->legend()->markers(lines.front()).front();
    marker->setVisible(true);
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    marker->setBrush(on ? QBrush(lines.front()->pen().color()) : QBrush(grey));
    marker->setLabelBrush(on ? palette().text() : QBrush(grey));
    if (QAction* action = seriesActions_[static_cast<std::size_t>(reading)])
        action->setChecked(on);
}

void TrendsWindow::buildActions()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* exportPlot = file->addAction(QStringLiteral("&Export Plot…"));
    exportPlot->setObjectName(QStringLiteral("actionExportPlot"));
    exportPlot->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(exportPlot, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Plot"), QString(),
                                                          QStringLiteral("PNG image (*.png);;SVG image (*.svg)"));
        if (path.isEmpty())
            return;
        if (const QString problem = exportPlots(path); !problem.isEmpty())
            QMessageBox::warning(this, QStringLiteral("Export Plot"), problem);
    });
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

    // Every series can be switched from the keyboard too, listed as the
    // legends list them.
    QMenu* shown = menuBar()->addMenu(QStringLiteral("&Series"));
    for (const Reading reading : PlotOrder) {
        QLineSeries* line = series(reading);
        auto* action = shown->addAction(line->name());
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, line, &QLineSeries::setVisible);
        seriesActions_[static_cast<std::size_t>(reading)] = action;
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
    end_ = shownRange().second;
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
    QList<QPointF> all;
    for (const QList<QPointF>& piece : segments(reading))
        all += piece;
    return all;
}

QList<QList<QPointF>> TrendsWindow::segments(Reading reading) const
{
    QList<QList<QPointF>> pieces;
    const auto r = static_cast<std::size_t>(reading);
    for (std::size_t i = 0; i < segmentsUsed_[r]; ++i)
        pieces.append(segments_[r][i]->points());
    return pieces;
}

QStringList TrendsWindow::marksShown() const
{
    return marksShown_;
}

QString TrendsWindow::cursorText() const
{
    return cursor_->text();
}

QStringList TrendsWindow::hiddenSeries() const
{
    QStringList hidden;
    for (const Reading reading : PlotOrder) {
        if (!series(reading)->isVisible())
            hidden << series(reading)->name();
    }
    return hidden;
}

void TrendsWindow::setHiddenSeries(const QStringList& names)
{
    for (const Reading reading : PlotOrder)
        series(reading)->setVisible(!names.contains(series(reading)->name()));
}

void TrendsWindow::setSpan(History::Milliseconds span)
{
    span_ = std::max<History::Milliseconds>(span, ShortestSpan);
    redraw();
}

std::pair<History::Milliseconds, History::Milliseconds> TrendsWindow::shownRange() const
{
    if (!following_)
        return {end_ - span_, end_};
    const History::Milliseconds to = history_.empty() ? wallClockMs() : history_.last();
    // A run shorter than the span fills the plot rather than its right edge.
    const History::Milliseconds run = history_.empty() ? 0 : history_.last() - history_.first();
    return {to - std::clamp(run, ShortestSpan, span_), to};
}

void TrendsWindow::redraw()
{
    pollsSinceRedraw_ = 0;
    const auto [from, to] = shownRange();
    drawSeries(from, to);
    drawTimeAxes(from, to);
    rangeValueAxes();
    placeMarks();
    placeShades();
    placeEmptyNotes();
    updateStateText();
}

void TrendsWindow::showWholeRun()
{
    following_ = false;
    span_ = std::max<History::Milliseconds>(ShortestSpan, history_.empty() ? 0 : history_.last() - history_.first());
    end_ = history_.empty() ? wallClockMs() : history_.last();
    redraw();
}

void TrendsWindow::setShadedSpans(std::vector<ShadedSpan> spans)
{
    shaded_ = std::move(spans);
    placeShades();
}

void TrendsWindow::placeShades()
{
    const auto [from, to] = shownRange();
    std::vector<std::size_t> used(plots_.size(), 0);
    for (const ShadedSpan& span : shaded_) {
        if (span.to < from || span.from > to)
            continue;
        const std::size_t p = plotOf_[static_cast<std::size_t>(span.reading)];
        Plot& plot = plots_[p];
        if (used[p] == plot.shades.size()) {
            auto* shade = new QGraphicsRectItem(plot.chart);
            shade->setPen(Qt::NoPen);
            shade->setBrush(QColor(214, 39, 40, 50));
            // Under the lines, over the plot's background.
            shade->setZValue(1);
            plot.shades.push_back(shade);
        }
        const QRectF area = plot.chart->plotArea();
        QLineSeries* anyLine = series(plot.autoRanged.front());
        const qreal left =
            plot.chart->mapToPosition(QPointF(static_cast<qreal>(std::max(span.from, from)), 0), anyLine).x();
        const qreal right =
            plot.chart->mapToPosition(QPointF(static_cast<qreal>(std::min(span.to, to)), 0), anyLine).x();
        QGraphicsRectItem* shade = plot.shades[used[p]++];
        shade->setRect(QRectF(left, area.top(), std::max<qreal>(1, right - left), area.height()));
        shade->setToolTip(span.text);
        shade->setVisible(true);
    }
    for (std::size_t p = 0; p < plots_.size(); ++p) {
        for (std::size_t i = used[p]; i < plots_[p].shades.size(); ++i)
            plots_[p].shades[i]->setVisible(false);
    }
}

void TrendsWindow::drawSeries(History::Milliseconds from, History::Milliseconds to)
{
    const History::Milliseconds step = std::max<History::Milliseconds>(100, (to - from) / PointsPerSeries);
    for (const Reading reading : PlotOrder) {
        const auto r = static_cast<std::size_t>(reading);
        const std::size_t used = drawLine(history_, 0, reading, from, to, step,
                                          [this, reading](std::size_t i) { return segment(reading, i); });
        for (std::size_t i = used; i < segmentsUsed_[r]; ++i)
            segments_[r][i]->clear();
        segmentsUsed_[r] = used;
        if (!compared_)
            continue;
        const std::size_t comparedUsed = drawLine(*compared_, comparedShift_, reading, from, to, step,
                                                  [this, reading](std::size_t i) { return comparedSegment(reading, i); });
        for (std::size_t i = comparedUsed; i < comparedSegments_[r].size(); ++i)
            comparedSegments_[r][i]->clear();
    }
}

std::size_t TrendsWindow::drawLine(const SeriesSource& source, History::Milliseconds shift, Reading reading,
                                   History::Milliseconds from, History::Milliseconds to, History::Milliseconds step,
                                   const std::function<QLineSeries*(std::size_t)>& segmentAt) const
{
    // A reading missing for longer than a few steps is a gap in the line,
    // not a straight one across it; a slow poll or two is not.
    const History::Milliseconds gap = std::max<History::Milliseconds>(3 * step, 1000);
    // Nor is a line joined across a change of device or controller: what
    // was read before it and after are readings of different chips.
    std::vector<History::Milliseconds> changes;
    for (const History::Mark& mark : source.marks())
        if (mark.time + shift >= from && mark.time + shift <= to)
            changes.push_back(mark.time + shift);
    std::size_t used = 0;
    QList<QPointF> piece;
    History::Milliseconds last = 0;
    auto nextChange = changes.begin();
    const auto flush = [&] {
        if (!piece.isEmpty())
            segmentAt(used++)->replace(piece);
        piece.clear();
    };
    for (History::Point p : source.series(reading, from - shift, to - shift, step)) {
        p.time += shift;
        // A point is the mean (or an extreme) of a step's readings, centred on its time.
        bool changed = false;
        bool mixed = false;
        for (; nextChange != changes.end() && *nextChange < p.time + step / 2; ++nextChange) {
            changed = true;
            mixed = mixed || *nextChange > p.time - step / 2;
        }
        if (!piece.isEmpty() && (p.time - last > gap || changed))
            flush();
        if (mixed)
            continue; // a mean of both devices' readings is neither's
        piece.append(QPointF(static_cast<qreal>(p.time), p.value));
        last = p.time;
    }
    flush();
    return used;
}

QLineSeries* TrendsWindow::comparedSegment(Reading reading, std::size_t index)
{
    auto& lines = comparedSegments_[static_cast<std::size_t>(reading)];
    while (lines.size() <= index) {
        QLineSeries* head = series(reading);
        const Plot& plot = plots_[plotOf_[static_cast<std::size_t>(reading)]];
        auto* line = new QLineSeries;
        line->setName(head->name() + QStringLiteral(" (") + comparedName_ + QLatin1Char(')'));
        QPen pen = head->pen();
        pen.setStyle(Qt::DashLine);
        line->setPen(pen);
        plot.chart->addSeries(line);
        for (QAbstractAxis* axis : head->attachedAxes())
            line->attachAxis(axis);
        line->setVisible(head->isVisible());
        // The compared run's entry in the legend once, by its first piece.
        plot.chart->legend()->markers(line).front()->setVisible(lines.empty());
        lines.push_back(line);
    }
    return lines[index];
}

void TrendsWindow::compareWith(const SeriesSource* other, History::Milliseconds shift, const QString& name)
{
    for (auto& lines : comparedSegments_) {
        for (QLineSeries* line : lines) {
            line->chart()->removeSeries(line);
            delete line;
        }
        lines.clear();
    }
    compared_ = other;
    comparedShift_ = shift;
    comparedName_ = name;
    redraw();
}

void TrendsWindow::drawTimeAxes(History::Milliseconds from, History::Milliseconds to)
{
    for (const Plot& plot : plots_)
        plot.time->setRange(static_cast<qreal>(from), static_cast<qreal>(to));
    // Ticks at round times, as many as the width has room for; redone only
    // when a tick enters or leaves the range.
    const int width = std::max(1, static_cast<int>(plots_.back().chart->plotArea().width()));
    const History::Milliseconds step = timeStep(to - from, std::max(2, width / 90));
    const qint64 offset = QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc() * 1000LL;
    const History::Milliseconds first = ((from + offset) / step + 1) * step - offset;
    if (tickRange_ == std::pair{first, step})
        return;
    tickRange_ = {first, step};
    const QString format = step >= 60'000 ? QStringLiteral("HH:mm") : TimeFormat;
    for (std::size_t i = 0; i < plots_.size(); ++i) {
        QCategoryAxis* axis = plots_[i].time;
        clearCategories(axis);
        axis->setStartValue(static_cast<qreal>(from));
        for (History::Milliseconds t = first; t <= to; t += step)
            axis->append(QDateTime::fromMSecsSinceEpoch(t).toString(format), static_cast<qreal>(t));
        // One time axis for the three plots: labelled under the last.
        axis->setLabelsVisible(i + 1 == plots_.size());
    }
}

void TrendsWindow::placeMarks()
{
    const auto [from, to] = shownRange();
    const QColor colour = isDark(palette()) ? QColor(255, 170, 60) : QColor(170, 70, 0);
    marksShown_.clear();
    for (std::size_t p = 0; p < plots_.size(); ++p) {
        Plot& plot = plots_[p];
        const QRectF area = plot.chart->plotArea();
        QLineSeries* anyLine = series(plot.autoRanged.front());
        std::size_t used = 0;
        qreal lastLabelEnd = -1e9;
        for (const History::Mark& mark : history_.marks()) {
            if (mark.time < from || mark.time > to)
                continue;
            if (used == plot.markLines.size()) {
                auto* line = new QGraphicsLineItem(plot.chart);
                line->setPen(QPen(colour, 1.5, Qt::DashLine));
                line->setZValue(10);
                plot.markLines.push_back(line);
                auto* label = new QGraphicsSimpleTextItem(plot.chart);
                label->setBrush(colour);
                plot.markLabels.push_back(label);
            }
            const qreal x = plot.chart->mapToPosition(QPointF(static_cast<qreal>(mark.time), 0), anyLine).x();
            plot.markLines[used]->setLine(x, area.top(), x, area.bottom());
            plot.markLines[used]->setVisible(true);
            QGraphicsSimpleTextItem* label = plot.markLabels[used];
            label->setText(QString::fromStdString(mark.text));
            // Words above the top plot only, and never over the words of the
            // mark before: a mark too close keeps its line and its tooltip.
            const qreal width = label->boundingRect().width();
            const bool room = p == 0 && x - width / 2 > lastLabelEnd + 6;
            label->setVisible(room);
            label->setPos(x - width / 2, area.top() - label->boundingRect().height() - 1);
            if (room)
                lastLabelEnd = x + width / 2;
            if (p == 0)
                marksShown_ << QString::fromStdString(mark.text);
            ++used;
        }
        for (std::size_t i = used; i < plot.markLines.size(); ++i) {
            plot.markLines[i]->setVisible(false);
            plot.markLabels[i]->setVisible(false);
        }
    }
}

void TrendsWindow::rangeValueAxes()
{
    for (const Plot& plot : plots_) {
        double low = 0, high = 0;
        bool any = false;
        for (const Reading reading : plot.autoRanged) {
            const auto r = static_cast<std::size_t>(reading);
            for (std::size_t i = 0; i < segmentsUsed_[r]; ++i) {
                for (const QPointF& p : segments_[r][i]->points()) {
                    low = any ? std::min(low, p.y()) : p.y();
                    high = any ? std::max(high, p.y()) : p.y();
                    any = true;
                }
            }
        }
        // Nothing in range: the axis keeps what it showed, and the plot says why.
        if (!any)
            continue;
        const double pad = std::max(1e-3, (high - low) * 0.1 + (high == low ? std::abs(high) * 0.05 + 1 : 0));
        // Speeds and supplies are never negative: no axis below zero for them.
        const double floor = low >= 0 ? 0 : low - pad;
        const double from = std::max(floor, low - pad), to = high + pad;
        QValueAxis* axis = plot.values;
        // A new range re-lays the whole plot out: only when the data left it
        // or no longer fills half of it.
        const bool inside = from >= axis->min() && to <= axis->max();
        const bool filled = (to - from) * 2 >= axis->max() - axis->min();
        if (!inside || !filled) {
            axis->setRange(from, to);
            axis->applyNiceNumbers();
        }
    }
}

void TrendsWindow::placeEmptyNotes()
{
    for (const Plot& plot : plots_) {
        bool any = false;
        for (const QAbstractSeries* series : plot.chart->series())
            any = any || !static_cast<const QLineSeries*>(series)->points().isEmpty();
        plot.empty->setVisible(!any);
        if (!any) {
            const QRectF area = plot.chart->plotArea();
            const QRectF text = plot.empty->boundingRect();
            plot.empty->setPos(area.center() - text.center());
        }
    }
}

void TrendsWindow::updateStateText()
{
    const auto [from, to] = shownRange();
    const auto seconds = (to - from + 500) / 1000;
    const QString lengthText = seconds < 60       ? QStringLiteral("%1 s").arg(seconds)
                               : seconds % 60 == 0 ? QStringLiteral("%1 min").arg(seconds / 60)
                                                   : QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    if (following_)
        state_->setText(QStringLiteral("Following the last %1").arg(lengthText));
    else
        state_->setText(QStringLiteral("Paused: %1 to %2 (%3)").arg(timeText(from), timeText(to), lengthText));
    pauseAction_->setEnabled(following_);
    followAction_->setEnabled(!following_);
}

void TrendsWindow::showCursorAt(History::Milliseconds time)
{
    const auto values = history_.at(time, std::max<History::Milliseconds>(100, span_ / PointsPerSeries));
    if (!values) {
        cursor_->setText(QStringLiteral("No reading at %1").arg(timeText(time)));
        cursor_->setToolTip(cursor_->text());
        return;
    }
    QStringList parts{timeText(values->time)};
    for (const Reading reading : PlotOrder) {
        const Look& look = lookOf(reading);
        const auto& value = values->readings[static_cast<std::size_t>(reading)];
        parts << QStringLiteral("%1 %2").arg(QString::fromUtf8(look.name),
                                             value ? readingText(reading, *value) + QLatin1Char(' ') + QString::fromUtf8(look.unit)
                                                   : QStringLiteral("\u2014"));
    }
    cursor_->setText(parts.join(QStringLiteral(" · ")));
    cursor_->setToolTip(cursor_->text());
}

bool TrendsWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The three plots share one time axis, so their plot areas line up: the
    // same margins in each, wide enough for the axes' labels on both sides.
    if (auto* resized = qobject_cast<QChartView*>(watched); resized && event->type() == QEvent::Resize) {
        const QSizeF size = static_cast<QResizeEvent*>(event)->size();
        const bool last = resized == plots_.back().view;
        const qreal width = std::max<qreal>(10, size.width() - LeftRoom - RightRoom);
        const qreal height = std::max<qreal>(10, size.height() - TopRoom - (last ? BottomRoom : InnerBottom));
        resized->chart()->setPlotArea(QRectF(LeftRoom, TopRoom, width, height));
        resized->chart()->legend()->setGeometry(
            QRectF(LeftRoom + width + AxisRoom, TopRoom, RightRoom - AxisRoom, height));
        // As many value ticks as the height has room for.
        for (const Plot& plot : plots_) {
            if (plot.view == resized) {
                plot.values->setTickCount(std::clamp(static_cast<int>(height / 40) + 1, 3, 7));
                plot.values->applyNiceNumbers();
            }
        }
        tickRange_ = {};
        // The three plots resize together: one redraw for all of them.
        if (!redrawQueued_) {
            redrawQueued_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    redrawQueued_ = false;
                    redraw();
                },
                Qt::QueuedConnection);
        }
        return false;
    }
    auto* view = qobject_cast<QChartView*>(watched->parent());
    if (!view)
        return QMainWindow::eventFilter(watched, event);
    const auto sceneAt = [view](QPointF position) { return view->mapToScene(position.toPoint()); };
    const auto timeAt = [view, &sceneAt](QPointF position) {
        return static_cast<History::Milliseconds>(
            view->chart()->mapToValue(view->chart()->mapFromScene(sceneAt(position))).x());
    };
    const auto insidePlot = [view, &sceneAt](QPointF position) {
        return view->chart()->plotArea().contains(view->chart()->mapFromScene(sceneAt(position)));
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
        // Only a plot area has times under it: not its legend, not its axes.
        if (insidePlot(move->position()))
            showCursorAt(timeAt(move->position()));
        return false;
    }
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && insidePlot(static_cast<QMouseEvent*>(event)->position()))
            dragX_ = static_cast<int>(static_cast<QMouseEvent*>(event)->position().x());
        return false;
    case QEvent::MouseButtonRelease:
        dragX_ = -1;
        return false;
    case QEvent::Wheel: {
        // The wheel zooms about the time under the pointer.
        auto* wheel = static_cast<QWheelEvent*>(event);
        const History::Milliseconds at = timeAt(wheel->position());
        const History::Milliseconds right = following_ ? shownRange().second : end_;
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

QString TrendsWindow::exportPlots(const QString& path) const
{
    if (!path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        // The plots as they are on screen, whatever the file is called.
        const QString file = path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? path : path + ".png";
        if (!centralWidget()->grab().save(file, "PNG"))
            return QStringLiteral("Cannot write %1.").arg(file);
        return {};
    }
    constexpr int Width = 900, Height = 220;
    const auto [from, to] = shownRange();
    std::string body;
    int top = 0;
    for (const Plot& plot : plots_) {
        SvgPlot svg;
        svg.title = plot.values->titleText().toStdString();
        svg.from = from;
        svg.to = to;
        for (const Reading reading : PlotOrder) {
            if (plots_[plotOf_[static_cast<std::size_t>(reading)]].chart != plot.chart || !series(reading)->isVisible())
                continue;
            svg.readings.push_back(reading);
            svg.lines.push_back({reading, false, pixelColumns(history_, reading, from, to, SvgPlot::areaWidth(Width))});
        }
        for (const ShadedSpan& span : shaded_) {
            if (std::find(svg.readings.begin(), svg.readings.end(), span.reading) != svg.readings.end())
                svg.spans.push_back({span.reading, span.from, span.to, span.text.toStdString()});
        }
        for (const History::Mark& mark : history_.marks()) {
            if (mark.time >= from && mark.time <= to)
                svg.marks.push_back({mark.time, mark.text});
        }
        body += "<g transform=\"translate(0," + std::to_string(top) + ")\">\n" + svgOf(svg, Width, Height) + "</g>\n";
        top += Height;
    }
    const std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                 "width=\"" + std::to_string(Width) + "\" height=\"" + std::to_string(top) +
                                 "\" viewBox=\"0 0 " + std::to_string(Width) + " " + std::to_string(top) + "\">\n" +
                                 body + "</svg>\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(document.data(), static_cast<qint64>(document.size())) != static_cast<qint64>(document.size()) ||
        !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}
