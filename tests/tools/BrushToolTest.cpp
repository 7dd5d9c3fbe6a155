// The brush tool bases driven through a real offscreen view: strokes as undo steps, dab placement
// and clipping, the soft mask, sizing by setter, slider, wheel, keys and script words, the recorded
// lines, the lost-release repair and the reversible outline.

#include "tools/BrushTool.h"

#include "documents/QpGraphicsCommandState.h"
#include "tools/ToolTestSupport.h"

#include <QFocusEvent>
#include <QPainter>
#include <QSlider>
#include <cstring>

namespace {

using namespace tooltest;

// Paints the mask value into the red channel (blue 0x11, green 0x22) where the mask is non-zero,
// so the image shows every dab and its profile.
class TDabTool : public TQpBrushTool
{
public:
    explicit TDabTool(const QString& name) { SetDemoName(name); }

    void BuildMask() override
    {
        ++MaskBuilds;
        TQpBrushTool::BuildMask();
    }
    bool BeginStroke(TQpDrawToolControl* control, Qt::MouseButton button,
                     Qt::KeyboardModifiers shift) override
    {
        if (Refuse)
            return false;
        ++Strokes;
        return TQpBrushTool::BeginStroke(control, button, shift);
    }
    void ApplyRect(const TQpRect& rect) override
    {
        Applied.push_back(rect);
        TQpPixels& pixels = *CurrentPixels();
        for (int y = rect.Top; y < rect.Bottom; ++y)
            for (int x = rect.Left; x < rect.Right; ++x) {
                const std::uint8_t* value = BrushMask().ValuePtr(x, y);
                if (!value || *value == 0)
                    continue;
                std::uint8_t* p = pixels.PixelPtr(x, y);
                p[0] = 0x11;
                p[1] = 0x22;
                p[2] = *value;
            }
    }

    int MaskBuilds = 0;
    int Strokes = 0;
    bool Refuse = false;
    std::vector<TQpRect> Applied;
};

constexpr std::uint32_t kDab = 0xFF2211; // a full mask value over 0x11, 0x22

class BrushToolTest : public TToolTest
{
protected:
    void CreateModules() override { AddTool(Tool, QStringLiteral("Separation")); }

    // A 64 x 48 gradient at 100 % with the tool active.
    TQpGraphicsView* OpenActive()
    {
        TQpGraphicsView* view = OpenImage(TestImage(64, 48));
        if (view)
            Editor->SetActiveTool(Tool);
        return view;
    }
    TQpBrushToolControl* Control() const { return dynamic_cast<TQpBrushToolControl*>(Tool->Controls(0)); }
    static std::size_t Steps(TQpGraphicsView* view) { return view->Document().History().Count(); }

    TDabTool* Tool = nullptr;
};

// The image's changed pixels compared with `before`, as their bounding rectangle.
TQpRect ChangedArea(const TQpPixels& pixels, const std::vector<std::uint8_t>& before)
{
    TQpRect area{pixels.Width, pixels.Height, 0, 0};
    for (int y = 0; y < pixels.Height; ++y)
        for (int x = 0; x < pixels.Width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * pixels.Width + x) * 3;
            if (std::memcmp(pixels.PixelPtr(x, y), &before[at], 3) != 0) {
                area.Left = std::min(area.Left, x);
                area.Top = std::min(area.Top, y);
                area.Right = std::max(area.Right, x + 1);
                area.Bottom = std::max(area.Bottom, y + 1);
            }
        }
    return area.IsEmpty() ? TQpRect{} : area;
}

