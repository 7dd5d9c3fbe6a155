#include "imaging/Thumbnail.h"
#include "imaging/ThumbnailFiles.h"
#include "imaging/ThumbnailList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

class ThumbnailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "thumbnail-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void WriteBytes(const std::string& file, const std::vector<std::uint8_t>& bytes) const
    {
        std::ofstream out(m_dir / file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<std::uint8_t> ReadBytes(const std::string& file) const
    {
        return ReadWholeFile(m_dir / file).value();
    }
    void Touch(const std::string& file) const { WriteBytes(file, {}); }

    fs::path m_dir;
};

} // namespace

TEST_F(ThumbnailTest, FileIsKindSizeThenRedGreenBlueColumnByColumn)
{
    TThumbnail thumbnail(2, TThumbnail::kCutout, 3);
    thumbnail.SetPixel(0, 1, 0x102030); // red 0x10, green 0x20, blue 0x30
    thumbnail.SetPixel(1, 0, 0xA0B0C0);
    ASSERT_TRUE(thumbnail.SaveToFile(m_dir, "000004"));
    EXPECT_EQ(thumbnail.Name(), "000004");
    const std::vector<std::uint8_t> expected = {1, 2,    3,    0,    0, 0, 0x10, 0x20, 0x30, 0, 0,
                                                0, 0xA0, 0xB0, 0xC0, 0, 0, 0,    0,    0,    0};
    EXPECT_EQ(ReadBytes("000004.tmb"), expected);

    const TThumbnail read = TThumbnail::CreateFromFile(m_dir, "000004");
    EXPECT_TRUE(read.Valid());
    EXPECT_EQ(read.Kind(), 1);
    EXPECT_EQ(read.PixelAt(0, 1), 0x102030u);
    EXPECT_EQ(read.PixelAt(1, 0), 0xA0B0C0u);
}

