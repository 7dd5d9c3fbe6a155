// The free rotation's pixel work: the turned size, exact pixels for a quarter turn, a filtered render
// at angle 0 that gives the source back, the angle of a drawn line, and an auto-crop rectangle that holds
// no uncovered pixel.

#include "imaging/FreeRotation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

TQpPixelBuffer Pattern(int width, int height)
{
    TQpPixelBuffer pixels;
    EXPECT_TRUE(pixels.SetFormatAndBounds(pfBGR24, {0, 0, width, height}));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = pixels.PixelPtr(x, y);
            p[0] = static_cast<std::uint8_t>(x * 7);
            p[1] = static_cast<std::uint8_t>(y * 5);
            p[2] = static_cast<std::uint8_t>(x + y);
        }
    return pixels;
}

TEST(FreeRotation, AQuarterTurnMapsEveryPixelAndCoversEverything)
{
    const TQpPixelBuffer source = Pattern(200, 100);
    TQpPixelBuffer dest;
    std::vector<std::uint8_t> uncovered;
    ASSERT_TRUE(RenderRotation(source, std::numbers::pi_v<long double> / 2, 0, dest, uncovered));
    ASSERT_EQ(dest.Width, 100);
    ASSERT_EQ(dest.Height, 200);
    EXPECT_EQ(std::count(uncovered.begin(), uncovered.end(), 1), 0);
    for (int y = 0; y < 200; y += 7)
        for (int x = 0; x < 100; x += 3)
            ASSERT_EQ(0, std::memcmp(dest.PixelPtr(x, y), source.PixelPtr(199 - y, x), 3)) << x << "," << y;
}

TEST(FreeRotation, TheHermiteRenderAtAngleZeroIsTheSource)
{
    const TQpPixelBuffer source = Pattern(31, 17);
    TQpPixelBuffer dest;
    std::vector<std::uint8_t> uncovered;
    ASSERT_TRUE(RenderRotation(source, 0, 2, dest, uncovered));
    ASSERT_EQ(dest.Width, 31);
    for (int y = 0; y < 17; ++y)
        ASSERT_EQ(0, std::memcmp(dest.PixelPtr(0, y), source.PixelPtr(0, y), 31 * 3)) << y;
}

TEST(FreeRotation, ALineGivesItsAngleAndTheAutoCropHoldsNoWhiteCorner)
{
    EXPECT_NEAR(static_cast<double>(RotationStep(0, 0, 100, 10)), std::atan(0.1), 1e-15);
    EXPECT_NEAR(static_cast<double>(RotationStep(0, 0, 10, 100)), -std::atan(0.1), 1e-15) << "made upright";
    const long double theta = RotationStep(0, 0, 100, 10);
    const TQpPixelBuffer source = Pattern(120, 80);
    TQpPixelBuffer dest;
    std::vector<std::uint8_t> uncovered;
    ASSERT_TRUE(RenderRotation(source, theta, 0, dest, uncovered));
    EXPECT_GT(dest.Width, 120);
    EXPECT_GT(std::count(uncovered.begin(), uncovered.end(), 1), 0);
    const TQpRect crop = AutoCropRect(uncovered, dest.Width, dest.Height);
    ASSERT_FALSE(crop.IsEmpty());
    EXPECT_GT(crop.Width() * crop.Height(), 120 * 80 / 2);
    for (int y = crop.Top; y < crop.Bottom; ++y)
        for (int x = crop.Left; x < crop.Right; ++x)
            ASSERT_EQ(uncovered[static_cast<std::size_t>(y) * dest.Width + x], 0) << x << "," << y;
    const std::uint8_t* corner = dest.PixelPtr(0, 0);
    EXPECT_EQ((std::vector<int>{corner[0], corner[1], corner[2]}), (std::vector<int>{255, 255, 255}));
}

} // namespace