TEST(BrushGeometryTest, RectangleIsOddWideAndSoftMaskHasTheHandWorkedProfile)
{
    EXPECT_EQ(BrushRect(20, 30, 10), (TQpRect{15, 25, 26, 36}));
    EXPECT_EQ(BrushRect(20, 30, 11), (TQpRect{15, 25, 26, 36}));
    EXPECT_EQ(BrushRect(20, 30, 1), (TQpRect{20, 30, 21, 31}));
    EXPECT_EQ(BrushRect(0, 0, 2), (TQpRect{-1, -1, 2, 2}));

    TQpPixelMask mask;
    ASSERT_TRUE(BuildSoftBrushMask(mask, 1, 255, 160));
    EXPECT_EQ(mask.GetBounds(), (TQpRect{0, 0, 1, 1}));
    EXPECT_EQ(*mask.ValuePtr(0, 0), 255);

    ASSERT_TRUE(BuildSoftBrushMask(mask, 10, 255, 160));
    ASSERT_EQ(mask.GetBounds(), (TQpRect{0, 0, 11, 11}));
    EXPECT_EQ(*mask.ValuePtr(5, 5), 255);
    // r = 1 five pixels out along either axis; r = 0.6 at three: round((1 - 0.6^10) * 255) = 253;
    // r = 0.8 at four: round(0.8926258 * 255) = 228.
    for (auto [x, y] : {std::pair{10, 5}, {0, 5}, {5, 10}, {5, 0}})
        EXPECT_EQ(*mask.ValuePtr(x, y), 0) << x << "," << y;
    for (auto [x, y] : {std::pair{8, 5}, {2, 5}, {5, 8}, {5, 2}})
        EXPECT_EQ(*mask.ValuePtr(x, y), 253) << x << "," << y;
    EXPECT_EQ(*mask.ValuePtr(9, 5), 228);
    // (3, 4) from the centre: r = 1.
    EXPECT_EQ(*mask.ValuePtr(8, 9), 0);
    EXPECT_EQ(*mask.ValuePtr(0, 0), 0);
    // The four quadrants mirror each other.
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x)
            ASSERT_EQ(*mask.ValuePtr(x, y), *mask.ValuePtr(10 - x, 10 - y)) << x << "," << y;
}

TEST_F(BrushToolTest, OneStrokeIsOneUndoStepWithDabsJoinedAlongEachMoveAndUndoRestoresExactly)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    TQpPixels& pixels = *view->Document().CurrentPixels();
    const std::vector<std::uint8_t> before = Snapshot(pixels);
    const int builds = Tool->MaskBuilds;

    Drag(view, {{10, 10}, {20, 12}, {40, 30}});
    EXPECT_EQ(Tool->Strokes, 1);
    EXPECT_EQ(Steps(view), 1u);
    EXPECT_FALSE(Control()->Drawing());
    EXPECT_EQ(Tool->StrokeControl(), nullptr);
    // One dab at the press and one per move, joined by dabs at most a quarter of the brush (2) apart:
    // 5 over the 10.2 pixels to (20, 12), 13 over the 26.9 pixels on to (40, 30).
    ASSERT_EQ(Tool->Applied.size(), 21u);
    EXPECT_EQ(Tool->Applied[0], BrushRect(10, 10, 10));
    EXPECT_EQ(Tool->Applied[6], BrushRect(20, 12, 10));
    EXPECT_EQ(Tool->Applied[20], BrushRect(40, 30, 10));
    for (std::size_t k = 1; k < Tool->Applied.size(); ++k) {
        const int dx = Tool->Applied[k].Left - Tool->Applied[k - 1].Left;
        const int dy = Tool->Applied[k].Top - Tool->Applied[k - 1].Top;
        EXPECT_LE(dx * dx + dy * dy, 2 * 2 + 2 * 2) << k; // 2 along each axis, rounding to pixels included
    }
    // Every pixel of the path lies under some dab.
    const std::pair<int, int> path[] = {{10, 10}, {20, 12}, {40, 30}};
    for (int leg = 0; leg < 2; ++leg)
        for (int t = 0; t <= 16; ++t) {
            const int x = path[leg].first + (path[leg + 1].first - path[leg].first) * t / 16;
            const int y = path[leg].second + (path[leg + 1].second - path[leg].second) * t / 16;
            EXPECT_EQ(PixelAt(pixels, x, y) & 0xFFFF, kDab & 0xFFFF) << x << "," << y;
        }
    EXPECT_EQ(PixelAt(pixels, 40, 30), kDab);
    EXPECT_EQ(PixelAt(pixels, 43, 30) >> 16, 253u);
    // Off the line the image is untouched; each dab reaches 4 pixels out, where the mask ends.
    EXPECT_EQ(std::memcmp(pixels.PixelPtr(35, 12), &before[(12 * 64 + 35) * 3], 3), 0);
    EXPECT_EQ(ChangedArea(pixels, before), (TQpRect{6, 6, 45, 35}));
    // The mask is moved, never rebuilt, for each dab; between dabs it rests at the origin.
    EXPECT_EQ(Tool->MaskBuilds, builds);
    EXPECT_EQ(Tool->BrushMask().GetBounds(), (TQpRect{0, 0, 11, 11}));

    const std::vector<std::uint8_t> after = Snapshot(pixels);
    Editor->UndoCommand();
    EXPECT_EQ(Snapshot(*view->Document().CurrentPixels()), before);
    Editor->RedoCommand();
    EXPECT_EQ(Snapshot(*view->Document().CurrentPixels()), after);
}

