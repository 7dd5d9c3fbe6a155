#include "tools/BrushTool.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsView.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QSlider>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kBrushPeak = 255;
constexpr int kBrushHardness = 160;

constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;
constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;

// The first parameter of a script word as an integer; false when there is none.
bool IntegerArgument(const TQpDemoParams& params, int& value)
{
    if (params.empty())
        return false;
    const TQpDemoArgument& argument = params.front();
    if (argument.Numeric) {
        if (!std::isfinite(argument.Number))
            return false;
        const double whole = std::trunc(argument.Number);
        value = static_cast<int>(std::clamp(whole, static_cast<double>(std::numeric_limits<int>::min()),
                                            static_cast<double>(std::numeric_limits<int>::max())));
        return true;
    }
    bool ok = false;
    value = argument.Text.trimmed().toInt(&ok);
    return ok;
}

// Carries out a setter word: handled whatever the value, since the setter ignores what is out of
// range.
template <class Setter>
bool SettingWord(const QString& word, const QString& expected, const TQpDemoParams& params, Setter setter)
{
    if (word != expected)
        return false;
    int value = 0;
    if (IntegerArgument(params, value))
        setter(value);
    return true;
}

QString PointName(const TQpDemoParams& params)
{
    return params.empty() ? QString() : params.front().Text.trimmed().toUpper();
}

TQpRect Grown(const TQpRect& rect, int by)
{
    return {rect.Left - by, rect.Top - by, rect.Right + by, rect.Bottom + by};
}

} // namespace

TQpRect BrushRect(int x, int y, int size)
{
    const int half = size / 2;
    return {x - half, y - half, x + half + 1, y + half + 1};
}

bool BuildSoftBrushMask(TQpPixelMask& mask, int size, int peak, int hardness)
{
    if (size < 0) {
        mask.SetBounds(0, 0, 0, 0);
        return false;
    }
    const int half = size / 2;
    const int side = 2 * half + 1;
    if (!mask.SetBounds(0, 0, side, side))
        return false;
    const std::uint8_t top = static_cast<std::uint8_t>(std::clamp(peak, 0, 255));
    if (half == 0) {
        *mask.ValuePtr(0, 0) = top;
        return true;
    }
    const double exponent = hardness / 16.0;
    for (int e = 0; e <= half; ++e) {
        for (int f = 0; f <= half; ++f) {
            const double r = std::sqrt(static_cast<double>(e * e + f * f)) * 2.0 / size;
            std::uint8_t value = 0;
            if (r < 1.0) {
                const double level = std::nearbyint((1.0 - std::pow(r, exponent)) * top);
                value = static_cast<std::uint8_t>(std::clamp(level, 0.0, 255.0));
            }
            *mask.ValuePtr(half + f, half + e) = value;
            *mask.ValuePtr(half - f, half + e) = value;
            *mask.ValuePtr(half + f, half - e) = value;
            *mask.ValuePtr(half - f, half - e) = value;
        }
    }
    return true;
}

// ---- TQpDrawTool ----

TQpDrawTool::TQpDrawTool()
{
    SetVisibleInPlugInMode(true);
}

TQpDrawTool::~TQpDrawTool() = default;

void TQpDrawTool::SetSize(int value)
{
    if (value == m_size || value < m_minSize || value > m_maxSize)
        return;
    // The outlines are drawn at the old size; their areas must be repainted before it changes.
    for (int i = 0; i < ControlCount(); ++i)
        Controls(i)->Invalidate();
    m_size = value;
    SizeChanged();
    if (m_sizeTrackBar)
        m_sizeTrackBar->setValue(value);
    RecordSetting("Size", value);
}

void TQpDrawTool::SetOpacity(int value)
{
    if (value == m_opacity || value < 0 || value > 255)
        return;
    m_opacity = value;
    OpacityChanged();
    if (m_opacityTrackBar)
        m_opacityTrackBar->setValue(value);
    RecordSetting("Opacity", value);
}

void TQpDrawTool::SetSizeRange(int minimum, int maximum)
{
    // A negative size has no brush; the maximum bounds the mask's memory.
    if (minimum < 0 || minimum > maximum)
        return;
    m_minSize = minimum;
    m_maxSize = maximum;
    if (m_sizeTrackBar) {
        m_sizeTrackBar->setRange(minimum, maximum);
        m_sizeTrackBar->setTickInterval(maximum / 10);
    }
    const int clamped = std::clamp(m_size, minimum, maximum);
    if (clamped != m_size) {
        m_size = clamped;
        SizeChanged();
        if (m_sizeTrackBar)
            m_sizeTrackBar->setValue(clamped);
    }
}

