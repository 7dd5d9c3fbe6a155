#include "platform/JpegCodec.h"

#include "imaging/QpLTBitmap.h"
#include "platform/ImageCodec.h"

#include "TestImages.h"

#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace platform;
using namespace testimages;

namespace {

// The mean error a fresh TurboJPEG encode at the test files' quality gives on these pixels: what any
// re-encoding costs, and the measure ours must meet.
double ReencodeError(const TQpPixels& pixels, int subsampling)
{
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(pixels, subsampling);
    TQpPixelBuffer back;
    TImageInfo info;
    TImageCodec::DecodeMemory(jpeg.data(), jpeg.size(), back, info);
    return MeanDifference(pixels, back);
}

// Largest difference away from the image's edges, where lossless crops change the chroma neighbours.
int MaxDifferenceInside(const TQpPixels& a, const TQpPixels& b, int margin)
{
    TQpPixels innerA, innerB;
    const TQpRect inner{margin, margin, a.Width - margin, a.Height - margin};
    innerA.Init({0, 0, inner.Width(), inner.Height()}, a.PixelPtr(margin, margin), a.Format, a.Stride);
    innerB.Init({0, 0, inner.Width(), inner.Height()}, b.PixelPtr(margin, margin), b.Format, b.Stride);
    return MaxDifference(innerA, innerB);
}

class JpegCodecTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }

    // Writes a pattern JPEG of that size and sampling and loads it into m_codec and m_pixels.
    void LoadPattern(int width, int height, int subsampling, const char* name = "in.jpg")
    {
        TQpPixelBuffer source;
        FillPattern(source, width, height);
        WriteFile(Path(name), EncodeJpeg(source, subsampling));
        ASSERT_TRUE(m_codec.Load(Path(name), m_pixels));
    }

    // Every coefficient of every block, for comparing whole files.
    static std::vector<std::int16_t> AllCoefficients(const TJpegCodec& codec)
    {
        std::vector<std::int16_t> all;
        for (int c = 0; c < codec.ComponentCount(); ++c)
            for (int y = 0; y < codec.BlocksHigh(c); ++y)
                for (int x = 0; x < codec.BlocksWide(c); ++x)
                    all.insert(all.end(), codec.Block(c, x, y), codec.Block(c, x, y) + 64);
        return all;
    }

    QTemporaryDir m_dir;
    TJpegCodec m_codec;
    TQpPixelBuffer m_pixels;
};

TEST_F(JpegCodecTest, LoadGivesDecodedPixelsAndTheBlockGridOfTheSampling)
{
    LoadPattern(64, 48, TJSAMP_420);
    TQpPixelBuffer plain;
    TImageInfo info;
    ASSERT_TRUE(TImageCodec::Decode(Path("in.jpg"), plain, info));
    EXPECT_TRUE(SamePixels(plain, m_pixels));
    EXPECT_EQ(16, m_codec.BlockWidth());
    EXPECT_EQ(16, m_codec.BlockHeight());
    std::uint16_t h = 0, v = 0;
    m_codec.Sampling(h, v);
    EXPECT_EQ(2, h);
    EXPECT_EQ(2, v);
    ASSERT_EQ(3, m_codec.ComponentCount());
    EXPECT_EQ(8, m_codec.BlocksWide(0));
    EXPECT_EQ(4, m_codec.BlocksWide(1));
    EXPECT_EQ(3, m_codec.BlocksHigh(2));

    LoadPattern(40, 24, TJSAMP_422);
    EXPECT_EQ(16, m_codec.BlockWidth());
    EXPECT_EQ(8, m_codec.BlockHeight());
    LoadPattern(40, 24, TJSAMP_444);
    EXPECT_EQ(8, m_codec.BlockWidth());
}

