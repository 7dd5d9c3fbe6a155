#include "model/QpGraphicsImage.h"
#include "platform/AtomicFile.h"
#include "support/FullDisk.h"

#include "bridge/TransferBlock.h"
#include "platform/ImageCodec.h"
#include "platform/ImageMetadata.h"
#include "platform/JpegCodec.h"
#include "platform/TestImages.h"

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using namespace testimages;

namespace {

class GraphicsImageTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }

    // A pattern JPEG whose metadata holds a camera, a date and the given orientation.
    void WritePhoto(const char* name, int width, int height, int orientation, int subsampling = TJSAMP_420)
    {
        TQpPixelBuffer pixels;
        FillPattern(pixels, width, height);
        WriteFile(Path(name), EncodeJpeg(pixels, subsampling));
        TQpCustomProperties items;
        items.SetItem(kTagMake, kTypeAscii, 6, "Maker\0");
        items.SetItem(kTagDateTime, kTypeAscii, 20, "2024:05:06 07:08:09\0");
        TImageMetadata::SetShortOrLong(items, kTagOrientation, static_cast<std::uint32_t>(orientation));
        const std::uint8_t size[4] = {static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8),
                                      0, 0};
        items.SetItem(kTagPixelXDimension, kTypeLong, 4, size);
        ASSERT_TRUE(TImageMetadata::WriteFile(Path(name), items));
    }

    static TQpPixelBuffer Decoded(const std::string& path)
    {
        TQpPixelBuffer pixels;
        TImageInfo info;
        EXPECT_TRUE(TImageCodec::Decode(path, pixels, info));
        return pixels;
    }

    QTemporaryDir m_dir;
    TQpGraphicsImage m_image;
};

