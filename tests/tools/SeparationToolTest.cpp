// The cut-out tool's regimes, areas, separation and effects, driven through its frame and pointer.

#include "tools/SeparationToolTestSupport.h"

namespace {

using namespace septest;

TEST_F(SeparationToolTest, FullRegimeWithOnlyObjectMarksShowsTheMessageAndRunsNothing)
{
    TQpGraphicsView* view = Open(TestImage(40, 30));
    ASSERT_NE(view, nullptr);
    Click("RegimeFullTBXButton");
    Tool->SetSize(7);
    Stroke(view, Row(10, 5, 12));
    ASSERT_TRUE(Region().HasLabel(kLabelObject));
    const auto labels = Labels(Region());
    const auto pixels = Snapshot(Pixels());

    Refresh();
    EXPECT_FALSE(Frame().SeparateTBXButton->isEnabled());
    Word("SEPARATIONSEPARATE");

    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0],
              LocalizedString(2836, QStringLiteral("Mark part of the object and part of the "
                                                   "background first, then press Separate again.")));
    EXPECT_EQ(Labels(Region()), labels);
    EXPECT_EQ(Snapshot(Pixels()), pixels);
    EXPECT_FALSE(Region().HasLabel(kLabelBoundary));
    EXPECT_FALSE(Tool->Separating());
}

TEST_F(SeparationToolTest, EdgeRingSeparatesInsideFromOutsideWithAThresholdNegativeBoundary)
{
    const QImage image = DiscImage(64, 16);
    TQpGraphicsView* view = Open(image);
    ASSERT_NE(view, nullptr);
    const auto photo = Snapshot(Pixels());
    // The edge regime marks with Unknown; filling the empty field with it switches to Cleaning.
    EXPECT_EQ(Tool->Area(), TQpSeparationTool::kUnknown);
    EXPECT_TRUE(Frame().AreaUnknownTBXButton->isVisible());
    EXPECT_FALSE(Frame().AreaObjectTBXButton->isVisible());
    FillAt(view, {3, 3});
    EXPECT_TRUE(Region().IsAll(kLabelUnknown));
    EXPECT_EQ(Tool->Area(), TQpSeparationTool::kCleaning);
    EXPECT_TRUE(Frame().AreaCleaningTBXButton->isChecked());
    EXPECT_FALSE(Tool->FillMode());
    // Unknown is drawn as a red-and-green hatch: no blue.
    EXPECT_EQ(PixelAt(Pixels(), 1, 1) & 0xFF, 0u);

    Tool->SetSize(9);
    Stroke(view, Circle(32, 32, 16));
    EXPECT_EQ(Region().Label(32, 16), kLabelUnmarked);
    EXPECT_EQ(Region().Label(32, 32), kLabelUnknown);
    const std::size_t before = Steps();

    Click("SeparateTBXButton");
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Steps(), before + 1);
    // The marks are back, the decided ring shows no overlay but its boundary in threshold negative.
    EXPECT_EQ(Region().Label(32, 32), kLabelUnknown);
    EXPECT_EQ(Region().Label(2, 2), kLabelUnknown);
    EXPECT_EQ(Region().StoredLabel(32, 32), kLabelObject);
    EXPECT_EQ(Region().StoredLabel(2, 2), kLabelBackground);
    ASSERT_TRUE(Region().HasLabel(kLabelBoundary));
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 64; ++y) {
            const int d2 = (x - 32) * (x - 32) + (y - 32) * (y - 32);
            if (Region().Label(x, y) == kLabelBoundary) {
                // Inside the painted ring, and drawn as the negative of the photo.
                EXPECT_GT(d2, 10 * 10);
                EXPECT_LT(d2, 22 * 22);
                const std::uint32_t original = image.pixel(x, y) & 0xFFFFFF;
                std::uint32_t negative = 0;
                for (int shift : {0, 8, 16})
                    negative |= (((original >> shift) & 0xFF) > 127 ? 0u : 255u) << shift;
                EXPECT_EQ(PixelAt(Pixels(), x, y), negative);
            }
            if (Region().Label(x, y) == kLabelUnmarked) {
                EXPECT_EQ(PixelAt(Pixels(), x, y), image.pixel(x, y) & 0xFFFFFF);
            }
        }

    Click("RegimeEffectTBXButton");
    EXPECT_EQ(Region().Label(32, 32), kLabelResultObject);
    EXPECT_EQ(Region().Label(2, 2), kLabelResultBackground);
    EXPECT_EQ(Region().Label(32, 20), kLabelResultObject);
    EXPECT_EQ(Region().Label(32, 60), kLabelResultBackground);
    // The object keeps the photo, the background takes the colour effect (white).
    EXPECT_EQ(PixelAt(Pixels(), 32, 32), image.pixel(32, 32) & 0xFFFFFF);
    EXPECT_EQ(PixelAt(Pixels(), 2, 2), kWhite);
    EXPECT_TRUE(Frame().EffectTntGroupBox->isVisible());
    EXPECT_FALSE(Frame().AreaTntGroupBox->isVisible());
    EXPECT_TRUE(Frame().SwapTBXButton->isEnabled());
    EXPECT_TRUE(Frame().StoreTBXButton->isEnabled());
    EXPECT_TRUE(Frame().DoneTBXButton->isEnabled());
    EXPECT_FALSE(Frame().SeparateTBXButton->isVisible());

    // Back to Edge: the marks return over the photo.
    Click("RegimeEdgeTBXButton");
    EXPECT_EQ(Region().Label(32, 32), kLabelUnknown);
    EXPECT_FALSE(Region().HasLabel(kLabelResultObject));
    Click("ClearTBXButton");
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(Snapshot(Pixels()), photo);
}

