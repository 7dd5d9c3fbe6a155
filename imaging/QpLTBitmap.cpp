#include "imaging/QpLTBitmap.h"

#include "imaging/PixelTransforms.h"
#include "imaging/Resampler.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>

bool TQpLTBitmap::MakeImage(int w, int h, int format, TImage& image)
{
    if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide || BitsPerPixel(format) == 0)
        return false;
    const std::size_t stride = RowStride(format, w);
    TImage made;
    made.Pixels.reset(new (std::nothrow) TQpLTPixels);
    if (!made.Pixels || !made.Pages.Allocate(stride * std::size_t(h)))
        return false;
    made.Pixels->Init({0, 0, w, h}, made.Pages.Data(), format, int(stride));
    image = std::move(made);
    return true;
}

void TQpLTBitmap::Adopt(TImage&& image)
{
    // The window goes first so that it never points at freed pages.
    m_pixels = std::move(image.Pixels);
    m_pages = std::move(image.Pages);
}

bool TQpLTBitmap::SetSize(int w, int h, int format)
{
    TImage image;
    if (!MakeImage(w, h, format, image))
        return false;
    Adopt(std::move(image));
    return true;
}

std::unique_ptr<TQpLTBitmap> TQpLTBitmap::Clone() const
{
    if (!m_pixels)
        return nullptr;
    std::unique_ptr<TQpLTBitmap> copy(new (std::nothrow) TQpLTBitmap);
    if (!copy || !copy->Assign(*m_pixels))
        return nullptr;
    return copy;
}

bool TQpLTBitmap::Assign(const TQpPixels& pixels)
{
    TImage image;
    if (!MakeImage(pixels.Width, pixels.Height, pixels.Format, image))
        return false;
    // The new window has origin (0, 0), the source may not: copy by position, not by image coordinate.
    image.Pixels->CopyRect(0, 0, pixels.GetBounds(), pixels);
    Adopt(std::move(image));
    return true;
}

bool TQpLTBitmap::CopyTo(TQpPixelBuffer& buffer) const
{
    if (!m_pixels)
        return false;
    if (!buffer.SetFormatAndBounds(m_pixels->Format, m_pixels->GetBounds()))
        return false;
    buffer.CopyFrom(*m_pixels);
    return true;
}

bool TQpLTBitmap::Crop(const TQpRect& rect)
{
    if (!m_pixels)
        return false;
    const TQpRect r = IntersectRect(rect, m_pixels->GetBounds());
    TImage image;
    if (r.IsEmpty() || !MakeImage(r.Width(), r.Height(), m_pixels->Format, image))
        return false;
    image.Pixels->CopyRect(0, 0, r, *m_pixels);
    Adopt(std::move(image));
    return true;
}

bool TQpLTBitmap::ResizeCanvas(int w, int h)
{
    if (!m_pixels)
        return false;
    TImage image;
    if (!MakeImage(w, h, m_pixels->Format, image))
        return false;
    image.Pixels->CopyFrom(*m_pixels);
    Adopt(std::move(image));
    return true;
}

bool TQpLTBitmap::Resize(int w, int h)
{
    if (!m_pixels || m_pixels->Format != pfBGR24)
        return false;
    TImage image;
    if (!MakeImage(w, h, m_pixels->Format, image))
        return false;
    const TQpRect whole{0, 0, w, h};
    if (QuickDraftResampling)
        Resample(*image.Pixels, whole, whole, TQuickDraftResampler(), m_pixels->GetBounds(), *m_pixels);
    else
        Resample(*image.Pixels, whole, whole, TLanczosResampler(), m_pixels->GetBounds(), *m_pixels);
    Adopt(std::move(image));
    return true;
}

bool TQpLTBitmap::Mirror()
{
    if (!m_pixels || m_pixels->Format != pfBGR24)
        return false;
    TImage image;
    if (!MakeImage(m_pixels->Width, m_pixels->Height, pfBGR24, image) ||
        !MirrorPixels(*m_pixels, *image.Pixels))
        return false;
    Adopt(std::move(image));
    return true;
}

