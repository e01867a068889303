// The fan test's plot, in the Trends module: Fan1's settled speed against
// the duty, the way down in Fan1's red and the way up in blue.

#include "ui/fantest/FanCurvePlot.h"

#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

namespace {

class FanCurveChart : public QChartView, public FanCurvePlot {
public:
    // Made with its chart: a chart set later would orphan the view's own.
    explicit FanCurveChart(QWidget* parent) : QChartView(new QChart, parent)
    {
        setObjectName(QStringLiteral("fanCurvePlot"));
        setAccessibleName(QStringLiteral("Fan1 speed against duty"));
        setRenderHint(QPainter::Antialiasing);
        QChart* chart = this->chart();
        chart->setMargins(QMargins(4, 4, 4, 4));
        down_->setName(QStringLiteral("Down"));
        down_->setColor(QColor(192, 0, 0));
        up_->setName(QStringLiteral("Up"));
        up_->setColor(QColor(0, 0, 192));
        for (QLineSeries* series : {down_, up_}) {
            series->setPointsVisible(true);
            chart->addSeries(series);
        }
        duty_->setTitleText(QStringLiteral("Duty (%)"));
        duty_->setRange(0, 100);
        duty_->setLabelFormat(QStringLiteral("%d"));
        rpm_->setTitleText(QStringLiteral("Fan1 (rpm)"));
        rpm_->setRange(0, 1000);
        rpm_->setLabelFormat(QStringLiteral("%d"));
        chart->addAxis(duty_, Qt::AlignBottom);
        chart->addAxis(rpm_, Qt::AlignLeft);
        for (QLineSeries* series : {down_, up_}) {
            series->attachAxis(duty_);
            series->attachAxis(rpm_);
        }
        setMinimumSize(360, 240);
    }

    QWidget* widget() override { return this; }

    void showSteps(const std::vector<FanStep>& steps) override
    {
        clearSaved();
        showLiveInLegend(true);
        QList<QPointF> down, up;
        double highest = 0;
        for (const FanStep& step : steps) {
            (step.down ? down : up).append(QPointF(step.dutyPercent, step.rpm));
            highest = std::max(highest, step.rpm);
        }
        down_->replace(down);
        up_->replace(up);
        // Whole thousands above the fastest step, so the curve never touches the top.
        rpm_->setRange(0, std::max(1000.0, std::ceil((highest + 1) / 1000) * 1000));
    }

    void showSaved(const std::vector<SavedRun>& runs) override
    {
        clearSaved();
        down_->clear();
        up_->clear();
        // Saved runs' names are long: the legend goes below, a line each.
        showLiveInLegend(false);
        double highest = 0;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const SavedRun& run = runs[i];
            const Qt::PenStyle style = i == 0 ? Qt::SolidLine : Qt::DashLine;
            for (const bool down : {true, false}) {
                auto* line = addSaved<QLineSeries>(QStringLiteral("%1, %2").arg(run.name, down ? QStringLiteral("down")
                                                                                              : QStringLiteral("up")));
                QPen pen(down ? QColor(192, 0, 0) : QColor(0, 0, 192), 2, style);
                line->setPen(pen);
                for (const FanStep& step : run.steps) {
                    if (step.down == down)
                        line->append(step.dutyPercent, step.rpm);
                    highest = std::max(highest, step.rpm);
                }
            }
            // Where it stopped and started again, on the duty axis.
            const FanFindings found = fanFindings(run.steps);
            QStringList said;
            auto* marks = addSaved<QScatterSeries>(QString());
            marks->setMarkerShape(i == 0 ? QScatterSeries::MarkerShapeTriangle : QScatterSeries::MarkerShapeRectangle);
            marks->setMarkerSize(11);
            marks->setColor(QColor(20, 20, 20));
            if (found.stopDuty) {
                marks->append(*found.stopDuty, 0);
                said << QStringLiteral("stops below %1 %").arg(*found.stopDuty);
            }
            if (found.startDuty) {
                marks->append(*found.startDuty, 0);
                said << QStringLiteral("starts at %1 %").arg(*found.startDuty);
            }
            marks->setName(QStringLiteral("%1: %2").arg(run.name, said.isEmpty() ? QStringLiteral("never stopped")
                                                                                   : said.join(QStringLiteral(", "))));
        }
        rpm_->setRange(0, std::max(1000.0, std::ceil((highest + 1) / 1000) * 1000));
    }

private:
    template <typename Series>
    Series* addSaved(const QString& name)
    {
        auto* series = new Series;
        series->setName(name);
        chart()->addSeries(series);
        series->attachAxis(duty_);
        series->attachAxis(rpm_);
        saved_.push_back(series);
        return series;
    }
    void showLiveInLegend(bool live)
    {
        for (QLineSeries* series : {down_, up_}) {
            for (QLegendMarker* marker : chart()->legend()->markers(series))
                marker->setVisible(live);
        }
        chart()->legend()->setAlignment(live ? Qt::AlignTop : Qt::AlignBottom);
    }
    void clearSaved()
    {
        for (QAbstractSeries* series : saved_) {
            chart()->removeSeries(series);
            delete series;
        }
        saved_.clear();
    }

    std::vector<QAbstractSeries*> saved_;
    // The chart owns them once added.
    QLineSeries* down_ = new QLineSeries;
    QLineSeries* up_ = new QLineSeries;
    QValueAxis* duty_ = new QValueAxis;
    QValueAxis* rpm_ = new QValueAxis;
};

} // namespace

extern "C" Q_DECL_EXPORT FanCurvePlot* corvaneCreateFanCurvePlot(QWidget* parent)
{
    return new FanCurveChart(parent);
}
