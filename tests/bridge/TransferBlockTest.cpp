#include "bridge/TransferBlock.h"

#include "TempFolder.h"
#include "support/FullDisk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>

namespace {

using TBytes = std::vector<std::uint8_t>;

void PutInt32(TBytes& bytes, std::size_t offset, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// A block with the given descriptor fields, `pixelBytes` pixel bytes counting 1, 2, 3, ... and `extra`
// zero bytes after them.
TBytes MakeBlock(std::int32_t mode, std::int32_t width, std::int32_t height, std::int32_t rowBytes,
                 std::int32_t planes, std::size_t pixelBytes, std::size_t extra = 0,
                 std::int32_t descriptorSize = 32)
{
    const std::size_t start = 4 + static_cast<std::size_t>(descriptorSize);
    TBytes bytes(start + pixelBytes + extra, 0);
    std::memcpy(bytes.data(), "PSPF", 4);
    PutInt32(bytes, 4, descriptorSize);
    PutInt32(bytes, 8, mode);
    PutInt32(bytes, 12, 7);
    PutInt32(bytes, 16, 9);
    PutInt32(bytes, 20, width);
    PutInt32(bytes, 24, height);
    PutInt32(bytes, 28, rowBytes);
    PutInt32(bytes, 32, planes);
    for (std::size_t i = 0; i < pixelBytes; ++i)
        bytes[start + i] = static_cast<std::uint8_t>(i + 1);
    return bytes;
}

TBytes WithField(TBytes block, std::size_t offset, std::int32_t value)
{
    PutInt32(block, offset, value);
    return block;
}

void WriteFile(const std::string& path, const TBytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TBytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TransferBlockLayout, HundredByFiftySelectionHeader)
{
    EXPECT_EQ(TransferBlockSize(50, 300), std::optional<std::size_t>(15036));
    TTransferDescriptor d;
    d.Left = 20;
    d.Top = 30;
    d.Width = 100;
    d.Height = 50;
    d.RowBytes = 300;
    TBytes header(36, 0xEE);
    WriteTransferHeader(header.data(), d);
    const TBytes expected = {'P', 'S', 'P', 'F', 32, 0, 0,  0, 3, 0, 0,  0, 20, 0, 0, 0, 30, 0,
                             0,   0,   100, 0,   0,  0, 50, 0, 0, 0, 44, 1, 0,  0, 3, 0, 0,  0};
    EXPECT_EQ(header, expected);
    EXPECT_EQ(ReadTransferDescriptor(header.data()), d);
}

TEST(TransferBlockLayout, SizesAreOverflowChecked)
{
    EXPECT_EQ(TransferBlockSize(0, 0), std::optional<std::size_t>(36));
    EXPECT_FALSE(TransferBlockSize(-1, 4));
    EXPECT_FALSE(TransferBlockSize(4, -1));
    // 2^31 - 1 squared still fits 64 bits; the point is that no 32-bit product wraps.
    EXPECT_EQ(TransferBlockSize(0x7fffffff, 0x7fffffff),
              std::optional<std::size_t>(36 + 0x3fffffff00000001ull));
    EXPECT_EQ(ProgramRowBytes(0), std::optional<std::size_t>(0));
    EXPECT_EQ(ProgramRowBytes(1), std::optional<std::size_t>(4));
    EXPECT_EQ(ProgramRowBytes(2), std::optional<std::size_t>(8));
    EXPECT_EQ(ProgramRowBytes(4), std::optional<std::size_t>(12));
    EXPECT_EQ(ProgramRowBytes(5), std::optional<std::size_t>(16));
    EXPECT_FALSE(ProgramRowBytes(-3));
}

TEST(TransferBlockCheck, AcceptsAnExactFitAndFindsThePixels)
{
    const TBytes block = MakeBlock(3, 2, 3, 7, 3, 21);
    const auto layout = CheckTransferBlock(block.data(), block.size(), TBlockReader::Program);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->PixelOffset, 36u);
    EXPECT_EQ(layout->PixelEnd, 57u);
    EXPECT_EQ(layout->ExifLength, 0u);
    EXPECT_EQ(layout->Descriptor.Left, 7);
    EXPECT_EQ(layout->Descriptor.Top, 9);
}

TEST(TransferBlockCheck, RejectsCraftedDescriptors)
{
    struct TCase
    {
        const char* What;
        TBytes Block;
    };
    TBytes noMagic = MakeBlock(3, 2, 2, 6, 3, 12);
    noMagic[3] = 'X';
    TBytes shortHeader = MakeBlock(3, 2, 2, 6, 3, 12);
    shortHeader.resize(30);
    const TCase cases[] = {
        {"no magic", noMagic},
        {"header cut short", shortHeader},
        {"huge width", MakeBlock(3, 0x7fffffff, 1, 0x7fffffff, 3, 64)},
        {"row bytes below width x planes", MakeBlock(3, 4, 2, 11, 3, 22)},
        {"pixel area one byte past the end", MakeBlock(3, 2, 2, 6, 3, 11)},
        {"height x row bytes wraps 32 bits", MakeBlock(3, 1, 65536, 65536, 3, 64)},
        {"zero width", MakeBlock(3, 0, 2, 6, 3, 12)},
        {"negative height", MakeBlock(3, 2, -2, 6, 3, 12)},
        {"negative row bytes", MakeBlock(3, 2, 2, -6, 3, 12)},
        {"two planes", MakeBlock(3, 2, 2, 4, 2, 8)},
        {"negative planes", MakeBlock(3, 2, 2, 6, -3, 12)},
        {"descriptor size below 32", MakeBlock(3, 2, 2, 6, 3, 12, 0, 28)},
        {"descriptor size past the end", WithField(MakeBlock(3, 2, 2, 6, 3, 12), 4, 0x7ffffff0)},
        {"width x planes wraps 32 bits", MakeBlock(3, 0x40000000, 1, 0x7fffffff, 3, 64)},
    };
    for (const TCase& c : cases) {
        // A copy of exactly the block's length lets ASan see any read past it.
        const auto exact = std::make_unique<std::uint8_t[]>(c.Block.size());
        std::memcpy(exact.get(), c.Block.data(), c.Block.size());
        EXPECT_FALSE(CheckTransferBlock(exact.get(), c.Block.size(), TBlockReader::Program)) << c.What;
        EXPECT_FALSE(CheckTransferBlock(exact.get(), c.Block.size(), TBlockReader::PlugIn)) << c.What;
    }
}

TEST(TransferBlockCheck, DescriptorSizeMattersOnlyToThePlugIn)
{
    // Eight unknown descriptor bytes: the plug-in skips them, the program wants exactly 32.
    const TBytes block = MakeBlock(3, 2, 2, 6, 3, 12, 0, 40);
    EXPECT_FALSE(CheckTransferBlock(block.data(), block.size(), TBlockReader::Program));
    const auto layout = CheckTransferBlock(block.data(), block.size(), TBlockReader::PlugIn);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->PixelOffset, 44u);
    EXPECT_EQ(layout->PixelEnd, 56u);
}

