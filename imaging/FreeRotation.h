#pragma once
// The free rotation's pixel work: the size of the turned picture, rendering it from the unturned source
// with a filter of the resampling table (uncovered corners white), and the largest upright rectangle
// inside it. Angles are extended precision, as the accumulated angle of many lines must stay exact.

#include "core/ProgressMeter.h"
#include "imaging/QpPixels.h"

#include <cstdint>
#include <vector>

// The angle a drawn line adds, from its ends in view pixels: a line closer to horizontal is levelled,
// one closer to vertical made upright.
long double RotationStep(int startX, int startY, int endX, int endY);

// The bounding box of a width x height picture turned by theta, rounded to the nearest (halves to even).
void RotatedSize(int width, int height, long double theta, int& rotatedWidth, int& rotatedHeight);

// Renders `source` (pfBGR24) turned by theta about its centre into `dest` (pfBGR24, the rotated size, at
// the origin) with filter `filter` of the resampling table; `uncovered` gets one byte per pixel, 1 where no
// source pixel lies. The meter advances once per column. False when memory is short.
bool RenderRotation(const TQpPixels& source, long double theta, int filter, TQpPixelBuffer& dest,
                    std::vector<std::uint8_t>& uncovered, IProgressMeter* meter = nullptr);

// The largest upright rectangle inside the covered pixels: grown from the centre, shrunk off every
// uncovered pixel, then grown again while whole rows and columns stay covered.
TQpRect AutoCropRect(const std::vector<std::uint8_t>& uncovered, int width, int height);
