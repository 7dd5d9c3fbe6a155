#include "platform/ImageMetadata.h"

#include "platform/ImageCodec.h"

#include "TestImages.h"

#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

using namespace platform;
using namespace testimages;

namespace {

class ImageMetadataTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }

    // A small photograph-like bag: main image, EXIF and GPS items.
    static void FillItems(TQpCustomProperties& items)
    {
        items.SetItem(kTagMake, kTypeAscii, 6, "Maker\0");
        items.SetItem(kTagModel, kTypeAscii, 4, "M10\0");
        const std::uint8_t six[2] = {6, 0};
        items.SetItem(kTagOrientation, kTypeShort, 2, six);
        items.SetItem(kTagDateTime, kTypeAscii, 20, "2024:05:06 07:08:09\0");
        const std::uint8_t exposure[8] = {1, 0, 0, 0, 125, 0, 0, 0};
        items.SetItem(0x829A, kTypeRational, 8, exposure);
        items.SetItem(0x0001, kTypeAscii, 2, "N\0");
        const std::uint8_t width[4] = {0x40, 0, 0, 0};
        items.SetItem(kTagPixelXDimension, kTypeLong, 4, width);
    }

    static void ExpectSameItem(const TQpCustomProperties& expected, const TQpCustomProperties& actual,
                               std::uint32_t id)
    {
        SCOPED_TRACE(id);
        const TQpPropertyItem* want = expected.Items(expected.IndexOf(id));
        const TQpPropertyItem* got = actual.Items(actual.IndexOf(id));
        ASSERT_NE(nullptr, want);
        ASSERT_NE(nullptr, got);
        EXPECT_EQ(want->Type, got->Type);
        ASSERT_EQ(want->Size, got->Size);
        EXPECT_EQ(0, std::memcmp(want->Data(), got->Data(), want->Size));
    }

    QTemporaryDir m_dir;
};

TEST_F(ImageMetadataTest, ItemsSurviveAWriteAndReadInJpegPngAndTiff)
{
    TQpPixelBuffer pixels;
    FillPattern(pixels, 32, 16);
    TQpCustomProperties items;
    FillItems(items);
    for (const auto& [mime, name] : {std::pair{"image/jpeg", "a.jpg"}, std::pair{"image/png", "a.png"},
                                     std::pair{"image/tiff", "a.tif"}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(TImageCodec::Encode(pixels, Path(name), mime, 90));
        ASSERT_TRUE(TImageMetadata::WriteFile(Path(name), items));
        TQpCustomProperties back;
        ASSERT_TRUE(TImageMetadata::ReadFile(Path(name), back));
        for (std::uint32_t id :
             {kTagMake, kTagModel, kTagOrientation, kTagDateTime, 0x829Au, 0x0001u, kTagPixelXDimension})
            ExpectSameItem(items, back, id);
        EXPECT_EQ(6, TImageMetadata::Orientation(back));
        // The pixels are still readable after the rewrite.
        TQpPixelBuffer decoded;
        TImageInfo info;
        EXPECT_TRUE(TImageCodec::Decode(Path(name), decoded, info));
    }
}

TEST_F(ImageMetadataTest, TheThumbnailTravelsUnderItsOwnIdentifiers)
{
    TQpPixelBuffer pixels;
    FillPattern(pixels, 32, 16);
    TQpPixelBuffer small;
    FillPattern(small, 8, 8, 2);
    const std::vector<std::uint8_t> thumbnail = EncodeJpeg(small, TJSAMP_420);
    TQpCustomProperties items;
    FillItems(items);
    items.SetItem(kTagThumbnailData, kTypeUndefined, static_cast<std::uint32_t>(thumbnail.size()),
                  thumbnail.data());
    ASSERT_TRUE(TImageCodec::Encode(pixels, Path("a.jpg"), "image/jpeg", 90));
    ASSERT_TRUE(TImageMetadata::WriteFile(Path("a.jpg"), items));
    TQpCustomProperties back;
    ASSERT_TRUE(TImageMetadata::ReadFile(Path("a.jpg"), back));
    ExpectSameItem(items, back, kTagThumbnailData);
    // Nothing of the thumbnail directory comes back under a main-image tag number.
    for (int i = 0; i < back.Count(); ++i) {
        const std::uint32_t id = back.Items(i)->Id;
        EXPECT_TRUE(id < 0x5000 || TImageMetadata::IsThumbnailItem(id) || id > 0x8000) << id;
    }
    EXPECT_GE(back.IndexOf(0x5023), 0); // the thumbnail's compression tag
    EXPECT_TRUE(TImageMetadata::IsThumbnailItem(0x5012));
    EXPECT_FALSE(TImageMetadata::IsThumbnailItem(kTagColorTransferFunction));
    EXPECT_TRUE(TImageMetadata::IsThumbnailItem(0x503B));
}

TEST_F(ImageMetadataTest, BigEndianBodiesComeOutLittleEndian)
{
    // "MM", IFD at 8 with one entry: orientation, SHORT, count 1, value 3; no next IFD.
    const std::uint8_t body[] = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0,
                                 3,   0,   0, 0,  1, 0, 3, 0, 0, 0, 0,    0,    0};
    TQpCustomProperties items;
    ASSERT_TRUE(TImageMetadata::ReadExifBody(body, sizeof body, items));
    const TQpPropertyItem* item = items.Items(items.IndexOf(kTagOrientation));
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(kTypeShort, item->Type);
    ASSERT_EQ(2u, item->Size);
    EXPECT_EQ(3, item->Data()[0]);
    EXPECT_EQ(0, item->Data()[1]);
}

