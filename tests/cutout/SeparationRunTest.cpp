#include "cutout/SeparationRun.h"
#include "cutout/MarkedRegion.h"

#include "CutoutTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TRecordingHost : ISeparationHost
{
    const TMarkedRegion* Region = nullptr;
    int Repaints = 0;
    int AbortAfter = -1; // answers to AbortRequested before saying yes; -1 never
    bool SawGrowth = false;

    void Repaint(const TQpRect&) override
    {
        ++Repaints;
        if (Region && (Region->HasLabel(kLabelGrownObject) || Region->HasLabel(kLabelGrownBackground)))
            SawGrowth = true;
    }
    void ProcessMessages() override {}
    bool AbortRequested() override { return AbortAfter >= 0 && AbortAfter-- == 0; }
};

struct TSeparationFixture : ::testing::Test
{
    std::unique_ptr<TQpPixelBuffer> Pixels;
    TMarkedRegion Region;
    TRecordingHost Host;

    void Make(int width, int height, const std::vector<int>& labels, TTestBgr colour = {90, 90, 90})
    {
        Pixels = MakePixels(width, height, colour);
        ASSERT_TRUE(Region.Attach(Pixels.get()));
        ApplySeparationDisplayModes(Region, TBackgroundEffect::Color);
        Region.SetFillColor(0xFFFFFF);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                Region.SetLabel(x, y,
                                static_cast<std::uint8_t>(labels[static_cast<std::size_t>(y * width + x)]));
        Host.Region = &Region;
    }
    std::vector<int> Rows(bool stored) const
    {
        std::vector<int> out;
        for (int y = 0; y < Region.Height(); ++y)
            for (int x = 0; x < Region.Width(); ++x)
                out.push_back(stored ? Region.StoredLabel(x, y) : Region.Label(x, y));
        return out;
    }
    void ExpectCountsMatchPoints() const
    {
        TLabelCounts counted{};
        for (int x = 0; x < Region.Width(); ++x)
            for (int y = 0; y < Region.Height(); ++y)
                ++counted[Region.Label(x, y)];
        EXPECT_EQ(counted, Region.Counts());
    }
};

using SeparationRunTest = TSeparationFixture;

} // namespace

TEST_F(SeparationRunTest, GrowsInCommittedSlicesAndLeavesTheBoundary)
{
    // One row of equal colour: each slice moves both fronts by one pixel (7 and 8 while growing); they
    // meet between x = 2 and 3, which become the boundary, the rest of the grown points unmarked again.
    Make(6, 1, {1, 0, 0, 0, 0, 2});
    const TSeparationResult result = RunSeparation(Region, TSeparationRegime::Full, Host);
    EXPECT_EQ(result.Outcome, TSeparationOutcome::Separated);
    EXPECT_EQ(result.Undecided, (TQpRect{1, 0, 5, 1}));
    EXPECT_EQ(result.Slices, 3u);
    EXPECT_TRUE(Host.SawGrowth);
    EXPECT_EQ(Rows(false), (std::vector<int>{1, 0, 6, 6, 0, 2}));
    EXPECT_EQ(Rows(true), (std::vector<int>{1, 1, 1, 2, 2, 2}));
    ExpectCountsMatchPoints();
    // Threshold negative of grey 90 on the boundary, the photo elsewhere.
    EXPECT_EQ(Pixels->PixelPtr(2, 0)[0], 255);
    EXPECT_EQ(Pixels->PixelPtr(1, 0)[0], 90);

    ASSERT_TRUE(ShowSeparationResult(Region, TBackgroundEffect::Color, Host));
    EXPECT_EQ(Rows(false), (std::vector<int>{4, 4, 4, 5, 5, 5}));
    EXPECT_EQ(Rows(true), (std::vector<int>{1, 0, 6, 6, 0, 2}));
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(Pixels->PixelPtr(x, 0)[1], x < 3 ? 90 : 255) << x;
}

