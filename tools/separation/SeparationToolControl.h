#pragma once
// The separation tool's control in one view: the brush outline outside the effect regime, the cursors
// of the area and the fill, the right button stepping through the regime's areas, and the fill on release.

#include "tools/BrushTool.h"

class TQpSeparationTool;

class TQpSeparationToolControl : public TQpBrushToolControl
{
public:
    using TQpBrushToolControl::TQpBrushToolControl;

    TQpSeparationTool* SeparationTool() const;

    void PaintOverlay(TQpViewCanvas& canvas) override;
    bool SetCursor(Qt::KeyboardModifiers shift, QPoint point, int& cursor) override;
    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
};
