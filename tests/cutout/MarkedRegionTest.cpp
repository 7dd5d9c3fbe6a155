#include "cutout/MarkedRegion.h"

#include "CutoutTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TTestBgr PixelAt(const TQpPixels& pixels, int x, int y)
{
    const std::uint8_t* p = pixels.PixelPtr(x, y);
    return {p[0], p[1], p[2]};
}

struct TRegionFixture : ::testing::Test
{
    std::unique_ptr<TQpPixelBuffer> Pixels;
    TMarkedRegion Region;

    void Make(int width, int height, TTestBgr fill = {0, 0, 0})
    {
        Pixels = MakePixels(width, height, fill);
        ASSERT_TRUE(Region.Attach(Pixels.get()));
    }
    void Labels(const std::vector<int>& rowsTopFirst)
    {
        for (int y = 0; y < Region.Height(); ++y)
            for (int x = 0; x < Region.Width(); ++x)
                Region.SetLabel(x, y,
                                static_cast<std::uint8_t>(
                                    rowsTopFirst[static_cast<std::size_t>(y * Region.Width() + x)]));
    }
    std::vector<int> LabelRows() const
    {
        std::vector<int> out;
        for (int y = 0; y < Region.Height(); ++y)
            for (int x = 0; x < Region.Width(); ++x)
                out.push_back(Region.Label(x, y));
        return out;
    }
};

using MarkedRegionTest = TRegionFixture;

} // namespace

TEST_F(MarkedRegionTest, EveryModeRendersFromThePhotoAndComesOffExactly)
{
    // Blue 10, green 200, red 30 at (1, 0), where the hatch is not inverted (1 mod 5 != 0 mod 6).
    const TTestBgr photo{10, 200, 30};
    struct TCase
    {
        int Mode;
        TTestBgr Expected;
    };
    const TCase cases[] = {{kModeFill, {0x12, 0x34, 0x56}},
                           {kModeShadow, {5, 100, 15}},
                           {kModeMonochrome, {0, 100, 200}},
                           {kModeNone, photo},
                           {kModeThresholdNegative, {255, 0, 255}},
                           {kModeHatchGrey, {200, 200, 200}},
                           {kModeHatchRed, {0, 0, 200}},
                           {kModeHatchGreen, {0, 200, 0}},
                           {kModeHatchBlue, {200, 0, 0}},
                           {kModeHatchRedGreen, {0, 200, 200}},
                           {kModeHatchRedBlue, {200, 0, 200}},
                           {kModeHatchGreenBlue, {200, 200, 0}},
                           {99, photo},
                           {4, photo}};
    for (const TCase& c : cases) {
        Make(3, 2, photo);
        Region.SetFillColor(0x123456); // colour value: red in the low byte
        Region.SetShadowLevel(2);
        Region.SetTintColor(0x0080FF); // red 255, green 128, blue 0
        Region.SetMode(1, static_cast<std::uint8_t>(c.Mode));
        ASSERT_TRUE(Region.SetLabel(1, 0, 1));
        EXPECT_EQ(PixelAt(*Pixels, 1, 0), c.Expected) << "mode " << c.Mode;
        EXPECT_EQ(PixelAt(*Pixels, 0, 0), photo) << "neighbours untouched";
        if (c.Mode != kModeNone) {
            const TBgr saved = Region.UnderlyingColor(1, 0);
            EXPECT_EQ(saved, (TBgr{10, 200, 30}));
        }
        ASSERT_TRUE(Region.SetLabel(1, 0, 0));
        EXPECT_EQ(PixelAt(*Pixels, 1, 0), photo) << "mode " << c.Mode;
        EXPECT_FALSE(Region.SetLabel(1, 0, 0));
    }
}

