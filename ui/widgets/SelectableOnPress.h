#pragma once
// A label whose text the mouse can select, made so at the first press on
// it. A selectable label lays its text out through a whole text document,
// paged in at every start and at every new text, for a selection that is
// rarely made; the status line changes its text often and is selected
// perhaps once in a run.

class QLabel;

void selectableOnFirstPress(QLabel& label);
