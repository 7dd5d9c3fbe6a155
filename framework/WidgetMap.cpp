#include "framework/WidgetMap.h"

#include "framework/QpApplication.h"

#include <QAbstractButton>
#include <QAction>
#include <QSaveFile>
#include <QToolButton>
#include <QWidget>

namespace {

constexpr int kIntervalMs = 200;

// Tool bars name their actions, not the buttons they make for them.
QString NameOf(const QWidget& widget, const QAction*& action)
{
    action = nullptr;
    if (!widget.objectName().isEmpty())
        return widget.objectName();
    if (const auto* button = qobject_cast<const QToolButton*>(&widget)) {
        if (const QAction* own = button->defaultAction(); own && !own->objectName().isEmpty()) {
            action = own;
            return own->objectName();
        }
    }
    return {};
}

void AppendLine(const QWidget& widget, QString& text)
{
    const QAction* action = nullptr;
    const QString name = NameOf(widget, action);
    if (name.isEmpty() || !widget.isVisible())
        return;
    bool checked = false;
    if (action)
        checked = action->isChecked();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
        checked = button->isChecked();
    const bool enabled = action ? action->isEnabled() && widget.isEnabled() : widget.isEnabled();
    // What a click can reach: the part that no enclosing widget cuts off, say a scrolled frame.
    QRect shown(widget.mapToGlobal(QPoint(0, 0)), widget.size());
    for (const QWidget* outer = widget.isWindow() ? nullptr : widget.parentWidget(); outer;
         outer = outer->isWindow() ? nullptr : outer->parentWidget())
        shown &= QRect(outer->mapToGlobal(QPoint(0, 0)), outer->size());
    if (shown.isEmpty())
        shown = QRect(widget.mapToGlobal(QPoint(0, 0)), QSize(0, 0));
    // Names are single words in practice; a blank would split the line's fields.
    QString word = name;
    word.replace(QLatin1Char(' '), QLatin1Char('_'));
    text += QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                .arg(word)
                .arg(shown.x())
                .arg(shown.y())
                .arg(shown.width())
                .arg(shown.height())
                .arg(enabled ? 1 : 0)
                .arg(checked ? 1 : 0);
}

} // namespace

TWidgetMap::TWidgetMap(QString fileName) : m_fileName(std::move(fileName))
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_timer.start();
}

std::unique_ptr<TWidgetMap> TWidgetMap::FromEnvironment()
{
    const QString fileName = qEnvironmentVariable("VELMORA_WIDGET_MAP");
    if (fileName.isEmpty())
        return nullptr;
    return std::make_unique<TWidgetMap>(fileName);
}

QString TWidgetMap::Describe(const QWidget* root)
{
    QString text;
    if (!root || !root->isVisible())
        return text;
    AppendLine(*root, text);
    for (const QWidget* child : root->findChildren<QWidget*>())
        AppendLine(*child, text);
    return text;
}

void TWidgetMap::Refresh()
{
    const QString text = Describe(QpApplication ? QpApplication->MainWindow() : nullptr);
    if (text == m_written)
        return;
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(text.toUtf8());
    if (file.commit())
        m_written = text;
}
