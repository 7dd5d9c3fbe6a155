#pragma once
// The undo steps of image tools. Every step names its tool, its document and the rectangle it
// affected, and tells every tool of that rectangle when it is made, undone and redone. The pixel
// step keeps only the rectangle's pixels before and after, never the whole image.

#include "core/QpCommandHistory.h"
#include "imaging/QpPixels.h"

class TQpGraphicsDocument;
class TQpGraphicsTool;

class TQpCustomGraphicsCommandState : public TQpCommandState
{
public:
    TQpCustomGraphicsCommandState(TQpGraphicsTool* tool, const TQpRect& rect, TQpGraphicsDocument& document);

    TQpGraphicsTool* Tool() const { return m_tool; }
    TQpGraphicsDocument& Document() const { return m_document; }
    const TQpRect& Rect() const { return m_rect; }

    // Derived states call these after their own work.
    void Undo() override;
    void Redo() override;

private:
    TQpGraphicsTool* m_tool;
    TQpGraphicsDocument& m_document;
    TQpRect m_rect;
};

class TQpGraphicsCommandState : public TQpCustomGraphicsCommandState
{
public:
    // Takes the rectangle from the undo base (before) and the current image (after).
    TQpGraphicsCommandState(TQpGraphicsTool* tool, const TQpRect& rect, TQpGraphicsDocument& document);

    void Undo() override;
    void Redo() override;

    // The bytes this step holds, for measuring sessions.
    std::size_t PixelBytes() const;

private:
    // Puts `pixels` into the current image and the undo base, and repaints them.
    void Apply(const TQpPixelBuffer& pixels);

    TQpPixelBuffer m_before;
    TQpPixelBuffer m_after;
};
