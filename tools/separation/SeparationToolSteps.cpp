// The separation tool's steps: what each action does to the region, inside one edit session of the
// document, and the region's share of them that undo and redo run again.

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "tools/separation/SeparationFrame.h"
#include "tools/separation/SeparationStore.h"
#include "tools/separation/SeparationTool.h"

namespace {

bool ResultShown(const TMarkedRegion& region)
{
    return region.HasLabel(kLabelResultObject) || region.HasLabel(kLabelResultBackground);
}

} // namespace

// How the tool's long steps show their progress: the changed rectangle joins the dirty rectangle (and is
// repainted), pending messages are processed while the application is marked busy, and the Abort button
// (or a close of the window) stops a separation.
class TQpSeparationTool::THost : public ISeparationHost
{
public:
    explicit THost(TQpSeparationTool& tool) : m_tool(tool) {}

    void Repaint(const TQpRect& rect) override
    {
        if (!rect.IsEmpty())
            m_tool.AddDirtyRect(rect, false);
    }
    void ProcessMessages() override
    {
        if (QpApplication)
            QpApplication->ProcessMessages();
    }
    bool AbortRequested() override { return m_tool.AbortRequested(); }
    void SegmentationStarting() override
    {
        m_tool.m_separating = true;
        m_tool.UpdateControls();
    }

private:
    TQpSeparationTool& m_tool;
    TQpBusyScope m_busy;
};

// ---------------------------------------------------------------------------------------------------------
// The region's share of the steps

bool TQpSeparationTool::AttachRegion(TQpGraphicsDocument* document)
{
    TQpPixels* pixels = document ? document->CurrentPixels() : nullptr;
    if (!pixels)
        return false;
    return m_region.Attach(pixels) && m_region.Width() > 0 && m_region.Height() > 0;
}

void TQpSeparationTool::ConvertToEdge(ISeparationHost& host)
{
    if (ResultShown(m_region))
        ForEachColumn(m_region, host, [this](int x) { return m_region.ShowMarksColumn(x, kResultOffset); });
    if (m_region.HasLabel(kLabelObject) || m_region.HasLabel(kLabelBackground))
        ForEachColumn(m_region, host, [this](int x) {
            return m_region.RelabelColumnIf(x, kLabelBackground, kLabelObject, kLabelUnknown);
        });
}

void TQpSeparationTool::ConvertToFull(ISeparationHost& host)
{
    if (ResultShown(m_region))
        ForEachColumn(m_region, host, [this](int x) { return m_region.ShowMarksColumn(x, kResultOffset); });
    if (m_region.HasLabel(kLabelUnknown))
        SplitUnknownComponents(m_region, host);
}

bool TQpSeparationTool::ShowResult(TBackgroundEffect effect, ISeparationHost& host)
{
    return ShowSeparationResult(m_region, effect, host);
}

void TQpSeparationTool::ApplyEffectParameter(const TSeparationRecord& record)
{
    // The frame shows what the picture shows after an undo or redo.
    RestoreBackground(record.Background);
    ::ApplyEffectParameter(m_region, record.Background);
}

void TQpSeparationTool::ApplyEffectRecord(const TSeparationRecord& record, ISeparationHost& host)
{
    ApplyEffectParameter(record);
    m_region.SetMode(kLabelResultBackground, static_cast<std::uint8_t>(record.Background.Effect));
    ForEachColumn(m_region, host,
                  [this](int x) { return m_region.RefreshColumn(x, kLabelResultBackground); });
}

void TQpSeparationTool::SwapResult(ISeparationHost& host)
{
    ForEachColumn(m_region, host, [this](int x) {
        return m_region.SwapColumn(x, kLabelResultObject, kLabelResultBackground);
    });
}

void TQpSeparationTool::ClearLabels(ISeparationHost& host)
{
    ForEachColumn(m_region, host, [this](int x) { return m_region.RelabelColumn(x, kLabelUnmarked); });
}

// ---------------------------------------------------------------------------------------------------------
// Actions

