#pragma once
// The window's geometry is laid out in twips, 15 to a pixel at 96 dpi.

#include <QRect>

constexpr int TwipsPerPixel = 15;

constexpr int pixels(int twips) { return (twips + TwipsPerPixel / 2) / TwipsPerPixel; }

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}
