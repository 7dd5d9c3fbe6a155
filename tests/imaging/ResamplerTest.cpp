#include "imaging/Resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

TQpPixelBuffer MakeImage(int w, int h)
{
    TQpPixelBuffer buffer;
    EXPECT_TRUE(buffer.SetFormatAndBounds(pfBGR24, {0, 0, w, h}));
    return buffer;
}

void SetPixel(TQpPixels& pixels, int x, int y, int b, int g, int r)
{
    std::uint8_t* p = pixels.PixelPtr(x, y);
    p[0] = std::uint8_t(b);
    p[1] = std::uint8_t(g);
    p[2] = std::uint8_t(r);
}

std::vector<int> Pixel(const TQpPixels& pixels, int x, int y)
{
    const std::uint8_t* p = pixels.PixelPtr(x, y);
    return {p[0], p[1], p[2]};
}

std::vector<TResampleTap> Taps(std::initializer_list<std::pair<int, int>> list)
{
    std::vector<TResampleTap> taps;
    for (auto [index, weight] : list)
        taps.push_back({index, weight});
    return taps;
}

// --- A slow, literal reading of the filter for comparison -----------------------------------------------

double ReferenceLanczos(double x)
{
    auto sinc = [](double v) {
        return v == 0 ? 1.0 : std::sin(std::numbers::pi * v) / (std::numbers::pi * v);
    };
    return std::fabs(x) >= 3 ? 0.0 : sinc(x) * sinc(std::fabs(x) / 3);
}

std::vector<std::vector<std::pair<int, int>>> ReferenceTable(int a, int b, int c, int f, int e, int d,
                                                             bool lanczos)
{
    std::vector<std::vector<std::pair<int, int>>> table;
    if (d - e <= 0)
        return table;
    for (int i = 0; i < f - c; ++i) {
        std::vector<std::pair<int, int>> taps;
        if (d - e == 1) {
            table.push_back({{e, 256}});
            continue;
        }
        const double h = double(b - a) / (d - e);
        const double m = e - 0.5 + (i + c - a + 0.5) / h;
        const double radius = lanczos ? 3.0 : 0.0;
        const double reach = h >= 1 ? radius : radius / h;
        int sum = 0;
        for (int j = int(std::floor(m - reach)); j <= int(std::ceil(m + reach)); ++j) {
            const double k =
                !lanczos ? 0.0 : (h >= 1 ? ReferenceLanczos(m - j) : h * ReferenceLanczos(h * (m - j)));
            const int w = int(std::nearbyint(k * 256));
            if (w != 0) {
                taps.push_back({std::clamp(j, e, d - 1), w});
                sum += w;
            }
        }
        if (taps.empty())
            taps.push_back({std::clamp(int(std::floor(m)), e, d - 1), 256});
        else
            taps[(taps.size() - 1) / 2].second -= sum - 256;
        table.push_back(taps);
    }
    return table;
}

void ReferenceResample(TQpPixels& dest, const TQpRect& d, const TQpRect& clip, bool lanczos, const TQpRect& s,
                       const TQpPixels& src)
{
    const TQpRect r = IntersectRect(dest.GetBounds(), clip);
    if (r.IsEmpty())
        return;
    const auto hTable = ReferenceTable(d.Left, d.Right, r.Left, r.Right, s.Left, s.Right, lanczos);
    const auto vTable = ReferenceTable(d.Top, d.Bottom, r.Top, r.Bottom, s.Top, s.Bottom, lanczos);
    for (int y = 0; y < r.Height(); ++y) {
        for (int x = 0; x < r.Width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                std::int64_t acc = 0;
                for (auto [hx, hw] : hTable[x]) {
                    std::int64_t column = 0;
                    for (auto [vy, vw] : vTable[y])
                        column += std::int64_t(src.PixelPtr(hx, vy)[c]) * vw;
                    acc += column * hw;
                }
                acc = std::clamp<std::int64_t>(acc, 0, 0xFF0000);
                dest.PixelPtr(r.Left + x, r.Top + y)[c] = std::uint8_t(acc >> 16);
            }
        }
    }
}

} // namespace

