#pragma once
// The resize tool: scales the whole image to a new width and height, keeping the proportions when asked,
// as one undo step. A size the machine cannot hold is refused with its reason and leaves no step.

#include "documents/QpDemoWords.h"
#include "documents/QpGraphicsTool.h"

#include <memory>

class TQpResizeFrame;

class TQpResizeTool : public TQpGraphicsTool
{
public:
    TQpResizeTool();
    ~TQpResizeTool() override;

    int NewWidth() const { return m_newWidth; }
    int NewHeight() const { return m_newHeight; }
    bool ConstrainProportions() const { return m_constrain; }
    // Below 1 becomes 1, above 32767 becomes 32767; with the proportions kept the other side follows.
    void SetNewWidth(int value);
    void SetNewHeight(int value);
    void SetConstrainProportions(bool value);
    // Resizes the active document to the new size; false, with the user told why, when it cannot.
    bool PerformResize();
    // The new size becomes the image's size.
    void ResetOptions() override;

    TQpResizeFrame* Frame() const { return m_frame; }
    // Frame handlers.
    void WidthEditChange(int value);
    void HeightEditChange(int value);
    void ConstrainProportionsCheckBoxChange(bool value);
    void OkButtonClick();
    void CancelButtonClick();

    void Localize() override;
    void UpdateControls() override;
    void CommitEdit() override {}
    void Activated() override;
    void DocumentOpened(TQpGraphicsDocument* document) override;
    TQpDemoWords DemoWords() override;

private:
    void CreateControls();
    void ShowValues();
    void Record(const QString& line);
    void ImageSize(int& width, int& height) const;

    TQpResizeFrame* m_frame = nullptr;
    int m_newWidth = 1;
    int m_newHeight = 1;
    bool m_constrain = false;
};
