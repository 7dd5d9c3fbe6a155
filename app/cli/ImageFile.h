#pragma once
// Reading and writing image files for the subcommands of velmora-cli: colour images as pfBGR24 pixel
// buffers and grey images as coverage masks, through Qt's image reader and writer.

#include "imaging/QpPixels.h"

#include <string>

namespace cli {

// Files larger than this many megabytes of decoded pixels are refused by the reader.
constexpr int kImageAllocationLimitMB = 1024;

// Reads a PNG, BMP, JPEG or TIFF file (EXIF orientation applied, alpha dropped keeping the stored colour)
// into `out` as pfBGR24 with origin (0, 0). Images with a side below 1 or above kMaxImageSide are refused.
// On failure `out` is left as it was and `error` says why.
bool LoadImageFile(const std::string& path, TQpPixelBuffer& out, std::string& error);

// Writes the pfBGR24 window to `path` in the format its extension names (.png, .bmp, .jpg/.jpeg, .tif/.tiff),
// through a temporary file so an existing file survives a failed write.
bool SaveImageFile(const std::string& path, const TQpPixels& pixels, std::string& error,
                   int jpegQuality = 90);

// Reads any image as 8-bit grey into a mask with origin (0, 0): 0 not covered, 255 fully covered.
bool LoadMaskFile(const std::string& path, TQpPixelMask& out, std::string& error);
// Writes the mask as an 8-bit grey image (PNG, BMP or TIFF; JPEG would blur the values).
bool SaveMaskFile(const std::string& path, const TQpPixelMask& mask, std::string& error);

} // namespace cli