TEST_F(SeparationToolTest, RightClickCyclesTheAreasTheRegimeOffers)
{
    TQpGraphicsView* view = Open(TestImage(40, 30));
    ASSERT_NE(view, nullptr);
    const auto rightClick = [&] {
        Press(view, {10, 10}, Qt::RightButton);
        Release(view, {10, 10}, Qt::RightButton);
        Refresh();
        return Tool->Area();
    };
    EXPECT_EQ(Tool->Area(), TQpSeparationTool::kUnknown);
    EXPECT_EQ(rightClick(), TQpSeparationTool::kCleaning);
    EXPECT_TRUE(Frame().AreaCleaningTBXButton->isChecked());
    EXPECT_EQ(rightClick(), TQpSeparationTool::kUnknown);

    Click("RegimeFullTBXButton");
    EXPECT_EQ(Tool->Area(), TQpSeparationTool::kObject);
    EXPECT_EQ(rightClick(), TQpSeparationTool::kBackground);
    EXPECT_TRUE(Frame().AreaBGTBXButton->isChecked());
    EXPECT_EQ(rightClick(), TQpSeparationTool::kCleaning);
    EXPECT_EQ(rightClick(), TQpSeparationTool::kObject);

    Click("RegimeEffectTBXButton");
    EXPECT_EQ(rightClick(), TQpSeparationTool::kObject);
    // No click painted anything.
    EXPECT_TRUE(Region().IsEmpty());
    EXPECT_EQ(Steps(), 0u);
}

