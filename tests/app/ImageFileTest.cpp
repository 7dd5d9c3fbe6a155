// The image and mask file helpers shared by the subcommands, and their argument parsing.

#include "app/cli/ImageFile.h"
#include "app/cli/Arguments.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

namespace {

std::string PathIn(const QTemporaryDir& dir, const char* name)
{
    return dir.filePath(name).toStdString();
}

std::vector<int> At(const TQpPixels& pixels, int x, int y)
{
    const std::uint8_t* p = pixels.PixelPtr(x, y);
    return {p[0], p[1], p[2]};
}

} // namespace

TEST(ImageFile, AlphaIsDroppedKeepingTheStoredColour)
{
    QTemporaryDir dir;
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(200, 100, 50, 0));
    image.setPixel(1, 0, qRgba(10, 20, 30, 128));
    ASSERT_TRUE(image.save(dir.filePath("alpha.png")));
    TQpPixelBuffer pixels;
    std::string error;
    ASSERT_TRUE(cli::LoadImageFile(PathIn(dir, "alpha.png"), pixels, error)) << error;
    EXPECT_EQ(pixels.Format, pfBGR24);
    EXPECT_EQ(pixels.GetBounds(), (TQpRect{0, 0, 2, 1}));
    EXPECT_EQ(At(pixels, 0, 0), (std::vector<int>{50, 100, 200}));
    EXPECT_EQ(At(pixels, 1, 0), (std::vector<int>{30, 20, 10}));
}

TEST(ImageFile, GreyPaletteAndSixteenBitImagesBecomeBlueGreenRed)
{
    QTemporaryDir dir;
    QImage grey(1, 1, QImage::Format_Grayscale8);
    grey.setPixel(0, 0, qRgb(77, 77, 77));
    ASSERT_TRUE(grey.save(dir.filePath("grey.png")));
    QImage deep(1, 1, QImage::Format_RGBX64);
    deep.setPixelColor(0, 0, QColor(QRgba64::fromRgba64(0xFFFF, 0x8080, 0x0000, 0xFFFF)));
    ASSERT_TRUE(deep.save(dir.filePath("deep.png")));
    QImage palette(1, 1, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(1, 2, 3), qRgb(9, 8, 7)});
    palette.setPixel(0, 0, 1);
    ASSERT_TRUE(palette.save(dir.filePath("palette.bmp")));

    TQpPixelBuffer pixels;
    std::string error;
    ASSERT_TRUE(cli::LoadImageFile(PathIn(dir, "grey.png"), pixels, error)) << error;
    EXPECT_EQ(At(pixels, 0, 0), (std::vector<int>{77, 77, 77}));
    ASSERT_TRUE(cli::LoadImageFile(PathIn(dir, "deep.png"), pixels, error)) << error;
    EXPECT_EQ(At(pixels, 0, 0), (std::vector<int>{0, 128, 255}));
    ASSERT_TRUE(cli::LoadImageFile(PathIn(dir, "palette.bmp"), pixels, error)) << error;
    EXPECT_EQ(At(pixels, 0, 0), (std::vector<int>{7, 8, 9}));
}

