#include "documents/QpGraphicsImage.h"

#include "bridge/TransferBlock.h"
#include "platform/AtomicFile.h"
#include "platform/ImageCodec.h"
#include "platform/ImageMetadata.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using platform::TImageCodec;
using platform::TImageMetadata;
using platform::TJpegCodec;
using platform::TJpegSaveMode;

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

const char* MimeType(std::int32_t format)
{
    switch (format) {
    case kJpegFormat:
        return "image/jpeg";
    case kTiffFormat:
        return "image/tiff";
    case kPngFormat:
        return "image/png";
    case kBmpFormat:
        return "image/bmp";
    default:
        return nullptr;
    }
}

bool SameItems(const TQpCustomProperties& a, const TQpCustomProperties& b)
{
    if (a.Count() != b.Count())
        return false;
    for (int i = 0; i < a.Count(); ++i) {
        const TQpPropertyItem& x = *a.Items(i);
        const TQpPropertyItem& y = *b.Items(i);
        if (x.Id != y.Id || x.Type != y.Type || x.Size != y.Size ||
            (x.Size > 0 && std::memcmp(x.Data(), y.Data(), x.Size) != 0))
            return false;
    }
    return true;
}

std::int32_t FormatOfRaw(platform::TRawFormat raw)
{
    switch (raw) {
    case platform::TRawFormat::Jpeg:
        return kJpegFormat;
    case platform::TRawFormat::Tiff:
        return kTiffFormat;
    case platform::TRawFormat::Png:
        return kPngFormat;
    case platform::TRawFormat::Bmp:
        return kBmpFormat;
    default:
        return kOtherFormat;
    }
}

} // namespace

TQpGraphicsImage::TQpGraphicsImage()
    : m_current(std::make_unique<TQpLTBitmap>()), m_original(std::make_unique<TQpLTBitmap>())
{
}

TQpGraphicsImage::~TQpGraphicsImage() = default;

bool TQpGraphicsImage::LoadImageFile(const std::string& path, std::int32_t& format)
{
    if (LoadBlock(path)) {
        format = kTransferBlockFormat;
    } else if (LoadThroughCodec(path)) {
        format = kJpegFormat;
    } else if (!LoadThroughLibrary(path, format)) {
        return false;
    }
    ClearCropRect();
    m_fileMetadata.Assign(m_metadata);
    ApplyOrientation();
    ResetUndoBase();
    CurrentPixelsReplaced();
    GeometryChanged();
    return true;
}

bool TQpGraphicsImage::LoadBlock(const std::string& path)
{
    const std::optional<TTransferImage> block = ::LoadTransferBlock(path);
    if (!block || !TImageCodec::IsAcceptableSize(block->Width, block->Height))
        return false;
    auto image = std::make_unique<TQpLTBitmap>();
    if (!image->SetSize(block->Width, block->Height, pfBGR24))
        return false;
    TQpPixels& pixels = *image->GetPixels();
    const std::size_t rowBytes = static_cast<std::size_t>(block->Width) * 3;
    for (int y = 0; y < block->Height; ++y)
        std::memcpy(pixels.PixelPtr(0, y), block->Pixels.data() + static_cast<std::size_t>(y) * block->Stride,
                    rowBytes);
    TQpCustomProperties items;
    if (!block->Exif.empty())
        TImageMetadata::ReadExifBody(block->Exif.data(), block->Exif.size(), items);
    AdoptLoaded(std::move(image));
    m_codec.reset();
    m_metadata.Assign(items);
    m_metadata.HorizontalResolution = m_metadata.VerticalResolution = 96;
    return true;
}

bool TQpGraphicsImage::LoadThroughCodec(const std::string& path)
{
    // A look at the first bytes spares reading a large file of another kind twice.
    std::uint8_t magic[3] = {};
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        const std::size_t got = std::fread(magic, 1, sizeof magic, file);
        std::fclose(file);
        if (TImageCodec::DetectFormat(magic, got) != platform::TRawFormat::Jpeg)
            return false;
    }
    auto codec = std::make_unique<TJpegCodec>();
    auto image = std::make_unique<TQpLTBitmap>();
    const platform::TPixelAllocator allocate = [&image](int width, int height) -> TQpPixels* {
        return image->SetSize(width, height, pfBGR24) ? image->GetPixels() : nullptr;
    };
    if (!codec->Load(path, allocate))
        return false;
    platform::TImageInfo info;
    TImageCodec::ReadInfo(path, info);
    TQpCustomProperties items;
    TImageMetadata::ReadFile(path, items);
    AdoptLoaded(std::move(image));
    m_codec = std::move(codec);
    m_metadata.Assign(items);
    double dpiX = info.DpiX, dpiY = info.DpiY;
    TImageMetadata::Resolution(items, dpiX, dpiY);
    m_metadata.HorizontalResolution = static_cast<int>(std::nearbyint(dpiX));
    m_metadata.VerticalResolution = static_cast<int>(std::nearbyint(dpiY));
    return true;
}

