#include "inpainting/KMean.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>

namespace {

constexpr std::uint32_t kColourBits = 0xFFFFFF;

// Lists grow to about 1.4142 times their length, and by at least one so that lengths 0 and 1 grow too.
template <typename T> void ReserveForOneMore(std::vector<T>& list)
{
    if (list.size() < list.capacity())
        return;
    const auto grown = static_cast<std::size_t>(std::nearbyint(static_cast<double>(list.size()) * 1.4142));
    list.reserve(std::max(list.size() + 1, grown));
}

// The one spare colour index of the process; a second cleaning that runs while the first holds it (which
// the editor never does) gets a table of its own.
struct TIndexPool
{
    std::mutex Lock;
    std::unique_ptr<std::uint16_t[], TKMean::TFree> Spare;
};

TIndexPool& IndexPool()
{
    static TIndexPool pool;
    return pool;
}

} // namespace

void TKMean::TFree::operator()(std::uint16_t* index) const
{
    std::free(index);
}

TKMean::TColourIndex TKMean::AcquireIndex()
{
    TIndexPool& pool = IndexPool();
    {
        std::lock_guard<std::mutex> guard(pool.Lock);
        if (pool.Spare)
            return std::move(pool.Spare);
    }
    // Zeroed memory of this size comes straight from the system, so only the pages a cleaning touches are
    // ever made real.
    TColourIndex index(static_cast<std::uint16_t*>(std::calloc(kColourIndexSize, sizeof(std::uint16_t))));
    if (!index)
        throw std::bad_alloc();
    return index;
}

void TKMean::ReleaseIndex(TColourIndex index)
{
    TIndexPool& pool = IndexPool();
    std::lock_guard<std::mutex> guard(pool.Lock);
    if (!pool.Spare)
        pool.Spare = std::move(index);
}

TKMean::TKMean(std::int32_t colourCapacity, std::int32_t centreCapacity) : m_index(AcquireIndex())
{
    m_colours.reserve(
        std::min(static_cast<std::size_t>(std::max<std::int32_t>(colourCapacity, 0)), kMaxColours));
    m_centres.reserve(static_cast<std::size_t>(std::max<std::int32_t>(centreCapacity, 0)));
}

TKMean::~TKMean()
{
    // Only the listed colours were written, so resetting them leaves the table as fresh.
    for (const TKMeanColour& colour : m_colours)
        m_index[PackedColour(colour)] = kNoColour;
    ReleaseIndex(std::move(m_index));
}

std::uint32_t TKMean::PackedColour(const TKMeanColour& colour)
{
    return static_cast<std::uint32_t>(colour.Red) << 16 | static_cast<std::uint32_t>(colour.Green) << 8 |
           colour.Blue;
}

std::int32_t TKMean::IndexOfColour(std::uint32_t packedColour) const
{
    const std::uint16_t entry = m_index[packedColour & kColourBits];
    return entry == kNoColour ? -1 : entry - 1;
}

bool TKMean::AddColor(std::uint32_t packedColour)
{
    std::uint16_t& entry = m_index[packedColour & kColourBits];
    if (entry != kNoColour) {
        ++m_colours[entry - 1u].Count;
        return true;
    }
    if (m_colours.size() >= kMaxColours)
        return false;
    ReserveForOneMore(m_colours);
    entry = static_cast<std::uint16_t>(m_colours.size() + 1);
    TKMeanColour colour;
    colour.Blue = static_cast<std::uint8_t>(packedColour);
    colour.Green = static_cast<std::uint8_t>(packedColour >> 8);
    colour.Red = static_cast<std::uint8_t>(packedColour >> 16);
    colour.Count = 1;
    m_colours.push_back(colour);
    return true;
}

void TKMean::AddCentre(std::uint32_t packedColour, bool movable)
{
    ReserveForOneMore(m_centres);
    TKMeanCentre centre;
    centre.Blue = static_cast<float>(packedColour & 0xFF);
    centre.Green = static_cast<float>((packedColour >> 8) & 0xFF);
    centre.Red = static_cast<float>((packedColour >> 16) & 0xFF);
    centre.Movable = movable;
    m_centres.push_back(centre);
}

namespace {

// The colour's pixel count times its Euclidean distance to the centre.
double Distance(const TKMeanColour& colour, const TKMeanCentre& centre)
{
    const double red = static_cast<double>(centre.Red) - colour.Red;
    const double green = static_cast<double>(centre.Green) - colour.Green;
    const double blue = static_cast<double>(centre.Blue) - colour.Blue;
    return colour.Count * std::sqrt(red * red + green * green + blue * blue);
}

} // namespace

std::int32_t TKMean::Iterate()
{
    m_total = 0.0;
    for (TKMeanCentre& centre : m_centres) {
        centre.SumBlue = centre.SumGreen = centre.SumRed = 0.0f;
        centre.Weight = 0;
    }
    if (m_centres.empty())
        return 0;

    const auto centreCount = static_cast<std::int32_t>(m_centres.size());
    std::int32_t reassignments = 0;
    for (TKMeanColour& colour : m_colours) {
        std::int32_t best = std::clamp(colour.Cluster, 0, centreCount - 1);
        double bestDistance = Distance(colour, m_centres[static_cast<std::size_t>(best)]);
        for (std::int32_t i = 0; i < centreCount; ++i) {
            if (i == best)
                continue;
            const double distance = Distance(colour, m_centres[static_cast<std::size_t>(i)]);
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
                ++reassignments;
            }
        }
        colour.Cluster = best;
        m_total += bestDistance;
        TKMeanCentre& centre = m_centres[static_cast<std::size_t>(best)];
        const std::int64_t count = colour.Count;
        centre.SumBlue += static_cast<float>(count * colour.Blue);
        centre.SumGreen += static_cast<float>(count * colour.Green);
        centre.SumRed += static_cast<float>(count * colour.Red);
        centre.Weight += colour.Count;
    }

    for (TKMeanCentre& centre : m_centres) {
        if (!centre.Movable || centre.Weight <= 0)
            continue;
        const float inverse = 1.0f / static_cast<float>(centre.Weight);
        centre.Blue = centre.SumBlue * inverse;
        centre.Green = centre.SumGreen * inverse;
        centre.Red = centre.SumRed * inverse;
    }
    return reassignments;
}
