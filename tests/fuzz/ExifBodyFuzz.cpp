// Feeds arbitrary bytes to the EXIF reader as the body of a JPEG APP1 segment, then reads the items
// the way the program does: orientation, resolution and the texts it shows.
#include "platform/ImageMetadata.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TQpCustomProperties items;
    if (!platform::TImageMetadata::ReadExifBody(data, size, items))
        return 0;
    const int orientation = platform::TImageMetadata::Orientation(items);
    if (orientation < 1 || orientation > 8)
        std::abort();
    double dpiX = 0, dpiY = 0;
    platform::TImageMetadata::Resolution(items, dpiX, dpiY);
    for (int i = 0; i < items.Count(); ++i) {
        platform::TImageMetadata::Text(items, items.Items(i)->Id);
        items.GetValue(i);
    }
    return 0;
}
