// The image editor with its view, tools and plug-in mode, on real photographs, offscreen.

#include "documents/QpGraphicsCommandState.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsToolControl.h"
#include "documents/QpGraphicsView.h"
#include "documents/QpScrollTool.h"
#include "framework/FlowToolBar.h"
#include "framework/MainForm.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"
#include "framework/MessageBox.h"
#include "support/QtApplication.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUrl>
#include <deque>
#include <gtest/gtest.h>

namespace {

QString Photo(const char* name)
{
    return QStringLiteral(VELMORA_TESTDATA_DIR "/photos/") + QLatin1String(name);
}

// A tool that fills rectangles of the image with one colour inside an edit session.
class TRectTool : public TQpGraphicsTool
{
public:
    explicit TRectTool(const QString& name, bool exclusive = false)
    {
        SetDemoName(name);
        SetExclusiveSession(exclusive);
        SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
            return std::make_unique<TQpGraphicsToolControl>(tool, view);
        });
    }

    void Fill(TQpGraphicsView* view, const TQpRect& rect, std::uint8_t blue, std::uint8_t green,
              std::uint8_t red)
    {
        if (View() != view || !Document() || !Document()->EditSessionActive() ||
            Document()->EditingTool() != this)
            BeginDocumentEdit(view);
        TQpPixels& pixels = *CurrentPixels();
        const TQpRect area = IntersectRect(rect, pixels.GetBounds());
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x) {
                std::uint8_t* p = pixels.PixelPtr(x, y);
                p[0] = blue;
                p[1] = green;
                p[2] = red;
            }
        AddDirtyRect(rect, false);
    }
};

// The bytes of the whole current image, row by row without padding.
std::vector<std::uint8_t> Snapshot(TQpPixels& pixels)
{
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < pixels.Height; ++y) {
        const std::uint8_t* row = pixels.PixelPtr(0, y);
        bytes.insert(bytes.end(), row, row + static_cast<std::ptrdiff_t>(pixels.Width) * 3);
    }
    return bytes;
}

