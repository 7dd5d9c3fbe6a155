#include "imaging/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

bool QuickDraftResampling = false;

double Sinc(double x)
{
    if (x == 0.0)
        return 1.0;
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

double TWindowedSincResampler::Kernel(double x) const
{
    const double ax = std::fabs(x);
    if (ax >= m_radius)
        return 0.0;
    return Sinc(x) * Window(ax);
}

double TLanczosResampler::Window(double x) const
{
    return Sinc(x / m_radius);
}

TTapTable BuildTapTable(int destBegin, int destEnd, int computedBegin, int computedEnd, int srcBegin,
                        int srcEnd, const TPixelResampler& resampler)
{
    TTapTable table;
    const std::int64_t count = std::max<std::int64_t>(0, std::int64_t(computedEnd) - computedBegin);
    const std::int64_t srcLength = std::int64_t(srcEnd) - srcBegin;
    if (srcLength <= 0 || count == 0)
        return table;
    if (srcLength == 1) {
        table.Positions.assign(std::size_t(count), {{srcBegin, 256}});
        return table;
    }
    const std::int64_t destLength = std::int64_t(destEnd) - destBegin;
    if (destLength <= 0) {
        // An empty destination span maps everything onto the middle of the source.
        table.Positions.assign(std::size_t(count), {{int((std::int64_t(srcEnd) + srcBegin) / 2), 256}});
        return table;
    }

    const double h = double(destLength) / double(srcLength);
    const double radius = resampler.Radius();
    const double reach = h >= 1.0 ? radius : radius / h;
    table.Positions.resize(std::size_t(count));
    for (std::int64_t i = 0; i < count; ++i) {
        const double m =
            double(srcBegin) - 0.5 + (double(i + std::int64_t(computedBegin) - destBegin) + 0.5) / h;
        std::vector<TResampleTap>& taps = table.Positions[std::size_t(i)];
        const std::int64_t first = std::int64_t(std::floor(m - reach));
        const std::int64_t last = std::int64_t(std::ceil(m + reach));
        int sum = 0;
        for (std::int64_t j = first; j <= last; ++j) {
            const double x = m - double(j);
            const double weight = h >= 1.0 ? resampler.Kernel(x) : h * resampler.Kernel(h * x);
            const int rounded = int(std::nearbyint(weight * 256.0));
            if (rounded == 0)
                continue;
            taps.push_back({int(Clamp<std::int64_t>(j, srcBegin, srcEnd - 1)), rounded});
            sum += rounded;
        }
        if (taps.empty()) {
            // Clamped like every other tap: on an enlarged axis floor(m) of the first position lies
            // before the source span.
            taps.push_back(
                {int(Clamp<std::int64_t>(std::int64_t(std::floor(m)), srcBegin, srcEnd - 1)), 256});
        } else {
            taps[(taps.size() - 1) / 2].Weight -= sum - 256;
        }
    }
    return table;
}

namespace {

// Every position's taps as a run of consecutive source indices starting at Start[p] with Width weights
// (duplicates from edge clamping summed, gaps filled with 0). Sums over such runs are the same integers
// as over the tap lists, and a fixed width lets the inner loops run without branches.
struct TDenseTaps
{
    int Width = 0;
    std::vector<int> Start;
    std::vector<std::int32_t> Weights;
};

TDenseTaps MakeDense(const TTapTable& table, int origin)
{
    TDenseTaps dense;
    for (const auto& taps : table.Positions) {
        int low = taps.front().Index;
        int high = low;
        for (const TResampleTap& tap : taps) {
            low = std::min(low, tap.Index);
            high = std::max(high, tap.Index);
        }
        dense.Width = std::max(dense.Width, high - low + 1);
    }
    dense.Start.reserve(table.Positions.size());
    dense.Weights.assign(table.Positions.size() * std::size_t(dense.Width), 0);
    std::size_t p = 0;
    for (const auto& taps : table.Positions) {
        int low = taps.front().Index;
        for (const TResampleTap& tap : taps)
            low = std::min(low, tap.Index);
        dense.Start.push_back(low - origin);
        for (const TResampleTap& tap : taps)
            dense.Weights[p * std::size_t(dense.Width) + std::size_t(tap.Index - low)] += tap.Weight;
        ++p;
    }
    return dense;
}

// Taps of one position with equal indices merged and zero sums left out. Indices never fall along a
// list (they are clamped ascending positions), so equal ones are neighbours.
std::vector<TResampleTap> Merged(const std::vector<TResampleTap>& taps)
{
    std::vector<TResampleTap> merged;
    for (const TResampleTap& tap : taps) {
        if (!merged.empty() && merged.back().Index == tap.Index)
            merged.back().Weight += tap.Weight;
        else
            merged.push_back(tap);
    }
    std::erase_if(merged, [](const TResampleTap& tap) { return tap.Weight == 0; });
    return merged;
}

// The hot loops get an AVX2 copy picked at run time; both copies compute the same integers.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define VELMORA_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define VELMORA_KERNEL
#endif

// One tap into the intermediate row: I[k] (+)= row[k] * weight for k < count.
VELMORA_KERNEL void VerticalTap(std::int32_t* sums, const std::uint8_t* row, std::int32_t weight, int count,
                                bool first)
{
    if (first) {
        for (int k = 0; k < count; ++k)
            sums[k] = std::int32_t(row[k]) * weight;
    } else {
        for (int k = 0; k < count; ++k)
            sums[k] += std::int32_t(row[k]) * weight;
    }
}

// Two taps in one sweep, halving the traffic over the intermediate row.
VELMORA_KERNEL void VerticalTapPair(std::int32_t* sums, const std::uint8_t* rowA, std::int32_t weightA,
                                    const std::uint8_t* rowB, std::int32_t weightB, int count, bool first)
{
    if (first) {
        for (int k = 0; k < count; ++k)
            sums[k] = std::int32_t(rowA[k]) * weightA + std::int32_t(rowB[k]) * weightB;
    } else {
        for (int k = 0; k < count; ++k)
            sums[k] += std::int32_t(rowA[k]) * weightA + std::int32_t(rowB[k]) * weightB;
    }
}

typedef std::int32_t TLanes __attribute__((vector_size(16)));

// Horizontal pass over one row: each output pixel sums Width weighted intermediate pixels, the three
// channels in one vector (the fourth lane reads the next pixel's blue and is discarded).
VELMORA_KERNEL void HorizontalPass(std::uint8_t* out, const std::int32_t* sums, const TDenseTaps& taps,
                                   bool clamp)
{
    const int width = taps.Width;
    const std::size_t positions = taps.Start.size();
    const std::int32_t* weights = taps.Weights.data();
    for (std::size_t p = 0; p < positions; ++p, weights += width, out += 3) {
        const std::int32_t* base = sums + std::ptrdiff_t(taps.Start[p]) * 3;
        TLanes acc = {0, 0, 0, 0};
        for (int k = 0; k < width; ++k) {
            TLanes value;
            std::memcpy(&value, base + 3 * k, sizeof value);
            acc += value * weights[k];
        }
        for (int channel = 0; channel < 3; ++channel) {
            std::int32_t v = acc[channel];
            if (clamp)
                v = v < 0 ? 0 : (v > 0xFF0000 ? 0xFF0000 : v);
            out[channel] = std::uint8_t(v >> 16);
        }
    }
}

bool IsPointSampling(const TTapTable& table)
{
    return std::all_of(table.Positions.begin(), table.Positions.end(),
                       [](const auto& taps) { return taps.size() == 1 && taps.front().Weight == 256; });
}

} // namespace

TQpRect Resample(TQpPixels& dest, const TQpRect& destRect, const TQpRect& clipRect,
                 const TPixelResampler& resampler, const TQpRect& srcRect, const TQpPixels& src)
{
    if (dest.Format != pfBGR24 || src.Format != pfBGR24 || !dest.Data || !src.Data || srcRect.IsEmpty() ||
        !Contains(src.GetBounds(), srcRect))
        return {};
    const TQpRect r = IntersectRect(dest.GetBounds(), clipRect);
    if (r.IsEmpty())
        return {};
    const TTapTable horizontal =
        BuildTapTable(destRect.Left, destRect.Right, r.Left, r.Right, srcRect.Left, srcRect.Right, resampler);
    const TTapTable vertical =
        BuildTapTable(destRect.Top, destRect.Bottom, r.Top, r.Bottom, srcRect.Top, srcRect.Bottom, resampler);
    if (horizontal.Positions.empty() || vertical.Positions.empty())
        return {};

    // With a single full-weight tap on both axes the sums are pixel × 65536 and the shift gives the pixel
    // back: a plain copy computes the same bytes.
    if (IsPointSampling(horizontal) && IsPointSampling(vertical)) {
        for (int y = 0; y < r.Height(); ++y) {
            const int sy = vertical.Positions[std::size_t(y)].front().Index;
            std::uint8_t* out = dest.PixelPtr(r.Left, r.Top + y);
            for (int x = 0; x < r.Width(); ++x, out += 3)
                std::memcpy(out, src.PixelPtr(horizontal.Positions[std::size_t(x)].front().Index, sy), 3);
        }
        return r;
    }

    // The source columns the horizontal taps need, as min and max over every tap.
    int x0 = horizontal.Positions.front().front().Index;
    int x1 = x0;
    for (const auto& taps : horizontal.Positions) {
        for (const TResampleTap& tap : taps) {
            x0 = std::min(x0, tap.Index);
            x1 = std::max(x1, tap.Index);
        }
    }
    const TDenseTaps dense = MakeDense(horizontal, x0);
    const int columns = x1 - x0 + 1;
    const int values = columns * 3;
    // Room for the dense runs that reach past x1 and for the discarded fourth lane.
    std::vector<std::int32_t> sums(std::size_t(values) + std::size_t(dense.Width) * 3 + 4, 0);
    const bool clamp = resampler.NeedsClamp();

    for (int y = 0; y < r.Height(); ++y) {
        const std::vector<TResampleTap> taps = Merged(vertical.Positions[std::size_t(y)]);
        if (taps.empty()) {
            std::fill(sums.begin(), sums.begin() + values, 0);
        } else {
            std::size_t t = 0;
            for (; t + 1 < taps.size(); t += 2)
                VerticalTapPair(sums.data(), src.PixelPtr(x0, taps[t].Index), taps[t].Weight,
                                src.PixelPtr(x0, taps[t + 1].Index), taps[t + 1].Weight, values, t == 0);
            if (t < taps.size())
                VerticalTap(sums.data(), src.PixelPtr(x0, taps[t].Index), taps[t].Weight, values, t == 0);
        }
        HorizontalPass(dest.PixelPtr(r.Left, r.Top + y), sums.data(), dense, clamp);
    }
    return r;
}
