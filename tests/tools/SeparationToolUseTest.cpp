// The cut-out tool as a photographer meets it: closing with Cancel, undo of effects, fast strokes,
// the regime after Done, the status bar's colour.

#include "framework/MainForm.h"
#include "tools/SeparationToolTestSupport.h"

#include <QStatusBar>

namespace {

using namespace septest;

class SeparationToolUseTest : public SeparationToolTest
{
protected:
    bool Enabled(const char* name) const
    {
        const auto* button = Frame().findChild<QAbstractButton*>(QLatin1String(name));
        return button && button->isVisible() && button->isEnabled();
    }
    // Marks, Separate, Effect: a result the user can swap, store or finish.
    TQpGraphicsView* Separated()
    {
        TQpGraphicsView* view = Open(DiscImage(60, 20));
        if (!view)
            return nullptr;
        MarkObjectAndBackground(view, 5, Row(30, 25, 35), Row(4, 5, 55));
        Click("SeparateTBXButton");
        Click("RegimeEffectTBXButton");
        return view;
    }
};

TEST_F(SeparationToolUseTest, CancelOnTheCloseQuestionLeavesTheResultAsItWas)
{
    ASSERT_NE(Separated(), nullptr);
    Click("SwapTBXButton");
    ASSERT_TRUE(Enabled("SwapTBXButton") && Enabled("StoreTBXButton") && Enabled("DoneTBXButton"));
    const auto labels = Labels(Region());
    const auto pixels = Snapshot(Pixels());

    Answers = {framework::kIdCancel};
    MainForm->close();
    QCoreApplication::processEvents();
    Refresh();
    ASSERT_EQ(Messages.size(), 1u) << "the close asked about the modified photo";
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_EQ(Region().Pixels(), &Pixels());
    EXPECT_EQ(Labels(Region()), labels);
    EXPECT_EQ(Snapshot(Pixels()), pixels);
    EXPECT_TRUE(Enabled("SwapTBXButton") && Enabled("StoreTBXButton") && Enabled("DoneTBXButton"));
    Click("DoneTBXButton");
    EXPECT_TRUE(Region().IsEmpty()) << "the cut can still be finished";
}

TEST_F(SeparationToolUseTest, TheEffectButtonsAndSlidersFollowEveryUndoAndRedo)
{
    ASSERT_NE(Separated(), nullptr);
    const auto pick = [this](int item) {
        Click(QStringLiteral("BackgroundEffectTntRadioGroupItem%1").arg(item).toLatin1().constData());
    };
    // Shadow, Blur at level 2, Monochrome, Color, then Swap.
    pick(1);
    pick(2);
    Frame().BlurRadiusTntTrackBar->setValue(2);
    pick(3);
    pick(0);
    Click("SwapTBXButton");
    const auto shown = [this] { return Frame().BackgroundEffectTntRadioGroup->ItemIndex(); };
    // After each undo from the end: the effect the picture shows, and the blur level.
    const std::pair<int, int> expected[] = {{0, 2}, {3, 2}, {2, 2}, {2, 3}, {1, 3}, {0, 3}};
    for (const auto& [effect, blur] : expected) {
        Editor->Undo();
        Refresh();
        EXPECT_EQ(Tool->BackgroundEffect(), effect) << effect << "/" << blur;
        EXPECT_EQ(shown(), effect);
        EXPECT_EQ(Region().Mode(kLabelResultBackground), effect);
        EXPECT_EQ(Frame().BlurRadiusTntTrackBar->value(), blur);
    }
    for (int redo = 0; redo < 6; ++redo)
        Editor->Redo();
    Refresh();
    EXPECT_EQ(Tool->BackgroundEffect(), 0);
    EXPECT_EQ(shown(), 0);
    EXPECT_EQ(Frame().BlurRadiusTntTrackBar->value(), 2);
}

TEST_F(SeparationToolUseTest, AFastStrokeIsALineNotDots)
{
    TQpGraphicsView* view = Open(TestImage(80, 30));
    ASSERT_NE(view, nullptr);
    Click("RegimeFullTBXButton");
    Tool->SetSize(8);
    // Two motion events 60 pixels apart, as a quick flick of the hand gives.
    Stroke(view, {{5, 15}, {65, 15}});
    for (int x = 5; x <= 65; ++x)
        EXPECT_EQ(Region().Label(x, 15), kLabelObject) << x;
    // The dabs keep the brush's width all along.
    for (int x : {20, 35, 50}) {
        EXPECT_EQ(Region().Label(x, 13), kLabelObject) << x;
        EXPECT_EQ(Region().Label(x, 17), kLabelObject) << x;
        EXPECT_EQ(Region().Label(x, 8), kLabelUnmarked) << x;
        EXPECT_EQ(Region().Label(x, 22), kLabelUnmarked) << x;
    }
}

TEST_F(SeparationToolUseTest, DoneAndANewPhotoReturnToMarkingAndEffectIsNeverSaved)
{
    TQpGraphicsView* view = Separated();
    ASSERT_NE(view, nullptr);
    Click("DoneTBXButton");
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kFull);
    EXPECT_TRUE(Frame().RegimeFullTBXButton->isChecked());
    Stroke(view, Row(10, 10, 20));
    EXPECT_EQ(Region().Label(15, 10), kLabelBackground) << "dragging marks again, the area chosen last";
    Editor->Undo();
    Editor->Undo();
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kEffect) << "undo of Done shows the result again";
    EXPECT_FALSE(Region().IsEmpty());

    std::ostringstream saved;
    {
        TQpSDFWriter writer(saved);
        Tool->SaveSettings(writer);
    }
    Answers = {framework::kIdNo}; // the save question about the first photo
    ASSERT_NE(Open(TestImage(40, 30)), nullptr);
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kFull);
    Click("RegimeEdgeTBXButton");
    std::istringstream in(saved.str());
    TQpSDFReader reader(in);
    Tool->LoadSettings(reader);
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kFull) << "the next session starts with marking";
}

