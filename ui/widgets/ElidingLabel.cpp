#include "ui/widgets/ElidingLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

ElidingLabel::ElidingLabel(QWidget* parent, int keptWidth) : QLabel(parent), keptWidth_(keptWidth) {}

QSize ElidingLabel::minimumSizeHint() const
{
    const QSize whole = QLabel::minimumSizeHint();
    return {std::min(keptWidth_, whole.width()), whole.height()};
}

void ElidingLabel::paintEvent(QPaintEvent* event)
{
    const QRect room = contentsRect();
    if ((textInteractionFlags() & Qt::TextSelectableByMouse) || fontMetrics().horizontalAdvance(text()) <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(),
                          fontMetrics().elidedText(text(), Qt::ElideRight, room.width()), foregroundRole());
}
