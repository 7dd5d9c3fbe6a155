#include "imaging/BrushMask.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

TQpRect BrushRect(int x, int y, int size)
{
    const int half = size / 2;
    return {x - half, y - half, x + half + 1, y + half + 1};
}

bool BuildSoftBrushMask(TQpPixelMask& mask, int size, int peak, int hardness)
{
    if (size < 0) {
        mask.SetBounds(0, 0, 0, 0);
        return false;
    }
    const int half = size / 2;
    const int side = 2 * half + 1;
    if (!mask.SetBounds(0, 0, side, side))
        return false;
    const std::uint8_t top = static_cast<std::uint8_t>(std::clamp(peak, 0, 255));
    if (half == 0) {
        *mask.ValuePtr(0, 0) = top;
        return true;
    }
    const double exponent = hardness / 16.0;
    for (int e = 0; e <= half; ++e) {
        for (int f = 0; f <= half; ++f) {
            const double r = std::sqrt(static_cast<double>(e * e + f * f)) * 2.0 / size;
            std::uint8_t value = 0;
            if (r < 1.0) {
                const double level = std::nearbyint((1.0 - std::pow(r, exponent)) * top);
                value = static_cast<std::uint8_t>(std::clamp(level, 0.0, 255.0));
            }
            *mask.ValuePtr(half + f, half + e) = value;
            *mask.ValuePtr(half - f, half + e) = value;
            *mask.ValuePtr(half + f, half - e) = value;
            *mask.ValuePtr(half - f, half - e) = value;
        }
    }
    return true;
}
