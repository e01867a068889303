#include "ui/widgets/WarningSign.h"

#include <QPainter>
#include <QPainterPath>

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor warningColour(const QPalette& palette)
{
    return isDark(palette) ? QColor(255, 150, 130) : QColor(176, 0, 0);
}

QPixmap warningSign(const QColor& colour, int size)
{
    QPixmap sign(size, size);
    sign.fill(Qt::transparent);
    QPainter painter(&sign);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(size / 2.0, 1);
    triangle.lineTo(size - 1, size - 1);
    triangle.lineTo(1, size - 1);
    triangle.closeSubpath();
    painter.fillPath(triangle, colour);
    painter.setPen(QPen(colour.lightness() < 128 ? Qt::white : Qt::black, std::max(1.0, size / 8.0)));
    painter.drawLine(QPointF(size / 2.0, size * 0.38), QPointF(size / 2.0, size * 0.68));
    painter.drawPoint(QPointF(size / 2.0, size * 0.82));
    return sign;
}
