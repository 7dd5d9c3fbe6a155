// The image editor's view on real photographs, offscreen: zoom steps, the status panels, painting,
// the borrowed hand, and the script words and recording of zooms and sizes.

#include "GraphicsEditorTestSupport.h"

namespace {

using graphicstest::GraphicsEditorTest;
using graphicstest::Photo;
using graphicstest::TRectTool;

TEST_F(GraphicsEditorTest, ZoomStepsFromBestFitKeepTheImagePointUnderTheCentre)
{
    TQpGraphicsView* view = OpenInView("dragonfly_12mp.jpg");
    if (!view)
        GTEST_SKIP() << "photo missing";
    // 4000 x 3000 into the client area (800 - b) x (600 - b) left by the bars of width b: the height
    // decides, since 3000 / (600 - b) > 4000 / (800 - b) for every b > 0.
    const int bar = 800 - view->ClientRect().width();
    ASSERT_GT(bar, 0);
    ASSERT_LT(bar, 40);
    EXPECT_EQ(Zoom(view), std::make_pair(600 - bar, 3000));
    TQpPoint previous = view->ClientToImage(Centre(view));
    int previousDenominator = 6;

    // (600 - b) : 3000 lies between 1:6 and 1:5 for 0 < b < 100.
    const std::vector<std::pair<int, int>> steps = {{1, 5}, {1, 6}, {1, 7}, {1, 1}, {3, 2}, {1, 1}};
    const std::vector<void (TQpGraphicsEditor::*)()> commands = {
        &TQpGraphicsEditor::ZoomIn,     &TQpGraphicsEditor::ZoomOut, &TQpGraphicsEditor::ZoomOut,
        &TQpGraphicsEditor::ActualSize, &TQpGraphicsEditor::ZoomIn,  &TQpGraphicsEditor::ZoomOut};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        (Editor->*commands[i])();
        EXPECT_EQ(Zoom(view), steps[i]) << "step " << i;
        const TQpPoint now = view->ClientToImage(Centre(view));
        // Within one screen pixel of the old and one of the new mapping, in image pixels.
        const int tolerance = previousDenominator + steps[i].second;
        EXPECT_NEAR(now.X, previous.X, tolerance) << "step " << i;
        EXPECT_NEAR(now.Y, previous.Y, tolerance) << "step " << i;
        previous = now;
        previousDenominator = steps[i].second;
    }
    Editor->BestFit();
    EXPECT_EQ(Zoom(view), std::make_pair(600 - bar, 3000));
    // The fitted image is no larger than the area the bars leave (where it is centred is the scroll
    // range's business, which centres in the whole control).
    const TQpRect shown = view->DocumentView()->ContentBounds(view->MapMode());
    EXPECT_LE(shown.Width(), view->ClientRect().width());
    EXPECT_LE(shown.Height(), view->ClientRect().height());
}

