// The cut-out tool's undo steps, settings, script words, cursors and close handling.

#include "tools/SeparationToolTestSupport.h"

namespace {

using namespace septest;

TEST_F(SeparationToolTest, AStrokeThatChangesNoLabelRecordsNothing)
{
    TQpGraphicsView* view = Open(TestImage(40, 30));
    ASSERT_NE(view, nullptr);
    Click("RegimeFullTBXButton");
    Tool->SetSize(5);
    Stroke(view, Row(10, 5, 15));
    EXPECT_EQ(Steps(), 1u);
    const auto pixels = Snapshot(Pixels());
    Stroke(view, Row(10, 5, 15));
    EXPECT_EQ(Steps(), 1u);
    EXPECT_EQ(Snapshot(Pixels()), pixels);
    // Cleaning over unmarked points changes nothing either.
    Click("AreaCleaningTBXButton");
    Stroke(view, Row(25, 5, 15));
    EXPECT_EQ(Steps(), 1u);

    // One stroke is one step, undone exactly.
    Editor->Undo();
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(Snapshot(Pixels()), Snapshot(*Document().OriginalPixels()));
}

TEST_F(SeparationToolTest, UndoFromAnotherToolRollsCutOutStepsBackUntilNoMarksRemain)
{
    TQpGraphicsView* view = MarkedEverywhere();
    ASSERT_NE(view, nullptr);
    Click("RegimeEffectTBXButton");
    const auto shown = Snapshot(Pixels());
    // While marks exist no other tool can be chosen.
    EXPECT_TRUE(Editor->ToolLocked());
    EXPECT_FALSE(Editor->CanActivateTool(Other));

    Click("DoneTBXButton");
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(Snapshot(Pixels()), shown);
    EXPECT_FALSE(Editor->ToolLocked());
    const std::size_t steps = Steps();
    ASSERT_EQ(steps, 4u); // fill, stroke, effect, done

    // With the cut-out tool active one undo is one step.
    Editor->Undo();
    EXPECT_EQ(Steps(), steps - 1);
    Editor->Redo();
    EXPECT_TRUE(Region().IsEmpty());

    Editor->SetActiveTool(Other);
    Editor->Undo();
    EXPECT_EQ(Steps(), 0u);
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(Snapshot(Pixels()), Snapshot(*Document().OriginalPixels()));
    // Redo goes the other way until the marks are gone again.
    Editor->Redo();
    EXPECT_EQ(Steps(), steps);
    EXPECT_EQ(Snapshot(Pixels()), shown);
}

TEST_F(SeparationToolTest, RedoOfASeparationRestoresEveryStoredLabelEvenInMixedBands)
{
    TQpGraphicsView* view = Open(TestImage(30, 24));
    ASSERT_NE(view, nullptr);
    Click("RegimeFullTBXButton");
    Tool->SetSize(9);
    // Object on the left and background on the right along the top and bottom edges: the bands above
    // and below the unmarked middle hold both.
    Stroke(view, Row(0, 0, 12));
    Stroke(view, Row(23, 0, 12));
    Click("AreaBGTBXButton");
    Stroke(view, Row(0, 17, 29));
    Stroke(view, Row(23, 17, 29));
    ASSERT_TRUE(Region().HasLabel(kLabelUnmarked));

    Click("SeparateTBXButton");
    ASSERT_TRUE(Messages.empty());
    const auto separated = Labels(Region());
    const auto pixels = Snapshot(Pixels());
    bool mixed = false;
    for (int x = 0; x < 30; ++x)
        mixed = mixed || (Region().StoredLabel(x, 0) != Region().StoredLabel(0, 0));
    ASSERT_TRUE(mixed);

    Editor->Undo();
    Editor->Redo();
    EXPECT_EQ(Labels(Region()), separated);
    EXPECT_EQ(Snapshot(Pixels()), pixels);
    EXPECT_TRUE(CountsAgree(Region()));

    Click("RegimeEffectTBXButton");
    EXPECT_EQ(Region().Label(0, 0), kLabelResultObject);
    EXPECT_EQ(Region().Label(29, 0), kLabelResultBackground);
    EXPECT_EQ(PixelAt(Pixels(), 29, 0), kWhite);
}

TEST_F(SeparationToolTest, SettingsRoundTripAndBadValuesAreClamped)
{
    Tool->SetSize(40);
    Tool->SetBackgroundEffect(2);
    Tool->SetBackgroundColor(0x123456);
    Tool->SetBlurLevel(4);
    Tool->SetShadowLevel(1);
    Tool->SetMonochromeColor(0x00FF00);
    Tool->SetArea(2);
    Tool->SetRegime(1);
    std::stringstream stream;
    {
        TQpSDFWriter writer(stream);
        Tool->SaveSettings(writer);
    }
    Tool->SetSize(10);
    Tool->SetBackgroundEffect(0);
    Tool->SetBackgroundColor(kWhite);
    Tool->SetBlurLevel(3);
    Tool->SetShadowLevel(3);
    Tool->SetMonochromeColor(kWhite);
    Tool->SetArea(0);
    Tool->SetRegime(0);
    {
        stream.seekg(0);
        TQpSDFReader reader(stream);
        Tool->LoadSettings(reader);
    }
    EXPECT_EQ(Tool->Size(), 40);
    EXPECT_EQ(Tool->BackgroundEffect(), 2);
    EXPECT_TRUE(Frame().BackgroundEffectTntRadioGroup->Item(2)->isChecked());
    EXPECT_EQ(Tool->BackgroundColor(), 0x123456u);
    EXPECT_EQ(Frame().ColorBox->Color(), 0x123456u);
    EXPECT_EQ(Tool->BlurLevel(), 4);
    EXPECT_EQ(Frame().BlurRadiusTntTrackBar->value(), 4);
    EXPECT_EQ(Tool->ShadowLevel(), 1);
    EXPECT_EQ(Tool->MonochromeColor(), 0x00FF00u);
    EXPECT_EQ(Tool->Area(), 2);
    EXPECT_EQ(Tool->Regime(), 1);
    EXPECT_EQ(Tool->PreviousRegime(), 1);
    EXPECT_TRUE(Frame().RegimeFullTBXButton->isChecked());

    std::stringstream bad;
    {
        TQpSDFWriter writer(bad);
        writer.WriteBeginNode(1, Tool->SettingsGuid());
        const std::int32_t values[] = {1000, 9, -1, 20, -3, 0x7FFFFFFF, 7, 5};
        for (std::uint32_t id = 1; id <= 8; ++id)
            writer.WriteInteger(id, values[id - 1]);
        writer.WriteEndNode();
    }
    bad.seekg(0);
    TQpSDFReader reader(bad);
    Tool->LoadSettings(reader);
    EXPECT_EQ(Tool->Size(), 200);
    EXPECT_EQ(Tool->BackgroundEffect(), 3);
    EXPECT_EQ(Tool->BackgroundColor(), kWhite);
    EXPECT_EQ(Tool->BlurLevel(), 5);
    EXPECT_EQ(Region().BlurRadius(), 243);
    EXPECT_EQ(Tool->ShadowLevel(), 1);
    EXPECT_EQ(Tool->MonochromeColor(), kWhite);
    EXPECT_EQ(Tool->Area(), 3);
    EXPECT_EQ(Tool->Regime(), 2);
    EXPECT_TRUE(Frame().RegimeEffectTBXButton->isChecked());
}

TEST_F(SeparationToolTest, ScriptWordsReachTheSettersClampedAndAreRecordedWhileRecording)
{
    TQpGraphicsView* view = MarkedEverywhere();
    ASSERT_NE(view, nullptr);
    Click("RegimeEffectTBXButton");
    TRecorder recorder;
    Tool->DemoRecordStart(&recorder);

    Word("SEPARATIONBLURRADIUS", {20});
    EXPECT_EQ(Tool->BlurLevel(), 5);
    EXPECT_EQ(Region().BlurRadius(), 243);
    Word("SEPARATIONBACKGROUNDEFFECT", {9});
    EXPECT_EQ(Tool->BackgroundEffect(), 3);
    Word("SEPARATIONBACKGROUNDEFFECT", {2});
    EXPECT_EQ(Tool->BackgroundEffect(), 2);
    EXPECT_TRUE(Frame().BackgroundEffectTntRadioGroup->Item(2)->isChecked());
    // With a radius far beyond the image every background point shows the mean of the whole photo.
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), PixelAt(Pixels(), 36, 15));
    Word("SEPARATIONSHADOW", {-4});
    EXPECT_EQ(Tool->ShadowLevel(), 1);
    Word("SEPARATIONFILL", {1});
    EXPECT_TRUE(Tool->FillMode());
    EXPECT_TRUE(Frame().FillTBXButton->isChecked());
    Word("SEPARATIONFILL");
    EXPECT_FALSE(Tool->FillMode());
    Word("SEPARATIONBACKGROUNDCOLOR", {255});
    EXPECT_EQ(Tool->BackgroundColor(), 0x0000FFu);
    Word("SEPARATIONSWAP");
    EXPECT_EQ(Region().Label(2, 2), kLabelResultBackground);

    const std::vector<QString> expected = {QStringLiteral("MouseCurvedMove SeparationBlurRadius"),
                                           QStringLiteral("SeparationBlurRadius 5"),
                                           QStringLiteral("MouseCurvedMove SeparationBackgroundEffect"),
                                           QStringLiteral("SeparationBackgroundEffect 3"),
                                           QStringLiteral("MouseCurvedMove SeparationBackgroundEffect"),
                                           QStringLiteral("SeparationBackgroundEffect 2"),
                                           QStringLiteral("MouseCurvedMove SeparationShadow"),
                                           QStringLiteral("SeparationShadow 1"),
                                           QStringLiteral("MouseCurvedMove SeparationBackgroundColor"),
                                           QStringLiteral("SeparationBackgroundColor 255")};
    EXPECT_EQ(recorder.Lines, expected);

    recorder.Lines.clear();
    Click("DoneTBXButton");
    EXPECT_EQ(recorder.Lines, (std::vector<QString>{QStringLiteral("MouseCurvedMove SeparationDone"),
                                                    QStringLiteral("SeparationDone")}));
    Tool->DemoRecordStop(&recorder);

    bool handled = false;
    QPoint point;
    Tool->DemoPoint(nullptr, {{QStringLiteral("SeparationSeparate"), false, 0}}, handled, point);
    EXPECT_TRUE(handled);
    EXPECT_EQ(point, Frame().SeparateTBXButton->mapToGlobal(Frame().SeparateTBXButton->rect().center()));
}