TEST_F(MarkedRegionTest, GreenHatchInvertsWhereXMod5EqualsYMod6)
{
    Make(11, 13, {10, 200, 30});
    Region.SetMode(1, kModeHatchGreen);
    for (int x = 0; x < 11; ++x)
        for (int y = 0; y < 13; ++y)
            Region.SetLabel(x, y, 1);
    for (int x = 0; x < 11; ++x)
        for (int y = 0; y < 13; ++y) {
            const std::uint8_t green = x % 5 == y % 6 ? 55 : 200;
            EXPECT_EQ(PixelAt(*Pixels, x, y), (TTestBgr{0, green, 0})) << x << "," << y;
        }
    EXPECT_TRUE(Region.IsAll(1));
}

TEST_F(MarkedRegionTest, OverlayToOverlayRendersFromTheSavedColour)
{
    Make(2, 2, {10, 200, 30});
    Region.SetFillColor(0x123456);
    Region.SetMode(1, kModeFill);
    Region.SetMode(2, kModeHatchRed);
    Region.SetLabel(1, 0, 1);
    EXPECT_EQ(PixelAt(*Pixels, 1, 0), (TTestBgr{0x12, 0x34, 0x56}));
    Region.SetLabel(1, 0, 2);
    EXPECT_EQ(PixelAt(*Pixels, 1, 0), (TTestBgr{0, 0, 200})) << "max of the photo, not of the fill";
    Region.SetLabel(1, 0, 0);
    EXPECT_EQ(PixelAt(*Pixels, 1, 0), (TTestBgr{10, 200, 30}));
}

TEST_F(MarkedRegionTest, ThresholdNegativeSplitsBetween127And128)
{
    Make(1, 1, {127, 128, 0});
    Region.SetMode(6, kModeThresholdNegative);
    Region.SetLabel(0, 0, 6);
    EXPECT_EQ(PixelAt(*Pixels, 0, 0), (TTestBgr{255, 0, 255}));
}

TEST_F(MarkedRegionTest, ShadowDividesByPowersOfRootTwoRoundingHalvesToEven)
{
    Region.SetShadowLevel(2);
    EXPECT_EQ(Region.ShadowDivisor(), 2.0);
    Region.SetShadowLevel(4);
    EXPECT_EQ(Region.ShadowDivisor(), 4.0);

    struct TCase
    {
        int Level;
        TTestBgr Photo, Expected;
    };
    const TCase cases[] = {
        {2, {255, 3, 1}, {128, 2, 0}},     // 127.5 -> 128, 1.5 -> 2, 0.5 -> 0
        {2, {5, 7, 9}, {2, 4, 4}},         // 2.5 -> 2, 3.5 -> 4, 4.5 -> 4
        {4, {2, 6, 10}, {0, 2, 2}},        // 0.5, 1.5, 2.5
        {1, {255, 0, 100}, {180, 0, 71}},  // 180.3, 70.7
        {3, {255, 0, 100}, {90, 0, 35}},   // 90.2, 35.4
        {5, {255, 0, 100}, {45, 0, 18}},   // 45.1, 17.7
        {20, {255, 0, 100}, {45, 0, 18}},  // clamped to 5
        {-3, {255, 0, 100}, {180, 0, 71}}, // clamped to 1
    };
    for (const TCase& c : cases) {
        Make(1, 1, c.Photo);
        Region.SetShadowLevel(c.Level);
        Region.SetMode(5, kModeShadow);
        Region.SetLabel(0, 0, 5);
        EXPECT_EQ(PixelAt(*Pixels, 0, 0), c.Expected) << "level " << c.Level;
        Region.SetLabel(0, 0, 0);
    }
}

TEST_F(MarkedRegionTest, MonochromeScalesTheBrightestChannelByTheTint)
{
    Make(1, 1, {40, 255, 7});
    Region.SetTintColor(0x336699); // red 0x99, green 0x66, blue 0x33
    Region.SetMode(5, kModeMonochrome);
    Region.SetLabel(0, 0, 5);
    // 255 * c / 255 = c exactly.
    EXPECT_EQ(PixelAt(*Pixels, 0, 0), (TTestBgr{0x33, 0x66, 0x99}));
}

