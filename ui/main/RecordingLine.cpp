#include "ui/main/RecordingLine.h"
#include "recording/CsvText.h"

#include <QFileInfo>

namespace {

// Room for a name of about thirty characters; the rest goes in the middle.
constexpr int NameWidth = 180;

} // namespace

RecordingLine::RecordingLine(QWidget* parent) : ElidingLabel(parent)
{
    setObjectName(QStringLiteral("recordingLine"));
    // No accessible name: a label's name replaces its text, and the text is
    // what a screen reader must read.
    setVisible(false);
}

QString RecordingLine::rowsText(quint64 rows)
{
    return QString::fromStdString(::rowsText(rows));
}

namespace {

QString withLoss(const QString& text, const QString& loss)
{
    return loss.isEmpty() ? text : text + QStringLiteral("; ") + loss;
}

} // namespace

void RecordingLine::recording(const QString& path, quint64 rows, const QString& loss)
{
    show(withLoss(QStringLiteral("Recording {name}: %1").arg(rowsText(rows)), loss), path);
}

void RecordingLine::recorded(const QString& path, quint64 rows, const QString& loss)
{
    show(withLoss(QStringLiteral("Recorded %1 to {name}").arg(rowsText(rows)), loss), path);
}

void RecordingLine::stopped(const QString& problem, const QString& path, quint64 rows, const QString& loss)
{
    show(QStringLiteral("Recording stopped: %1. %2 %3 in {name}%4.")
             .arg(problem, rowsText(rows), rows == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                  loss.isEmpty() ? QString() : QStringLiteral("; ") + loss),
         path);
}

void RecordingLine::kept(const QString& path)
{
    show(QStringLiteral("Not recording: {name} exists and was kept"), path);
}

void RecordingLine::clear()
{
    setText(QString());
    setToolTip(QString());
    setVisible(false);
}

void RecordingLine::show(const QString& text, const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const QString elided = fontMetrics().elidedText(name, Qt::ElideMiddle, NameWidth);
    const QString shown = QString(text).replace(QStringLiteral("{name}"), elided);
    if (shown != this->text())
        setText(shown);
    const QString whole = QString(text).replace(QStringLiteral("{name}"), path);
    if (whole != toolTip())
        setToolTip(whole);
    setVisible(true);
}
