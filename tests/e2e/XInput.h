#pragma once
// Pointer and keyboard of a virtual X server, driven through XTest.

#include <QPoint>
#include <QPointF>
#include <QString>
#include <QThread>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cmath>

// Pointer and keyboard of the virtual server, driven through XTest as a user's hand would.
class TXInput
{
public:
    explicit TXInput(const QString& display) : m_display(XOpenDisplay(display.toLocal8Bit().constData())) {}
    ~TXInput()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    TXInput(const TXInput&) = delete;
    TXInput& operator=(const TXInput&) = delete;

    bool Ok() const
    {
        int event = 0, error = 0, major = 0, minor = 0;
        return m_display != nullptr && XTestQueryExtension(m_display, &event, &error, &major, &minor);
    }

    void MoveTo(QPoint at)
    {
        XTestFakeMotionEvent(m_display, 0, at.x(), at.y(), CurrentTime);
        XSync(m_display, False);
    }
    void Button(bool down)
    {
        XTestFakeButtonEvent(m_display, 1, down ? True : False, CurrentTime);
        XSync(m_display, False);
    }
    void Click(QPoint at)
    {
        MoveTo(at);
        QThread::msleep(60);
        Button(true);
        QThread::msleep(40);
        Button(false);
        QThread::msleep(40);
    }
    // Press, move in small steps, release: the brush sees one continuous stroke.
    void Drag(QPointF from, QPointF to)
    {
        MoveTo(from.toPoint());
        QThread::msleep(4);
        Button(true);
        QThread::msleep(4);
        const double length = std::hypot(to.x() - from.x(), to.y() - from.y());
        const int steps = std::max(1, static_cast<int>(std::ceil(length / 6.0)));
        for (int i = 1; i <= steps; ++i) {
            MoveTo((from + (to - from) * (double(i) / steps)).toPoint());
            QThread::msleep(2);
        }
        Button(false);
        QThread::msleep(4);
    }
    void Key(KeySym symbol, bool control = false)
    {
        const KeyCode code = XKeysymToKeycode(m_display, symbol);
        const bool shift = XkbKeycodeToKeysym(m_display, code, 0, 0) != symbol;
        const KeyCode controlCode = XKeysymToKeycode(m_display, XK_Control_L);
        const KeyCode shiftCode = XKeysymToKeycode(m_display, XK_Shift_L);
        if (control)
            XTestFakeKeyEvent(m_display, controlCode, True, CurrentTime);
        if (shift)
            XTestFakeKeyEvent(m_display, shiftCode, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        if (shift)
            XTestFakeKeyEvent(m_display, shiftCode, False, CurrentTime);
        if (control)
            XTestFakeKeyEvent(m_display, controlCode, False, CurrentTime);
        XSync(m_display, False);
        QThread::msleep(30);
    }
    void Type(const QString& text)
    {
        for (const QChar c : text)
            Key(c == QLatin1Char('.') ? XK_period : c == QLatin1Char('_') ? XK_underscore : c.unicode());
    }

private:
    Display* m_display;
};
