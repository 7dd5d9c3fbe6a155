// Exiv2 0.27 hands out std::auto_ptr, which the library's headers force on every user.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

#include "platform/ImageMetadata.h"

#include <exiv2/exiv2.hpp>

#include <array>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace platform {

namespace {

// The thumbnail directory's tags and the identifiers they travel under.
struct TThumbnailTag
{
    std::uint16_t Tag;
    std::uint32_t Id;
};
constexpr std::array<TThumbnailTag, 29> kThumbnailTags{{
    {0x0100, 0x5020}, {0x0101, 0x5021}, {0x0102, 0x5022}, {0x0103, 0x5023}, {0x0106, 0x5024},
    {0x010E, 0x5025}, {0x010F, 0x5026}, {0x0110, 0x5027}, {0x0111, 0x5028}, {0x0112, 0x5029},
    {0x0115, 0x502A}, {0x0116, 0x502B}, {0x0117, 0x502C}, {0x011A, 0x502D}, {0x011B, 0x502E},
    {0x011C, 0x502F}, {0x0128, 0x5030}, {0x012D, 0x5031}, {0x0131, 0x5032}, {0x0132, 0x5033},
    {0x013B, 0x5034}, {0x013E, 0x5035}, {0x013F, 0x5036}, {0x0211, 0x5037}, {0x0212, 0x5038},
    {0x0213, 0x5039}, {0x0214, 0x503A}, {0x8298, 0x503B}, {0x0202, 0x5019},
}};

// Tags that describe where a file keeps its pixels and sub-directories. They mean nothing once the
// pixels are written anew, and writing them into another file would point at garbage.
bool IsStructureTag(std::uint16_t tag)
{
    switch (tag) {
    case 0x00FE:
    case 0x00FF:
    case 0x0100:
    case 0x0101:
    case 0x0102:
    case 0x0103:
    case 0x0106:
    case 0x0111:
    case 0x0115:
    case 0x0116:
    case 0x0117:
    case 0x011C:
    case 0x0140:
    case 0x0142:
    case 0x0143:
    case 0x0144:
    case 0x0145:
    case 0x014A:
    case 0x0152:
    case 0x0153:
    case 0x0201:
    case 0x0202:
    case 0x8769:
    case 0x8825:
    case 0xA005:
        return true;
    default:
        return false;
    }
}

void MuteLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

const std::set<std::uint16_t>& PhotoTags()
{
    static const std::set<std::uint16_t> tags = [] {
        std::set<std::uint16_t> result;
        for (const Exiv2::TagInfo* info = Exiv2::ExifTags::tagList("Photo"); info && info->tag_ != 0xFFFF;
             ++info)
            result.insert(info->tag_);
        return result;
    }();
    return tags;
}

void AddDatum(TQpCustomProperties& items, std::uint32_t id, const Exiv2::Exifdatum& datum)
{
    const long size = datum.size();
    if (size < 0 || size > 0x7FFFFFFF)
        return;
    std::vector<Exiv2::byte> bytes(static_cast<std::size_t>(size) + 1);
    datum.copy(bytes.data(), Exiv2::littleEndian);
    items.SetItem(id, static_cast<std::uint32_t>(datum.typeId()), static_cast<std::uint32_t>(size),
                  bytes.data());
}

void CopyExif(const Exiv2::ExifData& exif, TQpCustomProperties& items)
{
    for (const Exiv2::Exifdatum& datum : exif) {
        const std::string group = datum.groupName();
        const std::uint16_t tag = datum.tag();
        if (group == "Image" || group == "Photo") {
            if (!IsStructureTag(tag))
                AddDatum(items, tag, datum);
        } else if (group == "GPSInfo") {
            AddDatum(items, tag, datum);
        } else if (group == "Thumbnail") {
            for (const TThumbnailTag& entry : kThumbnailTags)
                if (entry.Tag == tag)
                    AddDatum(items, entry.Id, datum);
        }
    }
    Exiv2::ExifThumbC thumbnail(exif);
    const Exiv2::DataBuf data = thumbnail.copy();
    if (data.size_ > 0)
        items.SetItem(kTagThumbnailData, kTypeUndefined, static_cast<std::uint32_t>(data.size_), data.pData_);
}

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool AddItem(Exiv2::ExifData& exif, std::uint16_t tag, const std::string& group, const TQpPropertyItem& item)
{
    if (item.Type < 1 || item.Type > 12)
        return false;
    Exiv2::Value::AutoPtr value = Exiv2::Value::create(static_cast<Exiv2::TypeId>(item.Type));
    if (value->read(item.Data(), static_cast<long>(item.Size), Exiv2::littleEndian) != 0)
        return false;
    exif.add(Exiv2::ExifKey(tag, group), value.get());
    return true;
}

void BuildExif(const TQpCustomProperties& items, Exiv2::ExifData& exif)
{
    const TQpPropertyItem* thumbnail = nullptr;
    for (int i = 0; i < items.Count(); ++i) {
        const TQpPropertyItem& item = *items.Items(i);
        if (item.Id == kTagThumbnailData) {
            thumbnail = &item;
            continue;
        }
        if (TImageMetadata::IsThumbnailItem(item.Id) || item.Id > 0xFFFF)
            continue;
        const auto tag = static_cast<std::uint16_t>(item.Id);
        if (IsStructureTag(tag))
            continue;
        const char* group = tag < 0x20 ? "GPSInfo" : (PhotoTags().count(tag) ? "Photo" : "Image");
        AddItem(exif, tag, group, item);
    }
    if (!thumbnail || thumbnail->Size == 0)
        return;
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail->Data(), static_cast<long>(thumbnail->Size));
    // The thumbnail's own resolution travels with it; its structure is rewritten by exiv2.
    for (int i = 0; i < items.Count(); ++i) {
        const TQpPropertyItem& item = *items.Items(i);
        for (const TThumbnailTag& entry : kThumbnailTags)
            if (entry.Id == item.Id && (entry.Tag == 0x011A || entry.Tag == 0x011B || entry.Tag == 0x0128))
                AddItem(exif, entry.Tag, "Thumbnail", item);
    }
}

} // namespace

