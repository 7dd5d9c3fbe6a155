#include "tools/separation/SeparationTool.h"

#include "core/QpGuid.h"
#include "core/QpSDF.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "framework/FlowToolBar.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"
#include "framework/MessageBox.h"
#include "tools/separation/SeparationFrame.h"
#include "tools/separation/SeparationStore.h"

#include <QAction>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <cmath>
#include <functional>

TQpSeparationTool* QpSeparationTool = nullptr;

namespace {

constexpr TQpGuid kSettingsGuid = *TQpGuid::Parse("{09DBB784-BB3E-49EE-A9FC-F31F762510F3}");
constexpr int kPanelWidth = 272;
constexpr int kDefaultSize = 25;
constexpr int kFillCursors = 5;
constexpr int kBrushCursors = 9;
constexpr std::uint32_t kColorMask = 0xFFFFFF;

enum TSettingsValue : std::uint32_t
{
    kSizeValue = 1,
    kEffectValue = 2,
    kBackgroundColorValue = 3,
    kBlurLevelValue = 4,
    kShadowLevelValue = 5,
    kMonochromeColorValue = 6,
    kAreaValue = 7,
    kRegimeValue = 8
};

bool ResultShown(const TMarkedRegion& region)
{
    return region.HasLabel(kLabelResultObject) || region.HasLabel(kLabelResultBackground);
}

// Script numbers may be anything; the setters clamp, but the conversion must not overflow first.
int IntegerArgument(const TQpDemoParams& params, int fallback)
{
    if (params.empty() || !params[0].Numeric || !std::isfinite(params[0].Number))
        return fallback;
    return static_cast<int>(std::clamp(params[0].Number, -1.0e9, 1.0e9));
}

std::uint32_t ColorArgument(const TQpDemoParams& params, std::uint32_t fallback)
{
    if (params.empty())
        return fallback;
    if (params[0].Numeric && std::isfinite(params[0].Number))
        return static_cast<std::uint32_t>(std::clamp(params[0].Number, 0.0, 4294967295.0)) & kColorMask;
    QString text = params[0].Text.trimmed();
    int base = 10;
    if (text.startsWith(QLatin1Char('$'))) {
        text = text.mid(1);
        base = 16;
    } else if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        text = text.mid(2);
        base = 16;
    }
    bool ok = false;
    const std::uint32_t value = text.toUInt(&ok, base);
    return ok ? value & kColorMask : fallback;
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

TQpSeparationTool::TQpSeparationTool()
{
    if (!QpSeparationTool)
        QpSeparationTool = this;
    CreateControls();
    SetSizeRange(1, 200);
    if (m_frame)
        BindSizeTrackBar(m_frame->SizeTrackBar);
    SetDrawMode(kContinuous);
    SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
        return std::make_unique<TQpSeparationToolControl>(tool, view);
    });
    if (QpToolPanelModule && QpToolPanelModule->PanelWidth() < kPanelWidth)
        QpToolPanelModule->SetPanelWidth(kPanelWidth);
    ApplySeparationDisplayModes(m_region, static_cast<TBackgroundEffect>(m_backgroundEffect));
    SetSize(kDefaultSize);
    m_regime = kEdge;
    m_previousRegime = m_regime;
    m_area = kObject;
    if (m_frame) {
        m_frame->AreaButton(m_area)->setChecked(true);
        m_frame->SetFillImage(m_area);
        m_frame->RegimeEdgeTBXButton->setChecked(true);
    }
    m_region.SetFillColor(m_backgroundColor);
    m_region.SetBlurLevel(m_blurLevel);
    m_region.SetShadowLevel(m_shadowLevel);
    m_region.SetTintColor(m_monochromeColor);
    m_after = {};
}

TQpSeparationTool::~TQpSeparationTool()
{
    if (m_frame)
        m_frame->ReleaseTool();
    if (QpSeparationTool == this)
        QpSeparationTool = nullptr;
}