bool TQpGraphicsImage::LoadThroughLibrary(const std::string& path, std::int32_t& format)
{
    std::vector<std::uint8_t> bytes;
    if (!TImageCodec::ReadFileBytes(path, bytes))
        return false;
    auto image = std::make_unique<TQpLTBitmap>();
    const platform::TPixelAllocator allocate = [&image](int width, int height) -> TQpPixels* {
        return image->SetSize(width, height, pfBGR24) ? image->GetPixels() : nullptr;
    };
    platform::TImageInfo info;
    if (!TImageCodec::DecodeMemory(bytes.data(), bytes.size(), allocate, info))
        return false;
    TQpCustomProperties items;
    TImageMetadata::ReadFile(path, items);
    AdoptLoaded(std::move(image));
    m_codec.reset();
    m_metadata.Assign(items);
    double dpiX = info.DpiX, dpiY = info.DpiY;
    TImageMetadata::Resolution(items, dpiX, dpiY);
    m_metadata.HorizontalResolution = static_cast<int>(std::nearbyint(dpiX));
    m_metadata.VerticalResolution = static_cast<int>(std::nearbyint(dpiY));
    format = FormatOfRaw(info.Format);
    return true;
}

void TQpGraphicsImage::AdoptLoaded(std::unique_ptr<TQpLTBitmap> image)
{
    // Until the first edit the loaded pixels are also the original and the undo base: copying a large
    // photograph twice would cost more than decoding it.
    m_current = std::move(image);
    m_original = std::make_unique<TQpLTBitmap>();
    m_undoBase.Release();
    m_shared = true;
}

TQpLTBitmap& TQpGraphicsImage::OriginalImage()
{
    PrepareEdit();
    return *m_original;
}

TQpPixelBuffer& TQpGraphicsImage::UndoBase()
{
    PrepareEdit();
    return m_undoBase;
}

void TQpGraphicsImage::PrepareEdit()
{
    if (!m_shared)
        return;
    std::unique_ptr<TQpLTBitmap> original = m_current->Clone();
    m_original = original ? std::move(original) : std::make_unique<TQpLTBitmap>();
    m_shared = false;
    ResetUndoBase();
}

// Shows the photograph upright the way every viewer does, as a lossless step of pixels, original and
// codec alike, so that what is saved looks the same everywhere.
void TQpGraphicsImage::ApplyOrientation()
{
    const int orientation = TImageMetadata::Orientation(m_metadata);
    switch (orientation) {
    case 2:
        Turn(TTurn::Mirror, false);
        break;
    case 3:
        Turn(TTurn::Right, false);
        Turn(TTurn::Right, false);
        break;
    case 4:
        Turn(TTurn::Flip, false);
        break;
    case 5:
        Turn(TTurn::Right, false);
        Turn(TTurn::Mirror, false);
        break;
    case 6:
        Turn(TTurn::Right, false);
        break;
    case 7:
        Turn(TTurn::Right, false);
        Turn(TTurn::Flip, false);
        break;
    case 8:
        Turn(TTurn::Left, false);
        break;
    default:
        return;
    }
    TImageMetadata::SetShortOrLong(m_metadata, platform::kTagOrientation, 1);
}

