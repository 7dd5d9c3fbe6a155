#pragma once
// The resize tool's option frame: the new width and height (1 to 32767), the proportions switch, OK and
// Cancel. Every component carries its form name as object name; the tool holds the values.

#include "framework/QpModule.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class TQpResizeTool;

class TQpResizeFrame : public TQpFrame
{
public:
    explicit TQpResizeFrame(TQpResizeTool& tool, QWidget* parent = nullptr);

    void ReleaseTool() { m_tool = nullptr; }

    QLabel* TitleLabel = nullptr;
    QLabel* NewSizeLabel = nullptr;
    QLabel* WidthLabel = nullptr;
    QSpinBox* WidthEdit = nullptr;
    QLabel* HeightLabel = nullptr;
    QSpinBox* HeightEdit = nullptr;
    QCheckBox* ConstrainProportionsCheckBox = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void Localize() override;
    // Shows the values without their change handlers running.
    void Show(int width, int height, bool constrain);

private:
    TQpResizeTool* m_tool;
    bool m_showing = false;
};
