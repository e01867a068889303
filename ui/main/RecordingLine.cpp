#include "ui/main/RecordingLine.h"
#include "recording/CsvText.h"

#include <QFileInfo>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

// Room for a name of about thirty characters; the rest goes in the middle.
constexpr int NameWidth = 180;
// What the line keeps when the bus's message beside it takes the rest.
constexpr int LeastWidth = 60;

} // namespace

RecordingLine::RecordingLine(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("recordingLine"));
    // No accessible name: a label's name replaces its text, and the text is
    // what a screen reader must read.
    setVisible(false);
}

QSize RecordingLine::minimumSizeHint() const
{
    return {std::min(LeastWidth, QLabel::minimumSizeHint().width()), QLabel::minimumSizeHint().height()};
}

void RecordingLine::paintEvent(QPaintEvent* event)
{
    const QRect room = contentsRect();
    if (fontMetrics().horizontalAdvance(text()) <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(),
                          fontMetrics().elidedText(text(), Qt::ElideRight, room.width()), foregroundRole());
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
