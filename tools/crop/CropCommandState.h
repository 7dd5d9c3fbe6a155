#pragma once
// One crop as an undo step: the whole current and original images and the crop rectangle before it.

#include "documents/QpGraphicsCommandState.h"

class TQpCropCommandState : public TQpCustomGraphicsCommandState
{
public:
    TQpCropCommandState(TQpGraphicsTool* tool, TQpGraphicsDocument& document, const TQpRect& crop);

    void Undo() override;
    void Redo() override;

private:
    TQpRect m_savedCropRect;
    TQpPixelBuffer m_current;
    TQpPixelBuffer m_original;
};
