#pragma once
// Answers the program's modal message boxes the way a user does, with a key
// or a click on a button, and records what each box said. A box nobody
// planned an answer for is closed with Escape and recorded all the same,
// so a test can fail on it instead of hanging.

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <vector>

class MessageBoxAnswerer : public QObject {
public:
    enum class Answer { Enter, Escape, ClickYes, ClickNo };

    struct Seen {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        bool modal;
    };

    MessageBoxAnswerer();

    void answerNext(Answer answer) { planned_.push_back(answer); }
    const std::vector<Seen>& seen() const { return seen_; }
    void forget() { seen_.clear(); }

private:
    void answerOpenBox();

    QTimer poll_;
    std::deque<Answer> planned_;
    std::vector<Seen> seen_;
    QPointer<QMessageBox> answered_;
};
