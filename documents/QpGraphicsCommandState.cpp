#include "documents/QpGraphicsCommandState.h"

#include "documents/QpGraphicsDocument.h"

TQpCustomGraphicsCommandState::TQpCustomGraphicsCommandState(TQpGraphicsTool* tool, const TQpRect& rect,
                                                             TQpGraphicsDocument& document)
    : m_tool(tool), m_document(document), m_rect(rect)
{
    m_document.NotifyImageChanged(m_tool, m_rect);
}

void TQpCustomGraphicsCommandState::Undo()
{
    m_document.NotifyImageChanged(m_tool, m_rect);
}

void TQpCustomGraphicsCommandState::Redo()
{
    m_document.NotifyImageChanged(m_tool, m_rect);
}

namespace {
void CopyOut(TQpPixelBuffer& buffer, const TQpRect& rect, const TQpPixels& source)
{
    if (buffer.SetFormatAndBounds(source.Format, rect))
        buffer.CopyFrom(source);
}
} // namespace

TQpGraphicsCommandState::TQpGraphicsCommandState(TQpGraphicsTool* tool, const TQpRect& rect,
                                                 TQpGraphicsDocument& document)
    : TQpCustomGraphicsCommandState(tool, rect, document)
{
    CopyOut(m_before, rect, document.UndoBase());
    CopyOut(m_after, rect, *document.CurrentPixels());
    document.SetUnmodified(false);
}

std::size_t TQpGraphicsCommandState::PixelBytes() const
{
    return static_cast<std::size_t>(m_before.Stride) * static_cast<std::size_t>(m_before.Height) +
           static_cast<std::size_t>(m_after.Stride) * static_cast<std::size_t>(m_after.Height);
}

void TQpGraphicsCommandState::Apply(const TQpPixelBuffer& pixels)
{
    TQpGraphicsDocument& document = Document();
    TQpPixels* current = document.CurrentPixels();
    if (!current)
        return;
    current->CopyFrom(pixels);
    document.InvalidateImageRect(Rect());
    // Outside a session the undo base equals the current image everywhere else.
    document.SyncUndoBase(Rect());
}

void TQpGraphicsCommandState::Undo()
{
    Apply(m_before);
    TQpCustomGraphicsCommandState::Undo();
}

void TQpGraphicsCommandState::Redo()
{
    Apply(m_after);
    Document().SetUnmodified(false);
    TQpCustomGraphicsCommandState::Redo();
}
