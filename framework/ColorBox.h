#pragma once
// A colour chooser: a button showing the colour as a swatch that opens the colour dialog. Colours are
// colour values with red in the low byte, as settings and script words hold them.

#include <QToolButton>
#include <cstdint>
#include <functional>

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
