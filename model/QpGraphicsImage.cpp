#include "model/QpGraphicsImage.h"

#include "bridge/TransferBlock.h"
#include "platform/AtomicFile.h"
#include "platform/ImageCodec.h"
#include "platform/ImageLimits.h"
#include "platform/ImageMetadata.h"
#include "platform/JpegLibrary.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

using platform::TImageCodec;
using platform::TImageMetadata;
using platform::TJpegCodec;
using platform::TJpegSaveMode;

namespace {

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

namespace {

TQpGraphicsImage::TLoadProblem WhyNotLoaded(const std::string& path, std::string& detail)
{
    using TLoadProblem = TQpGraphicsImage::TLoadProblem;
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? TLoadProblem::Missing : TLoadProblem::Unreadable;
    if (S_ISDIR(info.st_mode))
        return TLoadProblem::Folder;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        detail = platform::FileErrorText(errno);
        return TLoadProblem::Unreadable;
    }
    std::fclose(file);
    platform::TImageInfo header;
    if (!TImageCodec::ReadInfo(path, header))
        return TLoadProblem::NotAnImage;
    detail = platform::RefuseImageSize(header.Width, header.Height);
    if (!TImageCodec::IsAcceptableSize(header.Width, header.Height))
        return TLoadProblem::TooLarge;
    // The header reads but the pixels do not: as broken as a file can be.
    detail.clear();
    return TLoadProblem::Damaged;
}

} // namespace

bool TQpGraphicsImage::LoadImageFile(const std::string& path, std::int32_t& format)
{
    m_loadProblem = TLoadProblem::None;
    m_loadDetail.clear();
    if (LoadBlock(path)) {
        format = kTransferBlockFormat;
    } else if (LoadThroughCodec(path)) {
        format = kJpegFormat;
    } else if (!LoadThroughLibrary(path, format)) {
        m_loadProblem = WhyNotLoaded(path, m_loadDetail);
        return false;
    }
    ClearCropRect();
    m_fileMetadata.Assign(m_metadata);
    m_codecKeepsFileOrientation = false;
    m_codecOrientation = 1;
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
    if (info.Damaged) {
        m_loadProblem = TLoadProblem::Damaged;
        int rows = 0;
        bool laterPasses = false;
        if (info.Format == platform::TRawFormat::Jpeg &&
            platform::JpegCutExtent(bytes.data(), bytes.size(), rows, laterPasses))
            m_loadDetail = laterPasses
                               ? "the end of the file is missing, so the picture lacks its finest detail"
                               : "the file ends after " + std::to_string(rows) + " of " +
                                     std::to_string(info.Height) + " rows; the rest is grey";
    }
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
    SettleCodecOrientation();
    if (TJpegCodec* codec = JpegCodec()) {
        codec->Resized(Width(), Height());
        codec->Detach();
    }
    CurrentPixelsReplaced();
    ResetUndoBase();
    GeometryChanged();
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

void TQpGraphicsImage::SyncUndoBase(const TQpRect& rect)
{
    // Giving the base its own copy brings all of it up to date.
    if (m_shared) {
        PrepareEdit();
        return;
    }
    const TQpPixels* pixels = m_current->GetPixels();
    if (!pixels)
        return;
    if (m_undoBase.Format == pixels->Format && m_undoBase.GetBounds() == pixels->GetBounds())
        m_undoBase.CopyRect(rect.Left, rect.Top, rect, *pixels);
    else if (m_undoBase.SetFormatAndBounds(pixels->Format, pixels->GetBounds()))
        m_undoBase.CopyFrom(*pixels);
}

bool TQpGraphicsImage::SaveImageFile(const std::string& path, std::int32_t format, int jpegQuality,
                                     bool reencode, bool replaceReadOnly)
{
    m_saveFailure.clear();
    const TQpPixels* pixels = m_current->GetPixels();
    if (!pixels) {
        m_saveFailure = "there is no image";
        return false;
    }
    // The block's layout is fixed and the other process holds its name: it is rewritten in place.
    if (format == kTransferBlockFormat) {
        if (SaveTransferBlock(path, pixels->Width, pixels->Height, pixels->Data,
                              static_cast<std::size_t>(pixels->Stride)))
            return true;
        m_saveFailure = "the transfer block cannot be written";
        return false;
    }
    platform::TAtomicFile file;
    if (!file.Begin(path, replaceReadOnly)) {
        m_saveFailure = file.Failure();
        return false;
    }
    if (!SaveImageBody(file.TempPath(), format, jpegQuality, reencode)) {
        m_saveFailure = file.WriteFailure("the encoder failed");
        return false;
    }
    if (!file.Commit()) {
        m_saveFailure = file.Failure();
        return false;
    }
    return true;
}

bool TQpGraphicsImage::SaveImageBody(const std::string& path, std::int32_t format, int jpegQuality,
                                     bool reencode)
{
    const TQpPixels& pixels = *m_current->GetPixels();
    TQpRect region = CropRect();
    TQpCustomProperties items;
    items.Assign(m_metadata);
    TJpegCodec* codec = format == kJpegFormat && !reencode ? JpegCodec() : nullptr;
    if (codec && m_codecKeepsFileOrientation) {
        if (!SaveInFileOrientation(path, *codec, region, items))
            return false;
    } else if (codec) {
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
    // What a viewer reads of the size must be the saved image's, as written.
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

bool TQpGraphicsImage::SaveInFileOrientation(const std::string& path, TJpegCodec& codec, TQpRect& region,
                                             TQpCustomProperties& items)
{
    const std::vector<TTurn> turns = OrientationTurns(m_codecOrientation);
    auto turnBack = [&turns](const TQpPixels& pixels, TQpLTBitmap& image) {
        if (!image.Assign(pixels))
            return false;
        for (auto turn = turns.rbegin(); turn != turns.rend(); ++turn)
            if (!ApplyTurn(image, Inverse(*turn)))
                return false;
        return true;
    };
    TQpLTBitmap current, original;
    if (!turnBack(*m_current->GetPixels(), current))
        return false;
    // A shared original is the current image itself: nothing was changed since loading.
    const TQpPixels* reference = current.GetPixels();
    const TQpRect unchanged{};
    const TQpRect* changed = &unchanged;
    if (!m_shared) {
        changed = nullptr;
        reference = m_original->IsEmpty() || !turnBack(*m_original->GetPixels(), original)
                        ? nullptr
                        : original.GetPixels();
    }
    int w = Width(), h = Height();
    for (auto turn = turns.rbegin(); turn != turns.rend(); ++turn) {
        region = TurnRect(Inverse(*turn), region, w, h);
        if (*turn == TTurn::Left || *turn == TTurn::Right)
            std::swap(w, h);
    }
    if (!codec.Save(path, *current.GetPixels(), reference, region, TJpegSaveMode::KeepUnchangedBlocks,
                    changed) &&
        !codec.Save(path, *current.GetPixels(), reference, region, TJpegSaveMode::ReencodeAll))
        return false;
    TImageMetadata::SetShortOrLong(items, platform::kTagOrientation,
                                   static_cast<std::uint32_t>(m_codecOrientation));
    return true;
}
