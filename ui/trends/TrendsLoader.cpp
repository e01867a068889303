#include "ui/trends/TrendsLoader.h"

#include "session/ModuleLoader.h"

TrendsView* openTrendsView(const SeriesSource& history, QWidget* parent, QString* error)
{
    const auto create = reinterpret_cast<CreateTrendsView>(resolveInModule("corvane-trends", CreateTrendsViewSymbol, error));
    return create ? create(history, parent) : nullptr;
}

FanCurvePlot* openFanCurvePlot(QWidget* parent, QString* error)
{
    const auto create = reinterpret_cast<CreateFanCurvePlot>(resolveInModule("corvane-trends", CreateFanCurvePlotSymbol, error));
    return create ? create(parent) : nullptr;
}
