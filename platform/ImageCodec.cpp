#include "platform/ImageCodec.h"

#include "platform/AtomicFile.h"
#include "platform/PngCodec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<std::size_t> g_maxPixelCount{kDefaultMaxPixelCount};

struct TTjFree
{
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TTjHandle = std::unique_ptr<void, TTjFree>;

struct TTjBufferFree
{
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

std::uint16_t Be16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

// JFIF density from the APP0 segment, when the file starts with one that gives dots per inch or cm.
bool JfifDensity(const std::uint8_t* data, std::size_t size, double& dpiX, double& dpiY)
{
    if (size < 20 || data[2] != 0xFF || data[3] != 0xE0 || std::memcmp(data + 6, "JFIF", 5) != 0)
        return false;
    const int units = data[13];
    const int x = Be16(data + 14);
    const int y = Be16(data + 16);
    if (x <= 0 || y <= 0 || (units != 1 && units != 2))
        return false;
    const double factor = units == 2 ? 2.54 : 1.0;
    dpiX = x * factor;
    dpiY = y * factor;
    return true;
}

// Writes the density into the JFIF segment libjpeg-turbo puts first.
void SetJfifDensity(std::uint8_t* data, std::size_t size, double dpiX, double dpiY)
{
    if (size < 20 || data[2] != 0xFF || data[3] != 0xE0 || std::memcmp(data + 6, "JFIF", 5) != 0)
        return;
    const auto x = static_cast<int>(Clamp(std::nearbyint(dpiX), 1.0, 65535.0));
    const auto y = static_cast<int>(Clamp(std::nearbyint(dpiY), 1.0, 65535.0));
    data[13] = 1;
    data[14] = static_cast<std::uint8_t>(x >> 8);
    data[15] = static_cast<std::uint8_t>(x);
    data[16] = static_cast<std::uint8_t>(y >> 8);
    data[17] = static_cast<std::uint8_t>(y);
}

// ---- JPEG -------------------------------------------------------------------------------------------

enum class TJpegResult
{
    Ok,
    Failed,
    NotMine // CMYK and other colour spaces libjpeg-turbo cannot turn into BGR
};

TJpegResult DecodeJpeg(const std::uint8_t* data, std::size_t size, const TPixelAllocator& allocate,
                       TImageInfo& info)
{
    TTjHandle handle(tjInitDecompress());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (!handle || tjDecompressHeader3(handle.get(), data, static_cast<unsigned long>(size), &width, &height,
                                       &subsampling, &colorspace) != 0)
        return TJpegResult::Failed;
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK)
        return TJpegResult::NotMine;
    TQpPixels* out = TImageCodec::AllocateChecked(allocate, width, height);
    if (!out)
        return TJpegResult::Failed;
    info.Damaged = false;
    if (tjDecompress2(handle.get(), data, static_cast<unsigned long>(size), out->Data, width, out->Stride,
                      height, TJPF_BGR, 0) != 0) {
        if (tjGetErrorCode(handle.get()) == TJERR_FATAL)
            return TJpegResult::Failed;
        // A file cut short only warns and comes out grey below the cut: opened, but the user must know.
        info.Damaged = std::strstr(tjGetErrorStr2(handle.get()), "Premature end") != nullptr;
    }
    info.Width = width;
    info.Height = height;
    info.Format = TRawFormat::Jpeg;
    if (!JfifDensity(data, size, info.DpiX, info.DpiY))
        info.DpiX = info.DpiY = kDefaultDpi;
    return TJpegResult::Ok;
}

bool EncodeJpeg(const TQpPixels& pixels, const std::string& path, int quality, double dpiX, double dpiY)
{
    TTjHandle handle(tjInitCompress());
    if (!handle)
        return false;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(handle.get(), pixels.Data, pixels.Width, pixels.Stride, pixels.Height,
                                   TJPF_BGR, &buffer, &size, TJSAMP_420, Clamp(quality, 1, 100), 0);
    std::unique_ptr<unsigned char, TTjBufferFree> owned(buffer);
    if (result != 0)
        return false;
    SetJfifDensity(buffer, size, dpiX, dpiY);
    return WriteWholeFile(path, buffer, size);
}

// ---- Everything else through Qt ---------------------------------------------------------------------

TRawFormat FormatOfQtName(const QByteArray& name)
{
    if (name == "bmp")
        return TRawFormat::Bmp;
    if (name == "tif" || name == "tiff")
        return TRawFormat::Tiff;
    if (name == "gif")
        return TRawFormat::Gif;
    if (name == "jpg" || name == "jpeg")
        return TRawFormat::Jpeg;
    if (name == "png")
        return TRawFormat::Png;
    return TRawFormat::Other;
}

void PrepareReader(QImageReader& reader)
{
    // Qt's default limit (128 MB) would refuse ordinary photographs; ours is checked on the declared size
    // before reading, and the intermediate may take 4 bytes a pixel.
    const std::size_t megabytes = TImageCodec::MaxPixelCount() * 4 / (1024 * 1024) + 1;
    QImageReader::setAllocationLimit(
        static_cast<int>(std::min<std::size_t>(megabytes, std::numeric_limits<int>::max())));
    // Orientation is applied by the document as a lossless step, never twice.
    reader.setAutoTransform(false);
}

std::uint32_t LoadLE(const std::uint8_t* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

// Qt's reader takes the pixel data from wherever the header points, even into the header itself or
// past the end, and makes an image of whatever it finds there: such a file is damaged, not a picture.
bool BmpLayoutFits(const std::uint8_t* data, std::size_t size)
{
    if (size < 26)
        return false;
    const std::uint64_t offset = LoadLE(data + 10, 4);
    const std::uint64_t headerSize = LoadLE(data + 14, 4);
    if (headerSize == 12) { // the old OS/2 header: 16-bit sizes, three-byte palette entries
        const std::uint64_t width = LoadLE(data + 18, 2), height = LoadLE(data + 20, 2);
        const std::uint64_t bits = size >= 26 ? LoadLE(data + 24, 2) : 0;
        const std::uint64_t palette = bits <= 8 ? (std::uint64_t(1) << bits) * 3 : 0;
        const std::uint64_t rows = (width * bits + 31) / 32 * 4 * height;
        return offset >= 26 + palette && offset + rows <= size;
    }
    if (headerSize < 40 || size < 14 + headerSize)
        return false;
    const std::uint64_t width = static_cast<std::uint64_t>(
        std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(LoadLE(data + 18, 4)))));
    const std::uint64_t height = static_cast<std::uint64_t>(
        std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(LoadLE(data + 22, 4)))));
    const std::uint64_t bits = LoadLE(data + 28, 2);
    const std::uint32_t compression = LoadLE(data + 30, 4);
    std::uint64_t colours = LoadLE(data + 46, 4);
    if (colours == 0 && bits <= 8)
        colours = std::uint64_t(1) << bits;
    const std::uint64_t masks = compression == 3 && headerSize == 40   ? 12
                                : compression == 6 && headerSize == 40 ? 16
                                                                       : 0;
    if (offset < 14 + headerSize + masks + (bits <= 8 ? colours * 4 : 0) || offset >= size)
        return false;
    // Uncompressed rows must all be there; run-length data ends where it says.
    if (compression == 0 || compression == 3 || compression == 6)
        return offset + (width * bits + 31) / 32 * 4 * height <= size;
    return true;
}

