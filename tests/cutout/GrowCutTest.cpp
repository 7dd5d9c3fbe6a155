#include "cutout/GrowCut.h"
#include "cutout/MarkedRegion.h"

#include "CutoutTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

TLabelSet SeparationFree()
{
    TLabelSet free;
    for (int label : {0, 6, 7, 8})
        free.set(static_cast<std::size_t>(label));
    return free;
}

// A region over grey pixels with the given labels, rows top first; every mode stays none.
struct TField
{
    std::unique_ptr<TQpPixelBuffer> Pixels;
    TMarkedRegion Region;

    TField(int width, int height, const std::vector<int>& greys, const std::vector<int>& labels)
        : Pixels(MakePixels(width, height))
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                PutGrey(*Pixels, x, y,
                        static_cast<std::uint8_t>(greys[static_cast<std::size_t>(y * width + x)]));
        Region.Attach(Pixels.get());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                Region.SetLabel(x, y,
                                static_cast<std::uint8_t>(labels[static_cast<std::size_t>(y * width + x)]));
        Region.SetFreeLabels(SeparationFree());
    }
};

std::vector<int> CellLabels(const TGrowCut& growCut, int width, int height)
{
    std::vector<int> labels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            labels.push_back(growCut.CellLabel(x, y));
    return labels;
}

// Commits every entry the way the separation tool does; returns the entries and whether each changed.
struct TCommitted
{
    int X, Y, Label;
    bool Changed;
    friend bool operator==(const TCommitted&, const TCommitted&) = default;
};

std::vector<TCommitted> CommitAll(TGrowCut& growCut, std::size_t count)
{
    std::vector<TCommitted> out;
    for (std::size_t i = 0; i < count; ++i) {
        const bool changed = growCut.Commit(i);
        const TGrowCut::TEntry e = growCut.Entry(i);
        out.push_back({e.X, e.Y, e.Label, changed});
    }
    return out;
}

float SeedForce(int similarity)
{
    return static_cast<float>(similarity) * (1.0f / 255.0f);
}

} // namespace

// 3 x 2 field, greys    0  55  55      labels 1 0 0
//                     155 100 255             0 0 2
// Step by step from the rules (s = strength / 255 as float, forces sim * s as float):
// Prepare pushes (0,0) then (2,1). Run 1, step 1: (2,1) attacks up (2,0) with sim 55 and left (1,1) with
// sim 100; (0,0) attacks down (0,1) with sim 100 and right (1,0) with sim 200. Queue (2,0) (1,1) (0,1)
// (1,0) is pushed last first. Step 2: the top is unstable and so is every entry below it, so phase A ends
// and nothing is queued: Run returns 4. Run 2: (2,0) and (1,1), now label 2, fail; (0,1) fails; (1,0)
// (strength 200/255) takes (1,1) with force 210 * s and (2,0) with 255 * s. Step 2 again finds only
// unstable entries: 2. Run 3: (1,1), label 1 now, strengthens (0,1) (same label, stays stable) and
// (2,0)'s attack on (1,0) ties at 200/255 and fails; step 2 pops (0,1), which queues nothing: 0.
TEST(GrowCutTest, LabelSequenceWorkedOutByHand)
{
    TField field(3, 2, {0, 55, 55, 155, 100, 255}, {1, 0, 0, 0, 0, 2});
    TGrowCut growCut;
    ASSERT_TRUE(growCut.Prepare(field.Region, field.Region.Bounds()));
    ASSERT_EQ(growCut.ActiveCount(), 2u);
    EXPECT_EQ(growCut.Entry(0).X, 0);
    EXPECT_EQ(growCut.Entry(0).Y, 0);
    EXPECT_EQ(growCut.Entry(1).X, 2);
    EXPECT_EQ(growCut.Entry(1).Y, 1);

    ASSERT_EQ(growCut.Run(3), 4u);
    EXPECT_EQ(growCut.PendingLabel(1, 0), 1);
    EXPECT_EQ(growCut.CellLabel(1, 0), 0) << "conquests wait for the commit";
    EXPECT_EQ(CommitAll(growCut, 4),
              (std::vector<TCommitted>{{1, 0, 1, true}, {0, 1, 1, true}, {1, 1, 2, true}, {2, 0, 2, true}}));
    EXPECT_EQ(CellLabels(growCut, 3, 2), (std::vector<int>{1, 1, 2, 1, 2, 2}));
    EXPECT_EQ(growCut.Strength(1, 0), SeedForce(200));
    EXPECT_EQ(growCut.Strength(2, 0), SeedForce(55));
    EXPECT_EQ(growCut.Strength(1, 1), SeedForce(100));
    EXPECT_EQ(growCut.Strength(0, 1), SeedForce(100));

    ASSERT_EQ(growCut.Run(3), 2u);
    EXPECT_EQ(CommitAll(growCut, 2), (std::vector<TCommitted>{{2, 0, 1, true}, {1, 1, 1, true}}));
    EXPECT_EQ(CellLabels(growCut, 3, 2), (std::vector<int>{1, 1, 1, 1, 1, 2}));
    const float s10 = SeedForce(200) / 255.0f;
    EXPECT_EQ(growCut.Strength(1, 1), 210.0f * s10);
    EXPECT_EQ(growCut.Strength(2, 0), 255.0f * s10);
    EXPECT_EQ(growCut.Strength(2, 0), growCut.Strength(1, 0));

    ASSERT_EQ(growCut.Run(3), 0u);
    EXPECT_EQ(CellLabels(growCut, 3, 2), (std::vector<int>{1, 1, 1, 1, 1, 2}));
    EXPECT_EQ(growCut.Strength(0, 1), 200.0f * (210.0f * s10 / 255.0f));
}