TEST_F(GraphicsImageTest, AllFourFormatsRoundTrip)
{
    TQpPixelBuffer source;
    FillPattern(source, 48, 32);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 99;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    EXPECT_EQ(kPngFormat, format);
    EXPECT_EQ(nullptr, m_image.JpegCodec());
    for (const auto& [name, id] : {std::pair{"a.png", kPngFormat}, std::pair{"a.bmp", kBmpFormat},
                                   std::pair{"a.tif", kTiffFormat}, std::pair{"a.jpg", kJpegFormat}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(m_image.SaveImageFile(Path(name), id, 95));
        TQpGraphicsImage back;
        ASSERT_TRUE(back.LoadImageFile(Path(name), format));
        EXPECT_EQ(id, format);
        if (id == kJpegFormat) {
            EXPECT_NE(nullptr, back.JpegCodec());
            EXPECT_LT(MeanDifference(source, *back.CurrentPixels()), 10.0);
        } else {
            EXPECT_TRUE(SamePixels(source, *back.CurrentPixels()));
        }
        EXPECT_TRUE(SamePixels(*back.CurrentPixels(), *back.OriginalPixels()));
        EXPECT_TRUE(SamePixels(*back.CurrentPixels(), back.UndoBase()));
    }
}

TEST_F(GraphicsImageTest, CropRectangleFollowsQuarterTurnsAndFlips)
{
    TQpPixelBuffer source;
    FillPattern(source, 400, 300);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    m_image.SetCropRect({10, 20, 110, 70});
    ASSERT_TRUE(m_image.RotateLeft());
    EXPECT_EQ((TQpRect{20, 290, 70, 390}), m_image.CropRect());
    ASSERT_TRUE(m_image.RotateRight());
    ASSERT_TRUE(m_image.RotateRight());
    EXPECT_EQ((TQpRect{230, 10, 280, 110}), m_image.CropRect());
    ASSERT_TRUE(m_image.RotateLeft());
    ASSERT_TRUE(m_image.FlipHorizontal());
    EXPECT_EQ((TQpRect{290, 20, 390, 70}), m_image.CropRect());
    ASSERT_TRUE(m_image.FlipVertical());
    EXPECT_EQ((TQpRect{290, 230, 390, 280}), m_image.CropRect());
    // A crop rectangle equal to the image is no crop rectangle.
    m_image.SetCropRect({-5, -5, 500, 500});
    EXPECT_FALSE(m_image.HasCropRect());
}

TEST_F(GraphicsImageTest, SavingWithACropRectangleWritesOnlyThatRegion)
{
    TQpPixelBuffer source;
    FillPattern(source, 64, 48);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    m_image.SetCropRect({5, 7, 25, 17});
    ASSERT_TRUE(m_image.SaveImageFile(Path("out.png"), kPngFormat, 0));
    const TQpPixelBuffer saved = Decoded(Path("out.png"));
    ASSERT_EQ(20, saved.Width);
    ASSERT_EQ(10, saved.Height);
    EXPECT_EQ(0, std::memcmp(saved.PixelPtr(0, 0), source.PixelPtr(5, 7), 60));
    EXPECT_EQ(0, std::memcmp(saved.PixelPtr(0, 9), source.PixelPtr(5, 16), 60));
    EXPECT_EQ(64, m_image.Width());
}

TEST_F(GraphicsImageTest, OrientedPhotoIsShownUprightAndSavedNormal)
{
    WritePhoto("in.jpg", 64, 48, 6); // to be turned clockwise
    const TQpPixelBuffer stored = Decoded(Path("in.jpg"));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.jpg"), format));
    ASSERT_EQ(48, m_image.Width());
    ASSERT_EQ(64, m_image.Height());
    // Old bottom-left pixel at the top-left.
    EXPECT_EQ(0, std::memcmp(m_image.CurrentPixels()->PixelPtr(0, 0), stored.PixelPtr(0, 47), 3));
    EXPECT_TRUE(SamePixels(*m_image.CurrentPixels(), *m_image.OriginalPixels()));
    EXPECT_EQ(1, TImageMetadata::Orientation(m_image.Metadata()));
    ASSERT_NE(nullptr, m_image.JpegCodec());
    EXPECT_TRUE(m_image.JpegCodec()->CoefficientsInStep());

    ASSERT_TRUE(m_image.SaveImageFile(Path("out.jpg"), kJpegFormat, 80));
    TQpCustomProperties items;
    ASSERT_TRUE(TImageMetadata::ReadFile(Path("out.jpg"), items));
    EXPECT_EQ(1, TImageMetadata::Orientation(items));
    EXPECT_EQ("Maker", TImageMetadata::Text(items, kTagMake));
    const TQpPixelBuffer saved = Decoded(Path("out.jpg"));
    EXPECT_LE(MaxDifference(*m_image.CurrentPixels(), saved), 4);
}

TEST_F(GraphicsImageTest, JpegTurnedRightKeepsItsMetadataAndBlocks)
{
    WritePhoto("in.jpg", 64, 48, 1);
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.jpg"), format));
    ASSERT_TRUE(m_image.RotateRight());
    ASSERT_TRUE(m_image.SaveImageFile(Path("out.jpg"), kJpegFormat, 80));
    TQpCustomProperties items;
    ASSERT_TRUE(TImageMetadata::ReadFile(Path("out.jpg"), items));
    EXPECT_EQ("Maker", TImageMetadata::Text(items, kTagMake));
    EXPECT_EQ("2024:05:06 07:08:09", TImageMetadata::Text(items, kTagDateTime));
    const TQpPropertyItem* width = items.Items(items.IndexOf(kTagPixelXDimension));
    ASSERT_NE(nullptr, width);
    EXPECT_EQ(48, width->Data()[0]); // updated to the turned image
    TJpegCodec saved;
    TQpPixelBuffer savedPixels;
    ASSERT_TRUE(saved.Load(Path("out.jpg"), savedPixels));
    TJpegCodec original;
    TQpPixelBuffer originalPixels;
    ASSERT_TRUE(original.Load(Path("in.jpg"), originalPixels));
    // Block (0, 0) of the turned luma is the old bottom-left block, transposed with odd columns negated.
    const std::int16_t* turned = saved.Block(0, 0, 0);
    const std::int16_t* old = original.Block(0, 0, original.BlocksHigh(0) - 1);
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            EXPECT_EQ(u % 2 ? -old[u * 8 + v] : old[u * 8 + v], turned[v * 8 + u]);
}

TEST_F(GraphicsImageTest, UntouchedCodecJpegIsWrittenBackUnchanged)
{
    TQpPixelBuffer pixels;
    FillPattern(pixels, 64, 48);
    WriteFile(Path("in.jpg"), EncodeJpeg(pixels, TJSAMP_420));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.jpg"), format));
    ASSERT_TRUE(m_image.SaveImageFile(Path("out.jpg"), kJpegFormat, 80));
    EXPECT_EQ(ReadFile(Path("in.jpg")), ReadFile(Path("out.jpg")));
}

TEST_F(GraphicsImageTest, BrushEditOnATurnedJpegReencodesOnlyTheTouchedUnits)
{
    TQpPixelBuffer pixels;
    FillPattern(pixels, 64, 48);
    WriteFile(Path("in.jpg"), EncodeJpeg(pixels, TJSAMP_420));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.jpg"), format));
    ASSERT_TRUE(m_image.RotateRight());
    ASSERT_TRUE(m_image.SaveImageFile(Path("turned.jpg"), kJpegFormat, 80));
    m_image.PrepareEdit();
    // A dab inside the 16 x 16 unit (1, 2) of the turned image.
    for (int y = 36; y < 42; ++y)
        for (int x = 20; x < 26; ++x)
            std::fill_n(m_image.CurrentPixels()->PixelPtr(x, y), 3, std::uint8_t{0});
    ASSERT_TRUE(m_image.SaveImageFile(Path("edited.jpg"), kJpegFormat, 80));
    TJpegCodec turned, edited;
    TQpPixelBuffer turnedPixels, editedPixels;
    ASSERT_TRUE(turned.Load(Path("turned.jpg"), turnedPixels));
    ASSERT_TRUE(edited.Load(Path("edited.jpg"), editedPixels));
    for (int c = 0; c < 3; ++c) {
        const int perUnit = c == 0 ? 2 : 1;
        for (int by = 0; by < edited.BlocksHigh(c); ++by)
            for (int bx = 0; bx < edited.BlocksWide(c); ++bx) {
                const bool same = std::equal(edited.Block(c, bx, by), edited.Block(c, bx, by) + 64,
                                             turned.Block(c, bx, by));
                const bool touched = bx / perUnit == 1 && by / perUnit == 2;
                if (!touched) {
                    EXPECT_TRUE(same) << c << ": " << bx << "," << by;
                }
            }
    }
    EXPECT_LT(editedPixels.PixelPtr(22, 38)[1], 40);
}

TEST_F(GraphicsImageTest, FailingSavesLeaveTheOldFile)
{
    TQpPixelBuffer source;
    FillPattern(source, 200, 200);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    const std::vector<std::uint8_t> old = {'o', 'l', 'd'};
    WriteFile(Path("target.png"), old);
    ::chmod(Path("target.png").c_str(), 0640);

    // A full disk: writes beyond 1000 bytes fail.
    {
        TFullDisk full(1000);
        EXPECT_FALSE(m_image.SaveImageFile(Path("target.png"), kPngFormat, 0));
    }
    EXPECT_EQ(old, ReadFile(Path("target.png")));
    EXPECT_EQ(1u, QDir(m_dir.path()).entryList({"target*", ".target*"}, QDir::Files | QDir::Hidden).size());
    // A full disk met at the last step says so.
    platform::TAtomicFile::FailCommitsLargerThanForTesting(100);
    EXPECT_FALSE(m_image.SaveImageFile(Path("target.png"), kPngFormat, 0));
    platform::TAtomicFile::FailCommitsLargerThanForTesting(-1);
    EXPECT_EQ(m_image.SaveFailure(), "the disk is full");
    EXPECT_EQ(old, ReadFile(Path("target.png")));

    // An unknown format writes nothing either; a good save keeps the file's mode.
    EXPECT_FALSE(m_image.SaveImageFile(Path("target.png"), 42, 0));
    EXPECT_EQ(old, ReadFile(Path("target.png")));
    ASSERT_TRUE(m_image.SaveImageFile(Path("target.png"), kPngFormat, 0));
    struct stat status
    {
    };
    ::stat(Path("target.png").c_str(), &status);
    EXPECT_EQ(0640u, status.st_mode & 0777);

    // A read-only file is kept unless the caller says to replace it; it stays read-only.
    WriteFile(Path("kept.png"), old);
    ::chmod(Path("kept.png").c_str(), 0444);
    EXPECT_FALSE(m_image.SaveImageFile(Path("kept.png"), kPngFormat, 0));
    EXPECT_EQ(m_image.SaveFailure(), "the file is read-only");
    EXPECT_EQ(old, ReadFile(Path("kept.png")));
    ASSERT_TRUE(m_image.SaveImageFile(Path("kept.png"), kPngFormat, 0, false, true));
    ::stat(Path("kept.png").c_str(), &status);
    EXPECT_EQ(0444u, status.st_mode & 0777);

    // Missing folders and folders in the way are named.
    EXPECT_FALSE(m_image.SaveImageFile(Path("none/x.png"), kPngFormat, 0));
    EXPECT_NE(m_image.SaveFailure().find("does not exist"), std::string::npos) << m_image.SaveFailure();
    QDir(m_dir.path()).mkdir("folder.png");
    EXPECT_FALSE(m_image.SaveImageFile(Path("folder.png"), kPngFormat, 0));
    EXPECT_EQ(m_image.SaveFailure(), "it is a folder");

    // A folder the user may not write stops everyone but the superuser.
    if (::geteuid() != 0) {
        QDir(m_dir.path()).mkdir("locked");
        WriteFile(Path("locked/x.png"), old);
        ::chmod(Path("locked").c_str(), 0500);
        EXPECT_FALSE(m_image.SaveImageFile(Path("locked/x.png"), kPngFormat, 0));
        EXPECT_NE(m_image.SaveFailure().find("permission denied"), std::string::npos)
            << m_image.SaveFailure();
        ::chmod(Path("locked").c_str(), 0700);
        EXPECT_EQ(old, ReadFile(Path("locked/x.png")));
    }
}

TEST_F(GraphicsImageTest, UnreadableFilesLeaveTheImageAsItWas)
{
    TQpPixelBuffer source;
    FillPattern(source, 16, 16);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 7;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    std::vector<std::uint8_t> jpeg = EncodeJpeg(source, TJSAMP_420);
    jpeg.resize(jpeg.size() / 2);
    WriteFile(Path("cut.jpg"), jpeg);
    EXPECT_FALSE(m_image.LoadImageFile(Path("cut.jpg"), format));
    EXPECT_FALSE(m_image.LoadImageFile(Path("missing.jpg"), format));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("missing.jpg")));
    EXPECT_EQ(kPngFormat, format);
    EXPECT_TRUE(SamePixels(source, *m_image.CurrentPixels()));
}