// A 1 x 1 block followed by a trailer of `rest` bytes that starts with "EXIF" and the length L.
TBytes BlockWithTrailer(std::size_t rest, std::int32_t length)
{
    TBytes block = MakeBlock(3, 1, 1, 3, 3, 3, rest);
    std::memcpy(block.data() + 39, "EXIF", 4);
    PutInt32(block, 43, length);
    return block;
}

TEST(TransferBlockCheck, TrailerIsUsedOnlyWhenItFitsTheFile)
{
    // 497 bytes after the pixels: the smallest trailer that is looked at; 8 of them are tag and length.
    auto layout = CheckTransferBlock(BlockWithTrailer(497, 489).data(), 39 + 497, TBlockReader::Program);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->ExifOffset, 47u);
    EXPECT_EQ(layout->ExifLength, 489u);

    const struct
    {
        const char* What;
        std::size_t Rest;
        std::int32_t Length;
    } refused[] = {
        {"L one byte past the end", 497, 490},
        {"L far past the end", 497, 0x7fffffff},
        {"negative L", 497, -1},
        {"empty body", 497, 0},
        {"only 496 bytes follow", 496, 100},
        {"L beyond one APP1 segment", 70000, 65528},
    };
    for (const auto& c : refused) {
        const TBytes block = BlockWithTrailer(c.Rest, c.Length);
        layout = CheckTransferBlock(block.data(), block.size(), TBlockReader::Program);
        ASSERT_TRUE(layout) << c.What << ": a bad trailer does not spoil the pixels";
        EXPECT_EQ(layout->ExifLength, 0u) << c.What;
    }
    const TBytes largest = BlockWithTrailer(70000, 65527);
    EXPECT_EQ(CheckTransferBlock(largest.data(), largest.size(), TBlockReader::Program)->ExifLength, 65527u);
}

