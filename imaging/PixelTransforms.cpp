#include "imaging/PixelTransforms.h"

#include <algorithm>
#include <cstring>

namespace {

// Tile side in pixels: the source rows of one tile (64 rows x 192 bytes) stay in the first-level cache
// while the tile's destination rows are written.
constexpr int kTile = 64;

bool Usable(const TQpPixels& pixels)
{
    return pixels.Format == pfBGR24 && pixels.BytesPerPixel == 3 && pixels.Data && pixels.Width > 0 &&
           pixels.Height > 0;
}

bool Compatible(const TQpPixels& src, const TQpPixels& dest, bool turned)
{
    if (!Usable(src) || !Usable(dest))
        return false;
    return turned ? (dest.Width == src.Height && dest.Height == src.Width)
                  : (dest.Width == src.Width && dest.Height == src.Height);
}

inline void CopyPixel(std::uint8_t* to, const std::uint8_t* from)
{
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// Walks the destination in tiles; sourceOf(x, y) gives the source of destination pixel (x, y), and the
// source of (x + 1, y) lies `step` bytes further on.
template <typename SourceOf> void TurnTiled(TQpPixels& dest, std::ptrdiff_t step, SourceOf sourceOf)
{
    for (int y0 = 0; y0 < dest.Height; y0 += kTile) {
        const int y1 = std::min(y0 + kTile, dest.Height);
        for (int x0 = 0; x0 < dest.Width; x0 += kTile) {
            const int x1 = std::min(x0 + kTile, dest.Width);
            for (int y = y0; y < y1; ++y) {
                std::uint8_t* to = dest.Data + std::ptrdiff_t(y) * dest.Stride + std::ptrdiff_t(x0) * 3;
                const std::uint8_t* from = sourceOf(x0, y);
                for (int x = x0; x < x1; ++x, to += 3, from += step)
                    CopyPixel(to, from);
            }
        }
    }
}

} // namespace

bool MirrorPixels(const TQpPixels& src, TQpPixels& dest)
{
    if (!Compatible(src, dest, false))
        return false;
    const int w = src.Width;
    for (int y = 0; y < src.Height; ++y) {
        const std::uint8_t* from = src.Data + std::ptrdiff_t(y) * src.Stride + std::ptrdiff_t(w - 1) * 3;
        std::uint8_t* to = dest.Data + std::ptrdiff_t(y) * dest.Stride;
        for (int x = 0; x < w; ++x, to += 3, from -= 3)
            CopyPixel(to, from);
    }
    return true;
}

bool FlipPixels(const TQpPixels& src, TQpPixels& dest)
{
    if (!Compatible(src, dest, false))
        return false;
    const std::size_t rowBytes = std::size_t(src.Width) * 3;
    for (int y = 0; y < src.Height; ++y)
        std::memcpy(dest.Data + std::ptrdiff_t(y) * dest.Stride,
                    src.Data + std::ptrdiff_t(src.Height - 1 - y) * src.Stride, rowBytes);
    return true;
}

bool RotatePixelsLeft(const TQpPixels& src, TQpPixels& dest)
{
    if (!Compatible(src, dest, true))
        return false;
    // dest (x, y) = src (w - 1 - y, x): along a destination row the source walks down a column.
    const int w = src.Width;
    TurnTiled(dest, src.Stride, [&](int x, int y) {
        return src.Data + std::ptrdiff_t(x) * src.Stride + std::ptrdiff_t(w - 1 - y) * 3;
    });
    return true;
}

bool RotatePixelsRight(const TQpPixels& src, TQpPixels& dest)
{
    if (!Compatible(src, dest, true))
        return false;
    // dest (x, y) = src (y, h - 1 - x): along a destination row the source walks up a column.
    const int h = src.Height;
    TurnTiled(dest, -std::ptrdiff_t(src.Stride), [&](int x, int y) {
        return src.Data + std::ptrdiff_t(h - 1 - x) * src.Stride + std::ptrdiff_t(y) * 3;
    });
    return true;
}
