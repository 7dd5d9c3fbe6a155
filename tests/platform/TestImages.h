#pragma once
// Pictures made at run time for the image file tests: a deterministic photo-like pattern and JPEG
// files of it with a chosen chroma sampling.

#include "imaging/QpPixels.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <turbojpeg.h>
#include <vector>

namespace testimages {

// Smooth gradients with some texture, so that JPEG blocks carry real AC coefficients.
inline void FillPattern(TQpPixelBuffer& pixels, int width, int height, unsigned seed = 1)
{
    pixels.SetFormatAndBounds(pfBGR24, {0, 0, width, height});
    std::uint32_t state = seed * 2654435761u + 12345u;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = static_cast<int>(state >> 28) - 8;
            std::uint8_t* p = pixels.PixelPtr(x, y);
            p[0] = static_cast<std::uint8_t>(Clamp(x * 255 / width + noise, 0, 255));
            p[1] = static_cast<std::uint8_t>(Clamp(y * 255 / height + noise, 0, 255));
            p[2] = static_cast<std::uint8_t>(Clamp(((x / 5 + y / 3) % 7) * 36 + noise, 0, 255));
        }
}

// Encodes with TurboJPEG: subsampling TJSAMP_444, TJSAMP_422 or TJSAMP_420; flags such as
// TJFLAG_PROGRESSIVE.
inline std::vector<std::uint8_t> EncodeJpeg(const TQpPixels& pixels, int subsampling, int quality = 90,
                                            int flags = 0)
{
    tjhandle handle = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, pixels.Data, pixels.Width, pixels.Stride, pixels.Height, TJPF_BGR, &buffer, &size,
                subsampling, quality, flags);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    tjFree(buffer);
    tjDestroy(handle);
    return bytes;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Largest difference of any channel; -1 when the sizes differ.
inline int MaxDifference(const TQpPixels& a, const TQpPixels& b)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return -1;
    int worst = 0;
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width * 3; ++x)
            worst = std::max(worst, std::abs(a.PixelPtr(0, y)[x] - b.PixelPtr(0, y)[x]));
    return worst;
}

inline double MeanDifference(const TQpPixels& a, const TQpPixels& b)
{
    double sum = 0;
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width * 3; ++x)
            sum += std::abs(a.PixelPtr(0, y)[x] - b.PixelPtr(0, y)[x]);
    return sum / (3.0 * a.Width * a.Height);
}

inline bool SamePixels(const TQpPixels& a, const TQpPixels& b)
{
    return MaxDifference(a, b) == 0;
}

} // namespace testimages
