#pragma once
// The separation sequence, shared by the separation tool and the command line: the component split of
// unknown marks, GrowCut in short slices whose conquests are committed and shown as they grow, the
// boundary pass, and the stored result. The host repaints, keeps the user interface alive and says when
// to abort; the sequence itself knows no window.

#include "imaging/QpPixels.h"

#include <cstddef>
#include <cstdint>
#include <functional>

class TMarkedRegion;

// Labels of the separation tool's marked region.
constexpr std::uint8_t kLabelUnmarked = 0;
constexpr std::uint8_t kLabelObject = 1;
constexpr std::uint8_t kLabelBackground = 2;
constexpr std::uint8_t kLabelUnknown = 3;
constexpr std::uint8_t kLabelResultObject = 4;
constexpr std::uint8_t kLabelResultBackground = 5;
constexpr std::uint8_t kLabelBoundary = 6;
constexpr std::uint8_t kLabelGrownObject = 7;
constexpr std::uint8_t kLabelGrownBackground = 8;
// Shown labels are marks plus this offset when the result is on screen.
constexpr std::uint8_t kResultOffset = 3;

enum class TSeparationRegime
{
    Edge,
    Full
};

enum class TBackgroundEffect
{
    Color,
    Shadow,
    Blur,
    Monochrome
};

enum class TSeparationOutcome
{
    Separated,
    Aborted,
    // Object and background marks are not both present; GrowCut did not run.
    MissingMarks,
    OutOfMemory
};

class ISeparationHost
{
public:
    virtual ~ISeparationHost() = default;
    // The points inside `rect` changed and should be shown; `rect` may be empty.
    virtual void Repaint(const TQpRect& rect) = 0;
    virtual void ProcessMessages() = 0;
    virtual bool AbortRequested() = 0;
    // GrowCut is about to run: from here until RunSeparation returns, an abort is what the run reacts to.
    virtual void SegmentationStarting() {}
};

struct TSeparationResult
{
    TSeparationOutcome Outcome = TSeparationOutcome::MissingMarks;
    // The points that were undecided when the run began: what the undo step must cover.
    TQpRect Undecided;
    // Number of GrowCut slices run.
    std::size_t Slices = 0;
};

// Walks the columns, showing each one's changed rectangle and keeping the window alive every 16 columns
// and after the last.
void ForEachColumn(TMarkedRegion& region, ISeparationHost& host, const std::function<TQpRect(int)>& column);

// Gives every label of the tool the display mode it is shown with; label 5 gets the effect's mode.
void ApplySeparationDisplayModes(TMarkedRegion& region, TBackgroundEffect effect);

// Each unknown component becomes a mark: the first found (x outer, y inner) background, the second object,
// all further ones background.
void SplitUnknownComponents(TMarkedRegion& region, ISeparationHost& host);

// Separates with the free labels {0, 6, 7, 8}. Afterwards every point's stored label holds the result
// (1 object, 2 background, 0 unreached), the image shows the marks and the boundary between object and
// background in label 6. In the edge regime the split components return to unknown, after an abort too,
// so that no mark outside the undecided area is left changed.
TSeparationResult RunSeparation(TMarkedRegion& region, TSeparationRegime regime, ISeparationHost& host);

// Shows the stored result with the effect on the background: every point shows 3 + its stored label and
// keeps its shown label as the stored one. When object and background marks cover the whole field, the
// marks themselves are the result. False, changing nothing, when there is no result to show.
bool ShowSeparationResult(TMarkedRegion& region, TBackgroundEffect effect, ISeparationHost& host);
