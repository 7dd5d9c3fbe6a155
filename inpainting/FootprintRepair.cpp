#include "inpainting/FootprintRepair.h"

#include "inpainting/AreaCorrelator.h"

#include <algorithm>

TQpRect FootprintSquare(const TQpPixelMask& footprint)
{
    int left = footprint.Left + footprint.Width;
    int top = footprint.Top + footprint.Height;
    int right = footprint.Left;
    int bottom = footprint.Top;
    for (int y = footprint.Top; y < footprint.Top + footprint.Height; ++y) {
        const std::uint8_t* row = footprint.ValuePtr(footprint.Left, y);
        for (int x = 0; x < footprint.Width; ++x) {
            if (row[x] == 0)
                continue;
            left = std::min(left, footprint.Left + x);
            right = std::max(right, footprint.Left + x + 1);
            top = std::min(top, y);
            bottom = std::max(bottom, y + 1);
        }
    }
    if (right <= left)
        return {};
    const int side = std::max(right - left, bottom - top);
    return {left, top, left + side, top + side};
}

bool RepairFootprint(TQpPixels& destination, const TQpPixels& source, const TQpPixelMask& footprint,
                     int sourceX, int sourceY, const TRepairOptions& options, TRepairResult& result,
                     std::string& error)
{
    if (options.Mode < 0 || options.Mode > 2) {
        error = "the mode must be 0, 1 or 2";
        return false;
    }
    if (options.Orientation != TRepairOptions::kAutoOrientation &&
        (options.Orientation < 0 || options.Orientation >= kReflectionCount)) {
        error = "the orientation must be 0 to 7 or automatic";
        return false;
    }
    const TQpRect target = FootprintSquare(footprint);
    if (target.IsEmpty()) {
        error = "the footprint covers no pixel";
        return false;
    }
    if (target.Width() > kMaxFootprintSide) {
        error = "the footprint is " + std::to_string(target.Width()) + " pixels across; at most " +
                std::to_string(kMaxFootprintSide) + " are allowed";
        return false;
    }

    TAreaCorrelator correlator(target, destination, source, TAreaCorrelator::kToolSquaredRadius);
    for (int x = target.Left; x < target.Right; ++x) {
        for (int y = target.Top; y < target.Bottom; ++y) {
            const std::uint8_t* value = footprint.ValuePtr(x, y);
            correlator.SetMask(x, y, value && *value != 0 ? 1 : 0);
        }
    }
    correlator.Prepare();
    if (options.LongDefect)
        correlator.RemoveMinorityColours(TAreaCorrelator::kToolMinorityFraction);
    if (options.Blend)
        correlator.ComputeSeamWeights();
    const int orientation = options.Orientation == TRepairOptions::kAutoOrientation
                                ? correlator.BestReflection(
                                      {sourceX, sourceY, sourceX + target.Width(), sourceY + target.Height()})
                                : options.Orientation;
    correlator.Transfer(sourceX, sourceY, orientation, options.Blend, options.Mode,
                        TAreaCorrelator::kToolOrder);
    result.Target = target;
    result.Orientation = orientation;
    return true;
}
