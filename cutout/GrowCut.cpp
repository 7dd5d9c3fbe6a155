#include "cutout/GrowCut.h"

#include "cutout/MarkedRegion.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

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
                m_region->SetStoredLabel(x, y, m_label[Cell(x, y)]);
    }
}

void TGrowCut::Release()
{
    m_strength = {};
    m_label = {};
    m_pending = {};
    m_similarityRight = {};
    m_similarityDown = {};
    m_flags = {};
    m_active = {};
    m_changed = {};
    m_activeCount = 0;
    m_changedCount = 0;
    m_width = 0;
    m_height = 0;
    m_uheight = 1;
    m_cellCount = 0;
    m_region = nullptr;
}

bool TGrowCut::Prepare(TMarkedRegion& region, const TQpRect& /*rect*/)
{
    Release();
    const int width = region.Width();
    const int height = region.Height();
    const std::size_t count = region.PointCount();
    try {
        m_strength.resize(count);
        m_label.resize(count);
        m_pending.resize(count);
        m_similarityRight.assign(count, 0);
        m_similarityDown.assign(count, 0);
        m_flags.assign(count, 0);
        m_active.resize(count);
        m_changed.resize(count);
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    m_region = &region;
    m_width = width;
    m_height = height;
    m_uheight = static_cast<std::uint32_t>(std::max(height, 1));
    m_cellCount = count;

    const TLabelSet& free = region.FreeLabels();
    std::vector<TBgr> column(static_cast<std::size_t>(height));
    std::vector<TBgr> next(static_cast<std::size_t>(height));
    if (width > 0)
        region.UnderlyingColumn(0, column.data());
    for (int x = 0; x < width; ++x) {
        const bool hasRight = x < width - 1;
        if (hasRight)
            region.UnderlyingColumn(x + 1, next.data());
        const std::uint32_t base = Cell(x, 0);
        for (int y = 0; y < height; ++y) {
            const std::uint32_t cell = base + static_cast<std::uint32_t>(y);
            const std::uint8_t label = region.Label(x, y);
            m_label[cell] = label;
            m_pending[cell] = label;
            m_strength[cell] = free.test(label) ? 0.0f : 1.0f;
            const TBgr& c = column[static_cast<std::size_t>(y)];
            if (hasRight)
                m_similarityRight[cell] = Similarity(c, next[static_cast<std::size_t>(y)]);
            if (y < height - 1)
                m_similarityDown[cell] = Similarity(c, column[static_cast<std::size_t>(y) + 1]);
        }
        column.swap(next);
    }

    // Seeds surrounded by their own label cannot conquer anything and stay out.
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y) {
            const std::uint32_t cell = Cell(x, y);
            if (free.test(m_label[cell]) || !IsBoundaryCell(cell, x, y))
                continue;
            m_active[m_activeCount++] = cell;
            m_flags[cell] = kActive;
        }
    return true;
}

bool TGrowCut::IsBoundaryCell(std::uint32_t cell, int x, int y) const
{
    const std::uint8_t label = m_label[cell];
    return (x > 0 && m_label[cell - m_uheight] != label) ||
           (x < m_width - 1 && m_label[cell + m_uheight] != label) || (y > 0 && m_label[cell - 1] != label) ||
           (y < m_height - 1 && m_label[cell + 1] != label);
}

inline void TGrowCut::Attack(std::uint32_t attacker, std::uint32_t defender, float force)
{
    // Strictly greater: an equal force leaves the defender as it is.
    if (!(force > m_strength[defender]))
        return;
    m_strength[defender] = force;
    m_pending[defender] = m_pending[attacker];
    if (!(m_flags[defender] & kQueued)) {
        m_changed[m_changedCount++] = defender;
        m_flags[defender] |= kQueued;
    }
}

std::size_t TGrowCut::Run(int maxSteps)
{
    const std::uint32_t h = m_uheight;
    const std::uint32_t lastColumnStart = m_cellCount > 0 ? static_cast<std::uint32_t>(m_cellCount) - h : 0;
    for (int step = 0; step < maxSteps; ++step) {
        std::size_t k = 0;
        while (m_activeCount > 0) {
            const std::size_t top = m_activeCount - 1;
            if (!IsStable(m_active[top])) {
                while (k < top && !IsStable(m_active[k]))
                    ++k;
                if (k >= top)
                    break;
                std::swap(m_active[k], m_active[top]);
                ++k;
            }
            const std::uint32_t cell = m_active[top];
            m_activeCount = top;
            m_flags[cell] &= static_cast<std::uint8_t>(~kActive);
            const float s = m_strength[cell] / 255.0f;
            const std::uint32_t y = cell % h;
            if (y < h - 1)
                Attack(cell, cell + 1, static_cast<float>(m_similarityDown[cell]) * s);
            if (cell < lastColumnStart)
                Attack(cell, cell + h, static_cast<float>(m_similarityRight[cell]) * s);
            if (y > 0)
                Attack(cell, cell - 1, static_cast<float>(m_similarityDown[cell - 1]) * s);
            if (cell >= h)
                Attack(cell, cell - h, static_cast<float>(m_similarityRight[cell - h]) * s);
        }
        if (m_changedCount == 0)
            break;
        for (std::size_t i = m_changedCount; i-- > 0;) {
            const std::uint32_t cell = m_changed[i];
            m_flags[cell] &= static_cast<std::uint8_t>(~kQueued);
            if (!(m_flags[cell] & kActive)) {
                m_active[m_activeCount++] = cell;
                m_flags[cell] |= kActive;
            }
        }
        m_changedCount = 0;
    }
    return m_activeCount;
}
