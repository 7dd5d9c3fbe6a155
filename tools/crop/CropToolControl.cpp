// The crop tool's presence in a view: drawing, moving and sizing the rectangle, and painting it with the
// outside darkened and its handles.

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "tools/crop/CropTool.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

namespace {

// Which corner the pointer is at from the press point: the one the ratio is held from.
int CornerCode(TQpPoint press, TQpPoint pointer)
{
    if (pointer.X > press.X)
        return pointer.Y > press.Y ? 7 : 5;
    return pointer.Y > press.Y ? 9 : 11;
}

TQpRect Normalised(TQpPoint a, TQpPoint b)
{
    return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
}

// The start rectangle's edges moved by d for handle `code`, not normalised.
TQpRect MoveEdges(TQpRect r, int code, int dx, int dy)
{
    if (code == 4 || code == 5 || code == 11)
        r.Top += dy;
    if (code == 5 || code == 6 || code == 7)
        r.Right += dx;
    if (code == 7 || code == 8 || code == 9)
        r.Bottom += dy;
    if (code == 9 || code == 10 || code == 11)
        r.Left += dx;
    return r;
}

// Every channel c becomes c - (c * 92) div 256.
void Darken(TQpPixels& pixels, const TQpRect& rect)
{
    const TQpRect r = IntersectRect(rect, pixels.GetBounds());
    for (int y = r.Top; y < r.Bottom; ++y) {
        std::uint8_t* p = pixels.PixelPtr(r.Left, y);
        for (int x = r.Left; x < r.Right; ++x, p += pixels.BytesPerPixel)
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(p[c] - (p[c] * 92) / 256);
    }
}

} // namespace

TQpCrop2PlusToolControl::TQpCrop2PlusToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view)
    : TQpGraphicsToolControl(tool, view)
{
}

TQpCrop2PlusTool& TQpCrop2PlusToolControl::CropTool() const
{
    return static_cast<TQpCrop2PlusTool&>(*Tool());
}

TQpRect TQpCrop2PlusToolControl::ImageBounds() const
{
    return View().Document().CropRect();
}

TQpRect TQpCrop2PlusToolControl::ViewRect() const
{
    return View().MapMode().SourceToTarget(CropTool().CropRect());
}

void TQpCrop2PlusToolControl::Reset()
{
    m_state = kIdle;
    View().update();
}

bool TQpCrop2PlusToolControl::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, QPoint point)
{
    if (!Tool() || !Active())
        return false;
    const TQpPoint at = View().ClientToImage(point);
    const TQpRect image = ImageBounds();
    if (m_state == kIdle) {
        if (at.X < image.Left || at.Y < image.Top || at.X >= image.Right || at.Y >= image.Bottom)
            return true; // a press outside the image starts nothing
        if (QpGraphicsEditor)
            QpGraphicsEditor->LockTool();
        m_press = at;
        CropTool().SetCropRect({at.X, at.Y, at.X + 1, at.Y + 1});
        m_state = kDrawing;
        View().update();
        return true;
    }
    if (m_state == kPlaced) {
        m_hit = CropHitCode(ViewRect(), point);
        if (m_hit > 2) {
            m_press = at;
            m_start = CropTool().CropRect();
            m_state = kDragging;
            View().update();
        }
    }
    return true;
}

bool TQpCrop2PlusToolControl::MouseMove(Qt::KeyboardModifiers, QPoint point)
{
    if (!Tool() || !Active() || (m_state != kDrawing && m_state != kDragging))
        return false;
    TQpCrop2PlusTool& tool = CropTool();
    const TQpPoint at = View().ClientToImage(point);
    const TQpRect image = ImageBounds();
    const TQpRect current = tool.CropRect();
    TQpRect next = current;
    if (m_state == kDrawing) {
        next = HoldToRatio(Normalised(m_press, at), tool.Ratio(), CornerCode(m_press, at));
        if (!Contains(image, next))
            next = current;
        next = IntersectRect(next, image);
    } else if (m_hit == 3) {
        const int w = m_start.Width(), h = m_start.Height();
        const int left = std::clamp(m_start.Left + at.X - m_press.X, image.Left, image.Right - w);
        const int top = std::clamp(m_start.Top + at.Y - m_press.Y, image.Top, image.Bottom - h);
        next = {left, top, left + w, top + h};
    } else if (m_hit > 3) {
        next =
            HoldToRatio(MoveEdges(m_start, m_hit, at.X - m_press.X, at.Y - m_press.Y), tool.Ratio(), m_hit);
        if (!Contains(image, next))
            next = current;
        next = IntersectRect(next, image);
        if (next.IsEmpty())
            next = current; // a drag that would empty it is ignored
    }
    if (next != current) {
        tool.SetCropRect(next);
        View().update();
    }
    tool.ShowRectSize();
    return true;
}