void WriteBlock(const QString& path, int width, int height, const std::vector<std::uint8_t>& rgb)
{
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    QByteArray bytes("PSPF");
    for (std::int32_t value : {32, 3, 0, 0, width, height, rowBytes, 3})
        bytes.append(reinterpret_cast<const char*>(&value), 4);
    for (int y = 0; y < height; ++y) {
        QByteArray row(rowBytes, '\0');
        for (int i = 0; i < width * 3; ++i)
            row[i] = static_cast<char>(rgb[static_cast<std::size_t>(y * width * 3 + i)]);
        bytes.append(row);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class GraphicsEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(m_dir.isValid());
        framework::SetMessageBoxHook([this](const QString& text, const QString&, int) {
            Messages.push_back(text);
            if (Answers.empty())
                return framework::kIdYes;
            const int answer = Answers.front();
            Answers.pop_front();
            return answer;
        });
        m_application = std::make_unique<TQpApplication>();
        m_application->SetTitle(QStringLiteral("Velmora"));
        m_application->SetSettingsFileName(m_dir.filePath("cfg/Velmora.cfg"));
        m_application->CreateModule(Editor);
        m_application->CreateModule(Brush, QStringLiteral("Brush"));
        m_application->CreateModule(Stamp, QStringLiteral("Stamp"), true);
        m_application->LoadAllSettings();
        MainForm->resize(1100, 900);
        MainForm->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        m_application->DestroyComponents();
        m_application.reset();
        framework::SetMessageBoxHook({});
    }

    TQpGraphicsDocument* Open(const QString& path)
    {
        TQpDocument* document = nullptr;
        if (!Editor->OpenFile(path, document, true))
            return nullptr;
        return static_cast<TQpGraphicsDocument*>(document);
    }
    // Opens the photograph in a view of exactly 800 x 600 outer pixels.
    TQpGraphicsView* OpenInView(const char* photo)
    {
        if (!QFile::exists(Photo(photo)))
            return nullptr;
        if (!Open(Photo(photo)))
            return nullptr;
        TQpGraphicsView* view = Editor->ActiveView();
        view->setFixedSize(800, 600);
        QCoreApplication::processEvents();
        view->InitialZoom();
        return view;
    }
    static QPoint Centre(TQpGraphicsView* view)
    {
        const QRect client = view->ClientRect();
        return {client.width() / 2, client.height() / 2};
    }
    static void Move(TQpGraphicsView* view, QPoint point)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(point), view->mapToGlobal(QPointF(point)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    static void Button(TQpGraphicsView* view, QEvent::Type type, QPoint point)
    {
        QMouseEvent event(type, QPointF(point), view->mapToGlobal(QPointF(point)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    static void Key(TQpGraphicsView* view, QEvent::Type type, int key)
    {
        QKeyEvent event(type, key, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    static std::pair<int, int> Zoom(TQpGraphicsView* view)
    {
        return {view->MapMode().TargetExtent().X, view->MapMode().SourceExtent().X};
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TQpApplication> m_application;
    TQpGraphicsEditor* Editor = nullptr;
    TRectTool* Brush = nullptr;
    TRectTool* Stamp = nullptr;
    std::vector<QString> Messages;
    std::deque<int> Answers;
};

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

TEST_F(GraphicsEditorTest, OneStrokeIsOneUndoStepThatRestoresExactPixels)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TQpGraphicsDocument& document = view->Document();
    const std::vector<std::uint8_t> before = Snapshot(*document.CurrentPixels());
    Editor->SetActiveTool(Brush);

    Brush->Fill(view, {10, 20, 40, 30}, 1, 2, 3);
    Brush->Fill(view, {30, 25, 50, 60}, 1, 2, 3);
    // While the session runs there is nothing to undo or redo.
    EXPECT_FALSE(Editor->CanUndo());
    EXPECT_FALSE(Editor->CanRedo());
    Brush->EndDocumentEdit();
    const std::vector<std::uint8_t> after = Snapshot(*document.CurrentPixels());
    ASSERT_EQ(document.History().Count(), 1u);
    EXPECT_TRUE(Editor->CanUndo());
    EXPECT_FALSE(document.Unmodified());

    // The step holds the union (10, 20)-(50, 60) twice: 40 pixels a row, stride 120, 40 rows.
    auto* state = dynamic_cast<TQpGraphicsCommandState*>(document.History().NextUndoState());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->Rect(), (TQpRect{10, 20, 50, 60}));
    EXPECT_EQ(state->PixelBytes(), 2u * 120u * 40u);

    Editor->UndoCommand();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), before);
    EXPECT_TRUE(document.Unmodified());
    EXPECT_EQ(Editor->ActiveTool(), Brush);
    Editor->RedoCommand();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), after);
    EXPECT_FALSE(document.Unmodified());

    // A second stroke is its own step; undoing it leaves the first in place.
    Brush->Fill(view, {200, 200, 210, 210}, 9, 9, 9);
    Brush->EndDocumentEdit();
    EXPECT_EQ(document.History().Count(), 2u);
    Editor->UndoCommand();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), after);
    // The undo base follows the image exactly, so the next stroke records the right "before".
    EXPECT_EQ(Snapshot(document.UndoBase()), after);
}

TEST_F(GraphicsEditorTest, FirstStrokeGivesTheOriginalAndTheUndoBaseTheirOwnPixels)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TQpGraphicsDocument& document = view->Document();
    EXPECT_TRUE(document.CopiesShared());
    const std::vector<std::uint8_t> before = Snapshot(*document.CurrentPixels());
    Editor->SetActiveTool(Brush);
    Brush->Fill(view, {10, 20, 40, 30}, 1, 2, 3);
    EXPECT_FALSE(document.CopiesShared());
    // While the stroke runs, the tool sees the loaded pixels in both.
    EXPECT_EQ(Snapshot(*Brush->OriginalPixels()), before);
    EXPECT_EQ(Snapshot(*Brush->UndoBase()), before);
    Brush->CancelDocumentEdit();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), before);

    Brush->Fill(view, {10, 20, 40, 30}, 1, 2, 3);
    Brush->EndDocumentEdit();
    EXPECT_EQ(Snapshot(*document.OriginalPixels()), before);
    Editor->UndoCommand();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), before);
}