bool TQpSeparationTool::BeginAction()
{
    TQpGraphicsView* view = QpGraphicsEditor ? QpGraphicsEditor->ActiveView() : nullptr;
    if (!view)
        return false;
    TQpGraphicsDocument& document = view->Document();
    // A step of this tool is still running and processing messages.
    if (document.EditSessionActive() && document.EditingTool() == this)
        return false;
    if (!AttachRegion(&document))
        return false;
    BeginDocumentEdit(view);
    return true;
}

bool TQpSeparationTool::AbortRequested() const
{
    return (m_frame && m_frame->AbortTBXButton->isChecked()) ||
           (QpApplication && QpApplication->AbortRequested());
}

void TQpSeparationTool::Separate()
{
    m_before = {};
    m_before.Kind = TSeparationRecord::kStroke;
    m_after = {};
    m_after.Kind = TSeparationRecord::kSeparate;
    if (!BeginAction())
        return;
    TQpGraphicsDocument* document = Document();
    TSeparationResult result;
    {
        THost host(*this);
        result = RunSeparation(m_region,
                               m_regime == kEdge ? TSeparationRegime::Edge : TSeparationRegime::Full, host);
        m_separating = false;
        if (result.Outcome == TSeparationOutcome::MissingMarks)
            framework::ShowMessageBox(
                MainForm,
                LocalizedString(2836,
                                QStringLiteral("Mark part of the object and part of the background first, "
                                               "then press Separate again.")),
                LocalizedString(2835, QStringLiteral("Warning")),
                framework::kMbOk | framework::kMbIconExclamation);
    }
    const bool aborted = result.Outcome == TSeparationOutcome::Aborted ||
                         result.Outcome == TSeparationOutcome::OutOfMemory || AbortRequested();
    AddDirtyRect(result.Undecided, true);
    EndDocumentEdit();
    if (aborted && document && QpGraphicsEditor && QpGraphicsEditor->CanUndo() &&
        QpGraphicsEditor->ActiveGraphicsDocument() == document) {
        QpGraphicsEditor->Undo();
        document->DiscardRedo();
        document->UpdateUnmodifiedFromHistory();
    }
    if (m_frame)
        m_frame->AbortTBXButton->setChecked(false);
    UpdateControls();
}

void TQpSeparationTool::Clear()
{
    m_before = {};
    m_before.Kind = TSeparationRecord::kStroke;
    m_after = {};
    m_after.Kind = TSeparationRecord::kClear;
    if (!BeginAction())
        return;
    {
        THost host(*this);
        ClearLabels(host);
    }
    EndDocumentEdit();
}

void TQpSeparationTool::FillAt(TQpPoint point)
{
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    if (!AttachRegion(document) || point.X < 0 || point.Y < 0 || point.X >= m_region.Width() ||
        point.Y >= m_region.Height())
        return;
    if (m_region.Label(point.X, point.Y) == m_area)
        return;
    m_before = {};
    m_before.Kind = TSeparationRecord::kStroke;
    m_after = {};
    m_after.Kind = TSeparationRecord::kFill;
    m_after.MarkLabel = static_cast<std::uint8_t>(m_area);
    m_after.X = point.X;
    m_after.Y = point.Y;
    if (!BeginAction())
        return;
    AddDirtyRect(m_region.FloodFill(point.X, point.Y, static_cast<std::uint8_t>(m_area)), false);
    EndDocumentEdit();
    // A field of one kind of mark is finished; an empty one starts over with the regime's marking label.
    if (m_region.IsAll(kLabelUnknown) || m_region.IsAll(kLabelObject) || m_region.IsAll(kLabelBackground))
        SetArea(kCleaning);
    else if (m_region.IsAll(kLabelUnmarked))
        SetArea(m_regime == kEdge ? kUnknown : kObject);
}

void TQpSeparationTool::SwitchToEdge()
{
    if (!ResultShown(m_region) && !m_region.HasLabel(kLabelObject) && !m_region.HasLabel(kLabelBackground))
        return;
    m_before = {};
    m_before.Kind = TSeparationRecord::kStroke;
    m_after = {};
    m_after.Kind = TSeparationRecord::kToEdge;
    if (!BeginAction())
        return;
    {
        THost host(*this);
        ConvertToEdge(host);
    }
    EndDocumentEdit();
}

