// velmora-cli cutout and the separation tool, given the same JPEG (stored on its side with EXIF
// orientation 6) and the same marks, must see the same pixels and decide every point alike: the command
// line is the tool's headless path, so it has to read photos the way the editor does.

#include "app/CliRun.h"
#include "cutout/MarkedRegion.h"
#include "framework/ToolPanelModule.h"
#include "platform/ImageCodec.h"
#include "platform/ImageMetadata.h"
#include "tools/ToolTestSupport.h"
#include "tools/separation/SeparationFrame.h"
#include "tools/separation/SeparationTool.h"

#include <QImage>
#include <cstdint>

namespace {

// The upright scene, 72 x 56: an off-centre ellipse on a background, both finely textured and with a
// speckled band along the ellipse's edge, so that the decisions near the edge depend on every decoded
// value. Neither side is a multiple of the 16 x 16 units of a 4:2:0 JPEG.
constexpr int kWidth = 72;
constexpr int kHeight = 56;
constexpr int kCentreX = 30;
constexpr int kCentreY = 24;

// Squared elliptic distance from the centre, 1.0 on the ellipse's edge.
double Ellipse(int x, int y)
{
    const double dx = (x - kCentreX) / 19.0;
    const double dy = (y - kCentreY) / 14.0;
    return dx * dx + dy * dy;
}

// Blue, green, red of the upright scene at (x, y).
void SceneColour(int x, int y, std::uint8_t* bgr)
{
    const std::uint32_t hash = (static_cast<std::uint32_t>(x) * 73856093u) ^
                               (static_cast<std::uint32_t>(y) * 19349663u) ^ 0x9E3779B9u;
    const int noise = static_cast<int>((hash * 2654435761u) >> 27) - 16; // -16 .. 15
    const int checker = ((x + y) % 2) * 24 - 12;
    const double d = Ellipse(x, y);
    int blue, green, red;
    if (d < 1.0) {
        blue = 60 + checker;
        green = 110 + noise;
        red = 190 + checker;
    } else {
        blue = 170 + checker;
        green = 120 + noise;
        red = 80 - checker;
    }
    if (d > 0.75 && d < 1.35) { // the speckled edge: half of each side's colour
        blue = (blue + 115) / 2 + noise * 2;
        red = (red + 135) / 2 - noise * 2;
    }
    bgr[0] = static_cast<std::uint8_t>(Clamp(blue, 0, 255));
    bgr[1] = static_cast<std::uint8_t>(Clamp(green, 0, 255));
    bgr[2] = static_cast<std::uint8_t>(Clamp(red, 0, 255));
}

// 1 (object) in a small disc inside the ellipse, 2 (background) on a two-pixel frame, 0 elsewhere.
std::uint8_t Mark(int x, int y)
{
    if ((x - kCentreX) * (x - kCentreX) + (y - kCentreY) * (y - kCentreY) <= 9)
        return kLabelObject;
    if (x < 2 || y < 2 || x >= kWidth - 2 || y >= kHeight - 2)
        return kLabelBackground;
    return kLabelUnmarked;
}

class SeparationCliAgreementTest : public tooltest::TToolTest
{
protected:
    void CreateModules() override
    {
        TQpToolPanelModule* panel = nullptr;
        AddTool(panel);
        AddTool(Tool);
    }

    // The scene stored turned left, as a camera held upright on its side writes it, with orientation 6
    // (turn right to show) in its EXIF.
    bool WriteSidewaysJpeg(const std::string& path)
    {
        TQpPixelBuffer stored;
        if (!stored.SetFormatAndBounds(pfBGR24, {0, 0, kHeight, kWidth}))
            return false;
        for (int y = 0; y < kWidth; ++y)
            for (int x = 0; x < kHeight; ++x)
                SceneColour(kWidth - 1 - y, x, stored.PixelPtr(x, y));
        if (!platform::TImageCodec::Encode(stored, path, "image/jpeg", 75))
            return false;
        TQpCustomProperties items;
        platform::TImageMetadata::SetShortOrLong(items, platform::kTagOrientation, 6);
        return platform::TImageMetadata::WriteFile(path, items);
    }

