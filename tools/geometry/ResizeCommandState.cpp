#include "tools/geometry/ResizeCommandState.h"

#include "documents/QpGraphicsDocument.h"
#include "framework/WaitCursor.h"

TQpResizeCommandState::TQpResizeCommandState(TQpGraphicsTool* tool, TQpGraphicsDocument& document, int width,
                                             int height)
    : TQpCustomGraphicsCommandState(tool, document.CropRect(), document), m_width(width), m_height(height)
{
    document.SnapshotImages(m_current, &m_original);
}

void TQpResizeCommandState::Undo()
{
    TWaitCursor wait;
    Document().RestoreImages(m_current, &m_original);
    Document().SetCropRect(Rect());
    TQpCustomGraphicsCommandState::Undo();
}

void TQpResizeCommandState::Redo()
{
    TWaitCursor wait;
    Document().SetUnmodified(false);
    Document().ResizeImage(m_width, m_height, true, true);
    TQpCustomGraphicsCommandState::Redo();
}