void TQpSeparationTool::CreateControls()
{
    auto frame = std::make_unique<TQpSeparationFrame>(*this);
    m_frame = frame.get();
    const bool panel = MainForm && QpToolPanelModule && QpToolPanelModule->Toolbar;
    CreateToolButton(QStringLiteral("Separation"), panel ? std::move(frame) : nullptr);
    if (!panel)
        m_ownFrame = std::move(frame);
    if (OptionFrame) {
        QFont title = m_frame->TitleLabel->font();
        title.setBold(true);
        m_frame->TitleLabel->setFont(title);
    }
}

const TQpGuid& TQpSeparationTool::SettingsGuid() const
{
    return kSettingsGuid;
}

// ---------------------------------------------------------------------------------------------------------
// Setters

void TQpSeparationTool::SetArea(int area)
{
    area = std::clamp(area, 0, 3);
    if (area == m_area)
        return;
    m_area = area;
    if (m_frame) {
        if (QToolButton* button = m_frame->AreaButton(area))
            button->setChecked(true);
        m_frame->SetFillImage(area);
    }
}

void TQpSeparationTool::SetRegime(int regime)
{
    m_regime = std::clamp(regime, 0, 2);
    if (!m_frame)
        return;
    QToolButton* buttons[] = {m_frame->RegimeEdgeTBXButton, m_frame->RegimeFullTBXButton,
                              m_frame->RegimeEffectTBXButton};
    buttons[m_regime]->setChecked(true);
}

void TQpSeparationTool::SetFillMode(bool value)
{
    m_fillMode = value;
    if (m_frame)
        m_frame->FillTBXButton->setChecked(value);
}

void TQpSeparationTool::SetBackgroundEffect(int effect)
{
    effect = std::clamp(effect, 0, 3);
    if (m_frame && m_frame->BackgroundEffectTntRadioGroup->ItemIndex() != effect) {
        m_frame->BackgroundEffectTntRadioGroup->SetItemIndex(effect);
        BackgroundEffectTntRadioGroupClick(effect);
        return;
    }
    if (!m_frame && effect != m_backgroundEffect)
        BackgroundEffectTntRadioGroupClick(effect);
}

void TQpSeparationTool::SetBackgroundColor(std::uint32_t color)
{
    color &= kColorMask;
    if (color == m_backgroundColor)
        return;
    m_before = EffectRecord(TSeparationRecord::kEffectParameter);
    m_backgroundColor = color;
    if (m_frame)
        m_frame->ColorBox->SetColor(color);
    m_region.SetFillColor(color);
    RecordValue("BackgroundColor", color);
    if (m_backgroundEffect == static_cast<int>(TBackgroundEffect::Color))
        ApplyEffect();
}

void TQpSeparationTool::SetBlurLevel(int level)
{
    level = std::clamp(level, 1, 5);
    if (level == m_blurLevel)
        return;
    m_before = EffectRecord(TSeparationRecord::kEffectParameter);
    m_blurLevel = level;
    if (m_frame) {
        const QSignalBlocker quiet(m_frame->BlurRadiusTntTrackBar);
        m_frame->BlurRadiusTntTrackBar->setValue(level);
    }
    m_region.SetBlurLevel(level);
    RecordValue("BlurRadius", level);
    if (m_backgroundEffect == static_cast<int>(TBackgroundEffect::Blur))
        ApplyEffect();
}

void TQpSeparationTool::SetShadowLevel(int level)
{
    level = std::clamp(level, 1, 5);
    if (level == m_shadowLevel)
        return;
    m_before = EffectRecord(TSeparationRecord::kEffectParameter);
    m_shadowLevel = level;
    if (m_frame) {
        const QSignalBlocker quiet(m_frame->ShadowTntTrackBar);
        m_frame->ShadowTntTrackBar->setValue(level);
    }
    m_region.SetShadowLevel(level);
    RecordValue("Shadow", level);
    if (m_backgroundEffect == static_cast<int>(TBackgroundEffect::Shadow))
        ApplyEffect();
}