TEST(ImageFile, SavedFilesReadBackExactlyInLosslessFormats)
{
    QTemporaryDir dir;
    TQpPixelBuffer pixels;
    ASSERT_TRUE(pixels.SetFormatAndBounds(pfBGR24, {0, 0, 5, 3}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c)
                pixels.PixelPtr(x, y)[c] = std::uint8_t(x * 40 + y * 7 + c);
    std::vector<const char*> names = {"a.png", "a.bmp"};
    if (QImageWriter::supportedImageFormats().contains("tiff"))
        names.push_back("a.tif");
    for (const char* name : names) {
        std::string error;
        ASSERT_TRUE(cli::SaveImageFile(PathIn(dir, name), pixels, error)) << name << ": " << error;
        TQpPixelBuffer back;
        ASSERT_TRUE(cli::LoadImageFile(PathIn(dir, name), back, error)) << name << ": " << error;
        ASSERT_EQ(back.GetBounds(), pixels.GetBounds()) << name;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(At(back, x, y), At(pixels, x, y)) << name;
    }
}

TEST(ImageFile, RefusesOversizedUnknownAndMissingFiles)
{
    QTemporaryDir dir;
    QImage wide(kMaxImageSide + 1, 1, QImage::Format_RGB32);
    wide.fill(Qt::white);
    ASSERT_TRUE(wide.save(dir.filePath("wide.png")));
    TQpPixelBuffer pixels;
    std::string error;
    EXPECT_FALSE(cli::LoadImageFile(PathIn(dir, "wide.png"), pixels, error));
    EXPECT_NE(error.find("larger than 32767"), std::string::npos) << error;
    EXPECT_EQ(pixels.Data, nullptr);

    EXPECT_FALSE(cli::LoadImageFile(PathIn(dir, "none.png"), pixels, error));
    EXPECT_NE(error.find("the file does not exist"), std::string::npos) << error;

    ASSERT_TRUE(pixels.SetFormatAndBounds(pfBGR24, {0, 0, 2, 2}));
    EXPECT_FALSE(cli::SaveImageFile(PathIn(dir, "out.gif"), pixels, error));
    EXPECT_FALSE(cli::SaveImageFile(PathIn(dir, "out"), pixels, error));
    TQpPixelBuffer alpha;
    ASSERT_TRUE(alpha.SetFormatAndBounds(pfBGRA32, {0, 0, 2, 2}));
    EXPECT_FALSE(cli::SaveImageFile(PathIn(dir, "out.png"), alpha, error));
}

TEST(ImageFile, MasksRoundTripAsGreyImages)
{
    QTemporaryDir dir;
    TQpPixelMask mask;
    ASSERT_TRUE(mask.SetBounds(0, 0, 3, 2));
    const std::uint8_t values[6] = {0, 1, 128, 254, 255, 17};
    std::copy(values, values + 6, mask.Values);
    std::string error;
    ASSERT_TRUE(cli::SaveMaskFile(PathIn(dir, "mask.png"), mask, error)) << error;
    EXPECT_FALSE(cli::SaveMaskFile(PathIn(dir, "mask.jpg"), mask, error));
    TQpPixelMask back;
    ASSERT_TRUE(cli::LoadMaskFile(PathIn(dir, "mask.png"), back, error)) << error;
    ASSERT_EQ(back.GetBounds(), (TQpRect{0, 0, 3, 2}));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(back.Values[i], values[i]);
}

TEST(Arguments, SplitsPositionalsValuesAndFlags)
{
    const cli::TArguments arguments({"in.png", "--width", "10", "out.png", "--draft"}, {"width"}, {"draft"});
    ASSERT_TRUE(arguments.Ok()) << arguments.Error();
    EXPECT_EQ(arguments.Positional(), (std::vector<std::string>{"in.png", "out.png"}));
    EXPECT_TRUE(arguments.Has("draft"));
    EXPECT_EQ(arguments.Value("width"), "10");
    int width = 0;
    std::string error;
    EXPECT_TRUE(arguments.Int("width", 1, 100, width, error));
    EXPECT_EQ(width, 10);
    int height = 5;
    EXPECT_TRUE(arguments.Int("height", 1, 100, height, error, false));
    EXPECT_EQ(height, 5);
    EXPECT_FALSE(arguments.Int("height", 1, 100, height, error));
    EXPECT_EQ(error, "missing --height");

    EXPECT_FALSE(cli::TArguments({"--width"}, {"width"}).Ok());
    EXPECT_FALSE(cli::TArguments({"--width", "1", "--width", "2"}, {"width"}).Ok());
    EXPECT_EQ(cli::TArguments({"--colour", "red"}, {"width"}).Error(), "unknown option --colour");
}

TEST(Arguments, IntegersAreWholeAndInRange)
{
    int value = 0;
    EXPECT_TRUE(cli::ParseInt("-12", -20, 20, value));
    EXPECT_EQ(value, -12);
    EXPECT_FALSE(cli::ParseInt("12x", 0, 100, value));
    EXPECT_FALSE(cli::ParseInt("", 0, 100, value));
    EXPECT_FALSE(cli::ParseInt(" 5", 0, 100, value));
    EXPECT_FALSE(cli::ParseInt("101", 0, 100, value));
    EXPECT_FALSE(cli::ParseInt("99999999999999999999", 0, 100, value));
    std::vector<int> list;
    EXPECT_TRUE(cli::ParseIntList("10,-20,300,400", 4, list));
    EXPECT_EQ(list, (std::vector<int>{10, -20, 300, 400}));
    EXPECT_FALSE(cli::ParseIntList("1,2,3", 4, list));
    EXPECT_FALSE(cli::ParseIntList("1,,3,4", 4, list));
    EXPECT_FALSE(cli::ParseIntList("1,2,3,4,", 4, list));
}
