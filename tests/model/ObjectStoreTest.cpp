#include "model/ObjectStore.h"

#include "imaging/AlphaChanal.h"
#include "imaging/RectToRect.h"
#include "imaging/Thumbnail.h"
#include "imaging/ThumbnailFiles.h"
#include "model/StoreTestSupport.h"
#include "platform/ImageCodec.h"
#include "support/FullDisk.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace storetest;

namespace {

std::vector<std::uint8_t> Labels(const TMarkedRegion& region)
{
    std::vector<std::uint8_t> labels;
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y)
            labels.push_back(region.Label(x, y));
    return labels;
}

void Touch(const fs::path& path)
{
    std::ofstream(path).put('x');
}

// The checkerboard of an untouched thumbnail point, as packed colour: grey and a white whose red is 254.
std::uint32_t Checker(int x, int y)
{
    return (x / 4) % 2 == (y / 4) % 2 ? 0xA9A9A9u : 0xFEFFFFu;
}

std::uint32_t Packed(const TBgr& c)
{
    return (std::uint32_t(c.Red) << 16) | (std::uint32_t(c.Green) << 8) | c.Blue;
}

class SeparationStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        Folder = ObjectsFolder(QFile::encodeName(m_dir.path()).toStdString());
    }

    bool Store(std::string& name, QString& error, int quality = 95)
    {
        return StoreObject(Photo, Region, Folder, quality, name, error);
    }

    // The stored matte read back without its margins.
    void ExpectMatte(const std::string& name, const std::vector<std::vector<int>>& expected)
    {
        TAlphaChanal alpha;
        ASSERT_TRUE(alpha.LoadCompressed((Folder / (name + ".alp")).string()));
        const int width = int(expected.size());
        const int height = int(expected.front().size());
        ASSERT_EQ(alpha.Width(), width + 2 * alpha.MarginX());
        ASSERT_EQ(alpha.Height(), height + 2 * alpha.MarginY());
        for (int x = 0; x < alpha.Width(); ++x)
            for (int y = 0; y < alpha.Height(); ++y) {
                const int ix = x - alpha.MarginX();
                const int iy = y - alpha.MarginY();
                const bool inside = ix >= 0 && ix < width && iy >= 0 && iy < height;
                ASSERT_EQ(int(alpha.Value(x, y)), inside ? expected[ix][iy] : 0) << ix << "," << iy;
            }
    }

    QTemporaryDir m_dir;
    fs::path Folder;
    TQpPixelBuffer Photo;
    TMarkedRegion Region;
};

// One pass of the collection's smoothing over 0/255 values, written out plainly.
std::vector<std::vector<int>> SmoothedOnce(const std::vector<std::vector<int>>& values)
{
    const int width = int(values.size());
    const int height = int(values.front().size());
    std::vector<std::vector<int>> out = values;
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y) {
            int sum = values[x][y];
            if (x > 0)
                sum += values[x - 1][y];
            if (x + 1 < width)
                sum += values[x + 1][y];
            if (y > 0)
                sum += values[x][y - 1];
            if (y + 1 < height)
                sum += values[x][y + 1];
            out[x][y] = int(std::nearbyint(sum / 5.0));
        }
    return out;
}

} // namespace