TEST_F(BrushToolTest, DabsAreClippedAtTheImageEdgesAndADabOutsideDoesNothing)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    TQpPixels& pixels = *view->Document().CurrentPixels();
    const std::vector<std::uint8_t> before = Snapshot(pixels);

    Drag(view, {{1, 1}});
    ASSERT_EQ(Tool->Applied.size(), 1u);
    EXPECT_EQ(Tool->Applied[0], (TQpRect{0, 0, 7, 7}));
    EXPECT_EQ(ChangedArea(pixels, before), (TQpRect{0, 0, 6, 6}));
    EXPECT_EQ(PixelAt(pixels, 0, 0), kDab);
    auto* state = dynamic_cast<TQpGraphicsCommandState*>(view->Document().History().NextUndoState());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->Rect(), (TQpRect{0, 0, 7, 7}));

    Drag(view, {{62, 47}});
    EXPECT_EQ(Tool->Applied.back(), (TQpRect{57, 42, 64, 48}));
    EXPECT_EQ(PixelAt(pixels, 63, 47) >> 16, 255u);
    EXPECT_EQ(Steps(view), 2u);

    // Six pixels beyond the right edge the brush of half-width 5 does not reach the image.
    const std::vector<std::uint8_t> edged = Snapshot(pixels);
    for (TQpPoint outside : {TQpPoint{69, 20}, TQpPoint{-6, 20}, TQpPoint{30, -6}})
        Drag(view, {outside});
    EXPECT_EQ(Tool->Applied.size(), 2u);
    EXPECT_EQ(Snapshot(pixels), edged);
    EXPECT_EQ(Steps(view), 2u);
    // One step inward and the brush's rim column touches the image.
    Drag(view, {{68, 20}});
    EXPECT_EQ(Tool->Applied.back(), (TQpRect{63, 15, 64, 26}));
}

TEST_F(BrushToolTest, SettersIgnoreEqualAndOutOfRangeValuesAndRecordOnlyWhileRecording)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    TRecorder recorder;
    Tool->DemoRecordStart(&recorder);
    const int builds = Tool->MaskBuilds;

    for (int size : {0, 51, -3, 10})
        Tool->SetSize(size);
    EXPECT_EQ(Tool->Size(), 10);
    Tool->SetOpacity(256);
    Tool->SetOpacity(-1);
    Tool->SetOpacity(255);
    Tool->SetHardness(300);
    Tool->SetHardness(128);
    EXPECT_TRUE(recorder.Lines.empty());
    EXPECT_EQ(Tool->MaskBuilds, builds);

    Tool->SetSize(25);
    Tool->SetSize(50);
    Tool->SetSize(1);
    Tool->SetOpacity(0);
    Tool->SetHardness(200);
    EXPECT_EQ(recorder.Lines,
              (std::vector<QString>{"SeparationSize 25", "SeparationSize 50", "SeparationSize 1",
                                    "SeparationOpacity 0", "SeparationHardness 200"}));
    EXPECT_EQ(Tool->MaskBuilds, builds + 5);
    // Opacity and hardness are kept but never shape the mask.
    EXPECT_EQ(Tool->Opacity(), 0);
    EXPECT_EQ(Tool->Hardness(), 200);
    ASSERT_EQ(Tool->BrushMask().GetBounds(), (TQpRect{0, 0, 1, 1}));
    EXPECT_EQ(*Tool->BrushMask().ValuePtr(0, 0), 255);
    Tool->SetSize(10);
    TQpPixelMask reference;
    ASSERT_TRUE(BuildSoftBrushMask(reference, 10, 255, 160));
    ASSERT_EQ(Tool->BrushMask().GetBounds(), reference.GetBounds());
    EXPECT_EQ(std::memcmp(Tool->BrushMask().Values, reference.Values, 121), 0);
    // The control's rectangle follows the size around the same centre.
    EXPECT_EQ(Control()->Bounds(), BrushRect(Control()->BrushX(), Control()->BrushY(), 10));

    Tool->DemoRecordStop(&recorder);
    recorder.Lines.clear();
    Tool->SetSize(30);
    EXPECT_EQ(Tool->Size(), 30);
    EXPECT_TRUE(recorder.Lines.empty());
}

