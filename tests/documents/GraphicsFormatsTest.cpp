#include "documents/QpGraphicsFileInfo.h"
#include "documents/QpGraphicsFormats.h"
#include "documents/QpGraphicsThumbnail.h"
#include "documents/QpJPEGOptionsForm.h"
#include "model/QpGraphicsImage.h"

#include "DocumentTestSupport.h"
#include "platform/ImageCodec.h"
#include "platform/ImageMetadata.h"
#include "platform/TestImages.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSlider>

using namespace testdoc;
using namespace testimages;

namespace {

// An image document without the image editor around it.
class TImageDocument : public TQpDocument, public TQpGraphicsImage
{
public:
    using TQpDocument::TQpDocument;
    void CreateView(QWidget*& control) override { control = new QWidget; }
    void BeforeSave() override { ++Saving; }
    int Saving = 0;
};

class GraphicsFormatsTest : public EditorTest
{
protected:
    std::u16string Name(const char* name) const { return m_dir.filePath(name).toStdU16String(); }
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }

    void WritePng(const char* name, int width, int height)
    {
        TQpPixelBuffer pixels;
        FillPattern(pixels, width, height);
        ASSERT_TRUE(platform::TImageCodec::Encode(pixels, Path(name), "image/png", 0));
    }
};

TEST_F(GraphicsFormatsTest, RegistryListsTheFourFormatsInOrder)
{
    TQpGraphicsFormats formats;
    ASSERT_EQ(4, formats.Count());
    EXPECT_EQ((TQpFileFormatInfo{0, u"JPEG", u"*.jpg;*.jpeg", u".jpg"}), *formats.Format(0));
    EXPECT_EQ((TQpFileFormatInfo{1, u"TIFF", u"*.tif;*.tiff", u".tif"}), *formats.Format(1));
    EXPECT_EQ((TQpFileFormatInfo{2, u"PNG", u"*.png", u".png"}), *formats.Format(2));
    EXPECT_EQ((TQpFileFormatInfo{3, u"BMP", u"*.bmp;*.rle;*.dib", u".bmp"}), *formats.Format(3));
    EXPECT_EQ(nullptr, formats.Format(4));
    EXPECT_EQ(-1, formats.IndexOfFormat(kTransferBlockFormat));
    EXPECT_EQ(-1, formats.IndexOfFormat(kOtherFormat)); // Save As then offers the first format
    TQpFileFormatArray open;
    formats.GetOpenFormats(open);
    ASSERT_EQ(6u, open.size());
    EXPECT_EQ(u"*.*", open[5].Masks);
    EXPECT_EQ(80, formats.JpegQuality());
}

TEST_F(GraphicsFormatsTest, QualityDialogKeepsItsControlsInStepAndRefusesBadNumbers)
{
    TQpJPEGOptionsForm form;
    form.SetQuality(80);
    EXPECT_EQ(3, form.QualityComboBox->currentIndex());
    form.QualityEdit->setText(QStringLiteral(" 55 "));
    EXPECT_EQ(55, form.QualityTrackBar->value());
    EXPECT_EQ(1, form.QualityComboBox->currentIndex()); // Medium
    form.QualityTrackBar->setValue(5);
    EXPECT_EQ(QStringLiteral("5"), form.QualityEdit->text());
    EXPECT_EQ(0, form.QualityComboBox->currentIndex()); // Low below 10 as well
    form.QualityComboBox->setCurrentIndex(2);
    EXPECT_EQ(60, form.QualityTrackBar->value());
    EXPECT_EQ(QStringLiteral("60"), form.QualityEdit->text());
    EXPECT_EQ(4, TQpJPEGOptionsForm::PresetIndex(100));
    EXPECT_EQ(3, TQpJPEGOptionsForm::PresetIndex(99));

    form.QualityEdit->setText(QStringLiteral("150"));
    form.OkButtonClick();
    ASSERT_EQ(1u, Messages.size());
    EXPECT_EQ(
        LocalizedString(216, QStringLiteral("Please enter a whole number from 0 to 100 for the quality.")),
        Messages[0].Text);
    EXPECT_EQ(framework::kMbIconStop, Messages[0].Flags);
    EXPECT_EQ(QStringLiteral("100"), form.QualityEdit->text());
    EXPECT_EQ(100, form.QualityTrackBar->value());
    EXPECT_EQ(4, form.QualityComboBox->currentIndex());
    EXPECT_NE(QDialog::Accepted, form.result());
    form.OkButtonClick();
    EXPECT_EQ(QDialog::Accepted, form.result());
    EXPECT_EQ(100, form.Quality());
}

