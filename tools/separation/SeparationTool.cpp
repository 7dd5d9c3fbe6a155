#include "tools/separation/SeparationTool.h"

#include "core/QpGuid.h"
#include "core/QpSDF.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"
#include "tools/separation/SeparationFrame.h"
#include "tools/separation/SeparationToolControl.h"

#include <QAction>
#include <QLabel>
#include <QSlider>
#include <algorithm>
#include <cstring>

TQpSeparationTool* QpSeparationTool = nullptr;

namespace {

constexpr TQpGuid kSettingsGuid = *TQpGuid::Parse("{09DBB784-BB3E-49EE-A9FC-F31F762510F3}");
constexpr int kPanelWidth = 272;
constexpr int kDefaultSize = 25;

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

} // namespace

TQpSeparationTool::TQpSeparationTool()
    : m_backgroundEffect(*this, {"BackgroundEffect", kEffectValue, 0, 3, 0}),
      m_backgroundColor(*this, {"BackgroundColor", kBackgroundColorValue, 0, 0xFFFFFF, 0xFFFFFF,
                                TQpToolSetting::TKind::Color}),
      m_blurLevel(*this, {"BlurRadius", kBlurLevelValue, 1, 5, 3}),
      m_shadowLevel(*this, {"Shadow", kShadowLevelValue, 1, 5, 3}),
      m_monochromeColor(*this, {"MonochromeColor", kMonochromeColorValue, 0, 0xFFFFFF, 0xFFFFFF,
                                TQpToolSetting::TKind::Color})
{
    if (!QpSeparationTool)
        QpSeparationTool = this;
    InstallCursors();
    CreateControls();
    SetSizeRange(1, 200);
    m_backgroundEffect.OnChanging = [this] { m_before = EffectRecord(TSeparationRecord::kEffectParameter); };
    m_backgroundEffect.OnChanged = [this] {
        if (m_frame)
            m_frame->BackgroundEffectTntRadioGroup->SetItemIndex(BackgroundEffect());
        ApplyEffect();
    };
    WatchEffectSetting(m_backgroundColor, TBackgroundEffect::Color);
    WatchEffectSetting(m_shadowLevel, TBackgroundEffect::Shadow);
    WatchEffectSetting(m_blurLevel, TBackgroundEffect::Blur);
    WatchEffectSetting(m_monochromeColor, TBackgroundEffect::Monochrome);
    if (m_frame) {
        BindSizeTrackBar(m_frame->SizeTrackBar);
        m_backgroundColor.Bind(m_frame->ColorBox);
        m_shadowLevel.Bind(m_frame->ShadowTntTrackBar);
        m_blurLevel.Bind(m_frame->BlurRadiusTntTrackBar);
        m_monochromeColor.Bind(m_frame->MonochromeColorBox);
    }
    SetDrawMode(kContinuous);
    SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
        return std::make_unique<TQpSeparationToolControl>(tool, view);
    });
    FitPanel();
    ApplySeparationDisplayModes(m_region, static_cast<TBackgroundEffect>(BackgroundEffect()));
    SetSize(kDefaultSize);
    m_regime = kEdge;
    m_previousRegime = m_regime;
    m_area = kObject;
    if (m_frame) {
        m_frame->AreaButton(m_area)->setChecked(true);
        m_frame->SetFillImage(m_area);
        m_frame->RegimeEdgeTBXButton->setChecked(true);
    }
    ApplyBackgroundParameters(m_region, Background());
    m_after = {};
}

void TQpSeparationTool::InstallCursors()
{
    // Cursor numbers 4 to 12: the plain fill, the fills of the four areas and the brushes of the four areas.
    const char* const cursors[] = {"Fill",  "FillEmpty", "FillObject", "FillBG", "FillUnknown",
                                   "Empty", "Object",    "BG",         "Unknown"};
    int index = 4;
    for (const char* cursor : cursors)
        InstallApplicationCursor(index++, QLatin1String(cursor));
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
    CreateToolButton(QStringLiteral("Separation"), std::move(frame));
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
    if (m_regime != kEffect)
        m_markingRegime = m_regime;
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

TBackgroundSettings TQpSeparationTool::Background() const
{
    return {static_cast<TBackgroundEffect>(BackgroundEffect()), BackgroundColor(), ShadowLevel(), BlurLevel(),
            MonochromeColor()};
}

void TQpSeparationTool::RestoreBackground(const TBackgroundSettings& settings)
{
    m_backgroundEffect.Restore(static_cast<int>(settings.Effect));
    m_backgroundColor.Restore(settings.FillColor);
    m_shadowLevel.Restore(settings.ShadowLevel);
    m_blurLevel.Restore(settings.BlurLevel);
    m_monochromeColor.Restore(settings.TintColor);
    if (m_frame)
        m_frame->BackgroundEffectTntRadioGroup->SetItemIndex(BackgroundEffect());
}

void TQpSeparationTool::WatchEffectSetting(TQpToolSetting& setting, TBackgroundEffect effect)
{
    setting.OnChanging = [this] { m_before = EffectRecord(TSeparationRecord::kEffectParameter); };
    setting.OnChanged = [this, effect] {
        ApplyBackgroundParameters(m_region, Background());
        if (static_cast<TBackgroundEffect>(BackgroundEffect()) == effect)
            ApplyEffect();
    };
}

TSeparationRecord TQpSeparationTool::EffectRecord(TSeparationRecord::TKind kind) const
{
    TSeparationRecord record;
    record.Kind = kind;
    record.Background = Background();
    return record;
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
    FitPanel();
}

void TQpSeparationTool::FitPanel()
{
    // The frame's captions in the current language may need more than the usual width.
    constexpr int kFrameMargins = 32; // the panel's own margins around the frame
    const int width = std::max(kPanelWidth, m_frame ? m_frame->NeededWidth() + kFrameMargins : 0);
    if (QpToolPanelModule && QpToolPanelModule->PanelWidth() < width)
        QpToolPanelModule->SetPanelWidth(width);
}

void TQpSeparationTool::LoadSettings(TQpSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid()))
        return;
    std::int32_t value = 0;
    if (reader.ReadInteger(kSizeValue, value))
        SetSize(std::clamp(value, MinSize(), MaxSize()));
    LoadToolSettings(
        reader, {&m_backgroundEffect, &m_backgroundColor, &m_blurLevel, &m_shadowLevel, &m_monochromeColor});
    if (reader.ReadInteger(kAreaValue, value))
        SetArea(value);
    // Effect needs a result of this session; older settings may still hold it.
    if (reader.ReadInteger(kRegimeValue, value) && value != kEffect) {
        SetRegime(value);
        m_previousRegime = m_regime;
    }
    reader.LeaveNode();
}