bool TQpLTBitmap::Flip()
{
    if (!m_pixels || m_pixels->Format != pfBGR24)
        return false;
    TImage image;
    if (!MakeImage(m_pixels->Width, m_pixels->Height, pfBGR24, image) ||
        !FlipPixels(*m_pixels, *image.Pixels))
        return false;
    Adopt(std::move(image));
    return true;
}

bool TQpLTBitmap::RotateLeft()
{
    if (!m_pixels || m_pixels->Format != pfBGR24)
        return false;
    TImage image;
    if (!MakeImage(m_pixels->Height, m_pixels->Width, pfBGR24, image) ||
        !RotatePixelsLeft(*m_pixels, *image.Pixels))
        return false;
    Adopt(std::move(image));
    return true;
}

bool TQpLTBitmap::RotateRight()
{
    if (!m_pixels || m_pixels->Format != pfBGR24)
        return false;
    TImage image;
    if (!MakeImage(m_pixels->Height, m_pixels->Width, pfBGR24, image) ||
        !RotatePixelsRight(*m_pixels, *image.Pixels))
        return false;
    Adopt(std::move(image));
    return true;
}

void TQpLTBitmap::Release()
{
    m_pixels.reset();
    m_pages.Free();
}

bool TQpLTBitmap::Wrap(QImage& image) const
{
    if (!m_pixels)
        return false;
    QImage::Format format = QImage::Format_Invalid;
    if (m_pixels->Format == pfBGR24)
        format = QImage::Format_BGR888;
    else if (m_pixels->Format == pfBGRA32)
        format = QImage::Format_ARGB32; // blue, green, red, alpha in memory on little-endian machines
    if (format == QImage::Format_Invalid)
        return false;
    // The const constructor makes Qt treat the memory as read-only and never take ownership.
    image = QImage(static_cast<const uchar*>(m_pixels->Data), m_pixels->Width, m_pixels->Height,
                   m_pixels->Stride, format);
    return !image.isNull();
}

bool TQpLTBitmap::Paint(QPainter& painter, const TQpRect& dest, const TQpRect* destClip,
                        const TQpRect* source)
{
    QImage image;
    if (!painter.isActive() || dest.IsEmpty() || !Wrap(image))
        return false;
    const TQpRect bounds = m_pixels->GetBounds();
    const TQpRect src = source ? IntersectRect(*source, bounds) : bounds;
    if (src.IsEmpty() || (source && !(src == *source)))
        return false;

    // Only the source pixels that land inside the clip are handed to the painter, so painting a small
    // part of a large image costs that part only.
    TQpRect visible = dest;
    if (destClip) {
        visible = IntersectRect(dest, *destClip);
        if (visible.IsEmpty())
            return true;
    }
    const double scaleX = double(src.Width()) / dest.Width();
    const double scaleY = double(src.Height()) / dest.Height();
    const int sx0 = std::max(src.Left, int(std::floor(src.Left + (visible.Left - dest.Left) * scaleX)));
    const int sy0 = std::max(src.Top, int(std::floor(src.Top + (visible.Top - dest.Top) * scaleY)));
    const int sx1 = std::min(src.Right, int(std::ceil(src.Left + (visible.Right - dest.Left) * scaleX)));
    const int sy1 = std::min(src.Bottom, int(std::ceil(src.Top + (visible.Bottom - dest.Top) * scaleY)));
    if (sx1 <= sx0 || sy1 <= sy0)
        return true;
    const QRectF target(dest.Left + (sx0 - src.Left) / scaleX, dest.Top + (sy0 - src.Top) / scaleY,
                        (sx1 - sx0) / scaleX, (sy1 - sy0) / scaleY);

    painter.save();
    if (destClip)
        painter.setClipRect(QRect(visible.Left, visible.Top, visible.Width(), visible.Height()),
                            Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image, QRectF(sx0, sy0, sx1 - sx0, sy1 - sy0));
    painter.restore();
    return true;
}

bool TQpLTBitmap::Print(QPainter& painter, const TQpRect& rect)
{
    return Paint(painter, rect, nullptr, nullptr);
}