TEST_F(GraphicsFormatsTest, SavingAsJpegAsksForTheQualityAndRemembersIt)
{
    WritePng("in.png", 32, 24);
    TQpGraphicsFormats formats;
    std::vector<int> offered;
    int answer = 55;
    bool accept = true;
    bool offeredKeep = false, keep = true;
    formats.SetQualityQuestion([&](int& quality, bool* keepOwn) {
        offered.push_back(quality);
        quality = answer;
        offeredKeep = keepOwn != nullptr;
        if (keepOwn)
            *keepOwn = keep;
        return accept;
    });
    TImageDocument document(*Editor);
    std::int32_t format = 0;
    ASSERT_TRUE(formats.Load(document, Name("in.png"), format));
    EXPECT_EQ(kPngFormat, format);
    ASSERT_TRUE(formats.Save(document, Name("a.jpg"), kJpegFormat));
    EXPECT_EQ(1, document.Saving);
    answer = 30;
    ASSERT_TRUE(formats.Save(document, Name("b.jpg"), kJpegFormat));
    EXPECT_EQ((std::vector<int>{80, 55}), offered);
    EXPECT_EQ(30, formats.JpegQuality());
    EXPECT_LT(ReadFile(Path("b.jpg")).size(), ReadFile(Path("a.jpg")).size());

    accept = false;
    EXPECT_FALSE(formats.Save(document, Name("c.jpg"), kJpegFormat));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("c.jpg")));
    EXPECT_EQ(2, document.Saving);

    // Saved again as itself the document takes the quality asked the first time.
    accept = true;
    document.SetFileName(m_dir.filePath("b.jpg"));
    document.SetFormat(kJpegFormat);
    ASSERT_TRUE(formats.Save(document, Name("b.jpg"), kJpegFormat));
    EXPECT_EQ(3u, offered.size()); // the two saves and the cancelled one

    // A JPEG the codec holds is saved as itself without the question, keeping every byte of its blocks;
    // under another name the question offers its own compression, and declining that re-encodes.
    TImageDocument jpeg(*Editor);
    ASSERT_TRUE(formats.Load(jpeg, Name("a.jpg"), format));
    ASSERT_NE(nullptr, jpeg.JpegCodec());
    jpeg.SetFileName(m_dir.filePath("a.jpg"));
    jpeg.SetFormat(kJpegFormat);
    const std::size_t ownSize = ReadFile(Path("a.jpg")).size();
    ASSERT_TRUE(formats.Save(jpeg, Name("a.jpg"), kJpegFormat));
    EXPECT_EQ(3u, offered.size());
    ASSERT_TRUE(formats.Save(jpeg, Name("d.jpg"), kJpegFormat));
    EXPECT_EQ(4u, offered.size());
    EXPECT_TRUE(offeredKeep);
    EXPECT_EQ(ownSize, ReadFile(Path("d.jpg")).size());
    keep = false;
    answer = 5;
    ASSERT_TRUE(formats.Save(jpeg, Name("e.jpg"), kJpegFormat));
    EXPECT_LT(ReadFile(Path("e.jpg")).size(), ownSize);
    EXPECT_EQ(5, formats.JpegQuality());
    EXPECT_FALSE(formats.Load(jpeg, Name("missing.png"), format));
}

