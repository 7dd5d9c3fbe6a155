#pragma once
// The base of every image tool: a module with a button on the tool panel, an option frame, one
// tool control per image view, and the edit session through which it changes a document's pixels
// and turns the changed rectangle into one undo step. The five session fields are set together by
// BeginDocumentEdit and cleared together when the session ends; controls are owned by their views.

#include "core/QpCommandHistory.h"
#include "core/QpMapMode.h"
#include "documents/QpDemoSupport.h"
#include "documents/QpDemoWords.h"
#include "framework/QpModule.h"
#include "imaging/QpPixels.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class TQpGraphicsDocument;
class TQpGraphicsToolControl;
class TQpGraphicsView;

class TQpGraphicsTool : public TQpModuleWithControls, public IQpDemoSupport
{
public:
    // Makes the tool control of one view; the view takes ownership of what it returns.
    using TToolControlClass =
        std::function<std::unique_ptr<TQpGraphicsToolControl>(TQpGraphicsTool& tool, TQpGraphicsView& view)>;

    TQpGraphicsTool();
    ~TQpGraphicsTool() override;

    // Script words: the tool's own word activates it and names its button; the words of DemoWords, the
    // demo name followed by their suffix, run their actions and name their targets.
    void DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                     TQpDemoScriptUserAction* action, const TQpDemoParams& params) override;
    void DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point) override;
    void DemoRecordStart(IQpDemoPlayer* player) override;
    void DemoRecordStop(IQpDemoPlayer* player) override;

    virtual TQpDemoWords DemoWords() { return {}; }

    virtual void AddControl(TQpGraphicsToolControl* control);
    virtual void RemoveControl(TQpGraphicsToolControl* control);
    // Makes this tool's control for the view when the tool has a control class.
    virtual void CreateToolControl(TQpGraphicsView* view);
    // Records the session's dirty rectangle as one command and brings the undo base up to date.
    virtual void CommitEdit();
    // Ends any other session of the view's document and starts this tool's.
    virtual void BeginDocumentEdit(TQpGraphicsView* view);
    // Commits and ends the session; nothing without one.
    virtual void EndDocumentEdit();
    // Puts the undo base back over the current pixels and ends the session without a command.
    virtual void CancelDocumentEdit();
    virtual void DocumentOpened(TQpGraphicsDocument* document);
    // Before the close question; the close may still be cancelled.
    virtual void DocumentClosing(TQpGraphicsDocument*) {}
    // After it: the document is about to be freed.
    virtual void DocumentClosed(TQpGraphicsDocument*) {}
    virtual void DocumentSaving(TQpGraphicsDocument*) {}
    // After the encoder ran, whether or not the file was written.
    virtual void DocumentSaved(TQpGraphicsDocument*) {}
    // The photo's own colour at an image point where this tool has drawn over the pixels (marks, an
    // overlay); false where the pixels are the photo's.
    virtual bool PhotoColor(TQpGraphicsDocument*, TQpPoint, int& /*red*/, int& /*green*/, int& /*blue*/) const
    {
        return false;
    }
    virtual void BeforeUndo(TQpCommandState*) {}
    virtual void BeforeRedo(TQpCommandState*) {}
    virtual void RegisterDemoCommands() {}
    virtual void AfterUndo(TQpCommandState*) {}
    virtual void AfterRedo(TQpCommandState*) {}
    // Shows or hides the button and the option frame.
    virtual void SetToolVisible(bool value);
    virtual void ImageChanged(TQpGraphicsDocument*, TQpGraphicsTool*, const TQpRect&) {}
    // The button's click: makes this the editor's active tool.
    virtual void Activate();
    virtual void Activated();
    virtual void Deactivated();
    virtual void ResetOptions() {}
    virtual void CancelPending() {}

    // Grows the session's dirty rectangle (clipped to the image) and repaints it.
    void AddDirtyRect(const TQpRect& rect, bool replace);
    int ControlCount() const { return static_cast<int>(m_controls.size()); }
    // Null beyond the end.
    TQpGraphicsToolControl* Controls(int index) const;

    // The running session; all null without one. The pixel windows are fetched from the document
    // each time, because a geometry change replaces the document's storage.
    TQpGraphicsView* View() const { return m_view; }
    TQpGraphicsDocument* Document() const { return m_document; }
    TQpPixels* OriginalPixels() const;
    TQpPixelBuffer* UndoBase() const;
    TQpPixels* CurrentPixels() const;

    const QString& DemoName() const { return m_demoName; }
    IQpDemoPlayer* DemoRecorder() const { return m_demoRecorder; }
    bool Active() const { return m_active; }
    bool Visible() const { return m_visible; }
    bool VisibleInPlugInMode() const { return m_visibleInPlugInMode; }
    bool ExclusiveSession() const { return m_exclusiveSession; }

    // The tool's button: on the tool panel's toolbar, or the Standard toolbar without a panel.
    QAction* Button = nullptr;
    // The option frame in the tool panel; null for tools without options.
    TQpFrame* OptionFrame = nullptr;

    void UpdateControls() override;
    // Registers the tool's script words once, before any script can run.
    void Connect() override;

protected:
    // Creates the button (caption and hint the demo name, image from the tool image of that name)
    // and puts `frame` into the tool panel as the option frame; without a tool panel the button goes
    // onto the Standard toolbar and the tool keeps the frame, unshown, for its own use.
    void CreateToolButton(const QString& demoName, std::unique_ptr<TQpFrame> frame);
    void SetDemoName(const QString& name) { m_demoName = name; }
    void SetToolControlClass(TToolControlClass factory) { m_toolControlClass = std::move(factory); }
    void SetVisibleInPlugInMode(bool value) { m_visibleInPlugInMode = value; }
    void SetExclusiveSession(bool value) { m_exclusiveSession = value; }
    // Clears the five session fields.
    void ClearSession();

private:
    TQpGraphicsView* m_view = nullptr;
    TQpGraphicsDocument* m_document = nullptr;
    QString m_demoName;
    TToolControlClass m_toolControlClass;
    IQpDemoPlayer* m_demoRecorder = nullptr;
    std::vector<TQpGraphicsToolControl*> m_controls;
    bool m_active = false;
    bool m_visible = true;
    bool m_visibleInPlugInMode = false;
    bool m_exclusiveSession = false;
    bool m_demoCommandsRegistered = false;
    std::unique_ptr<TQpFrame> m_ownFrame;
};
