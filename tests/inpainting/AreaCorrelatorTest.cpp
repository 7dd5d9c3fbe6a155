// The area correlator on small hand-made images: border and interior classification, the eight
// orientations of a transfer, the three modes with their rounding, the seam blend, the orientation choice
// and the long-defect cleaning.

#include "inpainting/AreaCorrelator.h"

#include "InpaintingTestImages.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace {

using TPoint = std::pair<int, int>;

void MaskWholeSquare(TAreaCorrelator& correlator)
{
    const TQpRect& t = correlator.TargetRect();
    for (int x = t.Left; x < t.Right; ++x) {
        for (int y = t.Top; y < t.Bottom; ++y)
            correlator.SetMask(x, y, 1);
    }
}

std::vector<TPoint> Positions(const TBorderArea8& list)
{
    std::vector<TPoint> points;
    for (int i = 0; i < list.Count(); ++i)
        points.emplace_back(list.Place(i).Entries[0].AbsoluteX, list.Place(i).Entries[0].AbsoluteY);
    return points;
}

// A colour that differs from pixel to pixel in all three channels, so no orientation matches by chance.
TRgb Texture(int x, int y)
{
    const unsigned h =
        (static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u) % 1000003u;
    return {static_cast<int>(40 + h % 150), static_cast<int>(40 + (h / 150) % 150),
            static_cast<int>(40 + (h / 22500) % 150)};
}

// Pixels of `after` that differ from `before`.
std::set<TPoint> Changed(const TQpPixels& before, const TQpPixels& after)
{
    std::set<TPoint> changed;
    for (int y = before.Top; y < before.Top + before.Height; ++y) {
        for (int x = before.Left; x < before.Left + before.Width; ++x) {
            if (!(GetRgb(before, x, y) == GetRgb(after, x, y)))
                changed.emplace(x, y);
        }
    }
    return changed;
}

} // namespace