TEST_F(ThumbnailTest, SeventyTwoSquareFileHas15555Bytes)
{
    TThumbnail thumbnail(TThumbnail::kSize, TThumbnail::kPicture, TThumbnail::kSize);
    ASSERT_TRUE(thumbnail.SaveToFile(m_dir, "000001"));
    EXPECT_EQ(fs::file_size(m_dir / "000001.tmb"), 15555u);
    // Items are ordinary user files, not the private mode a temporary file starts with.
    struct stat info
    {
    };
    ASSERT_EQ(::stat((m_dir / "000001.tmb").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(ThumbnailTest, BadKindShortOrEmptyFilesGiveInvalidBlackThumbnails)
{
    std::vector<std::uint8_t> good(3 + 12, 0xFF);
    good[0] = good[1] = good[2] = 2;
    WriteBytes("000001.tmb", good);
    std::vector<std::uint8_t> badKind = good;
    badKind[0] = 3;
    WriteBytes("000002.tmb", badKind);
    WriteBytes("000003.tmb", std::vector<std::uint8_t>(good.begin(), good.end() - 1));
    WriteBytes("000004.tmb", {1, 0, 72});
    WriteBytes("000005.tmb", {1});
    Touch("000006.tmb");

    EXPECT_TRUE(TThumbnail::CreateFromFile(m_dir, "000001").Valid());
    EXPECT_EQ(TThumbnail::CreateFromFile(m_dir, "000001").PixelAt(1, 1), 0xFFFFFFu);
    for (const char* name : {"000002", "000003", "000004", "000005", "000006", "000099"}) {
        const TThumbnail thumbnail = TThumbnail::CreateFromFile(m_dir, name);
        EXPECT_FALSE(thumbnail.Valid()) << name;
        EXPECT_EQ(thumbnail.PixelAt(1, 1), 0u) << name;
        EXPECT_EQ(thumbnail.PixelAt(71, 71), 0u) << name;
    }
    // A valid 2 x 2 thumbnail read as the 72 x 72 grid expects is black outside.
    EXPECT_EQ(TThumbnail::CreateFromFile(m_dir, "000001").PixelAt(71, 71), 0u);
}

TEST_F(ThumbnailTest, CheckerboardAlternatesInFourPixelCells)
{
    TThumbnail thumbnail(8, TThumbnail::kCutout, 8);
    thumbnail.Checkerboard();
    EXPECT_EQ(thumbnail.PixelAt(0, 0), 0xA9A9A9u);
    EXPECT_EQ(thumbnail.PixelAt(3, 3), 0xA9A9A9u);
    EXPECT_EQ(thumbnail.PixelAt(4, 0), 0xFEFFFFu); // colour value 0xFFFFFE: red 0xFE
    EXPECT_EQ(thumbnail.PixelAt(0, 7), 0xFEFFFFu);
    EXPECT_EQ(thumbnail.PixelAt(7, 7), 0xA9A9A9u);
}

TEST_F(ThumbnailTest, NewItemNameCountsOnFromTheLargestSixDigitName)
{
    EXPECT_EQ(NewItemName(m_dir), "000001");
    Touch("000009.tmb");
    Touch("000003.tmb");
    EXPECT_EQ(NewItemName(m_dir), "000010");
    // Names that are not six digits sort above the digits but are no numbers.
    Touch("abcdef.tmb");
    Touch("1000000.tmb");
    Touch("000500.jpg");
    EXPECT_EQ(NewItemName(m_dir), "000010");
}

TEST_F(ThumbnailTest, PastTheLastNumberTheLowestFreeOneIsTaken)
{
    Touch("999999.tmb");
    Touch("000001.tmb");
    Touch("000002.tmb");
    EXPECT_EQ(NewItemName(m_dir), "000003");
}

TEST_F(ThumbnailTest, ReservedNamesAreNeverHandedOutTwice)
{
    std::vector<std::string> names(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < names.size(); ++i) {
        threads.emplace_back([&, i] { names[i] = ReserveNewItemName(m_dir); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names.front(), "000001");
    EXPECT_EQ(names.back(), "000008");
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

TEST_F(ThumbnailTest, ListLoadsSortedItemsIncludingInvalidOnes)
{
    TThumbnail(2, TThumbnail::kPicture, 2).SaveToFile(m_dir, "000007");
    TThumbnail(2, TThumbnail::kCutout, 2).SaveToFile(m_dir, "000002");
    WriteBytes("000005.TMB", {9, 9, 9});
    Touch("0000011.tmb");
    Touch("000003.alp");

    TThumbnailList list(m_dir);
    EXPECT_TRUE(list.NoneSelected());
    LoadAllItems(list);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Name(0), "000002");
    EXPECT_EQ(list.Name(1), "000005");
    EXPECT_EQ(list.Name(2), "000007");
    EXPECT_EQ(list.Kind(0), 1);
    EXPECT_EQ(list.Kind(1), 0);
    EXPECT_EQ(list.Kind(2), 2);
    EXPECT_EQ(list.CurrentName(), "000007");
    EXPECT_EQ(list.Name(3), "");
    EXPECT_EQ(list.Name(-1), "");
    EXPECT_EQ(list.PixelAt(1, 0, 0), 0u);
    EXPECT_EQ(list.PixelAt(9, 0, 0), 0u);

    list.Delete(2);
    EXPECT_EQ(list.Current(), 1);
    list.Select(0);
    list.Delete(1);
    EXPECT_EQ(list.Current(), 0);
    list.Delete(0);
    EXPECT_TRUE(list.NoneSelected());
    list.Delete(0);
    EXPECT_EQ(list.Count(), 0);

    AddNewestItem(list);
    EXPECT_EQ(list.CurrentName(), "000007");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.NoneSelected());
}

TEST_F(ThumbnailTest, DeleteItemFilesRemovesAllFourAndNothingElse)
{
    for (const char* file : {"000001.tmb", "000001.alp", "000001.jpg", "000001.png", "000002.tmb"}) {
        Touch(file);
    }
    DeleteItemFiles(m_dir, "000001");
    EXPECT_EQ(ItemNames(m_dir), std::vector<std::string>{"000002"});
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(ThumbnailTest, ZlibRoundTripAndDamagedStreams)
{
    const std::string text = "2\r\n0\r\n0\r\n1\r\n3\r\n0 255 0 \r\n";
    const auto packed = CompressBytes(text);
    ASSERT_TRUE(packed);
    // A zlib header for level 9 ends its second byte in 0xDA.
    ASSERT_GE(packed->size(), 2u);
    EXPECT_EQ((*packed)[0], 0x78);
    EXPECT_EQ((*packed)[1], 0xDA);
    EXPECT_EQ(DecompressBytes(*packed), text);

    std::vector<std::uint8_t> truncated(packed->begin(), packed->end() - 3);
    EXPECT_FALSE(DecompressBytes(truncated));
    std::vector<std::uint8_t> corrupt = *packed;
    corrupt[corrupt.size() / 2] ^= 0xFF;
    corrupt.back() ^= 0xFF; // the checksum at least is wrong
    EXPECT_FALSE(DecompressBytes(corrupt));
    std::vector<std::uint8_t> trailing = *packed;
    trailing.push_back(0);
    EXPECT_FALSE(DecompressBytes(trailing));
    EXPECT_FALSE(DecompressBytes({}));
    // A stream that inflates beyond the cap is refused instead of filling memory.
    const auto bomb = CompressBytes(std::string(1 << 20, '0'));
    EXPECT_FALSE(DecompressBytes(*bomb, 1000));

    WriteBytes("plain", std::vector<std::uint8_t>(text.begin(), text.end()));
    ASSERT_TRUE(CompressFile(m_dir / "plain", m_dir / "packed"));
    ASSERT_TRUE(DecompressFile(m_dir / "packed", m_dir / "unpacked"));
    EXPECT_EQ(ReadBytes("unpacked"), std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST_F(ThumbnailTest, FailedReplaceKeepsTheOldFileAndLeavesNoScraps)
{
    WriteBytes("000001.tmb", {1, 2, 3});
    ASSERT_TRUE(WriteFileReplacing(m_dir / "000001.tmb", "abcd", 4));
    EXPECT_EQ(ReadBytes("000001.tmb"), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd'}));
    // A directory in the way: the write fails and nothing is left behind.
    fs::create_directory(m_dir / "blocked");
    Touch("blocked/keep");
    EXPECT_FALSE(WriteFileReplacing(m_dir / "blocked", "x", 1));
    EXPECT_TRUE(fs::exists(m_dir / "blocked" / "keep"));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
}

TEST_F(ThumbnailTest, TemporaryFilesAreUniqueAndTheFolderIsCreated)
{
    const fs::path folder = ObjectsFolder(m_dir / "data");
    EXPECT_TRUE(fs::is_directory(m_dir / "data" / "Velmora"));
    EXPECT_EQ(folder.filename(), "");
    const fs::path a = TempFileName(folder);
    const fs::path b = TempFileName(folder);
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(fs::exists(a));
    EXPECT_TRUE(fs::exists(b));
}
