#pragma once
// A private virtual X server for one test executable, and a Qt client on it that can look at
// the screen. The server picks its own display number, so parallel runs do not collide.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

class XvfbSession
{
public:
    // Starts Xvfb and the Qt client; Ok() tells whether both are up.
    static XvfbSession& Instance()
    {
        static XvfbSession session;
        return session;
    }

    bool Ok() const { return m_ok; }
    QString Display() const { return m_display; }

    QImage Grab() const
    {
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32) : QImage();
    }

    // The bounding box of what is not the black of an empty X screen: the program's window, which
    // opens centred on first start.
    static QRect PaintedBounds(const QImage& image)
    {
        int left = image.width(), top = image.height(), right = -1, bottom = -1;
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] & 0xFFFFFF) != 0) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = y;
                }
        }
        return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
    }

    // An environment for a program under test: this display, a fresh settings and data folder.
    QProcessEnvironment Environment(const QString& home) const { return Environment(home, m_display); }
    static QProcessEnvironment Environment(const QString& home, const QString& display)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_DATA_HOME", home + "/data");
        env.insert("XDG_STATE_HOME", home + "/state");
        env.insert("XDG_RUNTIME_DIR", home + "/runtime");
        env.insert("LANG", "en_US.UTF-8");
        QDir().mkpath(home + "/runtime");
        QFile::setPermissions(home + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return env;
    }

    // Starts `program` on this display with its own settings folders below `home`.
    bool Start(QProcess& process, const QString& program, const QString& home,
               const QStringList& arguments = {}) const
    {
        process.setProcessEnvironment(Environment(home));
        process.start(program, arguments);
        return process.waitForStarted(10000);
    }

private:
    XvfbSession()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        m_server.setProgram("Xvfb");
        m_server.setArguments(
            {"-displayfd", QString::number(fds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        m_server.setChildProcessModifier([fd = fds[0]] { ::close(fd); });
        m_server.start();
        ::close(fds[1]);
        if (!m_server.waitForStarted(5000)) {
            ::close(fds[0]);
            return;
        }
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (number.empty())
            return;
        m_display = ":" + QString::fromStdString(number);
        qputenv("DISPLAY", m_display.toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char name[] = "e2e-tests";
        static char* argv[] = {name, nullptr};
        m_client = std::make_unique<QGuiApplication>(argc, argv);
        m_ok = QGuiApplication::primaryScreen() != nullptr;
    }
    ~XvfbSession()
    {
        m_client.reset();
        m_server.terminate();
        m_server.waitForFinished(3000);
    }

    QProcess m_server;
    std::unique_ptr<QGuiApplication> m_client;
    QString m_display;
    bool m_ok = false;
};
