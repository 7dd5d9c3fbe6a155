#pragma once
// The crop rectangle's rules: the handle under a point, a rectangle held to a side ratio from a fixed
// corner or edge, and the ratio named by a list item such as "16x10 (1280x800)".

#include "imaging/QpPixels.h"

#include <QPoint>
#include <QString>

// Ratio width and height; 0 and 0 mean free.
struct TCropRatio
{
    int Width = 0;
    int Height = 0;
    bool Free() const { return Width < 1 || Height < 1; }
};

// Handle codes: 4 top middle, 5 top right, 6 right middle, 7 bottom right, 8 bottom middle, 9 bottom left,
// 10 left middle, 11 top left; 3 inside the rectangle; 0 elsewhere. `rect` and `point` are in view pixels.
int CropHitCode(const TQpRect& rect, QPoint point);
// The handle's centre in view pixels.
QPoint CropHandlePoint(const TQpRect& rect, int code);
// `rect` held to the ratio, the edges opposite the dragged handle or corner `code` fixed.
TQpRect HoldToRatio(const TQpRect& rect, TCropRatio ratio, int code);
// The ratio an item names: the numbers before and after the first "x", divided by their greatest common
// divisor; free when the item names none.
TCropRatio RatioOfItem(const QString& item);
