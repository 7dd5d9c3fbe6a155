// The shared script-argument helpers and word tables: integers and colours from numbers no script
// should send and from texts, and the prefix matching of RunDemoWord and DemoWordPoint.

#include "documents/QpDemoWords.h"
#include "support/QtApplication.h"

#include <QWidget>
#include <gtest/gtest.h>
#include <limits>

namespace {

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

TEST(DemoWordsTest, IntegersAreFiniteAndClampedAndTextsOnlyWhenAsked)
{
    struct TCase
    {
        TQpDemoArgument Argument;
        bool AcceptText;
        std::optional<int> Expected; // within -100..100
    };
    const std::vector<TCase> cases = {
        {Number(kNaN), true, std::nullopt},
        {Number(kInf), true, std::nullopt},
        {Number(-kInf), true, std::nullopt},
        {Number(1e300), false, 100},
        {Number(-1e300), false, -100},
        {Number(12.0), false, 12},
        {Text("12"), true, 12},
        {Text(" -12 "), true, -12},
        {Text("12"), false, std::nullopt},
        {Text("99999999999999"), true, 100},
        {Text("$FF8000"), true, std::nullopt},
        {Text("0x10"), true, std::nullopt},
        {Text("junk"), true, std::nullopt},
        {Text(""), true, std::nullopt},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TQpDemoParams params = {Text("first"), cases[i].Argument};
        EXPECT_EQ(DemoInteger(params, 1, -100, 100, cases[i].AcceptText), cases[i].Expected) << "case " << i;
    }
    // No such argument; the fallback form.
    EXPECT_EQ(DemoInteger({Number(5)}, 1, -100, 100, true), std::nullopt);
    EXPECT_EQ(DemoInteger({Number(kNaN)}, 0, 7, -100, 100), 7);
    EXPECT_EQ(DemoInteger({Number(1e300)}, 0, 7, -100, 100), 100);
}

TEST(DemoWordsTest, ColoursAreTwentyFourBitsFromNumbersDecimalAndHexTexts)
{
    constexpr std::uint32_t kFallback = 0x123456;
    struct TCase
    {
        TQpDemoArgument Argument;
        std::uint32_t Expected;
    };
    const std::vector<TCase> cases = {
        {Number(kNaN), kFallback},
        {Number(kInf), kFallback},
        {Number(-kInf), kFallback},
        {Number(1e300), 0xFFFFFF},
        {Number(-1e300), 0},
        {Number(255), 255},
        {Number(double(0x1FF8000)), 0xFF8000},
        {Text("12"), 12},
        {Text("$FF8000"), 0xFF8000},
        {Text(" $ff8000 "), 0xFF8000},
        {Text("0x10"), 0x10},
        {Text("0X10"), 0x10},
        {Text("$1FF8000"), 0xFF8000},
        {Text("junk"), kFallback},
        {Text("$"), kFallback},
        {Text("-5"), kFallback},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(DemoColor({cases[i].Argument}, 0, kFallback), cases[i].Expected) << "case " << i;
    EXPECT_EQ(DemoColor({}, 0, kFallback), kFallback);
}

TEST(DemoWordsTest, WordsMatchThePrefixAndOneWholeSuffix)
{
    TestApplication();
    QWidget window;
    window.setGeometry(100, 50, 300, 200);
    QWidget size(&window);
    size.setGeometry(10, 20, 40, 20);
    QWidget panel(&window);
    panel.setGeometry(60, 20, 31, 11);
    std::vector<QString> ran;
    const auto record = [&ran](const char* name) {
        return [&ran, name](const TQpDemoParams& params) {
            ran.push_back(QLatin1String(name) + (params.empty() ? QString() : params[0].Text));
        };
    };
    const TQpDemoWords words = {
        {"SIZE", record("size"), &size},
        {"APPLY", record("apply")},
        {"PANEL", {}, &panel},
    };

    struct TRun
    {
        const char* Prefix;
        const char* Word;
        bool Expected;
    };
    const std::vector<TRun> runs = {
        {"BRUSH", "BRUSHSIZE", true},   {"BRUSH", "BRUSHAPPLY", true}, {"BRUSH", "BRUSHPANEL", false},
        {"BRUSH", "BRUSH", false},      {"BRUSH", "SIZE", false},      {"BRUSH", "BRUSHSIZEX", false},
        {"BRUSH", "XBRUSHSIZE", false}, {"BRUSH", "brushsize", false}, {"", "SIZE", false},
    };
    for (const TRun& run : runs) {
        ran.clear();
        EXPECT_EQ(RunDemoWord(words, QLatin1String(run.Prefix), QLatin1String(run.Word), {Text("7")}),
                  run.Expected)
            << run.Word;
        EXPECT_EQ(ran.size(), run.Expected ? 1u : 0u) << run.Word;
    }
    ran.clear();
    RunDemoWord(words, QStringLiteral("BRUSH"), QStringLiteral("BRUSHAPPLY"), {Text("3")});
    EXPECT_EQ(ran, std::vector<QString>{QStringLiteral("apply3")});

    // Targets are named in any case and spacing; the point is the widget's centre pixel on the screen.
    struct TPoint
    {
        const char* Name;
        const QWidget* Target; // null: no such target
    };
    const std::vector<TPoint> points = {
        {"BrushSize", &size}, {" brushpanel ", &panel}, {"BRUSHAPPLY", nullptr},
        {"BRUSH", nullptr},   {"SIZE", nullptr},        {"BRUSHSIZE2", nullptr},
    };
    for (const TPoint& row : points) {
        QPoint point(-1, -1);
        EXPECT_EQ(DemoWordPoint(words, QStringLiteral("BRUSH"), {Text(row.Name)}, point),
                  row.Target != nullptr)
            << row.Name;
        if (row.Target) {
            EXPECT_EQ(point, row.Target->mapToGlobal(
                                 QPoint((row.Target->width() - 1) / 2, (row.Target->height() - 1) / 2)))
                << row.Name;
        }
    }
    QPoint point;
    EXPECT_FALSE(DemoWordPoint(words, QStringLiteral("BRUSH"), {}, point));
    EXPECT_FALSE(ScreenCentre(nullptr, point));
    ASSERT_TRUE(ScreenCentre(&size, point));
    EXPECT_EQ(point, window.mapToGlobal(QPoint(10 + 19, 20 + 9)));
}

} // namespace
