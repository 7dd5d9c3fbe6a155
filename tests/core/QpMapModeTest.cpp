#include "core/QpMapMode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct TTestRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

TEST(QpMapModeTest, FloorDivideRoundsTowardNegativeInfinityForEverySign)
{
    EXPECT_EQ(FloorDivide(7, 2), 3);
    EXPECT_EQ(FloorDivide(-7, 2), -4);
    EXPECT_EQ(FloorDivide(7, -2), -4);
    EXPECT_EQ(FloorDivide(-7, -2), 3);
    EXPECT_EQ(FloorDivide(-6, 3), -2);
    EXPECT_EQ(FloorDivide(6, -3), -2);
    EXPECT_EQ(FloorDivide(0, -5), 0);
}

TEST(QpMapModeTest, MappingsFloorInsteadOfTruncating)
{
    TQpMapMode map;
    EXPECT_EQ(map.SourceToTarget(TQpPoint{5, -7}), (TQpPoint{5, -7}));

    ASSERT_TRUE(map.SetSourceExtent({100, 100}));
    ASSERT_TRUE(map.SetTargetExtent({33, 33}));
    EXPECT_EQ(map.SourceToTarget(TQpPoint{-1, 1}), (TQpPoint{-1, 0}));
    EXPECT_EQ(map.SourceToTarget(TQpPoint{-100, -101}), (TQpPoint{-33, -34}));
    // -1 * 100 / 33 = -3.03
    EXPECT_EQ(map.TargetToSource(TQpPoint{-1, 0}), (TQpPoint{-4, 0}));

    TQpMapMode shifted;
    shifted.SetSourceOrigin({10, 20});
    shifted.SetTargetOrigin({100, 200});
    shifted.SetSourceExtent({2, 2});
    shifted.SetTargetExtent({3, 3});
    // x: floor(1 * 3 / 2) + 100; y: floor(-1 * 3 / 2) + 200
    EXPECT_EQ(shifted.SourceToTarget(TQpPoint{11, 19}), (TQpPoint{101, 198}));
    // x: floor(1 * 2 / 3) + 10; y: floor(-2 * 2 / 3) + 20
    EXPECT_EQ(shifted.TargetToSource(TQpPoint{101, 198}), (TQpPoint{10, 18}));

    const TTestRect mapped = shifted.SourceToTarget(TTestRect{10, 20, 13, 21});
    EXPECT_EQ(mapped.Left, 100);
    EXPECT_EQ(mapped.Top, 200);
    EXPECT_EQ(mapped.Right, 104); // floor(9 / 2)
    EXPECT_EQ(mapped.Bottom, 201);
    EXPECT_EQ(RectToOriginSize(TTestRect{-2, 3, 5, 10}), (TQpOriginSize{-2, 3, 7, 7}));
}

TEST(QpMapModeTest, ExtentsBelowOneAreRefused)
{
    TQpMapMode map;
    ASSERT_TRUE(map.SetSourceExtent({4, 5}));
    EXPECT_FALSE(map.SetSourceExtent({0, 5}));
    EXPECT_FALSE(map.SetTargetExtent({3, -1}));
    EXPECT_EQ(map.SourceExtent(), (TQpPoint{4, 5}));
    EXPECT_EQ(map.TargetExtent(), (TQpPoint{1, 1}));
    EXPECT_EQ(map.TargetToSource(TQpPoint{1, 1}), (TQpPoint{4, 5}));
}

TEST(QpMapModeTest, DeviceBindingGivesHundredthsOfMillimetres)
{
    TQpHiMetric map;
    // An A4 page at 600 dots per inch with its printable area 50 and 60 pixels in.
    ASSERT_TRUE(map.SetDevice({4960, 7016, 210, 297, 50, 60}));
    EXPECT_EQ(map.TargetExtent(), (TQpPoint{4960, 7016}));
    EXPECT_EQ(map.TargetOrigin(), (TQpPoint{-50, -60}));
    EXPECT_EQ(map.SourceExtent(), (TQpPoint{21000, 29700}));
    EXPECT_EQ(map.SourceOrigin(), (TQpPoint{0, 0}));
    // 50 * 21000 / 4960 = 211.69; 60 * 29700 / 7016 = 253.99
    EXPECT_EQ(map.TargetToSource(TQpPoint{0, 0}), (TQpPoint{211, 253}));

    // A device without a size (a virtual printer) leaves the mapping alone.
    EXPECT_FALSE(map.SetDevice({4960, 7016, 0, 297, 0, 0}));
    EXPECT_FALSE(map.SetDevice({0, 7016, 210, 297, 0, 0}));
    EXPECT_EQ(map.SourceExtent(), (TQpPoint{21000, 29700}));
}

TEST(QpMapModeTest, LargePagesAtHighResolutionDoNotOverflow)
{
    // An A2 page (420 x 594 mm) at 2400 dots per inch: 59400 * 56126 is beyond 32 bits.
    TQpHiMetric map;
    ASSERT_TRUE(map.SetDevice({39685, 56126, 420, 594, 0, 0}));
    EXPECT_EQ(map.SourceToTarget(TQpPoint{42000, 59400}), (TQpPoint{39685, 56126}));
    EXPECT_EQ(map.TargetToSource(TQpPoint{39685, 56126}), (TQpPoint{42000, 59400}));
    // Results beyond 32 bits stop at the limit instead of wrapping.
    map.SetTargetExtent({std::numeric_limits<int>::max(), 1});
    map.SetSourceExtent({1, 1});
    EXPECT_EQ(map.SourceToTarget(TQpPoint{2, 0}).X, std::numeric_limits<int>::max());
    EXPECT_EQ(map.SourceToTarget(TQpPoint{-2, 0}).X, std::numeric_limits<int>::min());
}

TEST(QpMapModeTest, UnitConversionsRoundHalfToEven)
{
    EXPECT_EQ(TQpHiMetric::FromPoints(1), 35);
    EXPECT_EQ(TQpHiMetric::FromPoints(2), 71);
    EXPECT_EQ(TQpHiMetric::FromPoints(72), 2540);
    EXPECT_EQ(TQpHiMetric::FromMillimetres(0.125), 12); // 12.5
    EXPECT_EQ(TQpHiMetric::FromMillimetres(0.375), 38); // 37.5
    EXPECT_EQ(TQpHiMetric::FromCentimetres(2.5), 2500);
    EXPECT_EQ(TQpHiMetric::FromInches(-0.5), -1270);
    EXPECT_EQ(TQpHiMetric::FromInches(1e12), std::numeric_limits<int>::max());
    EXPECT_EQ(TQpHiMetric::FromInches(std::nan("")), 0);

    EXPECT_EQ(TQpHiMetric::ToInches(2540), 1.0f);
    EXPECT_EQ(TQpHiMetric::ToCentimetres(2500), 2.5f);
    EXPECT_EQ(TQpHiMetric::ToMillimetres(12), 0.12f);
    EXPECT_EQ(TQpHiMetric::ToPoints(2540), 72.0f);
    EXPECT_FLOAT_EQ(TQpHiMetric::ToPoints(35), 0.992126f);
}

} // namespace