void TQpSeparationTool::SetMonochromeColor(std::uint32_t color)
{
    color &= kColorMask;
    if (color == m_monochromeColor)
        return;
    m_before = EffectRecord(TSeparationRecord::kEffectParameter);
    m_monochromeColor = color;
    if (m_frame)
        m_frame->MonochromeColorBox->SetColor(color);
    m_region.SetTintColor(color);
    RecordValue("MonochromeColor", color);
    if (m_backgroundEffect == static_cast<int>(TBackgroundEffect::Monochrome))
        ApplyEffect();
}

TSeparationRecord TQpSeparationTool::EffectRecord(TSeparationRecord::TKind kind) const
{
    TSeparationRecord record;
    record.Kind = kind;
    record.Effect = static_cast<std::uint8_t>(m_backgroundEffect);
    switch (static_cast<TBackgroundEffect>(m_backgroundEffect)) {
    case TBackgroundEffect::Color:
        record.Color = m_backgroundColor;
        break;
    case TBackgroundEffect::Shadow:
        record.Level = m_shadowLevel;
        break;
    case TBackgroundEffect::Blur:
        record.Level = m_blurLevel;
        break;
    case TBackgroundEffect::Monochrome:
        record.Color = m_monochromeColor;
        break;
    }
    return record;
}

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
    switch (static_cast<TBackgroundEffect>(record.Effect)) {
    case TBackgroundEffect::Color:
        m_region.SetFillColor(record.Color);
        break;
    case TBackgroundEffect::Shadow:
        m_region.SetShadowLevel(record.Level);
        break;
    case TBackgroundEffect::Blur:
        m_region.SetBlurLevel(record.Level);
        break;
    case TBackgroundEffect::Monochrome:
        m_region.SetTintColor(record.Color);
        break;
    }
}

void TQpSeparationTool::ApplyEffectRecord(const TSeparationRecord& record, ISeparationHost& host)
{
    ApplyEffectParameter(record);
    m_region.SetMode(kLabelResultBackground, record.Effect);
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
        ShowResult(static_cast<TBackgroundEffect>(m_backgroundEffect), host);
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
        m_region.SetMode(kLabelResultBackground, static_cast<std::uint8_t>(m_backgroundEffect));
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
    // The picture as shown, effect included, becomes the image.
    m_region.ClearMarks();
    AddDirtyRect(m_region.Bounds(), false);
    EndDocumentEdit();
}

void TQpSeparationTool::Store()
{
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    if (!AttachRegion(document) || !m_region.HasLabel(kLabelResultObject))
        return;
    StoreSeparatedObject(*this, m_region);
}

// ---------------------------------------------------------------------------------------------------------
// The frame's handlers

void TQpSeparationTool::RecordCommand(const char* suffix)
{
    if (IQpDemoPlayer* recorder = DemoRecorder())
        recorder->RecordCommand(DemoName() + QLatin1String(suffix), {});
}

void TQpSeparationTool::RecordValue(const char* suffix, long long value)
{
    if (IQpDemoPlayer* recorder = DemoRecorder()) {
        const QString word = DemoName() + QLatin1String(suffix);
        recorder->RecordMoveTo(word);
        recorder->RecordLine(word + QLatin1Char(' ') + QString::number(value));
    }
}

void TQpSeparationTool::AreaTXButtonClick(int tag)
{
    static const char* const kWords[] = {"Clearing", "Object", "Background", "Unknown"};
    tag = std::clamp(tag, 0, 3);
    SetArea(tag);
    RecordCommand(kWords[tag]);
}

void TQpSeparationTool::RegimeEdgeTBXButtonClick()
{
    SetRegime(kEdge);
    RecordCommand("RegimeEdge");
    SwitchToEdge();
}

void TQpSeparationTool::RegimeFullTBXButtonClick()
{
    SetRegime(kFull);
    RecordCommand("RegimeFull");
    SwitchToFull();
}

