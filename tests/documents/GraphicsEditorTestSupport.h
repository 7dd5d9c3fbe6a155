#pragma once
// The image editor's test bed: the application with the editor and two rectangle-filling tools (one
// with an exclusive session), the main window shown offscreen, real photographs opened in views of a
// fixed size, and pointer and key input in client coordinates.

#include "documents/QpGraphicsCommandState.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"
#include "documents/QpGraphicsView.h"
#include "documents/QpScrollTool.h"
#include "framework/FlowToolBar.h"
#include "framework/MainForm.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"
#include "support/QtApplication.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>
#include <deque>
#include <gtest/gtest.h>

namespace graphicstest {

inline QString Photo(const char* name)
{
    return QStringLiteral(VELMORA_TESTDATA_DIR "/photos/") + QLatin1String(name);
}

// A tool that fills rectangles of the image with one colour inside an edit session.
class TRectTool : public TQpGraphicsTool
{
public:
    explicit TRectTool(const QString& name, bool exclusive = false)
    {
        SetDemoName(name);
        SetExclusiveSession(exclusive);
        SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
            return std::make_unique<TQpGraphicsToolControl>(tool, view);
        });
    }

    void Fill(TQpGraphicsView* view, const TQpRect& rect, std::uint8_t blue, std::uint8_t green,
              std::uint8_t red)
    {
        if (View() != view || !Document() || !Document()->EditSessionActive() ||
            Document()->EditingTool() != this)
            BeginDocumentEdit(view);
        TQpPixels& pixels = *CurrentPixels();
        const TQpRect area = IntersectRect(rect, pixels.GetBounds());
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x) {
                std::uint8_t* p = pixels.PixelPtr(x, y);
                p[0] = blue;
                p[1] = green;
                p[2] = red;
            }
        AddDirtyRect(rect, false);
    }
};

// The bytes of the whole current image, row by row without padding.
inline std::vector<std::uint8_t> Snapshot(TQpPixels& pixels)
{
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < pixels.Height; ++y) {
        const std::uint8_t* row = pixels.PixelPtr(0, y);
        bytes.insert(bytes.end(), row, row + static_cast<std::ptrdiff_t>(pixels.Width) * 3);
    }
    return bytes;
}
class GraphicsEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(m_dir.isValid());
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
        m_application->SetSettingsFileName(m_dir.filePath("cfg/Velmora.cfg"));
        m_application->CreateModule(Editor);
        m_application->CreateModule(Brush, QStringLiteral("Brush"));
        m_application->CreateModule(Stamp, QStringLiteral("Stamp"), true);
        m_application->LoadAllSettings();
        MainForm->resize(1100, 900);
        MainForm->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        m_application->DestroyComponents();
        m_application.reset();
        framework::SetMessageBoxHook({});
    }

    TQpGraphicsDocument* Open(const QString& path)
    {
        TQpDocument* document = nullptr;
        if (!Editor->OpenFile(path, document, true))
            return nullptr;
        return static_cast<TQpGraphicsDocument*>(document);
    }
    // Opens the photograph in a view of exactly 800 x 600 outer pixels.
    TQpGraphicsView* OpenInView(const char* photo)
    {
        if (!QFile::exists(Photo(photo)))
            return nullptr;
        if (!Open(Photo(photo)))
            return nullptr;
        TQpGraphicsView* view = Editor->ActiveView();
        view->setFixedSize(800, 600);
        QCoreApplication::processEvents();
        view->InitialZoom();
        return view;
    }
    static QPoint Centre(TQpGraphicsView* view)
    {
        const QRect client = view->ClientRect();
        return {client.width() / 2, client.height() / 2};
    }
    static void Move(TQpGraphicsView* view, QPoint point)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(point), view->mapToGlobal(QPointF(point)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    static void Button(TQpGraphicsView* view, QEvent::Type type, QPoint point)
    {
        QMouseEvent event(type, QPointF(point), view->mapToGlobal(QPointF(point)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    static void Key(TQpGraphicsView* view, QEvent::Type type, int key)
    {
        QKeyEvent event(type, key, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    static std::pair<int, int> Zoom(TQpGraphicsView* view)
    {
        return {view->MapMode().TargetExtent().X, view->MapMode().SourceExtent().X};
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TQpApplication> m_application;
    TQpGraphicsEditor* Editor = nullptr;
    TRectTool* Brush = nullptr;
    TRectTool* Stamp = nullptr;
    std::vector<QString> Messages;
    std::deque<int> Answers;
};

} // namespace graphicstest