bool TQpCrop2PlusToolControl::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint point)
{
    if (!Tool() || !Active())
        return false;
    TQpCrop2PlusTool& tool = CropTool();
    if (m_state == kPlaced && CropHitCode(ViewRect(), point) == 0) {
        if (button == Qt::LeftButton) {
            tool.Record(QStringLiteral("CropPerform"));
            tool.CropCurrent();
        } else if (button == Qt::RightButton) {
            tool.Record(QStringLiteral("CropCancel"));
            tool.CancelDocumentEdit();
        }
        return true;
    }
    if (m_state == kDrawing || m_state == kDragging) {
        m_state = kPlaced;
        View().update();
    }
    return true;
}

bool TQpCrop2PlusToolControl::KeyDown(int key, Qt::KeyboardModifiers)
{
    if (!Tool() || !Active() || m_state == kIdle)
        return false;
    if (key == 27) {
        CropTool().Record(QStringLiteral("CropCancel"));
        CropTool().CancelDocumentEdit();
    } else if (key == 13) {
        CropTool().Record(QStringLiteral("CropPerform"));
        CropTool().CropCurrent();
    }
    return true;
}

bool TQpCrop2PlusToolControl::SetCursor(Qt::KeyboardModifiers, QPoint point, int& cursor)
{
    if (!Tool() || !Active())
        return false;
    if (m_state == kIdle) {
        cursor = kCursorCross;
        return true;
    }
    if (m_state != kPlaced)
        return false;
    switch (CropHitCode(ViewRect(), point)) {
    case 3:
        cursor = kCursorSizeAll;
        return true;
    case 5:
    case 9:
        cursor = kCursorSizeNESW;
        return true;
    case 6:
    case 10:
        cursor = kCursorSizeWE;
        return true;
    case 7:
    case 11:
        cursor = kCursorSizeNWSE;
        return true;
    case 4:
    case 8:
        cursor = kCursorSizeNS;
        return true;
    default:
        return false;
    }
}

TQpRect TQpCrop2PlusToolControl::OverlayBounds(const TQpMapMode& mapMode) const
{
    const TQpRect bounds = mapMode.SourceToTarget(ImageBounds());
    return m_state == kPlaced ? Grown(bounds, 5) : bounds;
}

void TQpCrop2PlusToolControl::PaintOverlay(TQpViewCanvas& canvas)
{
    if (!Tool() || m_state == kIdle || !canvas.Painter)
        return;
    const TQpRect rect = canvas.MapMode.SourceToTarget(CropTool().CropRect());
    if (rect.IsEmpty())
        return;
    if (m_state == kPlaced || m_state == kDragging) {
        const TQpRect image = canvas.MapMode.SourceToTarget(ImageBounds());
        const TQpRect bands[4] = {{image.Left, image.Top, image.Right, rect.Top},
                                  {image.Left, rect.Top, rect.Left, rect.Bottom},
                                  {rect.Right, rect.Top, image.Right, rect.Bottom},
                                  {image.Left, rect.Bottom, image.Right, image.Bottom}};
        for (const TQpRect& band : bands)
            Darken(canvas.Pixels, IntersectRect(band, image));
    }
    QPainter& painter = *canvas.Painter;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Black "not xor" the destination inverts it, visible on any picture.
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    if (m_state == kPlaced)
        for (int code = 4; code <= 11; ++code) {
            const QPoint h = CropHandlePoint(rect, code);
            painter.fillRect(QRect(h.x() - 4, h.y() - 4, 9, 9), Qt::black);
            painter.fillRect(QRect(h.x() - 3, h.y() - 3, 7, 7), Qt::black);
        }
    QPen dotted(Qt::black, 0, Qt::DotLine);
    dotted.setCosmetic(true);
    painter.setPen(dotted);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(rect.Left, rect.Top, rect.Width() - 1, rect.Height() - 1));
    painter.restore();
}