void TQpSeparationTool::RegimeEffectTBXButtonClick()
{
    SetRegime(kEffect);
    SetFillMode(false);
    RecordCommand("RegimeEffect");
    SwitchToEffect();
}

void TQpSeparationTool::SeparateTBXButtonClick()
{
    Separate();
    RecordCommand("Separate");
}

void TQpSeparationTool::ClearTBXButtonClick()
{
    Clear();
    RecordCommand("Clear");
}

void TQpSeparationTool::SwapTBXButtonClick()
{
    Swap();
    RecordCommand("Swap");
}

void TQpSeparationTool::StoreTBXButtonClick()
{
    Store();
    RecordCommand("Store");
}

void TQpSeparationTool::DoneTBXButtonClick()
{
    Done();
    RecordCommand("Done");
}

void TQpSeparationTool::FillTBXButtonClick()
{
    m_fillMode = m_frame && m_frame->FillTBXButton->isChecked();
    RecordValue("Fill", m_fillMode ? 1 : 0);
}

void TQpSeparationTool::AbortTBXButtonClick()
{
    if (m_frame)
        m_frame->AbortTBXButton->setChecked(true);
}

void TQpSeparationTool::BackgroundEffectTntRadioGroupClick(int index)
{
    index = std::clamp(index, 0, 3);
    if (index == m_backgroundEffect)
        return;
    m_before = EffectRecord(TSeparationRecord::kEffectParameter);
    m_backgroundEffect = index;
    RecordValue("BackgroundEffect", index);
    ApplyEffect();
}

// ---------------------------------------------------------------------------------------------------------
// Framework

void TQpSeparationTool::Localize()
{
    if (Button) {
        const QString caption = LocalizedString(2838, QStringLiteral("Separation"));
        Button->setText(caption);
        Button->setToolTip(caption);
    }
    if (m_frame)
        m_frame->Localize();
}

void TQpSeparationTool::LoadSettings(TQpSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid()))
        return;
    std::int32_t value = 0;
    if (reader.ReadInteger(kSizeValue, value))
        SetSize(std::clamp(value, MinSize(), MaxSize()));
    if (reader.ReadInteger(kEffectValue, value))
        SetBackgroundEffect(value);
    if (reader.ReadInteger(kBackgroundColorValue, value))
        SetBackgroundColor(static_cast<std::uint32_t>(value));
    if (reader.ReadInteger(kBlurLevelValue, value))
        SetBlurLevel(value);
    if (reader.ReadInteger(kShadowLevelValue, value))
        SetShadowLevel(value);
    if (reader.ReadInteger(kMonochromeColorValue, value))
        SetMonochromeColor(static_cast<std::uint32_t>(value));
    if (reader.ReadInteger(kAreaValue, value))
        SetArea(value);
    if (reader.ReadInteger(kRegimeValue, value)) {
        SetRegime(value);
        m_previousRegime = m_regime;
    }
    reader.LeaveNode();
}

void TQpSeparationTool::SaveSettings(TQpSDFWriter& writer)
{
    writer.WriteBeginNode(1, SettingsGuid());
    writer.WriteInteger(kSizeValue, Size());
    writer.WriteInteger(kEffectValue, m_backgroundEffect);
    writer.WriteInteger(kBackgroundColorValue, static_cast<std::int32_t>(m_backgroundColor));
    writer.WriteInteger(kBlurLevelValue, m_blurLevel);
    writer.WriteInteger(kShadowLevelValue, m_shadowLevel);
    writer.WriteInteger(kMonochromeColorValue, static_cast<std::int32_t>(m_monochromeColor));
    writer.WriteInteger(kAreaValue, m_area);
    writer.WriteInteger(kRegimeValue, m_regime);
    writer.WriteEndNode();
}

