#include "tools/separation/SeparationCommandState.h"

#include "cutout/SeparationRun.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "tools/separation/SeparationTool.h"

namespace {

// Undo and redo repaint their whole rectangle at the end and never process messages on the way.
class TQuietHost : public ISeparationHost
{
public:
    void Repaint(const TQpRect&) override {}
    void ProcessMessages() override {}
    bool AbortRequested() override { return false; }
};

bool UndoneBySnapshot(TSeparationRecord::TKind kind)
{
    return kind != TSeparationRecord::kEffectParameter && kind != TSeparationRecord::kSwap;
}

bool RedoneBySnapshot(TSeparationRecord::TKind kind)
{
    return kind == TSeparationRecord::kNothing || kind == TSeparationRecord::kStroke ||
           kind == TSeparationRecord::kSeparate;
}

void CopyOut(TQpPixelBuffer& buffer, const TQpRect& rect, const TQpPixels& source)
{
    if (!rect.IsEmpty() && buffer.SetFormatAndBounds(source.Format, rect))
        buffer.CopyFrom(source);
}

} // namespace

void TStoredLabelBand::Read(const TMarkedRegion& region)
{
    Runs.clear();
    if (!Contains(region.Bounds(), Rect))
        return;
    for (int x = Rect.Left; x < Rect.Right; ++x)
        for (int y = Rect.Top; y < Rect.Bottom; ++y) {
            const std::uint8_t value = region.StoredLabel(x, y);
            if (!Runs.empty() && Runs.back().Value == value)
                ++Runs.back().Count;
            else
                Runs.push_back({1, value});
        }
}

void TStoredLabelBand::Write(TMarkedRegion& region) const
{
    if (!Contains(region.Bounds(), Rect))
        return;
    auto run = Runs.begin();
    std::uint32_t left = run != Runs.end() ? run->Count : 0;
    for (int x = Rect.Left; x < Rect.Right; ++x)
        for (int y = Rect.Top; y < Rect.Bottom; ++y) {
            while (left == 0 && run != Runs.end() && ++run != Runs.end())
                left = run->Count;
            if (run == Runs.end())
                return;
            region.SetStoredLabel(x, y, run->Value);
            --left;
        }
}

TQpSeparationCommandState::TQpSeparationCommandState(TQpSeparationTool& tool, const TQpRect& rect,
                                                     TQpGraphicsDocument& document)
    : TQpCustomGraphicsCommandState(&tool, IntersectRect(tool.Region().Bounds(), rect), document),
      m_tool(tool), m_before(tool.BeforeRecord()), m_after(tool.AfterRecord())
{
    TMarkedRegion& region = tool.Region();
    const TQpRect& area = Rect();
    TQpPixels* current = document.CurrentPixels();
    if (UndoneBySnapshot(m_before.Kind)) {
        CopyOut(m_beforeSnapshot.Pixels, area, document.UndoBase());
        region.CopyBackup(m_beforeSnapshot.Counts, area, m_beforeSnapshot.Points);
        m_beforeSnapshot.Regime = tool.PreviousRegime();
    }
    if (RedoneBySnapshot(m_after.Kind)) {
        if (current)
            CopyOut(m_afterSnapshot.Pixels, area, *current);
        region.CopyCurrent(m_afterSnapshot.Counts, area, m_afterSnapshot.Points);
        m_afterSnapshot.Regime = tool.Regime();
    }
    if (m_after.Kind == TSeparationRecord::kSeparate) {
        // GrowCut wrote a stored label into every point; outside the rectangle only these bands keep them,
        // exactly, since a band can hold object and background alike.
        const int width = region.Width();
        const int height = region.Height();
        const TQpRect bands[] = {{0, 0, area.Left, area.Bottom},
                                 {area.Left, 0, width, area.Top},
                                 {area.Right, area.Top, width, height},
                                 {0, area.Bottom, area.Right, height}};
        for (const TQpRect& band : bands) {
            if (band.IsEmpty())
                continue;
            TStoredLabelBand record;
            record.Rect = band;
            record.Read(region);
            m_bands.push_back(std::move(record));
        }
    }
    document.SyncUndoBase(area);
    tool.SetPreviousRegime(tool.Regime());
    region.Backup(m_after.Kind == TSeparationRecord::kSeparate ? region.Bounds() : area);
    document.SetUnmodified(false);
}