TEST_F(BrushToolTest, SlidersFollowAndSetTheValuesAndNameTheirScreenPoints)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    QWidget panel;
    auto size = std::make_unique<QSlider>(Qt::Horizontal, &panel);
    auto opacity = std::make_unique<QSlider>(Qt::Horizontal, &panel);
    size->setGeometry(10, 20, 100, 20);
    opacity->setGeometry(10, 50, 100, 20);
    panel.show();

    bool handled = false;
    QPoint point;
    Tool->DemoPoint(nullptr, {{"SeparationSize"}}, handled, point);
    EXPECT_FALSE(handled); // nothing bound yet

    Tool->BindSizeTrackBar(size.get());
    Tool->BindOpacityTrackBar(opacity.get());
    EXPECT_EQ(size->minimum(), 1);
    EXPECT_EQ(size->maximum(), 50);
    EXPECT_EQ(size->value(), 10);
    EXPECT_EQ(size->tickInterval(), 5);
    EXPECT_EQ(opacity->value(), 255);

    size->setValue(30);
    EXPECT_EQ(Tool->Size(), 30);
    Tool->SetSize(12);
    EXPECT_EQ(size->value(), 12);
    opacity->setValue(100);
    EXPECT_EQ(Tool->Opacity(), 100);

    Tool->DemoPoint(nullptr, {{"SeparationSize"}}, handled, point);
    EXPECT_TRUE(handled);
    EXPECT_EQ(point, size->mapToGlobal(size->rect().center()));
    handled = false;
    Tool->DemoPoint(nullptr, {{"separationopacity"}}, handled, point);
    EXPECT_TRUE(handled);
    EXPECT_EQ(point, opacity->mapToGlobal(opacity->rect().center()));
    handled = false;
    Tool->DemoPoint(nullptr, {{"SeparationHardness"}}, handled, point);
    EXPECT_FALSE(handled);

    // A slider that goes away is forgotten.
    size.reset();
    Tool->SetSize(20);
    EXPECT_EQ(Tool->SizeTrackBar(), nullptr);
}

TEST_F(BrushToolTest, ScriptWordsSetValuesAndAreHandledEvenOutOfRange)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    Editor->SetActiveTool(nullptr);
    const auto word = [&](const char* text, TQpDemoParams params) {
        bool handled = false;
        Tool->DemoCommand(nullptr, QString::fromLatin1(text), handled, nullptr, params);
        return handled;
    };
    const TQpDemoArgument n20{"20", true, 20.0};
    const TQpDemoArgument n300{"300", true, 300.0};
    const TQpDemoArgument n64{"64", true, 64.0};

    EXPECT_TRUE(word("SEPARATIONSIZE", {n20}));
    EXPECT_EQ(Tool->Size(), 20);
    EXPECT_TRUE(word("SEPARATIONOPACITY", {n300}));
    EXPECT_EQ(Tool->Opacity(), 255);
    EXPECT_TRUE(word("SEPARATIONSIZE", {n300}));
    EXPECT_EQ(Tool->Size(), 20);
    EXPECT_TRUE(word("SEPARATIONHARDNESS", {n64}));
    EXPECT_EQ(Tool->Hardness(), 64);
    EXPECT_TRUE(word("SEPARATIONSIZE", {}));
    EXPECT_EQ(Tool->Size(), 20);
    EXPECT_FALSE(word("SEPARATIONWIDTH", {n20}));
    EXPECT_EQ(Editor->ActiveTool(), nullptr);
    // The bare name goes to the framework, which activates the tool.
    EXPECT_TRUE(word("SEPARATION", {}));
    EXPECT_EQ(Editor->ActiveTool(), Tool);
}

