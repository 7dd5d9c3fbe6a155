#pragma once
// The image editor: the one concrete editor. It opens and saves image documents, shows each in a
// graphics view, owns the notion of the active tool, adds the zoom commands, previous and next
// image of the folder, the X, Y, W, H, R, G, B status panels, the plug-in mode for an image handed
// over by the host, and the script words that open images and zoom. Owns the format registry.

#include "documents/QpEditor.h"

#include <QStringList>
#include <memory>

class QLabel;
class QAction;
class QMenu;
class TQpGraphicsDocument;
class TQpGraphicsTool;
class TQpGraphicsView;

class TQpGraphicsEditor : public TQpEditor
{
public:
    TQpGraphicsEditor();
    ~TQpGraphicsEditor() override;

    // Published components.
    QAction* ZoomInMenuItem = nullptr;
    QAction* ZoomOutMenuItem = nullptr;
    QAction* ActualSizeMenuItem = nullptr;
    QAction* ScaleToBestFitMenuItem = nullptr;
    QAction* ZoomMenuSeparator = nullptr;
    QAction* ZoomToolbarSeparator = nullptr;
    QAction* ZoomInButton = nullptr;
    QAction* ZoomOutButton = nullptr;
    QAction* ActualSizeButton = nullptr;
    QAction* ScaleToBestFitButton = nullptr;
    QMenu* ImportSubmenu = nullptr;
    QAction* SelectTwainSourceMenuItem = nullptr;
    QAction* AcquireMenuItem = nullptr;
    QAction* CloseMenuSeperator = nullptr;
    QLabel* XStatusPanel = nullptr;
    QLabel* YStatusPanel = nullptr;
    QLabel* WStatusPanel = nullptr;
    QLabel* HStatusPanel = nullptr;
    QLabel* RStatusPanel = nullptr;
    QLabel* GStatusPanel = nullptr;
    QLabel* BStatusPanel = nullptr;
    QLabel* ZoomStatusPanel = nullptr;
    QAction* PrevImageButton = nullptr;
    QAction* NextImageButton = nullptr;
    QAction* OkButton = nullptr;
    QAction* CancelButton = nullptr;

    // Overrides of the editor base.
    TQpDocumentFormats& Formats() override;
    std::unique_ptr<TQpDocument> CreateDocument() override;
    bool AttachView(TQpDocument* document, QWidget*& control) override;
    void ActivateDocument(TQpDocument* document) override;
    bool OpenFile(const QString& name, TQpDocument*& document, bool addToRecent) override;
    void AddRecentDocument(TQpDocument* document) override;
    void UpdateCaption() override;
    int AskSaveChanges(const QString& name) override;
    bool SaveAs(TQpDocument* document) override;
    void SetPlugInMode(bool value) override;
    bool CanUndo() override;
    bool CanRedo() override;
    void Undo() override;
    void Redo() override;
    void UpdateControls() override;
    void Localize() override;
    void LoadSettings(TQpSDFReader& reader) override;
    void SaveSettings(TQpSDFWriter& writer) override;
    // The script words, in QpGraphicsEditorWords.cpp with their argument checks.
    void DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                     TQpDemoScriptUserAction* action, const TQpDemoParams& params) override;
    void DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point) override;

    // The main window's wheel: passed to the view when the pointer is over it.
    virtual bool MouseWheelHandler(int delta, Qt::KeyboardModifiers modifiers, QPoint globalPoint);
    virtual void NextImage();
    virtual void PreviousImage();
    virtual void ZoomIn();
    virtual void ZoomOut();
    virtual void ActualSize();
    virtual void BestFit();
    virtual void AcceptPlugIn();
    virtual void CancelPlugIn();

    // Active tool.
    void SetActiveTool(TQpGraphicsTool* tool);
    bool CanActivateTool(TQpGraphicsTool* tool);
    void LockTool() { m_toolLock = true; }
    void UnlockTool() { m_toolLock = false; }
    bool ToolLocked() const { return m_toolLock; }
    TQpGraphicsTool* ActiveTool() const { return m_activeTool; }
    TQpGraphicsTool* PreviousTool() const { return m_previousTool; }
    // Set by an undo state that wants the undo or redo to go on over further steps.
    bool RepeatFlag = false;

    TQpGraphicsDocument* ActiveGraphicsDocument() const;
    // The active document's view, or null.
    TQpGraphicsView* ActiveView() const;
    // Grows the main window until the active view is at least width x height, within the work area.
    void SetMinViewSize(int width, int height);

    // The status panels: the pointer's image point and colour, the image's size.
    void ShowPointerStatus(int x, int y, int red, int green, int blue);
    void ShowZoom(int percent);
    void ShowImageSize(int width, int height);

    QString DemonstrationFolder;
    const QStringList& FolderImages() const { return m_folderImages; }
    int FolderImageIndex() const { return m_folderImageIndex; }
    // Lists the image files of the file's folder, sorted by name, and finds the file among them.
    void RebuildFolderImageList(const QString& fileName);

    // The tools among the application's modules, in module order.
    static std::vector<TQpGraphicsTool*> Tools();

private:
    // Records the command while a demo is recorded, then zooms the active view.
    void ZoomCommand(const QString& name, const QString& message, void (TQpGraphicsView::*zoom)());
    // One undo or redo, repeated while the step sets RepeatFlag.
    void Step(bool redo);
    bool OpenFolderImage(int index);
    QLabel* AddStatusPanel(const QString& caption, int width, bool framed, bool valuePanel);

    std::unique_ptr<TQpDocumentFormats> m_formats;
    TQpGraphicsTool* m_activeTool = nullptr;
    TQpGraphicsTool* m_previousTool = nullptr;
    bool m_toolLock = false;
    QStringList m_folderImages;
    int m_folderImageIndex = -1;
};

// The one image editor; null before it is created and after it is destroyed.
extern TQpGraphicsEditor* QpGraphicsEditor;
