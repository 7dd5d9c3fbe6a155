#include "inpainting/FootprintRepair.h"

#include "InpaintingTestImages.h"

#include <gtest/gtest.h>

namespace {

void MakeMask(TQpPixelMask& mask, int width, int height, const std::function<bool(int, int)>& covered)
{
    ASSERT_TRUE(mask.SetBounds(0, 0, width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            *mask.ValuePtr(x, y) = covered(x, y) ? 200 : 0;
    }
}

} // namespace

TEST(FootprintRepairTest, TargetIsTheSquareFromTheFootprintsTopLeft)
{
    TQpPixelMask mask;
    // Covered: x 3..9, y 5..7 (any non-zero value counts); the square takes the larger extent, 7.
    MakeMask(mask, 20, 20, [](int x, int y) { return x >= 3 && x <= 9 && y >= 5 && y <= 7; });
    EXPECT_EQ(FootprintSquare(mask), (TQpRect{3, 5, 10, 12}));
    MakeMask(mask, 20, 20, [](int, int) { return false; });
    EXPECT_TRUE(FootprintSquare(mask).IsEmpty());
}

TEST(FootprintRepairTest, RepairsTheInteriorAndRefusesBadRequests)
{
    TQpPixelBuffer before;
    MakeImage(before, 40, 40, [](int x, int y) { return x >= 25 ? Grey(200) : Grey(10 + y); });
    TQpPixelBuffer after;
    CopyImage(before, after);
    TQpPixelMask mask;
    MakeMask(mask, 40, 40, [](int x, int y) { return x >= 5 && x < 10 && y >= 5 && y < 10; });

    TRepairOptions options;
    options.Orientation = 0;
    options.Mode = 0;
    options.Blend = false;
    options.LongDefect = false;
    TRepairResult result;
    std::string error;
    ASSERT_TRUE(RepairFootprint(after, before, mask, 30, 30, options, result, error)) << error;
    EXPECT_EQ(result.Target, (TQpRect{5, 5, 10, 10}));
    EXPECT_EQ(result.Orientation, 0);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool interior = x >= 6 && x <= 8 && y >= 6 && y <= 8;
            EXPECT_EQ(GetRgb(after, x, y), interior ? Grey(200) : GetRgb(before, x, y)) << x << "," << y;
        }
    }

    CopyImage(before, after);
    options.Mode = 3;
    EXPECT_FALSE(RepairFootprint(after, before, mask, 30, 30, options, result, error));
    EXPECT_EQ(error, "the mode must be 0, 1 or 2");
    options.Mode = 2;
    options.Orientation = 8;
    EXPECT_FALSE(RepairFootprint(after, before, mask, 30, 30, options, result, error));
    EXPECT_EQ(error, "the orientation must be 0 to 7 or automatic");
    options.Orientation = TRepairOptions::kAutoOrientation;
    TQpPixelMask empty;
    MakeMask(empty, 40, 40, [](int, int) { return false; });
    EXPECT_FALSE(RepairFootprint(after, before, empty, 30, 30, options, result, error));
    EXPECT_EQ(error, "the footprint covers no pixel");
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(GetRgb(after, x, y), GetRgb(before, x, y)) << "a refused request writes nothing";
    }
}