TEST_F(JpegCodecTest, BrokenFilesLeaveTheCodecEmpty)
{
    TQpPixelBuffer source;
    FillPattern(source, 64, 64);
    std::vector<std::uint8_t> jpeg = EncodeJpeg(source, TJSAMP_420);
    TQpPixelBuffer pixels;
    EXPECT_FALSE(m_codec.LoadMemory(
        {jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() * 2 / 3)}, pixels));
    EXPECT_FALSE(m_codec.HoldsImage());
    EXPECT_EQ(nullptr, pixels.Data);
    std::vector<std::uint8_t> scrambled = jpeg;
    for (std::size_t i = 20; i < 200; ++i)
        scrambled[i] = static_cast<std::uint8_t>(i * 37);
    EXPECT_FALSE(m_codec.LoadMemory(scrambled, pixels));
    EXPECT_FALSE(m_codec.LoadMemory({'n', 'o'}, pixels));
    EXPECT_FALSE(m_codec.Load(Path("missing.jpg"), pixels));
}

TEST_F(JpegCodecTest, UnchangedSaveWritesTheFileAsLoaded)
{
    LoadPattern(64, 48, TJSAMP_420);
    ASSERT_TRUE(m_codec.Save(Path("out.jpg"), m_pixels, &m_pixels, {0, 0, 64, 48},
                             TJpegSaveMode::KeepUnchangedBlocks));
    EXPECT_EQ(ReadFile(Path("in.jpg")), ReadFile(Path("out.jpg")));
}

TEST_F(JpegCodecTest, SavingWithoutTheCopyShortcutKeepsEveryCoefficient)
{
    // A save through the coefficient writer (here: after two flips that cancel out) reproduces every
    // coefficient and so every decoded pixel.
    LoadPattern(64, 48, TJSAMP_420);
    const std::vector<std::int16_t> before = AllCoefficients(m_codec); // reads them: flips work in memory
    ASSERT_TRUE(m_codec.CoefficientsRead());
    ASSERT_TRUE(m_codec.FlipHorizontal());
    ASSERT_TRUE(m_codec.FlipHorizontal());
    ASSERT_TRUE(m_codec.Save(Path("out.jpg"), m_pixels, &m_pixels, {0, 0, 64, 48},
                             TJpegSaveMode::KeepUnchangedBlocks));
    TJpegCodec saved;
    TQpPixelBuffer savedPixels;
    ASSERT_TRUE(saved.Load(Path("out.jpg"), savedPixels));
    EXPECT_EQ(before, AllCoefficients(saved));
    EXPECT_TRUE(SamePixels(m_pixels, savedPixels));
}

TEST_F(JpegCodecTest, AnEditChangesOnlyTheBlocksItTouched)
{
    LoadPattern(64, 48, TJSAMP_420);
    TJpegCodec original;
    TQpPixelBuffer originalPixels;
    ASSERT_TRUE(original.Load(Path("in.jpg"), originalPixels));
    TQpPixelBuffer edited;
    edited.SetFormatAndBounds(pfBGR24, {0, 0, 64, 48});
    edited.CopyFrom(m_pixels);
    // A brush dab inside the unit at (1, 1) (pixels 16..31) and one straddling units (2, 0) and (3, 0).
    for (int y = 20; y < 25; ++y)
        for (int x = 18; x < 23; ++x)
            std::fill_n(edited.PixelPtr(x, y), 3, std::uint8_t{255});
    for (int x = 46; x < 50; ++x)
        edited.PixelPtr(x, 3)[1] = 0;
    ASSERT_TRUE(
        m_codec.Save(Path("out.jpg"), edited, &m_pixels, {0, 0, 64, 48}, TJpegSaveMode::KeepUnchangedBlocks));
    TJpegCodec saved;
    TQpPixelBuffer savedPixels;
    ASSERT_TRUE(saved.Load(Path("out.jpg"), savedPixels));
    auto touched = [](int unitX, int unitY) {
        return (unitX == 1 && unitY == 1) || (unitY == 0 && (unitX == 2 || unitX == 3));
    };
    for (int c = 0; c < 3; ++c) {
        const int perUnit = c == 0 ? 2 : 1;
        for (int by = 0; by < saved.BlocksHigh(c); ++by)
            for (int bx = 0; bx < saved.BlocksWide(c); ++bx) {
                const bool same = std::equal(saved.Block(c, bx, by), saved.Block(c, bx, by) + 64,
                                             original.Block(c, bx, by));
                if (!touched(bx / perUnit, by / perUnit)) {
                    EXPECT_TRUE(same) << "component " << c << " block " << bx << "," << by;
                }
            }
    }
    // The dab's luma block changed and the re-encoded unit shows the edit.
    EXPECT_FALSE(std::equal(saved.Block(0, 2, 2), saved.Block(0, 2, 2) + 64, original.Block(0, 2, 2)));
    EXPECT_GT(savedPixels.PixelPtr(20, 22)[0], 200);
    EXPECT_GT(savedPixels.PixelPtr(20, 22)[1], 200);
}

