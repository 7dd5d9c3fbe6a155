#pragma once
// One resize as an undo step: the current and original images as they were, and the new size.

#include "documents/QpGraphicsCommandState.h"

class TQpResizeCommandState : public TQpCustomGraphicsCommandState
{
public:
    // Takes the copies of the images and the crop rectangle before the resize.
    TQpResizeCommandState(TQpGraphicsTool* tool, TQpGraphicsDocument& document, int width, int height);

    void Undo() override;
    void Redo() override;

    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width;
    int m_height;
    TQpPixelBuffer m_current;
    TQpPixelBuffer m_original;
};
