#include "documents/QpGraphicsView.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"
#include "framework/MainForm.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <map>

namespace {

std::map<int, QCursor>& CursorTable()
{
    static std::map<int, QCursor> table;
    return table;
}

// The hot spots of the cursor images, "name x y" per line.
bool HotSpot(const QString& name, int& x, int& y)
{
    QFile file(QStringLiteral(":/icons/cursors/hotspots.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!file.atEnd()) {
        const QStringList parts = QString::fromUtf8(file.readLine()).simplified().split(QLatin1Char(' '));
        if (parts.size() == 3 && parts[0] == name) {
            x = parts[1].toInt();
            y = parts[2].toInt();
            return true;
        }
    }
    return false;
}

// The reduction of the image at a zoom: the largest power of two not above
// source / target, at most 16; below a factor of 2 the image itself paints fast
// enough.
int ReductionOf(const TQpMapMode& mapMode)
{
    const int target = std::max(1, mapMode.TargetExtent().X);
    const int source = std::max(1, mapMode.SourceExtent().X);
    int factor = 1;
    while (factor < 16 && static_cast<long long>(factor) * 2 * target <= source)
        factor *= 2;
    return factor;
}

} // namespace

QCursor ApplicationCursor(int index)
{
    switch (index) {
    case kCursorNone:
        return QCursor(Qt::BlankCursor);
    case kCursorCross:
        return QCursor(Qt::CrossCursor);
    case kCursorSizeAll:
        return QCursor(Qt::SizeAllCursor);
    case kCursorSizeNESW:
        return QCursor(Qt::SizeBDiagCursor);
    case kCursorSizeNS:
        return QCursor(Qt::SizeVerCursor);
    case kCursorSizeNWSE:
        return QCursor(Qt::SizeFDiagCursor);
    case kCursorSizeWE:
        return QCursor(Qt::SizeHorCursor);
    default:
        break;
    }
    const auto found = CursorTable().find(index);
    return found != CursorTable().end() ? found->second : QCursor(Qt::ArrowCursor);
}

void InstallApplicationCursor(int index, const QString& resourceName)
{
    const QPixmap image(QStringLiteral(":/icons/cursors/%1.png").arg(resourceName));
    if (image.isNull()) {
        if (index == kCursorHand)
            CursorTable()[index] = QCursor(Qt::OpenHandCursor);
        return;
    }
    int x = -1;
    int y = -1;
    HotSpot(resourceName, x, y);
    CursorTable()[index] = QCursor(image, x, y);
}

TQpGraphicDocumentView::TQpGraphicDocumentView(TQpGraphicsDocument& document)
    : TQpViewObject(kVisible | kPaintsContent | kGenericPaint), m_document(document)
{
    SetBounds({0, 0, document.Width(), document.Height()});
}

TQpRect TQpGraphicDocumentView::ContentBounds(const TQpMapMode& mapMode) const
{
    return mapMode.SourceToTarget(TQpRect{0, 0, m_document.Width(), m_document.Height()});
}

int TQpGraphicDocumentView::ReductionFor(const TQpMapMode& mapMode) const
{
    return ReductionOf(mapMode);
}

void TQpGraphicDocumentView::GeometryChanged()
{
    SetBounds({0, 0, m_document.Width(), m_document.Height()});
    m_reduced = QImage();
    m_factor = 0;
    m_pending = TQpRect();
}

bool TQpGraphicDocumentView::EnsureReduced(int factor)
{
    const int width = m_document.Width();
    const int height = m_document.Height();
    if (m_factor == factor && m_reducedWidth == width && m_reducedHeight == height && !m_reduced.isNull()) {
        if (!m_pending.IsEmpty())
            Reduce(m_pending);
        m_pending = TQpRect();
        return true;
    }
    m_factor = 0;
    m_pending = TQpRect();
    const int reducedWidth = (width + factor - 1) / factor;
    const int reducedHeight = (height + factor - 1) / factor;
    m_reduced = QImage(reducedWidth, reducedHeight, QImage::Format_BGR888);
    if (m_reduced.isNull())
        return false;
    m_factor = factor;
    m_reducedWidth = width;
    m_reducedHeight = height;
    Reduce({0, 0, width, height});
    return true;
}

void TQpGraphicDocumentView::Reduce(const TQpRect& rect)
{
    const TQpPixels* pixels = m_document.CurrentPixels();
    if (!pixels || m_factor < 1 || pixels->Format != pfBGR24)
        return;
    const int k = m_factor;
    const TQpRect bounds = pixels->GetBounds();
    const TQpRect area = IntersectRect(rect, bounds);
    if (area.IsEmpty())
        return;
    // Whole cells of the reduced copy that the rectangle touches.
    const int cellLeft = area.Left / k;
    const int cellTop = area.Top / k;
    const int cellRight = (area.Right + k - 1) / k;
    const int cellBottom = (area.Bottom + k - 1) / k;
    const int cells = cellRight - cellLeft;
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(cells) * 3);
    for (int cy = cellTop; cy < cellBottom; ++cy) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int y0 = cy * k;
        const int y1 = std::min(y0 + k, bounds.Bottom);
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* row = pixels->PixelPtr(cellLeft * k, y);
            std::uint32_t* sum = sums.data();
            for (int cx = cellLeft; cx < cellRight; ++cx, sum += 3) {
                const int w = std::min((cx + 1) * k, bounds.Right) - cx * k;
                std::uint32_t b = 0, g = 0, r = 0;
                for (int i = 0; i < w; ++i, row += 3) {
                    b += row[0];
                    g += row[1];
                    r += row[2];
                }
                sum[0] += b;
                sum[1] += g;
                sum[2] += r;
            }
        }
        std::uint8_t* out = m_reduced.scanLine(cy) + static_cast<std::ptrdiff_t>(cellLeft) * 3;
        const std::uint32_t* sum = sums.data();
        for (int cx = cellLeft; cx < cellRight; ++cx, out += 3, sum += 3) {
            const int w = std::min((cx + 1) * k, bounds.Right) - cx * k;
            const std::uint32_t count = static_cast<std::uint32_t>(w) * static_cast<std::uint32_t>(y1 - y0);
            // Both hold blue, green, red in memory.
            out[0] = static_cast<std::uint8_t>((sum[0] + count / 2) / count);
            out[1] = static_cast<std::uint8_t>((sum[1] + count / 2) / count);
            out[2] = static_cast<std::uint8_t>((sum[2] + count / 2) / count);
        }
    }
}