TEST_F(SeparationToolTest, ACloseDuringASeparationAbortsItAndClosesAfterwardsWhileDropsAreIgnored)
{
    TQpGraphicsView* view = Open(TestImage(120, 100));
    ASSERT_NE(view, nullptr);
    MarkObjectAndBackground(view, 7, Row(50, 58, 62), Row(2, 0, 119));
    const auto labels = Labels(Region());
    TQpGraphicsDocument* document = &Document();
    const QString other = TempPath(QStringLiteral("other.png"));
    ASSERT_TRUE(TestImage(10, 10).save(other, "PNG"));

    // Closing asks about saving the marked image; the answer is no.
    framework::SetMessageBoxHook([](const QString&, const QString&, int) { return framework::kIdNo; });
    QTimer close;
    bool closed = false;
    QObject::connect(&close, &QTimer::timeout, [&] {
        if (Tool->Separating() && !closed) {
            closed = true;
            MainForm->DropFiles({QUrl::fromLocalFile(other)});
            MainForm->close();
        }
    });
    close.start(0);
    Click("SeparateTBXButton");
    close.stop();

    ASSERT_TRUE(closed);
    EXPECT_EQ(Editor->ActiveGraphicsDocument(), document);
    EXPECT_EQ(Document().Width(), 120);
    for (int x = 0; x < Region().Width(); ++x)
        for (int y = 0; y < Region().Height(); ++y)
            ASSERT_EQ(Region().Label(x, y), labels[static_cast<std::size_t>(x * Region().Height() + y)] >> 8);
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_FALSE(QpApplication->Busy());
    QCoreApplication::processEvents();
    EXPECT_FALSE(MainForm->isVisible());
}

