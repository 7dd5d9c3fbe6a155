#include "documents/QpViewControl.h"

#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <array>
#include <cmath>

QRect ToQRect(const TQpRect& rect)
{
    return QRect(rect.Left, rect.Top, rect.Width(), rect.Height());
}

TQpRect ToQpRect(const QRect& rect)
{
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

namespace {

bool Overlaps(const TQpRect& a, const TQpRect& b)
{
    return !IntersectRect(a, b).IsEmpty();
}

bool Contains(const TQpRect& r, TQpPoint p)
{
    return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}

constexpr std::array<TQpZoomStep, 21> kZoomSteps{
    {{1, 16}, {1, 12}, {1, 8}, {1, 7}, {1, 6}, {1, 5}, {1, 4}, {1, 3}, {1, 2},  {3, 4}, {1, 1},
     {3, 2},  {2, 1},  {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {12, 1}, {16, 1}}};

long PerMille(int numerator, int denominator)
{
    return std::lrint(1000.0 * numerator / std::max(denominator, 1));
}

} // namespace

TQpZoomStep NextZoomIn(int numerator, int denominator)
{
    const long current = PerMille(numerator, denominator);
    for (const TQpZoomStep& step : kZoomSteps) {
        if (PerMille(step.Numerator, step.Denominator) > current)
            return step;
    }
    return kZoomSteps.back();
}

TQpZoomStep NextZoomOut(int numerator, int denominator)
{
    const long current = PerMille(numerator, denominator);
    for (auto it = kZoomSteps.rbegin(); it != kZoomSteps.rend(); ++it) {
        if (PerMille(it->Numerator, it->Denominator) < current)
            return *it;
    }
    return kZoomSteps.front();
}

void TQpViewObject::SetVisible(bool value)
{
    SetFlag(kVisible, value);
}

TQpRect TQpViewObject::DeviceBounds(const TQpMapMode& mapMode) const
{
    TQpRect result;
    if (m_flags & kPaintsContent)
        result = UnionRect(result, ContentBounds(mapMode));
    if (m_flags & kPaintsOverlay)
        result = UnionRect(result, OverlayBounds(mapMode));
    return result;
}

void TQpViewObject::Paint(TQpViewCanvas& canvas)
{
    if (!(m_flags & kGenericPaint) || !IsVisible(canvas))
        return;
    if (m_flags & kPaintsContent)
        PaintContent(canvas);
    if (m_flags & kPaintsOverlay)
        PaintOverlay(canvas);
    AfterPaint();
}

int TQpViewObject::HitTestPoint(const TQpMapMode& mapMode, TQpPoint point, int tolerance) const
{
    const TQpRect mapped = mapMode.SourceToTarget(m_bounds);
    if (Contains(mapped, point))
        return 3;
    if (tolerance > 0 && Contains(Grown(mapped, tolerance), point))
        return 2;
    return 0;
}

int TQpViewObject::HitTestRect(const TQpMapMode& mapMode, const TQpRect& rect, int tolerance) const
{
    const TQpRect mapped = mapMode.SourceToTarget(m_bounds);
    if (rect.Left >= mapped.Left && rect.Top >= mapped.Top && rect.Right <= mapped.Right &&
        rect.Bottom <= mapped.Bottom)
        return 3;
    if (Overlaps(rect, mapped))
        return 1;
    if (tolerance >= 1 && Overlaps(rect, Grown(mapped, tolerance)))
        return 2;
    return 0;
}

void TQpViewCanvas::SetClip(const QRegion& clip)
{
    m_clip = clip;
    if (Painter)
        Painter->setClipRegion(m_clip);
}

TQpViewControl::TQpViewControl(QWidget* parent) : QWidget(parent)
{
    // Painting covers every pixel; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

TQpViewControl::~TQpViewControl() = default;

TQpViewObject* TQpViewControl::AddObject(std::unique_ptr<TQpViewObject> object)
{
    m_objects.push_back(std::move(object));
    return m_objects.back().get();
}

void TQpViewControl::RemoveObject(TQpViewObject* object)
{
    auto it =
        std::find_if(m_objects.begin(), m_objects.end(), [&](const auto& p) { return p.get() == object; });
    if (it != m_objects.end())
        m_objects.erase(it);
}

void TQpViewControl::ScrollBy(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    TQpPoint origin = MapMode().TargetOrigin();
    MapMode().SetTargetOrigin({origin.X + dx, origin.Y + dy});
    scroll(dx, dy, ClientRect());
}

void TQpViewControl::CenterOn(TQpPoint point)
{
    const TQpPoint mapped = MapMode().SourceToTarget(point);
    const QRect client = ClientRect();
    const TQpPoint origin = MapMode().TargetOrigin();
    MapMode().SetTargetOrigin(
        {origin.X + client.width() / 2 - mapped.X, origin.Y + client.height() / 2 - mapped.Y});
    update(ClientRect());
}

void TQpViewControl::InvalidateDeviceRect(const TQpRect& rect)
{
    if (!rect.IsEmpty())
        update(ToQRect(rect).intersected(ClientRect()));
}

const QImage& TQpViewControl::Render(const QRegion& requested)
{
    const QRegion region = requested.intersected(ClientRect());
    if (region.isEmpty())
        return m_offscreen;
    const QRect box = region.boundingRect();
    // Pixel coordinates of the off-screen image are the client coordinates, so no offsets anywhere.
    const int width = box.right() + 1;
    const int height = box.bottom() + 1;
    if (m_offscreen.width() < width || m_offscreen.height() < height)
        m_offscreen = QImage(std::max(width, m_offscreen.width()), std::max(height, m_offscreen.height()),
                             QImage::Format_BGR888);

    QPainter painter(&m_offscreen);
    m_canvas.Painter = &painter;
    m_canvas.Pixels.Init({0, 0, m_offscreen.width(), m_offscreen.height()}, m_offscreen.bits(), pfBGR24,
                         static_cast<int>(m_offscreen.bytesPerLine()));
    m_canvas.SetClip(region);

    struct SavedState
    {
        TQpViewObject* object;
        QRegion clip;
    };
    std::vector<SavedState> states;
    for (auto it = m_objects.rbegin(); it != m_objects.rend(); ++it) {
        TQpViewObject* object = it->get();
        if (!(object->Flags() & TQpViewObject::kVisible) ||
            !m_canvas.Clip().intersects(ToQRect(object->DeviceBounds(MapMode()))) ||
            !object->IsVisible(m_canvas))
            continue;
        bool pushed = false;
        if ((object->Flags() & TQpViewObject::kPaintsOverlay) &&
            m_canvas.Clip().intersects(ToQRect(object->OverlayBounds(MapMode())))) {
            states.push_back({object, m_canvas.Clip()});
            pushed = true;
        }
        if ((object->Flags() & TQpViewObject::kPaintsContent) &&
            m_canvas.Clip().intersects(ToQRect(object->ContentBounds(MapMode()))))
            object->PaintContent(m_canvas);
        if (!pushed)
            object->AfterPaint();
    }
    for (const QRect& rect : m_canvas.Clip())
        painter.fillRect(rect, QColor::fromRgb(TQpViewCanvas::kBackground));
    while (!states.empty()) {
        SavedState state = std::move(states.back());
        states.pop_back();
        m_canvas.SetClip(state.clip);
        state.object->PaintOverlay(m_canvas);
        state.object->AfterPaint();
    }
    m_canvas.Painter = nullptr;
    return m_offscreen;
}

void TQpViewControl::paintEvent(QPaintEvent* event)
{
    const QRegion region = event->region().intersected(ClientRect());
    if (region.isEmpty())
        return;
    const QImage& image = Render(region);
    QPainter painter(this);
    painter.setClipRegion(region);
    const QRect box = region.boundingRect();
    painter.drawImage(box.topLeft(), image, box);
}

TQpScrollViewControl::TQpScrollViewControl(QWidget* parent)
    : TQpViewControl(parent), m_horizontal(new QScrollBar(Qt::Horizontal, this)),
      m_vertical(new QScrollBar(Qt::Vertical, this))
{
    m_horizontal->setSingleStep(kLineStep);
    m_vertical->setSingleStep(kLineStep);
    connect(m_horizontal, &QScrollBar::valueChanged, this, [this](int v) { BarMoved(Qt::Horizontal, v); });
    connect(m_vertical, &QScrollBar::valueChanged, this, [this](int v) { BarMoved(Qt::Vertical, v); });
    LayoutBars();
}

QRect TQpScrollViewControl::ClientRect() const
{
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return QRect(0, 0, std::max(0, width() - bar), std::max(0, height() - bar));
}

void TQpScrollViewControl::LayoutBars()
{
    const QRect client = ClientRect();
    m_horizontal->setGeometry(0, client.height(), client.width(), height() - client.height());
    m_vertical->setGeometry(client.width(), 0, width() - client.width(), client.height());
}

TQpRect TQpScrollViewControl::ContentExtent() const
{
    TQpRect extent;
    for (const auto& object : Objects()) {
        if (!(object->Flags() & TQpViewObject::kVisible) ||
            (object->Flags() & TQpViewObject::kOutsideScrollRange))
            continue;
        extent = UnionRect(extent, object->DeviceBounds(MapMode()));
    }
    if (extent.IsEmpty()) {
        const TQpPoint origin = MapMode().SourceToTarget(TQpPoint{0, 0});
        return {origin.X, origin.Y, origin.X, origin.Y};
    }
    return extent;
}

void TQpScrollViewControl::ComputeScroll(int& dx, int& dy, int& overflowX, int& overflowY) const
{
    // The bars are always shown, so content is measured against the client area they leave: centring
    // against the whole control would put part of a fitted image under a bar.
    const TQpRect extent = ContentExtent();
    const QRect client = ClientRect();
    overflowX = extent.Width() - client.width();
    overflowY = extent.Height() - client.height();
    auto correct = [](int origin, int overflow) {
        if (overflow < 0)
            return (-overflow) / 2 - origin;
        return std::clamp(origin, -overflow, 0) - origin;
    };
    // The origin that matters is where the content's top-left lands.
    dx = correct(extent.Left, overflowX);
    dy = correct(extent.Top, overflowY);
}

void TQpScrollViewControl::SetScrollBars(int overflowX, int overflowY)
{
    if (width() < 1 || height() < 1)
        return;
    m_overflowX = overflowX;
    m_overflowY = overflowY;
    const TQpRect extent = ContentExtent();
    m_settingBars = true;
    auto set = [](QScrollBar* bar, int size, int overflow, int origin) {
        bar->setEnabled(overflow > 0);
        bar->setRange(0, std::max(0, overflow));
        bar->setPageStep(size);
        bar->setValue(std::max(0, -origin));
    };
    set(m_horizontal, width(), overflowX, extent.Left);
    set(m_vertical, height(), overflowY, extent.Top);
    m_settingBars = false;
}

void TQpScrollViewControl::UpdateScrollRange()
{
    int dx = 0;
    int dy = 0;
    int overflowX = 0;
    int overflowY = 0;
    ComputeScroll(dx, dy, overflowX, overflowY);
    const TQpPoint origin = MapMode().TargetOrigin();
    MapMode().SetTargetOrigin({origin.X + dx, origin.Y + dy});
    SetScrollBars(overflowX, overflowY);
    update(ClientRect());
}

void TQpScrollViewControl::CenterOn(TQpPoint point)
{
    const TQpPoint mapped = MapMode().SourceToTarget(point);
    const QRect client = ClientRect();
    const TQpPoint origin = MapMode().TargetOrigin();
    MapMode().SetTargetOrigin(
        {origin.X + client.width() / 2 - mapped.X, origin.Y + client.height() / 2 - mapped.Y});
    UpdateScrollRange();
}

void TQpScrollViewControl::ScrollByClamped(int dx, int dy)
{
    const TQpRect extent = ContentExtent();
    auto limit = [](int delta, int position, int overflow) {
        if (overflow <= 0)
            return 0;
        return std::clamp(position + delta, -overflow, 0) - position;
    };
    const int clampedX = limit(dx, extent.Left, m_overflowX);
    const int clampedY = limit(dy, extent.Top, m_overflowY);
    if (clampedX == 0 && clampedY == 0)
        return;
    ScrollBy(clampedX, clampedY);
    SetScrollBars(m_overflowX, m_overflowY);
}

void TQpScrollViewControl::BarMoved(Qt::Orientation orientation, int value)
{
    if (m_settingBars)
        return;
    const TQpRect extent = ContentExtent();
    const int position = orientation == Qt::Horizontal ? -extent.Left : -extent.Top;
    const int delta = value - position;
    if (delta == 0)
        return;
    if (orientation == Qt::Horizontal)
        ScrollBy(-delta, 0);
    else
        ScrollBy(0, -delta);
}

void TQpScrollViewControl::resizeEvent(QResizeEvent* event)
{
    TQpViewControl::resizeEvent(event);
    LayoutBars();
    UpdateScrollRange();
}
