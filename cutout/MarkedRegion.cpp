#include "cutout/MarkedRegion.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

inline std::uint8_t RoundToByte(double value)
{
    return static_cast<std::uint8_t>(std::nearbyint(std::clamp(value, 0.0, 255.0)));
}

inline void SaveColor(TPointRecord& point, const std::uint8_t* pixel)
{
    point.Blue = pixel[0];
    point.Green = pixel[1];
    point.Red = pixel[2];
}

inline void PutColor(std::uint8_t* pixel, const TPointRecord& point)
{
    pixel[0] = point.Blue;
    pixel[1] = point.Green;
    pixel[2] = point.Red;
}

} // namespace

TMarkedRegion::TMarkedRegion() : m_mean(std::make_unique<TArithmeticMean>())
{
    m_modes.fill(kModeNone);
    SetShadowLevel(3);
}

bool TMarkedRegion::Attach(TQpPixels* pixels)
{
    const bool usable =
        pixels && pixels->BytesPerPixel >= 3 && pixels->Width >= 0 && pixels->Height >= 0 &&
        (pixels->Data || pixels->Width == 0 || pixels->Height == 0) &&
        static_cast<std::uint64_t>(pixels->Width) * static_cast<std::uint64_t>(pixels->Height) <=
            std::numeric_limits<std::uint32_t>::max();
    if (!usable) {
        m_pixels = nullptr;
        Resize(0, 0);
        return pixels == nullptr;
    }
    m_pixels = pixels;
    if (pixels->Width != m_width || pixels->Height != m_height) {
        try {
            Resize(pixels->Width, pixels->Height);
        } catch (const std::bad_alloc&) {
            m_pixels = nullptr;
            Resize(0, 0);
            return false;
        }
    }
    return true;
}

void TMarkedRegion::Resize(int width, int height)
{
    m_width = 0;
    m_height = 0;
    m_pointCount = 0;
    m_points = {};
    m_backupPoints = {};
    m_fillStack = {};
    m_blurValid = false;
    m_blurTried = false;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    m_points.resize(count);
    m_backupPoints.resize(count);
    m_width = width;
    m_height = height;
    m_pointCount = count;
    ClearPoints(m_points, m_counts);
    ClearPoints(m_backupPoints, m_backupCounts);
}

void TMarkedRegion::ClearPoints(TPointGrid& points, TLabelCounts& counts) const
{
    std::fill(points.begin(), points.end(), TPointRecord{});
    counts.fill(0);
    counts[0] = static_cast<std::uint32_t>(m_pointCount);
}

void TMarkedRegion::ClearAll()
{
    ClearPoints(m_points, m_counts);
    ClearPoints(m_backupPoints, m_backupCounts);
}

void TMarkedRegion::ClearMarks()
{
    ClearPoints(m_points, m_counts);
}

TBgr TMarkedRegion::UnderlyingColor(int x, int y) const
{
    const TPointRecord& point = m_points[Index(x, y)];
    if (m_modes[point.Label] == kModeNone) {
        const std::uint8_t* pixel = PixelAt(x, y);
        return {pixel[0], pixel[1], pixel[2]};
    }
    return {point.Blue, point.Green, point.Red};
}

void TMarkedRegion::UnderlyingColumn(int x, TBgr* out) const
{
    const TPointRecord* points = m_points.data() + Index(x, 0);
    const std::uint8_t* pixel = PixelAt(x, 0);
    for (int y = 0; y < m_height; ++y, pixel += m_pixels->Stride) {
        const TPointRecord& point = points[y];
        out[y] = m_modes[point.Label] == kModeNone ? TBgr{pixel[0], pixel[1], pixel[2]}
                                                   : TBgr{point.Blue, point.Green, point.Red};
    }
}

void TMarkedRegion::SetFillColor(std::uint32_t colorValue)
{
    m_fillColor = {static_cast<std::uint8_t>(colorValue >> 16), static_cast<std::uint8_t>(colorValue >> 8),
                   static_cast<std::uint8_t>(colorValue)};
}

void TMarkedRegion::SetTintColor(std::uint32_t colorValue)
{
    m_tint[0] = static_cast<float>((colorValue >> 16) & 0xFF) / 255.0f;
    m_tint[1] = static_cast<float>((colorValue >> 8) & 0xFF) / 255.0f;
    m_tint[2] = static_cast<float>(colorValue & 0xFF) / 255.0f;
}