TEST(TransferBlockProgram, LoadsRedGreenBlueIntoBlueGreenRedIgnoringFurtherPlanes)
{
    TTempFolder folder;
    const std::string path = folder.File("PSPF1A.tmp");
    // 2 x 2, 4 planes, odd row bytes 9: each row holds 8 pixel bytes and one padding byte.
    WriteFile(path, MakeBlock(3, 2, 2, 9, 4, 18));
    const auto image = LoadTransferBlock(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Width, 2);
    EXPECT_EQ(image->Height, 2);
    EXPECT_EQ(image->Stride, 8u);
    // Row 0: pixels (1,2,3,4) (5,6,7,8); row 1 starts at byte 9: (10,11,12,13) (14,15,16,17).
    const TBytes expected = {3, 2, 1, 7, 6, 5, 0, 0, 12, 11, 10, 16, 15, 14, 0, 0};
    EXPECT_EQ(image->Pixels, expected);
    EXPECT_TRUE(image->Exif.empty());
}

TEST(TransferBlockProgram, LoadsTheExifBody)
{
    TTempFolder folder;
    const std::string path = folder.File("exif.tmp");
    TBytes block = BlockWithTrailer(600, 4);
    std::memcpy(block.data() + 47, "II*\0", 4);
    WriteFile(path, block);
    const auto image = LoadTransferBlock(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Exif, (TBytes{'I', 'I', '*', 0}));
}

TEST(TransferBlockProgram, FilesThatAreNoBlock)
{
    TTempFolder folder;
    const std::string greyMode = folder.File("mode1.tmp");
    WriteFile(greyMode, MakeBlock(1, 2, 2, 6, 3, 12));
    EXPECT_FALSE(LoadTransferBlock(greyMode)) << "mode 1 is left to the ordinary formats";

    const std::string empty = folder.File("empty.tmp");
    WriteFile(empty, {});
    EXPECT_FALSE(LoadTransferBlock(empty));

    const std::string truncated = folder.File("truncated.tmp");
    WriteFile(truncated, MakeBlock(3, 100, 50, 300, 3, 14999));
    EXPECT_FALSE(LoadTransferBlock(truncated));

    const std::string missing = folder.File("missing.tmp");
    EXPECT_FALSE(LoadTransferBlock(missing));
    EXPECT_FALSE(std::filesystem::exists(missing)) << "probing must not create the file";
}

TEST(TransferBlockProgram, SaveWritesExactlyTheImageAndDropsTheTrailer)
{
    TTempFolder folder;
    const std::string path = folder.File("PSPF2B.tmp");
    WriteFile(path, BlockWithTrailer(900, 64));
    // 2 x 2 blue-green-red with a stride of 8 (2 padding bytes filled with 0xAA).
    const TBytes bgr = {10, 20, 30, 40, 50, 60, 0xAA, 0xAA, 70, 80, 90, 100, 110, 120, 0xAA, 0xAA};
    ASSERT_TRUE(SaveTransferBlock(path, 2, 2, bgr.data(), 8));
    const TBytes expected = {'P', 'S', 'P', 'F', 32, 0,  0, 0, 3,  0,  0,  0,   0,   0,   0, 0, 0, 0,
                             0,   0,   2,   0,   0,  0,  2, 0, 0,  0,  8,  0,   0,   0,   3, 0, 0, 0,
                             30,  20,  10,  60,  50, 40, 0, 0, 90, 80, 70, 120, 110, 100, 0, 0};
    EXPECT_EQ(ReadFile(path), expected);

    const auto image = LoadTransferBlock(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Pixels, (TBytes{10, 20, 30, 40, 50, 60, 0, 0, 70, 80, 90, 100, 110, 120, 0, 0}));
}

TEST(TransferBlockProgram, AFullDiskFailsTheWriteBackWithoutAFault)
{
    TTempFolder folder;
    const std::string path = folder.File("PSPF2C.tmp");
    const TBytes bgr(300 * 200, 7);
    {
        TFullDisk full(1000);
        EXPECT_FALSE(SaveTransferBlock(path, 100, 200, bgr.data(), 300));
    }
    // The plug-in then refuses what it finds, as it does any damaged block.
    EXPECT_FALSE(LoadTransferBlock(path));
    EXPECT_TRUE(SaveTransferBlock(path, 100, 200, bgr.data(), 300));
}

TEST(TransferBlockProgram, SaveRefusesAnEmptyImage)
{
    TTempFolder folder;
    const TBytes bgr(8, 0);
    EXPECT_FALSE(SaveTransferBlock(folder.File("a.tmp"), 0, 2, bgr.data(), 4));
    EXPECT_FALSE(SaveTransferBlock(folder.File("b.tmp"), 2, -1, bgr.data(), 8));
}

