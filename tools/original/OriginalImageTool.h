#pragma once
// Shows the original image while its toolbar button or the O key is held, then gives the view back to
// the tool that was active. No frame, no settings.

#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"

class QAction;

class TQpOriginalImageTool : public TQpGraphicsTool
{
public:
    TQpOriginalImageTool();

    void ShowOriginal();
    void ShowCorrected();
    TQpGraphicsTool* PreviousTool() const { return m_previous; }
    QAction* OriginalImageToolButton = nullptr;

    void Localize() override;
    void UpdateControls() override;
    void Activated() override;
    void DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point) override;

private:
    TQpGraphicsTool* m_previous = nullptr;
};

// Paints the document's original over the view while its tool is active; the O key shows and hides it
// from whatever tool is active.
class TQpOriginalImageToolControl : public TQpGraphicsToolControl
{
public:
    static constexpr int kHoldKey = 79; // O

    TQpOriginalImageToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view);
    void Activate() override;
    void Deactivate() override;
    bool KeyDown(int key, Qt::KeyboardModifiers shift) override;
    bool KeyUp(int key, Qt::KeyboardModifiers shift) override;
    void PaintContent(TQpViewCanvas& canvas) override;
};