TEST_F(ImageMetadataTest, HostileBodiesAreSurvived)
{
    // An IFD that names itself as the next one, an entry count past the end, random bytes.
    const std::uint8_t loop[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                                 0,   1,   0,  0, 0, 3, 0, 0, 0, 8, 0,    0,    0};
    const std::uint8_t overlong[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 0xFF, 0xFF, 0x12, 0x01, 3, 0};
    TQpCustomProperties items;
    TImageMetadata::ReadExifBody(loop, sizeof loop, items);
    EXPECT_LE(items.Count(), 1);
    TImageMetadata::ReadExifBody(overlong, sizeof overlong, items);
    std::vector<std::uint8_t> noise(4000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
    noise[0] = 'I', noise[1] = 'I', noise[2] = 42, noise[3] = 0;
    TImageMetadata::ReadExifBody(noise.data(), noise.size(), items);
    EXPECT_FALSE(TImageMetadata::ReadExifBody(noise.data(), 4, items));
    EXPECT_FALSE(TImageMetadata::ReadFile(Path("missing.jpg"), items));
    EXPECT_EQ(0, items.Count());
}

TEST_F(ImageMetadataTest, HelpersReadItemsWithinTheirSize)
{
    TQpCustomProperties items;
    items.SetItem(kTagMake, kTypeAscii, 3, "ABCDEF"); // no terminating zero inside the item
    EXPECT_EQ("ABC", TImageMetadata::Text(items, kTagMake));
    items.SetItem(kTagModel, kTypeAscii, 6, "AB\0CD\0");
    EXPECT_EQ("AB", TImageMetadata::Text(items, kTagModel));
    EXPECT_EQ("", TImageMetadata::Text(items, kTagDateTime));

    EXPECT_EQ(1, TImageMetadata::Orientation(items));
    const std::uint8_t nine[2] = {9, 0};
    items.SetItem(kTagOrientation, kTypeShort, 2, nine);
    EXPECT_EQ(1, TImageMetadata::Orientation(items));
    TImageMetadata::SetShortOrLong(items, kTagOrientation, 8);
    EXPECT_EQ(8, TImageMetadata::Orientation(items));
    EXPECT_EQ(2u, items.Items(items.IndexOf(kTagOrientation))->Size);

    const std::uint8_t dpi[8] = {0x2C, 0x01, 0, 0, 1, 0, 0, 0}; // 300/1
    const std::uint8_t dpcm[8] = {100, 0, 0, 0, 1, 0, 0, 0};
    const std::uint8_t cm[2] = {3, 0};
    double x = 0, y = 0;
    EXPECT_FALSE(TImageMetadata::Resolution(items, x, y));
    items.SetItem(kTagXResolution, kTypeRational, 8, dpi);
    items.SetItem(kTagYResolution, kTypeRational, 8, dpcm);
    ASSERT_TRUE(TImageMetadata::Resolution(items, x, y));
    EXPECT_EQ(300.0, x);
    EXPECT_EQ(100.0, y);
    items.SetItem(kTagResolutionUnit, kTypeShort, 2, cm);
    ASSERT_TRUE(TImageMetadata::Resolution(items, x, y));
    EXPECT_DOUBLE_EQ(254.0, y);
}

} // namespace
