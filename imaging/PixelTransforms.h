#pragma once
// Quarter turns and mirrors of pfBGR24 windows into a second window of the right size, walked in
// cache-sized tiles so that a column of the source is read from cache, not from memory, once per tile.

#include "imaging/QpPixels.h"

// Each returns false (and writes nothing) unless both windows are pfBGR24 with data and `dest` has the
// size the operation produces. The windows' origins do not matter: pixels are mapped relative to them.

// dest (x, y) = src (w - 1 - x, y)
bool MirrorPixels(const TQpPixels& src, TQpPixels& dest);
// dest row y = src row h - 1 - y
bool FlipPixels(const TQpPixels& src, TQpPixels& dest);
// 90 degrees counter-clockwise: src (x, y) goes to dest (y, w - 1 - x); dest is h x w.
bool RotatePixelsLeft(const TQpPixels& src, TQpPixels& dest);
// 90 degrees clockwise: src (x, y) goes to dest (h - 1 - y, x); dest is h x w.
bool RotatePixelsRight(const TQpPixels& src, TQpPixels& dest);
