// The geometry subcommands of velmora-cli, run as a separate program on real photographs; the written
// files are compared pixel by pixel with the mapping each operation promises.

#include "imaging/Resampler.h"

#include "CliRun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>

namespace {

QString Photo(const char* name)
{
    return TestPhoto(name);
}

QImage Read(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

class CliGeometry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(Photo("coffee.png")))
            GTEST_SKIP() << "test photographs not found in " << VELMORA_TESTDATA_DIR;
        ASSERT_TRUE(m_dir.isValid());
        m_input = Read(Photo("coffee.png"));
        ASSERT_EQ(m_input.size(), QSize(600, 400));
    }
    QString Out(const char* name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QImage m_input;
};

} // namespace

TEST_F(CliGeometry, QuarterTurnsMirrorAndFlipMapEveryPixel)
{
    const int w = m_input.width(), h = m_input.height();
    struct TCase
    {
        const char* command;
        QSize size;
        std::function<QPoint(int, int)> target; // where old (x, y) lands
    };
    const TCase cases[] = {
        {"rotate-left", {h, w}, [&](int x, int y) { return QPoint(y, w - 1 - x); }},
        {"rotate-right", {h, w}, [&](int x, int y) { return QPoint(h - 1 - y, x); }},
        {"mirror", {w, h}, [&](int x, int y) { return QPoint(w - 1 - x, y); }},
        {"flip", {w, h}, [&](int x, int y) { return QPoint(x, h - 1 - y); }},
    };
    for (const TCase& test : cases) {
        const QString out = Out("turned.png");
        const TCliRun run = RunCli({test.command, Photo("coffee.png"), out});
        ASSERT_EQ(run.exitCode, 0) << test.command << ": " << run.errors.toStdString();
        const QImage result = Read(out);
        ASSERT_EQ(result.size(), test.size) << test.command;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(result.pixel(test.target(x, y)), m_input.pixel(x, y))
                    << test.command << " " << x << "," << y;
    }
}

TEST_F(CliGeometry, CropKeepsTheRectangleAndClipsItToTheImage)
{
    const TCliRun run = RunCli({"crop", Photo("coffee.png"), Out("crop.bmp"), "--rect", "550,-10,700,30"});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QImage result = Read(Out("crop.bmp"));
    ASSERT_EQ(result.size(), QSize(50, 30));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(result.pixel(x, y), m_input.pixel(550 + x, y));
}

TEST_F(CliGeometry, ResizeGivesTheIntegerLanczosResultOfTheDecodedPhoto)
{
    // The program's output must be exactly the library's filter applied to the decoded photograph.
    const QString photo = Photo("nuthatch_3mp.jpg");
    const TCliRun run = RunCli({"resize", photo, Out("half.png"), "--width", "1024", "--height", "768"});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QImage result = Read(Out("half.png"));
    ASSERT_EQ(result.size(), QSize(1024, 768));

    QImage decoded = QImage(photo).convertToFormat(QImage::Format_BGR888);
    ASSERT_EQ(decoded.size(), QSize(2048, 1536));
    TQpPixels source;
    source.Init({0, 0, 2048, 1536}, decoded.bits(), pfBGR24, int(decoded.bytesPerLine()));
    QImage expected(1024, 768, QImage::Format_BGR888);
    TQpPixels target;
    target.Init({0, 0, 1024, 768}, expected.bits(), pfBGR24, int(expected.bytesPerLine()));
    Resample(target, target.GetBounds(), target.GetBounds(), TLanczosResampler(), source.GetBounds(), source);
    EXPECT_EQ(result, expected.convertToFormat(QImage::Format_RGB32));
}