// Whether every block of `a` equals the block of `b`, except in the 16 x 16 units `touched` names.
bool SameBlocksOutside(const TJpegCodec& a, const TJpegCodec& b, const std::function<bool(int, int)>& touched)
{
    for (int c = 0; c < a.ComponentCount(); ++c) {
        const int perUnit = c == 0 ? 2 : 1;
        for (int by = 0; by < a.BlocksHigh(c); ++by)
            for (int bx = 0; bx < a.BlocksWide(c); ++bx)
                if (!touched(bx / perUnit, by / perUnit) &&
                    !std::equal(a.Block(c, bx, by), a.Block(c, bx, by) + 64, b.Block(c, bx, by)))
                    return false;
    }
    return true;
}

TEST_F(JpegCodecTest, OnlyBlocksMeetingTheChangedRectangleAreCompared)
{
    LoadPattern(64, 48, TJSAMP_420);
    TJpegCodec original;
    TQpPixelBuffer originalPixels;
    ASSERT_TRUE(original.Load(Path("in.jpg"), originalPixels));
    TQpPixelBuffer edited;
    edited.SetFormatAndBounds(pfBGR24, {0, 0, 64, 48});
    edited.CopyFrom(m_pixels);
    // Dabs in units (0, 0) and (3, 2); the caller vouches only for the second one's area.
    for (int y = 2; y < 6; ++y)
        std::fill_n(edited.PixelPtr(2, y), 12, std::uint8_t{255});
    for (int y = 36; y < 40; ++y)
        std::fill_n(edited.PixelPtr(52, y), 12, std::uint8_t{0});
    const TQpRect changed{50, 34, 60, 42};
    ASSERT_TRUE(m_codec.Save(Path("out.jpg"), edited, &m_pixels, {0, 0, 64, 48},
                             TJpegSaveMode::KeepUnchangedBlocks, &changed));
    TJpegCodec saved;
    TQpPixelBuffer savedPixels;
    ASSERT_TRUE(saved.Load(Path("out.jpg"), savedPixels));
    EXPECT_TRUE(SameBlocksOutside(saved, original, [](int x, int y) { return x == 3 && y == 2; }));
    EXPECT_FALSE(std::equal(saved.Block(0, 6, 4), saved.Block(0, 6, 4) + 64, original.Block(0, 6, 4)));
    EXPECT_LT(savedPixels.PixelPtr(54, 37)[1], 40);
    // The dab outside the rectangle was taken for unchanged.
    EXPECT_EQ(0, std::memcmp(savedPixels.PixelPtr(0, 0), originalPixels.PixelPtr(0, 0), 16 * 3));

    // With nothing changed the untouched file is copied as it was.
    const TQpRect nothing{};
    ASSERT_TRUE(m_codec.Save(Path("copy.jpg"), edited, &m_pixels, {0, 0, 64, 48},
                             TJpegSaveMode::KeepUnchangedBlocks, &nothing));
    EXPECT_TRUE(m_codec.LastSaveCopied());
    EXPECT_EQ(ReadFile(Path("in.jpg")), ReadFile(Path("copy.jpg")));
}