TEST_F(GraphicsImageTest, TransferBlockOpensAndSavesBack)
{
    // 5 x 2 RGB pixels with 4 planes and padded rows, then an EXIF trailer with orientation 1.
    const int width = 5, height = 2, planes = 4, rowBytes = 24;
    std::vector<std::uint8_t> block(36 + height * rowBytes);
    WriteTransferHeader(block.data(), {32, 3, 7, 9, width, height, rowBytes, planes});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = block.data() + 36 + y * rowBytes + x * planes;
            p[0] = static_cast<std::uint8_t>(10 * x); // red
            p[1] = static_cast<std::uint8_t>(100 + y);
            p[2] = 200;
            p[3] = 255;
        }
    const std::uint8_t body[] = {'I', 'I', 42, 0, 8, 0,   0,   0,   1, 0, 0x0F, 0x01, 2,
                                 0,   4,   0,  0, 0, 'A', 'B', 'C', 0, 0, 0,    0,    0};
    block.insert(block.end(), {'E', 'X', 'I', 'F', sizeof body, 0, 0, 0});
    block.insert(block.end(), body, body + sizeof body);
    block.resize(block.size() + 600, 0);
    WriteFile(Path("PSPF1.tmp"), block);

    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("PSPF1.tmp"), format));
    EXPECT_EQ(kTransferBlockFormat, format);
    ASSERT_EQ(5, m_image.Width());
    const std::uint8_t* pixel = m_image.CurrentPixels()->PixelPtr(3, 1);
    EXPECT_EQ(200, pixel[0]); // blue
    EXPECT_EQ(101, pixel[1]);
    EXPECT_EQ(30, pixel[2]); // red
    EXPECT_EQ("ABC", TImageMetadata::Text(m_image.Metadata(), kTagMake));

    ASSERT_TRUE(m_image.SaveImageFile(Path("PSPF1.tmp"), kTransferBlockFormat, 0));
    const std::vector<std::uint8_t> back = ReadFile(Path("PSPF1.tmp"));
    ASSERT_EQ(36u + 2 * 16, back.size()); // stride 15 rounded to 16, trailer gone
    const TTransferDescriptor descriptor = ReadTransferDescriptor(back.data());
    EXPECT_EQ((TTransferDescriptor{32, 3, 0, 0, 5, 2, 16, 3}), descriptor);
    EXPECT_EQ(30, back[36 + 16 + 9]);      // red of (3, 1)
    EXPECT_EQ(200, back[36 + 16 + 9 + 2]); // blue

    // A block whose rows would run past the file, and one in grey mode, are no blocks.
    WriteTransferHeader(block.data(), {32, 3, 0, 0, width, 400, rowBytes, planes});
    WriteFile(Path("PSPF2.tmp"), block);
    EXPECT_FALSE(m_image.LoadImageFile(Path("PSPF2.tmp"), format));
    WriteTransferHeader(block.data(), {32, 1, 0, 0, width, height, rowBytes, planes});
    WriteFile(Path("PSPF3.tmp"), block);
    EXPECT_FALSE(m_image.LoadImageFile(Path("PSPF3.tmp"), format));
}