void TQpGraphicDocumentView::ImageChanged(const TQpRect& rect)
{
    // Long operations report many small changes between two paints; the copy catches up once, when
    // it is drawn.
    if (m_factor > 0 && m_reducedWidth == m_document.Width() && m_reducedHeight == m_document.Height() &&
        !rect.IsEmpty())
        m_pending = UnionRect(m_pending, rect);
}

void TQpGraphicDocumentView::PaintContent(TQpViewCanvas& canvas)
{
    if (!canvas.Painter || m_document.Width() < 1 || m_document.Height() < 1)
        return;
    const TQpRect crop = m_document.CropRect();
    const TQpRect dest = canvas.MapMode.SourceToTarget(crop);
    if (dest.IsEmpty())
        return;
    const TQpRect clipBox = ToQpRect(canvas.Clip().boundingRect());
    const int factor = ReductionOf(canvas.MapMode);
    if (factor > 1 && EnsureReduced(factor)) {
        // The reduced copy's cells are factor x factor image pixels; the crop is
        // taken on whole cells.
        const TQpRect visible = IntersectRect(dest, clipBox);
        if (!visible.IsEmpty()) {
            const QRectF source(crop.Left / double(factor), crop.Top / double(factor),
                                crop.Width() / double(factor), crop.Height() / double(factor));
            const double scaleX = source.width() / dest.Width();
            const double scaleY = source.height() / dest.Height();
            // Only the part of the reduced copy that lands in the clip is handed to
            // the painter.
            const double sx0 = std::floor(source.left() + (visible.Left - dest.Left) * scaleX);
            const double sy0 = std::floor(source.top() + (visible.Top - dest.Top) * scaleY);
            const double sx1 = std::min<double>(
                m_reduced.width(), std::ceil(source.left() + (visible.Right - dest.Left) * scaleX));
            const double sy1 = std::min<double>(
                m_reduced.height(), std::ceil(source.top() + (visible.Bottom - dest.Top) * scaleY));
            if (sx1 > sx0 && sy1 > sy0) {
                const QRectF target(dest.Left + (sx0 - source.left()) / scaleX,
                                    dest.Top + (sy0 - source.top()) / scaleY, (sx1 - sx0) / scaleX,
                                    (sy1 - sy0) / scaleY);
                canvas.Painter->save();
                canvas.Painter->setClipRect(ToQRect(visible), Qt::IntersectClip);
                canvas.Painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
                canvas.Painter->drawImage(target, m_reduced, QRectF(sx0, sy0, sx1 - sx0, sy1 - sy0));
                canvas.Painter->restore();
            }
        }
    } else {
        m_document.CurrentImage().Paint(*canvas.Painter, dest, &clipBox, &crop);
    }
    canvas.ExcludeClip(ToQRect(dest));
}

