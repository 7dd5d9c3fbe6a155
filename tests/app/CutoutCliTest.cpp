// velmora-cli cutout, run as a separate program: exact labels, cut-out and effect on a small photo whose
// answer follows from the rules, the quality of a real case against its known answer, and clear refusals.

#include "CliRun.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

TCliRun RunCutout(const QStringList& arguments)
{
    return RunCli(QStringList{"cutout"} + arguments);
}

QString CaseFile(const char* caseName, const char* file)
{
    return QString(VELMORA_TESTDATA_DIR) + "/cutout/" + caseName + "/" + file;
}

// 8 x 6: a black left half and a white right half; one object mark top left, one background mark
// bottom right. Across the halves the similarity is 0, so neither seed can cross; inside each half it is
// 255 and the seed's full strength carries everywhere.
class CutoutCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QImage photo(8, 6, QImage::Format_RGB888);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
                photo.setPixel(x, y, x < 4 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        ASSERT_TRUE(photo.save(Path("photo.png")));
        QImage marks(8, 6, QImage::Format_Grayscale8);
        marks.fill(0);
        marks.scanLine(0)[0] = 1;
        marks.scanLine(5)[7] = 2;
        ASSERT_TRUE(marks.save(Path("marks.png")));
    }
    QString Path(const char* name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(CutoutCli, WritesLabelsCutOutAndEffect)
{
    const TCliRun run =
        RunCutout({Path("photo.png"), Path("marks.png"), "--labels", Path("labels.png"), "--cutout",
                   Path("object.png"), "--effect", "color=#FF8000", "--out", Path("result.png")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();

    const QImage labels = QImage(Path("labels.png")).convertToFormat(QImage::Format_Grayscale8);
    const QImage object = QImage(Path("object.png")).convertToFormat(QImage::Format_RGBA8888);
    const QImage result = QImage(Path("result.png")).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(labels.size(), QSize(8, 6));
    ASSERT_EQ(object.size(), QSize(8, 6));
    ASSERT_EQ(result.size(), QSize(8, 6));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inObject = x < 4;
            EXPECT_EQ(labels.constScanLine(y)[x], inObject ? 1 : 2) << x << "," << y;
            const QRgb cut = object.pixel(x, y);
            EXPECT_EQ(qAlpha(cut), inObject ? 255 : 0);
            if (inObject) {
                EXPECT_EQ(qRed(cut), 0);
            }
            EXPECT_EQ(result.pixel(x, y), inObject ? qRgb(0, 0, 0) : qRgb(255, 128, 0)) << x << "," << y;
        }
}

TEST_F(CutoutCli, RefusesWhatItCannotSeparate)
{
    QImage onlyObject(8, 6, QImage::Format_Grayscale8);
    onlyObject.fill(1);
    ASSERT_TRUE(onlyObject.save(Path("object-only.png")));
    TCliRun run = RunCutout({Path("photo.png"), Path("object-only.png"), "--labels", Path("labels.png")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("both object (1) and background (2)")) << run.errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("labels.png")));

    QImage small(4, 6, QImage::Format_Grayscale8);
    small.fill(0);
    ASSERT_TRUE(small.save(Path("small.png")));
    run = RunCutout({Path("photo.png"), Path("small.png")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("4 x 6")) << run.errors.toStdString();

    run = RunCutout({Path("missing.png"), Path("marks.png")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("missing.png")) << run.errors.toStdString();

    QImage odd(8, 6, QImage::Format_Grayscale8);
    odd.fill(0);
    odd.scanLine(2)[3] = 200;
    ASSERT_TRUE(odd.save(Path("odd.png")));
    run = RunCutout({Path("photo.png"), Path("odd.png")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("(3, 2)")) << run.errors.toStdString();

    run = RunCutout({Path("photo.png"), Path("marks.png"), "--effect", "blur=9", "--out", Path("r.png")});
    EXPECT_NE(run.exitCode, 0);
}

TEST_F(CutoutCli, EdgeRegimeSplitsUnknownAreasAtTheCleanedRing)
{
    // Unknown everywhere except a cleaned ring: the outside becomes background, the inside object.
    QImage marks(8, 8, QImage::Format_Grayscale8);
    marks.fill(3);
    for (int i = 1; i < 7; ++i) {
        marks.scanLine(1)[i] = 0;
        marks.scanLine(6)[i] = 0;
        marks.scanLine(i)[1] = 0;
        marks.scanLine(i)[6] = 0;
    }
    ASSERT_TRUE(marks.save(Path("ring.png")));
    QImage photo(8, 8, QImage::Format_RGB888);
    photo.fill(qRgb(90, 90, 90));
    ASSERT_TRUE(photo.save(Path("grey.png")));
    const TCliRun run =
        RunCutout({Path("grey.png"), Path("ring.png"), "--regime", "edge", "--labels", Path("labels.png")});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QImage labels = QImage(Path("labels.png")).convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
            const bool outside = x == 0 || x == 7 || y == 0 || y == 7;
            if (inside || outside) {
                EXPECT_EQ(labels.constScanLine(y)[x], inside ? 1 : 2) << x << "," << y;
            } else {
                EXPECT_NE(labels.constScanLine(y)[x], 0) << "the ring is decided, " << x << "," << y;
            }
        }
}

TEST(CutoutCliRealCase, BowlOnAMeadowMatchesTheKnownAnswer)
{
    if (!QFileInfo::exists(CaseFile("bowl_meadow", "truth.png")))
        GTEST_SKIP() << "cutout cases not found in " << VELMORA_TESTDATA_DIR;
    QTemporaryDir dir;
    const QString labelsPath = dir.filePath("labels.png");
    const TCliRun run = RunCutout(
        {CaseFile("bowl_meadow", "image.png"), CaseFile("bowl_meadow", "marks.png"), "--labels", labelsPath});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QImage labels = QImage(labelsPath).convertToFormat(QImage::Format_Grayscale8);
    const QImage truth =
        QImage(CaseFile("bowl_meadow", "truth.png")).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_EQ(labels.size(), truth.size());
    long long both = 0, either = 0;
    for (int y = 0; y < truth.height(); ++y)
        for (int x = 0; x < truth.width(); ++x) {
            const bool mine = labels.constScanLine(y)[x] == 1;
            const bool real = truth.constScanLine(y)[x] >= 128;
            both += mine && real;
            either += mine || real;
        }
    const double iou = static_cast<double>(both) / static_cast<double>(either);
    RecordProperty("iou", std::to_string(iou));
    // Measured 0.9528; the result is deterministic, so a drop means the segmentation changed.
    EXPECT_GT(iou, 0.95);
}
