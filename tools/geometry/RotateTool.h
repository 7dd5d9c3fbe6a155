#pragma once
// Quarter turns and flips of the whole image, each one undo step undone by its inverse. The four
// operations sit on the editor's toolbar as well; the tool's own button stays hidden and its frame is
// reached through script words. In plug-in mode the toolbar's turns are half turns (two steps), so the
// host's image keeps its size.

#include "documents/QpDemoWords.h"
#include "documents/QpGraphicsTool.h"
#include "tools/geometry/RotateCommandState.h"

#include <memory>

class QAction;
class TQpRotateFrame;

class TQpRotateTool : public TQpGraphicsTool
{
public:
    TQpRotateTool();
    ~TQpRotateTool() override;

    // One undoable step each; false without a document or when the operation failed.
    bool Perform(TRotateKind kind);
    bool RotateLeft() { return Perform(TRotateKind::Left); }
    bool RotateRight() { return Perform(TRotateKind::Right); }
    bool FlipHorizontal() { return Perform(TRotateKind::FlipHorizontal); }
    bool FlipVertical() { return Perform(TRotateKind::FlipVertical); }
    TRotateKind LastKind() const { return m_lastKind; }
    void SetShowOptions(bool value);
    bool ShowOptionsOn() const { return m_showOptions; }
    // Rebuilds the thumbnail of the active document, while the preview can be seen.
    void RefreshPreview();
    void ResetOptions() override { RefreshPreview(); }

    TQpRotateFrame* Frame() const { return m_frame; }
    // The editor toolbar's items: rotate right, rotate left, flip vertical, flip horizontal.
    QAction* ToolbarItems[4] = {};

    // Frame handlers.
    void DirectButtonClick(TRotateKind kind);
    void RotateButtonClick();
    void RotateRadioButtonChange();
    void ShowOptionsButtonClick();

    void Localize() override;
    void UpdateControls() override;
    void CommitEdit() override;
    void Activated() override;
    void DocumentOpened(TQpGraphicsDocument* document) override;
    TQpDemoWords DemoWords() override;

private:
    void CreateControls();
    void Record(const QString& word);
    // The toolbar's operation: twice in plug-in mode for the turns.
    void ToolbarPerform(TRotateKind kind);

    TQpRotateFrame* m_frame = nullptr;
    TRotateKind m_lastKind = TRotateKind::Right;
    bool m_showOptions = false;
};
