#include "documents/QpViewControl.h"
#include "support/QtApplication.h"

#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

// Paints its mapped bounds in one colour and, as every content painter must, cuts them out of the clip.
class SolidObject : public TQpViewObject
{
public:
    SolidObject(QRgb colour, std::uint8_t flags) : TQpViewObject(flags), m_colour(colour) {}
    void PaintContent(TQpViewCanvas& canvas) override
    {
        const QRect area = ToQRect(ContentBounds(canvas.MapMode));
        canvas.Painter->fillRect(area, QColor::fromRgb(m_colour));
        canvas.ExcludeClip(area);
        ++contentPaints;
    }
    void PaintOverlay(TQpViewCanvas& canvas) override
    {
        // Overlays write the canvas pixels directly, as tool outlines do.
        const TQpRect area = IntersectRect(OverlayBounds(canvas.MapMode), canvas.Pixels.GetBounds());
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                if (canvas.Clip().contains(QPoint(x, y)))
                    canvas.Pixels.PixelPtr(x, y)[0] = 0xFF; // blue byte
        ++overlayPaints;
    }
    int contentPaints = 0;
    int overlayPaints = 0;

private:
    QRgb m_colour;
};

TEST(ViewControlTest, SmallImageIsCentredInTheClientAreaWithBothBarsDisabled)
{
    TestApplication();
    TQpScrollViewControl view;
    view.resize(800, 600);
    auto* image = view.AddObject(std::make_unique<SolidObject>(qRgb(255, 0, 0), 0x0B));
    image->SetBounds({0, 0, 500, 400});
    view.UpdateScrollRange();
    // The bars are always there: centring on the whole control would hide part of the image under one.
    const QRect client = view.ClientRect();
    EXPECT_EQ(view.MapMode().TargetOrigin(),
              (TQpPoint{(client.width() - 500) / 2, (client.height() - 400) / 2}));
    EXPECT_FALSE(view.HorizontalBar()->isEnabled());
    EXPECT_FALSE(view.VerticalBar()->isEnabled());
}

TEST(ViewControlTest, LargeImageOriginIsClampedAndBarsCoverTheOverflow)
{
    TestApplication();
    TQpScrollViewControl view;
    view.resize(400, 300);
    auto* image = view.AddObject(std::make_unique<SolidObject>(qRgb(255, 0, 0), 0x0B));
    image->SetBounds({0, 0, 1000, 800});
    view.MapMode().SetTargetOrigin({50, 50}); // beyond the top-left: pulled back to 0
    view.UpdateScrollRange();
    EXPECT_EQ(view.MapMode().TargetOrigin(), (TQpPoint{0, 0}));
    EXPECT_TRUE(view.HorizontalBar()->isEnabled());
    const int bar = view.width() - view.ClientRect().width();
    EXPECT_EQ(view.HorizontalBar()->maximum(), 1000 - 400 + bar);

    view.ScrollByClamped(-5000, -10);
    EXPECT_EQ(view.MapMode().TargetOrigin().X, -(1000 - 400 + bar));
    EXPECT_EQ(view.MapMode().TargetOrigin().Y, -10);
    view.VerticalBar()->setValue(100);
    EXPECT_EQ(view.MapMode().TargetOrigin().Y, -100);
}

TEST(ViewControlTest, ContentPaintsFrontToBackAndBackgroundFillsTheRest)
{
    TestApplication();
    TQpViewControl view;
    view.resize(100, 100);
    auto* bottom =
        static_cast<SolidObject*>(view.AddObject(std::make_unique<SolidObject>(qRgb(255, 0, 0), 0x0B)));
    bottom->SetBounds({0, 0, 60, 60});
    auto* top =
        static_cast<SolidObject*>(view.AddObject(std::make_unique<SolidObject>(qRgb(0, 255, 0), 0x0B)));
    top->SetBounds({40, 40, 80, 80});
    const QImage& image = view.Render(QRegion(0, 0, 100, 100));
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(50, 50), qRgb(0, 255, 0)); // the upper object wins where both lie
    EXPECT_EQ(image.pixel(90, 90), TQpViewCanvas::kBackground);
    EXPECT_EQ(image.pixel(70, 10), TQpViewCanvas::kBackground);
}

