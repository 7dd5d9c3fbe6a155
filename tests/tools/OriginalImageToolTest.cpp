// The original image shown while the O key or the toolbar button is held, and the tool that was active
// back on release.

#include "tools/original/OriginalImageTool.h"
#include "tools/ToolTestSupport.h"

#include <QAction>
#include <QKeyEvent>
#include <QToolBar>
#include <QToolButton>

namespace {

using namespace tooltest;

class TPainterTool : public TQpGraphicsTool
{
public:
    TPainterTool() { SetDemoName(QStringLiteral("Painter")); }
};

void SendKey(TQpGraphicsView* view, QEvent::Type type, int key, bool repeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
    QCoreApplication::sendEvent(view, &event);
}

class OriginalImageToolTest : public TToolTest
{
protected:
    void CreateModules() override
    {
        AddTool(Painter);
        AddTool(Tool);
    }
    TQpOriginalImageTool* Tool = nullptr;
    TPainterTool* Painter = nullptr;
};

TEST_F(OriginalImageToolTest, HoldingOOrTheButtonShowsTheOriginalAndReleasingGivesTheToolBack)
{
    Tool->UpdateControls();
    EXPECT_FALSE(Tool->OriginalImageToolButton->isEnabled()) << "no document yet";
    TQpGraphicsView* view = OpenImage(TestImage(40, 30, 0x336699));
    ASSERT_NE(view, nullptr);
    Editor->SetActiveTool(Painter);
    Tool->UpdateControls();
    EXPECT_TRUE(Tool->OriginalImageToolButton->isEnabled());

    SendKey(view, QEvent::KeyPress, Qt::Key_O);
    EXPECT_EQ(Editor->ActiveTool(), Tool);
    EXPECT_FALSE(view->DocumentView()->Flags() & TQpViewObject::kVisible);
    SendKey(view, QEvent::KeyRelease, Qt::Key_O, true); // the X server's repeats while held
    SendKey(view, QEvent::KeyPress, Qt::Key_O, true);
    EXPECT_EQ(Editor->ActiveTool(), Tool);
    EXPECT_EQ(Tool->PreviousTool(), Painter);
    SendKey(view, QEvent::KeyRelease, Qt::Key_O);
    EXPECT_EQ(Editor->ActiveTool(), Painter);
    EXPECT_TRUE(view->DocumentView()->Flags() & TQpViewObject::kVisible);

    auto* button =
        qobject_cast<QToolButton*>(Editor->StandardToolbar->widgetForAction(Tool->OriginalImageToolButton));
    ASSERT_NE(button, nullptr);
    emit button->pressed();
    EXPECT_EQ(Editor->ActiveTool(), Tool);
    emit button->released();
    EXPECT_EQ(Editor->ActiveTool(), Painter);
}

TEST_F(OriginalImageToolTest, TheViewShowsTheOriginalPixelsAndARecordingGetsFiveLines)
{
    TQpGraphicsView* view = OpenImage(TestImage(40, 30, 0x336699));
    ASSERT_NE(view, nullptr);
    Editor->SetActiveTool(Painter);
    // An edit that the original does not have.
    TQpGraphicsDocument& document = view->Document();
    document.PrepareEdit();
    document.CurrentPixels()->PixelPtr(5, 5)[0] = 0;
    const auto shown = [view](TQpPoint at) { return RenderView(view).pixel(ToClient(view, at)) & 0xFFFFFF; };
    EXPECT_NE(shown({5, 5}), 0x336699u);
    TRecorder recorder;
    Tool->DemoRecordStart(&recorder);
    Tool->ShowOriginal();
    EXPECT_EQ(shown({5, 5}), 0x336699u);
    Tool->ShowCorrected();
    EXPECT_NE(shown({5, 5}), 0x336699u);
    Tool->DemoRecordStop(&recorder);
    EXPECT_EQ(recorder.Lines,
              (std::vector<QString>{"MouseCurvedMove OriginalImage", "MouseDown",
                                    "Message \"Original Image\"", "MouseUp", "Message \"Corrected Image\""}));
}

} // namespace
