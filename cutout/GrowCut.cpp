#include "cutout/GrowCut.h"

#include "cutout/MarkedRegion.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

constexpr int kPollColumns = 64;

inline std::uint8_t Similarity(const TBgr& p, const TBgr& q)
{
    const int d = std::max({std::abs(p.Blue - q.Blue), std::abs(p.Green - q.Green), std::abs(p.Red - q.Red)});
    return static_cast<std::uint8_t>(255 - d);
}

} // namespace

TGrowCut::~TGrowCut()
{
    if (m_region && m_region->Width() == m_width && m_region->Height() == m_height) {
        for (int x = 0; x < m_width; ++x)
            for (int y = 0; y < m_height; ++y)
                m_region->SetStoredLabel(x, y, m_cells[Cell(x, y)].Label);
    }
}

void TGrowCut::Release()
{
    m_cellPages.Free();
    m_listPages.Free();
    m_cells = nullptr;
    m_active = nullptr;
    m_changed = nullptr;
    m_activeCount = 0;
    m_width = 0;
    m_height = 0;
    m_stripe = 0;
    m_cellCount = 0;
    m_region = nullptr;
}

bool TGrowCut::Prepare(TMarkedRegion& region, const TQpRect& /*rect*/, const std::function<void()>& poll)
{
    Release();
    const int width = region.Width();
    const int height = region.Height();
    const std::size_t count = region.PointCount();
    const std::size_t stripes = (static_cast<std::size_t>(width) + kLanes - 1) / kLanes;
    const std::size_t padded = stripes * kLanes * static_cast<std::size_t>(height);
    // Neighbour arithmetic may reach one stripe past the end without wrapping.
    if (padded + kLanes * static_cast<std::size_t>(height) > std::numeric_limits<std::uint32_t>::max())
        return false;
    if (count > 0) {
        if (!m_cellPages.Allocate(padded * sizeof(TCell)) ||
            !m_listPages.Allocate(count * 2 * sizeof(std::uint32_t))) {
            Release();
            return false;
        }
        m_cells = reinterpret_cast<TCell*>(m_cellPages.Data());
        m_active = reinterpret_cast<std::uint32_t*>(m_listPages.Data());
        m_changed = m_active + count;
    }
    m_region = &region;
    m_width = width;
    m_height = height;
    m_stripe = kLanes * static_cast<std::uint32_t>(height);
    m_cellCount = padded;

    const TLabelSet& free = region.FreeLabels();
    std::vector<TBgr> column(static_cast<std::size_t>(height));
    std::vector<TBgr> next(static_cast<std::size_t>(height));
    if (width > 0)
        region.UnderlyingColumn(0, column.data());
    for (int x = 0; x < width; ++x) {
        const bool hasRight = x < width - 1;
        if (hasRight)
            region.UnderlyingColumn(x + 1, next.data());
        for (int y = 0; y < height; ++y) {
            const std::uint32_t cell = Cell(x, y);
            const std::uint8_t label = region.Label(x, y);
            const TBgr& c = column[static_cast<std::size_t>(y)];
            // Missing neighbours get similarity 0: an attack with force 0 can never succeed.
            m_cells[cell] = {free.test(label) ? 0.0f : 1.0f,
                             label,
                             label,
                             hasRight ? Similarity(c, next[static_cast<std::size_t>(y)]) : std::uint8_t{0},
                             y < height - 1 ? Similarity(c, column[static_cast<std::size_t>(y) + 1])
                                            : std::uint8_t{0},
                             0};
        }
        column.swap(next);
        if (poll && x % kPollColumns == kPollColumns - 1)
            poll();
    }

    // Seeds surrounded by their own label cannot conquer anything and stay out.
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            const std::uint32_t cell = Cell(x, y);
            if (free.test(m_cells[cell].Label) || !IsBoundaryCell(cell, x, y))
                continue;
            m_active[m_activeCount++] = cell;
            m_cells[cell].Flags = kActive;
        }
        if (poll && x % kPollColumns == kPollColumns - 1)
            poll();
    }
    return true;
}