TEST_F(CliGeometry, DraftResizePointSamples)
{
    // 600 -> 200 wide, 400 -> 100 high: destination x takes column floor(-0.5 + (x + 0.5) * 3) = 3x + 1,
    // destination y takes row floor(-0.5 + (y + 0.5) * 4) = 4y + 1.
    const TCliRun run = RunCli(
        {"resize", Photo("coffee.png"), Out("draft.png"), "--width", "200", "--height", "100", "--draft"});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QImage result = Read(Out("draft.png"));
    ASSERT_EQ(result.size(), QSize(200, 100));
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(result.pixel(x, y), m_input.pixel(3 * x + 1, 4 * y + 1)) << x << "," << y;
}

TEST_F(CliGeometry, WritesJpegWithTheRequestedQuality)
{
    ASSERT_EQ(RunCli({"mirror", Photo("coffee.png"), Out("low.jpg"), "--quality", "20"}).exitCode, 0);
    ASSERT_EQ(RunCli({"mirror", Photo("coffee.png"), Out("high.jpg"), "--quality", "95"}).exitCode, 0);
    EXPECT_EQ(QImage(Out("low.jpg")).size(), QSize(600, 400));
    EXPECT_LT(QFileInfo(Out("low.jpg")).size(), QFileInfo(Out("high.jpg")).size());
}

TEST_F(CliGeometry, BadArgumentsAndUnreadableFilesFailWithAMessage)
{
    struct TCase
    {
        QStringList arguments;
        const char* message;
    };
    const TCase cases[] = {
        {{"rotate-left", Out("missing.png"), Out("x.png")}, "the file does not exist"},
        {{"rotate-left", m_dir.path(), Out("x.png")}, "it is a folder"},
        // Refused before anything is allocated, naming the limit.
        {{"resize", Photo("coffee.png"), Out("x.png"), "--width", "32767", "--height", "32767"},
         "is more than the 500000000 pixels this program handles"},
        {{"flip", Photo("coffee.png")}, "expected an input and an output file"},
        {{"resize", Photo("coffee.png"), Out("x.png"), "--width", "0", "--height", "10"}, "--width must be"},
        {{"resize", Photo("coffee.png"), Out("x.png"), "--width", "10"}, "missing --height"},
        {{"resize", Photo("coffee.png"), Out("x.png"), "--width", "40000", "--height", "10"},
         "--width must be"},
        {{"crop", Photo("coffee.png"), Out("x.png"), "--rect", "1,2,3"}, "--rect must be four whole numbers"},
        {{"crop", Photo("coffee.png"), Out("x.png"), "--rect", "600,0,700,10"}, "does not overlap"},
        {{"mirror", Photo("coffee.png"), Out("x.gif")}, "use a .png, .bmp, .jpg or .tif"},
        {{"mirror", Photo("coffee.png"), Out("x.png"), "--colour"}, "unknown option --colour"},
        {{"mirror", Photo("coffee.png"), Out("x.png"), "--quality", "101"}, "--quality must be"},
        {{"no-such-command"}, "unknown command"},
    };
    for (const TCase& test : cases) {
        const TCliRun run = RunCli(test.arguments);
        EXPECT_NE(run.exitCode, 0) << test.arguments.join(' ').toStdString();
        EXPECT_NE(run.exitCode, -1) << "crashed: " << test.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.errors.contains(test.message))
            << test.arguments.join(' ').toStdString() << " said: " << run.errors.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(Out("x.png")));
}

TEST_F(CliGeometry, UnwritableOutputsAndNonImageInputsAreReported)
{
    const TCliRun bad = RunCli({"flip", Photo("coffee.png"), m_dir.filePath("no/such/folder/x.png")});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_TRUE(bad.errors.contains("cannot write")) << bad.errors.toStdString();
    EXPECT_TRUE(bad.errors.contains("does not exist")) << bad.errors.toStdString();

    QFile text(Out("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not an image at all");
    text.close();
    const TCliRun garbage = RunCli({"flip", Out("notes.png"), Out("y.png")});
    EXPECT_NE(garbage.exitCode, 0);
    EXPECT_TRUE(garbage.errors.contains("cannot read")) << garbage.errors.toStdString();
}