TEST_F(MarkedRegionTest, BlurLevelOneAveragesSevenPointsAlongTheOnlyDirection)
{
    // Greys 0, 7, 14, ..., 63 down a 1-pixel-wide field; radius 3 gives windows clipped at the ends.
    const int expected[10] = {10, 14, 18, 21, 28, 35, 42, 46, 49, 52}; // 10.5, 17.5, 45.5, 52.5 to even
    for (const bool tall : {true, false}) {
        Make(tall ? 1 : 10, tall ? 10 : 1);
        for (int i = 0; i < 10; ++i)
            PutGrey(*Pixels, tall ? 0 : i, tall ? i : 0, static_cast<std::uint8_t>(7 * i));
        Region.SetBlurLevel(1);
        EXPECT_EQ(Region.BlurRadius(), 3);
        Region.SetMode(5, kModeBlur);
        for (int i = 0; i < 10; ++i) {
            const int x = tall ? 0 : i, y = tall ? i : 0;
            Region.SetLabel(x, y, 5);
            const auto v = static_cast<std::uint8_t>(expected[i]);
            EXPECT_EQ(PixelAt(*Pixels, x, y), (TTestBgr{v, v, v})) << (tall ? "tall " : "wide ") << i;
        }
        for (int i = 0; i < 10; ++i)
            Region.SetLabel(tall ? 0 : i, tall ? i : 0, 0);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(PixelAt(*Pixels, tall ? 0 : i, tall ? i : 0).Green, 7 * i);
    }
    Region.SetBlurLevel(20);
    EXPECT_EQ(Region.BlurRadius(), 243) << "3^20 would overflow";
    Region.SetBlurLevel(0);
    EXPECT_EQ(Region.BlurRadius(), 3);
}

TEST_F(MarkedRegionTest, BlurImageIsTakenFromThePhotoUnderOverlays)
{
    Make(3, 1, {90, 90, 90});
    Region.SetFillColor(0x000000);
    Region.SetMode(1, kModeFill);
    Region.SetLabel(0, 0, 1); // shows black, the photo stays 90
    Region.SetBlurLevel(1);
    Region.SetMode(5, kModeBlur);
    Region.SetLabel(2, 0, 5);
    EXPECT_EQ(PixelAt(*Pixels, 2, 0), (TTestBgr{90, 90, 90}));
}

TEST_F(MarkedRegionTest, BlurSurvivesAChangeOfSize)
{
    Make(4, 4, {20, 20, 20});
    Region.SetMode(5, kModeBlur);
    auto larger = MakePixels(6, 6, {60, 60, 60});
    ASSERT_TRUE(Region.Attach(larger.get()));
    Region.SetLabel(5, 5, 5);
    EXPECT_EQ(PixelAt(*larger, 5, 5), (TTestBgr{60, 60, 60}));
}

TEST_F(MarkedRegionTest, ModeChangeOfALabelInUseKeepsThePhoto)
{
    Make(2, 1, {10, 200, 30});
    Region.SetLabel(0, 0, 1); // mode none: nothing drawn, nothing saved yet
    Region.SetMode(1, kModeHatchRed);
    EXPECT_EQ(PixelAt(*Pixels, 0, 0), (TTestBgr{0, 0, 55})) << "(0,0) is a hatch point";
    Region.SetMode(1, kModeNone);
    EXPECT_EQ(PixelAt(*Pixels, 0, 0), (TTestBgr{10, 200, 30}));
    Region.SetMode(1, kModeFill);
    Region.SetLabel(0, 0, 0);
    EXPECT_EQ(PixelAt(*Pixels, 0, 0), (TTestBgr{10, 200, 30}));
}

