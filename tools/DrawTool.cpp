#include "tools/DrawTool.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsView.h"

#include <QEvent>
#include <QMouseEvent>

TQpDrawTool::TQpDrawTool()
    : m_size(*this,
             {"Size", 0, 1, 50, 10, TQpToolSetting::TKind::Integer, TQpToolSetting::TOutOfRange::Ignore,
              TQpToolSetting::TRecording::LineOnly, TQpToolSetting::TMissing::Keep}),
      m_opacity(*this, {"Opacity", 0, 0, 255, 255, TQpToolSetting::TKind::Integer,
                        TQpToolSetting::TOutOfRange::Ignore, TQpToolSetting::TRecording::LineOnly,
                        TQpToolSetting::TMissing::Keep})
{
    SetVisibleInPlugInMode(true);
    // The outlines are drawn at the old size; their areas must be repainted before it changes.
    m_size.OnChanging = [this] {
        for (int i = 0; i < ControlCount(); ++i)
            Controls(i)->Invalidate();
    };
    m_size.OnChanged = [this] { SizeChanged(); };
    m_opacity.OnChanged = [this] { OpacityChanged(); };
}

TQpDrawTool::~TQpDrawTool() = default;

void TQpDrawTool::SetSizeRange(int minimum, int maximum)
{
    // A negative size has no brush; the maximum bounds the mask's memory.
    if (minimum >= 0)
        m_size.SetRange(minimum, maximum);
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

TQpDemoWords TQpDrawTool::SettingWords()
{
    return {m_size.Word(), m_opacity.Word()};
}

void TQpDrawTool::DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                              TQpDemoScriptUserAction* action, const TQpDemoParams& params)
{
    if (RunDemoWord(SettingWords(), DemoName().toUpper(), word, params)) {
        handled = true;
        return;
    }
    TQpGraphicsTool::DemoCommand(player, word, handled, action, params);
}

void TQpDrawTool::DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point)
{
    if (DemoWordPoint(SettingWords(), DemoName().toUpper(), params, point)) {
        handled = true;
        return;
    }
    TQpGraphicsTool::DemoPoint(player, params, handled, point);
}

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