// --- Tap tables, worked out from the formulas ------------------------------------------------------------
// Lanczos-3 values used below: L(0.25) = 0.8915, L(0.75) = 0.2700, L(1.25) = -0.1339, L(1.75) = -0.0677,
// L(2.25) = 0.0325, L(2.75) = 0.0075 (weights = round(L * 256): 228, 69, -34, -17, 8, 2).

TEST(TapTable, EnlargingTwoPixelsToFour)
{
    // h = 2; m = -0.5 + (i + 0.5) / 2 = -0.25, 0.25, 0.75, 1.25; taps j = floor(m - 3) .. ceil(m + 3),
    // indices clamped to 0..1, weights summing to 256 without surplus.
    const TTapTable table = BuildTapTable(0, 4, 0, 4, 0, 2, TLanczosResampler());
    ASSERT_EQ(table.Positions.size(), 4u);
    EXPECT_EQ(table.Positions[0], Taps({{0, 2}, {0, -17}, {0, 69}, {0, 228}, {1, -34}, {1, 8}}));
    EXPECT_EQ(table.Positions[1], Taps({{0, 8}, {0, -34}, {0, 228}, {1, 69}, {1, -17}, {1, 2}}));
    EXPECT_EQ(table.Positions[2], Taps({{0, 2}, {0, -17}, {0, 69}, {1, 228}, {1, -34}, {1, 8}}));
    EXPECT_EQ(table.Positions[3], Taps({{0, 8}, {0, -34}, {1, 228}, {1, 69}, {1, -17}, {1, 2}}));
}

TEST(TapTable, ReducingFourPixelsToTwo)
{
    // h = 0.5, R' = 6; m = 0.5 and 2.5; weight = round(0.5 * L(0.5 * (m - j)) * 256). For m = 0.5, j = 0
    // and j = 1 give 0.5 * L(0.25) * 256 = 114.1; j = -6 and 7 reach L(3.25) = 0 and are dropped; the
    // weights 1, 4, -9, -17, 35, 114, 114, 35, -17, -9, 4, 1 sum to 256 already.
    const TTapTable table = BuildTapTable(0, 2, 0, 2, 0, 4, TLanczosResampler());
    ASSERT_EQ(table.Positions.size(), 2u);
    EXPECT_EQ(table.Positions[0], Taps({{0, 1},
                                        {0, 4},
                                        {0, -9},
                                        {0, -17},
                                        {0, 35},
                                        {0, 114},
                                        {1, 114},
                                        {2, 35},
                                        {3, -17},
                                        {3, -9},
                                        {3, 4},
                                        {3, 1}}));
    EXPECT_EQ(table.Positions[1], Taps({{0, 1},
                                        {0, 4},
                                        {0, -9},
                                        {0, -17},
                                        {1, 35},
                                        {2, 114},
                                        {3, 114},
                                        {3, 35},
                                        {3, -17},
                                        {3, -9},
                                        {3, 4},
                                        {3, 1}}));
}

TEST(TapTable, SurplusGoesToTheMiddleTap)
{
    // 5 -> 3: h = 0.6, m = 1/3, 2, 11/3. At m = 2 the rounded weights 5, -8, -18, 72, 155, 72, -18, -8, 5
    // sum to 257; the surplus 1 comes off the tap at (9 - 1) div 2 = 4, giving 154.
    const TTapTable table = BuildTapTable(0, 3, 0, 3, 0, 5, TLanczosResampler());
    ASSERT_EQ(table.Positions.size(), 3u);
    EXPECT_EQ(table.Positions[1],
              Taps({{0, 5}, {0, -8}, {0, -18}, {1, 72}, {2, 154}, {3, 72}, {4, -18}, {4, -8}, {4, 5}}));
}

