#include "tools/separation/SeparationStore.h"

#include "ToolTestSupport.h"
#include "documents/QpGraphicsFormats.h"
#include "model/StoreTestSupport.h"
#include "platform/ImageCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace storetest;

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
