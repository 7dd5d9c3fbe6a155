#pragma once
// The cut-out tool's fixture: the tool on a real offscreen view, driven through its frame and pointer.

#include "core/QpSDF.h"
#include "cutout/MarkedRegion.h"
#include "framework/Localizer.h"
#include "framework/ToolPanelModule.h"
#include "tools/ToolTestSupport.h"
#include "tools/separation/SeparationFrame.h"
#include "tools/separation/SeparationTool.h"

#include <QAbstractButton>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <sstream>

namespace septest {

using tooltest::PixelAt;
using tooltest::Snapshot;
using tooltest::TestImage;
using tooltest::TRecorder;

inline constexpr std::uint32_t kWhite = 0xFFFFFF;

// Labels and stored labels of every point, column by column.
inline std::vector<std::uint16_t> Labels(const TMarkedRegion& region)
{
    std::vector<std::uint16_t> labels;
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y)
            labels.push_back(static_cast<std::uint16_t>(region.Label(x, y) << 8 | region.StoredLabel(x, y)));
    return labels;
}

// The label counts agree with the points.
inline bool CountsAgree(const TMarkedRegion& region)
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

// A disc of one colour on a background of another: what the ring example cuts out.
inline QImage DiscImage(int side, int radius)
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

} // namespace septest