TEST_F(SeparationToolUseTest, TheStatusBarShowsThePhotosColourUnderTheMarks)
{
    TQpGraphicsView* view = Open(TestImage(40, 30, 0x336699));
    ASSERT_NE(view, nullptr);
    MarkObjectAndBackground(view, 9, Row(10, 5, 15), Row(20, 25, 35));
    ASSERT_NE(PixelAt(Pixels(), 10, 10), 0x336699u) << "the overlay is drawn into the pixels";
    for (TQpPoint at : {TQpPoint{10, 10}, TQpPoint{30, 20}, TQpPoint{30, 5}}) {
        Move(view, at);
        EXPECT_EQ(Editor->RStatusPanel->text(), QStringLiteral("51"));
        EXPECT_EQ(Editor->GStatusPanel->text(), QStringLiteral("102"));
        EXPECT_EQ(Editor->BStatusPanel->text(), QStringLiteral("153"));
    }
}

TEST_F(SeparationToolUseTest, TheStatusBarGuidesThroughTheStepsAndSaysWhatStoreAndDoneDid)
{
    qputenv("XDG_DATA_HOME", TempPath(QStringLiteral("data")).toLocal8Bit());
    TQpGraphicsView* view = Open(DiscImage(60, 20));
    ASSERT_NE(view, nullptr);
    const auto hint = [] { return MainForm->Hint(); };
    const auto message = [] { return MainForm->StatusBar->currentMessage(); };
    Click("RegimeEdgeTBXButton");
    EXPECT_TRUE(hint().startsWith("Paint a band")) << hint().toStdString();
    Click("RegimeFullTBXButton");
    EXPECT_TRUE(hint().startsWith("Mark the object and the background")) << hint().toStdString();
    MarkObjectAndBackground(view, 5, Row(30, 25, 35), Row(4, 5, 55));
    EXPECT_TRUE(hint().startsWith("Press Separate")) << hint().toStdString();
    Click("SeparateTBXButton");
    EXPECT_TRUE(hint().startsWith("Choose Effect")) << hint().toStdString();
    Click("RegimeEffectTBXButton");
    EXPECT_TRUE(hint().startsWith("Choose the background")) << hint().toStdString();
    // The effect's values are shown beside their controls.
    Frame().ShadowTntTrackBar->setValue(4);
    Refresh();
    EXPECT_EQ(Frame().EffectValueLabels[1]->text(), QStringLiteral("4"));

    Click("StoreTBXButton");
    EXPECT_TRUE(message().startsWith("Object stored in the collection: ")) << message().toStdString();
    Click("DoneTBXButton");
    EXPECT_TRUE(message().startsWith("Done:")) << message().toStdString();
    EXPECT_TRUE(hint().startsWith("Mark the object")) << hint().toStdString();

    // A wheel step sizes the brush and says so.
    const int size = Tool->Size();
    Wheel(view, {30, 10}, 1);
    EXPECT_NE(Tool->Size(), size);
    EXPECT_EQ(message(), QStringLiteral("Size: %1").arg(Tool->Size()));
    qunsetenv("XDG_DATA_HOME");
}

} // namespace

namespace {

TEST_F(SeparationToolUseTest, SavingWhileMarkingWritesThePhotoNotTheMarks)
{
    TQpGraphicsView* view = Open(TestImage(40, 30, 0x336699));
    ASSERT_NE(view, nullptr);
    MarkObjectAndBackground(view, 9, Row(10, 5, 15), Row(20, 25, 35));
    ASSERT_NE(PixelAt(Pixels(), 10, 10), 0x336699u) << "the overlay is drawn into the pixels";
    const QString path = TempPath(QStringLiteral("saved.png"));
    ASSERT_TRUE(Document().SaveToFile(path, kPngFormat));
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.pixel(10, 10) & 0xFFFFFF, 0x336699u);
    EXPECT_EQ(saved.pixel(30, 20) & 0xFFFFFF, 0x336699u);
    // The marks are still there to go on with.
    EXPECT_EQ(Region().Label(10, 10), kLabelObject);
    EXPECT_NE(PixelAt(Pixels(), 10, 10), 0x336699u);
}

} // namespace