TEST(TapTable, SpecialSpans)
{
    EXPECT_TRUE(BuildTapTable(0, 4, 0, 4, 3, 3, TLanczosResampler()).Positions.empty());
    const TTapTable single = BuildTapTable(0, 10, 0, 10, 7, 8, TLanczosResampler());
    ASSERT_EQ(single.Positions.size(), 10u);
    for (const auto& taps : single.Positions)
        EXPECT_EQ(taps, Taps({{7, 256}}));
    // An empty destination span with one computed position takes the middle of the source.
    const TTapTable middle = BuildTapTable(5, 5, 5, 6, 2, 9, TLanczosResampler());
    ASSERT_EQ(middle.Positions.size(), 1u);
    EXPECT_EQ(middle.Positions[0], Taps({{5, 256}}));
    // Only the computed span is built: positions 2 and 3 of the 2 -> 4 table.
    const TTapTable part = BuildTapTable(0, 4, 2, 4, 0, 2, TLanczosResampler());
    ASSERT_EQ(part.Positions.size(), 2u);
    EXPECT_EQ(part.Positions[0], Taps({{0, 2}, {0, -17}, {0, 69}, {1, 228}, {1, -34}, {1, 8}}));
}

TEST(TapTable, QuickDraftPointSamplesAndStaysInsideTheSource)
{
    // 2 -> 4: m = -0.25, 0.25, 0.75, 1.25. floor(-0.25) = -1 lies before the source; it is clamped to 0.
    const TTapTable table = BuildTapTable(0, 4, 0, 4, 0, 2, TQuickDraftResampler());
    ASSERT_EQ(table.Positions.size(), 4u);
    EXPECT_EQ(table.Positions[0], Taps({{0, 256}}));
    EXPECT_EQ(table.Positions[1], Taps({{0, 256}}));
    EXPECT_EQ(table.Positions[2], Taps({{0, 256}}));
    EXPECT_EQ(table.Positions[3], Taps({{1, 256}}));
}

// --- Resampling, worked out from the formulas ------------------------------------------------------------

TEST(Resample, EnlargesARowByTheHandWorkedWeights)
{
    // One row: the vertical table is the single tap (0, 256), so a channel is
    // clamp(floor(sum(src * w) / 256)). With blue 0 -> 200, green 100 -> 100 and red 255 -> 0, the weights
    // per source pixel are (282, -26), (202, 54), (54, 202), (-26, 282) for the four positions.
    TQpPixelBuffer src = MakeImage(2, 1);
    SetPixel(src, 0, 0, 0, 100, 255);
    SetPixel(src, 1, 0, 200, 100, 0);
    TQpPixelBuffer dest = MakeImage(4, 1);
    const TQpRect whole{0, 0, 4, 1};
    EXPECT_EQ(Resample(dest, whole, whole, TLanczosResampler(), src.GetBounds(), src), whole);
    EXPECT_EQ(Pixel(dest, 0, 0), (std::vector<int>{0, 100, 255}));  // -5200 -> 0; 71910 / 256 -> 255
    EXPECT_EQ(Pixel(dest, 1, 0), (std::vector<int>{42, 100, 201})); // 10800 / 256 = 42.2; 51510 / 256 = 201.2
    EXPECT_EQ(Pixel(dest, 2, 0), (std::vector<int>{157, 100, 53})); // 40400 / 256 = 157.8; 13770 / 256 = 53.8
    EXPECT_EQ(Pixel(dest, 3, 0), (std::vector<int>{220, 100, 0}));  // 56400 / 256 = 220.3; -6630 -> 0
}

TEST(Resample, ReducesAColumnByTheHandWorkedWeights)
{
    // One column of 10, 50, 90, 250 reduced to 2 pixels: per source pixel weights (128, 114, 35, -21) and
    // (-21, 35, 114, 128): 4880 / 256 = 19.06 and 43800 / 256 = 171.1.
    TQpPixelBuffer src = MakeImage(1, 4);
    const int values[4] = {10, 50, 90, 250};
    for (int y = 0; y < 4; ++y)
        SetPixel(src, 0, y, values[y], values[y], values[y]);
    TQpPixelBuffer dest = MakeImage(1, 2);
    const TQpRect whole{0, 0, 1, 2};
    Resample(dest, whole, whole, TLanczosResampler(), src.GetBounds(), src);
    EXPECT_EQ(Pixel(dest, 0, 0), (std::vector<int>{19, 19, 19}));
    EXPECT_EQ(Pixel(dest, 0, 1), (std::vector<int>{171, 171, 171}));
}