TQpGraphicsView::TQpGraphicsView(TQpGraphicsDocument& document, QWidget* parent)
    : TQpScrollViewControl(parent), m_document(document)
{
    setFocusPolicy(Qt::StrongFocus);
    auto documentView = std::make_unique<TQpGraphicDocumentView>(document);
    documentView->SetVisible(false);
    m_documentView = documentView.get();
    AddObject(std::move(documentView));
    document.AddObserver(this);
}

TQpGraphicsView::~TQpGraphicsView()
{
    m_document.RemoveObserver(this);
}

void TQpGraphicsView::DocumentChanged(TQpDocument*)
{
    UpdateScrollRange();
}

TQpPoint TQpGraphicsView::ClientToImage(QPoint point) const
{
    return MapMode().TargetToSource(TQpPoint{point.x(), point.y()});
}

void TQpGraphicsView::SetZoom(int numerator, int denominator)
{
    if (numerator < 1 || denominator < 1)
        return;
    if (!m_inInitialZoom)
        m_initialZoomPending = false;
    const QRect client = ClientRect();
    const TQpPoint centre = ClientToImage(QPoint(client.width() / 2, client.height() / 2));
    MapMode().SetTargetExtent({numerator, numerator});
    MapMode().SetSourceExtent({denominator, denominator});
    CenterOn(centre);
    if (QpGraphicsEditor)
        QpGraphicsEditor->ShowZoom(static_cast<int>(std::lround(100.0 * numerator / denominator)));
    if (m_mouseInside) {
        const QPoint pointer = mapFromGlobal(QCursor::pos());
        ShowStatus(pointer);
    }
    UpdateCursor();
}

void TQpGraphicsView::ZoomIn()
{
    const TQpZoomStep step = NextZoomIn(MapMode().TargetExtent().X, MapMode().SourceExtent().X);
    SetZoom(step.Numerator, step.Denominator);
}

void TQpGraphicsView::ZoomOut()
{
    const TQpZoomStep step = NextZoomOut(MapMode().TargetExtent().X, MapMode().SourceExtent().X);
    SetZoom(step.Numerator, step.Denominator);
}

void TQpGraphicsView::ZoomAbout(bool in, QPoint client)
{
    const TQpPoint anchor = ClientToImage(client);
    const int numerator = MapMode().TargetExtent().X;
    const int denominator = MapMode().SourceExtent().X;
    const TQpZoomStep step = in ? NextZoomIn(numerator, denominator) : NextZoomOut(numerator, denominator);
    SetZoom(step.Numerator, step.Denominator);
    // The image point under the pointer stays under it.
    const QRect area = ClientRect();
    const double scale = static_cast<double>(step.Denominator) / step.Numerator;
    const double x = anchor.X + (area.width() / 2.0 - client.x()) * scale;
    const double y = anchor.Y + (area.height() / 2.0 - client.y()) * scale;
    CenterOn({static_cast<int>(std::lround(std::clamp(x, -1e6, 1e6))),
              static_cast<int>(std::lround(std::clamp(y, -1e6, 1e6)))});
}

void TQpGraphicsView::ActualSize()
{
    SetZoom(1, 1);
}

void TQpGraphicsView::BestFit()
{
    // The scroll bars are always shown here, so the image is fitted into what they leave free; the
    // whole control would put a bar's width of the image under the bars.
    const QRect client = ClientRect();
    const int viewWidth = client.width();
    const int viewHeight = client.height();
    const int imageWidth = m_document.Width();
    const int imageHeight = m_document.Height();
    if (viewWidth < 1 || viewHeight < 1 || imageWidth < 1 || imageHeight < 1)
        return;
    // H / Hv >= W / Wv without division.
    if (static_cast<long long>(imageHeight) * viewWidth >= static_cast<long long>(imageWidth) * viewHeight)
        SetZoom(viewHeight, imageHeight);
    else
        SetZoom(viewWidth, imageWidth);
}

