// The crop tool through real pointer input: the ratio rules from the press corner and from a handle,
// typed sizes, Esc and Enter, a click outside, and one undo step that restores the whole image.

#include "tools/crop/CropTool.h"
#include "tools/ToolTestSupport.h"
#include "tools/crop/CropFrame.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

namespace {

using namespace tooltest;

TEST(CropGeometry, RatioItemsAndRulesByCorner)
{
    EXPECT_EQ(RatioOfItem(QStringLiteral("16x10 (1280x800 1440x900 1920x1200)")).Width, 8);
    EXPECT_EQ(RatioOfItem(QStringLiteral("16x10 (1280x800 1440x900 1920x1200)")).Height, 5);
    EXPECT_EQ(RatioOfItem(QStringLiteral("1x1 ")).Width, 1);
    EXPECT_EQ(RatioOfItem(QStringLiteral("12x7 (1024x600)")).Height, 7);
    EXPECT_TRUE(RatioOfItem(QString()).Free()) << "an empty selection is no division by zero";
    EXPECT_EQ(HoldToRatio({10, 10, 110, 50}, {3, 2}, 7), (TQpRect{10, 10, 70, 50}));
    // The right-middle handle at width 101 on 4:3: width 100, height 75 with the bottom fixed.
    EXPECT_EQ(HoldToRatio({0, 100, 101, 200}, {4, 3}, 6), (TQpRect{0, 125, 100, 200}));
    EXPECT_EQ(HoldToRatio({0, 0, 7, 9}, {}, 7), (TQpRect{0, 0, 7, 9}));
    EXPECT_EQ(CropHitCode({100, 100, 200, 200}, QPoint(96, 96)), 11);
    EXPECT_EQ(CropHitCode({100, 100, 200, 200}, QPoint(150, 204)), 8);
    EXPECT_EQ(CropHitCode({100, 100, 200, 200}, QPoint(150, 150)), 3);
    EXPECT_EQ(CropHitCode({100, 100, 200, 200}, QPoint(250, 150)), 0);
}

class CropToolTest : public TToolTest
{
protected:
    void CreateModules() override { AddTool(Tool); }
    TQpCrop2PlusFrame& Frame() const { return *Tool->Frame(); }
    TQpGraphicsDocument& Document() const { return *Editor->ActiveGraphicsDocument(); }
    TQpCrop2PlusToolControl& Control() const { return *Tool->ActiveControl(); }
    TQpCrop2PlusTool* Tool = nullptr;
};

TEST_F(CropToolTest, ADrawnRatioRectangleCropsOnAClickOutsideAsOneStepThatUndoRestores)
{
    TQpGraphicsView* view = OpenImage(TestImage(200, 150), QSize(400, 300));
    ASSERT_NE(view, nullptr);
    Editor->SetActiveTool(Tool);
    Frame().rbFoto->click();
    Frame().cmbFoto->setCurrentText(QStringLiteral("3x2 (6x9 9x6 15x10 30x20 45x30)"));
    ASSERT_EQ(Tool->Ratio().Width, 3);
    const auto before = Snapshot(*Document().CurrentPixels());
    const std::size_t steps = Document().History().Position();

    Press(view, {10, 10});
    Move(view, {60, 30}, Qt::LeftButton);
    Move(view, {110, 50}, Qt::LeftButton);
    Release(view, {110, 50});
    EXPECT_EQ(Tool->CropRect(), (TQpRect{10, 10, 70, 50}));
    EXPECT_EQ(Control().State(), TQpCrop2PlusToolControl::kPlaced);
    EXPECT_EQ(Editor->WStatusPanel->text(), QStringLiteral("60"));

    // Dragging the body keeps the size and stays inside the image.
    Press(view, {40, 30});
    Move(view, {400, 30}, Qt::LeftButton);
    Release(view, {400, 30});
    EXPECT_EQ(Tool->CropRect(), (TQpRect{140, 10, 200, 50}));

    Press(view, {20, 120});
    Release(view, {20, 120});
    EXPECT_EQ(Document().Width(), 60);
    EXPECT_EQ(Document().Height(), 40);
    EXPECT_EQ(Document().History().Position(), steps + 1);
    EXPECT_EQ(Control().State(), TQpCrop2PlusToolControl::kIdle);
    Editor->Undo();
    EXPECT_EQ(Document().Width(), 200);
    EXPECT_EQ(Snapshot(*Document().CurrentPixels()), before);
    Editor->Redo();
    EXPECT_EQ(Document().Width(), 60);
}

TEST_F(CropToolTest, EscCancelsEnterCropsAndATypedWidthStaysInsideTheImage)
{
    TQpGraphicsView* view = OpenImage(TestImage(1000, 100), QSize(400, 300));
    ASSERT_NE(view, nullptr);
    Editor->SetActiveTool(Tool);
    const std::size_t steps = Document().History().Position();
    Drag(view, {{5, 5}, {50, 40}});
    ASSERT_EQ(Control().State(), TQpCrop2PlusToolControl::kPlaced);
    Key(view, Qt::Key_Escape);
    EXPECT_EQ(Control().State(), TQpCrop2PlusToolControl::kIdle);
    EXPECT_EQ(Document().History().Position(), steps);
    EXPECT_EQ(Document().Width(), 1000);

    Drag(view, {{5, 5}, {50, 40}});
    Tool->SetCropRect({900, 5, 950, 40});
    Frame().WidthEdit->setValue(300);
    EXPECT_EQ(Tool->CropRect(), (TQpRect{700, 5, 1000, 40}));
    Frame().WidthEdit->setValue(5000);
    EXPECT_EQ(Frame().WidthEdit->value(), 300) << "wider than the image: the rectangle's own width";
    Key(view, Qt::Key_Return);
    EXPECT_EQ(Document().Width(), 300);
    EXPECT_EQ(Document().History().Position(), steps + 1);
}

} // namespace