TEST_F(GraphicsImageTest, GifOpensAsAnOrdinaryDocumentOutsideTheSaveList)
{
    const std::vector<std::uint8_t> gif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01,
                                           0x00, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00,
                                           0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                           0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    WriteFile(Path("a.gif"), gif);
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("a.gif"), format));
    EXPECT_EQ(kOtherFormat, format);
    EXPECT_NE(kTransferBlockFormat, format);
}

TEST_F(GraphicsImageTest, ResizeScalesTheCropRectangleAndNeverInvertsIt)
{
    TQpPixelBuffer source;
    FillPattern(source, 100, 80);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    m_image.SetCropRect({10, 10, 55, 41});
    ASSERT_TRUE(m_image.ResizeImage(50, 40, true, true));
    // Left and top rounded up, right and bottom down.
    EXPECT_EQ((TQpRect{5, 5, 27, 20}), m_image.CropRect());
    EXPECT_EQ(50, m_image.OriginalImage().GetWidth());
    m_image.SetCropRect({11, 11, 12, 12});
    ASSERT_TRUE(m_image.ResizeImage(10, 8, true, true)); // (2.2, 2.2, 2.4, 2.4) rounds to nothing
    EXPECT_FALSE(m_image.HasCropRect());

    const std::unique_ptr<TQpLTBitmap> thumb = m_image.ScaledCopy(5);
    ASSERT_NE(nullptr, thumb);
    EXPECT_EQ(5, thumb->GetWidth());
    EXPECT_EQ(4, thumb->GetHeight());
    ASSERT_TRUE(m_image.ResizeImage(1000, 2, true, false));
    EXPECT_EQ(1, m_image.ScaledCopy(100)->GetHeight()); // never 0
}