TEST(AreaCorrelatorTest, WholeSquareInsideTheImageHasItsOuterRingAsBorder)
{
    TQpPixelBuffer image;
    MakeImage(image, 20, 20, Texture);
    TAreaCorrelator correlator({5, 5, 10, 10}, image, image, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    // Scan order: x outer, y inner.
    const std::vector<TPoint> border = {{5, 5}, {5, 6}, {5, 7}, {5, 8}, {5, 9}, {6, 5}, {6, 9}, {7, 5},
                                        {7, 9}, {8, 5}, {8, 9}, {9, 5}, {9, 6}, {9, 7}, {9, 8}, {9, 9}};
    EXPECT_EQ(Positions(correlator.Border()), border);
    const std::vector<TPoint> interior = {{6, 6}, {6, 7}, {6, 8}, {7, 6}, {7, 7},
                                          {7, 8}, {8, 6}, {8, 7}, {8, 8}};
    EXPECT_EQ(Positions(correlator.Interior()), interior);
    // p is the relative row, q the relative column: entry 0 of (7, 6) is (2, 1).
    EXPECT_EQ(correlator.Interior().Place(3).Entries[0].RelativeX, 2);
    EXPECT_EQ(correlator.Interior().Place(3).Entries[0].RelativeY, 1);
}

TEST(AreaCorrelatorTest, NeighboursOutsideTheImageNeverMakeABorderPixel)
{
    TQpPixelBuffer image;
    MakeImage(image, 6, 6, Texture);
    // The square (-2, -2)-(3, 3) hangs over the top-left corner of the 6 x 6 image.
    TAreaCorrelator correlator({-2, -2, 3, 3}, image, image, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    // Only neighbours in column 3 or row 3 inside the image count; (2, -2) and (-2, 2) have none.
    const std::vector<TPoint> border = {{-1, 2}, {0, 2}, {1, 2}, {2, -1}, {2, 0}, {2, 1}, {2, 2}};
    EXPECT_EQ(Positions(correlator.Border()), border);
    EXPECT_EQ(correlator.Interior().Count(), 25 - 7);

    // An unmasked pixel of the square counts even outside the image: (-2, -2) off makes its three masked
    // neighbours border pixels.
    correlator.SetMask(-2, -2, 0);
    correlator.Prepare();
    const std::vector<TPoint> withHole = {{-2, -1}, {-1, -2}, {-1, -1}, {-1, 2}, {0, 2},
                                          {1, 2},   {2, -1},  {2, 0},   {2, 1},  {2, 2}};
    EXPECT_EQ(Positions(correlator.Border()), withHole);

    // Squared radius 0 looks at no neighbour at all: everything is interior.
    TAreaCorrelator noReach({-2, -2, 3, 3}, image, image, 0);
    MaskWholeSquare(noReach);
    noReach.Prepare();
    EXPECT_EQ(noReach.Border().Count(), 0);
    EXPECT_EQ(noReach.Interior().Count(), 25);
}

TEST(AreaCorrelatorTest, TransferCopiesTheInteriorInEachOrientation)
{
    // The 5 x 5 source square at (20, 20) carries the non-symmetric picture 1..9 in its inner 3 x 3, so
    // the target's interior (its inner 3 x 3) shows that picture turned and mirrored.
    TQpPixelBuffer source;
    MakeImage(source, 30, 30, [](int x, int y) {
        if (x >= 21 && x <= 23 && y >= 21 && y <= 23) {
            const int v = (y - 21) * 3 + (x - 21) + 1;
            return TRgb{v * 10, 200 - v, v};
        }
        return TRgb{7, 7, 7};
    });
    const int seen[kReflectionCount][3][3] = {
        {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {{3, 2, 1}, {6, 5, 4}, {9, 8, 7}},
        {{7, 4, 1}, {8, 5, 2}, {9, 6, 3}}, {{1, 4, 7}, {2, 5, 8}, {3, 6, 9}},
        {{9, 8, 7}, {6, 5, 4}, {3, 2, 1}}, {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}},
        {{9, 6, 3}, {8, 5, 2}, {7, 4, 1}}, {{3, 6, 9}, {2, 5, 8}, {1, 4, 7}},
    };
    for (int k = 0; k < kReflectionCount; ++k) {
        TQpPixelBuffer destination;
        CopyImage(source, destination);
        TAreaCorrelator correlator({5, 5, 10, 10}, destination, source, 2);
        MaskWholeSquare(correlator);
        correlator.Prepare();
        ASSERT_TRUE(correlator.Transfer(20, 20, k, false, TAreaCorrelator::kModeCopy, 2));
        for (int b = 0; b < 3; ++b) {
            for (int a = 0; a < 3; ++a) {
                const int v = seen[k][b][a];
                EXPECT_EQ(GetRgb(destination, 6 + a, 6 + b), (TRgb{v * 10, 200 - v, v}))
                    << "orientation " << k << " at " << a << "," << b;
            }
        }
        EXPECT_EQ(Changed(source, destination).size(), 9u) << "the ring and the rest stay";
    }
}

TEST(AreaCorrelatorTest, TransferWritesOnlyInteriorFootprintPixelsAndNothingForAnUnknownMode)
{
    TQpPixelBuffer source;
    MakeImage(source, 40, 40, Texture);
    TQpPixelBuffer destination;
    CopyImage(source, destination);
    // A disc of radius 5 in an 11 x 11 square.
    TAreaCorrelator correlator({10, 12, 21, 23}, destination, source, 2);
    for (int x = 10; x < 21; ++x) {
        for (int y = 12; y < 23; ++y)
            correlator.SetMask(x, y, (x - 15) * (x - 15) + (y - 17) * (y - 17) <= 25 ? 1 : 0);
    }
    correlator.Prepare();
    correlator.ComputeSeamWeights();
    std::set<TPoint> interior;
    for (const TPoint& p : Positions(correlator.Interior()))
        interior.insert(p);
    ASSERT_EQ(interior.size(), 45u) << "81 disc pixels less a ring of 36";

    for (const auto& [mode, orientation] : {std::pair{3, 0}, {7, 0}, {-1, 0}, {0, 8}, {2, -1}}) {
        EXPECT_FALSE(correlator.Transfer(25, 25, orientation, true, mode, 2));
        EXPECT_TRUE(Changed(source, destination).empty())
            << "mode " << mode << " orientation " << orientation;
    }
    for (int mode = 0; mode <= 2; ++mode) {
        for (int k = 0; k < kReflectionCount; ++k) {
            ASSERT_TRUE(correlator.Transfer(25, 24, k, true, mode, 2));
            for (const TPoint& p : Changed(source, destination))
                ASSERT_TRUE(interior.count(p)) << "mode " << mode << " wrote " << p.first << "," << p.second;
        }
    }
    EXPECT_FALSE(Changed(source, destination).empty());
}

TEST(AreaCorrelatorTest, ColourCorrectionAddsTheBorderDifference)
{
    // The target square (inner pixels and ring) is the source square plus (12, -20, 30) per channel, so
    // every border sample has that difference and the fitted correction is that constant.
    const TRgb offset{12, -20, 30};
    TQpPixelBuffer source;
    MakeImage(source, 40, 40, [&](int x, int y) {
        if (x >= 5 && x < 12 && y >= 5 && y < 12) {
            const TRgb s = Texture(x + 20, y + 22);
            return TRgb{s.Red + offset.Red, s.Green + offset.Green, s.Blue + offset.Blue};
        }
        return Texture(x, y);
    });
    TQpPixelBuffer destination;
    CopyImage(source, destination);
    TAreaCorrelator correlator({5, 5, 12, 12}, destination, source, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    ASSERT_TRUE(correlator.Transfer(25, 27, 0, false, TAreaCorrelator::kModeColour, 2));
    for (int x = 6; x < 11; ++x) {
        for (int y = 6; y < 11; ++y)
            EXPECT_EQ(GetRgb(destination, x, y), GetRgb(source, x, y)) << x << "," << y;
    }
}

TEST(AreaCorrelatorTest, ColourCorrectionFollowsABilinearDifference)
{
    // Red differs by 2 q - p + 5, green by q p - 3 q (q the column, p the row in the square), blue not at
    // all: the order-2 surface reproduces each, so the repaired interior equals the target exactly.
    const auto difference = [](int q, int p) { return TRgb{2 * q - p + 5, q * p - 3 * q, 0}; };
    TQpPixelBuffer source;
    MakeImage(source, 40, 40, [&](int x, int y) {
        if (x >= 5 && x < 12 && y >= 5 && y < 12) {
            const TRgb s = Texture(x + 20, y + 22);
            const TRgb d = difference(x - 5, y - 5);
            return TRgb{s.Red + d.Red, s.Green + d.Green, s.Blue};
        }
        return Texture(x, y);
    });
    TQpPixelBuffer destination;
    CopyImage(source, destination);
    TAreaCorrelator correlator({5, 5, 12, 12}, destination, source, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    ASSERT_TRUE(correlator.Transfer(25, 27, 0, false, TAreaCorrelator::kModeColour, 2));
    for (int x = 6; x < 11; ++x) {
        for (int y = 6; y < 11; ++y) {
            const TRgb s = GetRgb(source, x + 20, y + 22);
            const int q = x - 5;
            const int p = y - 5;
            EXPECT_EQ(GetRgb(destination, x, y),
                      (TRgb{s.Red + 2 * q - p + 5, s.Green + q * p - 3 * q, s.Blue}))
                << x << "," << y;
        }
    }
}

TEST(AreaCorrelatorTest, CorrectionsRoundHalvesToEvenAndClampAt255)
{
    // A 5 x 5 square: 16 ring pixels, 9 interior. The source square at (20, 20) is flat; the target ring
    // alternates between the source colour and one step above, so the order-0 fit is exactly +0.5.
    TQpPixelBuffer source;
    MakeImage(source, 30, 30, [](int x, int y) {
        if (x >= 20 && x < 25 && y >= 20 && y < 25)
            return (x == 22 && y == 22) ? TRgb{255, 101, 100} : TRgb{100, 101, 100};
        if (x >= 5 && x < 10 && y >= 5 && y < 10)
            return (x + y) % 2 == 0 ? TRgb{100, 101, 100} : TRgb{101, 102, 101};
        return Grey(0);
    });
    // The ring of a 5 x 5 square has 8 pixels with an even x + y and 8 with an odd one.
    {
        TQpPixelBuffer destination;
        CopyImage(source, destination);
        TAreaCorrelator correlator({5, 5, 10, 10}, destination, source, 2);
        MaskWholeSquare(correlator);
        correlator.Prepare();
        ASSERT_EQ(correlator.Border().Count(), 16);
        ASSERT_TRUE(correlator.Transfer(20, 20, 0, false, TAreaCorrelator::kModeColour, 0));
        // 100.5 -> 100, 101.5 -> 102, 255.5 clamps to 255.
        EXPECT_EQ(GetRgb(destination, 6, 6), (TRgb{100, 102, 100}));
        EXPECT_EQ(GetRgb(destination, 7, 7), (TRgb{255, 102, 100}));
    }
    {
        // Brightness: the summed difference is 0 or 3, so c = 1.5 and each channel gets c / 3 = 0.5.
        TQpPixelBuffer destination;
        CopyImage(source, destination);
        TAreaCorrelator correlator({5, 5, 10, 10}, destination, source, 2);
        MaskWholeSquare(correlator);
        correlator.Prepare();
        ASSERT_TRUE(correlator.Transfer(20, 20, 0, true, TAreaCorrelator::kModeBrightness, 0));
        EXPECT_EQ(GetRgb(destination, 6, 6), (TRgb{100, 102, 100})) << "and mode 1 never blends";
        EXPECT_EQ(GetRgb(destination, 7, 7), (TRgb{255, 102, 100}));
    }
}

TEST(AreaCorrelatorTest, BrightnessCorrectionThatReaches256Gives255)
{
    // Every ring sample is one step brighter per channel (+3 in sum), so each channel gains exactly 1.
    TQpPixelBuffer source;
    MakeImage(source, 30, 30, [](int x, int y) {
        if (x >= 20 && x < 25 && y >= 20 && y < 25)
            return (x == 22 && y == 22) ? TRgb{255, 100, 254} : Grey(100);
        if (x >= 5 && x < 10 && y >= 5 && y < 10)
            return Grey(101);
        return Grey(0);
    });
    TQpPixelBuffer destination;
    CopyImage(source, destination);
    TAreaCorrelator correlator({5, 5, 10, 10}, destination, source, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    ASSERT_TRUE(correlator.Transfer(20, 20, 0, false, TAreaCorrelator::kModeBrightness, 2));
    EXPECT_EQ(GetRgb(destination, 7, 7), (TRgb{255, 101, 255}));
    EXPECT_EQ(GetRgb(destination, 6, 6), Grey(101));
}

TEST(AreaCorrelatorTest, TooFewBorderSamplesLeaveAPlainCopyThatStillBlends)
{
    // A 3 x 3 square has 8 ring samples, fewer than the 10 functions of order 5.
    TQpPixelBuffer source;
    MakeImage(source, 30, 30, [](int x, int y) {
        if (x >= 20 && x < 23 && y >= 20 && y < 23)
            return Grey(50);
        return Grey(90);
    });
    TQpPixelBuffer destination;
    CopyImage(source, destination);
    TAreaCorrelator correlator({5, 5, 8, 8}, destination, source, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    correlator.ComputeSeamWeights();
    ASSERT_TRUE(correlator.Transfer(20, 20, 0, false, TAreaCorrelator::kModeColour, 5));
    EXPECT_EQ(GetRgb(destination, 6, 6), Grey(50));
    // The only interior pixel touches nothing but the border (deep weight 0): blending keeps it as before.
    ASSERT_TRUE(correlator.Transfer(20, 20, 0, true, TAreaCorrelator::kModeColour, 5));
    EXPECT_EQ(GetRgb(destination, 6, 6), Grey(90));
}

TEST(AreaCorrelatorTest, SeamBlendWeighsBeforeAgainstNew)
{
    // Target 5 x 5 of value 1, source of value 13. The inner corners have border weight 7 and deep weight
    // 1: (7 * 1 + 13) / 8 = 2.5 rounds to 2. Edge middles (4, 2): (4 + 26) / 6 = 5. The centre is copied.
    TQpPixelBuffer source;
    MakeImage(source, 30, 30, [](int x, int y) {
        if (x >= 20 && x < 25 && y >= 20 && y < 25)
            return Grey(13);
        return Grey(1);
    });
    for (const int mode : {TAreaCorrelator::kModeCopy, TAreaCorrelator::kModeColour}) {
        TQpPixelBuffer destination;
        CopyImage(source, destination);
        TAreaCorrelator correlator({5, 5, 10, 10}, destination, source, 2);
        MaskWholeSquare(correlator);
        correlator.Prepare();
        correlator.ComputeSeamWeights();
        // Mode 2 with an order-0 fit on a ring that is 12 darker than... the source ring is 13, the target
        // ring 1, so the correction is -12 and the new colour is 1: blending then changes nothing visible.
        ASSERT_TRUE(correlator.Transfer(20, 20, 0, true, mode, 0));
        if (mode == TAreaCorrelator::kModeCopy) {
            EXPECT_EQ(GetRgb(destination, 6, 6), Grey(2));
            EXPECT_EQ(GetRgb(destination, 8, 8), Grey(2));
            EXPECT_EQ(GetRgb(destination, 7, 6), Grey(5));
            EXPECT_EQ(GetRgb(destination, 7, 7), Grey(13));
        } else {
            EXPECT_EQ(GetRgb(destination, 6, 6), Grey(1));
            EXPECT_EQ(GetRgb(destination, 7, 7), Grey(1));
        }
    }
}

TEST(AreaCorrelatorTest, SourceOutsideTheImageIsSkippedAndCountsAsZeroDifference)
{
    // The source square's two left columns lie left of the image. Of the 16 ring samples, the 5 of
    // column 0 and the top and bottom of column 1 do not take part (difference 0); the other 9 differ by
    // +16, so the order-0 correction is 9 * 16 / 16 = 9.
    TQpPixelBuffer source;
    MakeImage(source, 30, 30, [](int x, int y) {
        if (x >= 10 && x < 15 && y >= 10 && y < 15)
            return Grey(66);
        return Grey(50);
    });
    TQpPixelBuffer destination;
    CopyImage(source, destination);
    TAreaCorrelator correlator({10, 10, 15, 15}, destination, source, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    ASSERT_TRUE(correlator.Transfer(-2, 3, 0, false, TAreaCorrelator::kModeColour, 0));
    for (int y = 11; y < 14; ++y) {
        EXPECT_EQ(GetRgb(destination, 11, y), Grey(66)) << "its source column -1 is outside: left alone";
        EXPECT_EQ(GetRgb(destination, 12, y), Grey(59));
        EXPECT_EQ(GetRgb(destination, 13, y), Grey(59));
    }
}

TEST(AreaCorrelatorTest, BestReflectionFindsTheMatchingOrientation)
{
    // The target's surroundings are the source square turned by a half turn.
    TQpPixelBuffer image;
    MakeImage(image, 40, 40, [](int x, int y) {
        if (x >= 5 && x < 12 && y >= 5 && y < 12)
            return Texture(20 + 6 - (x - 5), 25 + 6 - (y - 5));
        return Texture(x, y);
    });
    TAreaCorrelator correlator({5, 5, 12, 12}, image, image, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    EXPECT_EQ(correlator.BestReflection({20, 25, 27, 32}), arSouth);

    // A flat image correlates nowhere: every coefficient is 0, and the first one beats the start value -1.
    TQpPixelBuffer flat;
    MakeImage(flat, 40, 40, [](int, int) { return Grey(77); });
    TAreaCorrelator flatCorrelator({5, 5, 12, 12}, flat, flat, 2);
    MaskWholeSquare(flatCorrelator);
    flatCorrelator.Prepare();
    EXPECT_EQ(flatCorrelator.BestReflection({20, 25, 27, 32}), arNorth);
    EXPECT_EQ(correlator.BestReflection({200, 200, 207, 207}), arNorth) << "a source outside the image";
}

TEST(AreaCorrelatorTest, BestReflectionTieKeepsTheLowerIndex)
{
    // The source square is symmetric top-bottom and the target is it mirrored left-right, so NorthReflex
    // (1) and South (4) match equally well; 1 wins.
    const auto sourceColour = [](int a, int b) { return Texture(a, b < 3 ? b : 6 - b); };
    TQpPixelBuffer image;
    MakeImage(image, 40, 40, [&](int x, int y) {
        if (x >= 20 && x < 27 && y >= 25 && y < 32)
            return sourceColour(x - 20, y - 25);
        if (x >= 5 && x < 12 && y >= 5 && y < 12)
            return sourceColour(6 - (x - 5), y - 5);
        return Texture(x, y);
    });
    TAreaCorrelator correlator({5, 5, 12, 12}, image, image, 2);
    MaskWholeSquare(correlator);
    correlator.Prepare();
    EXPECT_EQ(correlator.BestReflection({20, 25, 27, 32}), arNorthReflex);
}

namespace {

// A 6 x 6 square fully masked inside a grey image: its ring has 20 pixels; the first `minority` of them in
// scan order are red.
struct TRingCase
{
    TQpPixelBuffer Image;
    std::unique_ptr<TAreaCorrelator> Correlator;

    explicit TRingCase(int minority)
    {
        MakeImage(Image, 20, 20, [](int, int) { return Grey(120); });
        Correlator = std::make_unique<TAreaCorrelator>(TQpRect{5, 5, 11, 11}, Image, Image, 2);
        MaskWholeSquare(*Correlator);
        Correlator->Prepare();
        const TBorderArea8& border = Correlator->Border();
        for (int i = 0; i < minority; ++i)
            SetRgb(Image, border.Place(i).Entries[0].AbsoluteX, border.Place(i).Entries[0].AbsoluteY,
                   {250, 10, 10});
    }
};

} // namespace

TEST(AreaCorrelatorTest, LongDefectRemovesAMinorityOfAtMostTheFraction)
{
    {
        TRingCase ring(3); // 15 %
        ASSERT_EQ(ring.Correlator->Border().Count(), 20);
        const std::vector<TPoint> before = Positions(ring.Correlator->Border());
        ring.Correlator->RemoveMinorityColours(0.2);
        const std::vector<TPoint> expected(before.begin() + 3, before.end());
        EXPECT_EQ(Positions(ring.Correlator->Border()), expected);
    }
    {
        TRingCase ring(4); // exactly 20 %: at most the fraction still goes
        ring.Correlator->RemoveMinorityColours(0.2);
        EXPECT_EQ(ring.Correlator->Border().Count(), 16);
    }
    {
        TRingCase ring(5); // 25 %
        ring.Correlator->RemoveMinorityColours(0.2);
        EXPECT_EQ(ring.Correlator->Border().Count(), 20);
    }
    {
        TRingCase ring(0); // one colour only
        ring.Correlator->RemoveMinorityColours(0.2);
        EXPECT_EQ(ring.Correlator->Border().Count(), 20);
    }
    {
        // 10 against 10 with a fraction of one half: on equal weights centre 0 (the colour of the first
        // border pixel, red here) is the minority.
        TRingCase ring(10);
        ring.Correlator->RemoveMinorityColours(0.5);
        ASSERT_EQ(ring.Correlator->Border().Count(), 10);
        for (const TPoint& p : Positions(ring.Correlator->Border()))
            EXPECT_EQ(GetRgb(ring.Image, p.first, p.second), Grey(120));
    }
    {
        // 17 red against 3 grey: the grey pixels are the minority now.
        TRingCase ring(17);
        ring.Correlator->RemoveMinorityColours(0.2);
        ASSERT_EQ(ring.Correlator->Border().Count(), 17);
        for (const TPoint& p : Positions(ring.Correlator->Border()))
            EXPECT_EQ(GetRgb(ring.Image, p.first, p.second), (TRgb{250, 10, 10}));
    }
}

TEST(AreaCorrelatorTest, LongDefectDropsAWireCrossingTheFootprintEdge)
{
    // A dark two-pixel wire runs across a lightly shaded wall; the footprint is a disc of radius 8 on it.
    const auto onWire = [](int, int y) { return y == 20 || y == 21; };
    TQpPixelBuffer image;
    MakeImage(image, 40, 40, [&](int x, int y) {
        if (onWire(x, y))
            return TRgb{20, 22, 25};
        return TRgb{180 + (x + y) % 5, 170 + x % 3, 160 + y % 4};
    });
    TQpPixelBuffer destination;
    CopyImage(image, destination);
    TAreaCorrelator correlator({12, 12, 29, 29}, destination, image, 2);
    for (int x = 12; x < 29; ++x) {
        for (int y = 12; y < 29; ++y)
            correlator.SetMask(x, y, (x - 20) * (x - 20) + (y - 20) * (y - 20) <= 64 ? 1 : 0);
    }
    correlator.Prepare();
    const std::vector<TPoint> before = Positions(correlator.Border());
    std::vector<TPoint> expected;
    for (const TPoint& p : before) {
        if (!onWire(p.first, p.second))
            expected.push_back(p);
    }
    ASSERT_LT(expected.size(), before.size());
    correlator.RemoveMinorityColours(0.2);
    EXPECT_EQ(Positions(correlator.Border()), expected);

    // Without the wire's ends the colour fit sees only the wall, and a repair from a clean patch of wall
    // leaves the wire's pixels inside the disc in the wall's colour range. (A seam blend would mix in the
    // wire where it crosses the seam, so it is off here.)
    ASSERT_TRUE(correlator.Transfer(2, 2, 0, false, TAreaCorrelator::kModeColour, 2));
    for (int x = 14; x < 27; ++x) {
        const TRgb c = GetRgb(destination, x, 20);
        EXPECT_GE(c.Red, 170) << x;
        EXPECT_GE(c.Green, 160) << x;
    }
}

TEST(AreaCorrelatorTest, LongDefectFractionCountsBorderPixelsOutsideTheImage)
{
    // The square (-2, 0)-(4, 6) over the left edge of a 10 x 10 image, with its column x = -2 unmasked:
    // column x = -1 (outside the image) becomes border through that column. The border has 6 pixels
    // outside and 9 inside the image (bottom row y = 5 and right column x = 3).
    TQpPixelBuffer image;
    MakeImage(image, 10, 10, [](int, int) { return Grey(120); });
    TAreaCorrelator correlator({-2, 0, 4, 6}, image, image, 2);
    MaskWholeSquare(correlator);
    for (int y = 0; y < 6; ++y)
        correlator.SetMask(-2, y, 0);
    correlator.Prepare();
    ASSERT_EQ(correlator.Border().Count(), 15);
    // 3 red pixels: 3 <= 0.2 * 15, though 3 > 0.2 * 9 of those inside the image.
    for (const TPoint& p : std::vector<TPoint>{{3, 0}, {3, 1}, {3, 2}})
        SetRgb(image, p.first, p.second, {250, 0, 0});
    correlator.RemoveMinorityColours(0.2);
    EXPECT_EQ(correlator.Border().Count(), 12);
    EXPECT_FALSE(correlator.Border().Contains(3, 1));
}
