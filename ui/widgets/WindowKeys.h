#pragma once
// The keys every window of the program's answers: Escape and Ctrl+W close
// it, and Ctrl+Q quits the program from it, as from the main window.

class QWidget;

// quit is the main window: closing it ends the program, asking first where
// something would be lost.
void addWindowKeys(QWidget& window, QWidget& quit);
