#include "inpainting/BorderArea8.h"

#include <gtest/gtest.h>

#include <vector>

TEST(BorderArea8Test, EightOrientationMappings)
{
    // (a, b) = (0, 1) in a 4 x 4 square lands on a different place under every orientation.
    const TRelativePoint expected[kReflectionCount] = {{0, 1}, {3, 1}, {1, 3}, {1, 0},
                                                       {3, 2}, {0, 2}, {2, 3}, {2, 0}};
    for (int k = 0; k < kReflectionCount; ++k)
        EXPECT_EQ(ReflectedPosition(k, 0, 1, 4, 4), expected[k]) << "orientation " << k;

    // Half turn of a W x W square: (0, 0) goes to (W - 1, W - 1).
    EXPECT_EQ(ReflectedPosition(arSouth, 0, 0, 7, 7), (TRelativePoint{6, 6}));

    // The picture  1 2 3 / 4 5 6 / 7 8 9  seen through each orientation.
    const int picture[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    const int seen[kReflectionCount][3][3] = {
        {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, // North
        {{3, 2, 1}, {6, 5, 4}, {9, 8, 7}}, // NorthReflex: mirrored left-right
        {{7, 4, 1}, {8, 5, 2}, {9, 6, 3}}, // East: a quarter turn clockwise
        {{1, 4, 7}, {2, 5, 8}, {3, 6, 9}}, // EastReflex: main diagonal
        {{9, 8, 7}, {6, 5, 4}, {3, 2, 1}}, // South: half turn
        {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}}, // SouthReflex: mirrored top-bottom
        {{9, 6, 3}, {8, 5, 2}, {7, 4, 1}}, // West: anti-diagonal
        {{3, 6, 9}, {2, 5, 8}, {1, 4, 7}}, // WestReflex: three quarter turns
    };
    for (int k = 0; k < kReflectionCount; ++k) {
        for (int b = 0; b < 3; ++b) {
            for (int a = 0; a < 3; ++a) {
                const TRelativePoint s = ReflectedPosition(k, a, b, 3, 3);
                EXPECT_EQ(picture[s.Y][s.X], seen[k][b][a]) << "orientation " << k << " at " << a << "," << b;
            }
        }
    }
}

TEST(BorderArea8Test, AddFillsEveryOrientedPlaceWithTheOrigin)
{
    TBorderArea8 list(100, 200, 4, 4);
    list.Add(0, 1);
    ASSERT_EQ(list.Count(), 1);
    const TPlaceRecord& place = list.Place(0);
    EXPECT_EQ(place.Entries[arEast].RelativeX, 1);
    EXPECT_EQ(place.Entries[arEast].RelativeY, 3);
    EXPECT_EQ(place.Entries[arEast].AbsoluteX, 101);
    EXPECT_EQ(place.Entries[arEast].AbsoluteY, 203);
    EXPECT_EQ(place.Entries[0].AbsoluteX, 100);
    EXPECT_EQ(place.Entries[0].AbsoluteY, 201);
    EXPECT_EQ(list.Seam(0).Removed, 0);
    EXPECT_EQ(list.DeepWeight(0), 0);
    EXPECT_EQ(list.BorderWeight(0), 0);
    EXPECT_FALSE(list.TouchesBorder(0));
}

TEST(BorderArea8Test, LookupCompactAndGrowth)
{
    TBorderArea8 list(10, 10, 8, 8);
    EXPECT_EQ(list.Capacity(), 512u);
    // (2, 2) twice: the first match wins.
    const int points[][2] = {{0, 0}, {2, 2}, {5, 1}, {2, 2}, {7, 7}};
    for (const auto& p : points)
        list.Add(p[0], p[1]);
    EXPECT_EQ(list.IndexOf(12, 12), 1);
    EXPECT_EQ(list.IndexOf(15, 11), 2);
    EXPECT_EQ(list.IndexOf(11, 11), -1);
    EXPECT_EQ(list.IndexOf(-5, 3), -1);
    EXPECT_TRUE(list.Contains(17, 17));

    list.SetRemoved(1, true);
    list.SetRemoved(4, true);
    EXPECT_EQ(list.IndexOf(12, 12), 1) << "removal takes effect at Compact";
    list.Compact();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Place(0).Entries[0].AbsoluteX, 10);
    EXPECT_EQ(list.Place(1).Entries[0].AbsoluteX, 15);
    EXPECT_EQ(list.Place(2).Entries[0].AbsoluteX, 12) << "the order of the kept records stays";
    EXPECT_EQ(list.IndexOf(12, 12), 2) << "the second (2, 2) is now the first";
    EXPECT_FALSE(list.Contains(17, 17));

    // Records outside the square are still found, by a linear search.
    list.Add(-3, 20);
    EXPECT_EQ(list.IndexOf(7, 30), 3);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.IndexOf(10, 10), -1);
    for (int i = 0; i < 513; ++i)
        list.Add(i % 8, (i / 8) % 8);
    EXPECT_EQ(list.Count(), 513);
    EXPECT_EQ(list.Capacity(), 1024u) << "room grows in steps of 512";
}

TEST(BorderArea8Test, SeamWeightsOfA5x5Square)
{
    // The outer ring of a 5 x 5 square is the border; the 3 x 3 inside is the interior.
    TBorderArea8 border(0, 0, 5, 5);
    TBorderArea8 interior(0, 0, 5, 5);
    for (int x = 0; x < 5; ++x) {
        for (int y = 0; y < 5; ++y) {
            if (x == 0 || y == 0 || x == 4 || y == 4)
                border.Add(x, y);
            else
                interior.Add(x, y);
        }
    }
    interior.ComputeSeamWeights(border);
    // Scan order x outer, y inner: (1,1) (1,2) (1,3) (2,1) (2,2) (2,3) (3,1) (3,2) (3,3).
    // A corner of the inside touches the ring with 2 sides and 3 diagonals (7) and the centre diagonally (1);
    // an edge middle touches it with 1 side and 2 diagonals (4) and the centre by a side (2).
    const int borderWeights[] = {7, 4, 7, 4, 0, 4, 7, 4, 7};
    const int deepWeights[] = {1, 2, 1, 2, 0, 2, 1, 2, 1};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(interior.BorderWeight(i), borderWeights[i]) << i;
        EXPECT_EQ(interior.DeepWeight(i), deepWeights[i]) << i;
    }
    // Computing again gives the same weights rather than adding to them.
    interior.ComputeSeamWeights(border);
    EXPECT_EQ(interior.BorderWeight(0), 7);
    EXPECT_EQ(interior.DeepWeight(0), 1);

    // Removed border pixels no longer count: without the top-left corner (0, 0), (1, 1) loses a diagonal.
    border.SetRemoved(border.IndexOf(0, 0), true);
    border.Compact();
    interior.ComputeSeamWeights(border);
    EXPECT_EQ(interior.BorderWeight(0), 6);
}
