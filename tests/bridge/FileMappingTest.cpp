#include "bridge/FileMapping.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FileMapping, ViewsOfTwoMappingsShareTheFile)
{
    TTempFolder folder;
    const std::string path = folder.File("shared.bin");
    TFileMapping writer;
    ASSERT_TRUE(writer.Create(path));
    EXPECT_EQ(writer.Size(), 0u);
    EXPECT_EQ(writer.Map(0, 0, TMapAccess::Write), nullptr) << "an empty file has nothing to map";
    ASSERT_TRUE(writer.SetSize(10000));
    EXPECT_EQ(writer.Size(), 10000u);
    std::uint8_t* view = writer.Map(0, 0, TMapAccess::Write);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[9999], 0) << "the extension reads as zero bytes";
    std::memcpy(view + 4097, "abc", 3);
    view[9999] = 'z';

    TFileMapping reader;
    ASSERT_TRUE(reader.OpenReadOnly(path));
    // An offset inside the second page: the view must still start at that byte.
    const std::uint8_t* inner = reader.Map(4097, 3, TMapAccess::Read);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(std::memcmp(inner, "abc", 3), 0);
    const std::uint8_t* tail = reader.Map(9999, 0, TMapAccess::Read);
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(tail[0], 'z');
    reader.Unmap(const_cast<std::uint8_t*>(inner));
    writer.Unmap(view);
    EXPECT_EQ(ReadWhole(path).substr(4097, 3), "abc");
}

TEST(FileMapping, MapRefusesRangesOutsideTheFile)
{
    TTempFolder folder;
    TFileMapping mapping;
    ASSERT_TRUE(mapping.Create(folder.File("small.bin")));
    ASSERT_TRUE(mapping.SetSize(100));
    EXPECT_EQ(mapping.Map(100, 0, TMapAccess::Read), nullptr);
    EXPECT_EQ(mapping.Map(50, 51, TMapAccess::Read), nullptr);
    EXPECT_NE(mapping.Map(50, 50, TMapAccess::Read), nullptr);
}

TEST(FileMapping, SetSizeTruncatesAndKeepsTheHead)
{
    TTempFolder folder;
    const std::string path = folder.File("cut.bin");
    {
        std::ofstream out(path, std::ios::binary);
        out << "0123456789";
    }
    TFileMapping mapping;
    ASSERT_TRUE(mapping.Create(path));
    EXPECT_EQ(mapping.Size(), 10u);
    ASSERT_TRUE(mapping.SetSize(4));
    EXPECT_EQ(ReadWhole(path), "0123");
}

TEST(FileMapping, ReadOnlyOpenNeverCreatesNorWrites)
{
    TTempFolder folder;
    const std::string missing = folder.File("missing.jpg");
    TFileMapping mapping;
    EXPECT_FALSE(mapping.OpenReadOnly(missing));
    EXPECT_FALSE(std::filesystem::exists(missing));

    const std::string present = folder.File("present.bin");
    {
        std::ofstream out(present, std::ios::binary);
        out << "data";
    }
    ASSERT_TRUE(mapping.OpenReadOnly(present));
    EXPECT_EQ(mapping.Map(0, 0, TMapAccess::Write), nullptr);
    EXPECT_FALSE(mapping.SetSize(100));
    EXPECT_EQ(ReadWhole(present), "data");
}

TEST(FileMapping, SetSizeReportsAFileEndThatCannotBeSet)
{
    TTempFolder folder;
    TFileMapping mapping;
    ASSERT_TRUE(mapping.Create(folder.File("limited.bin")));
    ASSERT_TRUE(mapping.SetSize(1000));

    // A file size limit makes growing fail the way a full or quota-bound disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool grown = mapping.SetSize(1 << 20);
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_FALSE(grown);
    EXPECT_EQ(mapping.Size(), 1000u);
    EXPECT_EQ(mapping.Map(0, 1 << 20, TMapAccess::Write), nullptr);
}

} // namespace
