// Quarter turns and flips from the editor's toolbar and the tool's frame: each one step, undone by the
// inverse with the exact pixels back, half turns in plug-in mode, and the preview of the checked option.

#include "tools/geometry/RotateTool.h"
#include "tools/ToolTestSupport.h"
#include "tools/geometry/RotateFrame.h"

#include "imaging/QpLTBitmap.h"

#include <QAction>
#include <QPushButton>
#include <QRadioButton>

namespace {

using namespace tooltest;

class RotateToolTest : public TToolTest
{
protected:
    void CreateModules() override { AddTool(Tool); }
    TQpRotateFrame& Frame() const { return *Tool->Frame(); }
    TQpGraphicsDocument& Document() const { return *Editor->ActiveGraphicsDocument(); }
    TQpRotateTool* Tool = nullptr;
};

TEST_F(RotateToolTest, EachOperationIsOneStepUndoneExactlyByItsInverse)
{
    ASSERT_NE(OpenImage(TestImage(40, 30)), nullptr);
    const auto before = Snapshot(*Document().CurrentPixels());
    const std::uint32_t corner = PixelAt(*Document().CurrentPixels(), 0, 0);
    // The toolbar: right, left, vertical, horizontal; where the top-left pixel goes with each.
    struct TCase
    {
        int Item;
        int Width;
        int X;
        int Y;
    };
    const TCase cases[] = {{0, 30, 29, 0}, {1, 30, 0, 39}, {2, 40, 0, 29}, {3, 40, 39, 0}};
    for (const TCase& c : cases) {
        const std::size_t steps = Document().History().Position();
        ASSERT_NE(Tool->ToolbarItems[c.Item], nullptr);
        EXPECT_TRUE(Tool->ToolbarItems[c.Item]->isEnabled());
        Tool->ToolbarItems[c.Item]->trigger();
        EXPECT_EQ(Document().History().Position(), steps + 1) << c.Item;
        EXPECT_EQ(Document().Width(), c.Width) << c.Item;
        EXPECT_EQ(PixelAt(*Document().CurrentPixels(), c.X, c.Y), corner) << c.Item;
        EXPECT_FALSE(Document().Unmodified());
        Editor->Undo();
        EXPECT_EQ(Snapshot(*Document().CurrentPixels()), before) << c.Item;
        Editor->Redo();
        EXPECT_EQ(PixelAt(*Document().CurrentPixels(), c.X, c.Y), corner) << c.Item;
        Editor->Undo();
    }
}

TEST_F(RotateToolTest, InPlugInModeTheToolbarTurnsHalfWayInTwoSteps)
{
    ASSERT_NE(OpenImage(TestImage(40, 30)), nullptr);
    const std::uint32_t corner = PixelAt(*Document().CurrentPixels(), 0, 0);
    Editor->SetPlugInMode(true);
    const std::size_t steps = Document().History().Position();
    Tool->ToolbarItems[1]->trigger(); // rotate left
    EXPECT_EQ(Document().History().Position(), steps + 2);
    EXPECT_EQ(Document().Width(), 40);
    EXPECT_EQ(PixelAt(*Document().CurrentPixels(), 39, 29), corner);
    Tool->ToolbarItems[3]->trigger(); // a flip stays one step
    EXPECT_EQ(Document().History().Position(), steps + 3);
}

TEST_F(RotateToolTest, TheOptionsShowThePreviewOfTheCheckedOperation)
{
    ASSERT_NE(OpenImage(TestImage(60, 30)), nullptr);
    Editor->SetActiveTool(Tool);
    EXPECT_FALSE(Frame().PreviewControl->isVisibleTo(&Frame()));
    EXPECT_TRUE(Frame().RotateLeftButton->isVisibleTo(&Frame()));
    EXPECT_EQ(Frame().Transformed(), nullptr) << "nothing built while hidden";
    Frame().ShowOptions->click();
    EXPECT_TRUE(Frame().PreviewControl->isVisibleTo(&Frame()));
    EXPECT_FALSE(Frame().RotateLeftButton->isVisibleTo(&Frame()));
    // The thumbnail fits 148 pixels; turned right it stands upright.
    ASSERT_NE(Frame().Transformed(), nullptr);
    EXPECT_EQ(Frame().Transformed()->GetWidth(), 74);
    EXPECT_EQ(Frame().Transformed()->GetHeight(), 148);
    Frame().FlipVerticalRadioButton->click();
    EXPECT_EQ(Frame().Transformed()->GetWidth(), 148);
    EXPECT_EQ(Frame().RotateButton->text(), Frame().FlipVerticalRadioButton->text());
    const std::uint32_t corner = PixelAt(*Document().CurrentPixels(), 0, 0);
    Frame().RotateButton->click();
    EXPECT_EQ(PixelAt(*Document().CurrentPixels(), 0, 29), corner);
}

TEST_F(RotateToolTest, ScriptWordsCheckOptionsAndPerform)
{
    ASSERT_NE(OpenImage(TestImage(40, 30)), nullptr);
    const auto run = [this](const char* word, TQpDemoParams params = {}) {
        bool handled = false;
        Tool->DemoCommand(nullptr, QLatin1String(word), handled, nullptr, params);
        return handled;
    };
    EXPECT_TRUE(run("ROTATIONSHOWOPTIONS"));
    EXPECT_TRUE(Tool->ShowOptionsOn());
    EXPECT_TRUE(run("ROTATIONLEFTOPTION"));
    EXPECT_TRUE(Frame().RotateLeftRadioButton->isChecked());
    EXPECT_TRUE(run("ROTATIONPERFORM"));
    EXPECT_EQ(Document().Width(), 30);
    EXPECT_TRUE(run("ROTATIONRIGHT"));
    EXPECT_EQ(Document().Width(), 40);
    EXPECT_TRUE(run("ROTATIONHIDEOPTIONS"));
    EXPECT_FALSE(Tool->ShowOptionsOn());
    EXPECT_FALSE(run("ROTATIONSIDEWAYS"));
}

} // namespace
