#pragma once

class QComboBox;

// Makes a list ignore the mouse wheel. Every entry picked in a settings list
// is written to the chip at once, so a wheel turned while the pointer merely
// passes over the list must not pick anything.
void ignoreWheel(QComboBox& list);
