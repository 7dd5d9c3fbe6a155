#pragma once
// One complete repair of a footprint, as the hand tool runs it on a click: the target square around the
// footprint, the lists, the optional cleaning and seam weights, the orientation and the transfer. The
// headless path for the command line, the benchmarks and the comparisons.

#include "imaging/QpPixels.h"

#include <string>

struct TRepairOptions
{
    static constexpr int kAutoOrientation = -1;

    int Orientation = kAutoOrientation; // 0-7, or the best one for the source
    int Mode = 2;                       // 0 copy, 1 brightness, 2 colour correction
    bool Blend = true;
    bool LongDefect = true;
};

struct TRepairResult
{
    TQpRect Target;      // the square around the footprint; empty when the footprint covers nothing
    int Orientation = 0; // the orientation used
};

// Targets larger than this are refused: the tool's brush ends at 100 pixels.
constexpr int kMaxFootprintSide = 2048;

// The square whose top-left is that of the footprint's non-zero values and whose side is the larger of
// their extents; empty when no value is non-zero.
TQpRect FootprintSquare(const TQpPixelMask& footprint);

// Replaces the pixels of `destination` under the footprint's interior with those of the source square whose
// top-left is (sourceX, sourceY), reading `source` (the image before the repair). False, with `error`
// set and nothing written, when the footprint is empty or too large or an option is out of range.
bool RepairFootprint(TQpPixels& destination, const TQpPixels& source, const TQpPixelMask& footprint,
                     int sourceX, int sourceY, const TRepairOptions& options, TRepairResult& result,
                     std::string& error);
