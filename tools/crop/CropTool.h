#pragma once
// The crop tool: a rectangle drawn on the image, moved and sized by eight handles, held to a print or
// screen side ratio when one is chosen, or given an exact typed size; a click outside it or Enter crops,
// the right button or Esc cancels. One crop is one undo step that keeps the whole image.

#include "documents/QpDemoWords.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"
#include "tools/crop/CropGeometry.h"

#include <memory>

class TQpCrop2PlusFrame;
class TQpCrop2PlusToolControl;

class TQpCrop2PlusTool : public TQpGraphicsTool
{
public:
    TQpCrop2PlusTool();
    ~TQpCrop2PlusTool() override;

    // One undo step; the document intersects the rectangle with the image.
    void Crop(const TQpRect& rect);
    // Crops to the current rectangle and ends the control's work.
    void CropCurrent();
    void CancelDocumentEdit() override;
    void CommitEdit() override {}

    const TQpRect& CropRect() const { return m_cropRect; }
    void SetCropRect(const TQpRect& rect) { m_cropRect = rect; }
    TCropRatio Ratio() const { return m_ratio; }
    // 0 loose, 1 the chosen print format, 2 the chosen screen format.
    void SetRatio(int kind);
    TQpCrop2PlusFrame* Frame() const { return m_frame; }
    // The control of the active view, null without one.
    TQpCrop2PlusToolControl* ActiveControl() const;

    void WidthEditChange(int value);
    void HeightEditChange(int value);
    // After the rectangle changed: its size in the status bar and the frame.
    void ShowRectSize();
    void Record(const QString& word);

    void Localize() override;
    void UpdateControls() override;
    void Activated() override;
    void DocumentClosing(TQpGraphicsDocument* document) override;
    TQpDemoWords DemoWords() override;

private:
    void CreateControls();
    void ResetControl();

    TQpCrop2PlusFrame* m_frame = nullptr;
    TQpRect m_cropRect{};
    TCropRatio m_ratio{};
};

class TQpCrop2PlusToolControl : public TQpGraphicsToolControl
{
public:
    enum TState : std::uint8_t
    {
        kIdle = 0,
        kDrawing = 1,
        kPlaced = 2,
        kDragging = 3
    };
    TQpCrop2PlusToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view);

    TState State() const { return m_state; }
    void Reset();

    bool MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseMove(Qt::KeyboardModifiers shift, QPoint point) override;
    bool MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint point) override;
    bool KeyDown(int key, Qt::KeyboardModifiers shift) override;
    bool SetCursor(Qt::KeyboardModifiers shift, QPoint point, int& cursor) override;
    TQpRect OverlayBounds(const TQpMapMode& mapMode) const override;
    void PaintOverlay(TQpViewCanvas& canvas) override;

private:
    TQpCrop2PlusTool& CropTool() const;
    TQpRect ImageBounds() const;
    TQpRect ViewRect() const;

    TState m_state = kIdle;
    TQpPoint m_press{};
    TQpRect m_start{};
    int m_hit = 0;
};