bool TQpGraphicsImage::Turn(TTurn turn, bool notify)
{
    const int w = Width();
    const int h = Height();
    auto apply = [turn](TQpLTBitmap& image) {
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
    };
    auto undo = [turn, &apply](TQpLTBitmap& image) {
        switch (turn) {
        case TTurn::Left:
            return image.RotateRight();
        case TTurn::Right:
            return image.RotateLeft();
        default:
            return apply(image);
        }
    };
    if (m_current->IsEmpty() || !apply(*m_current))
        return false;
    if (!apply(*m_original)) {
        undo(*m_current);
        return false;
    }
    if (HasCropRect()) {
        const TQpRect c = m_cropRect;
        switch (turn) {
        case TTurn::Left:
            m_cropRect = {c.Top, w - c.Right, c.Bottom, w - c.Left};
            break;
        case TTurn::Right:
            m_cropRect = {h - c.Bottom, c.Left, h - c.Top, c.Right};
            break;
        case TTurn::Mirror:
            m_cropRect = {w - c.Right, c.Top, w - c.Left, c.Bottom};
            break;
        case TTurn::Flip:
            m_cropRect = {c.Left, h - c.Bottom, c.Right, h - c.Top};
            break;
        }
    }
    if (TJpegCodec* codec = JpegCodec()) {
        switch (turn) {
        case TTurn::Left:
            codec->RotateLeft();
            break;
        case TTurn::Right:
            codec->RotateRight();
            break;
        case TTurn::Mirror:
            codec->FlipHorizontal();
            break;
        case TTurn::Flip:
            codec->FlipVertical();
            break;
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
    if (w < 1 || h < 1 || width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
        return false;
    // A shared original would be resampled along with the current image.
    if (!includeOriginal)
        PrepareEdit();
    if (!m_current->Resize(width, height))
        return false;
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
    ClearCropRect();
    if (!includeOriginal)
        PrepareEdit();
    else if (!m_shared && !m_original->SetSize(width, height, pfBGR24))
        return false;
    if (!m_current->SetSize(width, height, pfBGR24))
        return false;
    CurrentPixelsReplaced();
    ResetUndoBase();
    if (TJpegCodec* codec = JpegCodec()) {
        codec->Resized(width, height);
        codec->Detach();
    }
    GeometryChanged();
    return true;
}

void TQpGraphicsImage::SnapshotImages(TQpPixelBuffer& current, TQpPixelBuffer* original)
{
    m_current->CopyTo(current);
    if (original)
        (m_shared ? *m_current : *m_original).CopyTo(*original);
}

void TQpGraphicsImage::RestoreImages(const TQpPixelBuffer& current, const TQpPixelBuffer* original)
{
    PrepareEdit();
    m_current->Assign(current);
    if (original)
        m_original->Assign(*original);
    // The codec cannot know which of its states the restored pixels belong to.
    if (TJpegCodec* codec = JpegCodec()) {
        codec->Resized(Width(), Height());
        codec->Detach();
    }
    CurrentPixelsReplaced();
    ResetUndoBase();
    GeometryChanged();
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

void TQpGraphicsImage::ResetUndoBase()
{
    const TQpPixels* pixels = m_current->GetPixels();
    if (!pixels || m_shared) {
        m_undoBase.Release();
        return;
    }
    if (m_undoBase.Format != pfBGR24 || m_undoBase.GetBounds() != pixels->GetBounds())
        m_undoBase.SetFormatAndBounds(pfBGR24, pixels->GetBounds());
    m_undoBase.CopyFrom(*pixels);
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

bool TQpGraphicsImage::SaveImageFile(const std::string& path, std::int32_t format, int jpegQuality)
{
    const TQpPixels* pixels = m_current->GetPixels();
    if (!pixels)
        return false;
    // The block's layout is fixed and the other process holds its name: it is rewritten in place.
    if (format == kTransferBlockFormat)
        return SaveTransferBlock(path, pixels->Width, pixels->Height, pixels->Data,
                                 static_cast<std::size_t>(pixels->Stride));
    platform::TAtomicFile file;
    if (!file.Begin(path))
        return false;
    if (!SaveImageBody(file.TempPath(), format, jpegQuality))
        return false;
    return file.Commit();
}

bool TQpGraphicsImage::SaveImageBody(const std::string& path, std::int32_t format, int jpegQuality)
{
    const TQpPixels& pixels = *m_current->GetPixels();
    const TQpRect region = CropRect();
    TQpCustomProperties items;
    items.Assign(m_metadata);
    TJpegCodec* codec = format == kJpegFormat ? JpegCodec() : nullptr;
    if (codec) {
        // A shared original is the current image itself: nothing was changed since loading.
        const TQpPixels* reference = m_shared ? &pixels : m_original->GetPixels();
        const TQpRect unchanged{};
        const TQpRect* changed = m_shared ? &unchanged : nullptr;
        if (!codec->Save(path, pixels, reference, region, TJpegSaveMode::KeepUnchangedBlocks, changed) &&
            !codec->Save(path, pixels, reference, region, TJpegSaveMode::ReencodeAll))
            return false;
    } else {
        const char* mime = MimeType(format);
        if (!mime)
            return false;
        TQpPixels window;
        window.Init({0, 0, region.Width(), region.Height()}, pixels.PixelPtr(region.Left, region.Top),
                    pfBGR24, pixels.Stride);
        if (!TImageCodec::Encode(window, path, mime, jpegQuality, m_metadata.HorizontalResolution,
                                 m_metadata.VerticalResolution))
            return false;
        // The thumbnail shows the image as loaded; ColorTransferFunction (0x501A) is no thumbnail item.
        for (int i = items.Count() - 1; i >= 0; --i)
            if (TImageMetadata::IsThumbnailItem(items.Items(i)->Id))
                items.Delete(items.Items(i)->Id);
    }
    if (format == kBmpFormat || items.Count() == 0)
        return true;
    // What a viewer reads of the size must be the saved image's.
    if (items.IndexOf(platform::kTagPixelXDimension) >= 0)
        TImageMetadata::SetShortOrLong(items, platform::kTagPixelXDimension,
                                       static_cast<std::uint32_t>(region.Width()));
    if (items.IndexOf(platform::kTagPixelYDimension) >= 0)
        TImageMetadata::SetShortOrLong(items, platform::kTagPixelYDimension,
                                       static_cast<std::uint32_t>(region.Height()));
    if (codec && codec->LastSaveCopied() && SameItems(items, m_fileMetadata))
        return true; // the file's bytes already carry exactly these items
    // The pixels are complete without it; metadata exiv2 cannot place is not worth losing the picture.
    TImageMetadata::WriteFile(path, items);
    return true;
}
