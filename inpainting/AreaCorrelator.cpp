#include "inpainting/AreaCorrelator.h"

#include "inpainting/Approximation.h"
#include "inpainting/ApproximationBGR.h"
#include "inpainting/Correlator.h"
#include "inpainting/KMean.h"
#include "inpainting/SizeCheck.h"

#include <algorithm>
#include <cmath>

namespace {

// A window that cannot hold three-byte pixels contributes no image at all.
TQpRect PixelArea(const TQpPixels& pixels)
{
    if (!pixels.Data || pixels.BytesPerPixel < 3)
        return {};
    return pixels.GetBounds();
}

std::uint32_t Packed(const std::uint8_t* pixel)
{
    return static_cast<std::uint32_t>(pixel[2]) << 16 | static_cast<std::uint32_t>(pixel[1]) << 8 | pixel[0];
}

std::int32_t ClampRound(double value)
{
    return static_cast<std::int32_t>(std::nearbyint(std::clamp(value, 0.0, 255.0)));
}

std::int32_t RoundClamp(double value)
{
    return static_cast<std::int32_t>(std::clamp(std::nearbyint(value), 0.0, 255.0));
}

} // namespace

TAreaCorrelator::TAreaCorrelator(const TQpRect& target, TQpPixels& destination, const TQpPixels& source,
                                 std::int32_t squaredRadius)
    : m_width(std::max(target.Width(), 0)), m_height(std::max(target.Height(), 0)),
      m_squaredRadius(std::max(squaredRadius, 0)),
      m_image(IntersectRect(PixelArea(source), PixelArea(destination))), m_left(target.Left),
      m_top(target.Top), m_mask(CheckedArea(m_width, m_height), 0), m_destination(destination),
      m_source(source), m_border(target.Left, target.Top, m_width, m_height),
      m_interior(target.Left, target.Top, m_width, m_height), m_target{target.Left, target.Top,
                                                                       target.Left + m_width,
                                                                       target.Top + m_height}
{
}

void TAreaCorrelator::SetMask(std::int32_t x, std::int32_t y, std::uint8_t value)
{
    const std::int64_t a = static_cast<std::int64_t>(x) - m_left;
    const std::int64_t b = static_cast<std::int64_t>(y) - m_top;
    if (a < 0 || b < 0 || a >= m_width || b >= m_height)
        return;
    m_mask[static_cast<std::size_t>(a * m_height + b)] = value;
}

std::uint8_t TAreaCorrelator::Mask(std::int32_t x, std::int32_t y) const
{
    const std::int64_t a = static_cast<std::int64_t>(x) - m_left;
    const std::int64_t b = static_cast<std::int64_t>(y) - m_top;
    if (a < 0 || b < 0 || a >= m_width || b >= m_height)
        return 0;
    return m_mask[static_cast<std::size_t>(a * m_height + b)];
}

bool TAreaCorrelator::IsBorderPixel(std::int32_t x, std::int32_t y, std::int32_t reach) const
{
    for (std::int32_t i = x - reach; i <= x + reach; ++i) {
        for (std::int32_t j = y - reach; j <= y + reach; ++j) {
            if ((i - x) * (i - x) + (j - y) * (j - y) > m_squaredRadius)
                continue;
            if (i >= 0 && i < m_width && j >= 0 && j < m_height) {
                if (m_mask[static_cast<std::size_t>(i) * static_cast<std::size_t>(m_height) +
                           static_cast<std::size_t>(j)] == 0)
                    return true;
            } else if (InsideImage(m_left + i, m_top + j)) {
                return true;
            }
        }
    }
    return false;
}

void TAreaCorrelator::Prepare()
{
    m_border.Clear();
    m_interior.Clear();
    // Nearly every footprint pixel of a large footprint is interior: room for all of them at once.
    m_interior.Reserve(static_cast<std::size_t>(
        std::count_if(m_mask.begin(), m_mask.end(), [](std::uint8_t value) { return value != 0; })));
    const auto reach =
        static_cast<std::int32_t>(std::trunc(std::sqrt(static_cast<double>(m_squaredRadius)) + 0.001));
    for (std::int32_t x = 0; x < m_width; ++x) {
        for (std::int32_t y = 0; y < m_height; ++y) {
            if (m_mask[static_cast<std::size_t>(x) * static_cast<std::size_t>(m_height) +
                       static_cast<std::size_t>(y)] == 0)
                continue;
            if (IsBorderPixel(x, y, reach))
                m_border.Add(x, y);
            else
                m_interior.Add(x, y);
        }
    }
}