void TQpSeparationTool::UpdateControls()
{
    TQpBrushTool::UpdateControls();
    if (!m_frame)
        return;
    TQpSeparationFrame& frame = *m_frame;
    const bool checked = QpGraphicsEditor && QpGraphicsEditor->ActiveTool() == this;
    const bool enabled = QpGraphicsEditor && QpGraphicsEditor->CanActivateTool(this);
    const bool frameEnabled = enabled && checked;
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    const bool editable = frameEnabled && !(document && document->EditSessionActive());

    // Groups stay enabled with the frame so that Abort can be used while the rest waits.
    for (QWidget* group :
         {static_cast<QWidget*>(frame.RegimeTntGroupBox), static_cast<QWidget*>(frame.ActionsTntGroupBox),
          static_cast<QWidget*>(frame.AreaTntGroupBox), static_cast<QWidget*>(frame.EffectTntGroupBox)})
        group->setEnabled(frameEnabled);
    for (QWidget* control :
         {static_cast<QWidget*>(frame.TitleLabel), static_cast<QWidget*>(frame.SizeLabel),
          static_cast<QWidget*>(frame.SizeTrackBar), static_cast<QWidget*>(frame.RegimeEdgeTBXButton),
          static_cast<QWidget*>(frame.RegimeFullTBXButton),
          static_cast<QWidget*>(frame.RegimeEffectTBXButton), static_cast<QWidget*>(frame.FillTBXButton),
          static_cast<QWidget*>(frame.AreaObjectTBXButton), static_cast<QWidget*>(frame.AreaBGTBXButton),
          static_cast<QWidget*>(frame.AreaCleaningTBXButton),
          static_cast<QWidget*>(frame.AreaUnknownTBXButton),
          static_cast<QWidget*>(frame.BackgroundEffectTntRadioGroup), static_cast<QWidget*>(frame.ColorBox),
          static_cast<QWidget*>(frame.ShadowTntTrackBar), static_cast<QWidget*>(frame.BlurRadiusTntTrackBar),
          static_cast<QWidget*>(frame.MonochromeColorBox)})
        control->setEnabled(editable);
    for (int i = 0; i < frame.BackgroundEffectTntRadioGroup->Count(); ++i)
        frame.BackgroundEffectTntRadioGroup->Item(i)->setEnabled(editable);
    frame.SizeLabel->setText(LocalizedString(154, QStringLiteral("Size")) + QStringLiteral(": ") +
                             QString::number(Size()));

    const bool effect = m_regime == kEffect;
    frame.AreaTntGroupBox->setVisible(!effect);
    frame.EffectTntGroupBox->setVisible(effect);
    frame.AreaObjectTBXButton->setVisible(m_regime == kFull);
    frame.AreaBGTBXButton->setVisible(m_regime == kFull);
    frame.AreaUnknownTBXButton->setVisible(m_regime == kEdge);
    frame.AreaCleaningTBXButton->setVisible(true);
    frame.SeparateTBXButton->setVisible(!effect && !m_separating);
    frame.ClearTBXButton->setVisible(!effect && !m_separating);
    frame.FillTBXButton->setVisible(!effect && !m_separating);
    frame.AbortTBXButton->setVisible(!effect && m_separating);
    frame.SwapTBXButton->setVisible(effect);
    frame.StoreTBXButton->setVisible(effect);
    frame.DoneTBXButton->setVisible(effect);

    const bool shown = ResultShown(m_region);
    frame.SeparateTBXButton->setEnabled(
        editable && ((m_region.HasLabel(kLabelObject) && m_region.HasLabel(kLabelBackground)) ||
                     m_region.HasLabel(kLabelUnknown)));
    frame.ClearTBXButton->setEnabled(editable && !m_region.IsEmpty());
    frame.AbortTBXButton->setEnabled(m_separating);
    frame.SwapTBXButton->setEnabled(editable && shown);
    frame.DoneTBXButton->setEnabled(editable && shown);
    frame.StoreTBXButton->setEnabled(editable && m_region.HasLabel(kLabelResultObject));

    // The Edge regime marks with Cleaning and Unknown, the Full regime with Cleaning, Object and Background.
    if (m_regime == kEdge && (m_area == kObject || m_area == kBackground))
        SetArea(kUnknown);
    else if (m_regime == kFull && m_area == kUnknown)
        SetArea(kObject);

    if (checked && QpGraphicsEditor) {
        if (m_region.IsEmpty())
            QpGraphicsEditor->UnlockTool();
        else
            QpGraphicsEditor->LockTool();
    }

    if (m_firstUpdate) {
        m_firstUpdate = false;
        frame.ColorBox->SetColor(m_backgroundColor);
        frame.MonochromeColorBox->SetColor(m_monochromeColor);
    }
}

