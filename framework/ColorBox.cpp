#include "framework/ColorBox.h"

#include <QColorDialog>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

QColor ToQColor(std::uint32_t color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

std::uint32_t FromQColor(const QColor& color)
{
    return static_cast<std::uint32_t>(color.red()) | static_cast<std::uint32_t>(color.green()) << 8 |
           static_cast<std::uint32_t>(color.blue()) << 16;
}

} // namespace

TQpColorBox::TQpColorBox(QWidget* parent) : QToolButton(parent)
{
    setIconSize(QSize(40, 14));
    SetColor(m_color);
    connect(this, &QToolButton::clicked, this, [this] { ChooseColor(); });
}

void TQpColorBox::SetColor(std::uint32_t color)
{
    m_color = color & 0xFFFFFF;
    QPixmap swatch(iconSize());
    swatch.fill(ToQColor(m_color));
    QPainter painter(&swatch);
    painter.setPen(Qt::black);
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    painter.end();
    setIcon(QIcon(swatch));
}

void TQpColorBox::Select(std::uint32_t color)
{
    SetColor(color);
    if (OnSelect)
        OnSelect(m_color);
}

void TQpColorBox::ChooseColor()
{
    const QColor chosen = QColorDialog::getColor(ToQColor(m_color), this);
    if (chosen.isValid())
        Select(FromQColor(chosen));
}