TEST_F(JpegCodecTest, ProgressiveFileKeepsItsUntouchedBlocksThroughEveryScan)
{
    TQpPixelBuffer source;
    FillPattern(source, 80, 64);
    WriteFile(Path("in.jpg"), EncodeJpeg(source, TJSAMP_420, 90, TJFLAG_PROGRESSIVE));
    ASSERT_TRUE(m_codec.Load(Path("in.jpg"), m_pixels));
    TJpegCodec original;
    TQpPixelBuffer originalPixels;
    ASSERT_TRUE(original.Load(Path("in.jpg"), originalPixels));
    TQpPixelBuffer edited;
    edited.SetFormatAndBounds(pfBGR24, {0, 0, 80, 64});
    edited.CopyFrom(m_pixels);
    for (int y = 40; y < 44; ++y)
        std::fill_n(edited.PixelPtr(20, y), 12, std::uint8_t{0});
    ASSERT_TRUE(
        m_codec.Save(Path("out.jpg"), edited, &m_pixels, {0, 0, 80, 64}, TJpegSaveMode::KeepUnchangedBlocks));
    TJpegCodec saved;
    TQpPixelBuffer savedPixels;
    ASSERT_TRUE(saved.Load(Path("out.jpg"), savedPixels));
    EXPECT_TRUE(SameBlocksOutside(saved, original, [](int x, int y) { return x == 1 && y == 2; }));
    EXPECT_LT(savedPixels.PixelPtr(22, 42)[0], 40);
    // Progressive still: the start of frame is SOF2.
    const std::vector<std::uint8_t> bytes = ReadFile(Path("out.jpg"));
    bool progressive = false;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        progressive |= bytes[i] == 0xFF && bytes[i + 1] == 0xC2;
    EXPECT_TRUE(progressive);
}

TEST_F(JpegCodecTest, ReencodingEverythingUsesTheFilesTablesAndStaysClose)
{
    LoadPattern(64, 48, TJSAMP_420);
    ASSERT_TRUE(
        m_codec.Save(Path("out.jpg"), m_pixels, &m_pixels, {0, 0, 64, 48}, TJpegSaveMode::ReencodeAll));
    TJpegCodec saved;
    TQpPixelBuffer savedPixels;
    ASSERT_TRUE(saved.Load(Path("out.jpg"), savedPixels));
    for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(std::equal(saved.QuantTable(c), saved.QuantTable(c) + 64, m_codec.QuantTable(c)));
    EXPECT_LE(MeanDifference(m_pixels, savedPixels), ReencodeError(m_pixels, TJSAMP_420) * 1.1);
}

// Coefficient reference for a clockwise quarter turn, written out block by block.
std::vector<std::int16_t> TurnedRightReference(const TJpegCodec& codec)
{
    std::vector<std::int16_t> all;
    for (int c = 0; c < codec.ComponentCount(); ++c) {
        const int oldHigh = codec.BlocksHigh(c);
        // New grid: BlocksHigh x BlocksWide; new block (x, y) comes from old block (y, oldHigh - 1 - x).
        for (int y = 0; y < codec.BlocksWide(c); ++y)
            for (int x = 0; x < oldHigh; ++x) {
                const std::int16_t* old = codec.Block(c, y, oldHigh - 1 - x);
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u)
                        all.push_back(static_cast<std::int16_t>(u % 2 ? -old[u * 8 + v] : old[u * 8 + v]));
            }
    }
    return all;
}

