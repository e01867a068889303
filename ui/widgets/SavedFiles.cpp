#include "ui/widgets/SavedFiles.h"

#include <QDir>
#include <QStandardPaths>

QString savedFilesFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // A fresh account may have no Documents folder yet; a path into one that
    // is missing would fail only at Record, with the dialog's choices lost.
    if (!documents.isEmpty() && QDir().mkpath(documents))
        return documents;
    return QDir::homePath();
}

QString savedFilePath(const QString& what, const QString& suffix, const QDateTime& now)
{
    return QDir(savedFilesFolder())
        .filePath(QStringLiteral("corvane-%1-%2.%3").arg(what, now.toString(QStringLiteral("yyyyMMdd-HHmmss")), suffix));
}