// A copy of a pixel window that owns its bytes.
std::vector<std::uint8_t> Bytes(const TQpPixels& pixels)
{
    std::vector<std::uint8_t> bytes;
    for (int y = pixels.Top; y < pixels.Top + pixels.Height; ++y)
        bytes.insert(bytes.end(), pixels.PixelPtr(pixels.Left, y),
                     pixels.PixelPtr(pixels.Left, y) + static_cast<std::size_t>(pixels.Width) * 3);
    return bytes;
}

TEST_F(GraphicsImageTest, OriginalAndUndoBaseShareTheLoadedPixelsUntilTheFirstEdit)
{
    TQpPixelBuffer source;
    FillPattern(source, 40, 30);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    EXPECT_TRUE(m_image.CopiesShared());
    ASSERT_TRUE(m_image.RotateRight());
    m_image.Crop({2, 3, 30, 38});
    EXPECT_TRUE(m_image.CopiesShared());
    const std::vector<std::uint8_t> turned = Bytes(*m_image.CurrentPixels());

    m_image.PrepareEdit();
    EXPECT_FALSE(m_image.CopiesShared());
    std::fill_n(m_image.CurrentPixels()->PixelPtr(5, 5), 30, std::uint8_t{1});
    EXPECT_EQ(turned, Bytes(*m_image.OriginalPixels()));
    EXPECT_EQ(turned, Bytes(m_image.UndoBase()));
    EXPECT_NE(turned, Bytes(*m_image.CurrentPixels()));

    // Loading again shares anew; asking for the original gives it its own copy.
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    EXPECT_TRUE(m_image.CopiesShared());
    TQpPixels* original = m_image.OriginalPixels();
    ASSERT_NE(nullptr, original);
    EXPECT_FALSE(m_image.CopiesShared());
    EXPECT_NE(original->Data, m_image.CurrentPixels()->Data);
    EXPECT_TRUE(SamePixels(source, *original));
}

