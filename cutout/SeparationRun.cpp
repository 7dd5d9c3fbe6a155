#include "cutout/SeparationRun.h"

#include "cutout/GrowCut.h"
#include "cutout/MarkedRegion.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kStepsPerSlice = 3;
constexpr int kSlicesPerRepaint = 8;
constexpr auto kRepaintInterval = std::chrono::milliseconds(100);
// Between repaints pending input is still taken this often, so that Abort and the window answer at once.
constexpr auto kMessageInterval = std::chrono::milliseconds(40);
constexpr int kTileShift = 6;

// Which 64 x 64 tiles hold changed points: a growing front is a thin ring, and its bounding box would
// make every repaint redraw the whole inside.
class TChangedTiles
{
public:
    TChangedTiles(int width, int height)
        : m_width(width), m_height(height), m_columns(((width - 1) >> kTileShift) + 1),
          m_rows(((height - 1) >> kTileShift) + 1),
          m_tiles(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), 0)
    {
    }
    void Mark(int x, int y)
    {
        m_tiles[static_cast<std::size_t>(y >> kTileShift) * static_cast<std::size_t>(m_columns) +
                static_cast<std::size_t>(x >> kTileShift)] = 1;
        m_any = true;
    }
    // Hands each run of changed tiles of a tile row to the host and forgets them.
    void Flush(ISeparationHost& host)
    {
        if (!m_any)
            return;
        for (int row = 0; row < m_rows; ++row) {
            std::uint8_t* tiles =
                &m_tiles[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns)];
            for (int column = 0; column < m_columns;) {
                if (!tiles[column]) {
                    ++column;
                    continue;
                }
                const int start = column;
                while (column < m_columns && tiles[column])
                    tiles[column++] = 0;
                host.Repaint({start << kTileShift, row << kTileShift, std::min(column << kTileShift, m_width),
                              std::min((row + 1) << kTileShift, m_height)});
            }
        }
        m_any = false;
    }

private:
    int m_width;
    int m_height;
    int m_columns;
    int m_rows;
    std::vector<std::uint8_t> m_tiles;
    bool m_any = false;
};

// Takes pending messages when the last time lies kMessageInterval back.
class TMessagePacer
{
public:
    explicit TMessagePacer(ISeparationHost& host) : m_host(host) {}
    void Poll()
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last >= kMessageInterval)
            Processed(now);
    }
    void Processed(std::chrono::steady_clock::time_point now)
    {
        m_host.ProcessMessages();
        m_last = now;
    }

private:
    ISeparationHost& m_host;
    std::chrono::steady_clock::time_point m_last = std::chrono::steady_clock::now();
};

void RelabelMarksToUnknown(TMarkedRegion& region, ISeparationHost& host)
{
    ForEachColumn(region, host, [&region](int x) {
        return region.RelabelColumnIf(x, kLabelBackground, kLabelObject, kLabelUnknown);
    });
}

} // namespace

void ForEachColumn(TMarkedRegion& region, ISeparationHost& host, const std::function<TQpRect(int)>& column)
{
    const int width = region.Width();
    for (int x = 0; x < width; ++x) {
        host.Repaint(column(x));
        if (x % 16 == 0 || x == width - 1)
            host.ProcessMessages();
    }
}

void ApplySeparationDisplayModes(TMarkedRegion& region, TBackgroundEffect effect)
{
    region.SetMode(kLabelUnmarked, kModeNone);
    region.SetMode(kLabelObject, kModeHatchGreen);
    region.SetMode(kLabelBackground, kModeHatchRed);
    region.SetMode(kLabelUnknown, kModeHatchRedGreen);
    region.SetMode(kLabelResultObject, kModeNone);
    region.SetMode(kLabelResultBackground, static_cast<std::uint8_t>(effect));
    region.SetMode(kLabelBoundary, kModeThresholdNegative);
    region.SetMode(kLabelGrownObject, kModeHatchGreenBlue);
    region.SetMode(kLabelGrownBackground, kModeHatchRedBlue);
}

void SplitUnknownComponents(TMarkedRegion& region, ISeparationHost& host)
{
    TQpRect changed;
    if (!region.FillFirst(kLabelUnknown, kLabelBackground, &changed))
        return;
    host.Repaint(changed);
    if (!region.FillFirst(kLabelUnknown, kLabelObject, &changed))
        return;
    host.Repaint(changed);
    while (region.FillFirst(kLabelUnknown, kLabelBackground, &changed))
        host.Repaint(changed);
}

