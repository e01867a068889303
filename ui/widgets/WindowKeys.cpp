#include "ui/widgets/WindowKeys.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

void addWindowKeys(QWidget& window, QWidget& quit)
{
    auto* close = new QAction(QStringLiteral("Close"), &window);
    close->setObjectName(QStringLiteral("actionCloseWindow"));
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    close->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(close, &QAction::triggered, &window, &QWidget::close);
    window.addAction(close);

    auto* quitAction = new QAction(QStringLiteral("Quit"), &window);
    quitAction->setObjectName(QStringLiteral("actionQuitFromWindow"));
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(quitAction, &QAction::triggered, &quit, &QWidget::close);
    window.addAction(quitAction);
}
