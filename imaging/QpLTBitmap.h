#pragma once
// The document's displayable image: page storage of the program's own, a pixel window over it, and the
// geometry operations of the tools. Painting and printing wrap that same memory in a QImage for each call,
// so there is never a second copy of the image for display.

#include "imaging/QpPixels.h"

#include <memory>

class QImage;

// The pixel window of a TQpLTBitmap; its memory belongs to the bitmap and is gone after any geometry
// operation, so holders fetch GetPixels again.
class TQpLTPixels : public TQpPixels
{
};

class TQpLTBitmap : public TQpBitmap
{
public:
    TQpLTBitmap() = default;
    ~TQpLTBitmap() override = default;
    TQpLTBitmap(const TQpLTBitmap&) = delete;
    TQpLTBitmap& operator=(const TQpLTBitmap&) = delete;

    int GetWidth() const override { return m_pixels ? m_pixels->Width : 0; }
    int GetHeight() const override { return m_pixels ? m_pixels->Height : 0; }
    TQpPixels* GetPixels() override { return m_pixels.get(); }
    const TQpPixels* GetPixels() const { return m_pixels.get(); }
    int GetFormat() const { return m_pixels ? m_pixels->Format : 0; }
    bool IsEmpty() const { return !m_pixels; }

    // Draws without smoothing and only the part of the image the clip lets through.
    bool Paint(QPainter& painter, const TQpRect& dest, const TQpRect* destClip,
               const TQpRect* source) override;
    bool Print(QPainter& painter, const TQpRect& rect) override;

    // A new zero-filled w x h image. False (old image kept) for sides outside 1..kMaxImageSide, an unknown
    // format or missing memory.
    bool SetSize(int w, int h, int format);
    // Same size and format with the pixels copied; null when the bitmap is empty or memory is short.
    std::unique_ptr<TQpLTBitmap> Clone() const;
    // SetSize to the pixels' size and format, then their pixels.
    bool Assign(const TQpPixels& pixels);
    // The buffer gets the bitmap's format, bounds and pixels.
    bool CopyTo(TQpPixelBuffer& buffer) const;

    // The geometry operations build the new image completely before letting the old one go; on failure
    // they return false and the image is unchanged.
    bool Crop(const TQpRect& rect);
    bool ResizeCanvas(int w, int h);
    // Lanczos, or point sampling while QuickDraftResampling is set.
    bool Resize(int w, int h);
    bool Mirror();
    bool Flip();
    bool RotateLeft();
    bool RotateRight();

    void Release();

private:
    struct TImage
    {
        TPageBlock Pages;
        std::unique_ptr<TQpLTPixels> Pixels;
    };

    static bool MakeImage(int w, int h, int format, TImage& image);
    void Adopt(TImage&& image);
    // The wrapper over the current memory; built per call, never kept.
    bool Wrap(QImage& image) const;

    TPageBlock m_pages;
    std::unique_ptr<TQpLTPixels> m_pixels;
};