TSeparationResult RunSeparation(TMarkedRegion& region, TSeparationRegime regime, ISeparationHost& host)
{
    TSeparationResult result;
    TLabelSet free;
    for (const std::uint8_t label :
         {kLabelUnmarked, kLabelBoundary, kLabelGrownObject, kLabelGrownBackground})
        free.set(label);
    region.SetFreeLabels(free);
    result.Undecided = region.BoundsOfSet(free);

    if (regime == TSeparationRegime::Edge)
        SplitUnknownComponents(region, host);
    host.Repaint(region.Bounds());
    host.ProcessMessages();

    if (!region.HasLabel(kLabelObject) || !region.HasLabel(kLabelBackground)) {
        result.Outcome = TSeparationOutcome::MissingMarks;
    } else {
        bool aborted = false;
        host.SegmentationStarting();
        {
            auto growCut = std::make_unique<TGrowCut>();
            TMessagePacer pacer(host);
            if (!growCut->Prepare(region, region.Bounds(), [&pacer] { pacer.Poll(); })) {
                if (regime == TSeparationRegime::Edge)
                    RelabelMarksToUnknown(region, host);
                result.Outcome = TSeparationOutcome::OutOfMemory;
                return result;
            }
            // Only the points changed since the last repaint are handed over, never the whole image.
            TChangedTiles shown(region.Width(), region.Height());
            auto timerStart = std::chrono::steady_clock::now();
            int slicesSinceRepaint = 0;
            std::size_t active = 0;
            do {
                active = growCut->Run(kStepsPerSlice);
                for (std::size_t i = 0; i < active; ++i) {
                    if (!growCut->Commit(i))
                        continue;
                    const TGrowCut::TEntry entry = growCut->Entry(i);
                    region.SetLabel(entry.X, entry.Y, static_cast<std::uint8_t>(entry.Label + 6));
                    shown.Mark(entry.X, entry.Y);
                }
                ++result.Slices;
                ++slicesSinceRepaint;
                const auto now = std::chrono::steady_clock::now();
                if (now - timerStart >= kRepaintInterval || slicesSinceRepaint >= kSlicesPerRepaint) {
                    shown.Flush(host);
                    pacer.Processed(now);
                    timerStart = std::chrono::steady_clock::now();
                    slicesSinceRepaint = 0;
                } else {
                    pacer.Poll();
                }
                aborted = host.AbortRequested();
            } while (active != 0 && !aborted);
            shown.Flush(host);

            if (!aborted) {
                for (int x = 0; x < region.Width(); ++x) {
                    TQpRect column = region.EmptyColumnRect(x);
                    for (int y = 0; y < region.Height(); ++y) {
                        const std::uint8_t label = region.Label(x, y);
                        if (label != kLabelGrownObject && label != kLabelGrownBackground)
                            continue;
                        region.SetLabel(x, y, growCut->IsBoundary(x, y) ? kLabelBoundary : kLabelUnmarked);
                        column = UnionRect(column, {x, y, x + 1, y + 1});
                    }
                    host.Repaint(column);
                    host.ProcessMessages();
                }
            }
        } // freeing the automaton stores the result
        if (aborted) {
            // The split components lie partly outside the undecided area that an undo covers.
            if (regime == TSeparationRegime::Edge)
                RelabelMarksToUnknown(region, host);
            result.Outcome = TSeparationOutcome::Aborted;
            return result;
        }
        result.Outcome = TSeparationOutcome::Separated;
    }

    if (regime == TSeparationRegime::Edge)
        RelabelMarksToUnknown(region, host);
    host.ProcessMessages();
    return result;
}

bool ShowSeparationResult(TMarkedRegion& region, TBackgroundEffect effect, ISeparationHost& host)
{
    const bool marksAreResult = region.HasLabel(kLabelObject) && region.HasLabel(kLabelBackground) &&
                                !region.HasLabel(kLabelUnmarked);
    if (marksAreResult)
        for (int x = 0; x < region.Width(); ++x)
            for (int y = 0; y < region.Height(); ++y)
                region.SetStoredLabel(x, y, region.Label(x, y));
    if (!marksAreResult && !region.HasLabel(kLabelBoundary))
        return false;
    region.SetMode(kLabelResultBackground, static_cast<std::uint8_t>(effect));
    ForEachColumn(region, host, [&region](int x) { return region.ShowStoredColumn(x, kResultOffset); });
    return true;
}