TEST_F(JpegCodecTest, QuarterTurnMovesCoefficientsExactly)
{
    for (int sampling : {TJSAMP_420, TJSAMP_422, TJSAMP_444}) {
        SCOPED_TRACE(sampling);
        LoadPattern(64, 48, sampling);
        TJpegCodec original;
        TQpPixelBuffer originalPixels;
        ASSERT_TRUE(original.Load(Path("in.jpg"), originalPixels));
        ASSERT_TRUE(m_codec.RotateRight());
        EXPECT_EQ(48, m_codec.Width());
        EXPECT_EQ(64, m_codec.Height());
        TQpLTBitmap turned;
        ASSERT_TRUE(turned.Assign(m_pixels));
        ASSERT_TRUE(turned.RotateRight());
        ASSERT_TRUE(m_codec.Save(Path("out.jpg"), *turned.GetPixels(), turned.GetPixels(), {0, 0, 48, 64},
                                 TJpegSaveMode::KeepUnchangedBlocks));
        TJpegCodec saved;
        TQpPixelBuffer savedPixels;
        ASSERT_TRUE(saved.Load(Path("out.jpg"), savedPixels));
        EXPECT_EQ(TurnedRightReference(original), AllCoefficients(saved));
        // The decoder's integer transform is not symmetric under transposition, so pixels may differ
        // by rounding, never by more.
        EXPECT_LE(MaxDifference(*turned.GetPixels(), savedPixels), 4);
    }
}