bool TGrowCut::IsBoundaryCell(std::uint32_t cell, int x, int y) const
{
    const std::uint8_t label = m_cells[cell].Label;
    return (x > 0 && m_cells[Cell(x - 1, y)].Label != label) ||
           (x < m_width - 1 && m_cells[Cell(x + 1, y)].Label != label) ||
           (y > 0 && m_cells[cell - kLanes].Label != label) ||
           (y < m_height - 1 && m_cells[cell + kLanes].Label != label);
}

std::size_t TGrowCut::Run(int maxSteps)
{
    TCell* const cells = m_cells;
    std::uint32_t* const active = m_active;
    std::uint32_t* const changed = m_changed;
    std::size_t activeCount = m_activeCount;
    std::size_t changedCount = 0;
    const auto count = static_cast<std::uint32_t>(m_cellCount);
    // From the last lane of a stripe to the first lane of the next one in the same row, and back.
    const std::uint32_t acrossStripes = m_stripe - (kLanes - 1);
    const auto stable = [cells](std::uint32_t cell) { return cells[cell].Label == cells[cell].Pending; };
    // Strictly greater: an equal force leaves the defender as it is. Cells beyond the image's edge (the
    // next stripe's first row below the last row, padding to the right) are attacked with similarity 0,
    // which never succeeds, so only the ends of the storage need a test.
    const auto attack = [&](std::uint8_t pending, std::uint32_t defender, float force) {
        TCell& v = cells[defender];
        if (!(force > v.Strength))
            return;
        v.Strength = force;
        v.Pending = pending;
        if (!(v.Flags & kQueued)) {
            changed[changedCount++] = defender;
            v.Flags |= kQueued;
        }
    };
    for (int step = 0; step < maxSteps; ++step) {
        std::size_t k = 0;
        while (activeCount > 0) {
            const std::size_t top = activeCount - 1;
            if (!stable(active[top])) {
                while (k < top && !stable(active[k]))
                    ++k;
                if (k >= top)
                    break;
                std::swap(active[k], active[top]);
                ++k;
            }
            const std::uint32_t cell = active[top];
            activeCount = top;
            if (top > 0)
                __builtin_prefetch(&cells[active[top - 1]]);
            TCell& c = cells[cell];
            c.Flags &= static_cast<std::uint8_t>(~kActive);
            const float s = c.Strength / 255.0f;
            const std::uint8_t pending = c.Pending;
            const std::uint32_t lane = cell % kLanes;
            const std::uint32_t right = lane != kLanes - 1 ? cell + 1 : cell + acrossStripes;
            if (cell + kLanes < count)
                attack(pending, cell + kLanes, static_cast<float>(c.SimilarityDown) * s);
            if (right < count)
                attack(pending, right, static_cast<float>(c.SimilarityRight) * s);
            if (cell >= kLanes)
                attack(pending, cell - kLanes, static_cast<float>(cells[cell - kLanes].SimilarityDown) * s);
            if (lane != 0)
                attack(pending, cell - 1, static_cast<float>(cells[cell - 1].SimilarityRight) * s);
            else if (cell >= acrossStripes)
                attack(pending, cell - acrossStripes,
                       static_cast<float>(cells[cell - acrossStripes].SimilarityRight) * s);
        }
        if (changedCount == 0)
            break;
        for (std::size_t i = changedCount; i-- > 0;) {
            TCell& v = cells[changed[i]];
            v.Flags &= static_cast<std::uint8_t>(~kQueued);
            if (!(v.Flags & kActive)) {
                active[activeCount++] = changed[i];
                v.Flags |= kActive;
            }
        }
        changedCount = 0;
    }
    m_activeCount = activeCount;
    return activeCount;
}
