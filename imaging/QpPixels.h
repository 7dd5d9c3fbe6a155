#pragma once
// The raster types every image operation works on: pixel windows in image coordinates over 24-bit
// blue-green-red rows (TQpPixels), the buffer that owns such a window's pages (TQpPixelBuffer), byte
// coverage masks (TQpPixelMask) and the abstract displayable image (TQpBitmap). Plain, single-threaded.

#include "imaging/PageAllocator.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

class QPainter;

// Half-open rectangle: Left and Top included, Right and Bottom excluded; y grows downward.
struct TQpRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TQpRect&, const TQpRect&) = default;
};

// The common part of both rectangles; (0, 0, 0, 0) when they do not meet.
TQpRect IntersectRect(const TQpRect& a, const TQpRect& b);
// The smallest rectangle holding both; an empty one counts as nothing. Inline: loops over points use it.
inline TQpRect UnionRect(const TQpRect& a, const TQpRect& b)
{
    if (a.IsEmpty())
        return b;
    if (b.IsEmpty())
        return a;
    return {a.Left < b.Left ? a.Left : b.Left, a.Top < b.Top ? a.Top : b.Top,
            a.Right > b.Right ? a.Right : b.Right, a.Bottom > b.Bottom ? a.Bottom : b.Bottom};
}

