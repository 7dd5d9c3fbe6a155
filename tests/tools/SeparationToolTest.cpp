// The cut-out tool driven through its option frame and pointer input on a real offscreen view.

#include "tools/separation/SeparationTool.h"
#include "core/QpSDF.h"
#include "cutout/MarkedRegion.h"
#include "framework/Localizer.h"
#include "framework/ToolPanelModule.h"
#include "tools/separation/SeparationFrame.h"
#include "tools/ToolTestSupport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <sstream>

namespace {

using tooltest::PixelAt;
using tooltest::Snapshot;
using tooltest::TestImage;

constexpr std::uint32_t kWhite = 0xFFFFFF;

// Labels and stored labels of every point, column by column.
std::vector<std::uint16_t> Labels(const TMarkedRegion& region)
{
    std::vector<std::uint16_t> labels;
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y)
            labels.push_back(static_cast<std::uint16_t>(region.Label(x, y) << 8 | region.StoredLabel(x, y)));
    return labels;
}

// The label counts agree with the points.
bool CountsAgree(const TMarkedRegion& region)
{
    TLabelCounts counted{};
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y)
            ++counted[region.Label(x, y)];
    return counted == region.Counts();
}

class TOtherTool : public TQpGraphicsTool
{
public:
    TOtherTool() { SetDemoName(QStringLiteral("Other")); }
};

class TRecorder : public IQpDemoPlayer
{
public:
    void RecordLine(const QString& text) override { Lines.push_back(text); }
    bool ShowMessages() const override { return false; }
    void Error(const QString&) override {}
    std::vector<QString> Lines;
};

// A disc of one colour on a background of another: what the ring example cuts out.
QImage DiscImage(int side, int radius)
{
    QImage image(side, side, QImage::Format_RGB32);
    const int centre = side / 2;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool inside = (x - centre) * (x - centre) + (y - centre) * (y - centre) <= radius * radius;
            image.setPixel(x, y, inside ? qRgb(200, 60, 40) : qRgb(40, 120, 210));
        }
    return image;
}

class SeparationToolTest : public tooltest::TToolTest
{
protected:
    void CreateModules() override
    {
        TQpToolPanelModule* panel = nullptr;
        AddTool(panel);
        AddTool(Tool);
        AddTool(Other);
    }

    TQpGraphicsView* Open(const QImage& image)
    {
        TQpGraphicsView* view = OpenImage(image, QSize(image.width() + 40, image.height() + 40));
        if (view) {
            Editor->SetActiveTool(Tool);
            Refresh();
        }
        return view;
    }

    void Refresh() { Tool->UpdateControls(); }
    TQpSeparationFrame& Frame() const { return *Tool->Frame(); }
    TMarkedRegion& Region() const { return Tool->Region(); }
    TQpGraphicsDocument& Document() const { return *Editor->ActiveGraphicsDocument(); }
    TQpPixels& Pixels() const { return *Document().CurrentPixels(); }
    std::size_t Steps() const { return Document().History().Position(); }

    // Clicks a frame component by its form name, as a user would once the controls are up to date.
    void Click(const char* name)
    {
        Refresh();
        auto* button = Frame().findChild<QAbstractButton*>(QLatin1String(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
        Refresh();
    }

    // A stroke through every point of the path, each a dab.
    void Stroke(TQpGraphicsView* view, std::vector<TQpPoint> path)
    {
        Drag(view, path);
        Refresh();
    }
    // In the Full regime with brush `size`: an object stroke, then a background stroke.
    void MarkObjectAndBackground(TQpGraphicsView* view, int size, const std::vector<TQpPoint>& object,
                                 const std::vector<TQpPoint>& background)
    {
        Click("RegimeFullTBXButton");
        Tool->SetSize(size);
        Stroke(view, object);
        Click("AreaBGTBXButton");
        Stroke(view, background);
    }
    static std::vector<TQpPoint> Row(int y, int from, int to)
    {
        std::vector<TQpPoint> path;
        for (int x = from; x <= to; ++x)
            path.push_back({x, y});
        return path;
    }
    static std::vector<TQpPoint> Circle(int cx, int cy, int radius)
    {
        std::vector<TQpPoint> path;
        for (int step = 0; step <= 720; ++step) {
            const double angle = step * 3.14159265358979 / 360.0;
            path.push_back({cx + static_cast<int>(std::lround(radius * std::cos(angle))),
                            cy + static_cast<int>(std::lround(radius * std::sin(angle)))});
        }
        return path;
    }
    // Fill mode, then a click at `point`.
    void FillAt(TQpGraphicsView* view, TQpPoint point)
    {
        Click("FillTBXButton");
        ASSERT_TRUE(Tool->FillMode());
        Move(view, point);
        Press(view, point);
        Release(view, point);
        Refresh();
    }
    void Word(const char* word, std::vector<double> numbers = {})
    {
        TQpDemoParams params;
        for (double number : numbers)
            params.push_back({QString::number(number), true, number});
        bool handled = false;
        Tool->DemoCommand(nullptr, QLatin1String(word), handled, nullptr, params);
        EXPECT_TRUE(handled) << word;
        Refresh();
    }

    // Full regime, the left part painted as object, a stroke of background on the right, nothing left
    // unmarked: the marks themselves are a result.
    TQpGraphicsView* MarkedEverywhere()
    {
        TQpGraphicsView* view = Open(TestImage(40, 30));
        if (!view)
            return nullptr;
        Click("RegimeFullTBXButton");
        EXPECT_EQ(Tool->Area(), TQpSeparationTool::kObject);
        FillAt(view, {5, 5});
        EXPECT_TRUE(Region().IsAll(kLabelObject));
        Click("AreaBGTBXButton");
        Tool->SetSize(9);
        Stroke(view, Row(15, 28, 36));
        return view;
    }

    TQpSeparationTool* Tool = nullptr;
    TOtherTool* Other = nullptr;
};

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

    // A red background; undo brings white back while the tool and its colour box keep red.
    const std::size_t steps = Steps();
    Frame().ColorBox->Select(0x0000FF);
    EXPECT_EQ(Steps(), steps + 1);
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), 0xFF0000u);
    Editor->Undo();
    EXPECT_EQ(PixelAt(Pixels(), 32, 15), kWhite);
    EXPECT_EQ(Snapshot(Pixels()), effect);
    EXPECT_EQ(Tool->BackgroundColor(), 0x0000FFu);
    EXPECT_EQ(Frame().ColorBox->Color(), 0x0000FFu);
    Editor->Redo();
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
    EXPECT_EQ(Tool->ShadowLevel(), 2);
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
