#include "tools/crop/CropCommandState.h"

#include "documents/QpGraphicsDocument.h"
#include "framework/WaitCursor.h"

TQpCropCommandState::TQpCropCommandState(TQpGraphicsTool* tool, TQpGraphicsDocument& document,
                                         const TQpRect& crop)
    : TQpCustomGraphicsCommandState(tool, crop, document), m_savedCropRect(document.CropRect())
{
    document.SnapshotImages(m_current, &m_original);
    document.SetUnmodified(false);
}

void TQpCropCommandState::Undo()
{
    TWaitCursor wait;
    Document().RestoreImages(m_current, &m_original);
    Document().SetCropRect(m_savedCropRect);
    TQpCustomGraphicsCommandState::Undo();
}

void TQpCropCommandState::Redo()
{
    TWaitCursor wait;
    Document().Crop(Rect());
    Document().SetUnmodified(false);
    TQpCustomGraphicsCommandState::Redo();
}
