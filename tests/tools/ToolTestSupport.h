#pragma once
// The interactive tools' test bed: the application with its image editor, the tools a test adds,
// an image document of given pixels shown in a real offscreen view, and synthetic pointer, wheel
// and key input addressed in image coordinates. Tools are added in CreateModules, before any
// document opens, so every view gets their controls.

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"
#include "documents/QpGraphicsView.h"
#include "framework/MainForm.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "support/QtApplication.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cstdint>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace tooltest {

// The bytes of the whole image, row by row without padding.
inline std::vector<std::uint8_t> Snapshot(const TQpPixels& pixels)
{
    std::vector<std::uint8_t> bytes;
    const std::size_t rowBytes = static_cast<std::size_t>(pixels.Width) * 3;
    bytes.reserve(rowBytes * static_cast<std::size_t>(pixels.Height));
    for (int y = 0; y < pixels.Height; ++y) {
        const std::uint8_t* row = pixels.PixelPtr(0, y);
        bytes.insert(bytes.end(), row, row + rowBytes);
    }
    return bytes;
}

// The pixel as 0xRRGGBB.
inline std::uint32_t PixelAt(const TQpPixels& pixels, int x, int y)
{
    const std::uint8_t* p = pixels.PixelPtr(x, y);
    return (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
}

// A width x height image of one colour (0xRRGGBB), or a gradient when `colour` is negative, so that
// undo checks see distinct bytes everywhere.
inline QImage TestImage(int width, int height, long long colour = -1)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           colour >= 0 ? static_cast<QRgb>(0xFF000000u | static_cast<std::uint32_t>(colour))
                                       : qRgb((x * 7) & 0xFF, (y * 5) & 0xFF, (x + y) & 0xFF));
    return image;
}

// A demonstration recorder that keeps the lines a tool records, and its errors marked as such.
class TRecorder : public IQpDemoPlayer
{
public:
    void RecordLine(const QString& text) override { Lines.push_back(text); }
    bool ShowMessages() const override { return false; }
    void Error(const QString& text) override { Lines.push_back(QStringLiteral("error: ") + text); }
    std::vector<QString> Lines;
};

class TToolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(m_dir.isValid());
        // Message boxes are remembered and answered from Answers, then "yes".
        framework::SetMessageBoxHook([this](const QString& text, const QString&, int) {
            Messages.push_back(text);
            if (Answers.empty())
                return framework::kIdYes;
            const int answer = Answers.front();
            Answers.pop_front();
            return answer;
        });
        m_application = std::make_unique<TQpApplication>();
        m_application->SetTitle(QStringLiteral("Velmora"));
        m_application->SetSettingsFileName(m_dir.filePath(QStringLiteral("cfg/Velmora.cfg")));
        m_application->CreateModule(Editor);
        CreateModules();
        m_application->LoadAllSettings();
        MainForm->resize(1100, 900);
        MainForm->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        if (m_application)
            m_application->DestroyComponents();
        m_application.reset();
        framework::SetMessageBoxHook({});
    }

    // Adds the tools under test, e.g. `AddTool(MyTool)` or `Application().CreateModule(...)`.
    virtual void CreateModules() {}
    template <class T, class... Args> T* AddTool(T*& reference, Args&&... args)
    {
        return m_application->CreateModule(reference, std::forward<Args>(args)...);
    }
    TQpApplication& Application() { return *m_application; }
    QString TempPath(const QString& name) const { return m_dir.filePath(name); }

    // Saves the image as PNG, opens it and shows it at 100 % in a view of `viewSize` outer pixels.
    // Null when it cannot be opened.
    TQpGraphicsView* OpenImage(const QImage& image, QSize viewSize = QSize(400, 300))
    {
        const QString path = m_dir.filePath(QStringLiteral("image%1.png").arg(++m_imageCount));
        if (!image.save(path, "PNG"))
            return nullptr;
        TQpDocument* document = nullptr;
        if (!Editor->OpenFile(path, document, false) || !document)
            return nullptr;
        TQpGraphicsView* view = Editor->ActiveView();
        if (!view)
            return nullptr;
        view->setFixedSize(viewSize);
        QCoreApplication::processEvents();
        view->SetZoom(1, 1);
        return view;
    }

    // A client point inside the device area of the image pixel (its middle); when zoomed out several
    // image pixels share one client pixel and the mapping back may give a neighbour.
    static QPoint ToClient(const TQpGraphicsView* view, TQpPoint image)
    {
        const TQpRect device =
            view->MapMode().SourceToTarget(TQpRect{image.X, image.Y, image.X + 1, image.Y + 1});
        const int x = device.Right > device.Left ? (device.Left + device.Right - 1) / 2 : device.Left;
        const int y = device.Bottom > device.Top ? (device.Top + device.Bottom - 1) / 2 : device.Top;
        return {x, y};
    }

    // Pointer input at image coordinates. `buttons` is what is held after the event.
    static void Press(TQpGraphicsView* view, TQpPoint image, Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        SendMouse(view, QEvent::MouseButtonPress, image, button, button, modifiers);
    }
    static void Move(TQpGraphicsView* view, TQpPoint image, Qt::MouseButtons buttons = Qt::NoButton,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        SendMouse(view, QEvent::MouseMove, image, Qt::NoButton, buttons, modifiers);
    }
    static void Release(TQpGraphicsView* view, TQpPoint image, Qt::MouseButton button = Qt::LeftButton,
                        Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        SendMouse(view, QEvent::MouseButtonRelease, image, button, Qt::NoButton, modifiers);
    }
    // Press, moves through `path` with the button held, release at the last point.
    static void Drag(TQpGraphicsView* view, const std::vector<TQpPoint>& path,
                     Qt::MouseButton button = Qt::LeftButton,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        if (path.empty())
            return;
        Move(view, path.front(), Qt::NoButton, modifiers);
        Press(view, path.front(), button, modifiers);
        for (std::size_t i = 1; i < path.size(); ++i)
            Move(view, path[i], button, modifiers);
        Release(view, path.back(), button, modifiers);
    }
    // One notch: steps > 0 away from the user (120 per step), < 0 towards.
    static void Wheel(TQpGraphicsView* view, TQpPoint image, int steps,
                      Qt::MouseButtons buttons = Qt::NoButton,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF local(ToClient(view, image));
        QWheelEvent event(local, view->mapToGlobal(local), QPoint(), QPoint(0, 120 * steps), buttons,
                          modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view, &event);
    }
    // A key press and its release; `qtKey` is a Qt::Key.
    static void Key(TQpGraphicsView* view, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, qtKey, modifiers);
        QCoreApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers);
        QCoreApplication::sendEvent(view, &release);
    }

    // What the view shows of the whole client area (the off-screen image, client coordinates).
    static QImage RenderView(TQpGraphicsView* view)
    {
        return view->Render(QRegion(view->ClientRect())).copy(view->ClientRect());
    }

    TQpGraphicsEditor* Editor = nullptr;
    std::vector<QString> Messages;
    std::deque<int> Answers;

private:
    static void SendMouse(TQpGraphicsView* view, QEvent::Type type, TQpPoint image, Qt::MouseButton button,
                          Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
    {
        const QPointF local(ToClient(view, image));
        QMouseEvent event(type, local, view->mapToGlobal(local), button, buttons, modifiers);
        QCoreApplication::sendEvent(view, &event);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TQpApplication> m_application;
    int m_imageCount = 0;
};

} // namespace tooltest
