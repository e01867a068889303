#include "TrendsLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace {

// A function of the module, or nothing with the reasons in *error.
QFunctionPointer resolveInModule(const char* symbol, QString* error)
{
    // Beside the program in the build tree, under the library folder once
    // installed; both relative to the program, whatever the prefix.
    const QDir programs(QCoreApplication::applicationDirPath());
    QStringList tried;
    for (const char* folder : {CORVANE_TRENDS_BUILD_DIR, "../" CORVANE_INSTALL_LIBDIR "/corvane-bench"}) {
        QLibrary module(programs.filePath(QString::fromUtf8(folder) + QStringLiteral("/corvane-trends")));
        if (const QFunctionPointer found = module.resolve(symbol))
            return found;
        tried << module.errorString();
    }
    *error = tried.join(QLatin1Char('\n'));
    return nullptr;
}

} // namespace

TrendsView* openTrendsView(const History& history, QWidget* parent, QString* error)
{
    const auto create = reinterpret_cast<CreateTrendsView>(resolveInModule(CreateTrendsViewSymbol, error));
    return create ? create(history, parent) : nullptr;
}

FanCurvePlot* openFanCurvePlot(QWidget* parent, QString* error)
{
    const auto create = reinterpret_cast<CreateFanCurvePlot>(resolveInModule(CreateFanCurvePlotSymbol, error));
    return create ? create(parent) : nullptr;
}