TEST(ViewControlTest, OverlayIsDrawnAfterTheBackgroundAndOnlyWhereNothingAboveCovers)
{
    TestApplication();
    TQpViewControl view;
    view.resize(100, 100);
    auto* overlay = static_cast<SolidObject*>(view.AddObject(
        std::make_unique<SolidObject>(0, TQpViewObject::kVisible | TQpViewObject::kPaintsOverlay)));
    overlay->SetBounds({0, 0, 50, 50});
    auto* cover =
        static_cast<SolidObject*>(view.AddObject(std::make_unique<SolidObject>(qRgb(0, 255, 0), 0x0B)));
    cover->SetBounds({25, 25, 100, 100});
    const QImage& image = view.Render(QRegion(0, 0, 100, 100));
    EXPECT_EQ(overlay->overlayPaints, 1);
    EXPECT_EQ(image.pixel(10, 10), qRgb(0x40, 0x40, 0xFF)); // background with the overlay's blue
    EXPECT_EQ(image.pixel(30, 30), qRgb(0, 255, 0));        // covered by content above
}

TEST(ViewControlTest, OnlyTheInvalidatedRegionIsPainted)
{
    TestApplication();
    TQpViewControl view;
    view.resize(100, 100);
    auto* object =
        static_cast<SolidObject*>(view.AddObject(std::make_unique<SolidObject>(qRgb(1, 2, 3), 0x0B)));
    object->SetBounds({0, 0, 10, 10});
    view.Render(QRegion(50, 50, 10, 10));
    EXPECT_EQ(object->contentPaints, 0);
    view.Render(QRegion(5, 5, 10, 10));
    EXPECT_EQ(object->contentPaints, 1);
}

TEST(ViewControlTest, HitTestsOfPointsAndRectangles)
{
    TQpViewObject object;
    object.SetBounds({10, 10, 20, 20});
    TQpMapMode map;
    EXPECT_EQ(object.HitTestPoint(map, {15, 15}, 0), 3);
    EXPECT_EQ(object.HitTestPoint(map, {21, 15}, 2), 2);
    EXPECT_EQ(object.HitTestPoint(map, {21, 15}, 0), 0);
    EXPECT_EQ(object.HitTestRect(map, {12, 12, 18, 18}, 0), 3);
    EXPECT_EQ(object.HitTestRect(map, {5, 5, 12, 12}, 0), 1);
    EXPECT_EQ(object.HitTestRect(map, {21, 21, 25, 25}, 2), 2);
    EXPECT_EQ(object.HitTestRect(map, {21, 21, 25, 25}, 0), 0);
}

TEST(ZoomStepTest, StepsUpAndDownWithLimitsAndFromRatiosBetweenSteps)
{
    auto in = [](int n, int d) {
        const TQpZoomStep s = NextZoomIn(n, d);
        return std::make_pair(s.Numerator, s.Denominator);
    };
    auto out = [](int n, int d) {
        const TQpZoomStep s = NextZoomOut(n, d);
        return std::make_pair(s.Numerator, s.Denominator);
    };
    EXPECT_EQ(in(1, 1), std::make_pair(3, 2));
    EXPECT_EQ(in(3, 2), std::make_pair(2, 1));
    EXPECT_EQ(out(1, 1), std::make_pair(3, 4));
    EXPECT_EQ(out(3, 4), std::make_pair(1, 2));
    EXPECT_EQ(in(16, 1), std::make_pair(16, 1));
    EXPECT_EQ(out(1, 16), std::make_pair(1, 16));
    EXPECT_EQ(in(2, 5), std::make_pair(1, 2)); // best fit at 0.4
    EXPECT_EQ(out(2, 5), std::make_pair(1, 3));
}

} // namespace
