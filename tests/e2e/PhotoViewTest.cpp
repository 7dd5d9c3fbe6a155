#include "e2e/XvfbSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kViewBackground = 0x404040;

bool IsBackground(QRgb pixel)
{
    return (pixel & 0xFFFFFF) == kViewBackground;
}

// The rows and columns that hold at least `minimum` background pixels: the view's area, not the odd
// anti-aliased text pixel of that grey elsewhere.
QRect BackgroundArea(const QImage& image, int minimum)
{
    int top = -1, bottom = -1, left = -1, right = -1;
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            count += IsBackground(image.pixel(x, y)) ? 1 : 0;
        if (count >= minimum) {
            top = top < 0 ? y : top;
            bottom = y;
        }
    }
    for (int x = 0; x < image.width(); ++x) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            count += IsBackground(image.pixel(x, y)) ? 1 : 0;
        if (count >= minimum) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    return top < 0 || left < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The bounding box of the pixels for which `take` holds, inside `within`.
template <class Take> QRect BoundingBox(const QImage& image, const QRect& within, Take take)
{
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (take(image.pixel(x, y))) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

TEST(PhotoViewTest, ProgramShowsTheCommandLinePhotoInItsView)
{
    XvfbSession& x = XvfbSession::Instance();
    if (!x.Ok())
        GTEST_SKIP() << "no virtual X server";
    const QString photoPath = QStringLiteral(VELMORA_TESTDATA_DIR "/photos/coffee.png");
    if (!QFile::exists(photoPath))
        GTEST_SKIP() << "photo missing";
    const QImage photo = QImage(photoPath).convertToFormat(QImage::Format_RGB32);
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcess program;
    ASSERT_TRUE(x.Start(program, VELMORA_PROGRAM, home.path(), {photoPath}));

    // The view's dark grey frames the photo once it is painted.
    QImage shot;
    QRect view;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        QThread::msleep(300);
        shot = x.Grab();
        view = BackgroundArea(shot, 50);
        if (view.width() > 100 && view.height() > 100)
            break;
    }
    QDir().mkpath(QStringLiteral(VELMORA_BINARY_DIR "/artifacts"));
    shot.save(QStringLiteral(VELMORA_BINARY_DIR "/artifacts/photo-view.png"));
    program.terminate();
    program.waitForFinished(5000);

    ASSERT_GT(view.width(), 100) << "no image view";
    ASSERT_GT(view.height(), 100) << "no image view";
    const QRect shown = BoundingBox(shot, view, [](QRgb p) { return !IsBackground(p); });
    ASSERT_GT(shown.width(), 50);
    ASSERT_GT(shown.height(), 50);
    // The photo is fitted: its top-left at the shown area's, the scale that of the axis not cut by a bar.
    const double scale =
        std::max(shown.width() / double(photo.width()), shown.height() / double(photo.height()));
    ASSERT_GT(scale, 0.05);

    // Every sampled screen pixel lies within the colours of the photo pixels it stands for.
    int checked = 0;
    int matched = 0;
    for (int sy = shown.top() + 2; sy < shown.bottom() - 2; sy += 7) {
        for (int sx = shown.left() + 2; sx < shown.right() - 2; sx += 7) {
            const int x0 = std::clamp(int((sx - shown.left() - 1) / scale), 0, photo.width() - 1);
            const int x1 = std::clamp(int((sx - shown.left() + 2) / scale), 0, photo.width() - 1);
            const int y0 = std::clamp(int((sy - shown.top() - 1) / scale), 0, photo.height() - 1);
            const int y1 = std::clamp(int((sy - shown.top() + 2) / scale), 0, photo.height() - 1);
            int low[3] = {255, 255, 255};
            int high[3] = {0, 0, 0};
            for (int py = y0; py <= y1; ++py)
                for (int px = x0; px <= x1; ++px) {
                    const QRgb p = photo.pixel(px, py);
                    const int c[3] = {qRed(p), qGreen(p), qBlue(p)};
                    for (int k = 0; k < 3; ++k) {
                        low[k] = std::min(low[k], c[k]);
                        high[k] = std::max(high[k], c[k]);
                    }
                }
            const QRgb s = shot.pixel(sx, sy);
            const int c[3] = {qRed(s), qGreen(s), qBlue(s)};
            bool inside = true;
            for (int k = 0; k < 3; ++k)
                inside = inside && c[k] >= low[k] - 6 && c[k] <= high[k] + 6;
            ++checked;
            matched += inside ? 1 : 0;
        }
    }
    ASSERT_GT(checked, 100);
    EXPECT_GE(matched, checked * 98 / 100) << matched << " of " << checked << " samples match the photo";
}

} // namespace
