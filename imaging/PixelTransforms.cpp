#include "imaging/PixelTransforms.h"

#include <algorithm>
#include <cstring>
#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

// Tile side in pixels: a tile's 32 source runs of 96 bytes and its 32 destination rows stay in the
// first-level cache together; measured faster than 16, 48, 64 or 128 on 24-megapixel images.
constexpr int kTile = 32;

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

// Kernels get an AVX2 copy chosen at run time (byte shuffles become single instructions); every copy
// moves the same bytes.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define VELMORA_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define VELMORA_KERNEL
#endif

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VELMORA_VECTOR_BLOCKS 1
typedef std::uint8_t TBytes __attribute__((vector_size(16)));
typedef std::uint32_t TWords __attribute__((vector_size(16)));

// Sixteen bytes moved as one register. Twelve-byte moves through memcpy would go through the stack
// and stall on store forwarding.
inline TBytes Load16(const std::uint8_t* from)
{
    TBytes bytes;
    std::memcpy(&bytes, from, 16);
    return bytes;
}

inline void Store16(std::uint8_t* to, TBytes bytes)
{
    std::memcpy(to, &bytes, 16);
}

// Four pixels widened to one 32-bit word each. The 16-byte load starts `Offset` bytes before the
// pixels, so that it can stay inside the row at either of its ends.
template <int Offset> inline TWords LoadFour(const std::uint8_t* from)
{
    constexpr std::uint8_t o = Offset;
    const TBytes bytes = Load16(from - Offset);
    return TWords(__builtin_shuffle(bytes, TBytes{o + 0, o + 1, o + 2, 0, o + 3, o + 4, o + 5, 0, o + 6,
                                                  o + 7, o + 8, 0, o + 9, o + 10, o + 11, 0}));
}

// Four words narrowed back to twelve bytes, written with a 16-byte store whose last four bytes belong
// to the next pixels and are written again later (`wide`), or with exact byte copies at a row's end.
inline void StoreFour(std::uint8_t* to, TWords words, bool wide)
{
    const TBytes packed =
        __builtin_shuffle(TBytes(words), TBytes{0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 3, 7, 11, 15});
    if (wide) {
        Store16(to, packed);
    } else {
        for (int i = 0; i < 12; ++i)
            to[i] = packed[i];
    }
}

// Transposes four rows of four pixels: row j of the result holds pixel j of every input row.
inline void Transpose(TWords& r0, TWords& r1, TWords& r2, TWords& r3)
{
    const TWords t0 = __builtin_shuffle(r0, r1, TWords{0, 4, 1, 5});
    const TWords t1 = __builtin_shuffle(r0, r1, TWords{2, 6, 3, 7});
    const TWords t2 = __builtin_shuffle(r2, r3, TWords{0, 4, 1, 5});
    const TWords t3 = __builtin_shuffle(r2, r3, TWords{2, 6, 3, 7});
    r0 = __builtin_shuffle(t0, t2, TWords{0, 1, 4, 5});
    r1 = __builtin_shuffle(t0, t2, TWords{2, 3, 6, 7});
    r2 = __builtin_shuffle(t1, t3, TWords{0, 1, 4, 5});
    r3 = __builtin_shuffle(t1, t3, TWords{2, 3, 6, 7});
}
#endif

// Images at least this large do not stay in the cache anyway, so their new rows are written with
// streaming stores: the destination's cache lines are then not read from memory before being overwritten.
constexpr std::size_t kStreamingBytes = std::size_t(4) << 20;

bool Streaming(const TQpPixels& dest)
{
    return std::size_t(dest.Stride) * std::size_t(dest.Height) >= kStreamingBytes;
}

