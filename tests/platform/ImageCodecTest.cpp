#include "platform/ImageCodec.h"
#include "platform/JpegLibrary.h"

#include "TestImages.h"

#include <QImage>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace platform;
using namespace testimages;

namespace {

class ImageCodecTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }
    QTemporaryDir m_dir;
};

// The classic one-pixel GIF with a red first palette entry.
const std::vector<std::uint8_t> kRedGif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01,
                                           0x00, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00,
                                           0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                           0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

TEST_F(ImageCodecTest, LosslessFormatsRoundTripExactly)
{
    TQpPixelBuffer source;
    FillPattern(source, 37, 23); // an odd width exercises the row padding
    for (const auto& [mime, name, format] : {std::tuple{"image/png", "a.png", TRawFormat::Png},
                                             std::tuple{"image/bmp", "a.bmp", TRawFormat::Bmp},
                                             std::tuple{"image/tiff", "a.tif", TRawFormat::Tiff}}) {
        SCOPED_TRACE(mime);
        ASSERT_TRUE(TImageCodec::Encode(source, Path(name), mime, 0, 300, 150));
        TQpPixelBuffer back;
        TImageInfo info;
        ASSERT_TRUE(TImageCodec::Decode(Path(name), back, info));
        EXPECT_EQ(format, info.Format);
        EXPECT_EQ(pfBGR24, back.Format);
        EXPECT_TRUE(SamePixels(source, back));
        EXPECT_NEAR(300.0, info.DpiX, 0.1);
        EXPECT_NEAR(150.0, info.DpiY, 0.1);
    }
}

TEST_F(ImageCodecTest, JpegRoundTripKeepsPixelsCloseAndResolution)
{
    TQpPixelBuffer source;
    FillPattern(source, 64, 48);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("a.jpg"), "image/jpeg", 100, 72, 72));
    TQpPixelBuffer back;
    TImageInfo info;
    ASSERT_TRUE(TImageCodec::Decode(Path("a.jpg"), back, info));
    EXPECT_EQ(TRawFormat::Jpeg, info.Format);
    EXPECT_DOUBLE_EQ(72.0, info.DpiX);
    // A lower quality gives a smaller file and larger errors.
    ASSERT_TRUE(TImageCodec::Encode(source, Path("b.jpg"), "image/jpeg", 10));
    EXPECT_LT(ReadFile(Path("b.jpg")).size(), ReadFile(Path("a.jpg")).size());
    TQpPixelBuffer low;
    ASSERT_TRUE(TImageCodec::Decode(Path("b.jpg"), low, info));
    EXPECT_LT(MeanDifference(source, back), 10.0);
    EXPECT_LT(MeanDifference(source, back), MeanDifference(source, low));
    EXPECT_FALSE(TImageCodec::Encode(source, Path("c.xyz"), "image/xyz", 80));
}

TEST_F(ImageCodecTest, ResolutionIs96WhenTheFileGivesNone)
{
    TQpPixelBuffer source;
    FillPattern(source, 16, 16);
    std::vector<std::uint8_t> jpeg = EncodeJpeg(source, TJSAMP_444); // JFIF with aspect ratio only
    WriteFile(Path("a.jpg"), jpeg);
    TQpPixelBuffer back;
    TImageInfo info;
    ASSERT_TRUE(TImageCodec::Decode(Path("a.jpg"), back, info));
    EXPECT_EQ(96.0, info.DpiX);
    EXPECT_EQ(96.0, info.DpiY);
}

