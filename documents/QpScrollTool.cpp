#include "documents/QpScrollTool.h"

#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"

#include <algorithm>

TQpScrollTool* QpScrollTool = nullptr;

namespace {
constexpr int kSpaceKey = 32;
constexpr int kPlusKey = 187;
constexpr int kMinusKey = 189;
} // namespace

TQpScrollTool::TQpScrollTool()
{
    if (!QpScrollTool)
        QpScrollTool = this;
    CreateToolButton(QStringLiteral("Scroll"), nullptr);
    // Moving the view changes nothing of the image, so the host's image may be looked over as well.
    SetVisibleInPlugInMode(true);
    SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
        return std::make_unique<TQpScrollToolControl>(tool, view);
    });
}

TQpScrollTool::~TQpScrollTool()
{
    if (QpScrollTool == this)
        QpScrollTool = nullptr;
}

bool TQpScrollToolControl::SetCursor(Qt::KeyboardModifiers, QPoint, int& cursor)
{
    if (!Active())
        return false;
    cursor = kCursorHand;
    return true;
}

bool TQpScrollToolControl::KeyDown(int key, Qt::KeyboardModifiers)
{
    if (!QpGraphicsEditor || !Tool())
        return false;
    if (key == kPlusKey || key == kMinusKey) {
        if (key == kPlusKey)
            QpGraphicsEditor->ZoomIn();
        else
            QpGraphicsEditor->ZoomOut();
        return false;
    }
    if (key == kSpaceKey && !Active()) {
        if (!QpGraphicsEditor->CanActivateTool(Tool()))
            return false;
        m_returnTool = QpGraphicsEditor->ActiveTool();
        QpGraphicsEditor->SetActiveTool(Tool());
        return true;
    }
    return false;
}

bool TQpScrollToolControl::KeyUp(int key, Qt::KeyboardModifiers)
{
    if (key != kSpaceKey || !Active() || !QpGraphicsEditor)
        return false;
    TQpGraphicsTool* back = m_returnTool;
    m_returnTool = nullptr;
    // The remembered tool may have gone meanwhile; it is one of the application's
    // tools or nothing.
    const auto tools = TQpGraphicsEditor::Tools();
    if (back && std::find(tools.begin(), tools.end(), back) == tools.end())
        back = nullptr;
    QpGraphicsEditor->SetActiveTool(back);
    return true;
}

bool TQpScrollToolControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint point)
{
    if (!Active() || button != Qt::LeftButton)
        return false;
    m_dragging = true;
    m_lastPoint = point;
    return true;
}

bool TQpScrollToolControl::MouseMove(Qt::KeyboardModifiers, QPoint point)
{
    if (!Active() || !m_dragging)
        return false;
    const QPoint delta = point - m_lastPoint;
    const TQpPoint before = View().MapMode().TargetOrigin();
    View().ScrollByClamped(delta.x(), delta.y());
    const TQpPoint after = View().MapMode().TargetOrigin();
    // The content moved under the pointer by what the clamp allowed.
    m_lastPoint += QPoint(after.X - before.X, after.Y - before.Y);
    return true;
}

bool TQpScrollToolControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint)
{
    if (!m_dragging || button != Qt::LeftButton)
        return false;
    m_dragging = false;
    return true;
}

void TQpScrollToolControl::Deactivate()
{
    m_dragging = false;
    TQpGraphicsToolControl::Deactivate();
}