TEST_F(GraphicsFormatsTest, FileDescriptionNamesFormatSizeDateAndCamera)
{
    TQpPixelBuffer pixels;
    FillPattern(pixels, 64, 48);
    WriteFile(m_dir.filePath("a.jpg"), QByteArray::fromStdString(std::string([&] {
                  auto bytes = EncodeJpeg(pixels, TJSAMP_420);
                  return std::string(bytes.begin(), bytes.end());
              }())));
    TQpCustomProperties items;
    items.SetItem(platform::kTagMake, platform::kTypeAscii, 6, "Maker\0");
    items.SetItem(platform::kTagModel, platform::kTypeAscii, 4, "M10\0");
    items.SetItem(platform::kTagDateTime, platform::kTypeAscii, 20, "2024:05:06 07:08:09\0");
    ASSERT_TRUE(platform::TImageMetadata::WriteFile(Path("a.jpg"), items));
    TQpGraphicsFormats formats;
    std::unique_ptr<TQpFileInfo> info;
    ASSERT_TRUE(formats.GetFileInfo(Name("a.jpg"), info));
    std::u16string text;
    info->Description(text);
    EXPECT_EQ(u"Format: JPEG\nDimensions: 64 x 48\nDate taken: 2024:05:06 07:08:09\nCamera: Maker M10", text);

    WritePng("b.png", 7, 5);
    ASSERT_TRUE(formats.GetFileInfo(Name("b.png"), info));
    info->Description(text);
    EXPECT_EQ(u"Format: PNG\nDimensions: 7 x 5", text);
    EXPECT_FALSE(formats.GetFileInfo(Name("missing.png"), info));
}

TEST_F(GraphicsFormatsTest, ThumbnailFitsTheBoxAndDrawsCentred)
{
    WritePng("a.png", 400, 300);
    TQpGraphicsFormats formats;
    std::unique_ptr<TQpThumbnail> thumbnail;
    ASSERT_TRUE(formats.GetThumbnail(Name("a.png"), 100, thumbnail, 100));
    QImage canvas(100, 100, QImage::Format_RGB32);
    QPainter painter(&canvas);
    TQpRect drawn;
    ASSERT_TRUE(thumbnail->Draw(painter, {0, 0, 100, 100}, drawn));
    EXPECT_EQ((TQpRect{0, 12, 100, 87}), drawn);
    EXPECT_FALSE(formats.GetThumbnail(Name("missing.png"), 100, thumbnail, 100));

    int w = 0, h = 0;
    TQpGraphicsThumbnail::FitInto(10000, 1, 100, 100, w, h);
    EXPECT_EQ(100, w);
    EXPECT_EQ(1, h); // never 0
    TQpGraphicsThumbnail::FitInto(3, 7, 100, 100, w, h);
    EXPECT_EQ(42, w); // 3 * 100 / 7 = 42.86, floored
    EXPECT_EQ(100, h);
}

} // namespace

namespace {

TEST_F(GraphicsFormatsTest, AReadOnlyFileIsReplacedOnlyWhenTheUserAgrees)
{
    WritePng("in.png", 8, 6);
    TQpGraphicsFormats formats;
    TImageDocument document(*Editor);
    std::int32_t format = 0;
    ASSERT_TRUE(formats.Load(document, Name("in.png"), format));
    WriteFile(m_dir.filePath("kept.png"), "old");
    QFile::setPermissions(m_dir.filePath("kept.png"), QFile::ReadOwner | QFile::ReadGroup);

    Answers = {framework::kIdNo};
    EXPECT_FALSE(formats.Save(document, Name("kept.png"), kPngFormat));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].Text.contains("is read-only")) << Messages[0].Text.toStdString();
    EXPECT_TRUE(formats.LastSaveFailure().empty()) << "a refusal by the user is no failure to report";
    EXPECT_EQ(ReadFile(Path("kept.png")).size(), 3u);

    Answers = {framework::kIdYes};
    EXPECT_TRUE(formats.Save(document, Name("kept.png"), kPngFormat));
    EXPECT_GT(ReadFile(Path("kept.png")).size(), 3u);

    // A failure names its reason for the editor's message.
    QDir(m_dir.path()).mkdir("taken.png");
    EXPECT_FALSE(formats.Save(document, Name("taken.png"), kPngFormat));
    EXPECT_EQ(formats.LastSaveFailure(), "it is a folder");
}

} // namespace
