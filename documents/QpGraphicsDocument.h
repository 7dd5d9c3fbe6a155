#pragma once
// The image editor's document: the image, metadata and codec of TQpGraphicsImage, bound to the editor,
// its view and the tools. One tool at a time changes pixels inside an edit session and collects the
// changed area; the document tells every tool of changes, saves and undo steps.

#include "documents/QpDocument.h"
#include "model/QpGraphicsImage.h"

class TQpCommandState;
class TQpGraphicsTool;
class TQpGraphicsView;

class TQpGraphicsDocument : public TQpDocument, public TQpGraphicsImage
{
public:
    explicit TQpGraphicsDocument(TQpEditor& editor);
    ~TQpGraphicsDocument() override;

    void CreateView(QWidget*& control) override;
    // The document's view, or null before one is made.
    TQpGraphicsView* GraphicsView();
    void BeforeClose() override;
    void Closed() override;
    void BeforeSave() override;
    void Opened() override;
    void AfterSave() override;
    QString LoadNotice() const override;

    // The edit session.
    void BeginEdit(TQpGraphicsTool* tool);
    // Ends the session. `caller` null means the document itself, which lets the editing tool finish.
    void EndEdit(TQpGraphicsTool* caller);
    void CancelEdit();
    void AddDirtyRect(const TQpRect& rect, bool replace);
    void InvalidateImageRect(const TQpRect& rect);
    const TQpRect& DirtyRect() const { return m_dirtyRect; }
    bool EditSessionActive() const { return m_editSessionActive; }
    TQpGraphicsTool* EditingTool() const { return m_editingTool; }

    void NotifyImageChanged(TQpGraphicsTool* tool, const TQpRect& rect);
    void NotifyBeforeUndo();
    void NotifyAfterUndo();
    void NotifyBeforeRedo();
    void NotifyAfterRedo();

protected:
    void GeometryChanged() override;

private:
    TQpRect m_dirtyRect;
    bool m_editSessionActive = false;
    TQpGraphicsTool* m_editingTool = nullptr;
};