TEST_F(MarkedRegionTest, FloodFillFollowsFourNeighboursOnly)
{
    Make(5, 4);
    Labels({1, 1, 0, 1, 0, //
            0, 1, 0, 0, 1, //
            1, 0, 1, 1, 1, //
            1, 0, 0, 0, 0});
    EXPECT_EQ(Region.FloodFill(1, 1, 5), (TQpRect{0, 0, 2, 2}));
    EXPECT_EQ(LabelRows(), (std::vector<int>{5, 5, 0, 1, 0, //
                                             0, 5, 0, 0, 1, //
                                             1, 0, 1, 1, 1, //
                                             1, 0, 0, 0, 0}));
    EXPECT_EQ(Region.FloodFill(2, 0, 7), (TQpRect{2, 0, 4, 2}));
    EXPECT_EQ(Region.Counts()[5], 3u);
    EXPECT_EQ(Region.Counts()[7], 3u);
    EXPECT_EQ(Region.Counts()[1], 7u);

    const TQpRect nothing = Region.FloodFill(4, 2, 1);
    EXPECT_EQ(nothing, (TQpRect{4, 3, 0, 0}));
    EXPECT_TRUE(nothing.IsEmpty());
    EXPECT_EQ(Region.Counts()[1], 7u);
}

TEST_F(MarkedRegionTest, FillFirstScansColumnsFirst)
{
    Make(4, 4);
    Labels({0, 0, 3, 0, //
            0, 0, 3, 0, //
            0, 0, 0, 0, //
            3, 0, 0, 0});
    TQpRect changed;
    ASSERT_TRUE(Region.FillFirst(3, 2, &changed));
    EXPECT_EQ(changed, (TQpRect{0, 3, 1, 4}));
    EXPECT_EQ(Region.Label(2, 0), 3);
    ASSERT_TRUE(Region.FillFirst(3, 1));
    EXPECT_EQ(Region.Label(2, 1), 1);
    EXPECT_FALSE(Region.FillFirst(3, 2));
}

TEST_F(MarkedRegionTest, ColumnOperationsReportWhatTheyChanged)
{
    Make(3, 5);
    Labels({0, 1, 0, //
            0, 2, 0, //
            0, 0, 0, //
            0, 1, 0, //
            0, 3, 0});
    EXPECT_EQ(Region.RelabelColumnIf(0, 1, 2, 3), (TQpRect{0, 4, 1, 0})) << "nothing changed";
    EXPECT_EQ(Region.RelabelColumnIf(1, 1, 2, 3), (TQpRect{1, 0, 2, 4}));
    EXPECT_EQ(Region.Counts()[3], 4u);
    EXPECT_EQ(Region.RelabelColumn(1, 4), (TQpRect{1, 0, 2, 5}));
    EXPECT_EQ(Region.SwapColumn(0, 4, 5), (TQpRect{0, 0, 1, 5}));
    Region.SetLabel(1, 2, 5);
    EXPECT_EQ(Region.SwapColumn(1, 4, 5), (TQpRect{1, 0, 2, 5}));
    EXPECT_EQ(Region.Label(1, 2), 4);
    EXPECT_EQ(Region.Label(1, 0), 5);
    EXPECT_EQ(Region.Counts()[5], 4u);
    EXPECT_EQ(Region.BoundsOfLabel(4), (TQpRect{1, 2, 2, 3}));
    TLabelSet none;
    none.set(9);
    EXPECT_EQ(Region.BoundsOfSet(none), (TQpRect{2, 4, 0, 0}));
}

TEST_F(MarkedRegionTest, RefreshColumnRedrawsWithNewParameters)
{
    Make(2, 3, {100, 50, 10});
    Region.SetFillColor(0x0000FF);
    Region.SetMode(5, kModeFill);
    Region.SetLabel(1, 0, 5);
    Region.SetLabel(1, 2, 5);
    Region.SetFillColor(0x00FF00);
    EXPECT_EQ(PixelAt(*Pixels, 1, 0), (TTestBgr{0, 0, 255}));
    EXPECT_EQ(Region.RefreshColumn(1, 5), (TQpRect{1, 0, 2, 3}));
    EXPECT_EQ(PixelAt(*Pixels, 1, 0), (TTestBgr{0, 255, 0}));
    EXPECT_EQ(PixelAt(*Pixels, 1, 1), (TTestBgr{100, 50, 10}));
    EXPECT_EQ(Region.RefreshColumn(0, 5), (TQpRect{0, 2, 1, 0}));
}

