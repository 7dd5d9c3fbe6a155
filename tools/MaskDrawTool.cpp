#include "tools/MaskDrawTool.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsView.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"

#include <algorithm>
#include <cmath>

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

namespace {
// A jump across the largest image with the smallest brush stays well below this.
constexpr double kMaxJoinDabs = 200000;
} // namespace

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
    const TQpPoint to = View().ClientToImage(point);
    if (Drawing())
        JoinTo(to, tool->Size());
    MoveBrush(to);
    if (Drawing())
        ApplyStroke();
    return true;
}

void TQpMaskDrawToolControl::JoinTo(TQpPoint to, int size)
{
    // Motion events come farther apart than the brush when the pointer is fast; dabs at most a quarter
    // of the brush apart make the stroke a line.
    const double spacing = std::max(1, size / 4);
    const double dx = static_cast<double>(to.X) - BrushX();
    const double dy = static_cast<double>(to.Y) - BrushY();
    const double steps = std::min(std::ceil(std::hypot(dx, dy) / spacing), kMaxJoinDabs);
    const TQpPoint from{BrushX(), BrushY()};
    for (int k = 1; k < static_cast<int>(steps); ++k) {
        const double t = k / steps;
        MoveBrush(
            {from.X + static_cast<int>(std::lround(dx * t)), from.Y + static_cast<int>(std::lround(dy * t))});
        ApplyStroke();
    }
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
    if (Drawing() && Tag == 0)
        return true;
    const int before = tool->Size();
    tool->SetSize(before + direction);
    if (tool->Size() != before && MainForm)
        MainForm->ShowStatusMessage(LocalizedString(154, QStringLiteral("Size")) + QStringLiteral(": ") +
                                    QString::number(tool->Size()));
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