bool TQpDrawTool::BeginStroke(TQpDrawToolControl* control, Qt::MouseButton button,
                              Qt::KeyboardModifiers shift)
{
    if (!control)
        return false;
    m_strokeControl = control;
    m_strokeButton = button;
    m_strokeShift = shift;
    BeginDocumentEdit(&control->View());
    return true;
}

void TQpDrawTool::ApplyAt(const TQpRect& rect)
{
    if (!Document())
        return;
    const TQpRect clipped = IntersectRect(rect, {0, 0, Document()->Width(), Document()->Height()});
    if (clipped.IsEmpty())
        return;
    ApplyRect(clipped);
    AddDirtyRect(clipped, false);
}

void TQpDrawTool::EndStroke()
{
    EndDocumentEdit();
    m_strokeControl = nullptr;
}

void TQpDrawTool::ResetOptions()
{
    if (m_strokeControl)
        m_strokeControl->EndStroke();
}

void TQpDrawTool::DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                              TQpDemoScriptUserAction* action, const TQpDemoParams& params)
{
    if (!DemoName().isEmpty()) {
        const QString name = DemoName().toUpper();
        if (SettingWord(word, name + QLatin1String("SIZE"), params, [this](int v) { SetSize(v); }) ||
            SettingWord(word, name + QLatin1String("OPACITY"), params, [this](int v) { SetOpacity(v); })) {
            handled = true;
            return;
        }
    }
    TQpGraphicsTool::DemoCommand(player, word, handled, action, params);
}

void TQpDrawTool::DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point)
{
    if (!DemoName().isEmpty()) {
        const QString name = PointName(params);
        const QString prefix = DemoName().toUpper();
        if ((name == prefix + QLatin1String("SIZE") && ScreenCentre(m_sizeTrackBar, point)) ||
            (name == prefix + QLatin1String("OPACITY") && ScreenCentre(m_opacityTrackBar, point))) {
            handled = true;
            return;
        }
    }
    TQpGraphicsTool::DemoPoint(player, params, handled, point);
}

void TQpDrawTool::BindSizeTrackBar(QSlider* trackBar)
{
    if (m_sizeTrackBar)
        QObject::disconnect(m_sizeTrackBar, nullptr, this, nullptr);
    m_sizeTrackBar = trackBar;
    if (!trackBar)
        return;
    // Set before connecting: narrowing the range moves the position, which is no user's choice.
    trackBar->setRange(m_minSize, m_maxSize);
    trackBar->setValue(m_size);
    trackBar->setTickInterval(m_maxSize / 10);
    connect(trackBar, &QSlider::valueChanged, this, [this](int value) { SetSize(value); });
    connect(trackBar, &QObject::destroyed, this, [this] { m_sizeTrackBar = nullptr; });
}

void TQpDrawTool::BindOpacityTrackBar(QSlider* trackBar)
{
    if (m_opacityTrackBar)
        QObject::disconnect(m_opacityTrackBar, nullptr, this, nullptr);
    m_opacityTrackBar = trackBar;
    if (!trackBar)
        return;
    trackBar->setRange(0, 255);
    trackBar->setValue(m_opacity);
    trackBar->setTickInterval(255 / 10);
    connect(trackBar, &QSlider::valueChanged, this, [this](int value) { SetOpacity(value); });
    connect(trackBar, &QObject::destroyed, this, [this] { m_opacityTrackBar = nullptr; });
}

void TQpDrawTool::RecordSetting(const char* suffix, int value)
{
    IQpDemoPlayer* recorder = DemoRecorder();
    if (!recorder || DemoName().isEmpty())
        return;
    recorder->RecordLine(DemoName() + QLatin1String(suffix) + QLatin1Char(' ') + QString::number(value));
}

bool TQpDrawTool::ScreenCentre(const QWidget* widget, QPoint& point)
{
    if (!widget)
        return false;
    point = widget->mapToGlobal(widget->rect().center());
    return true;
}

// ---- TQpMaskDrawTool ----

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

// ---- TQpBrushTool ----

TQpBrushTool::TQpBrushTool()
{
    m_hardness = 128;
    SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
        return std::make_unique<TQpBrushToolControl>(tool, view);
    });
}

