// The correlator's lists, seam weights and blended copy against a slow, obvious reference that follows
// the rules with plain loops and linear searches, on random footprints that also cross the image edge.

#include "inpainting/AreaCorrelator.h"

#include "InpaintingTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct TRefPixel
{
    int X;
    int Y;
    int BorderWeight = 0;
    int DeepWeight = 0;
};

int LinearIndexOf(const std::vector<TRefPixel>& list, int x, int y)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].X == x && list[i].Y == y)
            return static_cast<int>(i);
    }
    return -1;
}

struct TReference
{
    std::vector<TRefPixel> Border;
    std::vector<TRefPixel> Interior;
};

TReference BuildReference(const std::vector<std::vector<int>>& mask, int left, int top, int imageWidth,
                          int imageHeight)
{
    const int size = static_cast<int>(mask.size());
    TReference ref;
    for (int x = 0; x < size; ++x) {
        for (int y = 0; y < size; ++y) {
            if (!mask[x][y])
                continue;
            bool border = false;
            for (int i = x - 1; i <= x + 1; ++i) {
                for (int j = y - 1; j <= y + 1; ++j) {
                    const bool inSquare = i >= 0 && i < size && j >= 0 && j < size;
                    const bool inImage =
                        left + i >= 0 && left + i < imageWidth && top + j >= 0 && top + j < imageHeight;
                    if ((inSquare && !mask[i][j]) || (!inSquare && inImage))
                        border = true;
                }
            }
            (border ? ref.Border : ref.Interior).push_back({left + x, top + y});
        }
    }
    for (TRefPixel& p : ref.Interior) {
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                if ((dx || dy) && LinearIndexOf(ref.Border, p.X + dx, p.Y + dy) >= 0)
                    p.BorderWeight += 3 - (std::abs(dx) + std::abs(dy));
            }
        }
    }
    for (TRefPixel& p : ref.Interior) {
        if (p.BorderWeight == 0)
            continue;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                const int n = (dx || dy) ? LinearIndexOf(ref.Interior, p.X + dx, p.Y + dy) : -1;
                if (n >= 0 && ref.Interior[static_cast<std::size_t>(n)].BorderWeight == 0)
                    p.DeepWeight += 3 - (std::abs(dx) + std::abs(dy));
            }
        }
    }
    return ref;
}

} // namespace

TEST(AreaCorrelatorReferenceTest, RandomFootprintsMatchTheSlowReference)
{
    std::mt19937 random(42);
    const int imageWidth = 60;
    const int imageHeight = 50;
    TQpPixelBuffer source;
    MakeImage(source, imageWidth, imageHeight, [](int x, int y) {
        return TRgb{(x * 37 + y * 11) % 256, (x * 5 + y * 91) % 256, (x * y) % 256};
    });
    std::uniform_int_distribution<int> place(-10, 45);
    std::uniform_int_distribution<int> side(3, 24);
    for (int trial = 0; trial < 40; ++trial) {
        const int size = side(random);
        const int left = place(random);
        const int top = place(random);
        // A blob: a disc with random holes and bites.
        std::vector<std::vector<int>> mask(static_cast<std::size_t>(size),
                                           std::vector<int>(static_cast<std::size_t>(size)));
        std::bernoulli_distribution hole(0.08);
        const double radius = size / 2.0;
        for (int x = 0; x < size; ++x) {
            for (int y = 0; y < size; ++y) {
                const double dx = x + 0.5 - radius;
                const double dy = y + 0.5 - radius;
                mask[x][y] = (dx * dx + dy * dy <= radius * radius && !hole(random)) ? 1 : 0;
            }
        }
        TQpPixelBuffer destination;
        CopyImage(source, destination);
        TAreaCorrelator correlator({left, top, left + size, top + size}, destination, source, 2);
        for (int x = 0; x < size; ++x) {
            for (int y = 0; y < size; ++y)
                correlator.SetMask(left + x, top + y, static_cast<std::uint8_t>(mask[x][y]));
        }
        correlator.Prepare();
        correlator.ComputeSeamWeights();
        const TReference ref = BuildReference(mask, left, top, imageWidth, imageHeight);

        ASSERT_EQ(correlator.Border().Count(), static_cast<int>(ref.Border.size())) << "trial " << trial;
        ASSERT_EQ(correlator.Interior().Count(), static_cast<int>(ref.Interior.size())) << "trial " << trial;
        for (std::size_t i = 0; i < ref.Border.size(); ++i) {
            const TPlaceEntry& e = correlator.Border().Place(static_cast<int>(i)).Entries[0];
            ASSERT_EQ(e.AbsoluteX, ref.Border[i].X);
            ASSERT_EQ(e.AbsoluteY, ref.Border[i].Y);
        }
        for (std::size_t i = 0; i < ref.Interior.size(); ++i) {
            const int index = static_cast<int>(i);
            const TPlaceEntry& e = correlator.Interior().Place(index).Entries[0];
            ASSERT_EQ(e.AbsoluteX, ref.Interior[i].X);
            ASSERT_EQ(e.AbsoluteY, ref.Interior[i].Y);
            ASSERT_EQ(correlator.Interior().BorderWeight(index), ref.Interior[i].BorderWeight)
                << "trial " << trial;
            ASSERT_EQ(correlator.Interior().DeepWeight(index), ref.Interior[i].DeepWeight)
                << "trial " << trial;
        }

        // A blended copy from a random source square, pixel by pixel.
        const int sx = place(random);
        const int sy = place(random);
        const int k = static_cast<int>(random() % 8);
        ASSERT_TRUE(correlator.Transfer(sx, sy, k, true, TAreaCorrelator::kModeCopy, 2));
        const auto inside = [&](int x, int y) {
            return x >= 0 && x < imageWidth && y >= 0 && y < imageHeight;
        };
        for (const TRefPixel& p : ref.Interior) {
            const TRelativePoint r = ReflectedPosition(k, p.X - left, p.Y - top, size, size);
            if (!inside(p.X, p.Y))
                continue;
            const TRgb before = GetRgb(source, p.X, p.Y);
            if (!inside(sx + r.X, sy + r.Y)) {
                ASSERT_EQ(GetRgb(destination, p.X, p.Y), before);
                continue;
            }
            TRgb expected = GetRgb(source, sx + r.X, sy + r.Y);
            if (p.BorderWeight > 0) {
                const auto mix = [&](int b, int n) {
                    return static_cast<int>(
                        std::nearbyint(static_cast<double>(b * p.BorderWeight + n * p.DeepWeight) /
                                       (p.BorderWeight + p.DeepWeight)));
                };
                expected = {mix(before.Red, expected.Red), mix(before.Green, expected.Green),
                            mix(before.Blue, expected.Blue)};
            }
            ASSERT_EQ(GetRgb(destination, p.X, p.Y), expected)
                << "trial " << trial << " at " << p.X << "," << p.Y;
        }
    }
}