TEST_F(GraphicsEditorTest, CancelRestoresPixelsAndEmptyCommitAddsNothing)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TQpGraphicsDocument& document = view->Document();
    const std::vector<std::uint8_t> before = Snapshot(*document.CurrentPixels());
    Editor->SetActiveTool(Brush);
    Brush->Fill(view, {0, 0, 600, 400}, 7, 7, 7);
    Brush->CancelDocumentEdit();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), before);
    EXPECT_EQ(document.History().Count(), 0u);
    EXPECT_FALSE(document.EditSessionActive());

    Brush->BeginDocumentEdit(view);
    Brush->AddDirtyRect({-50, -50, -10, -10}, false); // outside the image
    Brush->EndDocumentEdit();
    EXPECT_EQ(document.History().Count(), 0u);
    EXPECT_TRUE(document.Unmodified());
}

TEST_F(GraphicsEditorTest, SessionOfAnotherToolCommitsTheFirstAndExclusiveSessionsLockTools)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TQpGraphicsDocument& document = view->Document();
    Editor->SetActiveTool(Brush);
    Brush->Fill(view, {5, 5, 15, 15}, 1, 1, 1);
    Stamp->Fill(view, {100, 100, 110, 110}, 2, 2, 2);
    ASSERT_EQ(document.History().Count(), 1u);
    EXPECT_EQ(static_cast<TQpGraphicsCommandState*>(document.History().NextUndoState())->Tool(), Brush);
    EXPECT_EQ(Brush->Document(), nullptr);

    // The stamp's session is exclusive: nothing else may be activated until it ends.
    EXPECT_FALSE(Editor->CanActivateTool(Brush));
    EXPECT_FALSE(Editor->CanActivateTool(QpScrollTool));
    EXPECT_TRUE(Editor->CanActivateTool(Stamp));
    Stamp->EndDocumentEdit();
    EXPECT_TRUE(Editor->CanActivateTool(Brush));
    EXPECT_EQ(document.History().Count(), 2u);

    Editor->LockTool();
    EXPECT_FALSE(Editor->CanActivateTool(Stamp));
    EXPECT_TRUE(Editor->CanActivateTool(Brush));
    Editor->UnlockTool();
}

TEST_F(GraphicsEditorTest, ToolControlsFollowActivationAndTheWordActivatesAHiddenTool)
{
    // With a tool active before any document, the new view's control is active at once.
    Editor->SetActiveTool(Brush);
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    ASSERT_EQ(Brush->ControlCount(), 1);
    EXPECT_TRUE(Brush->Controls(0)->Active());
    EXPECT_FALSE(Stamp->Controls(0)->Active());
    EXPECT_EQ(Brush->Controls(1), nullptr);

    Stamp->SetToolVisible(false);
    bool handled = false;
    Editor->DemoCommand(nullptr, QStringLiteral("STAMP"), handled, nullptr, {});
    EXPECT_FALSE(handled); // the editor leaves tool words alone
    Stamp->DemoCommand(nullptr, QStringLiteral("STAMP"), handled, nullptr, {});
    EXPECT_TRUE(handled);
    EXPECT_EQ(Editor->ActiveTool(), Stamp);
    EXPECT_EQ(Editor->PreviousTool(), Brush);
    EXPECT_TRUE(Stamp->Controls(0)->Active());
    EXPECT_FALSE(Brush->Controls(0)->Active());
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

TEST_F(GraphicsEditorTest, PreviousAndNextWalkTheFolderSortedByName)
{
    const QString folder = m_dir.filePath("pictures");
    QDir().mkpath(folder);
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::green);
    ASSERT_TRUE(image.save(folder + "/b.png"));
    ASSERT_TRUE(image.save(folder + "/A.bmp"));
    ASSERT_TRUE(image.save(folder + "/e.PNG", "PNG"));
    QFile broken(folder + "/c.jpg");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    QFile other(folder + "/d.txt");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();

    ASSERT_NE(Open(folder + "/A.bmp"), nullptr);
    ASSERT_EQ(Editor->FolderImages().size(), 4);
    EXPECT_TRUE(Editor->FolderImages()[0].endsWith("/A.bmp"));
    EXPECT_TRUE(Editor->FolderImages()[1].endsWith("/b.png"));
    EXPECT_TRUE(Editor->FolderImages()[2].endsWith("/c.jpg"));
    EXPECT_TRUE(Editor->FolderImages()[3].endsWith("/e.PNG"));
    EXPECT_EQ(Editor->FolderImageIndex(), 0);
    Editor->UpdateControls();
    EXPECT_FALSE(Editor->PrevImageButton->isEnabled());
    EXPECT_TRUE(Editor->NextImageButton->isEnabled());

    Editor->NextImage();
    EXPECT_TRUE(Editor->ActiveDocument()->FileName().endsWith("/b.png"));
    EXPECT_EQ(Editor->FolderImageIndex(), 1);

    // A changed image whose save question is cancelled stays, and so does the index.
    Editor->SetActiveTool(Brush);
    Brush->Fill(Editor->ActiveView(), {0, 0, 2, 2}, 0, 0, 0);
    Brush->EndDocumentEdit();
    Answers = {framework::kIdCancel};
    Editor->NextImage();
    EXPECT_TRUE(Editor->ActiveDocument()->FileName().endsWith("/b.png"));
    EXPECT_EQ(Editor->FolderImageIndex(), 1);

    // The unreadable file is reported; the walk goes on past it.
    Answers = {framework::kIdNo};
    Messages.clear();
    Editor->NextImage();
    EXPECT_EQ(Editor->ActiveDocument(), nullptr);
    ASSERT_EQ(Messages.size(), 2u); // the save question, then the failure
    EXPECT_EQ(Editor->FolderImageIndex(), 2);
    Editor->NextImage();
    ASSERT_NE(Editor->ActiveDocument(), nullptr);
    EXPECT_TRUE(Editor->ActiveDocument()->FileName().endsWith("/e.PNG"));
    Editor->UpdateControls();
    EXPECT_FALSE(Editor->NextImageButton->isEnabled());
    EXPECT_TRUE(Editor->PrevImageButton->isEnabled());
}

