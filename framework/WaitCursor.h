#pragma once
// The hourglass while a long operation runs: a file read or written, a whole-image change.

#include <QApplication>

class TWaitCursor
{
public:
    TWaitCursor() : m_shown(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TWaitCursor()
    {
        if (m_shown)
            QApplication::restoreOverrideCursor();
    }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
    bool m_shown;
};
