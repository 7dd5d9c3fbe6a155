#include "tools/geometry/RotateCommandState.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsTool.h"
#include "framework/WaitCursor.h"

bool ApplyRotateKind(TQpGraphicsDocument& document, TRotateKind kind)
{
    switch (kind) {
    case TRotateKind::Left:
        return document.RotateLeft();
    case TRotateKind::Right:
        return document.RotateRight();
    case TRotateKind::FlipHorizontal:
        return document.FlipHorizontal();
    case TRotateKind::FlipVertical:
        return document.FlipVertical();
    }
    return false;
}

namespace {

TRotateKind Inverse(TRotateKind kind)
{
    switch (kind) {
    case TRotateKind::Left:
        return TRotateKind::Right;
    case TRotateKind::Right:
        return TRotateKind::Left;
    default:
        return kind; // a flip is its own inverse
    }
}

} // namespace

TQpRotateCommandState::TQpRotateCommandState(TQpGraphicsTool* tool, TQpGraphicsDocument& document,
                                             TRotateKind kind)
    : TQpCustomGraphicsCommandState(tool, document.CropRect(), document), m_kind(kind)
{
    document.SetUnmodified(false);
}

void TQpRotateCommandState::Undo()
{
    TWaitCursor wait;
    ApplyRotateKind(Document(), Inverse(m_kind));
    TQpCustomGraphicsCommandState::Undo();
    if (Tool())
        Tool()->ResetOptions();
}

void TQpRotateCommandState::Redo()
{
    TWaitCursor wait;
    Document().SetUnmodified(false);
    ApplyRotateKind(Document(), m_kind);
    TQpCustomGraphicsCommandState::Redo();
    if (Tool())
        Tool()->ResetOptions();
}