void TQpSeparationTool::DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                                    TQpDemoScriptUserAction* action, const TQpDemoParams& params)
{
    const QString prefix = DemoName().toUpper();
    if (!word.startsWith(prefix) || word.size() == prefix.size()) {
        TQpBrushTool::DemoCommand(player, word, handled, action, params);
        return;
    }
    const QString suffix = word.mid(prefix.size());
    const std::pair<const char*, std::function<void()>> words[] = {
        {"REGIMEEDGE", [this] { RegimeEdgeTBXButtonClick(); }},
        {"REGIMEFULL", [this] { RegimeFullTBXButtonClick(); }},
        {"REGIMEEFFECT", [this] { RegimeEffectTBXButtonClick(); }},
        {"SEPARATE", [this] { Separate(); }},
        {"CLEAR", [this] { Clear(); }},
        {"SWAP", [this] { Swap(); }},
        {"STORE", [this] { Store(); }},
        {"DONE", [this] { Done(); }},
        {"FILL", [this, &params] { SetFillMode(IntegerArgument(params, 0) != 0); }},
        {"CLEARING", [this] { AreaTXButtonClick(kCleaning); }},
        {"OBJECT", [this] { AreaTXButtonClick(kObject); }},
        {"BACKGROUND", [this] { AreaTXButtonClick(kBackground); }},
        {"UNKNOWN", [this] { AreaTXButtonClick(kUnknown); }},
        {"BACKGROUNDEFFECT", [this, &params] { SetBackgroundEffect(IntegerArgument(params, 0)); }},
        {"BACKGROUNDCOLOR", [this, &params] { SetBackgroundColor(ColorArgument(params, 0xFFFFFF)); }},
        {"BLURRADIUS", [this, &params] { SetBlurLevel(IntegerArgument(params, 3)); }},
        {"SHADOW", [this, &params] { SetShadowLevel(IntegerArgument(params, 3)); }},
        {"MONOCHROMECOLOR", [this, &params] { SetMonochromeColor(ColorArgument(params, 0xFFFFFF)); }},
    };
    for (const auto& [name, run] : words) {
        if (suffix == QLatin1String(name)) {
            handled = true;
            run();
            return;
        }
    }
    TQpBrushTool::DemoCommand(player, word, handled, action, params);
}