TEST_F(GraphicsEditorTest, DroppedFileOpensAndSizePanelsFollowGeometryChanges)
{
    if (!QFile::exists(Photo("coffee.png")))
        GTEST_SKIP() << "photo missing";
    MainForm->DropFiles({QUrl::fromLocalFile(Photo("coffee.png"))});
    ASSERT_NE(Editor->ActiveGraphicsDocument(), nullptr);
    EXPECT_EQ(Editor->RecentFiles().value(0), Photo("coffee.png"));
    EXPECT_EQ(Editor->WStatusPanel->text(), "600");
    EXPECT_EQ(Editor->HStatusPanel->text(), "400");
    ASSERT_TRUE(Editor->ActiveGraphicsDocument()->RotateLeft());
    EXPECT_EQ(Editor->WStatusPanel->text(), "400");
    EXPECT_EQ(Editor->HStatusPanel->text(), "600");
    // The view's range follows: 400 x 600 is centred horizontally in the view.
    TQpGraphicsView* view = Editor->ActiveView();
    const TQpRect shown = view->DocumentView()->ContentBounds(view->MapMode());
    EXPECT_EQ(shown.Width() * 3, shown.Height() * 2);
}

// A step that asks the editor to go on with the next one, as the cut-out steps do.
class TRepeatingState : public TQpCommandState
{
public:
    TRepeatingState(std::vector<int>& log, int id, bool repeat) : m_log(log), m_id(id), m_repeat(repeat) {}
    void Undo() override { Step(-m_id); }
    void Redo() override { Step(m_id); }

private:
    void Step(int entry)
    {
        m_log.push_back(entry);
        if (m_repeat)
            QpGraphicsEditor->RepeatFlag = true;
    }
    std::vector<int>& m_log;
    int m_id;
    bool m_repeat;
};