    bool OpenInEditor(const QString& path)
    {
        TQpDocument* document = nullptr;
        if (!Editor->OpenFile(path, document, false) || !document || !Editor->ActiveView())
            return false;
        Editor->ActiveView()->setFixedSize(kWidth + 40, kHeight + 40);
        QCoreApplication::processEvents();
        Editor->ActiveView()->SetZoom(1, 1);
        Editor->SetActiveTool(Tool);
        Tool->UpdateControls();
        return true;
    }

    TQpSeparationTool* Tool = nullptr;
};

} // namespace

TEST_F(SeparationCliAgreementTest, SidewaysJpegGivesTheToolsLabelsAndPixelsThroughTheCli)
{
    const QString photo = TempPath("sideways.jpg");
    ASSERT_TRUE(WriteSidewaysJpeg(photo.toStdString()));
    QImage marks(kWidth, kHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            marks.scanLine(y)[x] = Mark(x, y);
    ASSERT_TRUE(marks.save(TempPath("marks.png")));

    const TCliRun run = RunCli({"cutout", photo, TempPath("marks.png"), "--labels", TempPath("labels.png"),
                                "--cutout", TempPath("object.png")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QImage cliLabels = QImage(TempPath("labels.png")).convertToFormat(QImage::Format_Grayscale8);
    const QImage cliObject = QImage(TempPath("object.png")).convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(cliLabels.size(), QSize(kWidth, kHeight));
    ASSERT_EQ(cliObject.size(), QSize(kWidth, kHeight));

    ASSERT_TRUE(OpenInEditor(photo));
    ASSERT_EQ(Editor->ActiveGraphicsDocument()->Width(), kWidth);
    ASSERT_EQ(Editor->ActiveGraphicsDocument()->Height(), kHeight);
    Tool->Frame()->RegimeFullTBXButton->click();
    ASSERT_EQ(Tool->Regime(), TQpSeparationTool::kFull);
    ASSERT_TRUE(Tool->AttachRegion(Editor->ActiveGraphicsDocument()));
    TMarkedRegion& region = Tool->Region();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            region.SetLabel(x, y, Mark(x, y));
    Tool->Separate();
    ASSERT_TRUE(Messages.empty());

    // The command line's photo colours, which its cut-out keeps under every point, are the tool's.
    int colourDifferences = 0;
    int labelDifferences = 0;
    QPoint firstLabelDifference(-1, -1);
    int edgeObject = 0, edgeBackground = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const TBgr tool = region.UnderlyingColor(x, y);
            const uchar* cli = cliObject.constScanLine(y) + 4 * x;
            if (cli[0] != tool.Red || cli[1] != tool.Green || cli[2] != tool.Blue)
                ++colourDifferences;
            const std::uint8_t stored = region.StoredLabel(x, y);
            if (cliLabels.constScanLine(y)[x] != stored && labelDifferences++ == 0)
                firstLabelDifference = QPoint(x, y);
            const double d = Ellipse(x, y);
            if (d > 0.75 && d < 1.35) {
                edgeObject += stored == kLabelObject;
                edgeBackground += stored == kLabelBackground;
            }
        }
    EXPECT_EQ(colourDifferences, 0);
    EXPECT_EQ(labelDifferences, 0) << "first at " << firstLabelDifference.x() << ","
                                   << firstLabelDifference.y();
    // The separation found the upright ellipse, and the speckled band is split between its two sides.
    EXPECT_EQ(region.StoredLabel(kCentreX + 12, kCentreY + 6), kLabelObject);
    EXPECT_EQ(region.StoredLabel(kWidth - 8, 6), kLabelBackground);
    EXPECT_GT(edgeObject, 20);
    EXPECT_GT(edgeBackground, 20);
}