bool TQpSeparationCommandState::ToolWasActive() const
{
    if (!QpGraphicsEditor)
        return false;
    // The editor puts the active tool aside while it undoes; it is then the previous tool.
    TQpGraphicsTool* active = QpGraphicsEditor->ActiveTool();
    return active == &m_tool || (!active && QpGraphicsEditor->PreviousTool() == &m_tool);
}

void TQpSeparationCommandState::RestoreSnapshot(const TSnapshot& snapshot)
{
    if (TQpPixels* current = Document().CurrentPixels(); current && snapshot.Pixels.Data)
        current->CopyFrom(snapshot.Pixels);
    m_tool.SetRegime(snapshot.Regime);
    m_tool.Region().Restore(snapshot.Counts, Rect(), snapshot.Points);
}

void TQpSeparationCommandState::Undo()
{
    const bool wasActive = ToolWasActive();
    m_tool.AttachRegion(&Document());
    TQuietHost host;
    switch (m_before.Kind) {
    case TSeparationRecord::kEffectParameter:
        m_tool.ApplyEffectRecord(m_before, host);
        break;
    case TSeparationRecord::kSwap:
        m_tool.SwapResult(host);
        break;
    default:
        RestoreSnapshot(m_beforeSnapshot);
        break;
    }
    Finish();
    TQpCustomGraphicsCommandState::Undo();
    Document().SetUnmodified(false);
    if (QpGraphicsEditor)
        QpGraphicsEditor->RepeatFlag = !m_tool.Region().IsEmpty() && !wasActive;
}

void TQpSeparationCommandState::Redo()
{
    const bool wasActive = ToolWasActive();
    m_tool.AttachRegion(&Document());
    TMarkedRegion& region = m_tool.Region();
    TQuietHost host;
    switch (m_after.Kind) {
    case TSeparationRecord::kNothing:
    case TSeparationRecord::kStroke:
        RestoreSnapshot(m_afterSnapshot);
        break;
    case TSeparationRecord::kSeparate:
        RestoreSnapshot(m_afterSnapshot);
        for (const TStoredLabelBand& band : m_bands)
            band.Write(region);
        break;
    case TSeparationRecord::kDone:
        region.ClearMarks();
        m_tool.SetRegime(m_tool.MarkingRegime());
        break;
    case TSeparationRecord::kToEdge:
        // The regime goes with its marks, as for the switch to Effect.
        m_tool.SetRegime(TQpSeparationTool::kEdge);
        m_tool.ConvertToEdge(host);
        break;
    case TSeparationRecord::kToEffect:
        m_tool.SetRegime(TQpSeparationTool::kEffect);
        m_tool.ApplyEffectParameter(m_after);
        m_tool.ShowResult(m_after.Background.Effect, host);
        break;
    case TSeparationRecord::kClear:
        m_tool.ClearLabels(host);
        break;
    case TSeparationRecord::kFill:
        if (m_after.X >= 0 && m_after.Y >= 0 && m_after.X < region.Width() && m_after.Y < region.Height())
            region.FloodFill(m_after.X, m_after.Y, m_after.MarkLabel);
        break;
    case TSeparationRecord::kToFull:
        m_tool.SetRegime(TQpSeparationTool::kFull);
        m_tool.ConvertToFull(host);
        break;
    case TSeparationRecord::kEffectParameter:
        m_tool.ApplyEffectRecord(m_after, host);
        break;
    case TSeparationRecord::kSwap:
        m_tool.SwapResult(host);
        break;
    }
    Finish();
    TQpCustomGraphicsCommandState::Redo();
    Document().SetUnmodified(false);
    if (QpGraphicsEditor)
        QpGraphicsEditor->RepeatFlag = !region.IsEmpty() && !wasActive;
}

void TQpSeparationCommandState::Finish()
{
    TQpGraphicsDocument& document = Document();
    document.InvalidateImageRect(Rect());
    // Undo and redo change pixels only inside the rectangle, as the step itself did: a separation
    // shows its marks outside the undecided area again as they were, and a change of size since the
    // step left the base equal to the image (or of other bounds, when it is copied whole).
    document.SyncUndoBase(Rect());
    m_tool.SetPreviousRegime(m_tool.Regime());
    TMarkedRegion& region = m_tool.Region();
    // A separation's stored labels reach beyond its rectangle.
    region.Backup(m_after.Kind == TSeparationRecord::kSeparate ? region.Bounds() : Rect());
}