TEST_F(GraphicsEditorTest, UndoGoesOnWhileStepsAskForItWithTheToolAwayDuringEachPass)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    std::vector<int> log;
    TQpGraphicsDocument& document = view->Document();
    document.AddCommand(std::make_unique<TRepeatingState>(log, 1, false));
    document.AddCommand(std::make_unique<TRepeatingState>(log, 2, false));
    document.AddCommand(std::make_unique<TRepeatingState>(log, 3, true));
    document.AddCommand(std::make_unique<TRepeatingState>(log, 4, true));
    Editor->SetActiveTool(Brush);

    Editor->UndoCommand();
    // 4 and 3 ask for more; 2 does not, so 1 stays.
    EXPECT_EQ(log, (std::vector<int>{-4, -3, -2}));
    EXPECT_EQ(document.History().Position(), 1u);
    EXPECT_EQ(Editor->ActiveTool(), Brush);
    // The tool was set aside for each pass and brought back: the last switch was from no tool to it.
    EXPECT_EQ(Editor->PreviousTool(), nullptr);
    EXPECT_TRUE(Brush->Active());

    log.clear();
    Editor->RedoCommand();
    EXPECT_EQ(log, (std::vector<int>{2}));
    Editor->RedoCommand();
    EXPECT_EQ(log, (std::vector<int>{2, 3, 4}));
    EXPECT_FALSE(Editor->CanRedo());
}

// A tool with a button and an option frame holding one check box.
class TPanelTool : public TQpGraphicsTool
{
public:
    TPanelTool()
    {
        auto frame = std::make_unique<TQpFrame>();
        Option = new QCheckBox(QStringLiteral("Option"), frame.get());
        frame->Connect();
        CreateToolButton(QStringLiteral("Panel"), std::move(frame));
    }
    QCheckBox* Option = nullptr;
};

