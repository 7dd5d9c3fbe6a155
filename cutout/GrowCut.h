#pragma once
// GrowCut segmentation: an asynchronous, frontier-driven cellular automaton over the marked region.
// Seeds (labels outside the region's free set) conquer their 4-neighbours when their strength, weighted
// by colour similarity, exceeds the neighbour's. Label changes wait for the caller's Commit, so a run can
// be shown growing and stopped between Run calls. Freeing the object writes every cell's label into the
// region's stored labels. The region is not owned and must outlive the object.

#include "imaging/PageAllocator.h"
#include "imaging/QpPixels.h"

#include <cstddef>
#include <cstdint>
#include <functional>

class TMarkedRegion;

class TGrowCut
{
public:
    struct TEntry
    {
        int X = 0;
        int Y = 0;
        std::uint8_t Label = 0;
    };

    TGrowCut() = default;
    TGrowCut(const TGrowCut&) = delete;
    TGrowCut& operator=(const TGrowCut&) = delete;
    ~TGrowCut();

    // Sizes the cells to the region and seeds the active stack. The rectangle is not used: the whole
    // image always takes part. False, leaving nothing prepared, when memory runs out.
    // `poll` runs between columns, so that a caller can keep its window alive on large fields.
    bool Prepare(TMarkedRegion& region, const TQpRect& rect, const std::function<void()>& poll = {});
    // Up to maxSteps steps; returns the number of entries left in the active stack.
    std::size_t Run(int maxSteps);
    // Makes the pending label of active-stack entry `index` the cell's label; true when that changed it.
    bool Commit(std::size_t index)
    {
        TCell& cell = m_cells[m_active[index]];
        const bool changed = cell.Label != cell.Pending;
        cell.Label = cell.Pending;
        return changed;
    }
    TEntry Entry(std::size_t index) const
    {
        const std::uint32_t cell = m_active[index];
        const std::uint32_t stripe = cell / m_stripe;
        const std::uint32_t within = cell - stripe * m_stripe;
        return {static_cast<int>(stripe * kLanes + (within & (kLanes - 1))),
                static_cast<int>(within / kLanes), m_cells[cell].Label};
    }
    // True when an existing 4-neighbour carries a different cell label.
    bool IsBoundary(int x, int y) const { return IsBoundaryCell(Cell(x, y), x, y); }

    std::size_t ActiveCount() const { return m_activeCount; }
    // Cell label and strength, for inspection.
    std::uint8_t CellLabel(int x, int y) const { return m_cells[Cell(x, y)].Label; }
    std::uint8_t PendingLabel(int x, int y) const { return m_cells[Cell(x, y)].Pending; }
    float Strength(int x, int y) const { return m_cells[Cell(x, y)].Strength; }

    // Bytes held per cell, lists included.
    static constexpr std::size_t kBytesPerCell = 9 + 2 * sizeof(std::uint32_t);

private:
    static constexpr std::uint8_t kQueued = 1;
    static constexpr std::uint8_t kActive = 2;

    // Cells lie in stripes of kLanes columns, row by row inside a stripe, so all four neighbours of a
    // cell are within a few cache lines of it. Stripes are padded to full width with cells that never
    // take part (similarity 0 towards them).
    static constexpr std::uint32_t kLanes = 8;
    std::uint32_t Cell(int x, int y) const
    {
        const auto ux = static_cast<std::uint32_t>(x);
        return (ux / kLanes) * m_stripe + static_cast<std::uint32_t>(y) * kLanes + (ux % kLanes);
    }
    bool IsBoundaryCell(std::uint32_t cell, int x, int y) const;
    bool IsStable(std::uint32_t cell) const { return m_cells[cell].Label == m_cells[cell].Pending; }
    void Release();

    // One packed record per cell: a visit reads the cell and its four neighbours, and each neighbour is
    // then one cache line rather than one per field.
    struct [[gnu::packed]] TCell
    {
        float Strength;
        std::uint8_t Label;
        std::uint8_t Pending;
        std::uint8_t SimilarityRight;
        std::uint8_t SimilarityDown;
        std::uint8_t Flags; // kQueued, kActive
    };
    static_assert(sizeof(TCell) == 9, "no padding in the cell");

    // Whole pages, huge where the system allows.
    TPageBlock m_cellPages;
    TCell* m_cells = nullptr;
    // Cell indices rather than packed 16-bit halves, so no size can wrap a position.
    TPageBlock m_listPages;
    std::uint32_t* m_active = nullptr;
    std::uint32_t* m_changed = nullptr;
    std::size_t m_activeCount = 0;
    int m_width = 0;
    int m_height = 0;
    std::uint32_t m_stripe = 0;        // cells per stripe
    std::size_t m_cellCount = 0;       // padding included
    TMarkedRegion* m_region = nullptr; // not owned
};
