#pragma once
// A label for a line of the status bar: it never widens the window. Where
// the room is short its end is elided on screen, while its text, which a
// screen reader reads, stays whole. A window that grew with each longer
// message stayed wide when the message went, and took a larger image for
// every paint. Once its text is selectable (a press on it), it is drawn
// whole and clipped, so the selection matches what is drawn.

#include <QLabel>

class ElidingLabel : public QLabel {
public:
    // keptWidth: as much of its text as it keeps before the line beside it
    // gives way, in pixels.
    explicit ElidingLabel(QWidget* parent, int keptWidth = 60);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int keptWidth_;
};
