#include "framework/FlowToolBar.h"

#include <QAction>
#include <QActionEvent>
#include <QFrame>
#include <QToolButton>
#include <algorithm>

namespace {
constexpr int kSpacing = 2;
constexpr int kSeparatorWidth = 6;
} // namespace

TQpFlowToolBar::TQpFlowToolBar(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

QToolButton* TQpFlowToolBar::ButtonFor(QAction* action) const
{
    for (const Item& item : m_items) {
        if (item.action == action)
            return qobject_cast<QToolButton*>(item.widget);
    }
    return nullptr;
}

void TQpFlowToolBar::actionEvent(QActionEvent* event)
{
    QAction* action = event->action();
    switch (event->type()) {
    case QEvent::ActionAdded: {
        QWidget* widget = nullptr;
        if (action->isSeparator()) {
            auto* line = new QFrame(this);
            line->setFrameShape(QFrame::VLine);
            line->setFrameShadow(QFrame::Sunken);
            widget = line;
        } else {
            auto* button = new QToolButton(this);
            button->setDefaultAction(action);
            button->setIconSize(m_iconSize);
            button->setAutoRaise(true);
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
            widget = button;
        }
        widget->setVisible(action->isVisible());
        auto before = std::find_if(m_items.begin(), m_items.end(),
                                   [&](const Item& item) { return item.action == event->before(); });
        m_items.insert(before, {action, widget});
        break;
    }
    case QEvent::ActionRemoved: {
        auto it = std::find_if(m_items.begin(), m_items.end(),
                               [&](const Item& item) { return item.action == action; });
        if (it != m_items.end()) {
            delete it->widget;
            m_items.erase(it);
        }
        break;
    }
    case QEvent::ActionChanged:
        for (const Item& item : m_items) {
            if (item.action == action)
                item.widget->setVisible(action->isVisible());
        }
        break;
    default:
        break;
    }
    updateGeometry();
    Arrange(width(), true);
}

void TQpFlowToolBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Arrange(width(), true);
}

int TQpFlowToolBar::Arrange(int width, bool apply) const
{
    const QSize buttonSize = m_iconSize + QSize(8, 8);
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    for (const Item& item : m_items) {
        if (!item.action->isVisible())
            continue;
        if (item.action->isSeparator()) {
            const int size = item.action->property("separatorSize").toInt();
            if (size >= width && x > 0) {
                // A separator as wide as the bar starts a new row.
                x = 0;
                y += rowHeight + kSpacing;
                rowHeight = 0;
                if (apply)
                    item.widget->hide();
                continue;
            }
            if (x + kSeparatorWidth > width && x > 0) {
                x = 0;
                y += rowHeight + kSpacing;
                rowHeight = 0;
            }
            if (apply) {
                item.widget->show();
                item.widget->setGeometry(x, y, kSeparatorWidth, buttonSize.height());
            }
            x += kSeparatorWidth + kSpacing;
            rowHeight = std::max(rowHeight, buttonSize.height());
            continue;
        }
        if (x + buttonSize.width() > width && x > 0) {
            x = 0;
            y += rowHeight + kSpacing;
            rowHeight = 0;
        }
        if (apply)
            item.widget->setGeometry(x, y, buttonSize.width(), buttonSize.height());
        x += buttonSize.width() + kSpacing;
        rowHeight = std::max(rowHeight, buttonSize.height());
    }
    return y + rowHeight;
}

int TQpFlowToolBar::heightForWidth(int width) const
{
    return Arrange(width, false);
}

QSize TQpFlowToolBar::sizeHint() const
{
    const int w = std::max(width(), m_iconSize.width() + 8);
    return {w, Arrange(w, false)};
}

QSize TQpFlowToolBar::minimumSizeHint() const
{
    return {m_iconSize.width() + 8, m_iconSize.height() + 8};
}
