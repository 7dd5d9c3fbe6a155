#pragma once
// The hand tool: dragging moves the view. Its control also lends the tool out while the space key
// is held with another tool active, and turns the main keyboard's plus and minus keys into zoom.

#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"

class TQpScrollTool : public TQpGraphicsTool
{
public:
    TQpScrollTool();
    ~TQpScrollTool() override;
};

class TQpScrollToolControl : public TQpGraphicsToolControl
{
public:
    using TQpGraphicsToolControl::TQpGraphicsToolControl;

    bool SetCursor(Qt::KeyboardModifiers shift, QPoint point, int& cursor) override;
    bool KeyDown(int key, Qt::KeyboardModifiers shift) override;
    bool KeyUp(int key, Qt::KeyboardModifiers shift) override;
    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseMove(Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    void Deactivate() override;

private:
    TQpGraphicsTool* m_returnTool = nullptr;
    bool m_dragging = false;
    QPoint m_lastPoint;
};

extern TQpScrollTool* QpScrollTool;
