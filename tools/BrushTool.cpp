#include "tools/BrushTool.h"

#include "documents/QpGraphicsView.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

TQpBrushTool::TQpBrushTool()
    : m_hardness(*this, {"Hardness", 0, 0, 255, 128, TQpToolSetting::TKind::Integer,
                         TQpToolSetting::TOutOfRange::Ignore, TQpToolSetting::TRecording::LineOnly,
                         TQpToolSetting::TMissing::Keep})
{
    m_hardness.OnChanged = [this] { BuildMask(); };
    SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
        return std::make_unique<TQpBrushToolControl>(tool, view);
    });
}

TQpBrushTool::~TQpBrushTool() = default;

TQpDemoWords TQpBrushTool::SettingWords()
{
    TQpDemoWords words = TQpMaskDrawTool::SettingWords();
    words.push_back(m_hardness.Word());
    return words;
}

void TQpBrushToolControl::PaintOverlay(TQpViewCanvas& canvas)
{
    TQpDrawTool* tool = DrawTool();
    if (!tool || !canvas.Painter)
        return;
    const TQpMapMode& mapMode = canvas.MapMode;
    const TQpRect centre = mapMode.SourceToTarget(TQpRect{BrushX(), BrushY(), BrushX() + 1, BrushY() + 1});
    const int cx = (centre.Left + centre.Right) / 2;
    const int cy = (centre.Top + centre.Bottom) / 2;
    const TQpRect extent = mapMode.SourceToTarget(TQpRect{0, 0, tool->Size(), tool->Size()});
    TQpRect outline{cx, cy, cx + 1, cy + 1};
    if (!extent.IsEmpty()) {
        const int width = extent.Width();
        const int height = extent.Height();
        outline = {cx - width / 2, cy - height / 2, cx - width / 2 + width, cy - height / 2 + height};
    }
    outline = Grown(outline, 1);

    // Black "not xor" the destination inverts it: visible on any background, gone when drawn again.
    QPainter& painter = *canvas.Painter;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    QPen pen(Qt::black);
    pen.setWidth(0);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRect(outline.Left, outline.Top, outline.Width() - 1, outline.Height() - 1));
    painter.restore();
}

TQpRect TQpBrushToolControl::OverlayBounds(const TQpMapMode& mapMode) const
{
    TQpRect bounds = TQpMaskDrawToolControl::OverlayBounds(mapMode);
    bounds.Right = std::max(bounds.Right, bounds.Left + 1);
    bounds.Bottom = std::max(bounds.Bottom, bounds.Top + 1);
    return Grown(bounds, 2);
}