void TQpSeparationTool::DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled,
                                  QPoint& point)
{
    if (params.empty()) {
        TQpBrushTool::DemoPoint(player, params, handled, point);
        return;
    }
    const QString name = params[0].Text.trimmed().toUpper();
    const QString prefix = DemoName().toUpper();
    if (name == prefix) {
        auto* toolbar = QpToolPanelModule ? QpToolPanelModule->Toolbar : nullptr;
        if (Button && toolbar)
            handled = ScreenCentre(toolbar->ButtonFor(Button), point);
        return;
    }
    if (!m_frame || !name.startsWith(prefix)) {
        TQpBrushTool::DemoPoint(player, params, handled, point);
        return;
    }
    const QString suffix = name.mid(prefix.size());
    TQpSeparationFrame& frame = *m_frame;
    QWidget* target = nullptr;
    const std::pair<const char*, QWidget*> targets[] = {
        {"REGIMEEDGE", frame.RegimeEdgeTBXButton},
        {"REGIMEFULL", frame.RegimeFullTBXButton},
        {"REGIMEEFFECT", frame.RegimeEffectTBXButton},
        {"SEPARATE", frame.SeparateTBXButton},
        {"CLEAR", frame.ClearTBXButton},
        {"SWAP", frame.SwapTBXButton},
        {"STORE", frame.StoreTBXButton},
        {"DONE", frame.DoneTBXButton},
        {"FILL", frame.FillTBXButton},
        {"OBJECT", frame.AreaObjectTBXButton},
        {"BACKGROUND", frame.AreaBGTBXButton},
        {"CLEARING", frame.AreaCleaningTBXButton},
        {"UNKNOWN", frame.AreaUnknownTBXButton},
        {"BACKGROUNDEFFECT", frame.BackgroundEffectTntRadioGroup},
        {"BACKGROUNDCOLOR", frame.ColorBox},
        {"BLURRADIUS", frame.BlurRadiusTntTrackBar},
        {"SHADOW", frame.ShadowTntTrackBar},
        {"MONOCHROMECOLOR", frame.MonochromeColorBox},
    };
    for (const auto& [word, widget] : targets)
        if (suffix == QLatin1String(word))
            target = widget;
    if (suffix == QLatin1String("BACKGROUNDEFFECT") && params.size() > 1 && params[1].Numeric)
        if (QRadioButton* item = frame.BackgroundEffectTntRadioGroup->Item(
                static_cast<int>(std::clamp(params[1].Number, 0.0, 3.0))))
            target = item;
    if (target) {
        handled = ScreenCentre(target, point);
        return;
    }
    TQpBrushTool::DemoPoint(player, params, handled, point);
}

void TQpSeparationTool::CommitEdit()
{
    TQpGraphicsDocument* document = Document();
    if (!document)
        return;
    const TQpRect dirty = IntersectRect(document->DirtyRect(), {0, 0, document->Width(), document->Height()});
    if (dirty.IsEmpty() || m_after.Kind == TSeparationRecord::kNothing)
        return;
    document->AddCommand(std::make_unique<TQpSeparationCommandState>(*this, dirty, *document));
    // Recorded once: a later session of this tool must set its own records.
    m_after = {};
}

void TQpSeparationTool::BeginDocumentEdit(TQpGraphicsView* view)
{
    TQpBrushTool::BeginDocumentEdit(view);
    UpdateControls();
}

void TQpSeparationTool::DocumentOpened(TQpGraphicsDocument* document)
{
    TQpBrushTool::DocumentOpened(document);
    AttachRegion(document);
    m_region.ClearAll();
}

void TQpSeparationTool::DocumentClosing(TQpGraphicsDocument* document)
{
    TQpBrushTool::DocumentClosing(document);
    if (document && m_region.Pixels() == document->CurrentPixels())
        m_region.Attach(nullptr);
}

void TQpSeparationTool::SetToolVisible(bool value)
{
    if (m_frame && !value)
        m_frame->setVisible(false);
    if (Button)
        Button->setVisible(value);
    TQpBrushTool::SetToolVisible(value);
}

void TQpSeparationTool::ImageChanged(TQpGraphicsDocument* document, TQpGraphicsTool* tool,
                                     const TQpRect& rect)
{
    TQpBrushTool::ImageChanged(document, tool, rect);
    // Any tool's step may have replaced the pixels' storage; the same size keeps the marks.
    AttachRegion(document);
}

void TQpSeparationTool::Activated()
{
    TQpBrushTool::Activated();
    if (OptionFrame && Visible())
        OptionFrame->raise();
    if (QpGraphicsEditor)
        AttachRegion(QpGraphicsEditor->ActiveGraphicsDocument());
}

