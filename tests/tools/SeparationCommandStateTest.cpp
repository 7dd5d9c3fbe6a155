// The cut-out tool's undo steps keep the document's undo base equal to the image while copying only
// their rectangle: after every kind of step, undo and redo (a Separate's rectangle is only the
// undecided area), after a change of size, and for a new step recorded after an undo.

#include "cutout/MarkedRegion.h"
#include "tools/SeparationToolTestSupport.h"
#include "tools/ToolTestSupport.h"
#include "tools/separation/SeparationTool.h"

#include <cmath>
#include <functional>

namespace {

using septest::DiscImage;
using septest::TOtherTool;
using tooltest::Snapshot;

std::vector<TQpPoint> Circle(int cx, int cy, int radius)
{
    std::vector<TQpPoint> path;
    for (int step = 0; step <= 720; ++step) {
        const double angle = step * 3.14159265358979 / 360.0;
        path.push_back({cx + static_cast<int>(std::lround(radius * std::cos(angle))),
                        cy + static_cast<int>(std::lround(radius * std::sin(angle)))});
    }
    return path;
}

class SeparationCommandStateTest : public tooltest::TToolTest
{
protected:
    void CreateModules() override
    {
        AddTool(Tool);
        AddTool(Other);
    }

    TQpGraphicsDocument& Document() const { return *Editor->ActiveGraphicsDocument(); }
    std::size_t Steps() const { return Document().History().Position(); }
    // The undo base and the image agree in every byte.
    bool BaseFollowsImage() const
    {
        return Snapshot(Document().UndoBase()) == Snapshot(*Document().CurrentPixels());
    }

    TQpSeparationTool* Tool = nullptr;
    TOtherTool* Other = nullptr;
};

TEST_F(SeparationCommandStateTest, EveryStepUndoAndRedoLeavesTheUndoBaseEqualToTheImage)
{
    TQpGraphicsView* view = OpenImage(DiscImage(64, 16), QSize(120, 120));
    ASSERT_NE(view, nullptr);
    Editor->SetActiveTool(Tool);
    ASSERT_EQ(Tool->Regime(), TQpSeparationTool::kEdge);

    // Each action makes one step; the image after each is kept to compare undo and redo with.
    struct TAction
    {
        const char* Name;
        std::function<void()> Run;
        bool Partial = false; // its step's rectangle is less than the image
    };
    const std::vector<TAction> actions = {
        {"fill with unknown",
         [&] {
             Tool->SetArea(TQpSeparationTool::kUnknown);
             Tool->FillAt({3, 3});
         }},
        {"clean a ring",
         [&] {
             Tool->SetArea(TQpSeparationTool::kCleaning);
             Tool->SetSize(9);
             Drag(view, Circle(32, 32, 16));
         },
         true},
        // Its rectangle is the undecided area; the marks outside it are split and put back.
        {"separate", [&] { Tool->Separate(); }, true},
        {"show the effect", [&] { Tool->SwitchToEffect(); }},
        {"swap", [&] { Tool->Swap(); }},
        {"monochrome background", [&] { Tool->BackgroundEffectTntRadioGroupClick(3); }},
        {"back to the marks", [&] { Tool->SwitchToEdge(); }},
        {"clear", [&] { Tool->Clear(); }},
    };
    std::vector<std::vector<std::uint8_t>> images = {Snapshot(*Document().CurrentPixels())};
    for (const TAction& action : actions) {
        const std::size_t steps = Steps();
        action.Run();
        ASSERT_EQ(Steps(), steps + 1) << action.Name;
        EXPECT_TRUE(BaseFollowsImage()) << action.Name;
        const auto* step =
            dynamic_cast<const TQpCustomGraphicsCommandState*>(Document().History().NextUndoState());
        ASSERT_NE(step, nullptr) << action.Name;
        if (action.Partial) {
            EXPECT_NE(step->Rect(), (TQpRect{0, 0, 64, 64})) << action.Name;
        }
        images.push_back(Snapshot(*Document().CurrentPixels()));
    }
    for (std::size_t i = actions.size(); i > 0; --i) {
        Editor->Undo();
        EXPECT_EQ(Snapshot(*Document().CurrentPixels()), images[i - 1]) << "undo of " << actions[i - 1].Name;
        EXPECT_TRUE(BaseFollowsImage()) << "undo of " << actions[i - 1].Name;
    }
    for (std::size_t i = 0; i < actions.size(); ++i) {
        Editor->Redo();
        EXPECT_EQ(Snapshot(*Document().CurrentPixels()), images[i + 1]) << "redo of " << actions[i].Name;
        EXPECT_TRUE(BaseFollowsImage()) << "redo of " << actions[i].Name;
    }

    // Back to just after the separation, a new stroke is recorded from the base the undos left and
    // undone to exactly that image.
    for (std::size_t i = actions.size(); i > 3; --i)
        Editor->Undo();
    ASSERT_EQ(Snapshot(*Document().CurrentPixels()), images[3]);
    // Cleaning marks outside the separation's rectangle.
    Tool->SetArea(TQpSeparationTool::kCleaning);
    Drag(view, {{5, 60}, {20, 60}});
    ASSERT_EQ(Steps(), 4u);
    EXPECT_TRUE(BaseFollowsImage());
    Editor->Undo();
    EXPECT_EQ(Snapshot(*Document().CurrentPixels()), images[3]);
    EXPECT_TRUE(BaseFollowsImage());
}

TEST_F(SeparationCommandStateTest, UndoAndRedoAfterAChangeOfSizeKeepTheBaseEqualToTheImage)
{
    TQpGraphicsView* view = OpenImage(DiscImage(64, 16), QSize(120, 120));
    ASSERT_NE(view, nullptr);
    Editor->SetActiveTool(Tool);
    Tool->SetArea(TQpSeparationTool::kUnknown);
    Tool->FillAt({3, 3});
    Tool->SetArea(TQpSeparationTool::kCleaning);
    Tool->SetSize(9);
    Drag(view, Circle(32, 32, 16));
    Tool->Separate();
    ASSERT_EQ(Steps(), 3u);

    // Another tool's crop: the steps' rectangles now reach past the image.
    Document().Crop({0, 0, 40, 64});
    Document().NotifyImageChanged(Other, {0, 0, 40, 64});
    ASSERT_EQ(Document().Width(), 40);
    EXPECT_TRUE(BaseFollowsImage());
    for (int i = 0; i < 3; ++i) {
        Editor->Undo();
        EXPECT_TRUE(BaseFollowsImage()) << "undo " << i;
    }
    for (int i = 0; i < 3; ++i) {
        Editor->Redo();
        EXPECT_TRUE(BaseFollowsImage()) << "redo " << i;
    }
    // A base of other bounds than the image (as a failed copy leaves it) is given the whole image.
    ASSERT_TRUE(Document().UndoBase().SetFormatAndBounds(pfBGR24, {0, 0, 3, 3}));
    Editor->Undo();
    EXPECT_TRUE(BaseFollowsImage());
}

} // namespace