TEST_F(GraphicsImageTest, ChangesLeavingTheOriginalOutKeepTheLoadedOriginal)
{
    TQpPixelBuffer source;
    FillPattern(source, 40, 30);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    ASSERT_TRUE(m_image.ResizeImage(20, 15, false, false));
    EXPECT_EQ(20, m_image.Width());
    EXPECT_TRUE(SamePixels(source, *m_image.OriginalPixels()));

    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    ASSERT_TRUE(m_image.SetImageSize(8, 8, false));
    EXPECT_TRUE(SamePixels(source, *m_image.OriginalPixels()));

    // Both new and blank: they share again without a copy.
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    ASSERT_TRUE(m_image.SetImageSize(8, 6, true));
    EXPECT_TRUE(m_image.CopiesShared());
    EXPECT_EQ(std::vector<std::uint8_t>(8 * 6 * 3, 0), Bytes(*m_image.OriginalPixels()));
}

TEST_F(GraphicsImageTest, SnapshotAndRestoreWhileSharedKeepTheOriginalApart)
{
    TQpPixelBuffer source;
    FillPattern(source, 40, 30);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    TQpPixelBuffer current, original;
    m_image.SnapshotImages(current, &original);
    EXPECT_TRUE(SamePixels(source, current));
    EXPECT_TRUE(SamePixels(source, original));

    TQpPixelBuffer other;
    FillPattern(other, 40, 30, 7);
    m_image.RestoreImages(other, nullptr);
    EXPECT_TRUE(SamePixels(other, *m_image.CurrentPixels()));
    EXPECT_TRUE(SamePixels(source, *m_image.OriginalPixels()));
    EXPECT_TRUE(SamePixels(other, m_image.UndoBase()));
}

TEST_F(GraphicsImageTest, EditedSharedJpegSavesTheEditAfterPreparing)
{
    TQpPixelBuffer pixels;
    FillPattern(pixels, 64, 48);
    WriteFile(Path("in.jpg"), EncodeJpeg(pixels, TJSAMP_420));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.jpg"), format));
    ASSERT_TRUE(m_image.SaveImageFile(Path("untouched.jpg"), kJpegFormat, 80));
    EXPECT_EQ(ReadFile(Path("in.jpg")), ReadFile(Path("untouched.jpg")));
    m_image.PrepareEdit();
    for (int y = 4; y < 8; ++y)
        std::fill_n(m_image.CurrentPixels()->PixelPtr(4, y), 12, std::uint8_t{0});
    ASSERT_TRUE(m_image.SaveImageFile(Path("edited.jpg"), kJpegFormat, 80));
    const TQpPixelBuffer edited = Decoded(Path("edited.jpg"));
    EXPECT_LT(edited.PixelPtr(5, 5)[1], 40);
    EXPECT_NE(ReadFile(Path("in.jpg")), ReadFile(Path("edited.jpg")));
}

// Units of 16 x 16 pixels (4:2:0) whose coefficients differ between two files of one size.
int ChangedUnits(const TJpegCodec& a, const TJpegCodec& b)
{
    int changed = 0;
    for (int uy = 0; uy < a.BlocksHigh(1); ++uy)
        for (int ux = 0; ux < a.BlocksWide(1); ++ux) {
            bool same = true;
            for (int c = 0; c < 3; ++c) {
                const int per = c == 0 ? 2 : 1;
                for (int by = uy * per; by < (uy + 1) * per; ++by)
                    for (int bx = ux * per; bx < (ux + 1) * per; ++bx)
                        same = same &&
                               std::equal(a.Block(c, bx, by), a.Block(c, bx, by) + 64, b.Block(c, bx, by));
            }
            changed += same ? 0 : 1;
        }
    return changed;
}