void TQpGraphicsView::InitialZoom()
{
    m_inInitialZoom = true;
    const QRect client = ClientRect();
    if (client.width() >= m_document.Width() && client.height() >= m_document.Height())
        ActualSize();
    else
        BestFit();
    m_inInitialZoom = false;
    m_initialZoomPending = true;
}

void TQpGraphicsView::resizeEvent(QResizeEvent* event)
{
    TQpScrollViewControl::resizeEvent(event);
    if (m_initialZoomPending)
        InitialZoom();
}

void TQpGraphicsView::InvalidateImageRect(const TQpRect& rect)
{
    m_documentView->ImageChanged(rect);
    const TQpRect mapped = MapMode().SourceToTarget(rect);
    InvalidateDeviceRect({mapped.Left - 1, mapped.Top - 1, mapped.Right + 1, mapped.Bottom + 1});
}

void TQpGraphicsView::GeometryChanged()
{
    m_documentView->GeometryChanged();
    UpdateScrollRange();
}

template <class Handler> bool TQpGraphicsView::Dispatch(Handler handler)
{
    // A handler may add or remove objects; walk a snapshot and skip what has
    // gone.
    std::vector<TQpGraphicsToolControl*> controls;
    for (const auto& object : Objects())
        if (auto* control = dynamic_cast<TQpGraphicsToolControl*>(object.get()))
            controls.push_back(control);
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        const bool present =
            std::any_of(Objects().begin(), Objects().end(),
                        [control = *it](const auto& object) { return object.get() == control; });
        if (present && handler(**it))
            return true;
    }
    return false;
}

void TQpGraphicsView::Enter()
{
    if (m_mouseInside)
        return;
    m_mouseInside = true;
    Dispatch([](TQpGraphicsToolControl& control) {
        control.MouseEnter();
        return false;
    });
    if (MainForm && MainForm->isActiveWindow() && !hasFocus())
        setFocus(Qt::MouseFocusReason);
}

void TQpGraphicsView::Leave()
{
    if (!m_mouseInside)
        return;
    m_mouseInside = false;
    Dispatch([](TQpGraphicsToolControl& control) {
        control.MouseLeave();
        return false;
    });
}