TQpBrushTool::~TQpBrushTool() = default;

void TQpBrushTool::SetHardness(int value)
{
    if (value == m_hardness || value < 0 || value > 255)
        return;
    m_hardness = value;
    BuildMask();
    if (m_hardnessTrackBar)
        m_hardnessTrackBar->setValue(value);
    RecordSetting("Hardness", value);
}

void TQpBrushTool::BindHardnessTrackBar(QSlider* trackBar)
{
    if (m_hardnessTrackBar)
        QObject::disconnect(m_hardnessTrackBar, nullptr, this, nullptr);
    m_hardnessTrackBar = trackBar;
    if (!trackBar)
        return;
    trackBar->setRange(0, 255);
    trackBar->setValue(m_hardness);
    trackBar->setTickInterval(255 / 10);
    connect(trackBar, &QSlider::valueChanged, this, [this](int value) { SetHardness(value); });
    connect(trackBar, &QObject::destroyed, this, [this] { m_hardnessTrackBar = nullptr; });
}

void TQpBrushTool::DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                               TQpDemoScriptUserAction* action, const TQpDemoParams& params)
{
    if (!DemoName().isEmpty() && SettingWord(word, DemoName().toUpper() + QLatin1String("HARDNESS"), params,
                                             [this](int v) { SetHardness(v); })) {
        handled = true;
        return;
    }
    TQpMaskDrawTool::DemoCommand(player, word, handled, action, params);
}

void TQpBrushTool::DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point)
{
    if (!DemoName().isEmpty() && PointName(params) == DemoName().toUpper() + QLatin1String("HARDNESS") &&
        ScreenCentre(m_hardnessTrackBar, point)) {
        handled = true;
        return;
    }
    TQpMaskDrawTool::DemoPoint(player, params, handled, point);
}

// ---- TQpDrawToolControl ----

// Sees the view's events before the view does: the buttons each mouse event leaves held, and the
// moments a running stroke loses its release (focus taken by a modal box or another window).
class TQpDrawToolControl::TInputWatch : public QObject
{
public:
    explicit TInputWatch(TQpDrawToolControl& control) : m_control(control) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            m_control.m_heldButtons = static_cast<QMouseEvent*>(event)->buttons();
            break;
        case QEvent::FocusOut:
        case QEvent::WindowDeactivate:
            if (m_control.Drawing())
                m_control.EndStroke();
            m_control.m_heldButtons = Qt::NoButton;
            break;
        default:
            break;
        }
        return false;
    }

private:
    TQpDrawToolControl& m_control;
};

TQpDrawToolControl::TQpDrawToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view)
    : TQpGraphicsToolControl(tool, view), m_inputWatch(std::make_unique<TInputWatch>(*this))
{
    view.installEventFilter(m_inputWatch.get());
}

TQpDrawToolControl::~TQpDrawToolControl()
{
    if (TQpDrawTool* tool = DrawTool(); tool && tool->m_strokeControl == this)
        tool->m_strokeControl = nullptr;
}

TQpDrawTool* TQpDrawToolControl::DrawTool() const
{
    return dynamic_cast<TQpDrawTool*>(Tool());
}

bool TQpDrawToolControl::BeginStroke(Qt::MouseButton button, Qt::KeyboardModifiers shift)
{
    if (m_drawing)
        return false;
    TQpDrawTool* tool = DrawTool();
    m_drawing = tool && tool->BeginStroke(this, button, shift);
    return m_drawing;
}

void TQpDrawToolControl::EndStroke()
{
    m_drawing = false;
    if (TQpDrawTool* tool = DrawTool())
        tool->EndStroke();
}

void TQpDrawToolControl::ApplyStroke()
{
    if (TQpDrawTool* tool = DrawTool())
        tool->ApplyAt(Bounds());
}

void TQpDrawToolControl::Activate()
{
    SetVisible(true);
    TQpGraphicsToolControl::Activate();
}

void TQpDrawToolControl::Deactivate()
{
    // Once inactive the control no longer sees the release.
    if (m_drawing)
        EndStroke();
    SetVisible(false);
    TQpGraphicsToolControl::Deactivate();
}

void TQpDrawToolControl::SetBounds(const TQpRect& rect)
{
    Invalidate();
    TQpGraphicsToolControl::SetBounds(rect);
    Invalidate();
}

// ---- TQpMaskDrawToolControl ----

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

// ---- TQpBrushToolControl ----

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