TEST_F(SeparationStoreTest, WritesTheObjectRectangleItsThumbnailAndItsMatte)
{
    // An ellipse about (20, 18) with radii 10 and 8: columns 10..30, rows 10..26.
    const auto inEllipse = [](int x, int y) {
        const double dx = (x - 20) / 10.0, dy = (y - 18) / 8.0;
        return dx * dx + dy * dy <= 1.0;
    };
    FillPhoto(Photo, 48, 36);
    ShowResult(Region, Photo, inEllipse);
    const TQpRect object{10, 10, 31, 27};
    ASSERT_EQ(Region.BoundsOfLabel(kLabelResultObject), object);
    const auto pixelsBefore = storetest::Snapshot(Photo);
    const auto labelsBefore = Labels(Region);

    std::string name;
    QString error;
    ASSERT_TRUE(Store(name, error)) << error.toStdString();
    EXPECT_EQ(name, "000001");
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(FilesIn(Folder), (std::vector<std::string>{"000001.alp", "000001.jpg", "000001.tmb"}));
    EXPECT_EQ(storetest::Snapshot(Photo), pixelsBefore) << "the image keeps its pixels, overlay included";
    EXPECT_EQ(Labels(Region), labelsBefore);

    // The rectangle holds the photo's own colours, also where the background shows white.
    TQpPixelBuffer jpeg;
    platform::TImageInfo info;
    ASSERT_TRUE(platform::TImageCodec::Decode((Folder / "000001.jpg").string(), jpeg, info));
    EXPECT_EQ(info.Format, platform::TRawFormat::Jpeg);
    ASSERT_EQ(jpeg.Width, object.Width());
    ASSERT_EQ(jpeg.Height, object.Height());
    int worst = 0;
    for (int x = 0; x < jpeg.Width; ++x)
        for (int y = 0; y < jpeg.Height; ++y) {
            const TBgr want = PhotoColor(object.Left + x, object.Top + y);
            const std::uint8_t* got = jpeg.PixelPtr(x, y);
            worst = std::max({worst, std::abs(got[0] - want.Blue), std::abs(got[1] - want.Green),
                              std::abs(got[2] - want.Red)});
        }
    EXPECT_LE(worst, 6);

    // The thumbnail: the rectangle fitted into 72 x 72 (21 x 17 leaves 7 rows above and below), object
    // points in the photo's colours, everything else the checkerboard.
    EXPECT_EQ(fs::file_size(Folder / "000001.tmb"), 15555u);
    const TThumbnail thumbnail = TThumbnail::CreateFromFile(Folder, name);
    ASSERT_TRUE(thumbnail.Valid());
    EXPECT_EQ(thumbnail.Kind(), TThumbnail::kCutout);
    ASSERT_EQ(thumbnail.Width(), 72);
    ASSERT_EQ(thumbnail.Height(), 72);
    const TRectToRect mapping(object, TRectToRect::kFit, {0, 0, 72, 72});
    ASSERT_EQ(mapping.Destination(), (TQpRect{0, 7, 72, 65}));
    int objectPoints = 0;
    for (int x = 0; x < 72; ++x)
        for (int y = 0; y < 72; ++y) {
            const TMapPoint s = mapping.Map(x, y);
            const bool shown = y >= 7 && y < 65 && inEllipse(s.X, s.Y);
            objectPoints += shown;
            ASSERT_EQ(thumbnail.PixelAt(x, y), shown ? Packed(PhotoColor(s.X, s.Y)) : Checker(x, y))
                << x << "," << y;
        }
    EXPECT_GT(objectPoints, 2000);

    // The matte: 255 on the object, 0 on the background, softened once. The ellipse's leftmost point
    // (10, 18) stands alone in its column: itself and its right neighbour give 510 / 5.
    std::vector<std::vector<int>> hard(std::size_t(object.Width()),
                                       std::vector<int>(std::size_t(object.Height())));
    for (int x = 0; x < object.Width(); ++x)
        for (int y = 0; y < object.Height(); ++y)
            hard[x][y] = inEllipse(object.Left + x, object.Top + y) ? 255 : 0;
    const auto matte = SmoothedOnce(hard);
    EXPECT_EQ(matte[0][8], 102);
    EXPECT_EQ(matte[10][8], 255);
    EXPECT_EQ(matte[0][0], 0);
    ExpectMatte(name, matte);
}

TEST_F(SeparationStoreTest, AnObjectAtTheImageBorderKeepsItsWholeRectangle)
{
    // The object fills the top-left 8 x 6 corner: its rectangle is wholly opaque, so after smoothing its
    // rim is divided by 5 like every other point (204 on the sides, 153 in the corners).
    FillPhoto(Photo, 20, 16);
    ShowResult(Region, Photo, [](int x, int y) { return x < 8 && y < 6; });

    std::string name;
    QString error;
    ASSERT_TRUE(Store(name, error)) << error.toStdString();

    TQpPixelBuffer jpeg;
    platform::TImageInfo info;
    ASSERT_TRUE(platform::TImageCodec::Decode((Folder / (name + ".jpg")).string(), jpeg, info));
    EXPECT_EQ(jpeg.Width, 8);
    EXPECT_EQ(jpeg.Height, 6);

    std::vector<std::vector<int>> expected(8, std::vector<int>(6, 255));
    for (int x = 0; x < 8; ++x)
        expected[x][0] = expected[x][5] = 204;
    for (int y = 0; y < 6; ++y)
        expected[0][y] = expected[7][y] = 204;
    expected[0][0] = expected[7][0] = expected[0][5] = expected[7][5] = 153;
    ExpectMatte(name, expected);

    // 8 x 6 fitted into 72 x 72 leaves 10 rows above and below; between them every point is object.
    const TThumbnail thumbnail = TThumbnail::CreateFromFile(Folder, name);
    const TRectToRect mapping({0, 0, 8, 6}, TRectToRect::kFit, {0, 0, 72, 72});
    ASSERT_EQ(mapping.Destination(), (TQpRect{0, 10, 72, 62}));
    for (int x = 0; x < 72; ++x)
        for (int y = 0; y < 72; ++y) {
            const TMapPoint s = mapping.Map(x, y);
            const bool shown = y >= 10 && y < 62;
            ASSERT_EQ(thumbnail.PixelAt(x, y), shown ? Packed(PhotoColor(s.X, s.Y)) : Checker(x, y))
                << x << "," << y;
        }
}

