#include "imaging/RectToRect.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(RectToRectTest, StretchMapsCornersOntoCorners)
{
    // Extents count pixel centres: 0..71 maps onto 10..209 and 0..71 onto 20..119.
    const TRectToRect map({10, 20, 210, 120}, TRectToRect::kStretch, {0, 0, 72, 72});
    EXPECT_EQ(map.Destination(), (TQpRect{0, 0, 72, 72}));
    EXPECT_EQ(map.Map(0, 0), (TMapPoint{10, 20}));
    EXPECT_EQ(map.Map(71, 71), (TMapPoint{209, 119}));
    EXPECT_DOUBLE_EQ(map.MapF(1, 1).X, 10 + 199.0 / 71);
}

TEST(RectToRectTest, FitOfAWideSourceShrinksTheDestinationHeight)
{
    // Scale x 199/71 wins; r = round(71 - 99 / (199/71)) = round(35.68) = 36: 18 off the top, 18 off the
    // bottom.
    const TRectToRect map({0, 0, 200, 100}, TRectToRect::kFit, {0, 0, 72, 72});
    EXPECT_EQ(map.Destination(), (TQpRect{0, 18, 72, 54}));
    EXPECT_DOUBLE_EQ(map.ScaleX(), 199.0 / 71);
    EXPECT_DOUBLE_EQ(map.ScaleY(), 99.0 / 35);
    EXPECT_EQ(map.Map(0, 18), (TMapPoint{0, 0}));
    EXPECT_EQ(map.Map(71, 53), (TMapPoint{199, 99}));
}

TEST(RectToRectTest, FitOfATallSourceGivesTheOddPixelToTheRight)
{
    // Scale y 99/9 = 11 wins; r = round(9 - 20/11) = round(7.18) = 7: 3 off the left, 4 off the right.
    const TRectToRect map({0, 0, 21, 100}, TRectToRect::kFit, {0, 0, 10, 10});
    EXPECT_EQ(map.Destination(), (TQpRect{3, 0, 6, 10}));
    EXPECT_DOUBLE_EQ(map.ScaleX(), 10.0);
    EXPECT_DOUBLE_EQ(map.ScaleY(), 11.0);
}

TEST(RectToRectTest, FitOfAOnePixelSourceIsNoDivisionByZero)
{
    const TRectToRect map({5, 7, 6, 8}, TRectToRect::kFit, {0, 0, 72, 72});
    EXPECT_EQ(map.Destination(), (TQpRect{0, 0, 72, 72}));
    EXPECT_EQ(map.Map(40, 60), (TMapPoint{5, 7}));
    // A one-pixel destination has extent 0 as well.
    const TRectToRect tiny({0, 0, 10, 10}, TRectToRect::kFit, {0, 0, 1, 1});
    EXPECT_EQ(tiny.Map(0, 0), (TMapPoint{0, 0}));
}

TEST(RectToRectTest, MapRoundsHalvesToEven)
{
    // Scale 0.5: destination 1 maps to 0.5 -> 0, destination 3 to 1.5 -> 2.
    const TRectToRect map({0, 0, 3, 3}, TRectToRect::kStretch, {0, 0, 5, 5});
    EXPECT_EQ(map.Map(1, 3), (TMapPoint{0, 2}));
}

TEST(RectToRectTest, RotatedMappingTurnsAboutTheSourceCentre)
{
    // Identity placement of an 11 x 11 source, centre (5, 5), turned by 90 degrees: rotating by -90
    // takes (10, 5) to (5, 0) and (5, 10) to (10, 5).
    const TRectToRotatedRect map({0, 0, 11, 11}, 90.0, TRectToRect::kStretch, {0, 0, 11, 11});
    const TMapPointF a = map.MapF(10, 5);
    EXPECT_NEAR(a.X, 5.0, 1e-12);
    EXPECT_NEAR(a.Y, 0.0, 1e-12);
    EXPECT_EQ(map.Map(5, 10), (TMapPoint{10, 5}));
    EXPECT_EQ(map.Map(5, 5), (TMapPoint{5, 5}));
}