TEST(Resample, OneColumnWideImageFillsEveryDestinationColumn)
{
    TQpPixelBuffer src = MakeImage(1, 3);
    SetPixel(src, 0, 0, 1, 2, 3);
    SetPixel(src, 0, 1, 40, 50, 60);
    SetPixel(src, 0, 2, 200, 210, 220);
    TQpPixelBuffer dest = MakeImage(10, 3);
    const TQpRect whole{0, 0, 10, 3};
    Resample(dest, whole, whole, TLanczosResampler(), src.GetBounds(), src);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(Pixel(dest, x, y), Pixel(src, 0, y)) << x << "," << y;
}

TEST(Resample, QuickDraftReducesThreeByThreeToTheCentre)
{
    TQpPixelBuffer src = MakeImage(3, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            SetPixel(src, x, y, x * 10 + y, 100 + x, 200 + y);
    TQpPixelBuffer dest = MakeImage(1, 1);
    const TQpRect whole{0, 0, 1, 1};
    Resample(dest, whole, whole, TQuickDraftResampler(), src.GetBounds(), src);
    EXPECT_EQ(Pixel(dest, 0, 0), Pixel(src, 1, 1));
}

TEST(Resample, EqualSizeWithLanczosReproducesTheImage)
{
    std::mt19937 random(3);
    TQpPixelBuffer src = MakeImage(17, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 17; ++x)
            SetPixel(src, x, y, int(random() % 256), int(random() % 256), int(random() % 256));
    TQpPixelBuffer dest = MakeImage(17, 9);
    Resample(dest, src.GetBounds(), src.GetBounds(), TLanczosResampler(), src.GetBounds(), src);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 17; ++x)
            ASSERT_EQ(Pixel(dest, x, y), Pixel(src, x, y));
}

