// The resize tool through its frame: proportional sizes, one undo step that restores the exact image and
// its original, and a size the machine cannot hold refused with its reason and no step.

#include "tools/geometry/ResizeTool.h"
#include "platform/ImageLimits.h"
#include "tools/ToolTestSupport.h"
#include "tools/geometry/ResizeFrame.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>

namespace {

using namespace tooltest;

class ResizeToolTest : public TToolTest
{
protected:
    void CreateModules() override { AddTool(Tool); }
    TQpResizeFrame& Frame() const { return *Tool->Frame(); }
    TQpGraphicsDocument& Document() const { return *Editor->ActiveGraphicsDocument(); }
    TQpResizeTool* Tool = nullptr;
};

TEST_F(ResizeToolTest, ProportionsFollowEachSideAndTheSwitchFitsTheAspect)
{
    ASSERT_NE(OpenImage(TestImage(400, 300)), nullptr);
    Editor->SetActiveTool(Tool);
    EXPECT_EQ(Frame().WidthEdit->value(), 400);
    EXPECT_FALSE(Frame().OkButton->isEnabled()) << "nothing to do at the image's own size";
    Frame().WidthEdit->setValue(200);
    EXPECT_EQ(Tool->NewHeight(), 150);
    EXPECT_EQ(Frame().HeightEdit->value(), 150);
    EXPECT_TRUE(Frame().OkButton->isEnabled());
    Frame().HeightEdit->setValue(75);
    EXPECT_EQ(Tool->NewWidth(), 100);

    Frame().ConstrainProportionsCheckBox->setChecked(false);
    Frame().WidthEdit->setValue(300);
    EXPECT_EQ(Tool->NewHeight(), 75);
    // Back on, the image's aspect is fitted into 300 x 75: the height decides.
    Frame().ConstrainProportionsCheckBox->setChecked(true);
    EXPECT_EQ(Tool->NewWidth(), 100);
    EXPECT_EQ(Tool->NewHeight(), 75);
    // Sides far beyond the image stay within the limit, computed without overflow.
    Tool->SetNewWidth(1'000'000);
    EXPECT_EQ(Tool->NewWidth(), 32767);
    EXPECT_EQ(Tool->NewHeight(), 24575);
    Frame().CancelButton->click();
    EXPECT_EQ(Tool->NewWidth(), 400);
    EXPECT_EQ(Tool->NewHeight(), 300);
}

TEST_F(ResizeToolTest, OkIsOneStepThatUndoRestoresExactlyAndARefusedSizeLeavesNone)
{
    ASSERT_NE(OpenImage(TestImage(40, 30)), nullptr);
    Editor->SetActiveTool(Tool);
    const auto before = Snapshot(*Document().CurrentPixels());
    const std::size_t steps = Document().History().Position();
    Tool->SetNewWidth(80);
    Frame().OkButton->click();
    EXPECT_EQ(Document().Width(), 80);
    EXPECT_EQ(Document().Height(), 60);
    EXPECT_EQ(Document().OriginalImage().GetWidth(), 80) << "the original goes along";
    EXPECT_EQ(Document().History().Position(), steps + 1);
    EXPECT_EQ(Tool->NewWidth(), 80) << "the fields show the new size";
    EXPECT_FALSE(Document().Unmodified());

    Editor->Undo();
    EXPECT_EQ(Document().Width(), 40);
    EXPECT_EQ(Snapshot(*Document().CurrentPixels()), before);
    EXPECT_EQ(Document().OriginalImage().GetWidth(), 40);
    Editor->Redo();
    EXPECT_EQ(Document().Width(), 80);
    Editor->Undo();

    // Beyond the free memory: a message with the reason, no step, the image as it was.
    platform::SetAvailableMemoryForTesting(1u << 20);
    Tool->SetNewWidth(4000);
    EXPECT_FALSE(Tool->PerformResize());
    platform::SetAvailableMemoryForTesting(0);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].contains("cannot be resized: 4000 x 3000 pixels would need"))
        << Messages[0].toStdString();
    EXPECT_EQ(Document().Width(), 40);
    EXPECT_EQ(Snapshot(*Document().CurrentPixels()), before);
    EXPECT_EQ(Document().History().Position(), steps);
    EXPECT_FALSE(Document().EditSessionActive());
}

TEST_F(ResizeToolTest, ScriptWordsSetTheSizeAndPerform)
{
    ASSERT_NE(OpenImage(TestImage(40, 30)), nullptr);
    const auto number = [](double value) { return TQpDemoArgument{QString::number(value), true, value}; };
    struct TCase
    {
        const char* Word;
        TQpDemoParams Params;
        int Width;
        int Height;
    };
    const TCase cases[] = {
        {"RESIZEDISPROPORTIONAL", {}, 40, 30}, {"RESIZEWIDTH", {number(20)}, 20, 30},
        {"RESIZEHEIGHT", {}, 20, 100}, // the default
        {"RESIZEPROPORTIONAL", {}, 20, 15},    {"RESIZEWIDTH", {number(1e300)}, 32767, 24575},
        {"RESIZECANCEL", {}, 40, 30},          {"RESIZEWIDTH", {number(20)}, 20, 15},
    };
    for (const TCase& c : cases) {
        bool handled = false;
        Tool->DemoCommand(nullptr, QLatin1String(c.Word), handled, nullptr, c.Params);
        EXPECT_TRUE(handled) << c.Word;
        EXPECT_EQ(Tool->NewWidth(), c.Width) << c.Word;
        EXPECT_EQ(Tool->NewHeight(), c.Height) << c.Word;
    }
    bool handled = false;
    Tool->DemoCommand(nullptr, QStringLiteral("RESIZEPERFORM"), handled, nullptr, {});
    EXPECT_EQ(Document().Width(), 20);
    EXPECT_EQ(Document().Height(), 15);
}

} // namespace
