#pragma once
// A mask draw tool with a hardness setting whose control draws the brush's round outline over the view
// in place of the mouse pointer. The base of the separation tool's brush.

#include "tools/MaskDrawTool.h"

class TQpBrushTool : public TQpMaskDrawTool
{
public:
    TQpBrushTool();
    ~TQpBrushTool() override;

    int Hardness() const { return m_hardness.Value(); }
    // Ignored when equal to the hardness or outside 0..255.
    void SetHardness(int value) { m_hardness.Set(value); }
    void BindHardnessTrackBar(QSlider* trackBar) { m_hardness.Bind(trackBar); }
    QWidget* HardnessTrackBar() const { return m_hardness.Control(); }

protected:
    TQpDemoWords SettingWords() override;

private:
    TQpToolSetting m_hardness;
};

class TQpBrushToolControl : public TQpMaskDrawToolControl
{
public:
    using TQpMaskDrawToolControl::TQpMaskDrawToolControl;

    // The brush's round outline, drawn reversibly so it shows on any background.
    void PaintOverlay(TQpViewCanvas& canvas) override;
    TQpRect OverlayBounds(const TQpMapMode& mapMode) const override;
};
