#pragma once
// A tool's presence in one image view: a view object above the document's, which receives the
// view's mouse, wheel, key and cursor events. The view owns it; the tool keeps a plain list of its
// controls, and whichever of the two goes first tells the other.

#include "documents/QpViewControl.h"

#include <QPoint>
#include <cstdint>

class TQpGraphicsTool;
class TQpGraphicsView;

// Cursor numbers of the application's cursor table: 0 the arrow, -1 none, 100 the hand; other
// positive numbers are the tools' own cursors.
constexpr int kCursorDefault = 0;
constexpr int kCursorNone = -1;
constexpr int kCursorCross = -3;
constexpr int kCursorSizeNESW = -6;
constexpr int kCursorSizeNS = -7;
constexpr int kCursorSizeNWSE = -8;
constexpr int kCursorSizeWE = -9;
constexpr int kCursorSizeAll = -22;
constexpr int kCursorHand = 100;

class TQpGraphicsToolControl : public TQpViewObject
{
public:
    TQpGraphicsToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view);
    ~TQpGraphicsToolControl() override;

    TQpGraphicsView& View() const { return m_view; }
    // Null once the tool has gone.
    TQpGraphicsTool* Tool() const { return m_tool; }
    bool Active() const { return m_active; }
    std::int32_t Tag = 0; // for the tool's use

    virtual void Initialize() {}
    virtual void Activate();
    virtual void Deactivate();
    // Every handler returns true when it consumed the event.
    virtual bool SetCursor(Qt::KeyboardModifiers, QPoint, int&) { return false; }
    virtual bool MouseEnter() { return false; }
    virtual bool MouseLeave() { return false; }
    virtual bool MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, QPoint) { return false; }
    virtual bool MouseMove(Qt::KeyboardModifiers, QPoint) { return false; }
    virtual bool MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, QPoint) { return false; }
    // direction is -1 or +1.
    virtual bool MouseWheel(Qt::KeyboardModifiers, int, QPoint) { return false; }
    // Keys are the platform-neutral virtual-key codes of VirtualKey().
    virtual bool KeyDown(int, Qt::KeyboardModifiers) { return false; }
    virtual bool KeyUp(int, Qt::KeyboardModifiers) { return false; }

    void SetVisible(bool value) override;
    // Repaints the control's device bounds.
    void Invalidate();
    // The mouse position in the view's client coordinates.
    QPoint CursorPosition() const;

private:
    friend class TQpGraphicsTool;
    TQpGraphicsTool* m_tool;
    TQpGraphicsView& m_view;
    bool m_active = false;
};

// The virtual-key code tools speak: letters and digits as their capitals, 32 space, 33-40 the
// page, end, home and arrow keys, 13 return, 27 escape, 46 delete, 187/189 the main keyboard's
// "=/+" and "-" keys (the keypad's are 107/109). 0 for keys without one.
int VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers);
