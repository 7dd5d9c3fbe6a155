#pragma once
// The crop tool's option frame: the side ratio (loose, a print format or a screen format) and, while
// loose, the typed width and height. Every component carries its form name as object name.

#include "framework/QpModule.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class TQpCrop2PlusTool;

class TQpCrop2PlusFrame : public TQpFrame
{
public:
    explicit TQpCrop2PlusFrame(TQpCrop2PlusTool& tool, QWidget* parent = nullptr);
    void ReleaseTool() { m_tool = nullptr; }

    QLabel* TitleLabel = nullptr;
    QLabel* DescriptionLabel = nullptr;
    QGroupBox* SidesRatioTntGroupBox = nullptr;
    QRadioButton* rbFree = nullptr;
    QRadioButton* rbFoto = nullptr;
    QRadioButton* rbScreen = nullptr;
    QWidget* SizePanel = nullptr;
    QLabel* WidthLabel = nullptr;
    QSpinBox* WidthEdit = nullptr;
    QLabel* HeightLabel = nullptr;
    QSpinBox* HeightEdit = nullptr;
    QWidget* panelScreen = nullptr;
    QComboBox* cmbScreen = nullptr;
    QWidget* panelFoto = nullptr;
    QComboBox* cmbFoto = nullptr;
    QGroupBox* gbCurrentResolution = nullptr;
    QLabel* lblCurrentResolution = nullptr;

    void Localize() override;
    // 0 loose, 1 print format, 2 screen format: as the radio buttons say.
    int RatioKind() const;
    // Shows the size without the change handlers running.
    void ShowSize(int width, int height);
    // The panels of the checked kind, and the screen's resolution in device pixels.
    void FollowKind();

private:
    TQpCrop2PlusTool* m_tool;
    bool m_showing = false;
};