void TAreaCorrelator::RemoveMinorityColours(double fraction)
{
    const std::int32_t borderCount = m_border.Count();
    TKMean kMean(borderCount, 2);
    for (std::int32_t i = 0; i < borderCount; ++i) {
        const TPlaceEntry& place = m_border.Place(i).Entries[0];
        if (InsideImage(place.AbsoluteX, place.AbsoluteY))
            kMean.AddColor(Packed(m_destination.PixelPtr(place.AbsoluteX, place.AbsoluteY)));
    }
    if (kMean.ColourCount() == 0)
        return;
    const std::uint32_t first = TKMean::PackedColour(kMean.Colour(0));
    kMean.AddCentre(first, true);
    for (std::size_t k = 1; k < kMean.ColourCount(); ++k) {
        if (TKMean::PackedColour(kMean.Colour(k)) != first) {
            kMean.AddCentre(TKMean::PackedColour(kMean.Colour(k)), true);
            break;
        }
    }
    if (kMean.CentreCount() < 2)
        return;

    // Two-centre k-means settles in a handful of steps; the cap only guards against a rounding cycle.
    constexpr int kMaxIterations = 1000;
    for (int iteration = 0; iteration < kMaxIterations && kMean.Iterate() != 0; ++iteration) {
    }

    const std::int32_t minority = kMean.Centre(1).Weight < kMean.Centre(0).Weight ? 1 : 0;
    if (static_cast<double>(kMean.Centre(static_cast<std::size_t>(minority)).Weight) > fraction * borderCount)
        return;
    for (std::int32_t i = 0; i < borderCount; ++i) {
        const TPlaceEntry& place = m_border.Place(i).Entries[0];
        if (!InsideImage(place.AbsoluteX, place.AbsoluteY))
            continue;
        const std::int32_t colour =
            kMean.IndexOfColour(Packed(m_destination.PixelPtr(place.AbsoluteX, place.AbsoluteY)));
        if (colour >= 0 && kMean.Colour(static_cast<std::size_t>(colour)).Cluster == minority)
            m_border.SetRemoved(i, true);
    }
    m_border.Compact();
}

void TAreaCorrelator::ComputeSeamWeights()
{
    m_interior.ComputeSeamWeights(m_border);
}

int TAreaCorrelator::BestReflection(const TQpRect& source) const
{
    double bestCoefficient = -1.0;
    int best = 0;
    TCorrelator correlator;
    for (int k = 0; k < kReflectionCount; ++k) {
        correlator.Clear();
        for (std::int32_t i = 0; i < m_border.Count(); ++i) {
            const TPlaceRecord& place = m_border.Place(i);
            const TPlaceEntry& target = place.Entries[0];
            if (!InsideImage(target.AbsoluteX, target.AbsoluteY))
                continue;
            const TPlaceEntry& oriented = place.Entries[static_cast<std::size_t>(k)];
            const std::int32_t sx = source.Left + oriented.RelativeX;
            const std::int32_t sy = source.Top + oriented.RelativeY;
            if (!InsideImage(sx, sy))
                continue;
            const TPixel s = Read(m_source, sx, sy);
            const TPixel t = Read(m_source, target.AbsoluteX, target.AbsoluteY);
            correlator.Add(s.Red, t.Red);
            correlator.Add(s.Green, t.Green);
            correlator.Add(s.Blue, t.Blue);
        }
        const double coefficient = correlator.Coefficient();
        if (coefficient > bestCoefficient) {
            bestCoefficient = coefficient;
            best = k;
        }
    }
    return best;
}

TAreaCorrelator::TPixel TAreaCorrelator::Read(const TQpPixels& pixels, std::int32_t x, std::int32_t y)
{
    const std::uint8_t* p = pixels.PixelPtr(x, y);
    return {p[0], p[1], p[2]};
}

void TAreaCorrelator::Write(std::int32_t x, std::int32_t y, const TPixel& pixel)
{
    std::uint8_t* p = m_destination.PixelPtr(x, y);
    p[0] = static_cast<std::uint8_t>(pixel.Blue);
    p[1] = static_cast<std::uint8_t>(pixel.Green);
    p[2] = static_cast<std::uint8_t>(pixel.Red);
}

TAreaCorrelator::TPixel TAreaCorrelator::Blend(std::int32_t index, const TPixel& before,
                                               const TPixel& next) const
{
    const std::int32_t wB = m_interior.BorderWeight(index);
    const std::int32_t wD = m_interior.DeepWeight(index);
    const double sum = wB + wD;
    const auto mix = [&](std::int32_t b, std::int32_t n) {
        return static_cast<std::int32_t>(std::nearbyint(static_cast<double>(b * wB + n * wD) / sum));
    };
    return {mix(before.Blue, next.Blue), mix(before.Green, next.Green), mix(before.Red, next.Red)};
}

bool TAreaCorrelator::Transfer(std::int32_t sourceX, std::int32_t sourceY, int orientation, bool blend,
                               int mode, int order)
{
    if (orientation < 0 || orientation >= kReflectionCount)
        return false;
    switch (mode) {
    case kModeCopy:
        TransferCopy(sourceX, sourceY, orientation, blend);
        return true;
    case kModeBrightness:
        TransferBrightness(sourceX, sourceY, orientation, order);
        return true;
    case kModeColour:
        TransferColour(sourceX, sourceY, orientation, blend, order);
        return true;
    default:
        return false;
    }
}

