#include "MessageBoxAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QtTest/QTest>

MessageBoxAnswerer::MessageBoxAnswerer()
{
    poll_.setInterval(5);
    connect(&poll_, &QTimer::timeout, this, &MessageBoxAnswerer::answerOpenBox);
    poll_.start();
}

void MessageBoxAnswerer::answerOpenBox()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box == answered_)
        return;
    if (box != open_) {
        open_ = box;
        openFor_.start();
    }
    const Planned next = planned_.empty() ? Planned{Answer::Escape, 0} : planned_.front();
    if (openFor_.elapsed() < next.afterMs)
        return;
    if (!planned_.empty())
        planned_.pop_front();
    answered_ = box;
    const auto* defaultButton = box->defaultButton();
    seen_.push_back({box->windowTitle(), box->text(), box->standardButtons(),
                     defaultButton ? box->standardButton(const_cast<QPushButton*>(defaultButton)) : QMessageBox::NoButton,
                     box->isModal()});

    QWidget* focus = QApplication::focusWidget();
    QWidget* keyTarget = focus && box->isAncestorOf(focus) ? focus : box;
    switch (next.answer) {
    case Answer::Enter: QTest::keyClick(keyTarget, Qt::Key_Return); break;
    case Answer::Escape: QTest::keyClick(keyTarget, Qt::Key_Escape); break;
    case Answer::ClickYes: QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton); break;
    case Answer::ClickNo: QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton); break;
    }
}
