// The fan test's plot, in the Trends module: Fan1's settled speed against
// the duty, the way down in Fan1's red and the way up in blue.

#include "ui/fantest/FanCurvePlot.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
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

private:
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
