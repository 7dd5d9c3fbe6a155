#include "tools/SeparationStore.h"

#include "ToolTestSupport.h"
#include "cutout/MarkedRegion.h"
#include "cutout/SeparationRun.h"
#include "documents/QpGraphicsFormats.h"
#include "imaging/AlphaChanal.h"
#include "imaging/RectToRect.h"
#include "imaging/Thumbnail.h"
#include "imaging/ThumbnailFiles.h"
#include "platform/ImageCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TQuietHost : ISeparationHost
{
    void Repaint(const TQpRect&) override {}
    void ProcessMessages() override {}
    bool AbortRequested() override { return false; }
};

using TIsObject = std::function<bool(int x, int y)>;

// A smooth gradient, so that JPEG keeps every colour within a few levels.
TBgr PhotoColor(int x, int y)
{
    return {std::uint8_t(40 + 3 * x), std::uint8_t(60 + 2 * y), std::uint8_t(200 - x - y)};
}

void FillPhoto(TQpPixelBuffer& photo, int width, int height)
{
    ASSERT_TRUE(photo.SetFormatAndBounds(pfBGR24, {0, 0, width, height}));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TBgr c = PhotoColor(x, y);
            std::uint8_t* p = photo.PixelPtr(x, y);
            p[0] = c.Blue;
            p[1] = c.Green;
            p[2] = c.Red;
        }
}

// Marks every point as object or background and shows that as the result (4 and 5), the background
// filled white in the pixels, as the separation tool shows it.
void ShowResult(TMarkedRegion& region, TQpPixels& pixels, const TIsObject& isObject)
{
    ASSERT_TRUE(region.Attach(&pixels));
    ApplySeparationDisplayModes(region, TBackgroundEffect::Color);
    region.SetFillColor(0xFFFFFF);
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y)
            region.SetLabel(x, y, isObject(x, y) ? kLabelObject : kLabelBackground);
    TQuietHost host;
    ASSERT_TRUE(ShowSeparationResult(region, TBackgroundEffect::Color, host));
    ASSERT_TRUE(region.HasLabel(kLabelResultObject));
    ASSERT_TRUE(region.HasLabel(kLabelResultBackground));
}

std::vector<std::uint8_t> Labels(const TMarkedRegion& region)
{
    std::vector<std::uint8_t> labels;
    for (int x = 0; x < region.Width(); ++x)
        for (int y = 0; y < region.Height(); ++y)
            labels.push_back(region.Label(x, y));
    return labels;
}

std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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
    const auto pixelsBefore = tooltest::Snapshot(Photo);
    const auto labelsBefore = Labels(Region);

    std::string name;
    QString error;
    ASSERT_TRUE(Store(name, error)) << error.toStdString();
    EXPECT_EQ(name, "000001");
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(FilesIn(Folder), (std::vector<std::string>{"000001.alp", "000001.jpg", "000001.tmb"}));
    EXPECT_EQ(tooltest::Snapshot(Photo), pixelsBefore) << "the image keeps its pixels, overlay included";
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

namespace {

// The editor with an open image document; the collection goes to a data folder of the test's own.
class SeparationStoreToolTest : public tooltest::TToolTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_data.isValid());
        m_oldData = qgetenv("XDG_DATA_HOME");
        m_hadData = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        tooltest::TToolTest::SetUp();
    }
    void TearDown() override
    {
        tooltest::TToolTest::TearDown();
        if (m_hadData)
            qputenv("XDG_DATA_HOME", m_oldData);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    fs::path Collection() const
    {
        return fs::path(QFile::encodeName(m_data.path()).toStdString()) / "Velmora";
    }
    QString DataPath(const QString& name) const { return m_data.filePath(name); }

private:
    QTemporaryDir m_data;
    QByteArray m_oldData;
    bool m_hadData = false;
};

} // namespace