// The same sequence done on the file's bytes (coefficients not yet read) and on coefficients in memory.
class JpegCodecSequenceTest : public JpegCodecTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(JpegCodecSequenceTest, GeometrySequencesStayInStepWithThePixels)
{
    LoadPattern(64, 48, TJSAMP_420);
    if (GetParam()) {
        ASSERT_NE(nullptr, m_codec.Block(0, 0, 0));
    }
    TQpLTBitmap pixels;
    ASSERT_TRUE(pixels.Assign(m_pixels));
    const std::vector<std::pair<const char*, std::function<bool()>>> steps = {
        {"right", [&] { return m_codec.RotateRight() && pixels.RotateRight(); }},
        {"mirror", [&] { return m_codec.FlipHorizontal() && pixels.Mirror(); }},
        {"crop",
         [&] {
             return m_codec.Crop({16, 16, 48, 58}) && pixels.Crop({16, 16, 48, 58});
         }},
        {"left", [&] { return m_codec.RotateLeft() && pixels.RotateLeft(); }},
        {"flip", [&] { return m_codec.FlipVertical() && pixels.Flip(); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(step());
        ASSERT_TRUE(m_codec.CoefficientsInStep());
        ASSERT_EQ(GetParam(), m_codec.CoefficientsRead());
        ASSERT_EQ(pixels.GetWidth(), m_codec.Width());
        ASSERT_EQ(pixels.GetHeight(), m_codec.Height());
        const TQpRect whole{0, 0, m_codec.Width(), m_codec.Height()};
        ASSERT_TRUE(m_codec.Save(Path("out.jpg"), *pixels.GetPixels(), pixels.GetPixels(), whole,
                                 TJpegSaveMode::KeepUnchangedBlocks));
        TQpPixelBuffer saved;
        TImageInfo info;
        ASSERT_TRUE(TImageCodec::Decode(Path("out.jpg"), saved, info));
        EXPECT_LE(MaxDifferenceInside(*pixels.GetPixels(), saved, 2), 6);
        EXPECT_LT(MeanDifference(*pixels.GetPixels(), saved), 0.5);
    }
}

INSTANTIATE_TEST_SUITE_P(BytesAndMemory, JpegCodecSequenceTest, ::testing::Values(false, true));

TEST_F(JpegCodecTest, TransformsOnBytesAndInMemoryAgree)
{
    auto run = [&](bool readFirst) {
        LoadPattern(64, 48, TJSAMP_422);
        if (readFirst)
            m_codec.Block(0, 0, 0);
        m_codec.RotateLeft();
        m_codec.Crop({8, 16, 40, 60});
        m_codec.FlipHorizontal();
        return AllCoefficients(m_codec);
    };
    EXPECT_EQ(run(false), run(true));
}

TEST_F(JpegCodecTest, EdgesThatCutThroughBlocksFallBackToReencoding)
{
    LoadPattern(60, 40, TJSAMP_420); // neither side a multiple of 16
    TQpLTBitmap pixels;
    ASSERT_TRUE(pixels.Assign(m_pixels));
    EXPECT_FALSE(m_codec.FlipHorizontal());
    ASSERT_TRUE(pixels.Mirror());
    EXPECT_FALSE(m_codec.CoefficientsInStep());
    EXPECT_TRUE(m_codec.HoldsImage());
    ASSERT_TRUE(m_codec.Save(Path("out.jpg"), *pixels.GetPixels(), pixels.GetPixels(), {0, 0, 60, 40},
                             TJpegSaveMode::KeepUnchangedBlocks));
    TQpPixelBuffer saved;
    TImageInfo info;
    ASSERT_TRUE(TImageCodec::Decode(Path("out.jpg"), saved, info));
    EXPECT_LE(MeanDifference(*pixels.GetPixels(), saved),
              ReencodeError(*pixels.GetPixels(), TJSAMP_420) * 1.1);

    // A crop whose corner is off the grid re-encodes too; one on the grid keeps the blocks.
    LoadPattern(64, 48, TJSAMP_420);
    EXPECT_FALSE(m_codec.Crop({3, 0, 40, 40}));
    LoadPattern(64, 48, TJSAMP_420);
    TJpegCodec original;
    TQpPixelBuffer originalPixels;
    ASSERT_TRUE(original.Load(Path("in.jpg"), originalPixels));
    ASSERT_TRUE(m_codec.Crop({16, 16, 50, 40}));
    EXPECT_EQ(34, m_codec.Width());
    EXPECT_TRUE(std::equal(m_codec.Block(0, 0, 0), m_codec.Block(0, 0, 0) + 64, original.Block(0, 2, 2)));
    EXPECT_TRUE(std::equal(m_codec.Block(1, 1, 0), m_codec.Block(1, 1, 0) + 64, original.Block(1, 2, 1)));
}

TEST_F(JpegCodecTest, SavingARegionWritesOnlyThatRegion)
{
    LoadPattern(64, 48, TJSAMP_420);
    TJpegCodec original;
    TQpPixelBuffer originalPixels;
    ASSERT_TRUE(original.Load(Path("in.jpg"), originalPixels));
    ASSERT_TRUE(m_codec.Save(Path("out.jpg"), m_pixels, &m_pixels, {16, 0, 48, 30},
                             TJpegSaveMode::KeepUnchangedBlocks));
    TJpegCodec saved;
    TQpPixelBuffer savedPixels;
    ASSERT_TRUE(saved.Load(Path("out.jpg"), savedPixels));
    EXPECT_EQ(32, saved.Width());
    EXPECT_EQ(30, saved.Height());
    EXPECT_TRUE(std::equal(saved.Block(0, 0, 0), saved.Block(0, 0, 0) + 64, original.Block(0, 2, 0)));
    // The codec itself keeps its full size.
    EXPECT_EQ(64, m_codec.Width());

    // An unaligned region is re-encoded from its pixels.
    ASSERT_TRUE(m_codec.Save(Path("odd.jpg"), m_pixels, &m_pixels, {5, 7, 45, 37},
                             TJpegSaveMode::KeepUnchangedBlocks));
    TQpPixelBuffer odd;
    TImageInfo info;
    ASSERT_TRUE(TImageCodec::Decode(Path("odd.jpg"), odd, info));
    ASSERT_EQ(40, odd.Width);
    TQpPixels window;
    window.Init({0, 0, 40, 30}, m_pixels.PixelPtr(5, 7), pfBGR24, m_pixels.Stride);
    EXPECT_LE(MeanDifference(window, odd), ReencodeError(window, TJSAMP_420) * 1.1);
}

} // namespace
