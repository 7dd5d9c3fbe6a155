#include "documents/QpGraphicsDocument.h"

#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsView.h"
#include "framework/Localizer.h"

TQpGraphicsDocument::TQpGraphicsDocument(TQpEditor& editor) : TQpDocument(editor) {}

TQpGraphicsDocument::~TQpGraphicsDocument()
{
    // The view paints from the images, which go before the base class would free it.
    DestroyView();
}

void TQpGraphicsDocument::CreateView(QWidget*& control)
{
    control = new TQpGraphicsView(*this);
}

TQpGraphicsView* TQpGraphicsDocument::GraphicsView()
{
    return dynamic_cast<TQpGraphicsView*>(View());
}

void TQpGraphicsDocument::BeforeClose()
{
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->DocumentClosing(this);
}

void TQpGraphicsDocument::Closed()
{
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->DocumentClosed(this);
}

void TQpGraphicsDocument::BeforeSave()
{
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->DocumentSaving(this);
}

void TQpGraphicsDocument::AfterSave()
{
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->DocumentSaved(this);
}

QString TQpGraphicsDocument::LoadNotice() const
{
    switch (LoadProblem()) {
    case TLoadProblem::None:
        break;
    case TLoadProblem::Damaged:
        if (!LoadProblemDetail().empty())
            return LocalizedString(
                       4009, QStringLiteral("The file is damaged: only part of the picture could be read")) +
                   QStringLiteral(" (") + QString::fromStdString(LoadProblemDetail()) + QStringLiteral(")");
        return LocalizedString(4009,
                               QStringLiteral("The file is damaged: only part of the picture could be read"));
    case TLoadProblem::Missing:
        return LocalizedString(4014, QStringLiteral("The file does not exist"));
    case TLoadProblem::Folder:
        return LocalizedString(4015, QStringLiteral("It is a folder, not a file"));
    case TLoadProblem::Unreadable:
        return LocalizedString(4010, QStringLiteral("The file cannot be read")) +
               (LoadProblemDetail().empty()
                    ? QString()
                    : QStringLiteral(": ") + QString::fromStdString(LoadProblemDetail()));
    case TLoadProblem::NotAnImage:
        return LocalizedString(4011, QStringLiteral("The file is not a picture this program reads"));
    case TLoadProblem::TooLarge:
        return LocalizedString(4012, QStringLiteral("The picture is larger than this program opens")) +
               QStringLiteral(": ") + QString::fromStdString(LoadProblemDetail());
    }
    return {};
}

void TQpGraphicsDocument::Opened()
{
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->DocumentOpened(this);
}

void TQpGraphicsDocument::BeginEdit(TQpGraphicsTool* tool)
{
    if (m_editSessionActive)
        EndEdit(nullptr);
    // The tool will change the current pixels; the original and the undo base must not change with them.
    PrepareEdit();
    m_dirtyRect = {};
    m_editingTool = tool;
    m_editSessionActive = true;
}

void TQpGraphicsDocument::EndEdit(TQpGraphicsTool* caller)
{
    m_editSessionActive = false;
    if (!caller && m_editingTool)
        m_editingTool->EndDocumentEdit();
    m_dirtyRect = {};
}

void TQpGraphicsDocument::CancelEdit()
{
    m_editSessionActive = false;
    m_editingTool = nullptr;
    m_dirtyRect = {};
}

void TQpGraphicsDocument::AddDirtyRect(const TQpRect& rect, bool replace)
{
    if (replace || m_dirtyRect.IsEmpty()) {
        m_dirtyRect = rect;
    } else {
        m_dirtyRect = UnionRect(m_dirtyRect, rect);
    }
    InvalidateImageRect(rect);
}

void TQpGraphicsDocument::InvalidateImageRect(const TQpRect& rect)
{
    if (TQpGraphicsView* view = GraphicsView())
        view->InvalidateImageRect(rect);
}

void TQpGraphicsDocument::GeometryChanged()
{
    if (TQpGraphicsView* view = GraphicsView())
        view->GeometryChanged();
    if (QpGraphicsEditor)
        QpGraphicsEditor->ShowImageSize(Width(), Height());
}

void TQpGraphicsDocument::NotifyImageChanged(TQpGraphicsTool* tool, const TQpRect& rect)
{
    for (TQpGraphicsTool* each : TQpGraphicsEditor::Tools())
        each->ImageChanged(this, tool, rect);
}

void TQpGraphicsDocument::NotifyBeforeUndo()
{
    TQpCommandState* state = History().NextUndoState();
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->BeforeUndo(state);
}

void TQpGraphicsDocument::NotifyAfterUndo()
{
    TQpCommandState* state = History().NextUndoState();
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->AfterUndo(state);
}

void TQpGraphicsDocument::NotifyBeforeRedo()
{
    TQpCommandState* state = History().NextRedoState();
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->BeforeRedo(state);
}

void TQpGraphicsDocument::NotifyAfterRedo()
{
    TQpCommandState* state = History().NextRedoState();
    for (TQpGraphicsTool* tool : TQpGraphicsEditor::Tools())
        tool->AfterRedo(state);
}