TEST_F(SeparationToolTest, CursorShowsTheAreaTheFillModeAndThePlainPointerInEffect)
{
    TQpGraphicsView* view = Open(TestImage(40, 30));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(Tool->ControlCount(), 1);
    TQpGraphicsToolControl* control = Tool->Controls(0);
    const auto cursor = [&] {
        int number = -100;
        EXPECT_TRUE(control->SetCursor(Qt::NoModifier, QPoint(5, 5), number));
        return number;
    };
    EXPECT_EQ(cursor(), 12); // Unknown in the edge regime
    Click("FillTBXButton");
    EXPECT_EQ(cursor(), 8);
    Click("FillTBXButton");
    Click("RegimeFullTBXButton");
    EXPECT_EQ(cursor(), 10); // Object
    Click("AreaBGTBXButton");
    EXPECT_EQ(cursor(), 11);
    Click("AreaCleaningTBXButton");
    EXPECT_EQ(cursor(), 9);
    Click("RegimeEffectTBXButton");
    EXPECT_EQ(cursor(), kCursorDefault);

    // Another tool's turn: the control leaves the pointer and the right button alone.
    Editor->SetActiveTool(Other);
    int number = -100;
    EXPECT_FALSE(control->SetCursor(Qt::NoModifier, QPoint(5, 5), number));
    EXPECT_FALSE(control->MouseDown(Qt::RightButton, Qt::NoModifier, QPoint(5, 5)));
    EXPECT_EQ(Tool->Area(), TQpSeparationTool::kCleaning);
}

