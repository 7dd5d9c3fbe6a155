#include "e2e/XvfbSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// Counts pixels of a region that are not the black of an empty X screen.
int PaintedPixels(const QImage& image, const QRect& region)
{
    int count = 0;
    const QRect r = region.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFF) != 0 ? 1 : 0;
    return count;
}

QString ArtifactFolder()
{
    const QString folder = QStringLiteral(VELMORA_BINARY_DIR "/artifacts");
    QDir().mkpath(folder);
    return folder;
}

TEST(StartupTest, ProgramShowsMenusToolbarAreaAndToolPanel)
{
    XvfbSession& x = XvfbSession::Instance();
    if (!x.Ok())
        GTEST_SKIP() << "no virtual X server";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());

    QProcess program;
    ASSERT_TRUE(x.Start(program, VELMORA_PROGRAM, home.path()));

    // The window is up once its menu bar is painted in the top-left corner.
    QImage shot;
    QElapsedTimer timer;
    timer.start();
    QRect window;
    while (timer.elapsed() < 20000) {
        QThread::msleep(200);
        shot = x.Grab();
        window = XvfbSession::PaintedBounds(shot);
        if (window.width() > 400 && PaintedPixels(shot, QRect(window.topLeft(), QSize(200, 20))) > 1000)
            break;
    }
    shot.save(ArtifactFolder() + "/startup.png");
    program.terminate();
    program.waitForFinished(5000);

    ASSERT_FALSE(shot.isNull());
    // First start: about 80 % of the 1280 x 800 screen, centred.
    EXPECT_NEAR(window.width(), 1024, 8);
    EXPECT_NEAR(window.center().x(), 640, 8);
    EXPECT_NEAR(window.center().y(), 400, 8);
    const QPoint at = window.topLeft();
    EXPECT_GT(PaintedPixels(shot, QRect(at, QSize(200, 20))), 1000) << "no menu bar";
    // Menu texts are dark on a light bar.
    int dark = 0;
    for (int x0 = 0; x0 < 200; ++x0)
        for (int y0 = 0; y0 < 20; ++y0)
            dark += qGray(shot.pixel(at.x() + x0, at.y() + y0)) < 80 ? 1 : 0;
    EXPECT_GT(dark, 20) << "menu bar without captions";
    // The tool panel docks on the right of the window, left of its right edge.
    EXPECT_GT(PaintedPixels(shot, QRect(window.right() - 160, at.y() + 80, 150, 200)), 10000)
        << "no tool panel";
}

} // namespace

namespace {

TEST(StartupTest, TerminationSignalClosesOrderlyAndWritesTheSettings)
{
    XvfbSession& x = XvfbSession::Instance();
    if (!x.Ok())
        GTEST_SKIP() << "no virtual X server";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcess program;
    ASSERT_TRUE(x.Start(program, VELMORA_PROGRAM, home.path()));
    QThread::msleep(1500);
    program.terminate(); // SIGTERM
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    const QString settings = home.path() + "/config/Velmora/Velmora.cfg";
    ASSERT_TRUE(QFile::exists(settings));
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // The main window's section: a node with its GUID as payload.
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("d5010d10ffd7f67a8b61d941882e419d500df28b")));
}

} // namespace

#ifdef VELMORA_HAVE_XTEST
#include "e2e/XInput.h"

#include <csignal>

namespace {

TEST(StartupTest, ATerminationSignalEndsAMessageBoxAndKeepsAChangedPhoto)
{
    XvfbSession& x = XvfbSession::Instance();
    if (!x.Ok())
        GTEST_SKIP() << "no virtual X server";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());

    // The error box about a file that is no picture is up; the signal still ends the program at once,
    // orderly (the watchdog would end it with 143).
    const QString notes = home.filePath("notes.jpg");
    QFile text(notes);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("figs, bowl, coffee");
    text.close();
    QProcess boxed;
    ASSERT_TRUE(x.Start(boxed, VELMORA_PROGRAM, home.path(), {notes}));
    QThread::msleep(2500);
    ASSERT_EQ(boxed.state(), QProcess::Running) << "the box holds the program open";
    QElapsedTimer clock;
    clock.start();
    boxed.terminate();
    ASSERT_TRUE(boxed.waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(boxed.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(boxed.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(home.path() + "/config/Velmora/Velmora.cfg"));

    // A photo with a stroke on it is kept as a recovery copy that names the photo.
    const QString photo = home.filePath("coffee.png");
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/resources/samples/coffee.png"), photo));
    QProcess edited;
    ASSERT_TRUE(x.Start(edited, VELMORA_PROGRAM, home.path(), {photo}));
    QRect window;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000 && window.width() < 400) {
        QThread::msleep(300);
        window = XvfbSession::PaintedBounds(x.Grab());
    }
    ASSERT_GT(window.width(), 400);
    QThread::msleep(1000);
    TXInput input(x.Display());
    ASSERT_TRUE(input.Ok());
    const QPoint middle = window.center();
    input.Drag(QPointF(window.left() + 250, middle.y()), QPointF(window.left() + 420, middle.y()));
    QThread::msleep(800);
    edited.terminate();
    ASSERT_TRUE(edited.waitForFinished(5000));
    EXPECT_EQ(edited.exitCode(), 0);
    const QString kept = home.path() + "/state/Velmora/recovery";
    EXPECT_TRUE(QFile::exists(kept + "/1.image"));
    QFile about(kept + "/1.about");
    ASSERT_TRUE(about.open(QIODevice::ReadOnly));
    EXPECT_TRUE(about.readAll().startsWith(photo.toUtf8()));
}

} // namespace
#endif
