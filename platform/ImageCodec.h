#pragma once
// Reading and writing image files as pfBGR24 pixel buffers: JPEG through libjpeg-turbo, PNG through
// libpng, BMP, TIFF and whatever else Qt's image plug-ins read through QImageReader. Every decoder
// checks the declared size before it allocates, so a decompression bomb is refused, never attempted.
// Stateless apart from the process-wide pixel limit; safe to call from several threads at once.

#include "imaging/QpPixels.h"

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The file's own format, as its first bytes tell it.
enum class TRawFormat
{
    Unknown,
    Bmp,
    Jpeg,
    Png,
    Tiff,
    Gif,
    Other // read by a Qt plug-in (WebP, PPM, ...)
};

// What a file declares about itself; the resolution is 96 dpi when the file gives none.
struct TImageInfo
{
    int Width = 0;
    int Height = 0;
    TRawFormat Format = TRawFormat::Unknown;
    double DpiX = 96.0;
    double DpiY = 96.0;
    // The file ends early: what could be decoded is there, the rest filled as the decoder does.
    bool Damaged = false;
};

constexpr double kDefaultDpi = 96.0;

// Gives a decoder the storage for a width x height pfBGR24 image with origin (0, 0), or null to refuse.
// Called at most once per decode, after the size limits have been checked.
using TPixelAllocator = std::function<TQpPixels*(int width, int height)>;
// 500 megapixels: 1.5 GB of pixels, beyond any camera and far below what overflows a size.
constexpr std::size_t kDefaultMaxPixelCount = 500'000'000;

class TImageCodec
{
public:
    // Images with more pixels than this are refused before anything is allocated.
    static void SetMaxPixelCount(std::size_t count);
    static std::size_t MaxPixelCount();
    // True for 1 .. kMaxImageSide per side and at most MaxPixelCount pixels.
    static bool IsAcceptableSize(std::int64_t width, std::int64_t height);
    // For the format decoders: the caller's storage for a width x height pfBGR24 image once the size
    // limits allow it; null when they do not, or when the storage given is not of that size and format.
    static TQpPixels* AllocateChecked(const TPixelAllocator& allocate, int width, int height);

    static TRawFormat DetectFormat(const std::uint8_t* data, std::size_t size);
    // Reads the whole file; false when it cannot be read.
    static bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes);

    // Size, format and resolution from the file's header, without decoding pixels.
    static bool ReadInfo(const std::string& path, TImageInfo& info);

    // Decodes into `out` as pfBGR24 with origin (0, 0). Alpha is dropped keeping the stored colour; grey,
    // palette, 16-bit and CMYK images are converted. No orientation is applied. On failure `out` is empty.
    static bool Decode(const std::string& path, TQpPixelBuffer& out, TImageInfo& info);
    static bool DecodeMemory(const std::uint8_t* data, std::size_t size, TQpPixelBuffer& out,
                             TImageInfo& info);
    // Decodes straight into storage the caller provides; on failure that storage may hold part of an
    // image and should be dropped.
    static bool DecodeMemory(const std::uint8_t* data, std::size_t size, const TPixelAllocator& allocate,
                             TImageInfo& info);

    // Writes the pfBGR24 window with the encoder of that MIME type ("image/jpeg", "image/png",
    // "image/tiff", "image/bmp"); quality 0..100 counts for JPEG only. The file is written in place:
    // callers that must keep an old file write to a temporary name.
    static bool Encode(const TQpPixels& pixels, const std::string& path, std::string_view mimeType,
                       int quality, double dpiX = kDefaultDpi, double dpiY = kDefaultDpi);

    // The image scaled to fit width x height with its aspect ratio kept; null when it cannot be read.
    static QImage Thumbnail(const std::string& path, int width, int height);

    // A QImage over the window's memory without a copy; valid while the window is.
    static QImage WrapPixels(const TQpPixels& pixels);
};

} // namespace platform