// Whether `inner` lies wholly inside `outer`.
inline bool Contains(const TQpRect& outer, const TQpRect& inner)
{
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

// The rectangle moved outward by `by` on every side (inward when negative).
inline TQpRect Grown(const TQpRect& rect, int by)
{
    return {rect.Left - by, rect.Top - by, rect.Right + by, rect.Bottom + by};
}

// Pixel format codes. Every image of the program is pfBGR24; pfBGRA32 exists for the display bridge.
constexpr int pfBGR24 = 0x1012;
constexpr int pfBGRA32 = 0x1112;

// Images beyond this side length are refused, which keeps every size product far from overflow.
constexpr int kMaxImageSide = 32767;

// Bits per pixel derived from the format code: colour model in the low nibble, an alpha byte when
// (code & 0xF00) == 0x100, bits 4-7 doubling (0x20, 0x30) or quadrupling (0x40), truncated to 8 bits.
int BitsPerPixel(int format);
// (BitsPerPixel >> 3) & 0x1F.
int FormatBytesPerPixel(int format);
// Row length in bytes rounded up to a multiple of 4; 0 for a negative width.
std::size_t RowStride(int format, int width);

// Blends a packed colour (red * 65536 + green * 256 + blue) into the three bytes blue, green, red at
// `pixel`: alpha 0 leaves it, 255 sets it, otherwise c + floor(alpha * (t - c) / 256) per channel.
void BlendPixel(std::uint8_t* pixel, int alpha, std::uint32_t color);

// Fits width x height into the box keeping the aspect ratio; false when any side is below 1.
// Results are at least 1.
bool FitSize(int width, int height, int boxWidth, int boxHeight, int& newWidth, int& newHeight);

template <typename T> constexpr T Clamp(T value, T low, T high)
{
    return value < low ? low : (value > high ? high : value);
}

// A window of pixels in image coordinates over memory it does not own. Data points at (Left, Top).
class TQpPixels
{
public:
    std::uint8_t* Data = nullptr;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Stride = 0;
    int Format = 0;
    int BytesPerPixel = 0;

    TQpPixels() = default;
    // Copies are further views of the same pixels.
    TQpPixels(const TQpPixels&) = default;
    TQpPixels& operator=(const TQpPixels&) = default;
    virtual ~TQpPixels() = default;

    // Points the window at `data`; negative extents become 0. Takes no ownership.
    void Init(const TQpRect& rect, void* data, int format, int stride);
    TQpRect GetBounds() const { return {Left, Top, Left + Width, Top + Height}; }

    // No bounds check: callers stay inside GetBounds.
    std::uint8_t* PixelPtr(int x, int y) const
    {
        return Data + static_cast<std::ptrdiff_t>(x - Left) * BytesPerPixel +
               static_cast<std::ptrdiff_t>(y - Top) * Stride;
    }

    // Copies srcRect of `src` so that its top-left lands on (destX, destY), clipped to both windows.
    // Nothing is copied between different formats. Returns the destination rectangle written.
    TQpRect CopyRect(int destX, int destY, const TQpRect& srcRect, const TQpPixels& src);
    // Copies the overlap of the two windows at identical image coordinates.
    TQpRect CopyFrom(const TQpPixels& src) { return CopyRect(src.Left, src.Top, src.GetBounds(), src); }
};

// A pixel window that owns its pages. A fresh buffer is empty with format 0; its storage is zero-filled
// and has rows padded to a multiple of 4 bytes. It never keeps a geometry it holds no storage for.
class TQpPixelBuffer : public TQpPixels
{
public:
    TQpPixelBuffer() = default;
    ~TQpPixelBuffer() override = default;
    TQpPixelBuffer(TQpPixelBuffer&& other) noexcept;
    TQpPixelBuffer& operator=(TQpPixelBuffer&& other) noexcept;
    TQpPixelBuffer(const TQpPixelBuffer&) = delete;
    TQpPixelBuffer& operator=(const TQpPixelBuffer&) = delete;

    // A buffer owns its memory; pointing it elsewhere would lose the pages.
    void Init(const TQpRect&, void*, int, int) = delete;

    // Gives the buffer this window. With `keep`, pixels inside both the old and the new window survive,
    // all others are 0. The same window with unchanged bytes per pixel leaves everything as it is.
    // False when the window is larger than kMaxImageSide or the pages cannot be had; the buffer is then
    // empty (no storage, zero geometry), never a geometry without storage.
    bool SetBounds(const TQpRect& rect, bool keep);
    // Sets the format, then the window without keeping pixels.
    bool SetFormatAndBounds(int format, const TQpRect& rect);
    // Zeroes the geometry (the format stays) and gives the pages back.
    void Release();

private:
    TPageBlock m_pages;
    int m_storageBytesPerPixel = 0;
};

// A byte-per-pixel coverage mask: 0 not covered, 255 fully covered. Rows of Width bytes, no padding.
// Moving a mask is done by assigning Left and Top.
class TQpPixelMask
{
public:
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    std::uint8_t* Values = nullptr; // owned by the mask

    TQpPixelMask() = default;
    TQpPixelMask(TQpPixelMask&& other) noexcept;
    TQpPixelMask& operator=(TQpPixelMask&& other) noexcept;
    TQpPixelMask(const TQpPixelMask&) = delete;
    TQpPixelMask& operator=(const TQpPixelMask&) = delete;
    ~TQpPixelMask() = default;

    // Negative extents become 0; the storage becomes width x height zero bytes. False when a side exceeds
    // kMaxImageSide or memory runs out; the mask is then empty.
    bool SetBounds(int left, int top, int width, int height);
    TQpRect GetBounds() const { return {Left, Top, Left + Width, Top + Height}; }
    // Null outside the bounds or without storage.
    std::uint8_t* ValuePtr(int x, int y) const;
    void Release();

private:
    struct TFree
    {
        void operator()(std::uint8_t* values) const { std::free(values); }
    };
    std::unique_ptr<std::uint8_t, TFree> m_values;
};

// The displayable image a document keeps; bounds are (0, 0, GetWidth, GetHeight).
class TQpBitmap
{
public:
    virtual ~TQpBitmap() = default;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    // The pixels of the image, origin (0, 0); null when the bitmap is empty.
    virtual TQpPixels* GetPixels() = 0;
    // Draws `source` (the whole image when null) into `dest`, limited to `destClip` when given.
    virtual bool Paint(QPainter& painter, const TQpRect& dest, const TQpRect* destClip,
                       const TQpRect* source) = 0;
    // Draws the whole image into `rect` of a painter opened on a printer.
    virtual bool Print(QPainter& painter, const TQpRect& rect) = 0;
};