void TQpSeparationTool::SwitchToFull()
{
    if (!ResultShown(m_region) && !m_region.HasLabel(kLabelUnknown))
        return;
    m_before = {};
    m_before.Kind = TSeparationRecord::kStroke;
    m_after = {};
    m_after.Kind = TSeparationRecord::kToFull;
    if (!BeginAction())
        return;
    {
        THost host(*this);
        ConvertToFull(host);
    }
    EndDocumentEdit();
}

void TQpSeparationTool::SwitchToEffect()
{
    const bool marksAreResult = m_region.HasLabel(kLabelObject) && m_region.HasLabel(kLabelBackground) &&
                                !m_region.HasLabel(kLabelUnmarked);
    if (!marksAreResult && !m_region.HasLabel(kLabelBoundary))
        return;
    m_before = {};
    m_before.Kind = TSeparationRecord::kStroke;
    m_after = EffectRecord(TSeparationRecord::kToEffect);
    if (!BeginAction())
        return;
    {
        THost host(*this);
        ShowResult(static_cast<TBackgroundEffect>(BackgroundEffect()), host);
    }
    EndDocumentEdit();
}

void TQpSeparationTool::ApplyEffect()
{
    if (!m_region.HasLabel(kLabelResultBackground))
        return;
    m_after = EffectRecord(TSeparationRecord::kEffectParameter);
    if (!BeginAction())
        return;
    {
        THost host(*this);
        m_region.SetMode(kLabelResultBackground, static_cast<std::uint8_t>(BackgroundEffect()));
        ForEachColumn(m_region, host,
                      [this](int x) { return m_region.RefreshColumn(x, kLabelResultBackground); });
    }
    EndDocumentEdit();
}

void TQpSeparationTool::Swap()
{
    if (!ResultShown(m_region))
        return;
    m_before = {};
    m_before.Kind = TSeparationRecord::kSwap;
    m_after = m_before;
    if (!BeginAction())
        return;
    {
        THost host(*this);
        SwapResult(host);
    }
    EndDocumentEdit();
}

void TQpSeparationTool::Done()
{
    if (m_region.IsEmpty())
        return;
    m_before = {};
    m_before.Kind = TSeparationRecord::kStroke;
    m_after = {};
    m_after.Kind = TSeparationRecord::kDone;
    if (!BeginAction())
        return;
    // The picture as shown, effect included, becomes the image; the next cut starts with marking.
    m_region.ClearMarks();
    AddDirtyRect(m_region.Bounds(), false);
    SetRegime(m_markingRegime);
    EndDocumentEdit();
    if (MainForm)
        MainForm->ShowStatusMessage(LocalizedString(
            4006, QStringLiteral("Done: the new background is part of the picture; save to keep it")));
}

void TQpSeparationTool::Store()
{
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    if (!AttachRegion(document) || !m_region.HasLabel(kLabelResultObject))
        return;
    QString item;
    if (StoreSeparatedObject(*this, m_region, &item) && MainForm)
        MainForm->ShowStatusMessage(LocalizedString(4005, QStringLiteral("Object stored in the collection")) +
                                    QStringLiteral(": ") + item);
}

void TQpSeparationTool::ShowStepHint(bool active)
{
    if (!MainForm || (!active && !m_showingHint))
        return;
    m_showingHint = active;
    QString hint;
    if (!active) {
    } else if (m_regime == kEffect) {
        if (ResultShown(m_region))
            hint = LocalizedString(
                4004, QStringLiteral("Choose the background, then Store the object or press Done"));
    } else if (ResultShown(m_region) || m_region.HasLabel(kLabelBoundary)) {
        // Separated: the decided boundary shows until an effect is chosen.
        hint = LocalizedString(4008, QStringLiteral("Choose Effect to see the cut-out"));
    } else if ((m_region.HasLabel(kLabelObject) && m_region.HasLabel(kLabelBackground)) ||
               (m_regime == kEdge && m_region.HasLabel(kLabelUnknown))) {
        hint = LocalizedString(4003, QStringLiteral("Press Separate to cut the object out"));
    } else if (m_regime == kEdge) {
        hint = LocalizedString(4002,
                               QStringLiteral("Paint a band over the object's outline, then press Separate"));
    } else {
        hint =
            LocalizedString(4001, QStringLiteral("Mark the object and the background, then press Separate"));
    }
    MainForm->SetHint(hint);
}
