// The geometry half of the image: EXIF orientation, quarter turns and flips (lossless through the codec
// where it holds the file), crop and changes of size.

#include "model/QpGraphicsImage.h"

#include "platform/ImageLimits.h"
#include "platform/ImageMetadata.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

using platform::TImageMetadata;
using platform::TJpegCodec;

namespace {

// Floor and ceiling of a * b / c for non-negative a and positive b, c.
std::int64_t FloorMulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return a * b / c;
}

std::int64_t CeilMulDiv(std::int64_t a, std::int64_t b, std::int64_t c)
{
    return (a * b + c - 1) / c;
}

// Windows MulDiv for positive operands: a 64-bit product, halves rounded away from zero.
int MulDiv(int a, int b, int c)
{
    return static_cast<int>((static_cast<std::int64_t>(a) * b * 2 + c) / (2 * static_cast<std::int64_t>(c)));
}

} // namespace

std::vector<TQpGraphicsImage::TTurn> TQpGraphicsImage::OrientationTurns(int orientation)
{
    switch (orientation) {
    case 2:
        return {TTurn::Mirror};
    case 3:
        return {TTurn::Right, TTurn::Right};
    case 4:
        return {TTurn::Flip};
    case 5:
        return {TTurn::Right, TTurn::Mirror};
    case 6:
        return {TTurn::Right};
    case 7:
        return {TTurn::Right, TTurn::Flip};
    case 8:
        return {TTurn::Left};
    default:
        return {};
    }
}

int TQpGraphicsImage::ComposeOrientation(int orientation, TTurn turn)
{
    // Each orientation is known by where it puts the cells of a 3 x 2 picture.
    auto cells = [](const std::vector<TTurn>& turns) {
        TQpLTBitmap tiny;
        std::vector<std::uint8_t> result;
        if (!tiny.SetSize(3, 2, pfBGR24))
            return result;
        for (int i = 0; i < 6; ++i)
            tiny.GetPixels()->PixelPtr(i % 3, i / 3)[0] = static_cast<std::uint8_t>(i + 1);
        for (TTurn each : turns)
            ApplyTurn(tiny, each);
        const TQpPixels& pixels = *tiny.GetPixels();
        for (int y = 0; y < pixels.Height; ++y)
            for (int x = 0; x < pixels.Width; ++x)
                result.push_back(pixels.PixelPtr(x, y)[0]);
        result.push_back(static_cast<std::uint8_t>(pixels.Width));
        return result;
    };
    std::vector<TTurn> turns = OrientationTurns(orientation);
    turns.push_back(turn);
    const std::vector<std::uint8_t> wanted = cells(turns);
    for (int candidate = 1; candidate <= 8; ++candidate)
        if (cells(OrientationTurns(candidate)) == wanted)
            return candidate;
    return 1;
}

bool TQpGraphicsImage::ApplyTurn(TQpLTBitmap& image, TTurn turn)
{
    if (image.IsEmpty())
        return true;
    switch (turn) {
    case TTurn::Left:
        return image.RotateLeft();
    case TTurn::Right:
        return image.RotateRight();
    case TTurn::Mirror:
        return image.Mirror();
    case TTurn::Flip:
        return image.Flip();
    }
    return false;
}

TQpGraphicsImage::TTurn TQpGraphicsImage::Inverse(TTurn turn)
{
    return turn == TTurn::Left ? TTurn::Right : (turn == TTurn::Right ? TTurn::Left : turn);
}

void TQpGraphicsImage::TurnCodec(TJpegCodec& codec, TTurn turn)
{
    switch (turn) {
    case TTurn::Left:
        codec.RotateLeft();
        break;
    case TTurn::Right:
        codec.RotateRight();
        break;
    case TTurn::Mirror:
        codec.FlipHorizontal();
        break;
    case TTurn::Flip:
        codec.FlipVertical();
        break;
    }
}

