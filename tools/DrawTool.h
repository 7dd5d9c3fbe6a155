#pragma once
// The base of every tool that follows the pointer with strokes: one stroke is one edit session of the
// document, that is one undo step, during which the tool applies itself to a series of rectangles. The
// tool holds its size and opacity settings; each view holds a control that turns pointer input into
// the stroke.

#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"
#include "imaging/QpPixels.h"
#include "tools/ToolSetting.h"

#include <cstdint>
#include <memory>

class QSlider;
class TQpDrawToolControl;

class TQpDrawTool : public TQpGraphicsTool
{
public:
    enum TDrawMode : std::uint8_t
    {
        kContinuous = 0,
        kDabOnPress = 1,
        kDabOnRelease = 2
    };

    TQpDrawTool();
    ~TQpDrawTool() override;

    int Size() const { return m_size.Value(); }
    int MinSize() const { return m_size.Minimum(); }
    int MaxSize() const { return m_size.Maximum(); }
    int Opacity() const { return m_opacity.Value(); }
    TDrawMode DrawMode() const { return m_drawMode; }
    Qt::MouseButton StrokeButton() const { return m_strokeButton; }
    Qt::KeyboardModifiers StrokeShift() const { return m_strokeShift; }
    TQpDrawToolControl* StrokeControl() const { return m_strokeControl; }

    virtual void SizeChanged() {}
    // Ignored when equal to the size or outside [MinSize, MaxSize].
    void SetSize(int value) { m_size.Set(value); }
    virtual void OpacityChanged() {}
    // Ignored when equal to the opacity or outside 0..255.
    void SetOpacity(int value) { m_opacity.Set(value); }
    // Starts the document edit on the control's view; a concrete tool may refuse with false.
    virtual bool BeginStroke(TQpDrawToolControl* control, Qt::MouseButton button,
                             Qt::KeyboardModifiers shift);
    // Applies the tool to `rect` clipped to the image, and marks the clipped part dirty.
    virtual void ApplyAt(const TQpRect& rect);
    // The concrete tool's work inside the image.
    virtual void ApplyRect(const TQpRect&) {}
    // Commits the stroke as one undo step.
    virtual void EndStroke();

    // Ends a running stroke through its control.
    void ResetOptions() override;
    void DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                     TQpDemoScriptUserAction* action, const TQpDemoParams& params) override;
    void DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point) override;

    // The slider follows the size and sets it when moved.
    void BindSizeTrackBar(QSlider* trackBar) { m_size.Bind(trackBar); }
    void BindOpacityTrackBar(QSlider* trackBar) { m_opacity.Bind(trackBar); }
    QWidget* SizeTrackBar() const { return m_size.Control(); }
    QWidget* OpacityTrackBar() const { return m_opacity.Control(); }

    // Changed only by the concrete tools' construction; a negative minimum (no brush) is refused.
    void SetSizeRange(int minimum, int maximum);
    void SetDrawMode(TDrawMode mode) { m_drawMode = mode; }

protected:
    // The script words of the settings this tool and its bases hold.
    virtual TQpDemoWords SettingWords();

private:
    friend class TQpDrawToolControl;
    TQpDrawToolControl* m_strokeControl = nullptr;
    TDrawMode m_drawMode = kContinuous;
    Qt::MouseButton m_strokeButton = Qt::NoButton;
    Qt::KeyboardModifiers m_strokeShift;
    TQpToolSetting m_size;
    TQpToolSetting m_opacity;
};

class TQpDrawToolControl : public TQpGraphicsToolControl
{
public:
    TQpDrawToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view);
    ~TQpDrawToolControl() override;

    TQpDrawTool* DrawTool() const;
    bool Drawing() const { return m_drawing; }
    // False when a stroke already runs or the tool refuses one.
    bool BeginStroke(Qt::MouseButton button, Qt::KeyboardModifiers shift);
    virtual void EndStroke();
    virtual void ApplyStroke();

    void Activate() override;
    void Deactivate() override;
    // Repaints the old and the new device bounds.
    void SetBounds(const TQpRect& rect) override;

protected:
    // The buttons held after the view's latest mouse event: the handlers are not told, and a
    // release that went to another window must not leave a stroke running.
    Qt::MouseButtons HeldButtons() const { return m_heldButtons; }
    void SetHeldButtons(Qt::MouseButtons buttons) { m_heldButtons = buttons; }

private:
    class TInputWatch;
    bool m_drawing = false;
    Qt::MouseButtons m_heldButtons;
    std::unique_ptr<TInputWatch> m_inputWatch;
};