TEST(GrowCutTest, IdenticalColoursGiveFullForceAndFullDifferenceNone)
{
    // Similarity 255 lets a seed pass on its full strength; a 255 step in one channel stops it dead.
    auto pixels = MakePixels(3, 1, {40, 90, 200});
    TMarkedRegion region;
    region.Attach(pixels.get());
    region.SetFreeLabels(SeparationFree());
    region.SetLabel(0, 0, 1);
    {
        TGrowCut growCut;
        growCut.Prepare(region, region.Bounds());
        ASSERT_EQ(growCut.Run(1), 1u);
        EXPECT_EQ(growCut.Strength(1, 0), 1.0f);
    }

    auto stark = MakePixels(2, 1, {0, 0, 0});
    PutPixel(*stark, 1, 0, {0, 255, 0});
    TMarkedRegion starkRegion;
    starkRegion.Attach(stark.get());
    starkRegion.SetFreeLabels(SeparationFree());
    starkRegion.SetLabel(0, 0, 2);
    {
        TGrowCut growCut;
        growCut.Prepare(starkRegion, starkRegion.Bounds());
        EXPECT_EQ(growCut.Run(3), 0u);
        EXPECT_EQ(growCut.CellLabel(1, 0), 0);
        EXPECT_EQ(growCut.Strength(1, 0), 0.0f);
    }
    EXPECT_EQ(starkRegion.StoredLabel(1, 0), 0) << "unreached points store 0";
    EXPECT_EQ(starkRegion.StoredLabel(0, 0), 2);
}

TEST(GrowCutTest, EqualForceKeepsTheFirstAttacker)
{
    // Both seeds reach the middle cell with force 1.0. The later seed in push order sits on top of the
    // stack and attacks first; the second, equal attack must not win.
    for (const auto& [left, right] : {std::pair{1, 2}, std::pair{2, 1}}) {
        TField field(3, 1, {77, 77, 77}, {left, 0, right});
        TGrowCut growCut;
        growCut.Prepare(field.Region, field.Region.Bounds());
        ASSERT_EQ(growCut.Run(1), 1u);
        EXPECT_EQ(growCut.PendingLabel(1, 0), right);
        EXPECT_EQ(growCut.Strength(1, 0), 1.0f);
    }
}