TEST_F(ImageCodecTest, GreyAlphaAndPaletteImagesBecomeBgr)
{
    QImage grey(3, 1, QImage::Format_Grayscale8);
    grey.setPixel(0, 0, qRgb(10, 10, 10));
    grey.setPixel(1, 0, qRgb(128, 128, 128));
    grey.setPixel(2, 0, qRgb(250, 250, 250));
    ASSERT_TRUE(grey.save(m_dir.filePath("g.png")));
    TQpPixelBuffer back;
    TImageInfo info;
    ASSERT_TRUE(TImageCodec::Decode(Path("g.png"), back, info));
    EXPECT_EQ(128, back.PixelPtr(1, 0)[0]);
    EXPECT_EQ(128, back.PixelPtr(1, 0)[2]);

    // A fully transparent pixel keeps the colour stored under it.
    QImage alpha(2, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(200, 100, 50, 0));
    alpha.setPixel(1, 0, qRgba(1, 2, 3, 255));
    ASSERT_TRUE(alpha.save(m_dir.filePath("a.png")));
    ASSERT_TRUE(TImageCodec::Decode(Path("a.png"), back, info));
    EXPECT_EQ(50, back.PixelPtr(0, 0)[0]);
    EXPECT_EQ(100, back.PixelPtr(0, 0)[1]);
    EXPECT_EQ(200, back.PixelPtr(0, 0)[2]);
    EXPECT_EQ(3, back.PixelPtr(1, 0)[0]);

    WriteFile(Path("r.gif"), kRedGif);
    ASSERT_TRUE(TImageCodec::Decode(Path("r.gif"), back, info));
    EXPECT_EQ(TRawFormat::Gif, info.Format);
    EXPECT_EQ(1, back.Width);
    EXPECT_EQ(0, back.PixelPtr(0, 0)[0]);
    EXPECT_EQ(255, back.PixelPtr(0, 0)[2]);
}

TEST_F(ImageCodecTest, BrokenFilesAreRefusedButACutJpegDecodesMarkedDamaged)
{
    TQpPixelBuffer source;
    FillPattern(source, 64, 64);
    std::vector<std::uint8_t> jpeg = EncodeJpeg(source, TJSAMP_420);
    TQpPixelBuffer whole, back;
    TImageInfo info;
    ASSERT_TRUE(TImageCodec::DecodeMemory(jpeg.data(), jpeg.size(), whole, info));
    EXPECT_FALSE(info.Damaged);
    std::vector<std::uint8_t> truncated(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
    ASSERT_TRUE(TImageCodec::DecodeMemory(truncated.data(), truncated.size(), back, info));
    EXPECT_TRUE(info.Damaged);
    ASSERT_EQ(64, back.Width);
    // The rows before the cut decode as in the whole file, and below the block row the data ended in all
    // is grey; the smooth chroma upsampling reaches one row across either border.
    int rows = 0;
    bool laterPasses = true;
    ASSERT_TRUE(platform::JpegCutExtent(truncated.data(), truncated.size(), rows, laterPasses));
    EXPECT_FALSE(laterPasses);
    ASSERT_GT(rows, 0);
    ASSERT_LT(rows, 64);
    for (int y = 0; y + 1 < rows; ++y)
        EXPECT_EQ(0, std::memcmp(whole.PixelPtr(0, y), back.PixelPtr(0, y), 64 * 3)) << y;
    for (int y = rows + 17; y < 64; ++y)
        for (int x = 0; x < 64 * 3; ++x)
            ASSERT_NEAR(back.PixelPtr(0, y)[x], 128, 1) << x << "," << y;
    EXPECT_FALSE(platform::JpegCutExtent(jpeg.data(), jpeg.size(), rows, laterPasses));
    std::vector<std::uint8_t> header(jpeg.begin(), jpeg.begin() + 20);
    EXPECT_FALSE(TImageCodec::DecodeMemory(header.data(), header.size(), back, info));
    EXPECT_EQ(nullptr, back.Data);

    ASSERT_TRUE(TImageCodec::Encode(source, Path("a.png"), "image/png", 0));
    std::vector<std::uint8_t> png = ReadFile(Path("a.png"));
    png.resize(png.size() - 40);
    EXPECT_FALSE(TImageCodec::DecodeMemory(png.data(), png.size(), back, info));

    // A BMP whose pixel-data offset points into its header or past its end, or whose rows are cut.
    ASSERT_TRUE(TImageCodec::Encode(source, Path("a.bmp"), "image/bmp", 0));
    const std::vector<std::uint8_t> bmp = ReadFile(Path("a.bmp"));
    ASSERT_TRUE(TImageCodec::DecodeMemory(bmp.data(), bmp.size(), back, info));
    for (std::uint32_t offset : {0u, 20u, static_cast<std::uint32_t>(bmp.size()), 0x7FFFFFF0u}) {
        std::vector<std::uint8_t> bogus = bmp;
        std::memcpy(bogus.data() + 10, &offset, 4);
        EXPECT_FALSE(TImageCodec::DecodeMemory(bogus.data(), bogus.size(), back, info)) << offset;
    }
    std::vector<std::uint8_t> cut(bmp.begin(), bmp.end() - 64 * 3);
    EXPECT_FALSE(TImageCodec::DecodeMemory(cut.data(), cut.size(), back, info));

    std::vector<std::uint8_t> garbage(1000, 0x5A);
    EXPECT_FALSE(TImageCodec::DecodeMemory(garbage.data(), garbage.size(), back, info));
    EXPECT_FALSE(TImageCodec::Decode(Path("missing.png"), back, info));
}

// Patches the frame header of a JPEG to declare another size.
void SetJpegFrameSize(std::vector<std::uint8_t>& jpeg, int width, int height)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(height);
            jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(width);
            return;
        }
}

