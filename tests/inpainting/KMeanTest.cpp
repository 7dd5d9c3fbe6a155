#include "inpainting/KMean.h"

#include <gtest/gtest.h>

namespace {
constexpr std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    return red << 16 | green << 8 | blue;
}
} // namespace

TEST(KMeanTest, HistogramListsDistinctColoursInOrderOfArrival)
{
    TKMean kMean(2, 2);
    EXPECT_TRUE(kMean.AddColor(Rgb(1, 2, 3)));
    EXPECT_TRUE(kMean.AddColor(Rgb(200, 0, 0)));
    EXPECT_TRUE(kMean.AddColor(Rgb(1, 2, 3)));
    EXPECT_TRUE(kMean.AddColor(Rgb(0, 0, 9))); // grows past the capacity of 2
    ASSERT_EQ(kMean.ColourCount(), 3u);
    EXPECT_EQ(kMean.Colour(0).Red, 1);
    EXPECT_EQ(kMean.Colour(0).Green, 2);
    EXPECT_EQ(kMean.Colour(0).Blue, 3);
    EXPECT_EQ(kMean.Colour(0).Count, 2);
    EXPECT_EQ(kMean.Colour(0).Cluster, 0);
    EXPECT_EQ(kMean.Colour(1).Red, 200);
    EXPECT_EQ(kMean.Colour(2).Blue, 9);
    EXPECT_EQ(kMean.IndexOfColour(Rgb(0, 0, 9)), 2);
    EXPECT_EQ(kMean.IndexOfColour(Rgb(0, 0, 8)), -1);
}

TEST(KMeanTest, ReassignmentCountsOnASmallPalette)
{
    // Reds 0 (x3), 10 (x1), 200 (x2), 210 (x1); centres at 0 and 10, everything starts in cluster 0.
    TKMean kMean(4, 2);
    for (const auto& [red, count] : {std::pair{0u, 3}, {10u, 1}, {200u, 2}, {210u, 1}}) {
        for (int i = 0; i < count; ++i)
            kMean.AddColor(Rgb(red, 0, 0));
    }
    kMean.AddCentre(Rgb(0, 0, 0), true);
    kMean.AddCentre(Rgb(10, 0, 0), true);

    // 10, 200 and 210 are nearer to 10. Centre 1 becomes (10 + 2 * 200 + 210) / 4 = 155.
    EXPECT_EQ(kMean.Iterate(), 3);
    EXPECT_EQ(kMean.Centre(0).Weight, 3);
    EXPECT_EQ(kMean.Centre(1).Weight, 4);
    EXPECT_EQ(kMean.Centre(0).Red, 0.0f);
    EXPECT_EQ(kMean.Centre(1).Red, 155.0f);
    EXPECT_DOUBLE_EQ(kMean.Total(), 0.0 + 0.0 + 2 * 190.0 + 200.0);

    // Only 10 moves back (10 from 0 against 145 from 155); centres 2.5 and 610 / 3.
    EXPECT_EQ(kMean.Iterate(), 1);
    EXPECT_EQ(kMean.Colour(1).Cluster, 0);
    EXPECT_EQ(kMean.Centre(0).Red, 2.5f);
    EXPECT_EQ(kMean.Centre(1).Red, 610.0f * (1.0f / 3.0f));
    EXPECT_DOUBLE_EQ(kMean.Total(), 0.0 + 10.0 + 2 * 45.0 + 55.0);

    EXPECT_EQ(kMean.Iterate(), 0);
    EXPECT_EQ(kMean.Colour(0).Cluster, 0);
    EXPECT_EQ(kMean.Colour(2).Cluster, 1);
    EXPECT_EQ(kMean.Colour(3).Cluster, 1);
}

TEST(KMeanTest, OnlyStrictlyNearerCentresReassignAndFixedCentresStay)
{
    TKMean kMean(1, 2);
    kMean.AddColor(Rgb(0, 10, 0));
    kMean.AddCentre(Rgb(0, 0, 0), false);
    kMean.AddCentre(Rgb(0, 20, 0), true);
    EXPECT_EQ(kMean.Iterate(), 0) << "a tie keeps the colour where it is";
    EXPECT_EQ(kMean.Colour(0).Cluster, 0);
    EXPECT_EQ(kMean.Centre(0).Weight, 1);
    EXPECT_EQ(kMean.Centre(0).Green, 0.0f) << "a centre that is not movable is never recomputed";
    EXPECT_EQ(kMean.Centre(1).Green, 20.0f) << "an empty centre keeps its colour";
}

TEST(KMeanTest, ColourListStopsSafelyAt65535Colours)
{
    TKMean kMean(16, 2);
    for (std::uint32_t c = 0; c < TKMean::kMaxColours; ++c)
        ASSERT_TRUE(kMean.AddColor(c));
    EXPECT_EQ(kMean.ColourCount(), 65535u);
    EXPECT_FALSE(kMean.AddColor(65535)) << "a 65,536th colour has no index left";
    EXPECT_EQ(kMean.ColourCount(), 65535u);
    EXPECT_EQ(kMean.IndexOfColour(65535), -1);
    EXPECT_TRUE(kMean.AddColor(65534)) << "known colours are still counted";
    EXPECT_EQ(kMean.Colour(65534).Count, 2);
}

TEST(KMeanTest, EachInstanceStartsWithAnEmptyIndex)
{
    {
        TKMean first(4, 2);
        first.AddColor(Rgb(9, 9, 9));
        first.AddColor(Rgb(1, 1, 1));
        // A second instance alive at the same time has a table of its own.
        TKMean nested(4, 2);
        EXPECT_EQ(nested.IndexOfColour(Rgb(9, 9, 9)), -1);
        nested.AddColor(Rgb(1, 1, 1));
        EXPECT_EQ(nested.IndexOfColour(Rgb(1, 1, 1)), 0);
    }
    TKMean second(4, 2);
    EXPECT_EQ(second.IndexOfColour(Rgb(9, 9, 9)), -1);
    EXPECT_EQ(second.IndexOfColour(Rgb(1, 1, 1)), -1);
    second.AddColor(Rgb(1, 1, 1));
    EXPECT_EQ(second.IndexOfColour(Rgb(1, 1, 1)), 0);
    EXPECT_EQ(second.Colour(0).Count, 1);
}
