#include "documents/QpGraphicsToolControl.h"

#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsView.h"

#include <QCursor>

TQpGraphicsToolControl::TQpGraphicsToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view)
    : TQpViewObject(kPaintsOverlay | kOutsideScrollRange), m_tool(&tool), m_view(view)
{
    tool.AddControl(this);
    Initialize();
}

TQpGraphicsToolControl::~TQpGraphicsToolControl()
{
    if (m_tool)
        m_tool->RemoveControl(this);
}

void TQpGraphicsToolControl::Activate()
{
    m_active = true;
    if (m_view.MouseInside())
        MouseEnter();
    Invalidate();
    m_view.UpdateCursor();
}

void TQpGraphicsToolControl::Deactivate()
{
    m_active = false;
    Invalidate();
}

void TQpGraphicsToolControl::SetVisible(bool value)
{
    const bool changed = ((Flags() & kVisible) != 0) != value;
    TQpViewObject::SetVisible(value);
    if (changed)
        Invalidate();
}

void TQpGraphicsToolControl::Invalidate()
{
    m_view.InvalidateDeviceRect(DeviceBounds(m_view.MapMode()));
}

QPoint TQpGraphicsToolControl::CursorPosition() const
{
    return m_view.mapFromGlobal(QCursor::pos());
}

int VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
    const bool keypad = modifiers & Qt::KeypadModifier;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return keypad ? 96 + (qtKey - Qt::Key_0) : '0' + (qtKey - Qt::Key_0);
    switch (qtKey) {
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return keypad ? 107 : 187;
    case Qt::Key_Minus:
        return keypad ? 109 : 189;
    default:
        return 0;
    }
}