bool TQpSeparationTool::BeginStroke(TQpDrawToolControl* control, Qt::MouseButton button,
                                    Qt::KeyboardModifiers shift)
{
    TQpGraphicsDocument& document = control->View().Document();
    // A step of any tool is running (a separation processing messages among them): its records stay.
    if (document.EditSessionActive())
        return false;
    bool started = false;
    if (m_regime != kEffect && !m_fillMode && AttachRegion(&document))
        started = TQpBrushTool::BeginStroke(control, button, shift);
    m_before = {};
    m_before.Kind = TSeparationRecord::kStroke;
    m_after = {};
    return started;
}

void TQpSeparationTool::ApplyRect(const TQpRect& rect)
{
    const TQpPixelMask& mask = BrushMask();
    const TQpRect area = IntersectRect(IntersectRect(rect, mask.GetBounds()), m_region.Bounds());
    const auto label = static_cast<std::uint8_t>(m_area);
    for (int x = area.Left; x < area.Right; ++x)
        for (int y = area.Top; y < area.Bottom; ++y) {
            const std::uint8_t* value = mask.ValuePtr(x, y);
            if (value && *value != 0 && m_region.SetLabel(x, y, label)) {
                m_before.Kind = TSeparationRecord::kStroke;
                m_after.Kind = TSeparationRecord::kStroke;
            }
        }
}

void TQpSeparationTool::EndStroke()
{
    TQpBrushTool::EndStroke();
    SetFillMode(false);
}

// ---------------------------------------------------------------------------------------------------------
// Tool control

TQpSeparationTool* TQpSeparationToolControl::SeparationTool() const
{
    return dynamic_cast<TQpSeparationTool*>(Tool());
}

void TQpSeparationToolControl::PaintOverlay(TQpViewCanvas& canvas)
{
    TQpSeparationTool* tool = SeparationTool();
    if (tool && tool->Regime() != TQpSeparationTool::kEffect)
        TQpBrushToolControl::PaintOverlay(canvas);
}

bool TQpSeparationToolControl::SetCursor(Qt::KeyboardModifiers shift, QPoint point, int& cursor)
{
    TQpSeparationTool* tool = SeparationTool();
    if (!tool || !Active())
        return TQpBrushToolControl::SetCursor(shift, point, cursor);
    if (tool->FillMode())
        cursor = kFillCursors + tool->Area();
    else if (tool->Regime() == TQpSeparationTool::kEffect)
        cursor = kCursorDefault;
    else
        cursor = kBrushCursors + tool->Area();
    return true;
}

bool TQpSeparationToolControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point)
{
    TQpSeparationTool* tool = SeparationTool();
    if (!tool || !Active() || button != Qt::RightButton)
        return TQpBrushToolControl::MouseDown(button, shift, point);
    // The right button switches between the areas the regime offers.
    const int area = tool->Area();
    switch (tool->Regime()) {
    case TQpSeparationTool::kEdge:
        if (area == TQpSeparationTool::kCleaning)
            tool->SetArea(TQpSeparationTool::kUnknown);
        else if (area == TQpSeparationTool::kUnknown)
            tool->SetArea(TQpSeparationTool::kCleaning);
        break;
    case TQpSeparationTool::kFull:
        if (area == TQpSeparationTool::kCleaning)
            tool->SetArea(TQpSeparationTool::kObject);
        else if (area == TQpSeparationTool::kObject)
            tool->SetArea(TQpSeparationTool::kBackground);
        else if (area == TQpSeparationTool::kBackground)
            tool->SetArea(TQpSeparationTool::kCleaning);
        break;
    default:
        break;
    }
    return true;
}

bool TQpSeparationToolControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point)
{
    TQpSeparationTool* tool = SeparationTool();
    if (!tool || !Active() || !tool->FillMode())
        return TQpBrushToolControl::MouseUp(button, shift, point);
    if (button == Qt::LeftButton) {
        const TQpPoint centre{BrushX(), BrushY()};
        const TQpRect crop = View().Document().CropRect();
        if (centre.X >= crop.Left && centre.X < crop.Right && centre.Y >= crop.Top && centre.Y < crop.Bottom)
            tool->FillAt(centre);
    }
    tool->SetFillMode(false);
    return true;
}