TEST(GrowCutTest, SeamBetweenTwoSeedAreasStopsAfterOneStep)
{
    TField field(4, 3, std::vector<int>(12, 128), {1, 1, 2, 2, 1, 1, 2, 2, 1, 1, 2, 2});
    TGrowCut growCut;
    growCut.Prepare(field.Region, field.Region.Bounds());
    ASSERT_EQ(growCut.ActiveCount(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        const TGrowCut::TEntry e = growCut.Entry(i);
        EXPECT_EQ(e.X, i < 3 ? 1 : 2);
        EXPECT_EQ(e.Y, static_cast<int>(i % 3));
    }
    EXPECT_EQ(growCut.Run(3), 0u);
    EXPECT_EQ(CellLabels(growCut, 4, 3), (std::vector<int>{1, 1, 2, 2, 1, 1, 2, 2, 1, 1, 2, 2}));
}

TEST(GrowCutTest, SeedsInsideTheirOwnLabelStayOut)
{
    // A one-label field, touching every border, has no boundary and so nothing to do.
    TField field(3, 3, std::vector<int>(9, 10), std::vector<int>(9, 2));
    TGrowCut growCut;
    growCut.Prepare(field.Region, field.Region.Bounds());
    EXPECT_EQ(growCut.ActiveCount(), 0u);
    EXPECT_EQ(growCut.Run(3), 0u);
}

TEST(GrowCutTest, WithoutSeedsNothingHappens)
{
    TField field(3, 2, {1, 2, 3, 4, 5, 6}, {0, 6, 7, 8, 0, 0});
    {
        TGrowCut growCut;
        growCut.Prepare(field.Region, field.Region.Bounds());
        EXPECT_EQ(growCut.ActiveCount(), 0u);
        EXPECT_EQ(growCut.Run(3), 0u);
        EXPECT_EQ(CellLabels(growCut, 3, 2), (std::vector<int>{0, 6, 7, 8, 0, 0}));
    }
    EXPECT_EQ(field.Region.StoredLabel(1, 0), 6);
    EXPECT_EQ(field.Region.StoredLabel(0, 1), 8);
    EXPECT_EQ(field.Region.StoredLabel(1, 1), 0);
}

TEST(GrowCutTest, FreeingStoresEveryLabelAndUnreachedPointsKeepZero)
{
    // Column 2 is free but a wall of opposite colour (similarity 0) cuts it off; column 4 has no seed path.
    const std::vector<int> greys = {0, 0, 255, 0, 0, 0, 0, 255, 0, 0};
    const std::vector<int> labels = {1, 0, 0, 0, 2, 1, 0, 0, 0, 2};
    TField field(5, 2, greys, labels);
    for (int x = 0; x < 5; ++x)
        for (int y = 0; y < 2; ++y)
            field.Region.SetStoredLabel(x, y, 99);
    {
        TGrowCut growCut;
        growCut.Prepare(field.Region, field.Region.Bounds());
        std::size_t n = 0;
        while ((n = growCut.Run(3)) != 0)
            CommitAll(growCut, n);
    }
    const int expected[2][5] = {{1, 1, 0, 2, 2}, {1, 1, 0, 2, 2}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(field.Region.StoredLabel(x, y), expected[y][x]) << x << "," << y;
    EXPECT_EQ(field.Region.Label(1, 0), 0) << "the region's own labels are the caller's business";
}

TEST(GrowCutTest, BoundaryLooksAtExistingNeighboursOnly)
{
    TField field(3, 3, std::vector<int>(9, 0), {1, 1, 1, 1, 1, 2, 1, 1, 1});
    TGrowCut growCut;
    growCut.Prepare(field.Region, field.Region.Bounds());
    EXPECT_FALSE(growCut.IsBoundary(0, 0));
    EXPECT_FALSE(growCut.IsBoundary(0, 2));
    EXPECT_TRUE(growCut.IsBoundary(2, 1));
    EXPECT_TRUE(growCut.IsBoundary(2, 0));
    EXPECT_TRUE(growCut.IsBoundary(1, 1));
    EXPECT_FALSE(growCut.IsBoundary(1, 0));
}

namespace {

// The rules written out directly: a record per cell and positions packed into 16-bit halves.
class TReferenceGrowCut
{
public:
    struct TCell
    {
        float Strength;
        int Label, Pending, Right, Down;
        bool Queued, Active;
    };

    TReferenceGrowCut(int width, int height, const std::vector<int>& greys, const std::vector<int>& labels,
                      const TLabelSet& free)
        : m_w(width), m_h(height), m_cells(static_cast<std::size_t>(width * height))
    {
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < height; ++y) {
                TCell& c = At(x, y);
                c.Label = c.Pending = labels[static_cast<std::size_t>(y * width + x)];
                c.Strength = free.test(static_cast<std::size_t>(c.Label)) ? 0.0f : 1.0f;
                const int g = greys[static_cast<std::size_t>(y * width + x)];
                c.Right = x < width - 1
                              ? 255 - std::abs(g - greys[static_cast<std::size_t>(y * width + x + 1)])
                              : 0;
                c.Down = y < height - 1
                             ? 255 - std::abs(g - greys[static_cast<std::size_t>((y + 1) * width + x)])
                             : 0;
                c.Queued = c.Active = false;
            }
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < height; ++y)
                if (!free.test(static_cast<std::size_t>(At(x, y).Label)) && Boundary(x, y)) {
                    m_stack.push_back(x | (y << 16));
                    At(x, y).Active = true;
                }
    }

    TCell& At(int x, int y) { return m_cells[static_cast<std::size_t>(x * m_h + y)]; }
    TCell& AtPacked(int p) { return At(p & 0xFFFF, p >> 16); }
    bool Boundary(int x, int y)
    {
        const int l = At(x, y).Label;
        return (x > 0 && At(x - 1, y).Label != l) || (x < m_w - 1 && At(x + 1, y).Label != l) ||
               (y > 0 && At(x, y - 1).Label != l) || (y < m_h - 1 && At(x, y + 1).Label != l);
    }
    bool Stable(int p) { return AtPacked(p).Label == AtPacked(p).Pending; }

    std::size_t Run(int steps)
    {
        for (int step = 0; step < steps; ++step) {
            std::size_t k = 0;
            std::vector<int> queue;
            while (!m_stack.empty()) {
                const std::size_t n = m_stack.size();
                if (!Stable(m_stack[n - 1])) {
                    while (k < n - 1 && !Stable(m_stack[k]))
                        ++k;
                    if (k >= n - 1)
                        break;
                    std::swap(m_stack[k], m_stack[n - 1]);
                    ++k;
                }
                const int p = m_stack.back();
                m_stack.pop_back();
                const int x = p & 0xFFFF, y = p >> 16;
                TCell& c = At(x, y);
                c.Active = false;
                const float s = static_cast<float>(static_cast<double>(c.Strength) / 255.0);
                auto attack = [&](int vx, int vy, int sim) {
                    const float f = static_cast<float>(static_cast<double>(sim) * static_cast<double>(s));
                    TCell& v = At(vx, vy);
                    if (f > v.Strength) {
                        v.Strength = f;
                        v.Pending = c.Pending;
                        if (!v.Queued) {
                            v.Queued = true;
                            queue.push_back(vx | (vy << 16));
                        }
                    }
                };
                if (y < m_h - 1)
                    attack(x, y + 1, c.Down);
                if (x < m_w - 1)
                    attack(x + 1, y, c.Right);
                if (y > 0)
                    attack(x, y - 1, At(x, y - 1).Down);
                if (x > 0)
                    attack(x - 1, y, At(x - 1, y).Right);
            }
            if (queue.empty())
                break;
            for (auto it = queue.rbegin(); it != queue.rend(); ++it) {
                TCell& v = AtPacked(*it);
                v.Queued = false;
                if (!v.Active) {
                    v.Active = true;
                    m_stack.push_back(*it);
                }
            }
        }
        return m_stack.size();
    }

    std::vector<TCommitted> CommitAll(std::size_t n)
    {
        std::vector<TCommitted> out;
        for (std::size_t i = 0; i < n; ++i) {
            TCell& c = AtPacked(m_stack[i]);
            const bool changed = c.Label != c.Pending;
            c.Label = c.Pending;
            out.push_back({m_stack[i] & 0xFFFF, m_stack[i] >> 16, c.Label, changed});
        }
        return out;
    }

private:
    int m_w, m_h;
    std::vector<TCell> m_cells;
    std::vector<int> m_stack;
};

} // namespace

