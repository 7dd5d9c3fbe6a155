#include "imaging/AlphaChanal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

TAlphaChanal Filled(int w, int h, std::uint8_t v)
{
    TAlphaChanal alpha;
    EXPECT_TRUE(alpha.SetSize(w, h));
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            alpha.SetValue(x, y, v);
        }
    }
    return alpha;
}

} // namespace

TEST(AlphaChanalTest, TextIsVersionMarginsSizeThenOneLinePerColumn)
{
    // A 2 x 3 channel whose farthest non-zero pixel (1, 2) is 1.118 from the centre (0.5, 1):
    // margins -floor(0.5 - 1.118) = 1 and -floor(1 - 1.118) = 1.
    TAlphaChanal alpha;
    ASSERT_TRUE(alpha.SetSize(2, 3));
    alpha.SetValue(1, 2, 255);
    alpha.SetValue(0, 1, 7);
    EXPECT_EQ(alpha.SaveToText(), "2\r\n1\r\n1\r\n2\r\n3\r\n0 7 0 \r\n0 0 255 \r\n");
}

TEST(AlphaChanalTest, OpaqueTenByTenHasMarginsTwoAndReadsBackAsFourteen)
{
    TAlphaChanal alpha = Filled(10, 10, 255);
    const std::string text = alpha.SaveToText();
    EXPECT_EQ(alpha.MarginX(), 2);
    EXPECT_EQ(alpha.MarginY(), 2);

    TAlphaChanal read;
    ASSERT_TRUE(read.LoadFromText(text));
    ASSERT_EQ(read.Width(), 14);
    ASSERT_EQ(read.Height(), 14);
    for (int x = 0; x < 14; ++x) {
        for (int y = 0; y < 14; ++y) {
            const bool inside = x >= 2 && x < 12 && y >= 2 && y < 12;
            ASSERT_EQ(read.Value(x, y), inside ? 255 : 0) << x << "," << y;
        }
    }
}

TEST(AlphaChanalTest, MarginsAreNeverNegativeAndZeroForAnEmptyChannel)
{
    TAlphaChanal alpha;
    ASSERT_TRUE(alpha.SetSize(9, 9));
    alpha.ComputeMargins();
    EXPECT_EQ(alpha.MarginX(), 0);
    EXPECT_EQ(alpha.MarginY(), 0);
    // Only the centre is opaque: d = 0, -floor(4 - 0) would be -4.
    alpha.SetValue(4, 4, 255);
    alpha.ComputeMargins();
    EXPECT_EQ(alpha.MarginX(), 0);
    EXPECT_EQ(alpha.MarginY(), 0);
}

TEST(AlphaChanalTest, VersionOneComputesMarginsAfterReading)
{
    // Version 1 with a 2 x 2 opaque square: centre (0.5, 0.5), d = 0.707, margins -floor(-0.207) = 1.
    TAlphaChanal alpha;
    ASSERT_TRUE(alpha.LoadFromText("1\n2\n2\n255 255 \n255 255 \n"));
    EXPECT_EQ(alpha.MarginX(), 1);
    EXPECT_EQ(alpha.Width(), 4);
    EXPECT_EQ(alpha.Height(), 4);
    EXPECT_EQ(alpha.Value(1, 1), 255);
    EXPECT_EQ(alpha.Value(2, 2), 255);
    EXPECT_EQ(alpha.Value(0, 0), 0);
    EXPECT_EQ(alpha.Value(3, 3), 0);
}

TEST(AlphaChanalTest, UnknownVersionGivesATransparentChannelWithTheCurrentMargins)
{
    TAlphaChanal alpha = Filled(10, 10, 255);
    alpha.ComputeMargins();
    ASSERT_TRUE(alpha.LoadFromText("7\r\n3\r\n4\r\n"));
    EXPECT_EQ(alpha.Width(), 3 + 4);
    EXPECT_EQ(alpha.Height(), 4 + 4);
    EXPECT_EQ(alpha.Value(3, 3), 0);
}

