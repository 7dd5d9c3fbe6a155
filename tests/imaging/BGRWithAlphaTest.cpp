#include "imaging/BGRWithAlpha.h"
#include "imaging/ThumbnailFiles.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

class BGRWithAlphaTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "object-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void WriteBytes(const std::string& file, const void* data, std::size_t size) const
    {
        std::ofstream out(m_dir / file, std::ios::binary);
        out.write(static_cast<const char*>(data), std::streamsize(size));
    }
    void WriteAlp(const std::string& name, const std::string& text) const
    {
        const auto packed = CompressBytes(text);
        ASSERT_TRUE(packed);
        WriteBytes(name + ".alp", packed->data(), packed->size());
    }
    // A solid JPEG; solid areas survive the compression within a step or two.
    void WriteJpeg(const std::string& name, int w, int h, QColor color) const
    {
        QImage image(w, h, QImage::Format_RGB888);
        image.fill(color);
        ASSERT_TRUE(image.save(QString::fromStdString((m_dir / (name + ".jpg")).string()), "JPG", 100));
    }
    static void ExpectEmpty(const TBGRWithAlpha& object)
    {
        EXPECT_EQ(object.Width(), 512);
        EXPECT_EQ(object.Height(), 512);
        EXPECT_EQ(object.Pixel(100, 100).first, 0);
        EXPECT_EQ(object.Pixel(511, 511).first, 0);
    }
    static void ExpectNear(std::uint32_t colorValue, int r, int g, int b)
    {
        EXPECT_NEAR(int(colorValue & 0xFF), r, 2);
        EXPECT_NEAR(int(colorValue >> 8 & 0xFF), g, 2);
        EXPECT_NEAR(int(colorValue >> 16 & 0xFF), b, 2);
    }

    fs::path m_dir;
};

// A 2 x 2 opaque matte: margins 1, so the object is 4 x 4 with the picture at (1, 1).
const char* const kSquareAlpha = "2\r\n1\r\n1\r\n2\r\n2\r\n255 255 \r\n255 128 \r\n";

} // namespace

TEST_F(BGRWithAlphaTest, CutoutPlacesThePictureInsideItsMargins)
{
    WriteAlp("000001", kSquareAlpha);
    WriteJpeg("000001", 2, 2, QColor(200, 40, 10));
    TBGRWithAlpha object;
    object.Load(m_dir, "000001", 1);
    EXPECT_TRUE(object.Changed());
    ASSERT_EQ(object.GetBounds(), (TQpRect{0, 0, 4, 4}));
    EXPECT_EQ(object.Pixel(1, 1).first, 255);
    EXPECT_EQ(object.Pixel(2, 2).first, 128);
    EXPECT_EQ(object.Pixel(0, 0), (std::pair<int, std::uint32_t>{0, 0}));
    ExpectNear(object.Pixel(2, 1).second, 200, 40, 10);
    ExpectNear(object.Pixel(1, 2).second, 200, 40, 10);
    EXPECT_EQ(object.Pixel(3, 3).second, 0u);
}

TEST_F(BGRWithAlphaTest, LargerPictureThanItsMatteIsCopiedOnlyWhereTheyOverlap)
{
    WriteAlp("000001", kSquareAlpha);
    WriteJpeg("000001", 40, 30, QColor(10, 200, 90));
    TBGRWithAlpha object;
    ASSERT_TRUE(object.LoadCutout(m_dir, "000001"));
    ASSERT_EQ(object.Width(), 4);
    ExpectNear(object.Pixel(3, 3).second, 10, 200, 90);
    EXPECT_EQ(object.Pixel(0, 3).second, 0u);
}

TEST_F(BGRWithAlphaTest, MissingOrBrokenPictureLeavesBlackColours)
{
    WriteAlp("000001", kSquareAlpha);
    WriteBytes("000001.jpg", "\xFF\xD8garbage", 9);
    TBGRWithAlpha object;
    ASSERT_TRUE(object.LoadCutout(m_dir, "000001"));
    EXPECT_EQ(object.Pixel(1, 1), (std::pair<int, std::uint32_t>{255, 0}));
    fs::remove(m_dir / "000001.jpg");
    ASSERT_TRUE(object.LoadCutout(m_dir, "000001"));
    EXPECT_EQ(object.Width(), 4);
}

