#pragma once
// The undo step of the separation tool. It keeps what a cut-out step needs to go back and forth: the
// affected rectangle's pixels, points and label counts before and after, the regimes, and for a
// separation the stored labels it wrote outside the rectangle. Steps that only change an effect or swap
// object and background keep no pixels: they are undone by applying the old effect or swapping again.

#include "cutout/BackgroundSettings.h"
#include "cutout/MarkedRegion.h"
#include "documents/QpGraphicsCommandState.h"

#include <cstdint>
#include <vector>

class TQpSeparationTool;

// What the next undo step must undo and redo; kinds as the tool records them.
struct TSeparationRecord
{
    enum TKind : std::uint8_t
    {
        kNothing = 0,
        kStroke = 1,
        kDone = 2,
        kToEdge = 3,
        kToEffect = 4,
        kClear = 5,
        kFill = 6,
        kToFull = 7,
        kEffectParameter = 8,
        kSwap = 9,
        kSeparate = 10
    };

    TKind Kind = kNothing;
    std::uint8_t MarkLabel = 0; // kFill
    int X = 0;                  // kFill
    int Y = 0;
    TBackgroundSettings Background; // kToEffect, kEffectParameter
};

// The stored labels of one band of the image, run-length coded in the region's column order.
struct TStoredLabelBand
{
    struct TRun
    {
        std::uint32_t Count = 0;
        std::uint8_t Value = 0;
    };
    TQpRect Rect;
    std::vector<TRun> Runs;

    void Read(const TMarkedRegion& region);
    void Write(TMarkedRegion& region) const;
};

class TQpSeparationCommandState : public TQpCustomGraphicsCommandState
{
public:
    // Made right after the step, inside the tool's edit session; `rect` is the session's dirty rectangle.
    TQpSeparationCommandState(TQpSeparationTool& tool, const TQpRect& rect, TQpGraphicsDocument& document);

    void Undo() override;
    void Redo() override;

    const TSeparationRecord& Before() const { return m_before; }
    const TSeparationRecord& After() const { return m_after; }
    const std::vector<TStoredLabelBand>& Bands() const { return m_bands; }

private:
    struct TSnapshot
    {
        TQpPixelBuffer Pixels;
        TLabelCounts Counts{};
        TPointGrid Points;
        int Regime = 0;
    };

    void RestoreSnapshot(const TSnapshot& snapshot);
    // What undo and redo share once the region is in its new state.
    void Finish();
    bool ToolWasActive() const;

    TQpSeparationTool& m_tool;
    TSeparationRecord m_before;
    TSeparationRecord m_after;
    TSnapshot m_beforeSnapshot;
    TSnapshot m_afterSnapshot;
    std::vector<TStoredLabelBand> m_bands;
};
