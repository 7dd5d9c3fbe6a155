#include "tools/separation/SeparationToolControl.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsView.h"
#include "tools/separation/SeparationTool.h"

namespace {

// The cursor sets the tool installs: fills and brushes, one cursor per area.
constexpr int kFillCursors = 5;
constexpr int kBrushCursors = 9;

} // namespace

TQpSeparationTool* TQpSeparationToolControl::SeparationTool() const
{
    return dynamic_cast<TQpSeparationTool*>(Tool());
}

void TQpSeparationToolControl::PaintOverlay(TQpViewCanvas& canvas)
{
    TQpSeparationTool* tool = SeparationTool();
    if (tool && tool->Regime() != TQpSeparationTool::kEffect)
        TQpBrushToolControl::PaintOverlay(canvas);
}

bool TQpSeparationToolControl::SetCursor(Qt::KeyboardModifiers shift, QPoint point, int& cursor)
{
    TQpSeparationTool* tool = SeparationTool();
    if (!tool || !Active())
        return TQpBrushToolControl::SetCursor(shift, point, cursor);
    if (tool->FillMode())
        cursor = kFillCursors + tool->Area();
    else if (tool->Regime() == TQpSeparationTool::kEffect)
        cursor = kCursorDefault;
    else
        cursor = kBrushCursors + tool->Area();
    return true;
}

bool TQpSeparationToolControl::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point)
{
    TQpSeparationTool* tool = SeparationTool();
    if (!tool || !Active() || button != Qt::RightButton)
        return TQpBrushToolControl::MouseDown(button, shift, point);
    // The right button switches between the areas the regime offers.
    const int area = tool->Area();
    switch (tool->Regime()) {
    case TQpSeparationTool::kEdge:
        if (area == TQpSeparationTool::kCleaning)
            tool->SetArea(TQpSeparationTool::kUnknown);
        else if (area == TQpSeparationTool::kUnknown)
            tool->SetArea(TQpSeparationTool::kCleaning);
        break;
    case TQpSeparationTool::kFull:
        if (area == TQpSeparationTool::kCleaning)
            tool->SetArea(TQpSeparationTool::kObject);
        else if (area == TQpSeparationTool::kObject)
            tool->SetArea(TQpSeparationTool::kBackground);
        else if (area == TQpSeparationTool::kBackground)
            tool->SetArea(TQpSeparationTool::kCleaning);
        break;
    default:
        break;
    }
    return true;
}

bool TQpSeparationToolControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point)
{
    TQpSeparationTool* tool = SeparationTool();
    if (!tool || !Active() || !tool->FillMode())
        return TQpBrushToolControl::MouseUp(button, shift, point);
    if (button == Qt::LeftButton) {
        const TQpPoint centre{BrushX(), BrushY()};
        const TQpRect crop = View().Document().CropRect();
        if (centre.X >= crop.Left && centre.X < crop.Right && centre.Y >= crop.Top && centre.Y < crop.Bottom)
            tool->FillAt(centre);
    }
    tool->SetFillMode(false);
    return true;
}