// Copies `bytes` bytes, with streaming stores from the first 16-byte boundary of the destination on.
inline void StreamBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t bytes)
{
#ifdef VELMORA_VECTOR_BLOCKS
    std::size_t i = std::min(bytes, (16 - reinterpret_cast<std::uintptr_t>(to) % 16) % 16);
    std::memcpy(to, from, i);
    for (; i + 16 <= bytes; i += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    std::memcpy(to + i, from + i, bytes - i);
#else
    std::memcpy(to, from, bytes);
#endif
}

inline void EndStreaming()
{
#ifdef VELMORA_VECTOR_BLOCKS
    _mm_sfence(); // streaming stores reach memory before anyone reads the new image
#endif
}

// A quarter turn as a walk over destination tiles. The windows' fields are copied into plain values
// first: byte stores through the pixel pointers may alias anything, and the compiler would otherwise
// reload every field after every store.
template <bool Left> struct TTurn
{
    const std::uint8_t* srcData;
    std::ptrdiff_t srcStride;
    int srcWidth;
    int srcHeight;
    std::uint8_t* destData;
    std::ptrdiff_t destStride;
    int destWidth;
    int destHeight;

    // Left: destination (x, y) comes from source (w - 1 - y, x); right: from source (y, h - 1 - x).
    const std::uint8_t* Source(int x, int y) const
    {
        const int column = Left ? srcWidth - 1 - y : y;
        const int row = Left ? x : srcHeight - 1 - x;
        return srcData + row * srcStride + std::ptrdiff_t(column) * 3;
    }
    std::uint8_t* Dest(int x, int y) const { return destData + y * destStride + std::ptrdiff_t(x) * 3; }
};

// Turns the 4 x 4 blocks of destination rows [y, y + 4) and columns [x0, x1) (x1 - x0 a multiple of 4),
// writing destination pixel (x, y) to `out(x, y)`. `wideAt(x)` says whether a block may be stored with a
// 16-byte store reaching into the pixels after it.
#ifdef VELMORA_VECTOR_BLOCKS
template <bool Left, typename Out, typename Wide>
inline __attribute__((always_inline)) void TurnBlockRow(const TTurn<Left>& turn, int y, int x0, int x1,
                                                        Out out, Wide wideAt)
{
    const int leftmost = Left ? turn.srcWidth - 4 - y : y;
    const bool loadForward = leftmost + 6 <= turn.srcWidth;
    // Input row i is the source row of destination column x + i; its four pixels are the destination
    // rows y .. y + 3, in reverse for a left turn.
    const int firstRow = Left ? y + 3 : y;
    for (int x = x0; x < x1; x += 4) {
        TWords r0, r1, r2, r3;
        if (loadForward) {
            r0 = LoadFour<0>(turn.Source(x + 0, firstRow));
            r1 = LoadFour<0>(turn.Source(x + 1, firstRow));
            r2 = LoadFour<0>(turn.Source(x + 2, firstRow));
            r3 = LoadFour<0>(turn.Source(x + 3, firstRow));
        } else {
            r0 = LoadFour<4>(turn.Source(x + 0, firstRow));
            r1 = LoadFour<4>(turn.Source(x + 1, firstRow));
            r2 = LoadFour<4>(turn.Source(x + 2, firstRow));
            r3 = LoadFour<4>(turn.Source(x + 3, firstRow));
        }
        Transpose(r0, r1, r2, r3);
        const bool wide = wideAt(x);
        StoreFour(out(x, y + 0), Left ? r3 : r0, wide);
        StoreFour(out(x, y + 1), Left ? r2 : r1, wide);
        StoreFour(out(x, y + 2), Left ? r1 : r2, wide);
        StoreFour(out(x, y + 3), Left ? r0 : r3, wide);
    }
}
#endif

// Whole tiles are built in a small buffer that stays in the first-level cache and are then written out
// with streaming stores, which spare the destination's cache lines from being read before they are
// overwritten; the next tile's source lines are fetched ahead. Edge tiles go straight to the destination.
template <bool Left> inline __attribute__((always_inline)) void TurnTiled(const TTurn<Left> turn, bool stream)
{
    const int width = turn.destWidth;
    const int height = turn.destHeight;
#ifdef VELMORA_VECTOR_BLOCKS
    constexpr int kRowBytes = kTile * 3;
    alignas(64) std::uint8_t tile[kTile][kRowBytes + 16];
    const bool blocks = turn.srcWidth >= 8;
#endif
    for (int y0 = 0; y0 < height; y0 += kTile) {
        const int y1 = std::min(y0 + kTile, height);
        for (int x0 = 0; x0 < width; x0 += kTile) {
            const int x1 = std::min(x0 + kTile, width);
            int y = y0;
#ifdef VELMORA_VECTOR_BLOCKS
            if (blocks && x1 - x0 == kTile && y1 - y0 == kTile) {
                if (x1 + kTile <= width) {
                    const int lowest =
                        Left ? y1 - 1 : y0; // the end of the source run with the lowest address
                    for (int x = x1; x < x1 + kTile; ++x) {
                        const std::uint8_t* line = turn.Source(x, lowest);
                        __builtin_prefetch(line);
                        __builtin_prefetch(line + 64);
                        __builtin_prefetch(line + 128);
                        __builtin_prefetch(line + kRowBytes - 1);
                    }
                }
                for (; y < y1; y += 4)
                    TurnBlockRow(
                        turn, y, x0, x1, [&](int x, int row) { return &tile[row - y0][(x - x0) * 3]; },
                        [](int) { return true; });
                for (int row = 0; row < kTile; ++row) {
                    if (stream)
                        StreamBytes(turn.Dest(x0, y0 + row), tile[row], kRowBytes);
                    else
                        std::memcpy(turn.Dest(x0, y0 + row), tile[row], kRowBytes);
                }
                continue;
            }
            for (; y + 4 <= y1 && blocks; y += 4) {
                const int xEnd = x0 + (x1 - x0) / 4 * 4;
                TurnBlockRow(
                    turn, y, x0, xEnd, [&](int x, int row) { return turn.Dest(x, row); },
                    [&](int x) { return x + 4 < width; });
                for (int row = y; row < y + 4; ++row)
                    for (int rest = xEnd; rest < x1; ++rest)
                        CopyPixel(turn.Dest(rest, row), turn.Source(rest, row));
            }
#endif
            for (; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    CopyPixel(turn.Dest(x, y), turn.Source(x, y));
        }
    }
    if (stream)
        EndStreaming();
}

template <bool Left> TTurn<Left> MakeTurn(const TQpPixels& src, TQpPixels& dest)
{
    return {src.Data, src.Stride, src.Width, src.Height, dest.Data, dest.Stride, dest.Width, dest.Height};
}

VELMORA_KERNEL void TurnLeft(const TQpPixels& src, TQpPixels& dest)
{
    TurnTiled(MakeTurn<true>(src, dest), Streaming(dest));
}
VELMORA_KERNEL void TurnRight(const TQpPixels& src, TQpPixels& dest)
{
    TurnTiled(MakeTurn<false>(src, dest), Streaming(dest));
}

VELMORA_KERNEL void MirrorRows(const TQpPixels& src, TQpPixels& dest)
{
    const int w = src.Width;
    const int h = src.Height;
    const std::uint8_t* const srcData = src.Data;
    std::uint8_t* const destData = dest.Data;
    const std::ptrdiff_t srcStride = src.Stride;
    const std::ptrdiff_t destStride = dest.Stride;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* from = srcData + y * srcStride;
        std::uint8_t* to = destData + y * destStride;
        int x = 0;
#ifdef VELMORA_VECTOR_BLOCKS
        // Four pixels at a time: source pixels w - 4 - x .. w - 1 - x, reversed. The 16-byte load starts
        // four bytes early and the 16-byte store runs four bytes into pixels written next, so both stay
        // inside the row while two pixels remain.
        for (; x + 6 <= w; x += 4) {
            const TBytes bytes = Load16(from + std::ptrdiff_t(w - 4 - x) * 3 - 4);
            Store16(to + std::ptrdiff_t(x) * 3,
                    __builtin_shuffle(bytes, TBytes{13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 0, 0, 0, 0}));
        }
#endif
        for (; x < w; ++x)
            CopyPixel(to + std::ptrdiff_t(x) * 3, from + std::ptrdiff_t(w - 1 - x) * 3);
    }
}

} // namespace

bool MirrorPixels(const TQpPixels& src, TQpPixels& dest)
{
    if (!Compatible(src, dest, false))
        return false;
    MirrorRows(src, dest);
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
    TurnLeft(src, dest);
    return true;
}

bool RotatePixelsRight(const TQpPixels& src, TQpPixels& dest)
{
    if (!Compatible(src, dest, true))
        return false;
    TurnRight(src, dest);
    return true;
}
