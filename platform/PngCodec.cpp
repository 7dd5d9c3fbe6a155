#include "platform/PngCodec.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <png.h>
#include <vector>

namespace platform {

namespace {

// libpng reports errors by longjmp. Every function that calls setjmp below holds only plain values, and
// the C++ objects (the rows, the buffer, the struct guard) live in the callers' frames, which the jump
// never crosses.

struct TPngMemory
{
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t Position;
};

void PngReadMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<TPngMemory*>(png_get_io_ptr(png));
    if (length > source->Size - source->Position)
        png_error(png, "truncated");
    std::memcpy(out, source->Data + source->Position, length);
    source->Position += length;
}

void PngSilentWarning(png_structp, png_const_charp) {}

[[noreturn]] void PngSilentError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

struct TPngHeader
{
    png_uint_32 Width;
    png_uint_32 Height;
    double DpiX;
    double DpiY;
};

// Reads the header and sets the conversions to 8-bit blue-green-red without alpha.
bool PngReadHeader(png_structp png, png_infop info, TPngHeader* header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &header->Width, &header->Height, &bitDepth, &colorType, nullptr, nullptr,
                 nullptr);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    header->DpiX = header->DpiY = 0;
    if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER && resX > 0 &&
        resY > 0) {
        header->DpiX = resX * 0.0254;
        header->DpiY = resY * 0.0254;
    }
    return png_get_rowbytes(png, info) == static_cast<png_size_t>(header->Width) * 3;
}

// A chunk may claim gigabytes in a file of a few hundred bytes, and the decoder allocates and clears
// what a text chunk claims before it finds the file short: every chunk must fit in what is left.
bool ChunksFit(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 8;
    while (at + 12 <= size) {
        const std::uint32_t length = std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 |
                                     std::uint32_t(data[at + 2]) << 8 | data[at + 3];
        if (length > size - at - 12)
            return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0)
            return true;
        at += 12 + static_cast<std::size_t>(length);
    }
    return true; // cut between chunks: the decoder finds that without a large allocation
}

bool PngReadRows(png_structp png, png_infop info, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

struct TPngReadGuard
{
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    ~TPngReadGuard() { png_destroy_read_struct(&Png, &Info, nullptr); }
};

void PngWriteFile(png_structp png, png_bytep data, png_size_t length)
{
    auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, file) != length)
        png_error(png, "write failed");
}

void PngFlushFile(png_structp png)
{
    std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png)));
}

struct TPngWriteJob
{
    png_uint_32 Width;
    png_uint_32 Height;
    png_uint_32 ResX;
    png_uint_32 ResY;
    png_bytepp Rows;
};

bool PngWriteAll(png_structp png, png_infop info, const TPngWriteJob* job)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, job->Width, job->Height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, job->ResX, job->ResY, PNG_RESOLUTION_METER);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, job->Rows);
    png_write_end(png, info);
    return true;
}

struct TPngWriteGuard
{
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    ~TPngWriteGuard() { png_destroy_write_struct(&Png, &Info); }
};

struct TFileClose
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

bool TPngCodec::Decode(const std::uint8_t* data, std::size_t size, const TPixelAllocator& allocate,
                       TImageInfo& info)
{
    return Read(data, size, &allocate, info);
}

bool TPngCodec::ReadInfo(const std::uint8_t* data, std::size_t size, TImageInfo& info)
{
    return Read(data, size, nullptr, info);
}

bool TPngCodec::Read(const std::uint8_t* data, std::size_t size, const TPixelAllocator* allocate,
                     TImageInfo& info)
{
    TPngReadGuard guard;
    guard.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngSilentError, PngSilentWarning);
    if (!guard.Png)
        return false;
    guard.Info = png_create_info_struct(guard.Png);
    if (!guard.Info)
        return false;
    TPngMemory source{data, size, 0};
    png_set_read_fn(guard.Png, &source, PngReadMemory);
    // The decoder's own limits stay above ours, so ours decide.
    png_set_user_limits(guard.Png, 0x7fffffff, 0x7fffffff);
    // Decompressed text and profiles: nothing real needs more than the file's own size or 1 MB.
    png_set_chunk_malloc_max(guard.Png,
                             std::clamp<std::size_t>(size, std::size_t(1) << 20, std::size_t(64) << 20));
    if (!ChunksFit(data, size))
        return false;
    TPngHeader header{};
    if (!PngReadHeader(guard.Png, guard.Info, &header))
        return false;
    info.Format = TRawFormat::Png;
    info.DpiX = header.DpiX > 0 ? header.DpiX : kDefaultDpi;
    info.DpiY = header.DpiY > 0 ? header.DpiY : kDefaultDpi;
    if (!allocate) {
        info.Width = static_cast<int>(header.Width);
        info.Height = static_cast<int>(header.Height);
        return true;
    }
    if (header.Width > kMaxImageSide || header.Height > kMaxImageSide)
        return false;
    TQpPixels* out = TImageCodec::AllocateChecked(*allocate, static_cast<int>(header.Width),
                                                  static_cast<int>(header.Height));
    if (!out)
        return false;
    std::vector<png_bytep> rows(header.Height);
    for (png_uint_32 y = 0; y < header.Height; ++y)
        rows[y] = out->Data + static_cast<std::ptrdiff_t>(y) * out->Stride;
    if (!PngReadRows(guard.Png, guard.Info, rows.data()))
        return false;
    info.Width = out->Width;
    info.Height = out->Height;
    return true;
}

bool TPngCodec::Encode(const TQpPixels& pixels, const std::string& path, double dpiX, double dpiY)
{
    std::unique_ptr<std::FILE, TFileClose> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    TPngWriteGuard guard;
    guard.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngSilentError, PngSilentWarning);
    if (!guard.Png)
        return false;
    guard.Info = png_create_info_struct(guard.Png);
    if (!guard.Info)
        return false;
    png_set_write_fn(guard.Png, file.get(), PngWriteFile, PngFlushFile);
    std::vector<png_bytep> rows(static_cast<std::size_t>(pixels.Height));
    for (int y = 0; y < pixels.Height; ++y)
        rows[y] = pixels.Data + static_cast<std::ptrdiff_t>(y) * pixels.Stride;
    const TPngWriteJob job{static_cast<png_uint_32>(pixels.Width), static_cast<png_uint_32>(pixels.Height),
                           static_cast<png_uint_32>(std::nearbyint(dpiX / 0.0254)),
                           static_cast<png_uint_32>(std::nearbyint(dpiY / 0.0254)), rows.data()};
    if (!PngWriteAll(guard.Png, guard.Info, &job))
        return false;
    std::FILE* raw = file.release();
    const bool flushed = std::fflush(raw) == 0 && !std::ferror(raw);
    return std::fclose(raw) == 0 && flushed;
}

} // namespace platform