bool DecodeWithQt(const std::uint8_t* data, std::size_t size, const TPixelAllocator& allocate,
                  TImageInfo& info)
{
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return false;
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    PrepareReader(reader);
    const QSize declared = reader.size();
    if (declared.isValid() && !TImageCodec::IsAcceptableSize(declared.width(), declared.height()))
        return false;
    const QByteArray format = reader.format();
    QImage image;
    if (!reader.read(&image) || !TImageCodec::IsAcceptableSize(image.width(), image.height()))
        return false;
    // 32-bit pixels are Qt's fast conversion target; their first three bytes are blue, green, red. With
    // alpha the stored colour is kept, not the premultiplied one.
    const QImage::Format wide = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.format() != wide)
        image = image.convertToFormat(wide);
    TQpPixels* out =
        image.isNull() ? nullptr : TImageCodec::AllocateChecked(allocate, image.width(), image.height());
    if (!out)
        return false;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* from = image.constScanLine(y);
        std::uint8_t* to = out->Data + static_cast<std::ptrdiff_t>(y) * out->Stride;
        for (int x = 0; x < image.width(); ++x, from += 4, to += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    info.Width = image.width();
    info.Height = image.height();
    info.Format = FormatOfQtName(format);
    info.DpiX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : kDefaultDpi;
    info.DpiY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() * 0.0254 : kDefaultDpi;
    return true;
}