TEST_F(MarkedRegionTest, ShowingTheStoredLabelsAndTheMarksAreInverses)
{
    std::mt19937 random(7);
    Make(9, 7);
    std::uniform_int_distribution<int> byte(0, 255), mark(0, 3), result(0, 2);
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 7; ++y)
            PutPixel(*Pixels, x, y,
                     {static_cast<std::uint8_t>(byte(random)), static_cast<std::uint8_t>(byte(random)),
                      static_cast<std::uint8_t>(byte(random))});
    const std::vector<int> modes = {kModeNone, kModeHatchGreen, kModeHatchRed,         kModeHatchRedGreen,
                                    kModeNone, kModeShadow,     kModeThresholdNegative};
    for (std::size_t l = 0; l < modes.size(); ++l)
        Region.SetMode(static_cast<std::uint8_t>(l), static_cast<std::uint8_t>(modes[l]));
    std::vector<TTestBgr> photo;
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 7; ++y) {
            photo.push_back(PixelAt(*Pixels, x, y));
            Region.SetLabel(x, y, static_cast<std::uint8_t>(mark(random)));
            Region.SetStoredLabel(x, y, static_cast<std::uint8_t>(result(random)));
        }
    TPointGrid before;
    TLabelCounts counts;
    Region.CopyCurrent(counts, Region.Bounds(), before);
    std::vector<TTestBgr> shownBefore;
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 7; ++y)
            shownBefore.push_back(PixelAt(*Pixels, x, y));

    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(Region.ShowStoredColumn(x, 3), (TQpRect{x, 0, x + 1, 7}));
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 7; ++y) {
            const TPointRecord& old = before[static_cast<std::size_t>(x * 7 + y)];
            EXPECT_EQ(Region.Label(x, y), old.StoredLabel + 3);
            EXPECT_EQ(Region.StoredLabel(x, y), old.Label);
            if (old.StoredLabel == 1) {
                EXPECT_EQ(PixelAt(*Pixels, x, y), photo[static_cast<std::size_t>(x * 7 + y)])
                    << "object as is";
            }
        }
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(Region.ShowMarksColumn(x, 3), (TQpRect{x, 0, x + 1, 7}));
    TPointGrid after;
    TLabelCounts countsAfter;
    Region.CopyCurrent(countsAfter, Region.Bounds(), after);
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].Label, before[i].Label);
        EXPECT_EQ(after[i].StoredLabel, before[i].StoredLabel);
        if (Region.Mode(after[i].Label) != kModeNone) {
            EXPECT_EQ(after[i], before[i]) << "saved colours of drawn-over points";
        }
    }
    EXPECT_EQ(countsAfter, counts);
    for (int x = 0; x < 9; ++x)
        for (int y = 0; y < 7; ++y)
            EXPECT_EQ(PixelAt(*Pixels, x, y), shownBefore[static_cast<std::size_t>(x * 7 + y)]);
}