TEST_F(GraphicsImageTest, OrientedPhotoCutThroughBlocksKeepsTheFilesCoefficientsAndOrientation)
{
    WritePhoto("in.jpg", 150, 100, 6); // turning it clockwise would cut through its 16 x 16 units
    const TQpPixelBuffer stored = Decoded(Path("in.jpg"));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.jpg"), format));
    ASSERT_EQ(100, m_image.Width());
    ASSERT_EQ(150, m_image.Height());
    EXPECT_EQ(0, std::memcmp(m_image.CurrentPixels()->PixelPtr(0, 0), stored.PixelPtr(0, 99), 3));
    EXPECT_EQ(1, TImageMetadata::Orientation(m_image.Metadata()));
    ASSERT_NE(nullptr, m_image.JpegCodec());
    EXPECT_TRUE(m_image.JpegCodec()->CoefficientsInStep());

    // Untouched, the file is written back as it was.
    ASSERT_TRUE(m_image.SaveImageFile(Path("untouched.jpg"), kJpegFormat, 80));
    EXPECT_EQ(ReadFile(Path("in.jpg")), ReadFile(Path("untouched.jpg")));

    // A dab changes only the units under it, and the file keeps its orientation.
    m_image.PrepareEdit();
    for (int y = 40; y < 45; ++y)
        std::fill_n(m_image.CurrentPixels()->PixelPtr(60, y), 15, std::uint8_t{0});
    ASSERT_TRUE(m_image.SaveImageFile(Path("edited.jpg"), kJpegFormat, 80));
    TQpCustomProperties items;
    ASSERT_TRUE(TImageMetadata::ReadFile(Path("edited.jpg"), items));
    EXPECT_EQ(6, TImageMetadata::Orientation(items));
    EXPECT_EQ("Maker", TImageMetadata::Text(items, kTagMake));
    TJpegCodec in, edited;
    TQpPixelBuffer inPixels, editedPixels;
    ASSERT_TRUE(in.Load(Path("in.jpg"), inPixels));
    ASSERT_TRUE(edited.Load(Path("edited.jpg"), editedPixels));
    ASSERT_EQ(150, edited.Width());
    const int changed = ChangedUnits(in, edited);
    EXPECT_GE(changed, 1);
    EXPECT_LE(changed, 4);
    // Shown upright again, the dab is where it was made.
    TQpGraphicsImage back;
    ASSERT_TRUE(back.LoadImageFile(Path("edited.jpg"), format));
    EXPECT_LT(back.CurrentPixels()->PixelPtr(62, 42)[1], 40);
    EXPECT_LT(MeanDifference(*m_image.CurrentPixels(), *back.CurrentPixels()), 1.0);
}

TEST_F(GraphicsImageTest, TurningAKeptOrientationBackToTheFilesWritesItsCoefficientsUpright)
{
    WritePhoto("in.jpg", 150, 100, 6);
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.jpg"), format));
    ASSERT_TRUE(m_image.RotateLeft());
    ASSERT_TRUE(m_image.SaveImageFile(Path("out.jpg"), kJpegFormat, 80));
    TQpCustomProperties items;
    ASSERT_TRUE(TImageMetadata::ReadFile(Path("out.jpg"), items));
    EXPECT_EQ(1, TImageMetadata::Orientation(items));
    TJpegCodec in, out;
    TQpPixelBuffer inPixels, outPixels;
    ASSERT_TRUE(in.Load(Path("in.jpg"), inPixels));
    ASSERT_TRUE(out.Load(Path("out.jpg"), outPixels));
    EXPECT_EQ(0, ChangedUnits(in, out));
    EXPECT_TRUE(SamePixels(*m_image.CurrentPixels(), outPixels));
}

