#pragma once
// The brushes' shape: the rectangle a brush covers and its soft round mask.

#include "imaging/QpPixels.h"

// The rectangle a brush of `size` covers when centred on (x, y): always 2 * (size / 2) + 1 wide.
TQpRect BrushRect(int x, int y, int size);

// The soft round brush: peak in the middle, 1 - r^(hardness / 16) towards the rim, 0 beyond it.
// Bounds (0, 0, 2h + 1, 2h + 1) with h = size / 2. False when the mask cannot be allocated.
bool BuildSoftBrushMask(TQpPixelMask& mask, int size, int peak, int hardness);