TQpRect TQpGraphicsImage::TurnRect(TTurn turn, const TQpRect& c, int w, int h)
{
    switch (turn) {
    case TTurn::Left:
        return {c.Top, w - c.Right, c.Bottom, w - c.Left};
    case TTurn::Right:
        return {h - c.Bottom, c.Left, h - c.Top, c.Right};
    case TTurn::Mirror:
        return {w - c.Right, c.Top, w - c.Left, c.Bottom};
    case TTurn::Flip:
        return {c.Left, h - c.Bottom, c.Right, h - c.Top};
    }
    return c;
}

// Shows the photograph upright the way every viewer does, as a lossless step of pixels, original and
// codec alike, so that what is saved looks the same everywhere. A codec that cannot turn on whole blocks
// keeps the file's orientation instead and saves with it.
void TQpGraphicsImage::ApplyOrientation()
{
    const int orientation = TImageMetadata::Orientation(m_metadata);
    const std::vector<TTurn> turns = OrientationTurns(orientation);
    if (turns.empty())
        return;
    // Where the codec could only make these turns by cutting through blocks, saving would re-encode the
    // whole photograph: the coefficients stay as the file holds them and are saved with its orientation.
    if (const TJpegCodec* codec = JpegCodec()) {
        int w = codec->Width(), h = codec->Height();
        int unitW = codec->BlockWidth(), unitH = codec->BlockHeight();
        bool whole = codec->CoefficientsInStep();
        for (TTurn turn : turns) {
            whole = whole && ((turn == TTurn::Left || turn == TTurn::Mirror) ? w % unitW : h % unitH) == 0;
            if (turn == TTurn::Left || turn == TTurn::Right) {
                std::swap(w, h);
                std::swap(unitW, unitH);
            }
        }
        m_codecKeepsFileOrientation = !whole;
    }
    for (TTurn turn : turns)
        Turn(turn, false);
    TImageMetadata::SetShortOrLong(m_metadata, platform::kTagOrientation, 1);
}

void TQpGraphicsImage::SettleCodecOrientation()
{
    if (!m_codecKeepsFileOrientation)
        return;
    m_codecKeepsFileOrientation = false;
    if (TJpegCodec* codec = JpegCodec())
        for (TTurn turn : OrientationTurns(m_codecOrientation))
            TurnCodec(*codec, turn);
    m_codecOrientation = 1;
}

bool TQpGraphicsImage::Turn(TTurn turn, bool notify)
{
    const int w = Width();
    const int h = Height();
    if (m_current->IsEmpty() || !ApplyTurn(*m_current, turn))
        return false;
    if (!ApplyTurn(*m_original, turn)) {
        ApplyTurn(*m_current, Inverse(turn));
        return false;
    }
    if (HasCropRect())
        m_cropRect = TurnRect(turn, m_cropRect, w, h);
    if (TJpegCodec* codec = JpegCodec()) {
        if (m_codecKeepsFileOrientation) {
            m_codecOrientation = ComposeOrientation(m_codecOrientation, turn);
            m_codecKeepsFileOrientation = m_codecOrientation != 1;
        } else {
            TurnCodec(*codec, turn);
        }
    }
    if (notify) {
        ResetUndoBase();
        CurrentPixelsReplaced();
        GeometryChanged();
    }
    return true;
}

bool TQpGraphicsImage::RotateLeft()
{
    return Turn(TTurn::Left, true);
}

bool TQpGraphicsImage::RotateRight()
{
    return Turn(TTurn::Right, true);
}

bool TQpGraphicsImage::FlipHorizontal()
{
    return Turn(TTurn::Mirror, true);
}

bool TQpGraphicsImage::FlipVertical()
{
    return Turn(TTurn::Flip, true);
}

void TQpGraphicsImage::Crop(const TQpRect& rect)
{
    const TQpRect r = IntersectRect(rect, TQpRect{0, 0, Width(), Height()});
    if (r.IsEmpty() || !m_current->Crop(r))
        return;
    SettleCodecOrientation();
    if (!m_original->IsEmpty())
        m_original->Crop(r);
    ClearCropRect();
    if (TJpegCodec* codec = JpegCodec())
        codec->Crop(r);
    ResetUndoBase();
    CurrentPixelsReplaced();
    GeometryChanged();
}

