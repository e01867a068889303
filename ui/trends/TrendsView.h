#pragma once
// What the main window and the tests see of the Trends window. The window
// itself lives in a module loaded when first opened, so Qt Charts costs a
// run nothing until the user asks for a plot.

#include "protocol/PollReadings.h"
#include "recording/History.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <vector>

class QMainWindow;
class QWidget;

class TrendsView {
public:
    static constexpr History::Milliseconds DefaultSpan = 10 * 60 * 1000;

    virtual QMainWindow* window() = 0;
    // A poll was added to the history.
    virtual void historyGrew() = 0;

    virtual bool isFollowing() const = 0;
    virtual History::Milliseconds span() const = 0;
    virtual History::Milliseconds rightEdge() const = 0;
    virtual QList<QPointF> points(Poll::Reading reading) const = 0;
    // The reading's line as drawn: one piece a run of readings, cut where
    // readings are missing.
    virtual QList<QList<QPointF>> segments(Poll::Reading reading) const = 0;
    // The device and controller changes marked in the range shown.
    virtual QStringList marksShown() const = 0;

    // What the user chose, kept between runs: the series switched off, by
    // name, and the span shown.
    virtual QStringList hiddenSeries() const = 0;
    virtual void setHiddenSeries(const QStringList& names) = 0;
    virtual void setSpan(History::Milliseconds span) = 0;
    virtual QString cursorText() const = 0;

    // A recorded run: the whole of it, still, rather than the newest minutes.
    virtual void showWholeRun() = 0;
    // Times to shade on a reading's plot, such as a recorded run's alarms.
    struct ShadedSpan {
        Poll::Reading reading;
        History::Milliseconds from, to;
        QString text; // its tooltip
    };
    virtual void setShadedSpans(std::vector<ShadedSpan> spans) = 0;
    // The plots shown, to a PNG as drawn or an SVG drawn per pixel, as the
    // path's ending says; why not, when it cannot be written.
    virtual QString exportPlots(const QString& path) const = 0;
    // Another run drawn dashed over this one, its times moved by shift (to
    // start where this one does, or nothing for clock time), named so in the
    // legend; null for none.
    virtual void compareWith(const SeriesSource* other, History::Milliseconds shift, const QString& name) = 0;

protected:
    ~TrendsView() = default;
};

// The module's one entry point, by this name.
using CreateTrendsView = TrendsView* (*)(const SeriesSource& history, QWidget* parent);
inline constexpr char CreateTrendsViewSymbol[] = "corvaneCreateTrendsView";
