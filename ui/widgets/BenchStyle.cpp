#include "ui/widgets/BenchStyle.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWidget>

namespace {

// A chevron, ">>" or its turn downwards, in the palette's text colour.
QIcon chevron(bool vertical, const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.5));
    if (vertical) {
        painter.translate(16, 0);
        painter.rotate(90);
    }
    for (const int x : {4, 9}) {
        QPainterPath path;
        path.moveTo(x, 4);
        path.lineTo(x + 4, 8);
        path.lineTo(x, 12);
        painter.drawPath(path);
    }
    return QIcon(pixmap);
}

} // namespace

BenchStyle::BenchStyle() : QProxyStyle(nullptr) {}

QIcon BenchStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    if (icon == SP_ToolBarHorizontalExtensionButton || icon == SP_ToolBarVerticalExtensionButton) {
        const QPalette palette = widget ? widget->palette() : QApplication::palette();
        return chevron(icon == SP_ToolBarVerticalExtensionButton, palette.color(QPalette::ButtonText));
    }
    return QProxyStyle::standardIcon(icon, option, widget);
}

void applyBenchStyle(QApplication& app)
{
    app.setStyle(new BenchStyle);
}
