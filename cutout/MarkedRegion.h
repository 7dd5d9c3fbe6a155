#pragma once
// The label field of the cutout: one label and one stored label per pixel, a count of points per label,
// and a display mode per label that says how its points are drawn straight into the attached pixels.
// Every drawn-over point keeps the photo's colour, so overlays come off exactly and segmentation always
// sees the photo. The region does not own the pixels; it owns its box mean for the blur effect.

#include "cutout/ArithmeticMean.h"
#include "imaging/HugePageAllocator.h"
#include "imaging/QpPixels.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class IProgressMeter;

// Saved colour (the photo's blue, green, red), label and stored label of one point; 5 bytes, packed.
struct TPointRecord
{
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;
    std::uint8_t Label = 0;
    std::uint8_t StoredLabel = 0;
    friend bool operator==(const TPointRecord&, const TPointRecord&) = default;
};
static_assert(sizeof(TPointRecord) == 5, "point records are packed");

// Points column by column (x outer, y inner).
using TPointGrid = THugeVector<TPointRecord>;

struct TBgr
{
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;
    friend bool operator==(const TBgr&, const TBgr&) = default;
};

using TLabelSet = std::bitset<256>;
using TLabelCounts = std::array<std::uint32_t, 256>;

// Display modes a label can have.
constexpr std::uint8_t kModeFill = 0;
constexpr std::uint8_t kModeShadow = 1;
constexpr std::uint8_t kModeBlur = 2;
constexpr std::uint8_t kModeMonochrome = 3;
constexpr std::uint8_t kModeNone = 10;
constexpr std::uint8_t kModeThresholdNegative = 12;
constexpr std::uint8_t kModeHatchGrey = 20;
constexpr std::uint8_t kModeHatchRed = 21;
constexpr std::uint8_t kModeHatchGreen = 22;
constexpr std::uint8_t kModeHatchBlue = 23;
constexpr std::uint8_t kModeHatchRedGreen = 24;
constexpr std::uint8_t kModeHatchRedBlue = 25;
constexpr std::uint8_t kModeHatchGreenBlue = 26;

class TMarkedRegion
{
public:
    TMarkedRegion();
    TMarkedRegion(const TMarkedRegion&) = delete;
    TMarkedRegion& operator=(const TMarkedRegion&) = delete;

    // Remembers the pixels. A different size clears every point and count; the same size keeps the
    // marks. False, leaving an empty detached field, for pixels without three colour bytes or storage, or
    // a field too large to index; null detaches.
    bool Attach(TQpPixels* pixels);
    TQpPixels* Pixels() const { return m_pixels; }
    // Points and backup points to 0; the pixels stay as they are.
    void ClearAll();
    // Points and counts to 0; the pixels keep whatever overlay they show.
    void ClearMarks();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    std::size_t PointCount() const { return m_pointCount; }
    TQpRect Bounds() const { return {0, 0, m_width, m_height}; }

    std::uint8_t Label(int x, int y) const { return m_points[Index(x, y)].Label; }
    std::uint8_t StoredLabel(int x, int y) const { return m_points[Index(x, y)].StoredLabel; }
    void SetStoredLabel(int x, int y, std::uint8_t value) { m_points[Index(x, y)].StoredLabel = value; }
    const TPointRecord& Point(int x, int y) const { return m_points[Index(x, y)]; }

    std::uint8_t Mode(std::uint8_t label) const { return m_modes[label]; }
    // A blur mode rebuilds the blur image from the current underlying colours at once.
    void SetMode(std::uint8_t label, std::uint8_t mode);

    bool HasLabel(std::uint8_t label) const { return m_counts[label] > 0; }
    bool IsAll(std::uint8_t label) const { return m_counts[label] == m_pointCount; }
    bool IsEmpty() const { return IsAll(0); }
    const TLabelCounts& Counts() const { return m_counts; }

    // The photo's colour: the pixel itself under a label without overlay, else the saved colour.
    TBgr UnderlyingColor(int x, int y) const;
    // Underlying colours of column x, Height() entries.
    void UnderlyingColumn(int x, TBgr* out) const;