bool TImageMetadata::ReadFile(const std::string& path, TQpCustomProperties& items)
{
    MuteLibrary();
    items.Clear();
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
        if (!image.get())
            return false;
        image->readMetadata();
        CopyExif(image->exifData(), items);
        return true;
    } catch (...) {
        items.Clear();
        return false;
    }
}

bool TImageMetadata::ReadExifBody(const std::uint8_t* body, std::size_t size, TQpCustomProperties& items)
{
    MuteLibrary();
    items.Clear();
    if (!body || size < 8 || size > 0x7FFFFFFF)
        return false;
    try {
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, body, static_cast<std::uint32_t>(size));
        CopyExif(exif, items);
        return true;
    } catch (...) {
        items.Clear();
        return false;
    }
}

bool TImageMetadata::WriteFile(const std::string& path, const TQpCustomProperties& items)
{
    MuteLibrary();
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
        if (!image.get())
            return false;
        // Read first, so XMP, IPTC and the colour profile a file already carries are kept.
        image->readMetadata();
        Exiv2::ExifData exif;
        BuildExif(items, exif);
        image->setExifData(exif);
        Exiv2::XmpData& xmp = image->xmpData();
        const auto xmpOrientation = xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
        if (xmpOrientation != xmp.end())
            xmpOrientation->setValue(std::to_string(Orientation(items)));
        image->writeMetadata();
        return true;
    } catch (...) {
        return false;
    }
}

int TImageMetadata::Orientation(const TQpCustomProperties& items)
{
    const int index = items.IndexOf(kTagOrientation);
    const TQpPropertyItem* item = items.Items(index);
    if (!item || item->Size < 2 || (item->Type != kTypeShort && item->Type != kTypeLong))
        return 1;
    const int value = item->Type == kTypeShort ? Le16(item->Data())
                                               : (item->Size >= 4 ? static_cast<int>(Le32(item->Data())) : 0);
    return value >= 1 && value <= 8 ? value : 1;
}

void TImageMetadata::SetShortOrLong(TQpCustomProperties& items, std::uint32_t id, std::uint32_t value)
{
    const TQpPropertyItem* existing = items.Items(items.IndexOf(id));
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value >> 16),
                                   static_cast<std::uint8_t>(value >> 24)};
    const bool asLong = existing ? existing->Type == kTypeLong : value > 0xFFFF;
    items.SetItem(id, asLong ? kTypeLong : kTypeShort, asLong ? 4 : 2, bytes);
}

bool TImageMetadata::Resolution(const TQpCustomProperties& items, double& dpiX, double& dpiY)
{
    auto rational = [&](std::uint32_t id, double& out) {
        const TQpPropertyItem* item = items.Items(items.IndexOf(id));
        if (!item || item->Type != kTypeRational || item->Size < 8)
            return false;
        const std::uint32_t num = Le32(item->Data());
        const std::uint32_t den = Le32(item->Data() + 4);
        if (num == 0 || den == 0)
            return false;
        out = static_cast<double>(num) / den;
        return true;
    };
    double x = 0, y = 0;
    if (!rational(kTagXResolution, x) || !rational(kTagYResolution, y))
        return false;
    const TQpPropertyItem* unit = items.Items(items.IndexOf(kTagResolutionUnit));
    if (unit && unit->Type == kTypeShort && unit->Size >= 2 && Le16(unit->Data()) == 3) {
        x *= 2.54;
        y *= 2.54;
    } else if (unit && unit->Type == kTypeShort && unit->Size >= 2 && Le16(unit->Data()) == 1) {
        return false; // no absolute unit
    }
    dpiX = x;
    dpiY = y;
    return true;
}

std::string TImageMetadata::Text(const TQpCustomProperties& items, std::uint32_t id)
{
    const TQpPropertyItem* item = items.Items(items.IndexOf(id));
    if (!item || !item->Data())
        return {};
    const auto* begin = reinterpret_cast<const char*>(item->Data());
    const void* zero = std::memchr(begin, 0, item->Size);
    return std::string(begin, zero ? static_cast<const char*>(zero) : begin + item->Size);
}

} // namespace platform
