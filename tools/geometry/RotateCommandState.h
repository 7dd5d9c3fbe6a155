#pragma once
// One quarter turn or flip as an undo step: undone by the inverse operation, so it keeps no pixels.

#include "documents/QpGraphicsCommandState.h"

#include <cstdint>

enum class TRotateKind : std::uint8_t
{
    Left = 1,
    Right = 2,
    FlipHorizontal = 3,
    FlipVertical = 4,
};

// Applies `kind` to the document; false when it could not be done.
bool ApplyRotateKind(TQpGraphicsDocument& document, TRotateKind kind);

class TQpRotateCommandState : public TQpCustomGraphicsCommandState
{
public:
    TQpRotateCommandState(TQpGraphicsTool* tool, TQpGraphicsDocument& document, TRotateKind kind);

    void Undo() override;
    void Redo() override;
    TRotateKind Kind() const { return m_kind; }

private:
    TRotateKind m_kind;
};