TEST_F(BGRWithAlphaTest, DamagedAlphaFilesGiveTheEmptyObject)
{
    WriteJpeg("000001", 2, 2, QColor(1, 2, 3));
    TBGRWithAlpha object;
    // Missing.
    EXPECT_FALSE(object.LoadCutout(m_dir, "000001"));
    ExpectEmpty(object);
    // Not a zlib stream.
    WriteBytes("000001.alp", kSquareAlpha, 20);
    EXPECT_FALSE(object.LoadCutout(m_dir, "000001"));
    ExpectEmpty(object);
    // A cut-off zlib stream.
    const auto packed = CompressBytes(kSquareAlpha);
    WriteBytes("000001.alp", packed->data(), packed->size() - 4);
    EXPECT_FALSE(object.LoadCutout(m_dir, "000001"));
    ExpectEmpty(object);
    // A declared size its data does not fill.
    WriteAlp("000001", "2\r\n0\r\n0\r\n3\r\n3\r\n255 255 \r\n");
    EXPECT_FALSE(object.LoadCutout(m_dir, "000001"));
    ExpectEmpty(object);
    // A size that would need gigabytes, with no data behind it.
    WriteAlp("000001", "2\r\n0\r\n0\r\n32000\r\n32000\r\n");
    EXPECT_FALSE(object.LoadCutout(m_dir, "000001"));
    ExpectEmpty(object);
    WriteAlp("000001", "5\r\n32767\r\n32767\r\n");
    EXPECT_FALSE(object.LoadCutout(m_dir, "000001"));
    ExpectEmpty(object);
}

TEST_F(BGRWithAlphaTest, LoadByKindAndEmptyName)
{
    TBGRWithAlpha object;
    ASSERT_TRUE(object.SetSize(3, 2));
    object.SetPixel(1, 1, 0x0000FF, 200);
    object.SetChanged(false);
    object.Load(m_dir, "", 1);
    EXPECT_TRUE(object.Changed());
    EXPECT_EQ(object.Width(), 3);
    EXPECT_EQ(object.Pixel(1, 1), (std::pair<int, std::uint32_t>{0, 0x0000FFu}));
    object.Load(m_dir, "000001", 0);
    ExpectEmpty(object);
    EXPECT_FALSE(object.IsEmpty());
}

TEST_F(BGRWithAlphaTest, PngRoundTripKeepsColoursAndAlphaExactly)
{
    TBGRWithAlpha object;
    ASSERT_TRUE(object.SetSize(3, 2));
    object.SetPixel(0, 0, 0x332211, 0);
    object.SetPixel(2, 1, 0x0A0B0C, 77);
    object.SetPixel(1, 0, 0xFFFFFF, 255);
    ASSERT_TRUE(object.SaveToPng(m_dir / "000002.png"));

    TBGRWithAlpha read;
    read.Load(m_dir, "000002", 2);
    ASSERT_EQ(read.GetBounds(), (TQpRect{0, 0, 3, 2}));
    EXPECT_EQ(read.Pixel(0, 0), (std::pair<int, std::uint32_t>{0, 0x332211u}));
    EXPECT_EQ(read.Pixel(2, 1), (std::pair<int, std::uint32_t>{77, 0x0A0B0Cu}));
    EXPECT_EQ(read.Pixel(1, 0), (std::pair<int, std::uint32_t>{255, 0xFFFFFFu}));
    EXPECT_EQ(read.Pixel(1, 1), (std::pair<int, std::uint32_t>{0, 0u}));
}

TEST_F(BGRWithAlphaTest, PngWithoutAlphaIsOpaque)
{
    QImage image(2, 1, QImage::Format_RGB888);
    image.setPixel(0, 0, qRgb(10, 20, 30));
    image.setPixel(1, 0, qRgb(40, 50, 60));
    ASSERT_TRUE(image.save(QString::fromStdString((m_dir / "000003.png").string()), "PNG"));
    TBGRWithAlpha object;
    ASSERT_TRUE(object.LoadPicture(m_dir, "000003"));
    EXPECT_EQ(object.Pixel(0, 0), (std::pair<int, std::uint32_t>{255, 0x1E140Au}));
    EXPECT_EQ(object.Pixel(1, 0), (std::pair<int, std::uint32_t>{255, 0x3C3228u}));
}

