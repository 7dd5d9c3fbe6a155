#include "cutout/ArithmeticMean.h"

#include "core/ProgressMeter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// The box mean as the rules state it: per column along y into B, then per row along x back into A,
// one entry at a time, sum times the reciprocal of the count.
std::vector<float> ReferenceMean(const std::vector<float>& a, int w, int h, int r)
{
    auto at = [h](int x, int y, int c) { return (static_cast<std::size_t>(x) * h + y) * 3 + c; };
    std::vector<float> b(a.size()), out(a.size());
    for (int x = 0; x < w; ++x) {
        float sum[3] = {};
        int count = 0;
        for (int i = 0; i <= std::min(r - 1, h - 1); ++i, ++count)
            for (int c = 0; c < 3; ++c)
                sum[c] += a[at(x, i, c)];
        for (int d = 0; d < h; ++d) {
            if (d - r > 0) {
                for (int c = 0; c < 3; ++c)
                    sum[c] -= a[at(x, d - r - 1, c)];
                --count;
            }
            if (d + r < h) {
                for (int c = 0; c < 3; ++c)
                    sum[c] += a[at(x, d + r, c)];
                ++count;
            }
            for (int c = 0; c < 3; ++c)
                b[at(x, d, c)] = count ? static_cast<float>(sum[c] * (1.0 / count)) : 0.0f;
        }
    }
    for (int y = 0; y < h; ++y) {
        float sum[3] = {};
        int count = 0;
        for (int i = 0; i <= std::min(r - 1, w - 1); ++i, ++count)
            for (int c = 0; c < 3; ++c)
                sum[c] += b[at(i, y, c)];
        for (int d = 0; d < w; ++d) {
            if (d - r > 0) {
                for (int c = 0; c < 3; ++c)
                    sum[c] -= b[at(d - r - 1, y, c)];
                --count;
            }
            if (d + r < w) {
                for (int c = 0; c < 3; ++c)
                    sum[c] += b[at(d + r, y, c)];
                ++count;
            }
            for (int c = 0; c < 3; ++c)
                out[at(d, y, c)] = count ? static_cast<float>(sum[c] * (1.0 / count)) : 0.0f;
        }
    }
    return out;
}

struct TCountingMeter : IProgressMeter
{
    std::vector<int> Starts;
    int Steps = 0;
    void Start(int steps) override { Starts.push_back(steps); }
    void Step() override { ++Steps; }
};

} // namespace

TEST(ArithmeticMeanTest, MatchesTheStatedSequenceBitForBit)
{
    std::mt19937 random(4114);
    std::uniform_int_distribution<std::uint32_t> colour(0, 0xFFFFFF);
    const int sizes[][2] = {{1, 1}, {1, 37}, {37, 1}, {2, 2}, {13, 29}, {64, 48}, {5, 300}};
    for (const auto& size : sizes)
        for (const int radius : {0, 1, 2, 3, 9, 27, 243}) {
            const int w = size[0], h = size[1];
            TArithmeticMean mean;
            ASSERT_TRUE(mean.SetSize(w, h));
            std::vector<float> a(static_cast<std::size_t>(w) * h * 3);
            for (int x = 0; x < w; ++x)
                for (int y = 0; y < h; ++y) {
                    const std::uint32_t packed = colour(random);
                    mean.Set(x, y, packed);
                    const std::size_t i = (static_cast<std::size_t>(x) * h + y) * 3;
                    a[i] = static_cast<float>(packed & 0xFF);
                    a[i + 1] = static_cast<float>((packed >> 8) & 0xFF);
                    a[i + 2] = static_cast<float>(packed >> 16);
                }
            mean.Compute(radius);
            const std::vector<float> expected = ReferenceMean(a, w, h, radius);
            for (int x = 0; x < w; ++x)
                for (int y = 0; y < h; ++y) {
                    std::uint8_t bgr[3];
                    mean.Get(x, y, bgr);
                    const std::size_t i = (static_cast<std::size_t>(x) * h + y) * 3;
                    for (int c = 0; c < 3; ++c)
                        ASSERT_EQ(bgr[c], static_cast<std::uint8_t>(std::nearbyint(expected[i + c])))
                            << w << "x" << h << " r" << radius << " at " << x << "," << y;
                }
        }
}

TEST(ArithmeticMeanTest, WindowClippedAtTheBordersOfATwoDimensionalField)
{
    // 3 x 3 greys 0..8 in [x][y] order = 3x + y, radius 1: each mean is over the existing 2 or 3 entries
    // in each direction, e.g. the corner (0, 0) averages x 0..1, y 0..1: (0 + 1 + 3 + 4) / 4 = 2.
    TArithmeticMean mean;
    mean.SetSize(3, 3);
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y) {
            const auto v = static_cast<std::uint32_t>(3 * x + y);
            mean.Set(x, y, v * 0x010101);
        }
    mean.Compute(1);
    // [x][y]: 2, 2.5, 3 / 3.5, 4, 4.5 / 5, 5.5, 6, halves to even.
    const int expected[3][3] = {{2, 2, 3}, {4, 4, 4}, {5, 6, 6}};
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y) {
            std::uint8_t bgr[3];
            mean.Get(x, y, bgr);
            EXPECT_EQ(bgr[0], expected[x][y]) << x << "," << y;
            EXPECT_EQ(bgr[2], expected[x][y]);
        }
}

TEST(ArithmeticMeanTest, ReportsOneStepPerColumnAndRowThenEmptiesTheMeter)
{
    TArithmeticMean mean;
    TCountingMeter meter;
    mean.SetProgressMeter(&meter);
    mean.SetSize(7, 5);
    mean.Compute(3);
    EXPECT_EQ(meter.Starts, (std::vector<int>{12, 0}));
    EXPECT_EQ(meter.Steps, 12);
}

TEST(ArithmeticMeanTest, NegativeRadiusIsAnIdentity)
{
    TArithmeticMean mean;
    mean.SetSize(2, 1);
    mean.Set(0, 0, 0x102030);
    mean.Set(1, 0, 0xFFFFFF);
    mean.Compute(-5);
    std::uint8_t bgr[3];
    mean.Get(0, 0, bgr);
    EXPECT_EQ(bgr[0], 0x30);
    EXPECT_EQ(bgr[1], 0x20);
    EXPECT_EQ(bgr[2], 0x10);
}
