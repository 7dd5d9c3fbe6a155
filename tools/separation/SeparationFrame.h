#pragma once
// The separation tool's option frame: regime, actions, the area the brush writes, and the background
// effect with its parameters. Every component carries its form name as object name. The frame holds no
// state of its own; the tool reads and sets its components.

#include "framework/ColorBox.h"
#include "framework/QpModule.h"
#include "framework/RadioGroup.h"

#include <QGroupBox>
#include <QToolButton>
#include <cstdint>
#include <functional>

class QLabel;
class QSlider;
class TQpSeparationTool;

class TQpSeparationFrame : public TQpFrame
{
public:
    explicit TQpSeparationFrame(TQpSeparationTool& tool, QWidget* parent = nullptr);

    // Null once the tool has gone; the tool panel keeps the frame until the end.
    TQpSeparationTool* Tool() const { return m_tool; }
    void ReleaseTool() { m_tool = nullptr; }

    QLabel* TitleLabel = nullptr;
    QLabel* SizeLabel = nullptr;
    // Colour, shadow level, blur level, tint: the value each effect control holds.
    QLabel* EffectValueLabels[4] = {};
    QSlider* SizeTrackBar = nullptr;
    QGroupBox* RegimeTntGroupBox = nullptr;
    QToolButton* RegimeEdgeTBXButton = nullptr;
    QToolButton* RegimeFullTBXButton = nullptr;
    QToolButton* RegimeEffectTBXButton = nullptr;
    QGroupBox* ActionsTntGroupBox = nullptr;
    QToolButton* SeparateTBXButton = nullptr;
    QToolButton* ClearTBXButton = nullptr;
    QToolButton* FillTBXButton = nullptr;
    QToolButton* SwapTBXButton = nullptr;
    QToolButton* StoreTBXButton = nullptr;
    QToolButton* DoneTBXButton = nullptr;
    QToolButton* AbortTBXButton = nullptr;
    QGroupBox* AreaTntGroupBox = nullptr;
    QToolButton* AreaObjectTBXButton = nullptr;
    QToolButton* AreaBGTBXButton = nullptr;
    QToolButton* AreaCleaningTBXButton = nullptr;
    QToolButton* AreaUnknownTBXButton = nullptr;
    QGroupBox* EffectTntGroupBox = nullptr;
    TQpRadioGroup* BackgroundEffectTntRadioGroup = nullptr;
    TQpColorBox* ColorBox = nullptr;
    QSlider* ShadowTntTrackBar = nullptr;
    QSlider* BlurRadiusTntTrackBar = nullptr;
    TQpColorBox* MonochromeColorBox = nullptr;

    // The area button whose tag is `area`, or null.
    QToolButton* AreaButton(int area) const;
    // The least width that shows every caption of every regime, hidden buttons included.
    int NeededWidth() const;
    // The Fill button shows the bucket of the area it fills with.
    void SetFillImage(int area);

    // Enables and shows the components for the tool's regime, region and running step: `frameEnabled`
    // while the tool is active and usable, `notEditing` unless a step of any tool is running.
    void UpdateControls(const TQpSeparationTool& tool, bool frameEnabled, bool notEditing);

    void Localize() override;

private:
    template <class Handler> void Call(Handler handler)
    {
        if (m_tool)
            handler(*m_tool);
    }

    TQpSeparationTool* m_tool;
};