bool TQpGraphicsImage::ResizeImage(int width, int height, bool includeOriginal, bool scaleCropRect)
{
    const int w = Width();
    const int h = Height();
    if (w < 1 || h < 1)
        return false;
    // The new current image, its undo base and, when it goes along, the original.
    m_sizeRefusal = platform::RefuseImageSize(width, height, includeOriginal ? 3 : 2);
    if (!m_sizeRefusal.empty())
        return false;
    // A shared original would be resampled along with the current image.
    if (!includeOriginal)
        PrepareEdit();
    if (!m_current->Resize(width, height))
        return false;
    SettleCodecOrientation();
    if (scaleCropRect && HasCropRect()) {
        // Rounded inwards, which can leave nothing of a narrow rectangle: then there is no crop any more.
        const TQpRect c = m_cropRect;
        const TQpRect scaled{static_cast<int>(CeilMulDiv(c.Left, width, w)),
                             static_cast<int>(CeilMulDiv(c.Top, height, h)),
                             static_cast<int>(FloorMulDiv(c.Right, width, w)),
                             static_cast<int>(FloorMulDiv(c.Bottom, height, h))};
        m_cropRect = IntersectRect(scaled, {0, 0, width, height});
    }
    if (includeOriginal && !m_original->IsEmpty()) {
        if (m_original->GetWidth() == w && m_original->GetHeight() == h) {
            m_original->Resize(width, height);
        } else {
            const double ow = std::nearbyint(static_cast<double>(m_original->GetWidth()) * width / w);
            const double oh = std::nearbyint(static_cast<double>(m_original->GetHeight()) * height / h);
            m_original->Resize(static_cast<int>(Clamp(ow, 1.0, double(kMaxImageSide))),
                               static_cast<int>(Clamp(oh, 1.0, double(kMaxImageSide))));
        }
    }
    if (TJpegCodec* codec = JpegCodec())
        codec->Resized(width, height);
    ResetUndoBase();
    CurrentPixelsReplaced();
    GeometryChanged();
    return true;
}

bool TQpGraphicsImage::SetImageSize(int width, int height, bool includeOriginal)
{
    m_sizeRefusal = platform::RefuseImageSize(width, height, includeOriginal ? 3 : 2);
    if (!m_sizeRefusal.empty())
        return false;
    ClearCropRect();
    if (!includeOriginal)
        PrepareEdit();
    else if (!m_shared && !m_original->SetSize(width, height, pfBGR24))
        return false;
    if (!m_current->SetSize(width, height, pfBGR24))
        return false;
    SettleCodecOrientation();
    CurrentPixelsReplaced();
    ResetUndoBase();
    if (TJpegCodec* codec = JpegCodec()) {
        codec->Resized(width, height);
        codec->Detach();
    }
    GeometryChanged();
    return true;
}

std::unique_ptr<TQpLTBitmap> TQpGraphicsImage::ScaledCopy(int size)
{
    const int w = Width();
    const int h = Height();
    if (size < 1 || w < 1 || h < 1)
        return nullptr;
    const int longer = std::max(w, h);
    const int other = std::max(1, MulDiv(size, std::min(w, h), longer));
    std::unique_ptr<TQpLTBitmap> copy = m_current->Clone();
    if (!copy || !copy->Resize(w >= h ? size : other, w >= h ? other : size))
        return nullptr;
    return copy;
}

TQpRect TQpGraphicsImage::CropRect() const
{
    return HasCropRect() ? m_cropRect : TQpRect{0, 0, m_current->GetWidth(), m_current->GetHeight()};
}

void TQpGraphicsImage::SetCropRect(const TQpRect& rect)
{
    const TQpRect whole{0, 0, Width(), Height()};
    m_cropRect = IntersectRect(rect, whole);
    if (m_cropRect == whole)
        m_cropRect = {};
    GeometryChanged();
}

void TQpGraphicsImage::ClearCropRect()
{
    m_cropRect = {};
}