    // Colour value with red in the low byte.
    void SetFillColor(std::uint32_t colorValue);
    void SetTintColor(std::uint32_t colorValue);
    // Levels outside 1..5 are clamped: larger ones overflow the radius, smaller ones brighten past 255.
    void SetShadowLevel(int level);
    void SetBlurLevel(int level);
    int BlurRadius() const { return m_blurRadius; }
    double ShadowDivisor() const { return m_shadowDivisor; }

    const TLabelSet& FreeLabels() const { return m_freeLabels; }
    void SetFreeLabels(const TLabelSet& labels) { m_freeLabels = labels; }

    // The box mean reports its progress here; null for none.
    void SetProgressMeter(IProgressMeter* meter) { m_mean->SetProgressMeter(meter); }

    // Relabelling. Every label change goes through SetLabel, which keeps the picture right.
    bool SetLabel(int x, int y, std::uint8_t label);
    // Relabels the 4-connected component of equal labels at (x, y); returns the rectangle changed.
    TQpRect FloodFill(int x, int y, std::uint8_t label);
    // Flood-fills the first component (x outer, y inner) labelled `from`; false when there is none.
    bool FillFirst(std::uint8_t from, std::uint8_t to, TQpRect* changed = nullptr);
    TQpRect RelabelColumnIf(int x, std::uint8_t a, std::uint8_t b, std::uint8_t label);
    TQpRect RelabelColumn(int x, std::uint8_t label);
    TQpRect RefreshColumn(int x, std::uint8_t label);
    TQpRect SwapColumn(int x, std::uint8_t a, std::uint8_t b);
    TQpRect ShowStoredColumn(int x, std::uint8_t offset);
    TQpRect ShowMarksColumn(int x, std::uint8_t offset);
    TQpRect BoundsOfLabel(std::uint8_t label) const;
    TQpRect BoundsOfSet(const TLabelSet& labels) const;

    // Snapshots for undo. Rectangles are clipped to the field; grids are [x][y] over the clipped rectangle.
    void Backup(const TQpRect& rect);
    void CopyBackup(TLabelCounts& counts, const TQpRect& rect, TPointGrid& grid) const;
    void CopyCurrent(TLabelCounts& counts, const TQpRect& rect, TPointGrid& grid) const;
    // Pixels are not touched. False, changing nothing, when the grid does not fit the rectangle.
    bool Restore(const TLabelCounts& counts, const TQpRect& rect, const TPointGrid& grid);

    // An accumulator that has not taken any point yet: whole field, then a column's.
    TQpRect EmptyFieldRect() const { return {m_width - 1, m_height - 1, 0, 0}; }
    TQpRect EmptyColumnRect(int x) const { return {x, m_height - 1, x + 1, 0}; }

private:
    std::size_t Index(int x, int y) const
    {
        return static_cast<std::size_t>(x) * static_cast<std::size_t>(m_height) + static_cast<std::size_t>(y);
    }
    std::uint8_t* PixelAt(int x, int y) const
    {
        return m_pixels->Data + static_cast<std::ptrdiff_t>(x) * m_pixels->BytesPerPixel +
               static_cast<std::ptrdiff_t>(y) * m_pixels->Stride;
    }
    void Render(std::uint8_t* pixel, const TPointRecord& point, std::uint8_t mode, int x, int y);
    void BuildBlurImage();
    void Resize(int width, int height);
    void ClearPoints(TPointGrid& points, TLabelCounts& counts) const;
    static void Include(TQpRect& rect, int x, int y);
    TQpRect Clip(const TQpRect& rect) const;
    void CopyGrid(const TPointGrid& source, const TQpRect& rect, TPointGrid& grid) const;

    int m_width = 0;
    int m_height = 0;
    std::array<std::uint8_t, 256> m_modes;
    int m_blurRadius = 27;
    double m_shadowDivisor = 0.0;
    TLabelCounts m_backupCounts{};
    TLabelCounts m_counts{};
    TQpPixels* m_pixels = nullptr; // not owned
    THugeVector<std::uint32_t> m_fillStack;
    std::unique_ptr<TArithmeticMean> m_mean;
    bool m_blurValid = false;
    bool m_blurTried = false;
    TBgr m_fillColor{255, 255, 255};
    float m_tint[3] = {1.0f, 1.0f, 1.0f};
    TPointGrid m_backupPoints;
    TPointGrid m_points;
    std::size_t m_pointCount = 0;
    TLabelSet m_freeLabels;
};