TEST(GrowCutTest, MatchesTheRulesWrittenOutOnRandomFields)
{
    std::mt19937 random(20261209);
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {5, 4}, {12, 7}, {23, 17}, {40, 31}};
    for (const auto& size : sizes)
        for (int trial = 0; trial < 30; ++trial) {
            const int w = size[0], h = size[1];
            // Few grey levels and few seeds: ties, reconquests and long unstable runs all happen.
            std::uniform_int_distribution<int> levels(0, trial % 3 == 0 ? 3 : 255);
            std::uniform_int_distribution<int> kind(0, 19);
            std::vector<int> greys, labels;
            for (int i = 0; i < w * h; ++i) {
                greys.push_back(levels(random) * (trial % 3 == 0 ? 60 : 1));
                const int k = kind(random);
                labels.push_back(k == 0 ? 1 : k == 1 ? 2 : k == 2 ? 6 : k == 3 ? 3 : 0);
            }
            TField field(w, h, greys, labels);
            TReferenceGrowCut reference(w, h, greys, labels, SeparationFree());
            TGrowCut growCut;
            growCut.Prepare(field.Region, field.Region.Bounds());
            const int steps = 1 + trial % 3;
            for (int call = 0; call < 10000; ++call) {
                const std::size_t expected = reference.Run(steps);
                ASSERT_EQ(growCut.Run(steps), expected)
                    << w << "x" << h << " trial " << trial << " call " << call;
                ASSERT_EQ(CommitAll(growCut, expected), reference.CommitAll(expected));
                for (int x = 0; x < w; ++x)
                    for (int y = 0; y < h; ++y)
                        ASSERT_EQ(growCut.Strength(x, y), reference.At(x, y).Strength);
                if (expected == 0)
                    break;
            }
        }
}