void TMarkedRegion::SetShadowLevel(int level)
{
    // Exact powers of two for even levels: repeated products of the rounded root drift above 2.0 and
    // turn halves that must round up into ones that round down.
    level = std::clamp(level, 1, 5);
    m_shadowDivisor = std::ldexp(1.0, level / 2) * (level % 2 != 0 ? std::sqrt(2.0) : 1.0);
}

void TMarkedRegion::SetBlurLevel(int level)
{
    level = std::clamp(level, 1, 5);
    int radius = 1;
    for (int i = 0; i < level; ++i)
        radius *= 3;
    m_blurRadius = radius;
}

void TMarkedRegion::BuildBlurImage()
{
    m_blurValid = false;
    m_blurTried = true;
    if (!m_pixels || !m_mean->SetSize(m_width, m_height))
        return;
    std::vector<TBgr> column(static_cast<std::size_t>(m_height));
    for (int x = 0; x < m_width; ++x) {
        UnderlyingColumn(x, column.data());
        for (int y = 0; y < m_height; ++y) {
            const TBgr& c = column[static_cast<std::size_t>(y)];
            m_mean->Set(x, y, (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue);
        }
    }
    m_mean->Compute(m_blurRadius);
    m_blurValid = true;
}

void TMarkedRegion::SetMode(std::uint8_t label, std::uint8_t mode)
{
    const std::uint8_t old = m_modes[label];
    // A label that gains or loses its overlay while it has points must keep the saved colours in step
    // with the pixels, or the photo's colour is lost at the next redraw.
    const bool gainsOverlay = old == kModeNone && mode != kModeNone && m_counts[label] > 0 && m_pixels;
    const bool losesOverlay = old != kModeNone && mode == kModeNone && m_counts[label] > 0 && m_pixels;
    if (gainsOverlay || losesOverlay) {
        for (int x = 0; x < m_width; ++x)
            for (int y = 0; y < m_height; ++y) {
                TPointRecord& point = m_points[Index(x, y)];
                if (point.Label != label)
                    continue;
                if (gainsOverlay)
                    SaveColor(point, PixelAt(x, y));
                else
                    PutColor(PixelAt(x, y), point);
            }
    }
    m_modes[label] = mode;
    if (mode == kModeBlur)
        BuildBlurImage();
    if (gainsOverlay)
        for (int x = 0; x < m_width; ++x)
            RefreshColumn(x, label);
}

void TMarkedRegion::Render(std::uint8_t* pixel, const TPointRecord& point, std::uint8_t mode, int x, int y)
{
    const std::uint8_t saved[3] = {point.Blue, point.Green, point.Red};
    switch (mode) {
    case kModeFill:
        pixel[0] = m_fillColor.Blue;
        pixel[1] = m_fillColor.Green;
        pixel[2] = m_fillColor.Red;
        return;
    case kModeShadow:
        for (int c = 0; c < 3; ++c)
            pixel[c] = RoundToByte(saved[c] / m_shadowDivisor);
        return;
    case kModeBlur:
        // A change of size leaves no blur image; one that cannot be had is not retried point by point.
        if (!m_blurValid && !m_blurTried)
            BuildBlurImage();
        if (m_blurValid)
            m_mean->Get(x, y, pixel);
        return;
    case kModeMonochrome: {
        const double v = std::max({saved[0], saved[1], saved[2]});
        for (int c = 0; c < 3; ++c)
            pixel[c] = RoundToByte(v * m_tint[c]);
        return;
    }
    case kModeThresholdNegative:
        for (int c = 0; c < 3; ++c)
            pixel[c] = saved[c] > 127 ? 0 : 255;
        return;
    default:
        break;
    }
    if (mode < kModeHatchGrey || mode > kModeHatchGreenBlue)
        return;
    std::uint8_t v = std::max({saved[0], saved[1], saved[2]});
    if (x % 5 == y % 6)
        v = static_cast<std::uint8_t>(255 - v);
    // Which of blue, green, red carry v; the others are 0.
    static constexpr bool kChannels[7][3] = {{true, true, true},   {false, false, true}, {false, true, false},
                                             {true, false, false}, {false, true, true},  {true, false, true},
                                             {true, true, false}};
    const bool* on = kChannels[mode - kModeHatchGrey];
    for (int c = 0; c < 3; ++c)
        pixel[c] = on[c] ? v : 0;
}

bool TMarkedRegion::SetLabel(int x, int y, std::uint8_t label)
{
    TPointRecord& point = m_points[Index(x, y)];
    const std::uint8_t old = point.Label;
    if (label == old)
        return false;
    std::uint8_t* pixel = PixelAt(x, y);
    if (m_modes[old] == kModeNone)
        SaveColor(point, pixel);
    else
        PutColor(pixel, point);
    if (m_modes[label] != kModeNone)
        Render(pixel, point, m_modes[label], x, y);
    --m_counts[old];
    ++m_counts[label];
    point.Label = label;
    return true;
}

void TMarkedRegion::Include(TQpRect& rect, int x, int y)
{
    rect.Left = std::min(rect.Left, x);
    rect.Top = std::min(rect.Top, y);
    rect.Right = std::max(rect.Right, x + 1);
    rect.Bottom = std::max(rect.Bottom, y + 1);
}

TQpRect TMarkedRegion::FloodFill(int x, int y, std::uint8_t label)
{
    TQpRect rect = EmptyFieldRect();
    const std::uint8_t target = Label(x, y);
    if (target == label)
        return rect;
    // Cell indices rather than packed 16-bit halves, so fields wider or taller than 32767 cannot wrap.
    if (m_fillStack.size() < m_pointCount)
        m_fillStack.resize(m_pointCount);
    std::uint32_t* stack = m_fillStack.data();
    std::size_t top = 0;
    const auto visit = [&](int vx, int vy) {
        const std::size_t index = Index(vx, vy);
        if (m_points[index].Label != target)
            return;
        stack[top++] = static_cast<std::uint32_t>(index);
        SetLabel(vx, vy, label);
        Include(rect, vx, vy);
    };
    visit(x, y);
    const auto height = static_cast<std::uint32_t>(m_height);
    while (top > 0) {
        const std::uint32_t index = stack[--top];
        const int px = static_cast<int>(index / height);
        const int py = static_cast<int>(index % height);
        if (px < m_width - 1)
            visit(px + 1, py);
        if (px > 0)
            visit(px - 1, py);
        if (py < m_height - 1)
            visit(px, py + 1);
        if (py > 0)
            visit(px, py - 1);
    }
    return rect;
}

bool TMarkedRegion::FillFirst(std::uint8_t from, std::uint8_t to, TQpRect* changed)
{
    if (m_counts[from] == 0)
        return false;
    const auto it = std::find_if(m_points.begin(), m_points.end(),
                                 [from](const TPointRecord& point) { return point.Label == from; });
    if (it == m_points.end())
        return false;
    const auto index = static_cast<std::size_t>(it - m_points.begin());
    const TQpRect rect = FloodFill(static_cast<int>(index / static_cast<std::size_t>(m_height)),
                                   static_cast<int>(index % static_cast<std::size_t>(m_height)), to);
    if (changed)
        *changed = rect;
    return true;
}

TQpRect TMarkedRegion::RelabelColumnIf(int x, std::uint8_t a, std::uint8_t b, std::uint8_t label)
{
    TQpRect rect = EmptyColumnRect(x);
    for (int y = 0; y < m_height; ++y) {
        const std::uint8_t current = m_points[Index(x, y)].Label;
        if ((current == a || current == b) && SetLabel(x, y, label))
            Include(rect, x, y);
    }
    return rect;
}

TQpRect TMarkedRegion::RelabelColumn(int x, std::uint8_t label)
{
    TQpRect rect = EmptyColumnRect(x);
    for (int y = 0; y < m_height; ++y)
        if (SetLabel(x, y, label))
            Include(rect, x, y);
    return rect;
}

TQpRect TMarkedRegion::RefreshColumn(int x, std::uint8_t label)
{
    TQpRect rect = EmptyColumnRect(x);
    const std::uint8_t mode = m_modes[label];
    for (int y = 0; y < m_height; ++y) {
        const TPointRecord& point = m_points[Index(x, y)];
        if (point.Label != label)
            continue;
        if (mode != kModeNone) {
            std::uint8_t* pixel = PixelAt(x, y);
            PutColor(pixel, point);
            Render(pixel, point, mode, x, y);
        }
        Include(rect, x, y);
    }
    return rect;
}

TQpRect TMarkedRegion::SwapColumn(int x, std::uint8_t a, std::uint8_t b)
{
    for (int y = 0; y < m_height; ++y) {
        const std::uint8_t current = m_points[Index(x, y)].Label;
        if (current == a)
            SetLabel(x, y, b);
        else if (current == b)
            SetLabel(x, y, a);
    }
    return {x, 0, x + 1, m_height};
}

TQpRect TMarkedRegion::ShowStoredColumn(int x, std::uint8_t offset)
{
    for (int y = 0; y < m_height; ++y) {
        TPointRecord& point = m_points[Index(x, y)];
        const std::uint8_t stored = point.StoredLabel;
        point.StoredLabel = point.Label;
        SetLabel(x, y, static_cast<std::uint8_t>(offset + stored));
    }
    return {x, 0, x + 1, m_height};
}

TQpRect TMarkedRegion::ShowMarksColumn(int x, std::uint8_t offset)
{
    for (int y = 0; y < m_height; ++y) {
        TPointRecord& point = m_points[Index(x, y)];
        const std::uint8_t stored = point.StoredLabel;
        point.StoredLabel = static_cast<std::uint8_t>(point.Label - offset);
        SetLabel(x, y, stored);
    }
    return {x, 0, x + 1, m_height};
}

TQpRect TMarkedRegion::BoundsOfLabel(std::uint8_t label) const
{
    TLabelSet labels;
    labels.set(label);
    return BoundsOfSet(labels);
}

TQpRect TMarkedRegion::BoundsOfSet(const TLabelSet& labels) const
{
    // Only the first and the last member of each column can widen the rectangle.
    TQpRect rect = EmptyFieldRect();
    for (int x = 0; x < m_width; ++x) {
        const TPointRecord* column = m_points.data() + Index(x, 0);
        int first = 0;
        while (first < m_height && !labels[column[first].Label])
            ++first;
        if (first == m_height)
            continue;
        int last = m_height - 1;
        while (!labels[column[last].Label])
            --last;
        Include(rect, x, first);
        Include(rect, x, last);
    }
    return rect;
}

TQpRect TMarkedRegion::Clip(const TQpRect& rect) const
{
    return IntersectRect(rect, Bounds());
}

void TMarkedRegion::CopyGrid(const TPointGrid& source, const TQpRect& rect, TPointGrid& grid) const
{
    const TQpRect r = Clip(rect);
    grid.clear();
    if (r.IsEmpty())
        return;
    grid.reserve(static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()));
    for (int x = r.Left; x < r.Right; ++x) {
        const auto column = source.begin() + static_cast<std::ptrdiff_t>(Index(x, 0));
        grid.insert(grid.end(), column + r.Top, column + r.Bottom);
    }
}