bool EncodeWithQt(const TQpPixels& pixels, const std::string& path, const char* format, double dpiX,
                  double dpiY)
{
    QImage image = TImageCodec::WrapPixels(pixels);
    image.setDotsPerMeterX(static_cast<int>(std::nearbyint(dpiX / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::nearbyint(dpiY / 0.0254)));
    QImageWriter writer(QString::fromStdString(path), format);
    return writer.write(image);
}

// Header-only size of a JPEG: walks the segments up to the first frame header.
bool JpegHeaderSize(const std::uint8_t* data, std::size_t size, int& width, int& height)
{
    std::size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF)
            return false;
        const std::uint8_t marker = data[pos + 1];
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        const std::size_t length = Be16(data + pos + 2);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (pos + 9 > size)
                return false;
            height = Be16(data + pos + 5);
            width = Be16(data + pos + 7);
            return true;
        }
        if (length < 2)
            return false;
        pos += 2 + length;
    }
    return false;
}

} // namespace

void TImageCodec::SetMaxPixelCount(std::size_t count)
{
    g_maxPixelCount = count;
}

std::size_t TImageCodec::MaxPixelCount()
{
    return g_maxPixelCount;
}

bool TImageCodec::IsAcceptableSize(std::int64_t width, std::int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= MaxPixelCount();
}

TQpPixels* TImageCodec::AllocateChecked(const TPixelAllocator& allocate, int width, int height)
{
    if (!IsAcceptableSize(width, height))
        return nullptr;
    TQpPixels* pixels = allocate(width, height);
    if (pixels &&
        (pixels->Format != pfBGR24 || pixels->Width != width || pixels->Height != height || !pixels->Data))
        return nullptr;
    return pixels;
}

TRawFormat TImageCodec::DetectFormat(const std::uint8_t* data, std::size_t size)
{
    static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return TRawFormat::Jpeg;
    if (size >= 8 && std::memcmp(data, kPng, 8) == 0)
        return TRawFormat::Png;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return TRawFormat::Bmp;
    if (size >= 4 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0))
        return TRawFormat::Tiff;
    if (size >= 4 && std::memcmp(data, "GIF8", 4) == 0)
        return TRawFormat::Gif;
    return TRawFormat::Unknown;
}

bool TImageCodec::ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status
    {
    };
    bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            if (ok)
                done += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}

bool TImageCodec::ReadInfo(const std::string& path, TImageInfo& info)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(path, bytes))
        return false;
    const TRawFormat format = DetectFormat(bytes.data(), bytes.size());
    if (format == TRawFormat::Jpeg) {
        int width = 0, height = 0;
        if (!JpegHeaderSize(bytes.data(), bytes.size(), width, height) || width < 1 || height < 1)
            return false;
        info.Width = width;
        info.Height = height;
        info.Format = format;
        if (!JfifDensity(bytes.data(), bytes.size(), info.DpiX, info.DpiY))
            info.DpiX = info.DpiY = kDefaultDpi;
        return true;
    }
    // Qt's reader would let a chunk allocate what it claims.
    if (format == TRawFormat::Png)
        return TPngCodec::ReadInfo(bytes.data(), bytes.size(), info);
    QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<int>(std::min<std::size_t>(bytes.size(), INT32_MAX)));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    PrepareReader(reader);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() < 1 || size.height() < 1)
        return false;
    info.Width = size.width();
    info.Height = size.height();
    info.Format = format != TRawFormat::Unknown ? format : FormatOfQtName(reader.format());
    info.DpiX = info.DpiY = kDefaultDpi;
    return true;
}

bool TImageCodec::Decode(const std::string& path, TQpPixelBuffer& out, TImageInfo& info)
{
    std::vector<std::uint8_t> bytes;
    return ReadFileBytes(path, bytes) && DecodeMemory(bytes.data(), bytes.size(), out, info);
}

bool TImageCodec::DecodeMemory(const std::uint8_t* data, std::size_t size, TQpPixelBuffer& out,
                               TImageInfo& info)
{
    const TPixelAllocator allocate = [&out](int width, int height) -> TQpPixels* {
        return out.SetFormatAndBounds(pfBGR24, TQpRect{0, 0, width, height}) ? &out : nullptr;
    };
    if (DecodeMemory(data, size, allocate, info))
        return true;
    out.Release();
    return false;
}

