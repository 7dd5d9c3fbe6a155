#pragma once
// The brush tools' common ground. A draw tool turns pointer input into strokes: one stroke is one
// edit session of the document, that is one undo step, during which the tool applies itself to a
// series of rectangles. A mask draw tool stamps a brush mask centred on the pointer; a brush tool adds
// hardness and draws the brush's round outline over the view in place of the mouse pointer.

#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"
#include "imaging/QpPixels.h"

#include <cstdint>
#include <memory>

class QSlider;
class TQpDrawToolControl;

// The rectangle a brush of `size` covers when centred on (x, y): always 2 * (size / 2) + 1 wide.
TQpRect BrushRect(int x, int y, int size);

// The soft round brush: peak in the middle, 1 - r^(hardness / 16) towards the rim, 0 beyond it.
// Bounds (0, 0, 2h + 1, 2h + 1) with h = size / 2. False when the mask cannot be allocated.
bool BuildSoftBrushMask(TQpPixelMask& mask, int size, int peak, int hardness);

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

    int Size() const { return m_size; }
    int MinSize() const { return m_minSize; }
    int MaxSize() const { return m_maxSize; }
    int Opacity() const { return m_opacity; }
    TDrawMode DrawMode() const { return m_drawMode; }
    Qt::MouseButton StrokeButton() const { return m_strokeButton; }
    Qt::KeyboardModifiers StrokeShift() const { return m_strokeShift; }
    TQpDrawToolControl* StrokeControl() const { return m_strokeControl; }

    virtual void SizeChanged() {}
    // Ignored when equal to the size or outside [MinSize, MaxSize].
    virtual void SetSize(int value);
    virtual void OpacityChanged() {}
    // Ignored when equal to the opacity or outside 0..255.
    virtual void SetOpacity(int value);
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
    void BindSizeTrackBar(QSlider* trackBar);
    void BindOpacityTrackBar(QSlider* trackBar);
    QSlider* SizeTrackBar() const { return m_sizeTrackBar; }
    QSlider* OpacityTrackBar() const { return m_opacityTrackBar; }

    // Changed only by the concrete tools' construction; no range check beyond min <= max.
    void SetSizeRange(int minimum, int maximum);
    void SetDrawMode(TDrawMode mode) { m_drawMode = mode; }

protected:
    // Records "<demo name><suffix> <value>" while a demo is recorded.
    void RecordSetting(const char* suffix, int value);
    // The centre of `widget` on the screen; false when there is none.
    static bool ScreenCentre(const QWidget* widget, QPoint& point);

private:
    friend class TQpDrawToolControl;
    TQpDrawToolControl* m_strokeControl = nullptr;
    TDrawMode m_drawMode = kContinuous;
    Qt::MouseButton m_strokeButton = Qt::NoButton;
    Qt::KeyboardModifiers m_strokeShift;
    int m_size = 10;
    int m_minSize = 1;
    int m_maxSize = 50;
    QSlider* m_sizeTrackBar = nullptr;
    int m_opacity = 255;
    QSlider* m_opacityTrackBar = nullptr;
};

class TQpMaskDrawTool : public TQpDrawTool
{
public:
    TQpMaskDrawTool();
    ~TQpMaskDrawTool() override;

    // Zero-origin between dabs; moved over the dab's rectangle while ApplyRect runs.
    const TQpPixelMask& BrushMask() const { return m_mask; }
    // The modifiers of the last pointer event.
    Qt::KeyboardModifiers Shift() const { return m_shift; }
    void SetShift(Qt::KeyboardModifiers shift) { m_shift = shift; }

    // Every brush of the program is the soft mask with peak 255 and hardness 160, whatever the
    // opacity and hardness settings say.
    virtual void BuildMask();
    void SizeChanged() override;
    void OpacityChanged() override;
    void ApplyAt(const TQpRect& rect) override;

protected:
    TQpPixelMask m_mask;

private:
    Qt::KeyboardModifiers m_shift;
};

class TQpBrushTool : public TQpMaskDrawTool
{
public:
    TQpBrushTool();
    ~TQpBrushTool() override;

    int Hardness() const { return m_hardness; }
    // Ignored when equal to the hardness or outside 0..255.
    virtual void SetHardness(int value);
    void BindHardnessTrackBar(QSlider* trackBar);
    QSlider* HardnessTrackBar() const { return m_hardnessTrackBar; }

    void DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                     TQpDemoScriptUserAction* action, const TQpDemoParams& params) override;
    void DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point) override;

private:
    int m_hardness = 128;
    QSlider* m_hardnessTrackBar = nullptr;
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

class TQpMaskDrawToolControl : public TQpDrawToolControl
{
public:
    TQpMaskDrawToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view);

    TQpMaskDrawTool* MaskDrawTool() const;
    // Image coordinates.
    int BrushX() const { return m_x; }
    int BrushY() const { return m_y; }
    // Centres the brush rectangle on `point` (image coordinates).
    void MoveBrush(TQpPoint point);

    void Activate() override;
    bool SetCursor(Qt::KeyboardModifiers shift, QPoint point, int& cursor) override;
    bool MouseEnter() override;
    bool MouseLeave() override;
    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseMove(Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseWheel(Qt::KeyboardModifiers shift, int direction, QPoint point) override;
    bool KeyDown(int key, Qt::KeyboardModifiers shift) override;

private:
    int m_x = 0;
    int m_y = 0;
};

class TQpBrushToolControl : public TQpMaskDrawToolControl
{
public:
    using TQpMaskDrawToolControl::TQpMaskDrawToolControl;

    // The brush's round outline, drawn reversibly so it shows on any background.
    void PaintOverlay(TQpViewCanvas& canvas) override;
    TQpRect OverlayBounds(const TQpMapMode& mapMode) const override;
};