TEST_F(MarkedRegionTest, SnapshotsRestoreTheRectangleAndTheCounts)
{
    Make(4, 3, {1, 2, 3});
    Region.SetMode(1, kModeHatchGrey);
    Region.SetLabel(0, 0, 1);
    Region.SetStoredLabel(2, 1, 9);
    Region.Backup(Region.Bounds());
    const TLabelCounts backupCounts = Region.Counts();

    Region.SetLabel(1, 1, 1);
    Region.SetLabel(3, 2, 1);
    Region.SetStoredLabel(2, 1, 4);
    TLabelCounts counts;
    TPointGrid grid;
    const TQpRect rect{1, 1, 3, 3};
    Region.CopyBackup(counts, rect, grid);
    EXPECT_EQ(counts, backupCounts);
    ASSERT_EQ(grid.size(), 4u);
    EXPECT_EQ(grid[0].Label, 0);       // (1, 1)
    EXPECT_EQ(grid[2].StoredLabel, 9); // (2, 1), [x][y] relative to the corner
    Region.CopyCurrent(counts, rect, grid);
    EXPECT_EQ(counts[1], 3u);
    EXPECT_EQ(grid[0].Label, 1);
    EXPECT_EQ(grid[0].Blue, 1) << "saved colour kept in the record";

    TPointGrid backup;
    TLabelCounts oldCounts;
    Region.CopyBackup(oldCounts, rect, backup);
    const TTestBgr shown = PixelAt(*Pixels, 1, 1);
    ASSERT_TRUE(Region.Restore(oldCounts, rect, backup));
    EXPECT_EQ(Region.Label(1, 1), 0);
    EXPECT_EQ(Region.StoredLabel(2, 1), 9);
    EXPECT_EQ(Region.Label(3, 2), 1) << "outside the rectangle";
    EXPECT_EQ(Region.Counts(), backupCounts);
    EXPECT_EQ(PixelAt(*Pixels, 1, 1), shown) << "pixels are the caller's";
    EXPECT_FALSE(Region.Restore(oldCounts, rect, TPointGrid(3)));
}

TEST_F(MarkedRegionTest, AttachKeepsMarksOfTheSameSizeAndClearsOtherwise)
{
    Make(3, 3, {5, 5, 5});
    Region.SetMode(2, kModeHatchRed);
    Region.SetLabel(1, 1, 2);
    auto same = MakePixels(3, 3, {5, 5, 5});
    ASSERT_TRUE(Region.Attach(same.get()));
    EXPECT_EQ(Region.Label(1, 1), 2);
    EXPECT_TRUE(Region.HasLabel(2));

    auto other = MakePixels(2, 5, {8, 9, 10});
    ASSERT_TRUE(Region.Attach(other.get()));
    EXPECT_EQ(Region.Width(), 2);
    EXPECT_EQ(Region.Height(), 5);
    EXPECT_TRUE(Region.IsEmpty());
    EXPECT_FALSE(Region.HasLabel(2));
    EXPECT_EQ(Region.Counts()[0], 10u);
    for (int x = 0; x < 2; ++x)
        for (int y = 0; y < 5; ++y)
            EXPECT_EQ(PixelAt(*other, x, y), (TTestBgr{8, 9, 10}));
    TLabelCounts backup;
    TPointGrid grid;
    Region.CopyBackup(backup, Region.Bounds(), grid);
    EXPECT_EQ(backup[0], 10u);
    EXPECT_EQ(grid, TPointGrid(10));
}

TEST_F(MarkedRegionTest, ClearMarksLeavesTheOverlayInThePicture)
{
    Make(2, 2, {10, 200, 30});
    Region.SetMode(1, kModeHatchGreen);
    Region.SetLabel(1, 0, 1);
    Region.Backup(Region.Bounds());
    Region.ClearMarks();
    EXPECT_TRUE(Region.IsEmpty());
    EXPECT_EQ(PixelAt(*Pixels, 1, 0), (TTestBgr{0, 200, 0}));
    TLabelCounts backup;
    TPointGrid grid;
    Region.CopyBackup(backup, Region.Bounds(), grid);
    EXPECT_EQ(backup[1], 1u) << "the backup stays";
    Region.ClearAll();
    Region.CopyBackup(backup, Region.Bounds(), grid);
    EXPECT_EQ(backup[1], 0u);
}

TEST_F(MarkedRegionTest, RefusesPixelsItCannotDrawInto)
{
    TQpPixels grey;
    std::uint8_t bytes[4] = {};
    grey.Init({0, 0, 2, 2}, bytes, 0x1001, 4);
    EXPECT_FALSE(Region.Attach(&grey));
    EXPECT_EQ(Region.Width(), 0);
    EXPECT_EQ(Region.Pixels(), nullptr);
}
