#pragma once
// A diagnostic for test drivers that press the program's buttons from outside: every 200 ms it
// writes the on-screen rectangles and states of the named widgets of the main window (dialogs
// owned by it included) to a file, one line per widget:
//   objectName x y width height enabled checked
// in global screen coordinates, the rectangle being the part not cut off by enclosing widgets
// (empty at the widget's origin when nothing of it shows). The file is replaced whole and only when a line
// changed, so a reader never sees half a map. A timer rather than the idle pass keeps the map
// current while a long operation pumps messages, which is when a driver most wants to watch.

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QWidget;

class TWidgetMap : public QObject
{
public:
    explicit TWidgetMap(QString fileName);

    // The map when VELMORA_WIDGET_MAP names a file; null otherwise.
    static std::unique_ptr<TWidgetMap> FromEnvironment();
    // The lines for the visible named widgets below `root`, `root` included.
    static QString Describe(const QWidget* root);

    // Writes the map now when it differs from the last one written.
    void Refresh();

private:
    QString m_fileName;
    QString m_written;
    QTimer m_timer;
};
