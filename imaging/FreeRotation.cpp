#include "imaging/FreeRotation.h"

#include "imaging/FilterTable.h"

#include <algorithm>
#include <cmath>

long double RotationStep(int startX, int startY, int endX, int endY)
{
    const long double d = static_cast<long double>(startY) - endY;
    const long double b = static_cast<long double>(startX) - endX;
    if (b == 0 && d == 0)
        return 0;
    return std::fabs(d) < std::fabs(b) ? std::atan(d / b) : std::atan(-b / d);
}

namespace {

void Geometry(int width, int height, long double& diagonal, long double& phi)
{
    diagonal = std::sqrt(static_cast<long double>(width) * width + static_cast<long double>(height) * height);
    phi = std::atan(static_cast<long double>(height) / std::max(width, 1));
}

int RoundSide(long double value)
{
    return static_cast<int>(std::clamp<long double>(std::nearbyint(value), 1, kMaxImageSide));
}

} // namespace

void RotatedSize(int width, int height, long double theta, int& rotatedWidth, int& rotatedHeight)
{
    long double diagonal = 0, phi = 0;
    Geometry(width, height, diagonal, phi);
    rotatedWidth =
        RoundSide(diagonal * std::max(std::fabs(std::cos(theta + phi)), std::fabs(std::cos(theta - phi))));
    rotatedHeight =
        RoundSide(diagonal * std::max(std::fabs(std::sin(theta + phi)), std::fabs(std::sin(theta - phi))));
}

bool RenderRotation(const TQpPixels& source, long double theta, int filter, TQpPixelBuffer& dest,
                    std::vector<std::uint8_t>& uncovered, IProgressMeter* meter)
{
    const int w = source.Width, h = source.Height;
    if (source.Format != pfBGR24 || w < 1 || h < 1 || filter < 0 ||
        filter >= static_cast<int>(kResamplingFilters.size()))
        return false;
    int w2 = 0, h2 = 0;
    RotatedSize(w, h, theta, w2, h2);
    if (!dest.SetFormatAndBounds(pfBGR24, {0, 0, w2, h2}))
        return false;
    uncovered.assign(static_cast<std::size_t>(w2) * static_cast<std::size_t>(h2), 0);
    const long double cx2 = (w2 - 1) / 2.0L, cy2 = (h2 - 1) / 2.0L;
    const long double cx = (w - 1) / 2.0L, cy = (h - 1) / 2.0L;
    const long double c = std::cos(theta), s = std::sin(theta);
    const TResamplingFilter& kernel = kResamplingFilters[static_cast<std::size_t>(filter)];
    if (meter)
        meter->Start(w2);
    for (int x = 0; x < w2; ++x) {
        // Exact at the column's ends, linear in between.
        const long double dx = x - cx2;
        const long double topX = dx * c - (0 - cy2) * s + cx, topY = dx * s + (0 - cy2) * c + cy;
        const long double bottomX = dx * c - (h2 - 1 - cy2) * s + cx,
                          bottomY = dx * s + (h2 - 1 - cy2) * c + cy;
        const long double stepX = (bottomX - topX) / std::max(h2 - 1, 1),
                          stepY = (bottomY - topY) / std::max(h2 - 1, 1);
        for (int y = 0; y < h2; ++y) {
            const long double sx = topX + stepX * y, sy = topY + stepY * y;
            std::uint8_t* out = dest.PixelPtr(x, y);
            const long double rx = std::nearbyint(sx), ry = std::nearbyint(sy);
            if (rx < 0 || rx > w - 1 || ry < 0 || ry > h - 1) {
                uncovered[static_cast<std::size_t>(y) * w2 + x] = 1;
                out[0] = out[1] = out[2] = 255;
                continue;
            }
            if (filter == 0) {
                const std::uint8_t* in = source.PixelPtr(static_cast<int>(rx), static_cast<int>(ry));
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
                continue;
            }
            const int i0 = std::max(0, static_cast<int>(std::floor(sx - kernel.Support)));
            const int i1 = std::min(static_cast<int>(std::ceil(sx + kernel.Support)), w - 1);
            const int j0 = std::max(0, static_cast<int>(std::floor(sy - kernel.Support)));
            const int j1 = std::min(static_cast<int>(std::ceil(sy + kernel.Support)), h - 1);
            float sum[3] = {0, 0, 0};
            float weights = 0;
            for (int j = j0; j <= j1; ++j)
                for (int i = i0; i <= i1; ++i) {
                    const auto v = static_cast<float>(kernel.Weight(
                        static_cast<double>(std::sqrt((sx - i) * (sx - i) + (sy - j) * (sy - j)))));
                    if (v == 0)
                        continue;
                    const std::uint8_t* in = source.PixelPtr(i, j);
                    for (int k = 0; k < 3; ++k)
                        sum[k] += v * in[k];
                    weights += v;
                }
            for (int k = 0; k < 3; ++k)
                out[k] = weights == 0 ? 0
                                      : static_cast<std::uint8_t>(
                                            std::clamp(std::nearbyint(sum[k] / weights), 0.0f, 255.0f));
        }
        if (meter)
            meter->Step();
    }
    return true;
}

TQpRect AutoCropRect(const std::vector<std::uint8_t>& uncovered, int width, int height)
{
    if (width < 1 || height < 1 || uncovered.size() < static_cast<std::size_t>(width) * height)
        return {};
    const auto masked = [&](int x, int y) { return uncovered[static_cast<std::size_t>(y) * width + x] != 0; };
    const int cx = width / 2, cy = height / 2;
    int top = cy, bottom = cy, left = cx, right = cx;
    while (top > 0 && !masked(cx, top))
        --top;
    while (bottom < height && !masked(cx, bottom))
        ++bottom;
    while (left > 0 && !masked(left, cy))
        --left;
    while (right < width && !masked(right, cy))
        ++right;
    const auto rowMasked = [&](int y) {
        for (int x = left; x < right; ++x)
            if (masked(x, y))
                return true;
        return false;
    };
    const auto columnMasked = [&](int x) {
        for (int y = top; y < bottom; ++y)
            if (masked(x, y))
                return true;
        return false;
    };
    bool moved = true;
    while (moved && top < bottom - 1 && left < right - 1) {
        moved = false;
        if (rowMasked(top)) {
            ++top;
            moved = true;
        }
        if (rowMasked(bottom - 1)) {
            --bottom;
            moved = true;
        }
        if (columnMasked(left)) {
            ++left;
            moved = true;
        }
        if (columnMasked(right - 1)) {
            --right;
            moved = true;
        }
    }
    moved = true;
    while (moved) {
        moved = false;
        if (top > 0 && !rowMasked(top - 1)) {
            --top;
            moved = true;
        }
        if (bottom < height && !rowMasked(bottom)) {
            ++bottom;
            moved = true;
        }
        if (left > 0 && !columnMasked(left - 1)) {
            --left;
            moved = true;
        }
        if (right < width && !columnMasked(right)) {
            ++right;
            moved = true;
        }
    }
    return {left, top, right, bottom};
}