TEST_F(GraphicsEditorTest, ToolButtonAndOptionFrameFollowTheActiveToolAndTheLock)
{
    TQpToolPanelModule* panel = nullptr;
    m_application->CreateModule(panel);
    TPanelTool* tool = nullptr;
    m_application->CreateModule(tool);
    ASSERT_NE(tool->Button, nullptr);
    ASSERT_NE(tool->OptionFrame, nullptr);
    EXPECT_TRUE(panel->Toolbar->actions().contains(tool->Button));
    EXPECT_EQ(tool->Button->text(), "Panel");

    // No document: nothing can be activated.
    tool->UpdateControls();
    EXPECT_FALSE(tool->Button->isEnabled());
    EXPECT_FALSE(tool->Option->isEnabled());
    if (!Open(Photo("coffee.png")))
        GTEST_SKIP() << "photo missing";
    tool->UpdateControls();
    EXPECT_TRUE(tool->Button->isEnabled());
    EXPECT_FALSE(tool->Button->isChecked());
    EXPECT_FALSE(tool->Option->isEnabled()) << "options only for the active tool";

    tool->Button->trigger();
    tool->UpdateControls();
    EXPECT_EQ(Editor->ActiveTool(), tool);
    EXPECT_TRUE(tool->Button->isChecked());
    EXPECT_TRUE(tool->Option->isEnabled());
    EXPECT_TRUE(tool->OptionFrame->isVisibleTo(panel->FrameHost()));

    Editor->SetActiveTool(Brush);
    Editor->LockTool();
    tool->UpdateControls();
    EXPECT_FALSE(tool->Button->isEnabled());
    EXPECT_FALSE(tool->OptionFrame->isVisibleTo(panel->FrameHost()));
    // The script word has no disabled button in its way, and must not get past the lock either.
    bool handled = false;
    tool->DemoCommand(nullptr, tool->DemoName().toUpper(), handled, nullptr, {});
    EXPECT_EQ(Editor->ActiveTool(), Brush);
    Editor->UnlockTool();

    tool->SetToolVisible(false);
    EXPECT_FALSE(tool->Button->isVisible());
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
    ASSERT_LT(window.width(), area.width());
    // 60 pixels wider and 40 higher than now: the window grows by just that and stays in the work area.
    const auto number = [](double value) { return TQpDemoArgument{QString::number(value), true, value}; };
    bool handled = false;
    Editor->DemoCommand(nullptr, QStringLiteral("SETMINVIEWSIZE"), handled, nullptr,
                        {number(before.width() + 60), number(before.height() + 40)});
    EXPECT_TRUE(handled);
    EXPECT_EQ(MainForm->geometry().size(), window + QSize(60, 40));
    EXPECT_EQ(MainForm->geometry().topLeft(), area.topLeft());
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

class PlugInModeTest : public GraphicsEditorTest
{
protected:
    void OpenBlock()
    {
        m_block = m_dir.filePath("PSPF1234.tmp");
        // 3 x 2 pixels, red-green-blue.
        m_rgb = {10, 20, 30, 40, 50, 60, 70, 80, 90, 11, 21, 31, 41, 51, 61, 71, 81, 91};
        WriteBlock(m_block, 3, 2, m_rgb);
        m_original = ReadAll(m_block);
        ASSERT_NE(Open(m_block), nullptr);
    }
    QString m_block;
    std::vector<std::uint8_t> m_rgb;
    QByteArray m_original;
};

TEST_F(PlugInModeTest, BlockEntersPlugInModeWithCaptionAndButtons)
{
    OpenBlock();
    EXPECT_TRUE(Editor->PlugInMode());
    EXPECT_EQ(MainForm->windowTitle(), "Velmora Plug-in");
    EXPECT_EQ(Editor->ExitCode(), -1);
    EXPECT_FALSE(MainForm->FileMenuItem->menuAction()->isVisible());
    EXPECT_FALSE(Editor->PrevImageButton->isVisible());
    EXPECT_FALSE(Editor->NextImageButton->isVisible());
    EXPECT_FALSE(Editor->OpenToolButton->isVisible());
    ASSERT_NE(Editor->OkButton, nullptr);
    ASSERT_NE(Editor->CancelButton, nullptr);
    EXPECT_TRUE(Editor->OkButton->isVisible());
    // Tools take their plug-in visibility; the hand stays.
    EXPECT_FALSE(Brush->Visible());
    EXPECT_TRUE(QpScrollTool->Visible());
    EXPECT_TRUE(QpScrollTool->Button->isVisible());
    EXPECT_EQ(Editor->OkButton->text(), "OK");
    EXPECT_EQ(Editor->CancelButton->text(), "Cancel");
    // The block is no recent file.
    EXPECT_TRUE(Editor->RecentFiles().isEmpty());
}

TEST_F(PlugInModeTest, OkWritesTheEditBackAndExitsWithZero)
{
    OpenBlock();
    Editor->SetActiveTool(Brush);
    // An unfinished stroke still reaches the host.
    Brush->Fill(Editor->ActiveView(), {1, 0, 2, 1}, 3, 2, 1);
    Editor->AcceptPlugIn();
    EXPECT_EQ(Editor->ExitCode(), 0);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_TRUE(Messages.empty());
    const QByteArray written = ReadAll(m_block);
    ASSERT_EQ(written.size(), 36 + 2 * 12);
    // Pixel (1, 0) is now red 1, green 2, blue 3; the others are as sent.
    const QByteArray row0 = written.mid(36, 9);
    EXPECT_EQ(row0, QByteArray::fromHex("0a141e0102034650 5a").replace(' ', ""));
    EXPECT_EQ(written.mid(48, 9), m_original.mid(48, 9));
}

TEST_F(PlugInModeTest, FailedWriteBackIsReportedAndNeverExitsWithZero)
{
    const QString folder = m_dir.filePath("host");
    QDir().mkpath(folder);
    m_block = folder + "/PSPF5678.tmp";
    WriteBlock(m_block, 2, 2, std::vector<std::uint8_t>(12, 50));
    ASSERT_NE(Open(m_block), nullptr);
    // The host's folder is gone: the block cannot be written back.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    Editor->AcceptPlugIn();
    EXPECT_EQ(Editor->ExitCode(), -1);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_FALSE(Editor->SaveAs(Editor->ActiveDocument()));
    EXPECT_EQ(Editor->ExitCode(), -1);
}

TEST_F(PlugInModeTest, CancelClosesWithoutQuestionAndExitsWithMinusOne)
{
    OpenBlock();
    Editor->SetActiveTool(Brush);
    Brush->Fill(Editor->ActiveView(), {0, 0, 3, 2}, 0, 0, 0);
    Brush->EndDocumentEdit();
    Editor->CancelPlugIn();
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Editor->ExitCode(), -1);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_EQ(ReadAll(m_block), m_original);
}

TEST_F(PlugInModeTest, SaveQuestionNamesTheImageNotTheFile)
{
    OpenBlock();
    Editor->SetActiveTool(Brush);
    Brush->Fill(Editor->ActiveView(), {0, 0, 1, 1}, 0, 0, 0);
    Brush->EndDocumentEdit();
    Answers = {framework::kIdCancel};
    EXPECT_FALSE(MainForm->close());
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(Messages[0].contains("PSPF"));
}

} // namespace