void TAreaCorrelator::TransferCopy(std::int32_t sourceX, std::int32_t sourceY, int orientation, bool blend)
{
    for (std::int32_t i = 0; i < m_interior.Count(); ++i) {
        const TPlaceRecord& place = m_interior.Place(i);
        const TPlaceEntry& t = place.Entries[0];
        const TPlaceEntry& oriented = place.Entries[static_cast<std::size_t>(orientation)];
        const std::int32_t sx = sourceX + oriented.RelativeX;
        const std::int32_t sy = sourceY + oriented.RelativeY;
        if (!InsideImage(t.AbsoluteX, t.AbsoluteY) || !InsideImage(sx, sy))
            continue;
        TPixel next = Read(m_source, sx, sy);
        if (blend && m_interior.BorderWeight(i) > 0)
            next = Blend(i, Read(m_source, t.AbsoluteX, t.AbsoluteY), next);
        Write(t.AbsoluteX, t.AbsoluteY, next);
    }
}

void TAreaCorrelator::TransferColour(std::int32_t sourceX, std::int32_t sourceY, int orientation, bool blend,
                                     int order)
{
    TApproximationBGR approximation(m_border.Count(), order);
    for (std::int32_t i = 0; i < m_border.Count(); ++i) {
        const TPlaceRecord& place = m_border.Place(i);
        const TPlaceEntry& t = place.Entries[0];
        const TPlaceEntry& oriented = place.Entries[static_cast<std::size_t>(orientation)];
        const std::int32_t sx = sourceX + oriented.RelativeX;
        const std::int32_t sy = sourceY + oriented.RelativeY;
        if (InsideImage(t.AbsoluteX, t.AbsoluteY) && InsideImage(sx, sy)) {
            const TPixel target = Read(m_source, t.AbsoluteX, t.AbsoluteY);
            const TPixel source = Read(m_source, sx, sy);
            approximation.Add(target.Blue - source.Blue, target.Green - source.Green, target.Red - source.Red,
                              t.RelativeY, t.RelativeX);
        } else {
            approximation.Add(0.0, 0.0, 0.0, t.RelativeY, t.RelativeX);
        }
    }
    // Too few samples leave the correction at zero, so the transfer is a plain copy.
    approximation.Solve();

    for (std::int32_t i = 0; i < m_interior.Count(); ++i) {
        const TPlaceRecord& place = m_interior.Place(i);
        const TPlaceEntry& t = place.Entries[0];
        const TPlaceEntry& oriented = place.Entries[static_cast<std::size_t>(orientation)];
        const std::int32_t sx = sourceX + oriented.RelativeX;
        const std::int32_t sy = sourceY + oriented.RelativeY;
        if (!InsideImage(t.AbsoluteX, t.AbsoluteY) || !InsideImage(sx, sy))
            continue;
        const TColourCorrection c = approximation.Evaluate(t.RelativeY, t.RelativeX);
        const TPixel source = Read(m_source, sx, sy);
        TPixel next{ClampRound(source.Blue + c.Blue), ClampRound(source.Green + c.Green),
                    ClampRound(source.Red + c.Red)};
        if (blend && m_interior.BorderWeight(i) > 0)
            next = Blend(i, Read(m_source, t.AbsoluteX, t.AbsoluteY), next);
        Write(t.AbsoluteX, t.AbsoluteY, next);
    }
}

void TAreaCorrelator::TransferBrightness(std::int32_t sourceX, std::int32_t sourceY, int orientation,
                                         int order)
{
    TApproximation approximation(m_border.Count(), order);
    for (std::int32_t i = 0; i < m_border.Count(); ++i) {
        const TPlaceRecord& place = m_border.Place(i);
        const TPlaceEntry& t = place.Entries[0];
        const TPlaceEntry& oriented = place.Entries[static_cast<std::size_t>(orientation)];
        const std::int32_t sx = sourceX + oriented.RelativeX;
        const std::int32_t sy = sourceY + oriented.RelativeY;
        double difference = 0.0;
        if (InsideImage(t.AbsoluteX, t.AbsoluteY) && InsideImage(sx, sy)) {
            const TPixel target = Read(m_source, t.AbsoluteX, t.AbsoluteY);
            const TPixel source = Read(m_source, sx, sy);
            difference =
                (target.Red + target.Green + target.Blue) - (source.Red + source.Green + source.Blue);
        }
        approximation.Add(difference, t.RelativeY, t.RelativeX);
    }
    approximation.Solve();

    for (std::int32_t i = 0; i < m_interior.Count(); ++i) {
        const TPlaceRecord& place = m_interior.Place(i);
        const TPlaceEntry& t = place.Entries[0];
        const TPlaceEntry& oriented = place.Entries[static_cast<std::size_t>(orientation)];
        const std::int32_t sx = sourceX + oriented.RelativeX;
        const std::int32_t sy = sourceY + oriented.RelativeY;
        if (!InsideImage(t.AbsoluteX, t.AbsoluteY) || !InsideImage(sx, sy))
            continue;
        const double third = approximation.Evaluate(t.RelativeY, t.RelativeX) / 3.0;
        const TPixel source = Read(m_source, sx, sy);
        Write(t.AbsoluteX, t.AbsoluteY,
              {RoundClamp(source.Blue + third), RoundClamp(source.Green + third),
               RoundClamp(source.Red + third)});
    }
}