TEST_F(BGRWithAlphaTest, PngsThatLibpngRejectsGiveTheEmptyObject)
{
    TBGRWithAlpha object;
    ASSERT_TRUE(object.SetSize(40, 30));
    ASSERT_TRUE(object.SaveToPng(m_dir / "good.png"));
    const auto good = ReadWholeFile(m_dir / "good.png").value();

    // Cut in the middle of the image data.
    WriteBytes("000001.png", good.data(), good.size() / 2);
    // A damaged chunk checksum.
    std::vector<std::uint8_t> flipped = good;
    flipped[good.size() - 20] ^= 0x55;
    WriteBytes("000002.png", flipped.data(), flipped.size());
    // A header claiming 100000 x 100000 (its CRC patched would still be too large; here it is also wrong).
    std::vector<std::uint8_t> huge = good;
    huge[16] = 0x00, huge[17] = 0x01, huge[18] = 0x86, huge[19] = 0xA0;
    huge[20] = 0x00, huge[21] = 0x01, huge[22] = 0x86, huge[23] = 0xA0;
    WriteBytes("000003.png", huge.data(), huge.size());
    WriteBytes("000004.png", "not a png", 9);

    for (const char* name : {"000001", "000002", "000003", "000004", "000005"}) {
        EXPECT_FALSE(object.LoadPicture(m_dir, name)) << name;
        ExpectEmpty(object);
    }
}

TEST_F(BGRWithAlphaTest, NearestSampleNeedsHalfAlphaAndRoundsHalvesToEven)
{
    TBGRWithAlpha object;
    ASSERT_TRUE(object.SetSize(3, 1));
    object.SetPixel(0, 0, 0x000011, 127);
    object.SetPixel(1, 0, 0x000022, 128);
    object.SetPixel(2, 0, 0x000033, 255);
    const std::uint32_t back = 0xABCDEF;
    EXPECT_EQ(object.Sample(0, 0, 0, back), back);
    EXPECT_EQ(object.Sample(1, 0, 0, back), 0x22u);
    // 0.5 rounds to 0 (alpha 127), 1.5 rounds to 2.
    EXPECT_EQ(object.Sample(0.5, 0, 0, back), back);
    EXPECT_EQ(object.Sample(1.5, 0, 0, back), 0x33u);
    EXPECT_EQ(object.Sample(3, 0, 0, back), back);
    EXPECT_EQ(object.Sample(-1e300, 1e300, 3, back), back);
    // A horizontal flip reads x from the other side: 0 becomes 2.
    object.SetFlipX(true);
    EXPECT_EQ(object.Sample(0, 0, 0, back), 0x33u);
    object.SetFlipY(true);
    EXPECT_EQ(object.Sample(2, 0, 0, back), back);
}

TEST_F(BGRWithAlphaTest, FilteredSampleBlendsByAverageAlpha)
{
    // Two opaque pixels, red 100 and red 200, then a transparent one. Triangle at x = 0.5: weights 0.5
    // and 0.5 (the third at distance 1.5 weighs 0): colour 150, alpha 1, the background plays no part.
    TBGRWithAlpha object;
    ASSERT_TRUE(object.SetSize(3, 1));
    object.SetPixel(0, 0, 100, 255);
    object.SetPixel(1, 0, 200, 255);
    object.SetPixel(2, 0, 0, 0);
    EXPECT_EQ(object.Sample(0.5, 0, 1, 0x0000FF), 150u);
    // At x = 1.5 between red 200 (alpha 1) and red 0 (alpha 0): colour 100, alpha 0.5,
    // result 0.5 * 100 + 0.5 * 10 = 55 in red, 0.5 * 20 = 10 in green.
    EXPECT_EQ(object.Sample(1.5, 0, 1, 0x00140A), 0x000A37u);
    // Hermite at an exact pixel weighs that pixel only.
    EXPECT_EQ(object.Sample(1, 0, 2, 0), 200u);
    // Every filter reproduces a uniform opaque object.
    TBGRWithAlpha uniform;
    ASSERT_TRUE(uniform.SetSize(9, 9));
    for (int x = 0; x < 9; ++x) {
        for (int y = 0; y < 9; ++y) {
            uniform.SetPixel(x, y, 0x405060, 255);
        }
    }
    for (int q = 1; q <= 6; ++q) {
        EXPECT_EQ(uniform.Sample(4.3, 3.8, q, 0xFFFFFF), 0x405060u) << q;
    }
}

