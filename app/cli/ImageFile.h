#pragma once
// Reading and writing image files for the subcommands of velmora-cli. Photos go the editor's way: read by
// TQpGraphicsImage (a JPEG through the lossless codec, anything else through the platform image codec and
// its size limits, the EXIF orientation applied) and written by the platform encoders, so a subcommand
// sees exactly the pixels the tools see. Grey masks, which the platform codec has no path for, go through
// Qt's image reader and writer.

#include "imaging/QpPixels.h"
#include "model/QpGraphicsImage.h"

#include <string>

class QByteArray;
class QImage;

namespace cli {

// Mask files larger than this many megabytes of decoded pixels are refused by the reader.
constexpr int kImageAllocationLimitMB = 1024;

// Opens the photo as the editor opens it. On failure `image` is left as it was and `error` says why: no
// such file, a declared size beyond the program's limits, or nothing the program reads.
bool LoadImageFile(const std::string& path, TQpGraphicsImage& image, std::string& error);
// The same photo's pixels as pfBGR24 with origin (0, 0); on failure `out` is left as it was.
bool LoadImageFile(const std::string& path, TQpPixelBuffer& out, std::string& error);

// Writes the pfBGR24 window to `path` in the format its extension names (.png, .bmp, .jpg/.jpeg, .tif/.tiff),
// through a temporary file so an existing file survives a failed write.
// Writes an image Qt encodes in `format` ("png", "bmp") so that an old file survives any failure.
bool WriteEncodedImage(const std::string& path, const QImage& image, const QByteArray& format,
                       std::string& error);

bool SaveImageFile(const std::string& path, const TQpPixels& pixels, std::string& error,
                   int jpegQuality = 90);

// Reads any image as 8-bit grey into a mask with origin (0, 0): 0 not covered, 255 fully covered.
bool LoadMaskFile(const std::string& path, TQpPixelMask& out, std::string& error);
// Writes the mask as an 8-bit grey image (PNG, BMP or TIFF; JPEG would blur the values).
bool SaveMaskFile(const std::string& path, const TQpPixelMask& mask, std::string& error);

} // namespace cli
