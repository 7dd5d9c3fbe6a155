#include "cutout/SeparationRun.h"

#include "cutout/GrowCut.h"
#include "cutout/MarkedRegion.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

constexpr int kStepsPerSlice = 3;
constexpr int kSlicesPerRepaint = 8;
constexpr auto kRepaintInterval = std::chrono::milliseconds(100);

void Unite(TQpRect& into, const TQpRect& rect)
{
    if (rect.IsEmpty())
        return;
    if (into.IsEmpty()) {
        into = rect;
        return;
    }
    into.Left = std::min(into.Left, rect.Left);
    into.Top = std::min(into.Top, rect.Top);
    into.Right = std::max(into.Right, rect.Right);
    into.Bottom = std::max(into.Bottom, rect.Bottom);
}

void RelabelMarksToUnknown(TMarkedRegion& region, ISeparationHost& host)
{
    for (int x = 0; x < region.Width(); ++x) {
        host.Repaint(region.RelabelColumnIf(x, kLabelBackground, kLabelObject, kLabelUnknown));
        if (x % 16 == 0 || x == region.Width() - 1)
            host.ProcessMessages();
    }
}

} // namespace

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
            if (!growCut->Prepare(region, region.Bounds())) {
                if (regime == TSeparationRegime::Edge)
                    RelabelMarksToUnknown(region, host);
                result.Outcome = TSeparationOutcome::OutOfMemory;
                return result;
            }
            // Only the points changed since the last repaint are handed over, never the whole image.
            TQpRect shown = region.EmptyFieldRect();
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
                    shown.Left = std::min(shown.Left, entry.X);
                    shown.Top = std::min(shown.Top, entry.Y);
                    shown.Right = std::max(shown.Right, entry.X + 1);
                    shown.Bottom = std::max(shown.Bottom, entry.Y + 1);
                }
                ++result.Slices;
                ++slicesSinceRepaint;
                const auto now = std::chrono::steady_clock::now();
                if (now - timerStart >= kRepaintInterval || slicesSinceRepaint >= kSlicesPerRepaint) {
                    if (!shown.IsEmpty())
                        host.Repaint(shown);
                    shown = region.EmptyFieldRect();
                    host.ProcessMessages();
                    timerStart = std::chrono::steady_clock::now();
                    slicesSinceRepaint = 0;
                }
                aborted = host.AbortRequested();
            } while (active != 0 && !aborted);
            if (!shown.IsEmpty())
                host.Repaint(shown);

            if (!aborted) {
                for (int x = 0; x < region.Width(); ++x) {
                    TQpRect column = region.EmptyColumnRect(x);
                    for (int y = 0; y < region.Height(); ++y) {
                        const std::uint8_t label = region.Label(x, y);
                        if (label != kLabelGrownObject && label != kLabelGrownBackground)
                            continue;
                        region.SetLabel(x, y, growCut->IsBoundary(x, y) ? kLabelBoundary : kLabelUnmarked);
                        Unite(column, {x, y, x + 1, y + 1});
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
    for (int x = 0; x < region.Width(); ++x) {
        host.Repaint(region.ShowStoredColumn(x, kResultOffset));
        if (x % 16 == 0 || x == region.Width() - 1)
            host.ProcessMessages();
    }
    return true;
}
