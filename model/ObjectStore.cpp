#include "model/ObjectStore.h"

#include "core/QpLocalizedText.h"
#include "cutout/MarkedRegion.h"
#include "cutout/SeparationRun.h"
#include "imaging/AlphaChanal.h"
#include "imaging/RectToRect.h"
#include "imaging/Thumbnail.h"
#include "imaging/ThumbnailFiles.h"
#include "platform/ImageCodec.h"

#include <QFile>
#include <QString>
#include <algorithm>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kCollectionFullText = 2886;
constexpr int kCannotStoreText = 2887;

QString Localized(int id, std::u16string_view text)
{
    return QString::fromStdU16String(CoreLocalizedString(id, text));
}

// Reads the photo's own colours: where the region draws an overlay into the image (the background effect),
// the colour it saved, so that the softened matte edge blends the photo and not the effect.
class TPhotoColors
{
public:
    TPhotoColors(const TQpPixels& image, const TMarkedRegion& region)
        : m_image(image), m_region(region),
          m_overlaid(region.Pixels() && region.Pixels()->Data == image.Data),
          m_column(std::size_t(region.Height()))
    {
    }

    // Column x of the image, Height() entries.
    const TBgr* Column(int x)
    {
        if (m_overlaid) {
            m_region.UnderlyingColumn(x, m_column.data());
        } else {
            for (int y = 0; y < m_region.Height(); ++y) {
                const std::uint8_t* pixel = m_image.PixelPtr(x, y);
                m_column[std::size_t(y)] = {pixel[0], pixel[1], pixel[2]};
            }
        }
        return m_column.data();
    }

private:
    const TQpPixels& m_image;
    const TMarkedRegion& m_region;
    const bool m_overlaid;
    std::vector<TBgr> m_column;
};

std::uint32_t Packed(const TBgr& c)
{
    return (std::uint32_t(c.Red) << 16) | (std::uint32_t(c.Green) << 8) | c.Blue;
}

// The object rectangle's pixels and its thumbnail, gathered in one pass over the columns so that a
// large photo is read once.
bool WriteColors(const TQpPixels& image, const TMarkedRegion& region, const TQpRect& object,
                 const fs::path& jpegPath, int jpegQuality, TThumbnail& thumbnail)
{
    TQpPixelBuffer crop;
    if (!crop.SetFormatAndBounds(pfBGR24, {0, 0, object.Width(), object.Height()})) {
        return false;
    }
    const TRectToRect mapping(object, TRectToRect::kFit, {0, 0, TThumbnail::kSize, TThumbnail::kSize});
    const TQpRect target = mapping.Destination();
    // Thumbnail pixels by the image column their source point falls in.
    struct TWanted
    {
        TMapPoint Target;
        int SourceY = 0;
    };
    std::vector<std::vector<TWanted>> wanted(std::size_t(object.Width()));
    for (int tx = target.Left; tx < target.Right; ++tx) {
        for (int ty = target.Top; ty < target.Bottom; ++ty) {
            const TMapPoint source = mapping.Map(tx, ty);
            if (source.X >= object.Left && source.X < object.Right && source.Y >= object.Top &&
                source.Y < object.Bottom) {
                wanted[std::size_t(source.X - object.Left)].push_back({{tx, ty}, source.Y});
            }
        }
    }

    TPhotoColors colors(image, region);
    for (int x = object.Left; x < object.Right; ++x) {
        const TBgr* column = colors.Column(x);
        for (int y = object.Top; y < object.Bottom; ++y) {
            std::uint8_t* pixel = crop.PixelPtr(x - object.Left, y - object.Top);
            const TBgr& c = column[y];
            pixel[0] = c.Blue;
            pixel[1] = c.Green;
            pixel[2] = c.Red;
        }
        for (const TWanted& w : wanted[std::size_t(x - object.Left)]) {
            if (region.Label(x, w.SourceY) == kLabelResultObject) {
                thumbnail.SetPixel(w.Target.X, w.Target.Y, Packed(column[w.SourceY]));
            }
        }
    }
    return platform::TImageCodec::Encode(crop, jpegPath.string(), "image/jpeg", jpegQuality);
}

// Opaque for the object and for points left undecided, transparent for the background, softened once.
bool WriteMatte(const TMarkedRegion& region, const TQpRect& object, const fs::path& path)
{
    TAlphaChanal alpha;
    if (!alpha.SetSize(object.Width(), object.Height())) {
        return false;
    }
    for (int x = object.Left; x < object.Right; ++x) {
        for (int y = object.Top; y < object.Bottom; ++y) {
            alpha.SetValue(x - object.Left, y - object.Top,
                           region.Label(x, y) == kLabelResultBackground ? 0 : 255);
        }
    }
    alpha.Smooth();
    return alpha.SaveCompressed(path.string());
}

} // namespace

QString CannotStoreObjectText(const fs::path& folder)
{
    return Localized(kCannotStoreText, u"The object cannot be stored in the collection.") + QLatin1Char('\n') +
           QFile::decodeName(folder.c_str());
}

bool StoreObject(const TQpPixels& image, const TMarkedRegion& region, const fs::path& objectsFolder,
                 int jpegQuality, std::string& itemName, QString& error)
{
    itemName.clear();
    error.clear();
    const TQpRect object = region.BoundsOfLabel(kLabelResultObject);
    if (!region.HasLabel(kLabelResultObject) || object.IsEmpty() || !image.Data || image.Format != pfBGR24 ||
        image.Left != 0 || image.Top != 0 || image.Width != region.Width() ||
        image.Height != region.Height()) {
        error = CannotStoreObjectText(objectsFolder);
        return false;
    }

    std::error_code ignored;
    fs::create_directories(objectsFolder, ignored);
    const std::vector<std::string> names = ItemNames(objectsFolder);
    // Beyond the last six-digit name the program would have to reuse old numbers, and the newest item
    // would no longer be the one with the largest name.
    if (std::find(names.begin(), names.end(), "999999") != names.end()) {
        error =
            Localized(kCollectionFullText, u"The collection of stored objects is full. Delete objects you no "
                                           u"longer need, then store again.");
        return false;
    }
    const std::string name = ReserveNewItemName(objectsFolder);
    if (name.empty()) {
        error = CannotStoreObjectText(objectsFolder);
        return false;
    }

    TThumbnail thumbnail(TThumbnail::kSize, TThumbnail::kCutout, TThumbnail::kSize);
    thumbnail.Checkerboard();
    // The thumbnail goes last: until then the reserved, empty ".tmb" keeps the item out of the lists.
    const bool ok =
        WriteColors(image, region, object, objectsFolder / (name + ".jpg"), jpegQuality, thumbnail) &&
        WriteMatte(region, object, objectsFolder / (name + ".alp")) &&
        thumbnail.SaveToFile(objectsFolder, name);
    if (!ok) {
        DeleteItemFiles(objectsFolder, name);
        error = CannotStoreObjectText(objectsFolder);
        return false;
    }
    itemName = name;
    return true;
}