TEST_F(BrushToolTest, WheelAndKeysResizeButTheWheelNotDuringAStroke)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    Move(view, {30, 20});
    Wheel(view, {30, 20}, 1);
    EXPECT_EQ(Tool->Size(), 11);
    Wheel(view, {30, 20}, -1);
    Wheel(view, {30, 20}, -1);
    EXPECT_EQ(Tool->Size(), 9);

    Press(view, {30, 20});
    Wheel(view, {30, 20}, 1, Qt::LeftButton);
    EXPECT_EQ(Tool->Size(), 9);
    // Keys still size the brush mid-stroke.
    Key(view, Qt::Key_Up);
    EXPECT_EQ(Tool->Size(), 10);
    Release(view, {30, 20});
    Wheel(view, {30, 20}, 1);
    EXPECT_EQ(Tool->Size(), 11);

    for (int key : {Qt::Key_PageUp, Qt::Key_Up, Qt::Key_Right})
        Key(view, key);
    EXPECT_EQ(Tool->Size(), 14);
    for (int key : {Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Down, Qt::Key_Down})
        Key(view, key);
    EXPECT_EQ(Tool->Size(), 10);

    Tool->SetSize(50);
    Key(view, Qt::Key_PageUp);
    Wheel(view, {30, 20}, 1);
    EXPECT_EQ(Tool->Size(), 50);
    Tool->SetSize(1);
    Key(view, Qt::Key_PageDown);
    EXPECT_EQ(Tool->Size(), 1);

    // Not the active tool: the keys and the wheel are left to others.
    Editor->SetActiveTool(nullptr);
    Key(view, Qt::Key_PageUp);
    Wheel(view, {30, 20}, 1);
    EXPECT_EQ(Tool->Size(), 1);
}

TEST_F(BrushToolTest, AStrokeWhoseReleaseNeverArrivesEndsAtTheNextUnpressedMoveOrFocusLoss)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    TQpPixels& pixels = *view->Document().CurrentPixels();

    Press(view, {10, 10});
    Move(view, {20, 10}, Qt::LeftButton);
    // The release went to another window; the pointer comes back with no button held.
    const std::uint32_t untouched = PixelAt(pixels, 40, 30);
    Move(view, {40, 30});
    EXPECT_FALSE(Control()->Drawing());
    EXPECT_EQ(Tool->StrokeControl(), nullptr);
    EXPECT_EQ(PixelAt(pixels, 40, 30), untouched);
    // The press, four joining dabs and the move.
    EXPECT_EQ(Tool->Applied.size(), 6u);
    EXPECT_EQ(Steps(view), 1u);
    EXPECT_FALSE(view->Document().EditSessionActive());

    // A press with only its own button held means the running stroke's release was lost too.
    Press(view, {10, 30});
    Press(view, {30, 30});
    EXPECT_EQ(Tool->Strokes, 3);
    EXPECT_EQ(Steps(view), 2u);

    // A modal box takes the focus mid-stroke.
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(view, &focusOut);
    EXPECT_FALSE(Control()->Drawing());
    EXPECT_EQ(Steps(view), 3u);

    Press(view, {50, 30});
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(view, &deactivate);
    EXPECT_FALSE(Control()->Drawing());
    EXPECT_EQ(Steps(view), 4u);

    // Another tool taking over ends the stroke as well, as does resetting the options.
    Press(view, {50, 10});
    Editor->SetActiveTool(nullptr);
    EXPECT_FALSE(Control()->Drawing());
    EXPECT_EQ(Steps(view), 5u);
    Editor->SetActiveTool(Tool);
    Press(view, {55, 10});
    Tool->ResetOptions();
    EXPECT_FALSE(Control()->Drawing());
    EXPECT_EQ(Steps(view), 6u);
    Release(view, {55, 10});
    EXPECT_EQ(Steps(view), 6u);
}

