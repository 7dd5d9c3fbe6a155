// velmora-cli inpaint run as a separate program on a real photograph: a plain copy checked pixel by pixel,
// a repair of a drawn scribble measured against the clean photo, and the refusals of bad arguments.

#include "CliRun.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

namespace {

TCliRun RunInpaint(const QStringList& arguments)
{
    return RunCli(QStringList{"inpaint"} + arguments);
}

// The footprint: a disc of radius 14 around (285, 150), in the smooth crema of the cup.
constexpr int kCentreX = 285;
constexpr int kCentreY = 150;
constexpr int kRadius = 14;

bool InDisc(int x, int y)
{
    return (x - kCentreX) * (x - kCentreX) + (y - kCentreY) * (y - kCentreY) <= kRadius * kRadius;
}

// A footprint pixel is replaced when all eight neighbours are footprint pixels too (the disc lies well
// inside the photo, so no neighbour is outside it).
bool InInterior(int x, int y)
{
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (!InDisc(x + dx, y + dy))
                return false;
        }
    }
    return true;
}

double PsnrInDisc(const QImage& a, const QImage& b)
{
    double sum = 0.0;
    int count = 0;
    for (int y = kCentreY - kRadius; y <= kCentreY + kRadius; ++y) {
        for (int x = kCentreX - kRadius; x <= kCentreX + kRadius; ++x) {
            if (!InDisc(x, y))
                continue;
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += d * d;
                ++count;
            }
        }
    }
    const double mse = sum / count;
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

class InpaintCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString photo = QString(VELMORA_TESTDATA_DIR) + "/photos/coffee.png";
        if (!QFileInfo::exists(photo))
            GTEST_SKIP() << "test photographs not found in " << VELMORA_TESTDATA_DIR;
        ASSERT_TRUE(m_dir.isValid());
        m_clean = QImage(photo).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(m_clean.size(), QSize(600, 400));
        QImage mask(m_clean.size(), QImage::Format_Grayscale8);
        mask.fill(0);
        for (int y = 0; y < mask.height(); ++y) {
            for (int x = 0; x < mask.width(); ++x) {
                if (InDisc(x, y))
                    mask.scanLine(y)[x] = 255;
            }
        }
        ASSERT_TRUE(mask.save(Path("mask.png")));
    }

    QString Path(const char* name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QImage m_clean;
};

} // namespace

TEST_F(InpaintCli, PlainCopyReplacesExactlyTheInteriorFromTheTurnedSource)
{
    const QString photo = QString(VELMORA_TESTDATA_DIR) + "/photos/coffee.png";
    const TCliRun run = RunInpaint({photo, Path("mask.png"), Path("copy.png"), "--source", "240,136",
                                    "--orientation", "2", "--mode", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    // The footprint's bounding square is (271, 136)-(300, 165), 29 pixels across.
    EXPECT_EQ(run.output.trimmed().toStdString(), "target 271,136,300,165 orientation 2");
    const QImage result = QImage(Path("copy.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(result.size(), m_clean.size());
    int replaced = 0;
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            if (!InInterior(x, y)) {
                ASSERT_EQ(result.pixel(x, y), m_clean.pixel(x, y)) << x << "," << y;
                continue;
            }
            // Orientation 2 (a quarter turn) takes the pixel at (a, b) of the square from (b, W - 1 - a).
            const int a = x - 271;
            const int b = y - 136;
            ASSERT_EQ(result.pixel(x, y), m_clean.pixel(240 + b, 136 + 28 - a)) << x << "," << y;
            ++replaced;
        }
    }
    EXPECT_GT(replaced, 500);
}

TEST_F(InpaintCli, RepairsAScribbleFromACleanPatchNearby)
{
    // A dark scribble, 5 pixels wide, across the disc but clear of its one-pixel rim: the rim is what the
    // colour correction is fitted to and is never replaced.
    QImage defective = m_clean;
    for (int y = kCentreY - kRadius; y <= kCentreY + kRadius; ++y) {
        for (int x = kCentreX - kRadius; x <= kCentreX + kRadius; ++x) {
            const double curve = kCentreY + 7.0 * std::sin((x - kCentreX) / 3.0);
            const int dx = x - kCentreX;
            const int dy = y - kCentreY;
            if (dx * dx + dy * dy <= (kRadius - 2) * (kRadius - 2) && std::fabs(y - curve) <= 2.5)
                defective.setPixel(x, y, qRgb(30, 25, 20));
        }
    }
    ASSERT_TRUE(defective.save(Path("defective.png")));
    const TCliRun run =
        RunInpaint({Path("defective.png"), Path("mask.png"), Path("repaired.png"), "--source", "240,136",
                    "--orientation", "auto", "--mode", "2", "--blend", "--long-defect"});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QImage repaired = QImage(Path("repaired.png")).convertToFormat(QImage::Format_RGB32);
    const double before = PsnrInDisc(defective, m_clean);
    const double after = PsnrInDisc(repaired, m_clean);
    EXPECT_LT(before, 20.0);
    EXPECT_GT(after, 30.0) << "PSNR in the disc: " << before << " dB before, " << after << " dB after";
}

TEST_F(InpaintCli, RefusesBadArgumentsWithAClearMessage)
{
    const QString photo = QString(VELMORA_TESTDATA_DIR) + "/photos/coffee.png";
    const QString mask = Path("mask.png");
    const QString out = Path("never.png");
    QImage empty(m_clean.size(), QImage::Format_Grayscale8);
    empty.fill(0);
    ASSERT_TRUE(empty.save(Path("empty.png")));
    QImage small(10, 10, QImage::Format_Grayscale8);
    small.fill(255);
    ASSERT_TRUE(small.save(Path("small.png")));

    const struct
    {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{photo, mask, out}, "missing --source"},
        {{photo, mask, out, "--source", "12"}, "--source must be two whole numbers X,Y"},
        {{photo, mask, out, "--source", "1,2", "--mode", "3"}, "--mode must be a whole number from 0 to 2"},
        {{photo, mask, out, "--source", "1,2", "--orientation", "8"}, "--orientation must be"},
        {{photo, mask, out, "--source", "1,2", "--orientation", "north"}, "--orientation must be"},
        {{photo, mask, "--source", "1,2"}, "expected the photo, the mask and the output file"},
        {{photo, mask, out, "--source", "1,2", "--bogus"}, "unknown option --bogus"},
        {{photo, Path("empty.png"), out, "--source", "1,2"}, "the footprint covers no pixel"},
        {{photo, Path("small.png"), out, "--source", "1,2"},
         "the mask is 10 x 10 but the photo is 600 x 400"},
        {{Path("missing.png"), mask, out, "--source", "1,2"}, "missing.png"},
        {{photo, mask, out, "--source", "600,10"},
         "the source square at 600,10 lies outside the 600 x 400 photo"},
        {{photo, mask, out, "--source", "-29,10"}, "lies outside"},
    };
    for (const auto& c : cases) {
        const TCliRun run = RunInpaint(c.arguments);
        EXPECT_NE(run.exitCode, 0) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.errors.contains(c.message))
            << "expected \"" << c.message << "\" in: " << run.errors.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(out)) << "nothing is written on failure";
}
