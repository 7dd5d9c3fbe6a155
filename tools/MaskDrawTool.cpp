#include "tools/MaskDrawTool.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsView.h"

namespace {

// Every brush of the program has this peak and hardness, whatever the settings say.
constexpr int kBrushPeak = 255;
constexpr int kBrushHardness = 160;

constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;
constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;

} // namespace

TQpMaskDrawTool::TQpMaskDrawTool()
{
    BuildMask();
}

TQpMaskDrawTool::~TQpMaskDrawTool() = default;

void TQpMaskDrawTool::BuildMask()
{
    BuildSoftBrushMask(m_mask, Size(), kBrushPeak, kBrushHardness);
}

void TQpMaskDrawTool::SizeChanged()
{
    BuildMask();
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* control = dynamic_cast<TQpMaskDrawToolControl*>(Controls(i)))
            control->MoveBrush({control->BrushX(), control->BrushY()});
}

void TQpMaskDrawTool::OpacityChanged()
{
    BuildMask();
}

void TQpMaskDrawTool::ApplyAt(const TQpRect& rect)
{
    // Between dabs the mask rests at the origin, whatever ApplyRect does.
    struct TBackToOrigin
    {
        TQpPixelMask& mask;
        ~TBackToOrigin()
        {
            mask.Left = 0;
            mask.Top = 0;
        }
    } backToOrigin{m_mask};
    m_mask.Left = rect.Left;
    m_mask.Top = rect.Top;
    TQpDrawTool::ApplyAt(rect);
}

TQpMaskDrawToolControl::TQpMaskDrawToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view)
    : TQpDrawToolControl(tool, view)
{
}

TQpMaskDrawTool* TQpMaskDrawToolControl::MaskDrawTool() const
{
    return dynamic_cast<TQpMaskDrawTool*>(Tool());
}

void TQpMaskDrawToolControl::MoveBrush(TQpPoint point)
{
    m_x = point.X;
    m_y = point.Y;
    if (TQpDrawTool* tool = DrawTool())
        SetBounds(BrushRect(point.X, point.Y, tool->Size()));
}

void TQpMaskDrawToolControl::Activate()
{
    MoveBrush(View().ClientToImage(CursorPosition()));
    TQpDrawToolControl::Activate();
}

bool TQpMaskDrawToolControl::SetCursor(Qt::KeyboardModifiers, QPoint, int& cursor)
{
    if (!Active())
        return false;
    cursor = kCursorNone;
    return true;
}

bool TQpMaskDrawToolControl::MouseEnter()
{
    if (!Active())
        return false;
    SetVisible(true);
    return true;
}

bool TQpMaskDrawToolControl::MouseLeave()
{
    if (!Active())
        return false;
    SetVisible(false);
    return true;
}

bool TQpMaskDrawToolControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point)
{
    TQpMaskDrawTool* tool = MaskDrawTool();
    if (!Active() || !tool)
        return false;
    // Only this button held: the previous stroke's release went elsewhere.
    if (Drawing() && HeldButtons() == Qt::MouseButtons(button))
        EndStroke();
    SetHeldButtons(HeldButtons() | button);
    tool->SetShift(shift);
    // The dab goes where the button went down, even without a move to it first.
    const TQpPoint at = View().ClientToImage(point);
    if (at.X != BrushX() || at.Y != BrushY())
        MoveBrush(at);
    switch (tool->DrawMode()) {
    case TQpDrawTool::kDabOnPress:
        if (BeginStroke(button, shift)) {
            ApplyStroke();
            EndStroke();
        }
        break;
    case TQpDrawTool::kContinuous:
        if (BeginStroke(button, shift))
            ApplyStroke();
        break;
    case TQpDrawTool::kDabOnRelease:
        break;
    }
    return true;
}

bool TQpMaskDrawToolControl::MouseMove(Qt::KeyboardModifiers shift, QPoint point)
{
    TQpMaskDrawTool* tool = MaskDrawTool();
    if (!Active() || !tool)
        return false;
    if (Drawing() && !(HeldButtons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)))
        EndStroke();
    tool->SetShift(shift);
    MoveBrush(View().ClientToImage(point));
    if (Drawing())
        ApplyStroke();
    return true;
}

bool TQpMaskDrawToolControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point)
{
    TQpMaskDrawTool* tool = MaskDrawTool();
    if (!Active() || !tool)
        return false;
    SetHeldButtons(HeldButtons() & ~Qt::MouseButtons(button));
    switch (tool->DrawMode()) {
    case TQpDrawTool::kDabOnRelease: {
        tool->SetShift(shift);
        const TQpPoint at = View().ClientToImage(point);
        if (at.X != BrushX() || at.Y != BrushY())
            MoveBrush(at);
        if (BeginStroke(button, shift)) {
            ApplyStroke();
            EndStroke();
        }
        break;
    }
    case TQpDrawTool::kContinuous:
        if (Drawing())
            EndStroke();
        break;
    case TQpDrawTool::kDabOnPress:
        break;
    }
    return true;
}

bool TQpMaskDrawToolControl::MouseWheel(Qt::KeyboardModifiers, int direction, QPoint)
{
    TQpMaskDrawTool* tool = MaskDrawTool();
    if (!Active() || !tool)
        return false;
    // Consumed even while drawing, so that the view does not scroll under a running stroke.
    if (!Drawing() || Tag != 0)
        tool->SetSize(tool->Size() + direction);
    return true;
}

bool TQpMaskDrawToolControl::KeyDown(int key, Qt::KeyboardModifiers)
{
    TQpMaskDrawTool* tool = MaskDrawTool();
    if (!Active() || !tool)
        return false;
    switch (key) {
    case kKeyPageUp:
    case kKeyUp:
    case kKeyRight:
        tool->SetSize(tool->Size() + 1);
        return true;
    case kKeyPageDown:
    case kKeyLeft:
    case kKeyDown:
        tool->SetSize(tool->Size() - 1);
        return true;
    default:
        return false;
    }
}