TEST_F(SeparationToolTest, EffectWithoutSeparateShowsTheMarksAsTheResultAndStrokesThereDoNothing)
{
    TQpGraphicsView* view = MarkedEverywhere();
    ASSERT_NE(view, nullptr);
    ASSERT_FALSE(Region().HasLabel(kLabelUnmarked));
    ASSERT_TRUE(Region().HasLabel(kLabelBackground));
    const std::size_t before = Steps();

    Click("RegimeEffectTBXButton");
    EXPECT_EQ(Steps(), before + 1);
    EXPECT_EQ(Region().Label(2, 2), kLabelResultObject);
    EXPECT_EQ(Region().Label(32, 15), kLabelResultBackground);
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), kWhite);
    EXPECT_EQ(PixelAt(Pixels(), 2, 2), PixelAt(*Document().OriginalPixels(), 2, 2));
    EXPECT_EQ(Region().StoredLabel(2, 2), kLabelObject);

    const auto labels = Labels(Region());
    Stroke(view, Row(5, 2, 10));
    EXPECT_EQ(Labels(Region()), labels);
    EXPECT_EQ(Steps(), before + 1);

    Editor->Undo();
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kFull);
    EXPECT_EQ(Region().Label(2, 2), kLabelObject);
    Editor->Redo();
    EXPECT_EQ(Tool->Regime(), TQpSeparationTool::kEffect);
    EXPECT_EQ(Labels(Region()), labels);
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), kWhite);
}

TEST_F(SeparationToolTest, BlurLevelUnderTheColorEffectRecordsNothingAndTheBlurUsesItLater)
{
    TQpGraphicsView* view = MarkedEverywhere();
    ASSERT_NE(view, nullptr);
    Click("RegimeEffectTBXButton");
    const std::size_t steps = Steps();
    const auto shown = Snapshot(Pixels());

    Frame().BlurRadiusTntTrackBar->setValue(1);
    EXPECT_EQ(Tool->BlurLevel(), 1);
    EXPECT_EQ(Steps(), steps);
    EXPECT_EQ(Snapshot(Pixels()), shown);

    Click("BackgroundEffectTntRadioGroupItem2");
    EXPECT_EQ(Tool->BackgroundEffect(), 2);
    EXPECT_EQ(Steps(), steps + 1);
    EXPECT_EQ(Region().BlurRadius(), 3);
    // A background point becomes the 7 x 7 mean of the photo, the object stays.
    Editor->Undo();
    const auto original = Snapshot(Pixels());
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), kWhite);
    Editor->Redo();
    for (int channel = 0; channel < 3; ++channel) {
        double sum = 0;
        int count = 0;
        for (int x = 29; x <= 35; ++x)
            for (int y = 12; y <= 18; ++y, ++count)
                sum += static_cast<double>(
                    (tooltest::PixelAt(*Document().OriginalPixels(), x, y) >> (8 * channel)) & 0xFF);
        const int expected = static_cast<int>(std::nearbyint(sum / count));
        EXPECT_NEAR(static_cast<int>((PixelAt(Pixels(), 32, 15) >> (8 * channel)) & 0xFF), expected, 1);
    }
    EXPECT_EQ(PixelAt(Pixels(), 2, 2), PixelAt(*Document().OriginalPixels(), 2, 2));
    EXPECT_NE(Snapshot(Pixels()), original);
}