TEST_F(SeparationStoreToolTest, StoresFromTheActiveDocumentAndLeavesItAsItWas)
{
    const QImage image = tooltest::TestImage(40, 30);
    ASSERT_NE(OpenImage(image), nullptr);
    TQpGraphicsDocument* document = Editor->ActiveGraphicsDocument();
    ASSERT_NE(document, nullptr);
    ASSERT_FALSE(TQpGraphicsEditor::Tools().empty());
    TQpGraphicsTool& tool = *TQpGraphicsEditor::Tools().front();
    ASSERT_EQ(tool.Document(), nullptr) << "no edit session runs";

    // Unsaved work: a Store must neither save it nor make it look saved.
    document->SetUnmodified(false);
    const QString fileName = document->FileName();
    const std::int32_t format = document->Format();
    const std::size_t historyCount = document->History().Count();
    const std::size_t historyPosition = document->History().Position();
    static_cast<TQpGraphicsFormats&>(Editor->Formats()).SetJpegQuality(37);

    TQpPixels& pixels = *document->CurrentPixels();
    TMarkedRegion region;
    ShowResult(region, pixels, [](int x, int y) { return x >= 5 && x < 25 && y >= 4 && y < 20; });
    const auto pixelsBefore = tooltest::Snapshot(pixels);

    QString name, error;
    ASSERT_TRUE(StoreSeparatedObject(tool, region, &name, &error)) << error.toStdString();
    EXPECT_EQ(name, QStringLiteral("000001"));
    EXPECT_EQ(FilesIn(Collection()), (std::vector<std::string>{"000001.alp", "000001.jpg", "000001.tmb"}));
    EXPECT_TRUE(Messages.empty());

    EXPECT_FALSE(document->Unmodified());
    EXPECT_EQ(document->FileName(), fileName);
    EXPECT_EQ(document->Format(), format);
    EXPECT_EQ(document->History().Count(), historyCount);
    EXPECT_EQ(document->History().Position(), historyPosition);
    EXPECT_EQ(tooltest::Snapshot(pixels), pixelsBefore);

    // The rectangle is written with the quality last chosen in the JPEG dialog, byte for byte.
    TQpPixelBuffer crop;
    ASSERT_TRUE(crop.SetFormatAndBounds(pfBGR24, {0, 0, 20, 16}));
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 16; ++y) {
            const QRgb c = image.pixel(5 + x, 4 + y);
            std::uint8_t* p = crop.PixelPtr(x, y);
            p[0] = std::uint8_t(qBlue(c));
            p[1] = std::uint8_t(qGreen(c));
            p[2] = std::uint8_t(qRed(c));
        }
    const std::string expectedPath =
        QFile::encodeName(DataPath(QStringLiteral("expected.jpg"))).toStdString();
    ASSERT_TRUE(platform::TImageCodec::Encode(crop, expectedPath, "image/jpeg", 37));
    std::vector<std::uint8_t> expected, written;
    ASSERT_TRUE(platform::TImageCodec::ReadFileBytes(expectedPath, expected));
    ASSERT_TRUE(platform::TImageCodec::ReadFileBytes((Collection() / "000001.jpg").string(), written));
    EXPECT_EQ(written, expected);
}

TEST_F(SeparationStoreToolTest, AFailureIsShownWhenTheCallerTakesNoMessage)
{
    ASSERT_NE(OpenImage(tooltest::TestImage(16, 12)), nullptr);
    TQpGraphicsDocument* document = Editor->ActiveGraphicsDocument();
    ASSERT_NE(document, nullptr);
    TMarkedRegion region;
    ShowResult(region, *document->CurrentPixels(), [](int x, int y) { return x >= 4 && x < 9 && y < 5; });

    // The collection folder cannot be made where a plain file stands.
    std::ofstream(Collection().string()).put('x');
    QString name;
    EXPECT_FALSE(StoreSeparatedObject(*TQpGraphicsEditor::Tools().front(), region, &name));
    EXPECT_TRUE(name.isEmpty());
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages.front().contains(QStringLiteral("cannot be stored")))
        << Messages.front().toStdString();
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
