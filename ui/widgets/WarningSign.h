#pragma once
// How the windows mark a problem beside its words: a colour that reads on
// the palette's background, light or dark, and a drawn warning sign (drawn,
// so no icon file and no image plugin is loaded for it).

#include <QColor>
#include <QPalette>
#include <QPixmap>

// A red with at least 4.5:1 contrast against the palette's window colour.
QColor warningColour(const QPalette& palette);

// A triangle with an exclamation mark, size pixels high.
QPixmap warningSign(const QColor& colour, int size);

// Whether the palette is a dark theme's: light text on a dark window.
bool isDark(const QPalette& palette);
