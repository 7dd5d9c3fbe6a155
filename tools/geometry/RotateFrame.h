#pragma once
// The rotation tool's option frame: either the four direct buttons, or (options shown) a preview of the
// checked operation on a thumbnail with its four radio buttons and one button that performs it. Every
// component carries its form name as object name.

#include "framework/QpModule.h"
#include "tools/geometry/RotateCommandState.h"

class QLabel;
class QPushButton;
class QRadioButton;
class TQpLTBitmap;
class TQpRotateTool;

class TQpRotateFrame : public TQpFrame
{
public:
    explicit TQpRotateFrame(TQpRotateTool& tool, QWidget* parent = nullptr);
    ~TQpRotateFrame() override;

    void ReleaseTool() { m_tool = nullptr; }

    QLabel* TitleLabel = nullptr;
    QWidget* PreviewControl = nullptr;
    QWidget* PreviewPanel = nullptr;
    QWidget* ThumbnailView = nullptr;
    QRadioButton* RotateRightRadioButton = nullptr;
    QRadioButton* RotateLeftRadioButton = nullptr;
    QRadioButton* FlipHorizontalRadioButton = nullptr;
    QRadioButton* FlipVerticalRadioButton = nullptr;
    QPushButton* RotateButton = nullptr;
    QPushButton* RotateRightButton = nullptr;
    QPushButton* RotateLeftButton = nullptr;
    QPushButton* FlipHorizontalButton = nullptr;
    QPushButton* FlipVerticalButton = nullptr;
    QPushButton* ShowOptions = nullptr;

    void Localize() override;
    // The operation of the checked radio button.
    TRotateKind CheckedKind() const;
    void CheckKind(TRotateKind kind);
    QRadioButton* RadioButton(TRotateKind kind) const;
    QPushButton* DirectButton(TRotateKind kind) const;
    // Options shown: the preview and its radio buttons instead of the direct buttons.
    void ShowOptionsLayout(bool shown);
    // The thumbnail and its transformed copy; null clears the preview.
    void SetThumbnail(std::unique_ptr<TQpLTBitmap> thumbnail);
    const TQpLTBitmap* Transformed() const { return m_transformed.get(); }
    // The paint box's side that the thumbnail fits into.
    int ThumbnailSize() const;

private:
    void Retransform();
    void PaintThumbnail();
    friend class TThumbnailView;

    TQpRotateTool* m_tool;
    std::unique_ptr<TQpLTBitmap> m_thumbnail;
    std::unique_ptr<TQpLTBitmap> m_transformed;
    bool m_shown = false;
};
