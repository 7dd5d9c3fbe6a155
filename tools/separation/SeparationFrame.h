#pragma once
// The separation tool's option frame: regime, actions, the area the brush writes, and the background
// effect with its parameters. Every component carries its form name as object name. The frame holds no
// state of its own; the tool reads and sets its components.

#include "framework/QpModule.h"

#include <QGroupBox>
#include <QToolButton>
#include <cstdint>
#include <functional>

class QButtonGroup;
class QLabel;
class QRadioButton;
class QSlider;
class TQpSeparationTool;

// A colour chooser: a button showing the colour as a swatch that opens the colour dialog. Colours are
// colour values with red in the low byte.
class TQpColorBox : public QToolButton
{
public:
    explicit TQpColorBox(QWidget* parent = nullptr);

    std::uint32_t Color() const { return m_color; }
    // Shows the colour; OnSelect is not called.
    void SetColor(std::uint32_t color);
    // As if the user had chosen the colour in the dialog.
    void Select(std::uint32_t color);
    std::function<void(std::uint32_t)> OnSelect;

private:
    void ChooseColor();
    std::uint32_t m_color = 0xFFFFFF;
};

// A captioned group of radio buttons with one index, as the effect choice needs it.
class TQpRadioGroup : public QGroupBox
{
public:
    explicit TQpRadioGroup(QWidget* parent = nullptr);

    void SetItems(const QStringList& items);
    int ItemIndex() const;
    // Checks the item without running OnClick.
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const;
    int Count() const;
    // A user's click that changed the index.
    std::function<void(int)> OnClick;

private:
    QButtonGroup* m_group;
};

class TQpSeparationFrame : public TQpFrame
{
public:
    explicit TQpSeparationFrame(TQpSeparationTool& tool, QWidget* parent = nullptr);

    // Null once the tool has gone; the tool panel keeps the frame until the end.
    TQpSeparationTool* Tool() const { return m_tool; }
    void ReleaseTool() { m_tool = nullptr; }

    QLabel* TitleLabel = nullptr;
    QLabel* SizeLabel = nullptr;
    QSlider* SizeTrackBar = nullptr;
    QGroupBox* RegimeTntGroupBox = nullptr;
    QToolButton* RegimeEdgeTBXButton = nullptr;
    QToolButton* RegimeFullTBXButton = nullptr;
    QToolButton* RegimeEffectTBXButton = nullptr;
    QGroupBox* ActionsTntGroupBox = nullptr;
    QToolButton* SeparateTBXButton = nullptr;
    QToolButton* ClearTBXButton = nullptr;
    QToolButton* FillTBXButton = nullptr;
    QToolButton* SwapTBXButton = nullptr;
    QToolButton* StoreTBXButton = nullptr;
    QToolButton* DoneTBXButton = nullptr;
    QToolButton* AbortTBXButton = nullptr;
    QGroupBox* AreaTntGroupBox = nullptr;
    QToolButton* AreaObjectTBXButton = nullptr;
    QToolButton* AreaBGTBXButton = nullptr;
    QToolButton* AreaCleaningTBXButton = nullptr;
    QToolButton* AreaUnknownTBXButton = nullptr;
    QGroupBox* EffectTntGroupBox = nullptr;
    TQpRadioGroup* BackgroundEffectTntRadioGroup = nullptr;
    TQpColorBox* ColorBox = nullptr;
    QSlider* ShadowTntTrackBar = nullptr;
    QSlider* BlurRadiusTntTrackBar = nullptr;
    TQpColorBox* MonochromeColorBox = nullptr;

    // The area button whose tag is `area`, or null.
    QToolButton* AreaButton(int area) const;
    // The Fill button shows the bucket of the area it fills with.
    void SetFillImage(int area);

    void Localize() override;

private:
    template <class Handler> void Call(Handler handler)
    {
        if (m_tool)
            handler(*m_tool);
    }

    TQpSeparationTool* m_tool;
};