TEST_F(GraphicsEditorTest, ZoomStopsAtBothEnds)
{
    TQpGraphicsView* view = OpenInView("astronaut.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    view->SetZoom(16, 1);
    Editor->ZoomIn();
    EXPECT_EQ(Zoom(view), std::make_pair(16, 1));
    view->SetZoom(1, 16);
    Editor->ZoomOut();
    EXPECT_EQ(Zoom(view), std::make_pair(1, 16));
    // Extents below 1 are refused.
    view->SetZoom(0, 5);
    EXPECT_EQ(Zoom(view), std::make_pair(1, 16));
    // A view with no client area (smaller than its bars) keeps its zoom instead of fitting to nothing.
    view->setFixedSize(10, 10);
    QCoreApplication::processEvents();
    ASSERT_TRUE(view->ClientRect().isEmpty());
    Editor->BestFit();
    view->InitialZoom();
    EXPECT_EQ(Zoom(view), std::make_pair(1, 16));
    Move(view, QPoint(0, 0));
}

TEST_F(GraphicsEditorTest, SmallImageAtActualSizeIsCentredAndStatusShowsPointAndColour)
{
    TQpGraphicsView* view = OpenInView("astronaut.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    const QImage reference = QImage(Photo("astronaut.png")).convertToFormat(QImage::Format_RGB32);
    // 512 x 512 at 100 %, centred in the client area the always-shown bars leave; nothing to scroll.
    EXPECT_EQ(Zoom(view), std::make_pair(1, 1));
    const QRect client = view->ClientRect();
    const int left = (client.width() - 512) / 2;
    const int top = (client.height() - 512) / 2;
    EXPECT_EQ(view->MapMode().TargetOrigin(), (TQpPoint{left, top}));
    EXPECT_FALSE(view->HorizontalBar()->isEnabled());
    EXPECT_FALSE(view->VerticalBar()->isEnabled());

    Move(view, QPoint(left + 100, top + 37));
    EXPECT_EQ(Editor->XStatusPanel->text(), "100");
    EXPECT_EQ(Editor->YStatusPanel->text(), "37");
    const QRgb pixel = reference.pixel(100, 37);
    EXPECT_EQ(Editor->RStatusPanel->text(), QString::number(qRed(pixel)));
    EXPECT_EQ(Editor->GStatusPanel->text(), QString::number(qGreen(pixel)));
    EXPECT_EQ(Editor->BStatusPanel->text(), QString::number(qBlue(pixel)));
    EXPECT_EQ(Editor->WStatusPanel->text(), "512");
    EXPECT_EQ(Editor->HStatusPanel->text(), "512");

    // Left of the image: negative coordinates, black.
    Move(view, QPoint(10, 20));
    EXPECT_EQ(Editor->XStatusPanel->text(), QString::number(10 - left));
    EXPECT_EQ(Editor->YStatusPanel->text(), QString::number(20 - top));
    EXPECT_EQ(Editor->RStatusPanel->text(), "0");
    EXPECT_EQ(Editor->GStatusPanel->text(), "0");
    EXPECT_EQ(Editor->BStatusPanel->text(), "0");

    // At 200 % a client pixel is half an image pixel: floor mapping.
    view->SetZoom(2, 1);
    const TQpPoint origin = view->MapMode().TargetOrigin();
    Move(view, QPoint(origin.X + 2 * 250 + 1, origin.Y + 2 * 260 + 1));
    EXPECT_EQ(Editor->XStatusPanel->text(), "250");
    EXPECT_EQ(Editor->YStatusPanel->text(), "260");
}

TEST_F(GraphicsEditorTest, ViewPaintsThePhotoAndOnlyTheCropRectangle)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    const QImage reference = QImage(Photo("coffee.png")).convertToFormat(QImage::Format_RGB32);
    // 600 x 400 at 100 %, centred in the client area.
    const TQpPoint origin = view->MapMode().TargetOrigin();
    const QRect client = view->ClientRect();
    ASSERT_EQ(origin, (TQpPoint{(client.width() - 600) / 2, (client.height() - 400) / 2}));
    const QImage& shown = view->Render(QRegion(view->ClientRect()));
    for (QPoint p : {QPoint(0, 0), QPoint(599, 399), QPoint(300, 200), QPoint(17, 311)})
        EXPECT_EQ(shown.pixel(p + QPoint(origin.X, origin.Y)) & 0xFFFFFF, reference.pixel(p) & 0xFFFFFF)
            << p.x() << "," << p.y();
    EXPECT_EQ(shown.pixel(50, 50) & 0xFFFFFF, 0x404040u);

    view->Document().SetCropRect({100, 50, 300, 150});
    const QImage& cropped = view->Render(QRegion(view->ClientRect()));
    EXPECT_EQ(cropped.pixel(origin.X + 150, origin.Y + 100) & 0xFFFFFF, reference.pixel(150, 100) & 0xFFFFFF);
    EXPECT_EQ(cropped.pixel(origin.X + 50, origin.Y + 100) & 0xFFFFFF, 0x404040u);
    EXPECT_EQ(cropped.pixel(origin.X + 150, origin.Y + 300) & 0xFFFFFF, 0x404040u);
}

TEST_F(GraphicsEditorTest, FarOutPaintingUsesTheReducedCopyAndFollowsEdits)
{
    TQpGraphicsView* view = OpenInView("dragonfly_12mp.jpg");
    if (!view)
        GTEST_SKIP() << "photo missing";
    view->SetZoom(1, 8);
    EXPECT_EQ(view->DocumentView()->ReductionFor(view->MapMode()), 8);
    view->SetZoom(1, 3);
    EXPECT_EQ(view->DocumentView()->ReductionFor(view->MapMode()), 2);
    view->SetZoom(3, 4);
    EXPECT_EQ(view->DocumentView()->ReductionFor(view->MapMode()), 1);

    // A red square painted far out shows up at once, averaged over whole 8 x 8 cells.
    view->SetZoom(1, 8);
    view->Render(QRegion(view->ClientRect()));
    Editor->SetActiveTool(Brush);
    Brush->Fill(view, {800, 800, 1600, 1600}, 0, 0, 255);
    Brush->EndDocumentEdit();
    const TQpPoint at = view->MapMode().SourceToTarget(TQpPoint{1200, 1200});
    const QImage& shown = view->Render(QRegion(view->ClientRect()));
    EXPECT_EQ(shown.pixel(at.X, at.Y) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(GraphicsEditorTest, SpaceBorrowsTheHandWhichDragsAndPlusKeyZooms)
{
    TQpGraphicsView* view = OpenInView("dragonfly_12mp.jpg");
    if (!view)
        GTEST_SKIP() << "photo missing";
    view->ActualSize();
    Editor->SetActiveTool(Brush);
    Key(view, QEvent::KeyPress, Qt::Key_Space);
    EXPECT_EQ(Editor->ActiveTool(), QpScrollTool);
    EXPECT_EQ(view->cursor().shape(), ApplicationCursor(kCursorHand).shape());

    const TQpPoint before = view->MapMode().TargetOrigin();
    Button(view, QEvent::MouseButtonPress, QPoint(300, 300));
    Move(view, QPoint(280, 330));
    Button(view, QEvent::MouseButtonRelease, QPoint(280, 330));
    const TQpPoint after = view->MapMode().TargetOrigin();
    EXPECT_EQ(after.X - before.X, -20);
    EXPECT_EQ(after.Y - before.Y, 30);

    Key(view, QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(Editor->ActiveTool(), Brush);

    Key(view, QEvent::KeyPress, Qt::Key_Plus);
    EXPECT_EQ(Zoom(view), std::make_pair(3, 2));
    Key(view, QEvent::KeyPress, Qt::Key_Minus);
    EXPECT_EQ(Zoom(view), std::make_pair(1, 1));
}

TEST_F(GraphicsEditorTest, MinimumViewSizeGrowsTheWindowByTheMissingPixels)
{
    if (!Open(Photo("coffee.png")))
        GTEST_SKIP() << "photo missing";
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    MainForm->setGeometry(area.x(), area.y(), area.width() - 150, area.height() - 120);
    QCoreApplication::processEvents();
    TQpGraphicsView* view = Editor->ActiveView();
    const QSize window = MainForm->geometry().size();
    const QSize before = view->size();
    const QPoint place = MainForm->geometry().topLeft();
    ASSERT_LT(window.width(), area.width());
    // 60 pixels wider and 40 higher than now: the window grows by just that and stays in the work area.
    const auto number = [](double value) { return TQpDemoArgument{QString::number(value), true, value}; };
    bool handled = false;
    Editor->DemoCommand(nullptr, QStringLiteral("SETMINVIEWSIZE"), handled, nullptr,
                        {number(before.width() + 60), number(before.height() + 40)});
    EXPECT_TRUE(handled);
    EXPECT_EQ(MainForm->geometry().size(), window + QSize(60, 40));
    EXPECT_EQ(MainForm->geometry().topLeft(), place);
    // Asking for less than there is changes nothing.
    Editor->SetMinViewSize(10, 10);
    EXPECT_EQ(MainForm->geometry().size(), window + QSize(60, 40));
}

// Keeps the recorded lines; messages on.
class TRecorder : public IQpDemoPlayer
{
public:
    void RecordLine(const QString& text) override { Lines.push_back(text); }
    bool ShowMessages() const override { return true; }
    void Error(const QString& text) override { Errors.push_back(text); }
    std::vector<QString> Lines;
    std::vector<QString> Errors;
};

TEST_F(GraphicsEditorTest, RecordsClicksDragsAndZoomsAsScriptLines)
{
    TQpGraphicsView* view = OpenInView("astronaut.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TRecorder recorder;
    Editor->DemoRecordStart(&recorder);
    const TQpPoint o = view->MapMode().TargetOrigin();
    Button(view, QEvent::MouseButtonPress, QPoint(o.X + 10, o.Y + 20));
    Move(view, QPoint(o.X + 11, o.Y + 20));
    Move(view, QPoint(o.X + 11, o.Y + 20)); // the same point again: no line
    Button(view, QEvent::MouseButtonRelease, QPoint(o.X + 16, o.Y + 26));
    Editor->ZoomIn();
    Editor->DemoRecordStop(&recorder);
    const std::vector<QString> expected = {
        "MouseCurvedMove Image, 10, 20", "Message \"Click\"",     "MouseDown Image, 10, 20",
        "MouseTo Image, 11, 20",         "MouseUp Image, 16, 26", "Pause 0.5",
        "MouseCurvedMove ZoomIn",        "Message \"Zoom In\"",   "ZoomIn"};
    EXPECT_EQ(recorder.Lines, expected);
}

TEST_F(GraphicsEditorTest, ScriptWordsOpenFromTheDemoFolderZoomAndIgnoreWrongArguments)
{
    if (!QFile::exists(Photo("coffee.png")))
        GTEST_SKIP() << "photo missing";
    const QString demo = m_dir.filePath("Demo") + "/";
    QDir().mkpath(demo);
    ASSERT_TRUE(QFile::copy(Photo("coffee.png"), demo + "cup.png"));
    Editor->DemonstrationFolder = demo;
    TRecorder player;
    const auto word = [&](const char* text, TQpDemoParams params) {
        bool handled = false;
        Editor->DemoCommand(&player, QString::fromLatin1(text), handled, nullptr, params);
        return handled;
    };
    const auto number = [](double value) { return TQpDemoArgument{QString::number(value), true, value}; };

    EXPECT_TRUE(word("IMAGEOPEN", {TQpDemoArgument{"cup.png"}}));
    ASSERT_NE(Editor->ActiveDocument(), nullptr);
    EXPECT_TRUE(Editor->ActiveDocument()->DemoDocument());
    EXPECT_TRUE(Editor->ActiveDocument()->FileName().endsWith("Demo/cup.png"));
    TQpGraphicsView* view = Editor->ActiveView();
    view->setFixedSize(800, 600);
    QCoreApplication::processEvents();
    EXPECT_TRUE(word("ACTUALSIZE", {}));
    EXPECT_TRUE(word("ZOOMIN", {}));
    EXPECT_EQ(Zoom(view), std::make_pair(3, 2));
    EXPECT_TRUE(word("ZOOMOUT", {}));
    EXPECT_EQ(Zoom(view), std::make_pair(1, 1));
    // Wrong count or kind: consumed, nothing happens.
    const QRect before = MainForm->geometry();
    EXPECT_TRUE(word("SETMINVIEWSIZE", {number(900)}));
    EXPECT_TRUE(word("SETMINWINDOWSIZE", {TQpDemoArgument{"wide"}, number(10)}));
    EXPECT_EQ(MainForm->geometry(), before);
    EXPECT_FALSE(word("SEPARATE", {}));

    Messages.clear();
    EXPECT_TRUE(word("IMAGEOPEN", {TQpDemoArgument{"missing.png"}}));
    ASSERT_EQ(player.Errors.size(), 1u);
    EXPECT_EQ(player.Errors[0], "Cannot open the file.");
}

} // namespace

TEST_F(GraphicsEditorTest, CtrlWheelZoomsAboutThePointerAndTheStatusBarShowsTheZoom)
{
    TQpGraphicsView* view = OpenInView("dragonfly_12mp.jpg");
    if (!view)
        GTEST_SKIP() << "photo missing";
    view->ActualSize();
    EXPECT_EQ(Editor->ZoomStatusPanel->text(), QStringLiteral("100 %"));
    // Both main-keyboard shortcuts zoom in, as the keypad's do.
    const QList<QKeySequence> in = Editor->ZoomInMenuItem->shortcuts();
    EXPECT_TRUE(in.contains(QKeySequence(Qt::CTRL | Qt::Key_Plus)));
    EXPECT_TRUE(in.contains(QKeySequence(Qt::CTRL | Qt::Key_Equal)));
    EXPECT_TRUE(Editor->ZoomOutMenuItem->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Minus)));

    const QPoint pointer(200, 150);
    const TQpPoint under = view->ClientToImage(pointer);
    const QPointF local(pointer);
    QWheelEvent wheel(local, view->mapToGlobal(local), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    EXPECT_EQ(Zoom(view), std::make_pair(3, 2));
    EXPECT_EQ(Editor->ZoomStatusPanel->text(), QStringLiteral("150 %"));
    const TQpPoint now = view->ClientToImage(pointer);
    EXPECT_NEAR(now.X, under.X, 1);
    EXPECT_NEAR(now.Y, under.Y, 1);
}
