#include "imaging/QpPixels.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Extent of a span with 64-bit arithmetic, negative spans counting as 0.
std::int64_t Extent(int low, int high)
{
    return std::max<std::int64_t>(0, std::int64_t(high) - low);
}

// Integer multiply-divide: 64-bit product, rounded to nearest with halves away from zero. Positive
// arguments only.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return (a * b + c / 2) / c;
}

} // namespace

TQpRect IntersectRect(const TQpRect& a, const TQpRect& b)
{
    const TQpRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                    std::min(a.Bottom, b.Bottom)};
    return r.IsEmpty() ? TQpRect{} : r;
}

int BitsPerPixel(int format)
{
    int bits = 0;
    switch (format & 0xF) {
    case 1:
        bits = 8;
        break;
    case 2:
    case 3:
    case 4:
    case 5:
    case 7:
    case 8:
        bits = 24;
        break;
    case 6:
        bits = 32;
        break;
    default:
        bits = 0;
    }
    if ((format & 0xF00) == 0x100)
        bits += 8;
    const int multiplier = format & 0xF0;
    if (multiplier == 0x20 || multiplier == 0x30)
        bits *= 2;
    else if (multiplier == 0x40)
        bits *= 4;
    return bits & 0xFF;
}

int FormatBytesPerPixel(int format)
{
    return (BitsPerPixel(format) >> 3) & 0x1F;
}

std::size_t RowStride(int format, int width)
{
    if (width <= 0)
        return 0;
    return (std::size_t(BitsPerPixel(format)) * std::size_t(width) + 31) / 32 * 4;
}

void BlendPixel(std::uint8_t* pixel, int alpha, std::uint32_t color)
{
    if (alpha <= 0)
        return;
    const int target[3] = {int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF)};
    for (int channel = 0; channel < 3; ++channel) {
        if (alpha >= 255) {
            pixel[channel] = std::uint8_t(target[channel]);
        } else {
            // The shift floors negative differences, which a division would truncate toward 0.
            const int c = pixel[channel];
            pixel[channel] = std::uint8_t(c + ((alpha * (target[channel] - c)) >> 8));
        }
    }
}

