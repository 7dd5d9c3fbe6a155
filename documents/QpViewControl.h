#pragma once
// A window that shows a stack of view objects through a map mode, and its scrolling variant.
// Painting goes front to back for content (each content painter cuts its area out of the clip)
// and back to front for overlays, into an off-screen image whose pixels the objects may touch
// directly; only the invalidated area is painted.

#include "core/QpMapMode.h"
#include "imaging/QpPixels.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

class QScrollBar;
class TQpViewCanvas;

QRect ToQRect(const TQpRect& rect);
TQpRect ToQpRect(const QRect& rect);

class TQpViewObject
{
public:
    static constexpr std::uint8_t kVisible = 0x01;
    static constexpr std::uint8_t kPaintsContent = 0x02;
    static constexpr std::uint8_t kPaintsOverlay = 0x04;
    static constexpr std::uint8_t kGenericPaint = 0x08;
    static constexpr std::uint8_t kOutsideScrollRange = 0x10;

    // Each kind of object starts with its own flags; a plain object has 0x0F.
    explicit TQpViewObject(std::uint8_t flags = 0x0F) : m_flags(flags) {}
    virtual ~TQpViewObject() = default;

    std::uint8_t Flags() const { return m_flags; }
    const TQpRect& Bounds() const { return m_bounds; }

    virtual void SetVisible(bool value);
    virtual void SetBounds(const TQpRect& rect) { m_bounds = rect; }
    virtual TQpRect DeviceBounds(const TQpMapMode& mapMode) const;
    virtual TQpRect ContentBounds(const TQpMapMode& mapMode) const
    {
        return mapMode.SourceToTarget(m_bounds);
    }
    virtual TQpRect OverlayBounds(const TQpMapMode& mapMode) const
    {
        return mapMode.SourceToTarget(m_bounds);
    }
    virtual bool IsVisible(TQpViewCanvas&) const { return (m_flags & kVisible) != 0; }
    virtual void PaintContent(TQpViewCanvas&) {}
    virtual void PaintOverlay(TQpViewCanvas&) {}
    virtual void AfterPaint() {}
    virtual void Paint(TQpViewCanvas& canvas);
    // 3 inside the mapped bounds, 2 inside them grown by tolerance, else 0.
    virtual int HitTestPoint(const TQpMapMode& mapMode, TQpPoint point, int tolerance) const;
    // 3 wholly inside, 1 overlapping, 2 overlapping only the bounds grown by tolerance, else 0.
    virtual int HitTestRect(const TQpMapMode& mapMode, const TQpRect& rect, int tolerance) const;

protected:
    void SetFlag(std::uint8_t flag, bool value)
    {
        m_flags = static_cast<std::uint8_t>(value ? (m_flags | flag) : (m_flags & ~flag));
    }

private:
    std::uint8_t m_flags;
    TQpRect m_bounds;
};

// The paint context of one view control during one paint.
class TQpViewCanvas
{
public:
    static constexpr QRgb kBackground = qRgb(0x40, 0x40, 0x40);

    TQpMapMode MapMode;
    TQpPixels Pixels; // the off-screen image, in client coordinates
    QPainter* Painter = nullptr;

    const QRegion& Clip() const { return m_clip; }
    void SetClip(const QRegion& clip);
    // What a content painter covered: nothing below it paints there any more.
    void ExcludeClip(const QRect& rect) { SetClip(m_clip.subtracted(rect)); }

private:
    QRegion m_clip;
};

class TQpViewControl : public QWidget
{
public:
    explicit TQpViewControl(QWidget* parent = nullptr);
    ~TQpViewControl() override;

    // The stack, bottom first; the control owns its objects.
    const std::vector<std::unique_ptr<TQpViewObject>>& Objects() const { return m_objects; }
    TQpViewObject* AddObject(std::unique_ptr<TQpViewObject> object);
    // Removes and destroys an object; ignored when it is not in the stack.
    void RemoveObject(TQpViewObject* object);

    TQpMapMode& MapMode() { return m_canvas.MapMode; }
    const TQpMapMode& MapMode() const { return m_canvas.MapMode; }
    // The area objects are painted in: the whole control, less scroll bars.
    virtual QRect ClientRect() const { return rect(); }

    void ScrollBy(int dx, int dy);
    // Moves the origin so that the logical point maps to the client centre.
    virtual void CenterOn(TQpPoint point);
    void InvalidateDeviceRect(const TQpRect& rect);

    // The painting algorithm on an arbitrary region, for tests and benchmarks; the result is in the
    // off-screen image, in client coordinates.
    const QImage& Render(const QRegion& region);

protected:
    void paintEvent(QPaintEvent* event) override;

    TQpViewCanvas m_canvas;

private:
    std::vector<std::unique_ptr<TQpViewObject>> m_objects;
    QImage m_offscreen; // kept between paints so a repaint allocates nothing
};

class TQpScrollViewControl : public TQpViewControl
{
public:
    explicit TQpScrollViewControl(QWidget* parent = nullptr);

    static constexpr int kLineStep = 10;

    QRect ClientRect() const override;
    void CenterOn(TQpPoint point) override;
    // Limits the move to what the current origin and overflow allow, then scrolls.
    void ScrollByClamped(int dx, int dy);

    virtual TQpRect ContentExtent() const;
    // Applies the origin correction, sets the scroll bars and repaints.
    virtual void UpdateScrollRange();
    virtual void ComputeScroll(int& dx, int& dy, int& overflowX, int& overflowY) const;
    virtual void SetScrollBars(int overflowX, int overflowY);

    QScrollBar* HorizontalBar() const { return m_horizontal; }
    QScrollBar* VerticalBar() const { return m_vertical; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutBars();
    void BarMoved(Qt::Orientation orientation, int value);

    QScrollBar* m_horizontal;
    QScrollBar* m_vertical;
    int m_overflowX = 0;
    int m_overflowY = 0;
    bool m_settingBars = false;
};

// The 21 zoom steps as (target, source) extents, from 1:16 to 16:1.
struct TQpZoomStep
{
    int Numerator;
    int Denominator;
};
// The next step above / below the ratio numerator:denominator, compared as rounded per-mille values.
TQpZoomStep NextZoomIn(int numerator, int denominator);
TQpZoomStep NextZoomOut(int numerator, int denominator);
