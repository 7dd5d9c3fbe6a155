#pragma once
// A toolbar that wraps its buttons onto further rows, as the tool panel needs; QToolBar keeps one
// row. Mirrors its actions as tool buttons; a separator action whose "separatorSize" property is
// at least the bar's width ends the row.

#include <QSize>
#include <QWidget>

class QToolButton;

class TQpFlowToolBar : public QWidget
{
public:
    explicit TQpFlowToolBar(QWidget* parent = nullptr);

    void SetIconSize(QSize size) { m_iconSize = size; }
    QToolButton* ButtonFor(QAction* action) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void actionEvent(QActionEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Item
    {
        QAction* action;
        QWidget* widget;
    };
    // Lays the items out for `width`; returns the height used. Moves widgets only when `apply`.
    int Arrange(int width, bool apply) const;

    std::vector<Item> m_items;
    QSize m_iconSize{24, 24};
};