TEST_F(BGRWithAlphaTest, StoredCutoutReadsBackAsItsSmoothedMatteWithinTheMargins)
{
    // A 6 x 4 object whose left half is opaque, smoothed once as a stored object is.
    TAlphaChanal matte;
    ASSERT_TRUE(matte.SetSize(6, 4));
    for (int x = 0; x < 3; ++x) {
        for (int y = 0; y < 4; ++y) {
            matte.SetValue(x, y, 255);
        }
    }
    matte.Smooth();
    ASSERT_TRUE(matte.SaveCompressed((m_dir / "000001.alp").string()));
    // Centre (2.5, 1.5); the farthest non-zero pixels are column 3 at 0.5 and (0, 0) at 2.92: margins
    // -floor(2.5 - 2.92) = 1 and -floor(1.5 - 2.92) = 2.
    EXPECT_EQ(matte.MarginX(), 1);
    EXPECT_EQ(matte.MarginY(), 2);
    const auto packed = ReadWholeFile(m_dir / "000001.alp").value();
    const std::string text = DecompressBytes(packed).value();
    EXPECT_EQ(text.substr(0, 15), "2\r\n1\r\n2\r\n6\r\n4\r\n");
    WriteJpeg("000001", 6, 4, QColor(0, 0, 255));

    TBGRWithAlpha object;
    object.Load(m_dir, "000001", 1);
    ASSERT_EQ(object.GetBounds(), (TQpRect{0, 0, 8, 8}));
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            const bool inside = x >= 1 && x < 7 && y >= 2 && y < 6;
            ASSERT_EQ(object.Pixel(x, y).first, inside ? matte.Value(x - 1, y - 2) : 0) << x << "," << y;
        }
    }
    // Matte (1, 1) keeps 255, (2, 1) beside the transparent half gets 4 x 255 / 5, (3, 1) 255 / 5.
    EXPECT_EQ(object.Pixel(2, 3).first, 255);
    EXPECT_EQ(object.Pixel(3, 3).first, 204);
    EXPECT_EQ(object.Pixel(4, 3).first, 51);
    ExpectNear(object.Pixel(6, 5).second, 0, 0, 255);
}

TEST_F(BGRWithAlphaTest, MutatedItemFilesNeverOverrunAndLoadEitherWhollyOrAsEmpty)
{
    TBGRWithAlpha source;
    ASSERT_TRUE(source.SetSize(5, 4));
    for (int x = 0; x < 5; ++x) {
        source.SetPixel(x, x % 4, 0x112233u * std::uint32_t(x + 1), std::uint8_t(60 * x));
    }
    ASSERT_TRUE(source.SaveToPng(m_dir / "good.png"));
    const auto png = ReadWholeFile(m_dir / "good.png").value();
    const std::string text = source.Alpha().SaveToText();
    WriteJpeg("000001", 3, 3, QColor(9, 9, 9));

    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::string mutatedText = text;
        std::vector<std::uint8_t> mutatedPng = png;
        const int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; ++i) {
            mutatedText[random() % mutatedText.size()] = "0123456789 -\r\n9x"[random() % 16];
            // Past the signature, so that libpng reads the chunks.
            mutatedPng[8 + random() % (mutatedPng.size() - 8)] = std::uint8_t(random());
        }
        WriteAlp("000001", mutatedText);
        WriteBytes("000001.png", mutatedPng.data(), mutatedPng.size());
        TBGRWithAlpha object;
        for (const int kind : {1, 2}) {
            object.Load(m_dir, "000001", kind);
            ASSERT_GE(object.Width(), 1);
            ASSERT_EQ(object.Alpha().Width(), object.Width());
            ASSERT_EQ(object.Alpha().Height(), object.Height());
            // Every pixel of a loaded item is readable (the empty object is checked elsewhere); the sum
            // only keeps the reads from being optimised away.
            std::uint64_t sum = 0;
            for (int x = 0; x < object.Width() && object.Width() < 512; ++x) {
                for (int y = 0; y < object.Height(); ++y) {
                    sum += std::uint64_t(object.Pixel(x, y).first) + object.Pixel(x, y).second;
                }
            }
            EXPECT_GE(sum, 0u);
            object.Sample(2.3, 1.7, 6, 0);
        }
    }
}