TEST_F(SeparationRunTest, WithoutBothMarksNothingRuns)
{
    Make(3, 2, {1, 0, 0, 0, 0, 1});
    const TSeparationResult result = RunSeparation(Region, TSeparationRegime::Full, Host);
    EXPECT_EQ(result.Outcome, TSeparationOutcome::MissingMarks);
    EXPECT_EQ(Rows(false), (std::vector<int>{1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(Rows(true), (std::vector<int>(6, 0)));
}

TEST_F(SeparationRunTest, EdgeRegimeSplitsUnknownComponentsAndReturnsThem)
{
    // Unknown outside and inside a cleaned ring: the first component found (x outer) is the outside and
    // becomes background, the inside object.
    std::vector<int> labels(49, 3);
    for (int i = 1; i < 6; ++i)
        for (int j : {1, 5}) {
            labels[static_cast<std::size_t>(j * 7 + i)] = 0;
            labels[static_cast<std::size_t>(i * 7 + j)] = 0;
        }
    Make(7, 7, labels);
    const TSeparationResult result = RunSeparation(Region, TSeparationRegime::Edge, Host);
    ASSERT_EQ(result.Outcome, TSeparationOutcome::Separated);
    EXPECT_EQ(result.Undecided, (TQpRect{1, 1, 6, 6}));
    for (int x = 0; x < 7; ++x)
        for (int y = 0; y < 7; ++y) {
            const bool inside = x >= 2 && x <= 4 && y >= 2 && y <= 4;
            const bool outside = x == 0 || x == 6 || y == 0 || y == 6;
            if (inside || outside) {
                EXPECT_EQ(Region.Label(x, y), kLabelUnknown) << x << "," << y;
                EXPECT_EQ(Region.StoredLabel(x, y), inside ? 1 : 2) << x << "," << y;
            } else {
                EXPECT_NE(Region.StoredLabel(x, y), 0);
                EXPECT_TRUE(Region.Label(x, y) == 0 || Region.Label(x, y) == kLabelBoundary);
            }
        }
    EXPECT_FALSE(Region.HasLabel(kLabelObject));
    EXPECT_FALSE(Region.HasLabel(kLabelBackground));
    ExpectCountsMatchPoints();
}

TEST_F(SeparationRunTest, AbortInTheEdgeRegimeReturnsTheSplitComponentsToUnknown)
{
    // The split turns unknown points outside the undecided area into marks; an undo restores only that
    // area, so the run itself must put them back.
    std::vector<int> labels(100, 3);
    for (int i = 1; i < 9; ++i)
        for (int j : {1, 8}) {
            labels[static_cast<std::size_t>(j * 10 + i)] = 0;
            labels[static_cast<std::size_t>(i * 10 + j)] = 0;
        }
    Make(10, 10, labels);
    Host.AbortAfter = 0;
    const TSeparationResult result = RunSeparation(Region, TSeparationRegime::Edge, Host);
    EXPECT_EQ(result.Outcome, TSeparationOutcome::Aborted);
    EXPECT_EQ(result.Slices, 1u);
    EXPECT_EQ(Region.Label(0, 0), kLabelUnknown);
    EXPECT_EQ(Region.Label(4, 4), kLabelUnknown);
    EXPECT_FALSE(Region.HasLabel(kLabelObject));
    EXPECT_FALSE(Region.HasLabel(kLabelBackground));
    ExpectCountsMatchPoints();
}

TEST_F(SeparationRunTest, MarksCoveringEverythingAreTheResult)
{
    Make(2, 2, {1, 2, 2, 2});
    ASSERT_TRUE(ShowSeparationResult(Region, TBackgroundEffect::Color, Host));
    EXPECT_EQ(Rows(false), (std::vector<int>{4, 5, 5, 5}));
    EXPECT_EQ(Rows(true), (std::vector<int>{1, 2, 2, 2}));

    Make(2, 2, {1, 2, 0, 2});
    EXPECT_FALSE(ShowSeparationResult(Region, TBackgroundEffect::Color, Host)) << "no result yet";
}