bool FitSize(int width, int height, int boxWidth, int boxHeight, int& newWidth, int& newHeight)
{
    if (width < 1 || height < 1 || boxWidth < 1 || boxHeight < 1)
        return false;
    if (double(height) / boxHeight >= double(width) / boxWidth) {
        newHeight = boxHeight;
        newWidth = int(std::max<std::int64_t>(1, MulDiv(width, boxHeight, height)));
    } else {
        newWidth = boxWidth;
        newHeight = int(std::max<std::int64_t>(1, MulDiv(height, boxWidth, width)));
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------------

void TQpPixels::Init(const TQpRect& rect, void* data, int format, int stride)
{
    Left = rect.Left;
    Top = rect.Top;
    Width = int(Extent(rect.Left, rect.Right));
    Height = int(Extent(rect.Top, rect.Bottom));
    Format = format;
    BytesPerPixel = FormatBytesPerPixel(format);
    Stride = stride;
    Data = static_cast<std::uint8_t*>(data);
}

TQpRect TQpPixels::CopyRect(int destX, int destY, const TQpRect& srcRect, const TQpPixels& src)
{
    if (src.Format != Format || !Data || !src.Data)
        return {};
    const TQpRect r = IntersectRect(srcRect, src.GetBounds());
    if (r.IsEmpty())
        return {};
    // Shifting into destination coordinates can leave the int range for far-off origins.
    const std::int64_t dx = std::int64_t(destX) - srcRect.Left;
    const std::int64_t dy = std::int64_t(destY) - srcRect.Top;
    const std::int64_t left = std::max<std::int64_t>(r.Left + dx, Left);
    const std::int64_t top = std::max<std::int64_t>(r.Top + dy, Top);
    const std::int64_t right = std::min<std::int64_t>(r.Right + dx, std::int64_t(Left) + Width);
    const std::int64_t bottom = std::min<std::int64_t>(r.Bottom + dy, std::int64_t(Top) + Height);
    if (right <= left || bottom <= top)
        return {};
    const TQpRect dest{int(left), int(top), int(right), int(bottom)};
    const int srcX = int(left - dx);
    const int srcY = int(top - dy);

    const std::size_t rowBytes = std::size_t(dest.Width()) * BytesPerPixel;
    const int rows = dest.Height();
    std::uint8_t* to = PixelPtr(dest.Left, dest.Top);
    const std::uint8_t* from = src.PixelPtr(srcX, srcY);
    // Within one storage a copy downward must run bottom-up so no row is overwritten before it is read.
    if (to > from) {
        for (int row = rows - 1; row >= 0; --row)
            std::memmove(to + std::ptrdiff_t(row) * Stride, from + std::ptrdiff_t(row) * src.Stride,
                         rowBytes);
    } else {
        for (int row = 0; row < rows; ++row)
            std::memmove(to + std::ptrdiff_t(row) * Stride, from + std::ptrdiff_t(row) * src.Stride,
                         rowBytes);
    }
    return dest;
}

// ---------------------------------------------------------------------------------------------------------

TQpPixelBuffer::TQpPixelBuffer(TQpPixelBuffer&& other) noexcept
    : TQpPixels(other), m_pages(std::move(other.m_pages)),
      m_storageBytesPerPixel(std::exchange(other.m_storageBytesPerPixel, 0))
{
    other.Data = nullptr;
    other.Left = other.Top = other.Width = other.Height = other.Stride = 0;
}

TQpPixelBuffer& TQpPixelBuffer::operator=(TQpPixelBuffer&& other) noexcept
{
    if (this != &other) {
        TQpPixels::operator=(other);
        m_pages = std::move(other.m_pages);
        m_storageBytesPerPixel = std::exchange(other.m_storageBytesPerPixel, 0);
        other.Data = nullptr;
        other.Left = other.Top = other.Width = other.Height = other.Stride = 0;
    }
    return *this;
}

bool TQpPixelBuffer::SetBounds(const TQpRect& rect, bool keep)
{
    BytesPerPixel = FormatBytesPerPixel(Format);
    if (rect == GetBounds() && BytesPerPixel == m_storageBytesPerPixel)
        return true;

    const std::int64_t width = Extent(rect.Left, rect.Right);
    const std::int64_t height = Extent(rect.Top, rect.Bottom);
    if (width > kMaxImageSide || height > kMaxImageSide) {
        Release();
        return false;
    }
    const std::size_t stride = RowStride(Format, int(width));
    TPageBlock pages;
    if (!pages.Allocate(stride * std::size_t(height))) {
        Release();
        return false;
    }

    TQpPixels fresh;
    fresh.Init({rect.Left, rect.Top, rect.Left + int(width), rect.Top + int(height)}, pages.Data(), Format,
               int(stride));
    if (keep && Data && m_storageBytesPerPixel == BytesPerPixel)
        fresh.CopyFrom(*this);

    m_pages = std::move(pages);
    TQpPixels::operator=(fresh);
    m_storageBytesPerPixel = BytesPerPixel;
    return true;
}

bool TQpPixelBuffer::SetFormatAndBounds(int format, const TQpRect& rect)
{
    Format = format;
    BytesPerPixel = FormatBytesPerPixel(format);
    return SetBounds(rect, false);
}

void TQpPixelBuffer::Release()
{
    m_pages.Free();
    Data = nullptr;
    Left = Top = Width = Height = Stride = 0;
    m_storageBytesPerPixel = 0;
}

// ---------------------------------------------------------------------------------------------------------

TQpPixelMask::TQpPixelMask(TQpPixelMask&& other) noexcept
    : Left(other.Left), Top(other.Top), Width(other.Width), Height(other.Height),
      Values(std::exchange(other.Values, nullptr)), m_values(std::move(other.m_values))
{
    other.Left = other.Top = other.Width = other.Height = 0;
}

TQpPixelMask& TQpPixelMask::operator=(TQpPixelMask&& other) noexcept
{
    if (this != &other) {
        Left = std::exchange(other.Left, 0);
        Top = std::exchange(other.Top, 0);
        Width = std::exchange(other.Width, 0);
        Height = std::exchange(other.Height, 0);
        Values = std::exchange(other.Values, nullptr);
        m_values = std::move(other.m_values);
    }
    return *this;
}

bool TQpPixelMask::SetBounds(int left, int top, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width > kMaxImageSide || height > kMaxImageSide) {
        Release();
        return false;
    }
    const std::size_t bytes = std::size_t(width) * std::size_t(height);
    std::unique_ptr<std::uint8_t, TFree> values;
    if (bytes > 0) {
        values.reset(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
        if (!values) {
            Release();
            return false;
        }
    }
    m_values = std::move(values);
    Values = m_values.get();
    Left = left;
    Top = top;
    Width = width;
    Height = height;
    return true;
}

std::uint8_t* TQpPixelMask::ValuePtr(int x, int y) const
{
    if (!Values || x < Left || y < Top || std::int64_t(x) >= std::int64_t(Left) + Width ||
        std::int64_t(y) >= std::int64_t(Top) + Height)
        return nullptr;
    return Values + std::size_t(y - Top) * std::size_t(Width) + std::size_t(x - Left);
}

void TQpPixelMask::Release()
{
    m_values.reset();
    Values = nullptr;
    Left = Top = Width = Height = 0;
}
