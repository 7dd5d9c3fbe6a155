#pragma once
// PNG files through libpng for the image codec: decoding any PNG to pfBGR24 (grey, palette and 16-bit
// converted, alpha dropped keeping the stored colour) within the codec's size limits, and writing a pfBGR24
// window as 8-bit RGB with its resolution. Stateless; safe to call from several threads at once.

#include "imaging/QpPixels.h"
#include "platform/ImageCodec.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class TPngCodec
{
public:
    // Decodes into the storage `allocate` gives and fills `info`; false for a broken or oversized file,
    // after which the storage may hold part of an image.
    static bool Decode(const std::uint8_t* data, std::size_t size, const TPixelAllocator& allocate,
                       TImageInfo& info);
    // Size, resolution and format from the chunks before the image data, with the same checks.
    static bool ReadInfo(const std::uint8_t* data, std::size_t size, TImageInfo& info);
    // Writes the file in place, its pHYs chunk giving the resolution.
    static bool Encode(const TQpPixels& pixels, const std::string& path, double dpiX, double dpiY);

private:
    static bool Read(const std::uint8_t* data, std::size_t size, const TPixelAllocator* allocate,
                     TImageInfo& info);
};

} // namespace platform