void TQpGraphicsView::ShowStatus(QPoint point)
{
    if (!QpGraphicsEditor)
        return;
    const TQpPoint image = ClientToImage(point);
    int red = 0;
    int green = 0;
    int blue = 0;
    const TQpPixels* pixels = m_document.CurrentPixels();
    if (pixels && image.X >= 0 && image.Y >= 0 && image.X < pixels->Width && image.Y < pixels->Height) {
        const std::uint8_t* p = pixels->PixelPtr(image.X, image.Y);
        blue = p[0];
        green = p[1];
        red = p[2];
        // Marks and overlays are drawn into the pixels; the status names the photo's colour beneath.
        for (const TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
            if (tool->PhotoColor(&m_document, image, red, green, blue))
                break;
    }
    QpGraphicsEditor->ShowPointerStatus(image.X, image.Y, red, green, blue);
}

void TQpGraphicsView::UpdateCursor()
{
    const QPoint point = mapFromGlobal(QCursor::pos());
    int cursor = kCursorDefault;
    const Qt::KeyboardModifiers modifiers = QApplication::keyboardModifiers();
    Dispatch([&](TQpGraphicsToolControl& control) { return control.SetCursor(modifiers, point, cursor); });
    setCursor(ApplicationCursor(cursor));
}

void TQpGraphicsView::RecordButton(bool down, Qt::MouseButton button, QPoint point)
{
    IQpDemoPlayer* recorder = QpGraphicsEditor ? QpGraphicsEditor->DemoRecorder() : nullptr;
    if (!recorder || (button != Qt::LeftButton && button != Qt::RightButton))
        return;
    const TQpPoint image = ClientToImage(point);
    const QString at = QStringLiteral("Image, %1, %2").arg(image.X).arg(image.Y);
    const bool right = button == Qt::RightButton;
    if (down) {
        recorder->RecordLine(
            (m_recordingDrag ? QStringLiteral("MouseMove ") : QStringLiteral("MouseCurvedMove ")) + at);
        if (recorder->ShowMessages())
            recorder->RecordLine(QStringLiteral("Message \"Click\""));
        recorder->RecordLine((right ? QStringLiteral("MouseRightDown ") : QStringLiteral("MouseDown ")) + at);
        m_recordingDrag = true;
        m_lastRecorded = image;
    } else {
        recorder->RecordLine((right ? QStringLiteral("MouseRightUp ") : QStringLiteral("MouseUp ")) + at);
        m_recordingDrag = false;
        recorder->RecordLine(QStringLiteral("Pause 0.5"));
    }
}

void TQpGraphicsView::mousePressEvent(QMouseEvent* event)
{
    m_initialZoomPending = false;
    const QPoint point = event->position().toPoint();
    RecordButton(true, event->button(), point);
    const Qt::MouseButton button = event->button();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    Dispatch([&](TQpGraphicsToolControl& control) { return control.MouseDown(button, modifiers, point); });
}

void TQpGraphicsView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (!ClientRect().contains(point) && !(event->buttons() & (Qt::LeftButton | Qt::RightButton))) {
        Leave();
        return;
    }
    Enter();
    ShowStatus(point);
    if (m_recordingDrag) {
        if (IQpDemoPlayer* recorder = QpGraphicsEditor ? QpGraphicsEditor->DemoRecorder() : nullptr) {
            const TQpPoint image = ClientToImage(point);
            if (!(image == m_lastRecorded)) {
                recorder->RecordLine(QStringLiteral("MouseTo Image, %1, %2").arg(image.X).arg(image.Y));
                m_lastRecorded = image;
            }
        }
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    Dispatch([&](TQpGraphicsToolControl& control) { return control.MouseMove(modifiers, point); });
    UpdateCursor();
}

void TQpGraphicsView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (m_recordingDrag)
        RecordButton(false, event->button(), point);
    const Qt::MouseButton button = event->button();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    Dispatch([&](TQpGraphicsToolControl& control) { return control.MouseUp(button, modifiers, point); });
}

bool TQpGraphicsView::MouseWheel(int delta, Qt::KeyboardModifiers modifiers, QPoint globalPoint)
{
    const QPoint point = mapFromGlobal(globalPoint);
    const int direction = delta < 1 ? -1 : 1;
    return Dispatch(
        [&](TQpGraphicsToolControl& control) { return control.MouseWheel(modifiers, direction, point); });
}

void TQpGraphicsView::wheelEvent(QWheelEvent* event)
{
    m_initialZoomPending = false;
    const int delta = event->angleDelta().y();
    // Ctrl+wheel zooms about the pointer for every tool; the plain wheel stays the tools'.
    if ((event->modifiers() & Qt::ControlModifier) && delta != 0) {
        ZoomAbout(delta > 0, event->position().toPoint());
        event->accept();
        return;
    }
    if (MouseWheel(delta, event->modifiers(), event->globalPosition().toPoint())) {
        event->accept();
        return;
    }
    // Nobody took it: the wheel scrolls, as the scroll bars would.
    const int steps = delta / 120 * 3 * kLineStep;
    if (event->modifiers() & Qt::ShiftModifier)
        ScrollByClamped(steps, 0);
    else
        ScrollByClamped(0, steps);
    event->accept();
}

void TQpGraphicsView::keyPressEvent(QKeyEvent* event)
{
    m_initialZoomPending = false;
    const int key = VirtualKey(event->key(), event->modifiers());
    if (key == 0 || (event->isAutoRepeat() && key == 32)) {
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!Dispatch([&](TQpGraphicsToolControl& control) { return control.KeyDown(key, modifiers); }))
        TQpScrollViewControl::keyPressEvent(event);
}

void TQpGraphicsView::keyReleaseEvent(QKeyEvent* event)
{
    const int key = VirtualKey(event->key(), event->modifiers());
    if (key == 0 || event->isAutoRepeat()) {
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!Dispatch([&](TQpGraphicsToolControl& control) { return control.KeyUp(key, modifiers); }))
        TQpScrollViewControl::keyReleaseEvent(event);
}

void TQpGraphicsView::enterEvent(QEnterEvent* event)
{
    TQpScrollViewControl::enterEvent(event);
}

void TQpGraphicsView::leaveEvent(QEvent* event)
{
    Leave();
    TQpScrollViewControl::leaveEvent(event);
}