void TQpSeparationTool::SaveSettings(TQpSDFWriter& writer)
{
    writer.WriteBeginNode(1, SettingsGuid());
    writer.WriteInteger(kSizeValue, Size());
    SaveToolSettings(
        writer, {&m_backgroundEffect, &m_backgroundColor, &m_blurLevel, &m_shadowLevel, &m_monochromeColor});
    writer.WriteInteger(kAreaValue, m_area);
    writer.WriteInteger(kRegimeValue, m_markingRegime);
    writer.WriteEndNode();
}

void TQpSeparationTool::UpdateControls()
{
    TQpBrushTool::UpdateControls();
    if (!m_frame)
        return;
    const bool checked = QpGraphicsEditor && QpGraphicsEditor->ActiveTool() == this;
    const bool enabled = QpGraphicsEditor && QpGraphicsEditor->CanActivateTool(this);
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    m_frame->UpdateControls(*this, enabled && checked, !(document && document->EditSessionActive()));

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
    ShowStepHint(checked);
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
    // A new photo has no result to show: it starts with marking.
    if (m_regime == kEffect) {
        SetRegime(m_markingRegime);
        m_previousRegime = m_regime;
    }
}

void TQpSeparationTool::DocumentClosed(TQpGraphicsDocument* document)
{
    TQpBrushTool::DocumentClosed(document);
    // Only now: a cancelled close keeps the marks and the result as they were.
    if (document && m_region.Pixels() == document->CurrentPixels())
        m_region.Attach(nullptr);
}

void TQpSeparationTool::DocumentSaving(TQpGraphicsDocument* document)
{
    // The marks are drawn into the pixels; the file gets the photo beneath them. A shown result is the
    // picture the user chose and is saved as it is.
    m_hiddenPixels.clear();
    if (!document || m_region.Pixels() != document->CurrentPixels() || m_region.IsEmpty() ||
        m_region.HasLabel(kLabelResultObject) || m_region.HasLabel(kLabelResultBackground))
        return;
    TLabelSet marks;
    marks.set();
    marks.reset(kLabelUnmarked);
    const TQpRect rect = m_region.BoundsOfSet(marks);
    TQpPixels& pixels = *m_region.Pixels();
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(rect.Width()) * 3;
    m_hiddenPixels.resize(rowBytes * static_cast<std::size_t>(rect.Height()));
    for (int y = rect.Top; y < rect.Bottom; ++y)
        std::memcpy(m_hiddenPixels.data() + static_cast<std::size_t>(y - rect.Top) * rowBytes,
                    pixels.PixelPtr(rect.Left, y), rowBytes);
    m_hiddenRect = rect;
    std::vector<TBgr> column(static_cast<std::size_t>(m_region.Height()));
    for (int x = rect.Left; x < rect.Right; ++x) {
        m_region.UnderlyingColumn(x, column.data());
        for (int y = rect.Top; y < rect.Bottom; ++y) {
            std::uint8_t* p = pixels.PixelPtr(x, y);
            p[0] = column[static_cast<std::size_t>(y)].Blue;
            p[1] = column[static_cast<std::size_t>(y)].Green;
            p[2] = column[static_cast<std::size_t>(y)].Red;
        }
    }
}

void TQpSeparationTool::DocumentSaved(TQpGraphicsDocument* document)
{
    if (m_hiddenPixels.empty() || !document || m_region.Pixels() != document->CurrentPixels())
        return;
    TQpPixels& pixels = *m_region.Pixels();
    const std::size_t rowBytes = static_cast<std::size_t>(m_hiddenRect.Width()) * 3;
    for (int y = m_hiddenRect.Top; y < m_hiddenRect.Bottom; ++y)
        std::memcpy(pixels.PixelPtr(m_hiddenRect.Left, y),
                    m_hiddenPixels.data() + static_cast<std::size_t>(y - m_hiddenRect.Top) * rowBytes,
                    rowBytes);
    m_hiddenPixels.clear();
}

bool TQpSeparationTool::PhotoColor(TQpGraphicsDocument* document, TQpPoint point, int& red, int& green,
                                   int& blue) const
{
    if (!document || m_region.Pixels() != document->CurrentPixels() || m_region.IsEmpty() || point.X < 0 ||
        point.Y < 0 || point.X >= m_region.Width() || point.Y >= m_region.Height())
        return false;
    const TBgr colour = m_region.UnderlyingColor(point.X, point.Y);
    red = colour.Red;
    green = colour.Green;
    blue = colour.Blue;
    return true;
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
