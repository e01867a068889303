#include "TrendsLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

TrendsView* openTrendsView(const History& history, QWidget* parent, QString* error)
{
    // Beside the program in the build tree, under the library folder once
    // installed; both relative to the program, whatever the prefix.
    const QDir programs(QCoreApplication::applicationDirPath());
    QStringList tried;
    for (const char* folder : {CORVANE_TRENDS_BUILD_DIR, "../" CORVANE_INSTALL_LIBDIR "/corvane-bench"}) {
        QLibrary module(programs.filePath(QString::fromUtf8(folder) + QStringLiteral("/corvane-trends")));
        if (auto create = reinterpret_cast<CreateTrendsView>(module.resolve(CreateTrendsViewSymbol)))
            return create(history, parent);
        tried << module.errorString();
    }
    *error = tried.join(QLatin1Char('\n'));
    return nullptr;
}