TEST_F(BrushToolTest, DrawModesAndARefusedStroke)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    TQpPixels& pixels = *view->Document().CurrentPixels();

    Tool->SetDrawMode(TQpDrawTool::kDabOnPress);
    Press(view, {10, 10});
    EXPECT_EQ(Steps(view), 1u);
    EXPECT_FALSE(Control()->Drawing());
    Move(view, {20, 10}, Qt::LeftButton);
    Release(view, {20, 10});
    EXPECT_EQ(Tool->Applied.size(), 1u);
    EXPECT_EQ(PixelAt(pixels, 10, 10), kDab);

    Tool->SetDrawMode(TQpDrawTool::kDabOnRelease);
    Press(view, {30, 30});
    EXPECT_EQ(Tool->Applied.size(), 1u);
    Release(view, {40, 30}, Qt::RightButton);
    ASSERT_EQ(Tool->Applied.size(), 2u);
    EXPECT_EQ(Tool->Applied[1], BrushRect(40, 30, 10));
    EXPECT_EQ(Tool->StrokeButton(), Qt::RightButton);
    EXPECT_EQ(Steps(view), 2u);

    Tool->SetDrawMode(TQpDrawTool::kContinuous);
    Tool->Refuse = true;
    Press(view, {50, 20}, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(Tool->Shift(), Qt::KeyboardModifiers(Qt::ShiftModifier));
    EXPECT_FALSE(Control()->Drawing());
    Move(view, {52, 20}, Qt::LeftButton);
    Release(view, {52, 20});
    EXPECT_EQ(Tool->Applied.size(), 2u);
    EXPECT_EQ(Steps(view), 2u);
    EXPECT_FALSE(view->Document().EditSessionActive());
}

TEST_F(BrushToolTest, OutlineReplacesThePointerAndDisappearsWhenDrawnTwice)
{
    TQpGraphicsView* view = OpenActive();
    ASSERT_NE(view, nullptr);
    Move(view, {30, 20});
    TQpBrushToolControl* control = Control();
    EXPECT_EQ(view->cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(control->Bounds(), BrushRect(30, 20, 10));

    TQpViewCanvas canvas;
    canvas.MapMode = view->MapMode();
    QImage image(view->ClientRect().size(), QImage::Format_BGR888);
    image.fill(QColor(0x30, 0x80, 0xC0));
    const QImage blank = image.copy();
    QPainter painter(&image);
    canvas.Painter = &painter;
    canvas.SetClip(QRegion(image.rect()));

    control->PaintOverlay(canvas);
    painter.end();
    // The centre pixel maps to (cx, cy); the 10-pixel square around it grown by one is
    // (cx - 6, cy - 6)-(cx + 6, cy + 6), inverted along its inscribed ellipse only.
    const TQpPoint origin = view->MapMode().TargetOrigin();
    const int cx = origin.X + 30;
    const int cy = origin.Y + 20;
    QRect changed;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != blank.pixel(x, y)) {
                EXPECT_EQ(image.pixel(x, y) & 0xFFFFFF, 0xCF7F3Fu);
                changed |= QRect(x, y, 1, 1);
            }
    EXPECT_EQ(changed, QRect(cx - 6, cy - 6, 12, 12));
    EXPECT_EQ(image.pixel(cx, cy), blank.pixel(cx, cy));
    EXPECT_NE(image.pixel(cx - 6, cy), blank.pixel(cx - 6, cy));
    const TQpRect overlay = control->OverlayBounds(view->MapMode());
    EXPECT_EQ(overlay, (TQpRect{cx - 7, cy - 7, cx + 8, cy + 8}));
    EXPECT_TRUE(ToQRect(overlay).contains(changed));

    painter.begin(&image);
    canvas.SetClip(QRegion(image.rect()));
    control->PaintOverlay(canvas);
    painter.end();
    EXPECT_EQ(image, blank);

    // The view shows the same ring over the image while the pointer is inside, none once it left.
    const QImage shown = RenderView(view);
    control->SetVisible(false);
    const QImage hidden = RenderView(view);
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != hidden.pixel(x, y)) {
                ++differing;
                EXPECT_TRUE(changed.contains(x, y)) << x << "," << y;
            }
    EXPECT_GT(differing, 20);
    control->SetVisible(true);
    view->SetZoom(1, 16);
    control->MoveBrush({30, 20});
    // Zoomed far out the brush is less than a device pixel: at least 1 x 1, grown by 2.
    EXPECT_EQ(control->OverlayBounds(view->MapMode()).Width(), 5);
}

} // namespace
