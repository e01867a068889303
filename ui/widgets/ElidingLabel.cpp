#include "ui/widgets/ElidingLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

// What a line keeps when the line beside it takes the rest.
constexpr int LeastWidth = 60;

} // namespace

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent) {}

QSize ElidingLabel::minimumSizeHint() const
{
    const QSize whole = QLabel::minimumSizeHint();
    return {std::min(LeastWidth, whole.width()), whole.height()};
}

void ElidingLabel::paintEvent(QPaintEvent* event)
{
    const QRect room = contentsRect();
    if (textInteractionFlags() != Qt::NoTextInteraction || fontMetrics().horizontalAdvance(text()) <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(),
                          fontMetrics().elidedText(text(), Qt::ElideRight, room.width()), foregroundRole());
}
