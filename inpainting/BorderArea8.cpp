#include "inpainting/BorderArea8.h"

#include "inpainting/SizeCheck.h"

#include <algorithm>
#include <cstdlib>

TRelativePoint ReflectedPosition(int orientation, std::int32_t a, std::int32_t b, std::int32_t width,
                                 std::int32_t height)
{
    switch (orientation) {
    case arNorth:
        return {a, b};
    case arNorthReflex:
        return {width - 1 - a, b};
    case arEast:
        return {b, width - 1 - a};
    case arEastReflex:
        return {b, a};
    case arSouth:
        return {width - 1 - a, height - 1 - b};
    case arSouthReflex:
        return {a, height - 1 - b};
    case arWest:
        return {height - 1 - b, width - 1 - a};
    case arWestReflex:
        return {height - 1 - b, a};
    default:
        return {a, b};
    }
}

TBorderArea8::TBorderArea8(std::int32_t originX, std::int32_t originY, std::int32_t width,
                           std::int32_t height)
    : m_originX(originX), m_originY(originY), m_width(std::max(width, 0)), m_height(std::max(height, 0))
{
    m_places.reserve(kGrowth);
    m_seams.reserve(kGrowth);
    m_firstIndex.assign(CheckedArea(m_width, m_height), -1);
}

std::ptrdiff_t TBorderArea8::CellOf(std::int32_t x, std::int32_t y) const
{
    const std::int64_t a = static_cast<std::int64_t>(x) - m_originX;
    const std::int64_t b = static_cast<std::int64_t>(y) - m_originY;
    if (a < 0 || b < 0 || a >= m_width || b >= m_height)
        return -1;
    return static_cast<std::ptrdiff_t>(b * m_width + a);
}

void TBorderArea8::Add(std::int32_t a, std::int32_t b)
{
    if (m_places.size() == m_places.capacity()) {
        // Steps of 512 alone would copy a large footprint's list hundreds of times; doubling keeps the
        // building of a list linear.
        const std::size_t capacity = std::max(m_places.size() + kGrowth, 2 * m_places.size());
        m_places.reserve(capacity);
        m_seams.reserve(capacity);
    }
    TPlaceRecord place;
    for (int k = 0; k < kReflectionCount; ++k) {
        const TRelativePoint relative = ReflectedPosition(k, a, b, m_width, m_height);
        TPlaceEntry& entry = place.Entries[static_cast<std::size_t>(k)];
        entry.RelativeX = relative.X;
        entry.RelativeY = relative.Y;
        entry.AbsoluteX = relative.X + m_originX;
        entry.AbsoluteY = relative.Y + m_originY;
    }
    const std::ptrdiff_t cell = CellOf(place.Entries[0].AbsoluteX, place.Entries[0].AbsoluteY);
    if (cell < 0)
        ++m_outsideCount;
    else if (m_firstIndex[static_cast<std::size_t>(cell)] < 0)
        m_firstIndex[static_cast<std::size_t>(cell)] = Count();
    m_places.push_back(place);
    m_seams.push_back(TSeamRecord{});
}

void TBorderArea8::Clear()
{
    m_places.clear();
    m_seams.clear();
    std::fill(m_firstIndex.begin(), m_firstIndex.end(), -1);
    m_outsideCount = 0;
}

void TBorderArea8::Reserve(std::size_t count)
{
    m_places.reserve(count);
    m_seams.reserve(count);
}

std::int32_t TBorderArea8::IndexOf(std::int32_t x, std::int32_t y) const
{
    const std::ptrdiff_t cell = CellOf(x, y);
    if (cell >= 0)
        return m_firstIndex[static_cast<std::size_t>(cell)];
    if (m_outsideCount == 0)
        return -1;
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        const TPlaceEntry& entry = m_places[i].Entries[0];
        if (entry.AbsoluteX == x && entry.AbsoluteY == y)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

void TBorderArea8::SetRemoved(std::int32_t index, bool removed)
{
    m_seams[static_cast<std::size_t>(index)].Removed = removed ? 1 : 0;
}

void TBorderArea8::Compact()
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        if (m_seams[i].Removed)
            continue;
        m_places[kept] = m_places[i];
        m_seams[kept] = m_seams[i];
        ++kept;
    }
    m_places.resize(kept);
    m_seams.resize(kept);
    RebuildLookup();
}

void TBorderArea8::RebuildLookup()
{
    std::fill(m_firstIndex.begin(), m_firstIndex.end(), -1);
    m_outsideCount = 0;
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        const TPlaceEntry& entry = m_places[i].Entries[0];
        const std::ptrdiff_t cell = CellOf(entry.AbsoluteX, entry.AbsoluteY);
        if (cell < 0)
            ++m_outsideCount;
        else if (m_firstIndex[static_cast<std::size_t>(cell)] < 0)
            m_firstIndex[static_cast<std::size_t>(cell)] = static_cast<std::int32_t>(i);
    }
}

void TBorderArea8::ComputeSeamWeights(const TBorderArea8& border)
{
    for (TSeamRecord& seam : m_seams) {
        seam.BorderWeight = 0;
        seam.DeepWeight = 0;
    }
    // Side neighbours weigh 2, diagonal ones 1.
    const auto forEachNeighbour = [](const TPlaceEntry& entry, auto&& visit) {
        for (std::int32_t dy = -1; dy <= 1; ++dy) {
            for (std::int32_t dx = -1; dx <= 1; ++dx) {
                if (dx != 0 || dy != 0)
                    visit(entry.AbsoluteX + dx, entry.AbsoluteY + dy, 3 - (std::abs(dx) + std::abs(dy)));
            }
        }
    };
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        forEachNeighbour(m_places[i].Entries[0], [&](std::int32_t x, std::int32_t y, std::int32_t weight) {
            if (border.Contains(x, y))
                m_seams[i].BorderWeight += weight;
        });
    }
    for (std::size_t i = 0; i < m_places.size(); ++i) {
        if (m_seams[i].BorderWeight <= 0)
            continue;
        forEachNeighbour(m_places[i].Entries[0], [&](std::int32_t x, std::int32_t y, std::int32_t weight) {
            const std::int32_t neighbour = IndexOf(x, y);
            if (neighbour >= 0 && m_seams[static_cast<std::size_t>(neighbour)].BorderWeight == 0)
                m_seams[i].DeepWeight += weight;
        });
    }
}