TEST_F(ImageCodecTest, DecompressionBombsAreRefusedBeforeAllocating)
{
    TQpPixelBuffer source;
    FillPattern(source, 16, 16);
    std::vector<std::uint8_t> jpeg = EncodeJpeg(source, TJSAMP_444);
    SetJpegFrameSize(jpeg, 40000, 16);
    TQpPixelBuffer back;
    TImageInfo info;
    EXPECT_FALSE(TImageCodec::DecodeMemory(jpeg.data(), jpeg.size(), back, info));

    // A PNG header declaring 60000 x 60000 pixels over a few bytes of data.
    ASSERT_TRUE(TImageCodec::Encode(source, Path("a.png"), "image/png", 0));
    std::vector<std::uint8_t> png = ReadFile(Path("a.png"));
    png[16] = 0, png[17] = 0, png[18] = 0xEA, png[19] = 0x60;
    png[20] = 0, png[21] = 0, png[22] = 0xEA, png[23] = 0x60;
    const uLong crc = crc32(0, png.data() + 12, 17);
    png[29] = static_cast<std::uint8_t>(crc >> 24), png[30] = static_cast<std::uint8_t>(crc >> 16);
    png[31] = static_cast<std::uint8_t>(crc >> 8), png[32] = static_cast<std::uint8_t>(crc);
    EXPECT_FALSE(TImageCodec::DecodeMemory(png.data(), png.size(), back, info));

    // Below the side limit, the configurable pixel count decides.
    const std::size_t saved = TImageCodec::MaxPixelCount();
    TImageCodec::SetMaxPixelCount(255);
    std::vector<std::uint8_t> ok = EncodeJpeg(source, TJSAMP_444);
    EXPECT_FALSE(TImageCodec::DecodeMemory(ok.data(), ok.size(), back, info));
    TImageCodec::SetMaxPixelCount(256);
    EXPECT_TRUE(TImageCodec::DecodeMemory(ok.data(), ok.size(), back, info));
    TImageCodec::SetMaxPixelCount(saved);
}

TEST_F(ImageCodecTest, InfoReadsOnlyTheHeader)
{
    TQpPixelBuffer source;
    FillPattern(source, 40, 30);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("a.jpg"), "image/jpeg", 80, 200, 200));
    ASSERT_TRUE(TImageCodec::Encode(source, Path("a.tif"), "image/tiff", 0));
    TImageInfo info;
    ASSERT_TRUE(TImageCodec::ReadInfo(Path("a.jpg"), info));
    EXPECT_EQ(40, info.Width);
    EXPECT_EQ(30, info.Height);
    EXPECT_EQ(TRawFormat::Jpeg, info.Format);
    EXPECT_EQ(200.0, info.DpiX);
    ASSERT_TRUE(TImageCodec::ReadInfo(Path("a.tif"), info));
    EXPECT_EQ(TRawFormat::Tiff, info.Format);
    EXPECT_EQ(40, info.Width);

    const QImage thumbnail = TImageCodec::Thumbnail(Path("a.jpg"), 20, 20);
    EXPECT_EQ(20, thumbnail.width());
    EXPECT_EQ(15, thumbnail.height());
}

} // namespace