TEST_F(SeparationToolTest, RegimeSwitchesFillAndClearAreOneStepEachAndRedoRepeatsThem)
{
    TQpGraphicsView* view = Open(TestImage(40, 30));
    ASSERT_NE(view, nullptr);
    MarkObjectAndBackground(view, 5, Row(10, 5, 30), Row(20, 5, 30));
    const auto marks = Labels(Region());
    const auto marked = Snapshot(Pixels());

    // Edge turns object and background marks into unknown ones.
    Click("RegimeEdgeTBXButton");
    EXPECT_EQ(Region().Label(10, 10), kLabelUnknown);
    EXPECT_EQ(Region().Label(10, 20), kLabelUnknown);
    const auto edge = Labels(Region());
    const auto edgePixels = Snapshot(Pixels());
    // Full splits them: the first component found (columns from the left, each from the top) becomes
    // background, the next one object.
    Click("RegimeFullTBXButton");
    EXPECT_EQ(Region().Label(10, 10), kLabelBackground);
    EXPECT_EQ(Region().Label(10, 20), kLabelObject);
    const auto full = Labels(Region());
    const auto fullPixels = Snapshot(Pixels());
    // A fill over the unmarked rest with the object label, then Clear.
    Click("AreaObjectTBXButton");
    FillAt(view, {1, 1});
    EXPECT_EQ(Region().Label(39, 29), kLabelObject);
    EXPECT_EQ(Region().Label(10, 10), kLabelBackground);
    const auto filled = Labels(Region());
    const auto filledPixels = Snapshot(Pixels());
    // Filling where the label already is the area does nothing, and the fill mode ends.
    const std::size_t steps = Steps();
    FillAt(view, {2, 2});
    EXPECT_EQ(Steps(), steps);
    EXPECT_FALSE(Tool->FillMode());
    Click("ClearTBXButton");
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(Steps(), 6u);

    for (int i = 0; i < 4; ++i)
        Editor->Undo();
    EXPECT_EQ(Labels(Region()), marks);
    EXPECT_EQ(Snapshot(Pixels()), marked);
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kFull);
    Editor->Redo();
    EXPECT_EQ(Labels(Region()), edge);
    EXPECT_EQ(Snapshot(Pixels()), edgePixels);
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kEdge);
    Editor->Redo();
    EXPECT_EQ(Labels(Region()), full);
    EXPECT_EQ(Snapshot(Pixels()), fullPixels);
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kFull);
    Editor->Redo();
    EXPECT_EQ(Labels(Region()), filled);
    EXPECT_EQ(Snapshot(Pixels()), filledPixels);
    Editor->Redo();
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(Snapshot(Pixels()), Snapshot(*Document().OriginalPixels()));
    EXPECT_TRUE(CountsAgree(Region()));
}

TEST_F(SeparationToolTest, TheRegionFollowsTheImageStorageThroughOtherToolsAndUndo)
{
    TQpGraphicsView* view = Open(TestImage(40, 40));
    ASSERT_NE(view, nullptr);
    Click("RegimeFullTBXButton");
    Tool->SetSize(5);
    Stroke(view, Row(10, 5, 30));
    ASSERT_EQ(Steps(), 1u);

    // Another tool's step turned the image: same size, so the marks stay, on the new storage.
    ASSERT_TRUE(Document().RotateLeft());
    Document().NotifyImageChanged(Other, {0, 0, 40, 40});
    EXPECT_EQ(Region().Pixels(), Document().CurrentPixels());
    EXPECT_TRUE(Region().HasLabel(kLabelObject));

    // Undo attaches before it writes, whatever happened to the storage in between.
    ASSERT_TRUE(Document().RotateRight());
    Editor->Undo();
    EXPECT_EQ(Region().Pixels(), Document().CurrentPixels());
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_TRUE(CountsAgree(Region()));
    Editor->Redo();
    EXPECT_TRUE(Region().HasLabel(kLabelObject));

    // A change of size drops the marks.
    Document().Crop({0, 0, 20, 40});
    Document().NotifyImageChanged(Other, {0, 0, 20, 40});
    EXPECT_EQ(Region().Width(), 20);
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(Region().Pixels(), Document().CurrentPixels());
}

} // namespace
