#include "ModuleLoader.h"

#include <QFileInfo>
#include <QDir>
#include <QLibrary>

QFunctionPointer resolveInModule(const char* module, const char* symbol, QString* error)
{
    // Beside the program in the build tree, under the library folder once
    // installed; both relative to the program, whatever the prefix.
    // The program's own folder, from the kernel: the window's module is
    // loaded before any application object exists to ask.
    const QDir programs(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
    QStringList tried;
    for (const char* folder : {CORVANE_MODULE_BUILD_DIR, "../" CORVANE_INSTALL_LIBDIR "/corvane-bench"}) {
        QLibrary library(programs.filePath(QString::fromUtf8(folder) + QLatin1Char('/') + QString::fromUtf8(module)));
        if (const QFunctionPointer found = library.resolve(symbol))
            return found;
        tried << library.errorString();
    }
    *error = tried.join(QLatin1Char('\n'));
    return nullptr;
}
