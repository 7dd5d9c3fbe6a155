#pragma once
// A draw tool that stamps a brush mask centred on the pointer; its control follows the pointer with the
// brush rectangle and changes the size with the wheel and the arrow keys.

#include "imaging/BrushMask.h"
#include "tools/DrawTool.h"

class TQpMaskDrawTool : public TQpDrawTool
{
public:
    TQpMaskDrawTool();
    ~TQpMaskDrawTool() override;

    // Zero-origin between dabs; moved over the dab's rectangle while ApplyRect runs.
    const TQpPixelMask& BrushMask() const { return m_mask; }
    // The modifiers of the last pointer event.
    Qt::KeyboardModifiers Shift() const { return m_shift; }
    void SetShift(Qt::KeyboardModifiers shift) { m_shift = shift; }

    // Every brush of the program is the soft mask with peak 255 and hardness 160, whatever the
    // opacity and hardness settings say.
    virtual void BuildMask();
    void SizeChanged() override;
    void OpacityChanged() override;
    void ApplyAt(const TQpRect& rect) override;

protected:
    TQpPixelMask m_mask;

private:
    Qt::KeyboardModifiers m_shift;
};

class TQpMaskDrawToolControl : public TQpDrawToolControl
{
public:
    TQpMaskDrawToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view);

    TQpMaskDrawTool* MaskDrawTool() const;
    // Image coordinates.
    int BrushX() const { return m_x; }
    int BrushY() const { return m_y; }
    // Centres the brush rectangle on `point` (image coordinates).
    void MoveBrush(TQpPoint point);
    // Dabs along the segment from the brush to `to`, both ends left out.
    void JoinTo(TQpPoint to, int size);

    void Activate() override;
    bool SetCursor(Qt::KeyboardModifiers shift, QPoint point, int& cursor) override;
    bool MouseEnter() override;
    bool MouseLeave() override;
    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseMove(Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseWheel(Qt::KeyboardModifiers shift, int direction, QPoint point) override;
    bool KeyDown(int key, Qt::KeyboardModifiers shift) override;

private:
    int m_x = 0;
    int m_y = 0;
};