TEST(GrowCutTest, FieldsWiderThan32767PointsDoNotWrap)
{
    // Positions packed into 16-bit halves would wrap past x = 32767; cell indices do not.
    const int width = 33000;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * 3 * 2, 120);
    TQpPixels pixels;
    pixels.Init({0, 0, width, 2}, bytes.data(), pfBGR24, width * 3);
    TMarkedRegion region;
    ASSERT_TRUE(region.Attach(&pixels));
    region.SetFreeLabels(SeparationFree());
    region.SetLabel(0, 0, 1);
    region.SetLabel(width - 1, 1, 2);
    int farthest = 0;
    {
        TGrowCut growCut;
        ASSERT_TRUE(growCut.Prepare(region, region.Bounds()));
        std::size_t n = 0;
        while ((n = growCut.Run(3)) != 0)
            for (const TCommitted& c : CommitAll(growCut, n)) {
                ASSERT_EQ(growCut.CellLabel(c.X, c.Y), c.Label);
                farthest = std::max(farthest, c.X);
            }
    }
    EXPECT_EQ(farthest, width - 1);
    for (int x = 0; x < width; x += 997)
        EXPECT_EQ(region.StoredLabel(x, 0), x < width / 2 ? 1 : 2) << x;

    EXPECT_EQ(region.FloodFill(0, 1, 9), (TQpRect{0, 0, width, 2}));
    EXPECT_EQ(region.Counts()[9], static_cast<std::uint32_t>(2 * width - 2));
}