class TransferResult : public ::testing::Test
{
protected:
    TTransferDescriptor Sent(std::int32_t width, std::int32_t height, std::int32_t planes) const
    {
        TTransferDescriptor d;
        d.Width = width;
        d.Height = height;
        d.Planes = planes;
        return d;
    }
};

TEST_F(TransferResult, EqualPlanesCopyOnlyEachRowsPixels)
{
    // Block rows of 7 bytes, host rows of 8, 6 pixel bytes a row: the bytes after the pixels belong to
    // the host (pixels outside the rectangle, or the end of its buffer) and keep their values.
    const TBytes block = MakeBlock(3, 2, 2, 7, 3, 14);
    TBytes host(14, 0xEE);
    ASSERT_EQ(CopyTransferResult(block.data(), block.size(), Sent(2, 2, 3), host.data(), 8, 3),
              TResultStatus::Accepted);
    EXPECT_EQ(host, (TBytes{1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 8, 9, 10, 11, 12, 13}));

    // Host rows exactly as long as the pixels.
    TBytes narrow(12, 0xEE);
    ASSERT_EQ(CopyTransferResult(block.data(), block.size(), Sent(2, 2, 3), narrow.data(), 6, 3),
              TResultStatus::Accepted);
    EXPECT_EQ(narrow, (TBytes{1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13}));
}

TEST_F(TransferResult, ThreePlaneResultKeepsTheHostsTransparency)
{
    const TBytes block = MakeBlock(3, 2, 1, 6, 3, 6);
    TBytes host = {0, 0, 0, 200, 0, 0, 0, 201, 0xEE};
    ASSERT_EQ(CopyTransferResult(block.data(), block.size(), Sent(2, 1, 4), host.data(), 9, 4),
              TResultStatus::Accepted);
    EXPECT_EQ(host, (TBytes{1, 2, 3, 200, 4, 5, 6, 201, 0xEE}));
}

TEST_F(TransferResult, MismatchOrMissingMagicCopiesNothing)
{
    const TBytes original(24, 0xEE);
    TBytes host = original;
    const TBytes cropped = MakeBlock(3, 1, 2, 3, 3, 6);
    EXPECT_EQ(CopyTransferResult(cropped.data(), cropped.size(), Sent(2, 2, 3), host.data(), 12, 3),
              TResultStatus::Rejected);
    const TBytes otherMode = MakeBlock(1, 2, 2, 6, 3, 12);
    EXPECT_EQ(CopyTransferResult(otherMode.data(), otherMode.size(), Sent(2, 2, 3), host.data(), 12, 3),
              TResultStatus::Rejected);
    TBytes noMagic = MakeBlock(3, 2, 2, 6, 3, 12);
    noMagic[0] = 0;
    EXPECT_EQ(CopyTransferResult(noMagic.data(), noMagic.size(), Sent(2, 2, 3), host.data(), 12, 3),
              TResultStatus::NotABlock);
    EXPECT_EQ(CopyTransferResult(noMagic.data(), 2, Sent(2, 2, 3), host.data(), 12, 3),
              TResultStatus::NotABlock);
    EXPECT_EQ(host, original);
}

TEST_F(TransferResult, CraftedResultsAreRejectedWithoutReadingPastTheBlock)
{
    const TBytes original(24, 0xEE);
    const TBytes crafted[] = {
        MakeBlock(3, 2, 2, 5, 3, 10),                            // row bytes below width x planes
        MakeBlock(3, 2, 2, 6, 3, 11),                            // pixel area past the end
        WithField(MakeBlock(3, 2, 2, 6, 3, 12), 32, 0),          // zero planes
        WithField(MakeBlock(3, 2, 2, 6, 3, 12), 4, 0x7ffffffc),  // descriptor size past the end
        WithField(MakeBlock(3, 2, 2, 6, 3, 12), 28, 0x7fffffff), // row bytes past the end
    };
    for (const TBytes& block : crafted) {
        const auto exact = std::make_unique<std::uint8_t[]>(block.size());
        std::memcpy(exact.get(), block.data(), block.size());
        TBytes host = original;
        EXPECT_EQ(CopyTransferResult(exact.get(), block.size(), Sent(2, 2, 3), host.data(), 12, 3),
                  TResultStatus::Rejected);
        EXPECT_EQ(host, original);
    }
}

} // namespace
