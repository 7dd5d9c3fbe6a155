// The image editor's script words given arguments no script should send: NaN, infinities, ±1e300 and
// texts where numbers belong. Nothing may crash (the sanitizer build checks the conversions), sizes are
// clamped to 0..32767 and then to the work area, image points to ±1,000,000.

#include "GraphicsEditorTestSupport.h"

#include <limits>

namespace {

using graphicstest::GraphicsEditorTest;
using graphicstest::Photo;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TQpDemoArgument Number(double value)
{
    return {QStringLiteral("n"), true, value};
}

TQpDemoArgument Text(const char* text)
{
    return {QString::fromLatin1(text)};
}

TEST_F(GraphicsEditorTest, ScriptWordsClampAbsurdNumbersAndIgnoreNonNumbers)
{
    if (!QFile::exists(Photo("coffee.png")))
        GTEST_SKIP() << "photo missing";
    const QString demo = m_dir.filePath("Demo") + "/";
    QDir().mkpath(demo);
    ASSERT_TRUE(QFile::copy(Photo("coffee.png"), demo + "cup.png"));
    Editor->DemonstrationFolder = demo;
    ASSERT_NE(Open(demo + "cup.png"), nullptr);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect start(area.x(), area.y(), area.width() - 150, area.height() - 120);

    enum class TWindow
    {
        Unchanged,
        WorkArea, // a view larger than any screen: the window fills the work area
        Widest,   // the width clamped to 32767, the height as it was
    };
    struct TCase
    {
        const char* Word;
        TQpDemoParams Params;
        TWindow Expected;
    };
    const TQpDemoArgument cup = Text("cup.png");
    const std::vector<TCase> cases = {
        {"SETMINVIEWSIZE", {Number(kNaN), Number(kNaN)}, TWindow::Unchanged},
        {"SETMINVIEWSIZE", {Number(kInf), Number(10)}, TWindow::Unchanged},
        {"SETMINVIEWSIZE", {Number(-1e300), Number(-1e300)}, TWindow::Unchanged},
        {"SETMINVIEWSIZE", {Text("900"), Number(900)}, TWindow::Unchanged},
        {"SETMINVIEWSIZE", {Number(1e300), Number(1e300)}, TWindow::WorkArea},
        {"SETMINWINDOWSIZE", {Number(kNaN), Number(10)}, TWindow::Unchanged},
        {"SETMINWINDOWSIZE", {Number(-kInf), Number(-1e300)}, TWindow::Unchanged},
        {"SETMINWINDOWSIZE", {Text("wide"), Number(1e300)}, TWindow::Unchanged},
        {"IMAGEOPEN", {cup, Number(kNaN), Number(kNaN)}, TWindow::Unchanged},
        {"IMAGEOPEN", {cup, Text("wide"), Number(900)}, TWindow::Unchanged},
        {"IMAGEOPEN", {cup, Number(-1e300), Number(kInf)}, TWindow::Unchanged},
        {"IMAGEOPEN", {cup, Number(1e300), Number(1e300)}, TWindow::WorkArea},
        {"SETMINWINDOWSIZE", {Number(1e300), Number(-1e300)}, TWindow::Widest},
    };
    // The window the word leaves when its size arguments are ignored: an opened image may move it.
    const auto run = [&](const char* word, const TQpDemoParams& params) {
        MainForm->setGeometry(start);
        QCoreApplication::processEvents();
        bool handled = false;
        Editor->DemoCommand(nullptr, QString::fromLatin1(word), handled, nullptr, params);
        QCoreApplication::processEvents();
        return handled;
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TCase& row = cases[i];
        const bool opens = row.Params.size() == 3;
        ASSERT_TRUE(run(row.Word, opens ? TQpDemoParams{cup} : TQpDemoParams{})) << "case " << i;
        const QRect ignored = opens ? MainForm->geometry() : start;
        EXPECT_TRUE(run(row.Word, row.Params)) << "case " << i;
        const QRect now = MainForm->geometry();
        switch (row.Expected) {
        case TWindow::Unchanged:
            EXPECT_EQ(now, ignored) << "case " << i;
            break;
        case TWindow::WorkArea:
            EXPECT_EQ(now, area) << "case " << i;
            break;
        case TWindow::Widest:
            EXPECT_EQ(now.width(), 32767) << "case " << i;
            EXPECT_EQ(now.height(), start.height()) << "case " << i;
            break;
        }
        ASSERT_NE(Editor->ActiveDocument(), nullptr) << "case " << i;
        EXPECT_TRUE(Editor->ActiveDocument()->FileName().endsWith("Demo/cup.png")) << "case " << i;
    }
    MainForm->setGeometry(start);
    QCoreApplication::processEvents();

    // An image point: each coordinate clamped, or 0 when it is no finite number.
    struct TPointCase
    {
        TQpDemoArgument X;
        TQpDemoArgument Y;
        TQpPoint Expected;
    };
    const std::vector<TPointCase> points = {
        {Number(kNaN), Number(1e300), {0, 1'000'000}}, {Number(-1e300), Text("12"), {-1'000'000, 0}},
        {Number(-kInf), Number(kInf), {0, 0}},         {Number(2e6), Number(-2e6), {1'000'000, -1'000'000}},
        {Number(17.0), Number(-5.0), {17, -5}},
    };
    TQpGraphicsView* view = Editor->ActiveView();
    ASSERT_NE(view, nullptr);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TPointCase& row = points[i];
        bool handled = false;
        QPoint point;
        Editor->DemoPoint(nullptr, {Text("Image"), row.X, row.Y}, handled, point);
        EXPECT_TRUE(handled) << "point " << i;
        const TQpPoint target = view->MapMode().SourceToTarget(row.Expected);
        EXPECT_EQ(point, view->mapToGlobal(QPoint(target.X, target.Y))) << "point " << i;
    }
}

} // namespace