void TMarkedRegion::Backup(const TQpRect& rect)
{
    m_backupCounts = m_counts;
    const TQpRect r = Clip(rect);
    if (r.IsEmpty())
        return;
    for (int x = r.Left; x < r.Right; ++x) {
        const auto from = m_points.begin() + static_cast<std::ptrdiff_t>(Index(x, 0));
        std::copy(from + r.Top, from + r.Bottom,
                  m_backupPoints.begin() + static_cast<std::ptrdiff_t>(Index(x, 0)) + r.Top);
    }
}

void TMarkedRegion::CopyBackup(TLabelCounts& counts, const TQpRect& rect, TPointGrid& grid) const
{
    counts = m_backupCounts;
    CopyGrid(m_backupPoints, rect, grid);
}

void TMarkedRegion::CopyCurrent(TLabelCounts& counts, const TQpRect& rect, TPointGrid& grid) const
{
    counts = m_counts;
    CopyGrid(m_points, rect, grid);
}

bool TMarkedRegion::Restore(const TLabelCounts& counts, const TQpRect& rect, const TPointGrid& grid)
{
    const TQpRect r = Clip(rect);
    const std::size_t area =
        r.IsEmpty() ? 0 : static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height());
    if (grid.size() != area)
        return false;
    m_counts = counts;
    auto from = grid.begin();
    for (int x = r.Left; x < r.Right && area > 0; ++x, from += r.Height())
        std::copy(from, from + r.Height(),
                  m_points.begin() + static_cast<std::ptrdiff_t>(Index(x, 0)) + r.Top);
    return true;
}