TEST(Resample, AUniformImageStaysUniform)
{
    for (auto [w, h] : {std::pair{7, 5}, std::pair{31, 2}, std::pair{3, 40}}) {
        TQpPixelBuffer src = MakeImage(5, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                SetPixel(src, x, y, 17, 128, 254);
        TQpPixelBuffer dest = MakeImage(w, h);
        Resample(dest, dest.GetBounds(), dest.GetBounds(), TLanczosResampler(), src.GetBounds(), src);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(Pixel(dest, x, y), (std::vector<int>{17, 128, 254})) << w << "x" << h;
    }
}

TEST(Resample, OvershootOnASharpEdgeIsClamped)
{
    TQpPixelBuffer src = MakeImage(8, 1);
    for (int x = 0; x < 8; ++x)
        SetPixel(src, x, 0, x < 4 ? 0 : 255, x < 4 ? 255 : 0, 128);
    TQpPixelBuffer dest = MakeImage(32, 1);
    Resample(dest, dest.GetBounds(), dest.GetBounds(), TLanczosResampler(), src.GetBounds(), src);
    // Far from the edge the ringing pushes past 0 and 255 and is cut off there.
    EXPECT_EQ(Pixel(dest, 0, 0), (std::vector<int>{0, 255, 128}));
    EXPECT_EQ(Pixel(dest, 31, 0), (std::vector<int>{255, 0, 128}));
    TQpPixelBuffer reference = MakeImage(32, 1);
    ReferenceResample(reference, reference.GetBounds(), reference.GetBounds(), true, src.GetBounds(), src);
    for (int x = 0; x < 32; ++x)
        ASSERT_EQ(Pixel(dest, x, 0), Pixel(reference, x, 0)) << x;
}

TEST(Resample, OnlyTheClipIsWrittenAndWrongFormatsWriteNothing)
{
    TQpPixelBuffer src = MakeImage(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            SetPixel(src, x, y, 200, 200, 200);
    TQpPixelBuffer dest = MakeImage(8, 8);
    EXPECT_EQ(Resample(dest, {0, 0, 8, 8}, {2, 3, 5, 20}, TLanczosResampler(), src.GetBounds(), src),
              (TQpRect{2, 3, 5, 8}));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(Pixel(dest, x, y)[0], (x >= 2 && x < 5 && y >= 3) ? 200 : 0) << x << "," << y;

    TQpPixelBuffer alpha;
    ASSERT_TRUE(alpha.SetFormatAndBounds(pfBGRA32, {0, 0, 8, 8}));
    EXPECT_TRUE(
        Resample(alpha, {0, 0, 8, 8}, {0, 0, 8, 8}, TLanczosResampler(), src.GetBounds(), src).IsEmpty());
    // A source rectangle reaching outside the source window would read foreign memory.
    EXPECT_TRUE(Resample(dest, {0, 0, 8, 8}, {0, 0, 8, 8}, TLanczosResampler(), {0, 0, 5, 4}, src).IsEmpty());
}

// --- The optimised routine against the literal reading --------------------------------------------------

TEST(Resample, MatchesTheLiteralFilterOnRandomImagesAndRectangles)
{
    std::mt19937 random(11);
    auto between = [&](int low, int high) { return low + int(random() % unsigned(high - low + 1)); };
    for (int round = 0; round < 60; ++round) {
        const int sw = between(1, 40), sh = between(1, 30);
        TQpPixelBuffer src;
        ASSERT_TRUE(src.SetFormatAndBounds(pfBGR24, {between(-5, 5), between(-5, 5), 0, 0}));
        ASSERT_TRUE(src.SetBounds({src.Left, src.Top, src.Left + sw, src.Top + sh}, false));
        for (int y = src.Top; y < src.Top + sh; ++y)
            for (int x = src.Left; x < src.Left + sw; ++x)
                SetPixel(src, x, y, int(random() % 256), int(random() % 256), int(random() % 256));
        // A source sub-rectangle, a destination rectangle of any scale and a clip cutting into it.
        const int sl = between(src.Left, src.Left + sw - 1), st = between(src.Top, src.Top + sh - 1);
        const TQpRect s{sl, st, between(sl + 1, src.Left + sw), between(st + 1, src.Top + sh)};
        const TQpRect d{between(-3, 3), between(-3, 3), between(4, 70), between(4, 50)};
        const TQpRect clip{between(-5, 10), between(-5, 10), between(10, 80), between(10, 60)};
        const bool lanczos = round % 4 != 0;

        TQpPixelBuffer dest, expected;
        ASSERT_TRUE(dest.SetFormatAndBounds(pfBGR24, {0, 0, 64, 48}));
        ASSERT_TRUE(expected.SetFormatAndBounds(pfBGR24, {0, 0, 64, 48}));
        if (lanczos)
            Resample(dest, d, clip, TLanczosResampler(), s, src);
        else
            Resample(dest, d, clip, TQuickDraftResampler(), s, src);
        ReferenceResample(expected, d, clip, lanczos, s, src);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                ASSERT_EQ(Pixel(dest, x, y), Pixel(expected, x, y))
                    << "round " << round << " at " << x << "," << y;
    }
}

TEST(Resample, ExtremeReductionsMatchTheLiteralFilter)
{
    // Thousands of taps per position, and reductions beyond 1/512 where every weight rounds to 0 and the
    // filter falls back to point sampling.
    std::mt19937 random(2);
    for (auto [sw, sh, dw, dh] :
         {std::array{1, 20000, 1, 3}, std::array{20000, 1, 2, 1}, std::array{3000, 2, 7, 1}}) {
        TQpPixelBuffer src = MakeImage(sw, sh);
        for (int y = 0; y < sh; ++y)
            for (int x = 0; x < sw; ++x)
                SetPixel(src, x, y, int(random() % 256), int(random() % 256), int(random() % 256));
        TQpPixelBuffer dest = MakeImage(dw, dh);
        TQpPixelBuffer expected = MakeImage(dw, dh);
        Resample(dest, dest.GetBounds(), dest.GetBounds(), TLanczosResampler(), src.GetBounds(), src);
        ReferenceResample(expected, expected.GetBounds(), expected.GetBounds(), true, src.GetBounds(), src);
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                ASSERT_EQ(Pixel(dest, x, y), Pixel(expected, x, y))
                    << sw << "x" << sh << " at " << x << "," << y;
    }
}
