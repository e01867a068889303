#include "BenchStyle.h"

#include <QApplication>
#include <QStyleFactory>

void applyBenchStyle(QApplication& app)
{
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        app.setStyle(style);
}