TEST_F(SeparationToolTest, SwapAndEffectParametersAreUndoneByApplyingAgain)
{
    TQpGraphicsView* view = MarkedEverywhere();
    ASSERT_NE(view, nullptr);
    Click("RegimeEffectTBXButton");
    const auto effect = Snapshot(Pixels());
    const auto labels = Labels(Region());

    Click("SwapTBXButton");
    EXPECT_EQ(Region().Label(2, 2), kLabelResultBackground);
    EXPECT_EQ(Region().Label(32, 15), kLabelResultObject);
    EXPECT_EQ(PixelAt(Pixels(), 2, 2), kWhite);
    const auto swapped = Snapshot(Pixels());
    Editor->Undo();
    EXPECT_EQ(Labels(Region()), labels);
    EXPECT_EQ(Snapshot(Pixels()), effect);
    Editor->Redo();
    EXPECT_EQ(Snapshot(Pixels()), swapped);
    Editor->Undo();

    // A red background; undo brings white back to the picture, the tool and its colour box.
    const std::size_t steps = Steps();
    Frame().ColorBox->Select(0x0000FF);
    EXPECT_EQ(Steps(), steps + 1);
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), 0xFF0000u);
    Editor->Undo();
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), kWhite);
    EXPECT_EQ(Snapshot(Pixels()), effect);
    EXPECT_EQ(Tool->BackgroundColor(), kWhite);
    EXPECT_EQ(Frame().ColorBox->Color(), kWhite);
    Editor->Redo();
    EXPECT_EQ(Frame().ColorBox->Color(), 0x0000FFu);
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), 0xFF0000u);

    // Shadow with level 2 halves the channels.
    Click("BackgroundEffectTntRadioGroupItem1");
    Frame().ShadowTntTrackBar->setValue(2);
    const std::uint32_t photo = PixelAt(*Document().OriginalPixels(), 32, 15);
    std::uint32_t halved = 0;
    for (int shift : {0, 8, 16})
        halved |= static_cast<std::uint32_t>(std::nearbyint(((photo >> shift) & 0xFF) / 2.0)) << shift;
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), halved);
    Editor->Undo();
    EXPECT_NEAR(Region().ShadowDivisor(), std::pow(std::sqrt(2.0), 3), 1e-12);
    EXPECT_EQ(Tool->ShadowLevel(), 3);
    EXPECT_EQ(Frame().ShadowTntTrackBar->value(), 3);
}

TEST_F(SeparationToolTest, AbortInTheMiddleOfARunRestoresTheMarksWithoutARedoStep)
{
    // The edge regime first: its split turns unknown marks far outside the undecided area into
    // object and background, and they must all come back.
    for (const bool edge : {true, false}) {
        SCOPED_TRACE(edge ? "edge" : "full");
        TQpGraphicsView* view = edge ? Open(DiscImage(160, 50)) : Open(TestImage(120, 100));
        ASSERT_NE(view, nullptr);
        if (edge) {
            ASSERT_EQ(Tool->Regime(), TQpSeparationTool::kEdge);
            FillAt(view, {2, 2});
            Tool->SetSize(41);
            Stroke(view, Circle(80, 80, 50));
        } else {
            Tool->SetSize(7);
            Click("RegimeFullTBXButton");
            Click("AreaObjectTBXButton");
            Stroke(view, Row(50, 58, 62));
            Click("AreaBGTBXButton");
            Stroke(view, Row(2, 0, 119));
        }
        const auto labels = Labels(Region());
        const auto pixels = Snapshot(Pixels());
        const std::size_t steps = Steps();
        const std::size_t count = Document().History().Count();

        // The Abort button is pressed as soon as it shows.
        QTimer abort;
        bool aborted = false;
        QObject::connect(&abort, &QTimer::timeout, [&] {
            if (Frame().AbortTBXButton->isEnabled() && Frame().AbortTBXButton->isVisible() && !aborted) {
                aborted = true;
                Frame().AbortTBXButton->click();
            }
        });
        abort.start(0);
        Click("SeparateTBXButton");
        abort.stop();

        EXPECT_TRUE(aborted);
        EXPECT_FALSE(Frame().AbortTBXButton->isChecked());
        EXPECT_FALSE(Tool->Separating());
        EXPECT_EQ(Snapshot(Pixels()), pixels);
        for (int x = 0; x < Region().Width(); ++x)
            for (int y = 0; y < Region().Height(); ++y)
                ASSERT_EQ(Region().Label(x, y),
                          labels[static_cast<std::size_t>(x * Region().Height() + y)] >> 8);
        EXPECT_TRUE(CountsAgree(Region()));
        EXPECT_EQ(Steps(), steps);
        EXPECT_EQ(Document().History().Count(), count);
        EXPECT_FALSE(Document().History().CanRedo());
        EXPECT_TRUE(Frame().SeparateTBXButton->isVisible());
        Document().SetUnmodified(true);
    }
}

} // namespace
