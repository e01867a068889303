#include "ui/recorded/RecordedRun.h"

#include "session/ModuleLoader.h"
#include "ui/trends/TrendsView.h"
#include "ui/widgets/MessageBoxes.h"

#include <QMainWindow>

namespace {

QFunctionPointer entry(const char* symbol, QWidget* parent)
{
    QString error;
    const QFunctionPointer found = resolveInModule("corvane-trends", symbol, &error);
    if (!found)
        showCannotOpen(parent, QStringLiteral("The recording cannot be shown:\n%1").arg(error));
    return found;
}

} // namespace

TrendsView* openRecordedRun(const QString& path, QWidget* parent)
{
    const auto open = reinterpret_cast<OpenRecordedRunEntry>(entry(OpenRecordedRunSymbol, parent));
    return open ? open(path, parent, showCannotOpen) : nullptr;
}

bool compareRecordedRun(TrendsView& view, const QString& path, bool atStarts)
{
    const auto compare = reinterpret_cast<CompareRecordedRunEntry>(entry(CompareRecordedRunSymbol, view.window()));
    return compare && compare(view, path, atStarts, showCannotOpen);
}