bool TImageCodec::DecodeMemory(const std::uint8_t* data, std::size_t size, const TPixelAllocator& allocate,
                               TImageInfo& info)
{
    if (!data || size == 0)
        return false;
    switch (DetectFormat(data, size)) {
    case TRawFormat::Jpeg:
        switch (DecodeJpeg(data, size, allocate, info)) {
        case TJpegResult::Ok:
            return true;
        case TJpegResult::Failed:
            return false;
        case TJpegResult::NotMine:
            break;
        }
        if (!DecodeWithQt(data, size, allocate, info))
            return false;
        info.Format = TRawFormat::Jpeg;
        return true;
    case TRawFormat::Png:
        return TPngCodec::Decode(data, size, allocate, info);
    case TRawFormat::Bmp:
        return BmpLayoutFits(data, size) && DecodeWithQt(data, size, allocate, info);
    default:
        return DecodeWithQt(data, size, allocate, info);
    }
}

bool TImageCodec::Encode(const TQpPixels& pixels, const std::string& path, std::string_view mimeType,
                         int quality, double dpiX, double dpiY)
{
    if (pixels.Format != pfBGR24 || !pixels.Data || pixels.Width < 1 || pixels.Height < 1)
        return false;
    if (dpiX <= 0)
        dpiX = kDefaultDpi;
    if (dpiY <= 0)
        dpiY = kDefaultDpi;
    if (mimeType == "image/jpeg")
        return EncodeJpeg(pixels, path, quality, dpiX, dpiY);
    if (mimeType == "image/png")
        return TPngCodec::Encode(pixels, path, dpiX, dpiY);
    if (mimeType == "image/tiff")
        return EncodeWithQt(pixels, path, "tiff", dpiX, dpiY);
    if (mimeType == "image/bmp")
        return EncodeWithQt(pixels, path, "bmp", dpiX, dpiY);
    return false;
}

QImage TImageCodec::Thumbnail(const std::string& path, int width, int height)
{
    if (width < 1 || height < 1)
        return {};
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(path, bytes))
        return {};
    TQpPixelBuffer pixels;
    TImageInfo info;
    if (DetectFormat(bytes.data(), bytes.size()) == TRawFormat::Jpeg) {
        // The decoder's own reduction is far cheaper than decoding the whole photograph.
        TTjHandle handle(tjInitDecompress());
        int w = 0, h = 0, subsampling = 0, colorspace = 0;
        if (handle &&
            tjDecompressHeader3(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), &w, &h,
                                &subsampling, &colorspace) == 0 &&
            colorspace != TJCS_CMYK && colorspace != TJCS_YCCK && IsAcceptableSize(w, h)) {
            int count = 0;
            const tjscalingfactor* factors = tjGetScalingFactors(&count);
            int bestW = w, bestH = h;
            for (int i = 0; i < count; ++i) {
                const int sw = TJSCALED(w, factors[i]);
                const int sh = TJSCALED(h, factors[i]);
                if (sw >= width && sh >= height &&
                    sw * static_cast<std::int64_t>(sh) < bestW * std::int64_t(bestH)) {
                    bestW = sw;
                    bestH = sh;
                }
            }
            if (pixels.SetFormatAndBounds(pfBGR24, {0, 0, bestW, bestH}) &&
                (tjDecompress2(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                               pixels.Data, bestW, pixels.Stride, bestH, TJPF_BGR, 0) == 0 ||
                 tjGetErrorCode(handle.get()) != TJERR_FATAL)) {
                return WrapPixels(pixels).scaled(width, height, Qt::KeepAspectRatio,
                                                 Qt::SmoothTransformation);
            }
            pixels.Release();
        }
    }
    if (!DecodeMemory(bytes.data(), bytes.size(), pixels, info))
        return {};
    return WrapPixels(pixels).scaled(width, height, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage TImageCodec::WrapPixels(const TQpPixels& pixels)
{
    if (!pixels.Data || pixels.Format != pfBGR24)
        return {};
    return QImage(pixels.Data, pixels.Width, pixels.Height, pixels.Stride, QImage::Format_BGR888);
}

} // namespace platform
