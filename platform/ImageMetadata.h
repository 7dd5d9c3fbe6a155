#pragma once
// Image metadata as property items, read and written through exiv2. An item carries the EXIF tag
// number as its identifier, the EXIF type code (1 byte ... 12 double) and the value bytes in
// little-endian order. GPS tags keep their numbers 0x0000-0x001F; the thumbnail directory's tags get
// the identifiers 0x5012-0x503B that image libraries publish for them, so they can be told apart and
// dropped before a save. Exiv2 is re-entrant per call; nothing here keeps state.

#include "core/QpProperties.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Identifiers with a meaning of their own to the program.
constexpr std::uint32_t kTagMake = 0x010F;
constexpr std::uint32_t kTagModel = 0x0110;
constexpr std::uint32_t kTagOrientation = 0x0112;
constexpr std::uint32_t kTagXResolution = 0x011A;
constexpr std::uint32_t kTagYResolution = 0x011B;
constexpr std::uint32_t kTagResolutionUnit = 0x0128;
constexpr std::uint32_t kTagDateTime = 0x0132;
constexpr std::uint32_t kTagPixelXDimension = 0xA002;
constexpr std::uint32_t kTagPixelYDimension = 0xA003;
constexpr std::uint32_t kTagThumbnailData = 0x501B;
constexpr std::uint32_t kFirstThumbnailTag = 0x5012;
constexpr std::uint32_t kLastThumbnailTag = 0x503B;
// Inside the thumbnail range but a property of the main image.
constexpr std::uint32_t kTagColorTransferFunction = 0x501A;

// EXIF type codes.
constexpr std::uint32_t kTypeByte = 1;
constexpr std::uint32_t kTypeAscii = 2;
constexpr std::uint32_t kTypeShort = 3;
constexpr std::uint32_t kTypeLong = 4;
constexpr std::uint32_t kTypeRational = 5;
constexpr std::uint32_t kTypeUndefined = 7;

class TImageMetadata
{
public:
    // Replaces the bag's content with the items of a JPEG, TIFF, PNG or other file exiv2 reads. False (and
    // an empty bag) when the file has no readable metadata.
    static bool ReadFile(const std::string& path, TQpCustomProperties& items);
    // The items of a TIFF-structured EXIF body (what follows "Exif\0\0" in a JPEG APP1 segment).
    static bool ReadExifBody(const std::uint8_t* body, std::size_t size, TQpCustomProperties& items);
    // Replaces the EXIF metadata of a JPEG, TIFF or PNG file with the items. Items exiv2 cannot place
    // (unknown identifiers, structure tags of the old file) are left out. False when the file cannot be
    // rewritten.
    static bool WriteFile(const std::string& path, const TQpCustomProperties& items);

    // The EXIF orientation 1..8 of the bag; 1 when absent or out of range.
    static int Orientation(const TQpCustomProperties& items);
    // Stores one 16-bit or 32-bit value, keeping an existing item's type.
    static void SetShortOrLong(TQpCustomProperties& items, std::uint32_t id, std::uint32_t value);
    // Horizontal and vertical resolution in dots per inch from the items; false when absent.
    static bool Resolution(const TQpCustomProperties& items, double& dpiX, double& dpiY);
    // The item's bytes up to the first zero or its end.
    static std::string Text(const TQpCustomProperties& items, std::uint32_t id);
    static bool IsThumbnailItem(std::uint32_t id)
    {
        return id >= kFirstThumbnailTag && id <= kLastThumbnailTag && id != kTagColorTransferFunction;
    }
};

} // namespace platform