TEST(AlphaChanalTest, DamagedTextFailsAndLeavesAnEmptyChannel)
{
    const char* bad[] = {
        "",
        "2\r\n0\r\n0\r\n2\r\n2\r\n1 2 3 \r\n",    // three values for four pixels
        "2\r\n0\r\n0\r\n2\r\n2\r\n1 2 x 4 \r\n",  // malformed number
        "2\r\n-3\r\n0\r\n2\r\n2\r\n1 2 3 4 \r\n", // negative margin
        "2\r\n99\r\n0\r\n2\r\n2\r\n1 2 3 4 \r\n", // margin beyond W + H
        "2\r\n0\r\n0\r\n-2\r\n2\r\n",             // negative width
        "2\r\n0\r\n0\r\n40000\r\n2\r\n",          // side beyond the limit
        "2\r\n0\r\n0\r\n30000\r\n30000\r\n",      // absurd area, refused before allocating
        "2\r\n0\r\n0\r\n99999999999999999999\r\n2\r\n",
        "9\r\n30000\r\n30000\r\n",
    };
    for (const char* text : bad) {
        TAlphaChanal alpha = Filled(3, 3, 9);
        EXPECT_FALSE(alpha.LoadFromText(text)) << text;
        EXPECT_EQ(alpha.Width(), 0) << text;
        EXPECT_EQ(alpha.Value(0, 0), 0) << text;
    }
}

TEST(AlphaChanalTest, ValuesBeyondAByteAreClampedAndLineFeedsAreAccepted)
{
    TAlphaChanal alpha;
    ASSERT_TRUE(alpha.LoadFromText("2\n0\n0\n1\n2\n300 -5 \n"));
    EXPECT_EQ(alpha.Value(0, 0), 255);
    EXPECT_EQ(alpha.Value(0, 1), 0);
}

TEST(AlphaChanalTest, SmoothDividesByFiveEvenAtTheBorder)
{
    TAlphaChanal alpha = Filled(4, 3, 255);
    alpha.Smooth();
    EXPECT_EQ(alpha.Value(1, 1), 255);
    EXPECT_EQ(alpha.Value(2, 1), 255);
    EXPECT_EQ(alpha.Value(1, 0), 204);
    EXPECT_EQ(alpha.Value(0, 1), 204);
    EXPECT_EQ(alpha.Value(3, 2), 153);
    EXPECT_EQ(alpha.Value(0, 0), 153);
}

TEST(AlphaChanalTest, SmoothReadsFromACopyAndRounds)
{
    // A 255 in the middle of a 3 x 3 spreads 51 to itself and its neighbours.
    TAlphaChanal alpha;
    ASSERT_TRUE(alpha.SetSize(3, 3));
    alpha.SetValue(1, 1, 255);
    // Corner (0, 0): 3 / 5 = 0.6 -> 1; its neighbour (0, 1): (3 + 255) / 5 = 51.6 -> 52.
    alpha.SetValue(0, 0, 3);
    alpha.Smooth();
    EXPECT_EQ(alpha.Value(1, 1), 51);
    EXPECT_EQ(alpha.Value(0, 0), 1);
    EXPECT_EQ(alpha.Value(0, 1), 52);
    EXPECT_EQ(alpha.Value(2, 1), 51);
    EXPECT_EQ(alpha.Value(2, 2), 0);
}

TEST(AlphaChanalTest, FileRoundTripAndOutsideReadsAreSafe)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "alpha-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    TAlphaChanal alpha = Filled(10, 10, 255);
    ASSERT_TRUE(alpha.SaveToFile((dir / "a.txt").string()));
    TAlphaChanal read;
    ASSERT_TRUE(read.LoadFromFile((dir / "a.txt").string()));
    EXPECT_EQ(read.Width(), 14);
    EXPECT_FALSE(read.LoadFromFile((dir / "missing.txt").string()));
    EXPECT_EQ(read.Value(-1, 0), 0);
    EXPECT_EQ(read.Value(0, 99), 0);
    std::filesystem::remove_all(dir);
}
