#pragma once
// Answers the program's modal message boxes the way a user does, with a key
// or a click on a button, and records what each box said. A box nobody
// planned an answer for is closed with Escape and recorded all the same,
// so a test can fail on it instead of hanging.

#include <QMessageBox>
#include <QElapsedTimer>
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

    // Answers the next box once it has been open for at least afterMs.
    void answerNext(Answer answer, int afterMs = 0) { planned_.push_back({answer, afterMs}); }
    const std::vector<Seen>& seen() const { return seen_; }
    // Forgets what was seen and any answers no box has taken.
    void forget()
    {
        seen_.clear();
        planned_.clear();
    }

private:
    void answerOpenBox();

    struct Planned {
        Answer answer;
        int afterMs;
    };

    QTimer poll_;
    std::deque<Planned> planned_;
    QPointer<QMessageBox> open_;
    QElapsedTimer openFor_;
    std::vector<Seen> seen_;
    QPointer<QMessageBox> answered_;
};