TEST_F(GraphicsImageTest, EveryKeptOrientationTurnsBackIntoTheFile)
{
    for (int orientation = 2; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        WritePhoto("in.jpg", 150, 100, orientation);
        std::int32_t format = 0;
        TQpGraphicsImage image;
        ASSERT_TRUE(image.LoadImageFile(Path("in.jpg"), format));
        ASSERT_TRUE(image.RotateRight()); // one more turn on top of the file's
        image.PrepareEdit();
        std::fill_n(image.CurrentPixels()->PixelPtr(3, 3), 6, std::uint8_t{0}); // two pixels
        ASSERT_TRUE(image.SaveImageFile(Path("out.jpg"), kJpegFormat, 80));
        TQpGraphicsImage back;
        ASSERT_TRUE(back.LoadImageFile(Path("out.jpg"), format));
        ASSERT_EQ(image.Width(), back.Width());
        ASSERT_EQ(image.Height(), back.Height());
        EXPECT_LT(MeanDifference(*image.CurrentPixels(), *back.CurrentPixels()), 1.0);
        TJpegCodec in, out;
        TQpPixelBuffer inPixels, outPixels;
        ASSERT_TRUE(in.Load(Path("in.jpg"), inPixels));
        ASSERT_TRUE(out.Load(Path("out.jpg"), outPixels));
        if (in.Width() == out.Width()) {
            EXPECT_LE(ChangedUnits(in, out), 2); // the two pixels can fall on both sides of a unit edge
        }
    }
}

TEST_F(GraphicsImageTest, CropOfAKeptOrientationWritesTheImageUpright)
{
    WritePhoto("in.jpg", 150, 100, 6);
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.jpg"), format));
    m_image.Crop({10, 20, 90, 120});
    ASSERT_TRUE(m_image.SaveImageFile(Path("out.jpg"), kJpegFormat, 80));
    TQpCustomProperties items;
    ASSERT_TRUE(TImageMetadata::ReadFile(Path("out.jpg"), items));
    EXPECT_EQ(1, TImageMetadata::Orientation(items));
    const TQpPixelBuffer saved = Decoded(Path("out.jpg"));
    // Cut through the units, it was encoded anew with the file's tables.
    EXPECT_LT(MeanDifference(*m_image.CurrentPixels(), saved), 8.0);
}

TEST_F(GraphicsImageTest, SyncUndoBaseCopiesOnlyTheRectangleUntilTheBoundsDiffer)
{
    TQpPixelBuffer source;
    FillPattern(source, 40, 30);
    ASSERT_TRUE(TImageCodec::Encode(source, Path("in.png"), "image/png", 0));
    std::int32_t format = 0;
    ASSERT_TRUE(m_image.LoadImageFile(Path("in.png"), format));
    // A shared base becomes a copy of the whole image.
    m_image.SyncUndoBase({0, 0, 1, 1});
    EXPECT_FALSE(m_image.CopiesShared());
    EXPECT_TRUE(SamePixels(source, m_image.UndoBase()));

    TQpPixels& current = *m_image.CurrentPixels();
    const auto paint = [&current](int x, int y, std::uint8_t value) {
        std::fill_n(current.PixelPtr(x, y), 3, value);
    };
    const auto base = [this](int x, int y) { return *m_image.UndoBase().PixelPtr(x, y); };
    const std::uint8_t outside = *source.PixelPtr(30, 20);
    paint(5, 5, 1);
    paint(30, 20, static_cast<std::uint8_t>(outside + 1));
    m_image.SyncUndoBase({4, 4, 8, 8});
    EXPECT_EQ(base(5, 5), 1);
    EXPECT_EQ(base(30, 20), outside) << "outside the rectangle nothing is copied";

    // A rectangle reaching past the image is clipped to it.
    paint(0, 29, 2);
    paint(39, 29, 3);
    m_image.SyncUndoBase({-100, 29, 1000, 1000});
    EXPECT_EQ(base(0, 29), 2);
    EXPECT_EQ(base(39, 29), 3);
    EXPECT_EQ(base(30, 20), outside);

    // A base of other bounds, as after a change of size, is given the whole image.
    ASSERT_TRUE(m_image.UndoBase().SetFormatAndBounds(pfBGR24, {0, 0, 5, 5}));
    m_image.SyncUndoBase({0, 0, 1, 1});
    EXPECT_EQ(m_image.UndoBase().GetBounds(), current.GetBounds());
    EXPECT_EQ(Bytes(m_image.UndoBase()), Bytes(current));
}

} // namespace
