// velmora-cli's geometry subcommands on JPEG files: turned and mirrored in the DCT domain, so every
// coefficient of the result is a moved coefficient of the input, and the metadata stays.

#include "imaging/QpLTBitmap.h"
#include "platform/ImageCodec.h"
#include "platform/ImageMetadata.h"
#include "platform/JpegCodec.h"

#include "CliRun.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <turbojpeg.h>

using namespace platform;

namespace {

int RunCliExit(const QStringList& arguments)
{
    return RunCli(arguments).exitCode;
}

QString Photo(const char* name)
{
    return TestPhoto(name);
}

int MaxDifference(const TQpPixels& a, const TQpPixels& b)
{
    int worst = 0;
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width * 3; ++x)
            worst = std::max(worst, std::abs(a.PixelPtr(0, y)[x] - b.PixelPtr(0, y)[x]));
    return worst;
}

class CliLosslessJpeg : public ::testing::Test
{
protected:
    std::string Out(const char* name) const { return m_dir.filePath(name).toStdString(); }

    // Every block of the clockwise-turned input must be the input's block (y, rows - 1 - x), transposed,
    // with odd horizontal frequencies negated.
    static void ExpectTurnedRight(const TJpegCodec& in, const TJpegCodec& out)
    {
        ASSERT_EQ(in.ComponentCount(), out.ComponentCount());
        for (int c = 0; c < in.ComponentCount(); ++c) {
            ASSERT_EQ(in.BlocksHigh(c), out.BlocksWide(c));
            ASSERT_EQ(in.BlocksWide(c), out.BlocksHigh(c));
            const int rows = in.BlocksHigh(c);
            for (int y = 0; y < out.BlocksHigh(c); ++y)
                for (int x = 0; x < out.BlocksWide(c); ++x) {
                    const std::int16_t* from = in.Block(c, y, rows - 1 - x);
                    const std::int16_t* to = out.Block(c, x, y);
                    for (int v = 0; v < 8; ++v)
                        for (int u = 0; u < 8; ++u)
                            ASSERT_EQ(u % 2 ? -from[u * 8 + v] : from[u * 8 + v], to[v * 8 + u])
                                << "component " << c << " block " << x << "," << y;
                }
        }
    }

    QTemporaryDir m_dir;
};

TEST_F(CliLosslessJpeg, RotateRightOfAPhotoMovesEveryCoefficient)
{
    const QString photo = Photo("nuthatch_3mp.jpg"); // 2048 x 1536, a multiple of its 16 x 8 blocks
    if (!QFileInfo::exists(photo))
        GTEST_SKIP() << "test photographs not found in " << VELMORA_TESTDATA_DIR;
    ASSERT_EQ(0, RunCliExit({"rotate-right", photo, m_dir.filePath("turned.jpg")}));
    TJpegCodec in, out;
    TQpPixelBuffer inPixels, outPixels;
    ASSERT_TRUE(in.Load(photo.toStdString(), inPixels));
    ASSERT_TRUE(out.Load(Out("turned.jpg"), outPixels));
    ASSERT_EQ(1536, out.Width());
    ASSERT_EQ(2048, out.Height());
    ExpectTurnedRight(in, out);
    // The pixels are those of the turned original up to the decoder's rounding: its integer inverse DCT
    // is not symmetric under transposition (any DCT-domain turn shows the same few levels). Neither is the
    // floating-point one quite: on this photo it still differs in about a hundred of 9.4 million samples,
    // so no decoder setting makes the turned decode equal the turned pixels.
    TQpLTBitmap turned;
    ASSERT_TRUE(turned.Assign(inPixels));
    ASSERT_TRUE(turned.RotateRight());
    EXPECT_LE(MaxDifference(*turned.GetPixels(), outPixels), 3);
}

TEST_F(CliLosslessJpeg, TurnedJpegKeepsItsMetadataAndGetsNewDimensions)
{
    // A 4:4:4 JPEG of 64 x 32 with a camera name and its pixel size in the metadata.
    TQpPixelBuffer pixels;
    pixels.SetFormatAndBounds(pfBGR24, {0, 0, 64, 32});
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = pixels.PixelPtr(x, y);
            p[0] = static_cast<std::uint8_t>(x * 4);
            p[1] = static_cast<std::uint8_t>(y * 8);
            p[2] = static_cast<std::uint8_t>((x * y) % 256);
        }
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(0, tjCompress2(handle, pixels.Data, 64, pixels.Stride, 32, TJPF_BGR, &jpeg, &size, TJSAMP_444,
                             90, 0));
    {
        QFile file(m_dir.filePath("in.jpg"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(jpeg), static_cast<qint64>(size));
    }
    tjFree(jpeg);
    tjDestroy(handle);
    TQpCustomProperties items;
    items.SetItem(kTagMake, kTypeAscii, 6, "Maker\0");
    const std::uint8_t width[4] = {64, 0, 0, 0};
    const std::uint8_t height[4] = {32, 0, 0, 0};
    items.SetItem(kTagPixelXDimension, kTypeLong, 4, width);
    items.SetItem(kTagPixelYDimension, kTypeLong, 4, height);
    ASSERT_TRUE(TImageMetadata::WriteFile(Out("in.jpg"), items));

    ASSERT_EQ(0, RunCliExit({"rotate-right", m_dir.filePath("in.jpg"), m_dir.filePath("out.jpg")}));
    TJpegCodec in, out;
    TQpPixelBuffer inPixels, outPixels;
    ASSERT_TRUE(in.Load(Out("in.jpg"), inPixels));
    ASSERT_TRUE(out.Load(Out("out.jpg"), outPixels));
    ExpectTurnedRight(in, out);
    TQpCustomProperties back;
    ASSERT_TRUE(TImageMetadata::ReadFile(Out("out.jpg"), back));
    EXPECT_EQ("Maker", TImageMetadata::Text(back, kTagMake));
    EXPECT_EQ(32, back.Items(back.IndexOf(kTagPixelXDimension))->Data()[0]);
    EXPECT_EQ(64, back.Items(back.IndexOf(kTagPixelYDimension))->Data()[0]);

    // Two more turns and a mirror in the DCT domain bring back the input's coefficients mirrored; four
    // turns bring back every coefficient as it was.
    ASSERT_EQ(0, RunCliExit({"rotate-right", m_dir.filePath("out.jpg"), m_dir.filePath("out2.jpg")}));
    ASSERT_EQ(0, RunCliExit({"rotate-right", m_dir.filePath("out2.jpg"), m_dir.filePath("out3.jpg")}));
    ASSERT_EQ(0, RunCliExit({"rotate-right", m_dir.filePath("out3.jpg"), m_dir.filePath("out4.jpg")}));
    TJpegCodec full;
    TQpPixelBuffer fullPixels;
    ASSERT_TRUE(full.Load(Out("out4.jpg"), fullPixels));
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < in.BlocksHigh(c); ++y)
            for (int x = 0; x < in.BlocksWide(c); ++x)
                ASSERT_TRUE(std::equal(in.Block(c, x, y), in.Block(c, x, y) + 64, full.Block(c, x, y)));
}

} // namespace
