#pragma once
// The cut-out tool. Brush strokes and flood fills write labels (object, background, object or background,
// none) into a marked region drawn straight into the document's current pixels; Separate lets GrowCut
// decide every unmarked point; the Effect regime then shows the object over a replaced background. The
// tool owns the region and its option frame's state; the tool panel owns the frame, each view its control.

#include "cutout/BackgroundSettings.h"
#include "cutout/MarkedRegion.h"
#include "cutout/SeparationRun.h"
#include "tools/BrushTool.h"
#include "tools/ToolSetting.h"
#include "tools/separation/SeparationCommandState.h"

#include <cstdint>
#include <memory>
#include <vector>

class TQpSeparationFrame;
struct TQpGuid;

class TQpSeparationTool : public TQpBrushTool
{
public:
    enum TRegime : int
    {
        kEdge = 0,
        kFull = 1,
        kEffect = 2
    };
    // The label the brush and the fill write.
    enum TArea : int
    {
        kCleaning = 0,
        kObject = 1,
        kBackground = 2,
        kUnknown = 3
    };

    TQpSeparationTool();
    ~TQpSeparationTool() override;

    TQpSeparationFrame* Frame() const { return m_frame; }
    TMarkedRegion& Region() { return m_region; }
    const TMarkedRegion& Region() const { return m_region; }

    int BackgroundEffect() const { return m_backgroundEffect.Value(); }
    std::uint32_t BackgroundColor() const { return m_backgroundColor.ColorValue(); }
    int BlurLevel() const { return m_blurLevel.Value(); }
    int ShadowLevel() const { return m_shadowLevel.Value(); }
    std::uint32_t MonochromeColor() const { return m_monochromeColor.ColorValue(); }
    TBackgroundSettings Background() const;
    int Area() const { return m_area; }
    int Regime() const { return m_regime; }
    bool FillMode() const { return m_fillMode; }
    bool Separating() const { return m_separating; }
    int PreviousRegime() const { return m_previousRegime; }
    int MarkingRegime() const { return m_markingRegime; }
    void SetPreviousRegime(int value) { m_previousRegime = value; }
    const TSeparationRecord& BeforeRecord() const { return m_before; }
    const TSeparationRecord& AfterRecord() const { return m_after; }

    // Setters clamp to the ranges of their controls, since script words and settings reach them unchecked.
    void SetArea(int area);
    void SetRegime(int regime);
    void SetFillMode(bool value);
    void SetBackgroundEffect(int effect) { m_backgroundEffect.Set(effect); }
    void SetBackgroundColor(std::uint32_t color) { m_backgroundColor.Set(color); }
    void SetBlurLevel(int level) { m_blurLevel.Set(level); }
    void SetShadowLevel(int level) { m_shadowLevel.Set(level); }
    void SetMonochromeColor(std::uint32_t color) { m_monochromeColor.Set(color); }

    // Actions.
    void Separate();
    void Clear();
    void FillAt(TQpPoint point);
    void SwitchToEdge();
    void SwitchToFull();
    void SwitchToEffect();
    void ApplyEffect();
    void Swap();
    void Done();
    void Store();

    // The frame's handlers.
    void AreaTXButtonClick(int tag);
    void RegimeEdgeTBXButtonClick();
    void RegimeFullTBXButtonClick();
    void RegimeEffectTBXButtonClick();
    void SeparateTBXButtonClick();
    void ClearTBXButtonClick();
    void SwapTBXButtonClick();
    void StoreTBXButtonClick();
    void DoneTBXButtonClick();
    void FillTBXButtonClick();
    void AbortTBXButtonClick();
    void BackgroundEffectTntRadioGroupClick(int index) { m_backgroundEffect.Set(index); }

    // The region's share of the steps, also run by undo and redo: no recording, no edit session.
    void ConvertToEdge(ISeparationHost& host);
    void ConvertToFull(ISeparationHost& host);
    bool ShowResult(TBackgroundEffect effect, ISeparationHost& host);
    // The record's effect and parameter into the region, and the background redrawn with them.
    void ApplyEffectRecord(const TSeparationRecord& record, ISeparationHost& host);
    void ApplyEffectParameter(const TSeparationRecord& record);
    void SwapResult(ISeparationHost& host);
    void ClearLabels(ISeparationHost& host);
    // Attaches the region to the document's current pixels, whose storage geometry operations replace.
    bool AttachRegion(TQpGraphicsDocument* document);

    virtual void CreateControls();
    virtual const TQpGuid& SettingsGuid() const;

    void Localize() override;
    void LoadSettings(TQpSDFReader& reader) override;
    void SaveSettings(TQpSDFWriter& writer) override;
    void UpdateControls() override;
    void DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                     TQpDemoScriptUserAction* action, const TQpDemoParams& params) override;
    void DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point) override;
    void CommitEdit() override;
    void BeginDocumentEdit(TQpGraphicsView* view) override;
    void DocumentOpened(TQpGraphicsDocument* document) override;
    void SetToolVisible(bool value) override;
    void ImageChanged(TQpGraphicsDocument* document, TQpGraphicsTool* tool, const TQpRect& rect) override;
    void Activated() override;
    bool BeginStroke(TQpDrawToolControl* control, Qt::MouseButton button,
                     Qt::KeyboardModifiers shift) override;
    void ApplyRect(const TQpRect& rect) override;
    void EndStroke() override;
    void DocumentClosed(TQpGraphicsDocument* document) override;
    void DocumentSaving(TQpGraphicsDocument* document) override;
    void DocumentSaved(TQpGraphicsDocument* document) override;
    bool PhotoColor(TQpGraphicsDocument* document, TQpPoint point, int& red, int& green,
                    int& blue) const override;

private:
    void FitPanel();
    class THost;

    // The tool's own words with their frame targets.
    TQpDemoWords Words();
    // The fill and brush cursors of the four areas.
    static void InstallCursors();
    TSeparationRecord EffectRecord(TSeparationRecord::TKind kind) const;
    void RestoreBackground(const TBackgroundSettings& settings);
    // The status bar's guidance for the next step while the tool is active.
    void ShowStepHint(bool active);
    // A change of an effect's parameter is an undo step when that effect is shown.
    void WatchEffectSetting(TQpToolSetting& setting, TBackgroundEffect effect);
    // Begins the edit session on the active view with the region attached; false without a document.
    bool BeginAction();
    void RecordCommand(const char* suffix);
    void RecordValue(const char* suffix, long long value);
    bool AbortRequested() const;

    TQpSeparationFrame* m_frame = nullptr;
    // Without a tool panel the tool keeps its frame itself.
    TQpToolSetting m_backgroundEffect;
    TQpToolSetting m_backgroundColor;
    TQpToolSetting m_blurLevel;
    TQpToolSetting m_shadowLevel;
    TQpToolSetting m_monochromeColor;
    int m_area = kObject;
    int m_regime = kEdge;
    bool m_fillMode = false;
    TMarkedRegion m_region;
    // The shown marks while a save writes the photo beneath them.
    TQpRect m_hiddenRect{};
    std::vector<std::uint8_t> m_hiddenPixels;
    int m_previousRegime = kEdge;
    // The regime that marks, Edge or Full, that the tool returns to after Effect.
    int m_markingRegime = kEdge;
    bool m_showingHint = false;
    bool m_separating = false;
    TSeparationRecord m_before;
    TSeparationRecord m_after;
};

// The one separation tool; null before it is created and after it is destroyed.
extern TQpSeparationTool* QpSeparationTool;
