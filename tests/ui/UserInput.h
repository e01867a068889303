#pragma once
// What a user does with the mouse and keyboard, for the widget tests.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QtTest/QTest>

#include "ui/main/Form1.h"

// Lets every open window's bus thread run what it was given and hands the
// results back, so a test sees a handler's whole effect.
inline bool settleBus(int timeoutMs = 5000)
{
    const auto idle = [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (const auto* form = qobject_cast<Form1*>(window); form && !form->session().busIdle())
                return false;
        }
        return true;
    };
    QElapsedTimer waited;
    waited.start();
    while (!idle()) {
        if (waited.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Opens the list and clicks the entry with this text; true once the click
// has closed the list. (A handler may still put the list back.)
inline bool chooseEntry(QComboBox* list, const QString& text)
{
    const int row = list->findText(text);
    if (row < 0)
        return false;
    list->showPopup();
    QAbstractItemView* view = list->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        return false;
    const QRect entry = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
    return !view->isVisible() && settleBus();
}

// Clicks into the field, selects all of it and types the new text over it.
inline void typeOver(QLineEdit* field, const QString& text)
{
    QTest::mouseClick(field, Qt::LeftButton);
    field->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        QTest::keyClicks(field, text);
    settleBus();
}

// Clicks a button and waits for what it started on the bus.
inline void clickAndSettle(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
    settleBus();
}