TEST_F(SeparationStoreTest, ItemsTakeConsecutiveSixDigitNames)
{
    FillPhoto(Photo, 12, 10);
    ShowResult(Region, Photo, [](int x, int y) { return x >= 3 && x < 9 && y >= 2 && y < 7; });

    std::string first, second, third;
    QString error;
    ASSERT_TRUE(Store(first, error));
    ASSERT_TRUE(Store(second, error));
    EXPECT_EQ(first, "000001");
    EXPECT_EQ(second, "000002");

    // The largest existing name counts; names that are not six digits do not.
    Touch(Folder / "000009.tmb");
    Touch(Folder / "abcdef.tmb");
    ASSERT_TRUE(Store(third, error)) << error.toStdString();
    EXPECT_EQ(third, "000010");
    for (const std::string& name : {first, second, third}) {
        EXPECT_TRUE(TThumbnail::CreateFromFile(Folder, name).Valid()) << name;
        EXPECT_TRUE(fs::exists(Folder / (name + ".jpg"))) << name;
        EXPECT_TRUE(fs::exists(Folder / (name + ".alp"))) << name;
    }
}

TEST_F(SeparationStoreTest, AFullCollectionIsRefusedWithoutWritingAnything)
{
    FillPhoto(Photo, 12, 10);
    ShowResult(Region, Photo, [](int x, int y) { return x >= 3 && x < 9 && y >= 2 && y < 7; });
    Touch(Folder / "000003.tmb");
    Touch(Folder / "999999.tmb");
    const auto before = FilesIn(Folder);

    std::string name = "stale";
    QString error;
    EXPECT_FALSE(Store(name, error));
    EXPECT_TRUE(name.empty());
    EXPECT_TRUE(error.contains(QStringLiteral("full"))) << error.toStdString();
    EXPECT_EQ(FilesIn(Folder), before);
}

TEST_F(SeparationStoreTest, AFailedWriteLeavesNoPartOfTheItem)
{
    FillPhoto(Photo, 12, 10);
    ShowResult(Region, Photo, [](int x, int y) { return x >= 3 && x < 9 && y >= 2 && y < 7; });

    // The matte cannot replace a folder of that name: the colours are written by then and must go again.
    fs::create_directory(Folder / "000001.alp");
    Touch(Folder / "000001.alp" / "keep");
    std::string name;
    QString error;
    EXPECT_FALSE(Store(name, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(name.empty());
    EXPECT_EQ(FilesIn(Folder), (std::vector<std::string>{"000001.alp"}))
        << "no item file and no temporary file";

    // A collection folder that cannot be made: under a plain file.
    Touch(Folder / "plain");
    const fs::path impossible = Folder / "plain" / "Velmora";
    EXPECT_FALSE(StoreObject(Photo, Region, impossible, 95, name, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(FilesIn(Folder), (std::vector<std::string>{"000001.alp", "plain"}));

    // A disk that fills up on the way leaves nothing either; with room the same store works.
    fs::remove_all(Folder / "000001.alp");
    {
        TFullDisk full(64);
        EXPECT_FALSE(Store(name, error));
    }
    EXPECT_EQ(FilesIn(Folder), (std::vector<std::string>{"plain"}));
    EXPECT_TRUE(Store(name, error)) << error.toStdString();
}

TEST_F(SeparationStoreTest, NothingIsStoredWithoutAnObject)
{
    FillPhoto(Photo, 12, 10);
    ASSERT_TRUE(Region.Attach(&Photo));
    std::string name;
    QString error;
    EXPECT_FALSE(Store(name, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(FilesIn(Folder).empty());
}

TEST_F(SeparationStoreTest, OnlyBackgroundPointsAreTransparent)
{
    // A 6 x 5 object with a background hole at (5, 4): the hole's four opaque neighbours give it 204.
    FillPhoto(Photo, 12, 10);
    ShowResult(Region, Photo,
               [](int x, int y) { return x >= 3 && x < 9 && y >= 2 && y < 7 && !(x == 5 && y == 4); });
    std::string name;
    QString error;
    ASSERT_TRUE(Store(name, error));
    TAlphaChanal alpha;
    ASSERT_TRUE(alpha.LoadCompressed((Folder / (name + ".alp")).string()));
    EXPECT_EQ(alpha.Value(alpha.MarginX() + 2, alpha.MarginY() + 2), 204);

    // A point left undecided counts as object.
    ASSERT_TRUE(Region.SetLabel(5, 4, kLabelUnmarked));
    ASSERT_TRUE(Store(name, error));
    ASSERT_TRUE(alpha.LoadCompressed((Folder / (name + ".alp")).string()));
    EXPECT_EQ(alpha.Value(alpha.MarginX() + 2, alpha.MarginY() + 2), 255);
}
