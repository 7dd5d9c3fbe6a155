// The image editor opening files: the folder walk, dropped files and the plug-in mode's block.

#include "GraphicsEditorTestSupport.h"

namespace {

using graphicstest::GraphicsEditorTest;
using graphicstest::Photo;

void WriteBlock(const QString& path, int width, int height, const std::vector<std::uint8_t>& rgb)
{
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    QByteArray bytes("PSPF");
    for (std::int32_t value : {32, 3, 0, 0, width, height, rowBytes, 3})
        bytes.append(reinterpret_cast<const char*>(&value), 4);
    for (int y = 0; y < height; ++y) {
        QByteArray row(rowBytes, '\0');
        for (int i = 0; i < width * 3; ++i)
            row[i] = static_cast<char>(rgb[static_cast<std::size_t>(y * width * 3 + i)]);
        bytes.append(row);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
TEST_F(GraphicsEditorTest, PreviousAndNextWalkTheFolderSortedByName)
{
    const QString folder = m_dir.filePath("pictures");
    QDir().mkpath(folder);
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::green);
    ASSERT_TRUE(image.save(folder + "/b.png"));
    ASSERT_TRUE(image.save(folder + "/A.bmp"));
    ASSERT_TRUE(image.save(folder + "/e.PNG", "PNG"));
    QFile broken(folder + "/c.jpg");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    QFile other(folder + "/d.txt");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();

    ASSERT_NE(Open(folder + "/A.bmp"), nullptr);
    ASSERT_EQ(Editor->FolderImages().size(), 4);
    EXPECT_TRUE(Editor->FolderImages()[0].endsWith("/A.bmp"));
    EXPECT_TRUE(Editor->FolderImages()[1].endsWith("/b.png"));
    EXPECT_TRUE(Editor->FolderImages()[2].endsWith("/c.jpg"));
    EXPECT_TRUE(Editor->FolderImages()[3].endsWith("/e.PNG"));
    EXPECT_EQ(Editor->FolderImageIndex(), 0);
    Editor->UpdateControls();
    EXPECT_FALSE(Editor->PrevImageButton->isEnabled());
    EXPECT_TRUE(Editor->NextImageButton->isEnabled());

    Editor->NextImage();
    EXPECT_TRUE(Editor->ActiveDocument()->FileName().endsWith("/b.png"));
    EXPECT_EQ(Editor->FolderImageIndex(), 1);

    // A changed image whose save question is cancelled stays, and so does the index.
    Editor->SetActiveTool(Brush);
    Brush->Fill(Editor->ActiveView(), {0, 0, 2, 2}, 0, 0, 0);
    Brush->EndDocumentEdit();
    Answers = {framework::kIdCancel};
    Editor->NextImage();
    EXPECT_TRUE(Editor->ActiveDocument()->FileName().endsWith("/b.png"));
    EXPECT_EQ(Editor->FolderImageIndex(), 1);

    // The unreadable file is reported; the walk goes on past it.
    Answers = {framework::kIdNo};
    Messages.clear();
    Editor->NextImage();
    EXPECT_EQ(Editor->ActiveDocument(), nullptr);
    ASSERT_EQ(Messages.size(), 2u); // the save question, then the failure
    EXPECT_EQ(Editor->FolderImageIndex(), 2);
    Editor->NextImage();
    ASSERT_NE(Editor->ActiveDocument(), nullptr);
    EXPECT_TRUE(Editor->ActiveDocument()->FileName().endsWith("/e.PNG"));
    Editor->UpdateControls();
    EXPECT_FALSE(Editor->NextImageButton->isEnabled());
    EXPECT_TRUE(Editor->PrevImageButton->isEnabled());
}

TEST_F(GraphicsEditorTest, DroppedFileOpensAndSizePanelsFollowGeometryChanges)
{
    if (!QFile::exists(Photo("coffee.png")))
        GTEST_SKIP() << "photo missing";
    MainForm->DropFiles({QUrl::fromLocalFile(Photo("coffee.png"))});
    ASSERT_NE(Editor->ActiveGraphicsDocument(), nullptr);
    EXPECT_EQ(Editor->RecentFiles().value(0), Photo("coffee.png"));
    EXPECT_EQ(Editor->WStatusPanel->text(), "600");
    EXPECT_EQ(Editor->HStatusPanel->text(), "400");
    ASSERT_TRUE(Editor->ActiveGraphicsDocument()->RotateLeft());
    EXPECT_EQ(Editor->WStatusPanel->text(), "400");
    EXPECT_EQ(Editor->HStatusPanel->text(), "600");
    // The view's range follows: 400 x 600 is centred horizontally in the view.
    TQpGraphicsView* view = Editor->ActiveView();
    const TQpRect shown = view->DocumentView()->ContentBounds(view->MapMode());
    EXPECT_EQ(shown.Width() * 3, shown.Height() * 2);
}

class PlugInModeTest : public GraphicsEditorTest
{
protected:
    void OpenBlock()
    {
        m_block = m_dir.filePath("PSPF1234.tmp");
        // 3 x 2 pixels, red-green-blue.
        m_rgb = {10, 20, 30, 40, 50, 60, 70, 80, 90, 11, 21, 31, 41, 51, 61, 71, 81, 91};
        WriteBlock(m_block, 3, 2, m_rgb);
        m_original = ReadAll(m_block);
        ASSERT_NE(Open(m_block), nullptr);
    }
    QString m_block;
    std::vector<std::uint8_t> m_rgb;
    QByteArray m_original;
};

TEST_F(PlugInModeTest, BlockEntersPlugInModeWithCaptionAndButtons)
{
    OpenBlock();
    EXPECT_TRUE(Editor->PlugInMode());
    EXPECT_EQ(MainForm->windowTitle(), "Velmora Plug-in");
    EXPECT_EQ(Editor->ExitCode(), -1);
    EXPECT_FALSE(MainForm->FileMenuItem->menuAction()->isVisible());
    EXPECT_FALSE(Editor->PrevImageButton->isVisible());
    EXPECT_FALSE(Editor->NextImageButton->isVisible());
    EXPECT_FALSE(Editor->OpenToolButton->isVisible());
    ASSERT_NE(Editor->OkButton, nullptr);
    ASSERT_NE(Editor->CancelButton, nullptr);
    EXPECT_TRUE(Editor->OkButton->isVisible());
    // Tools take their plug-in visibility; the hand stays.
    EXPECT_FALSE(Brush->Visible());
    EXPECT_TRUE(QpScrollTool->Visible());
    EXPECT_TRUE(QpScrollTool->Button->isVisible());
    EXPECT_EQ(Editor->OkButton->text(), "OK");
    EXPECT_EQ(Editor->CancelButton->text(), "Cancel");
    // The block is no recent file.
    EXPECT_TRUE(Editor->RecentFiles().isEmpty());
}

TEST_F(PlugInModeTest, OkWritesTheEditBackAndExitsWithZero)
{
    OpenBlock();
    Editor->SetActiveTool(Brush);
    // An unfinished stroke still reaches the host.
    Brush->Fill(Editor->ActiveView(), {1, 0, 2, 1}, 3, 2, 1);
    Editor->AcceptPlugIn();
    EXPECT_EQ(Editor->ExitCode(), 0);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_TRUE(Messages.empty());
    const QByteArray written = ReadAll(m_block);
    ASSERT_EQ(written.size(), 36 + 2 * 12);
    // Pixel (1, 0) is now red 1, green 2, blue 3; the others are as sent.
    const QByteArray row0 = written.mid(36, 9);
    EXPECT_EQ(row0, QByteArray::fromHex("0a141e0102034650 5a").replace(' ', ""));
    EXPECT_EQ(written.mid(48, 9), m_original.mid(48, 9));
}

TEST_F(PlugInModeTest, FailedWriteBackIsReportedAndNeverExitsWithZero)
{
    const QString folder = m_dir.filePath("host");
    QDir().mkpath(folder);
    m_block = folder + "/PSPF5678.tmp";
    WriteBlock(m_block, 2, 2, std::vector<std::uint8_t>(12, 50));
    ASSERT_NE(Open(m_block), nullptr);
    // The host's folder is gone: the block cannot be written back.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    Editor->AcceptPlugIn();
    EXPECT_EQ(Editor->ExitCode(), -1);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_FALSE(Editor->SaveAs(Editor->ActiveDocument()));
    EXPECT_EQ(Editor->ExitCode(), -1);
}

TEST_F(PlugInModeTest, CancelClosesWithoutQuestionAndExitsWithMinusOne)
{
    OpenBlock();
    Editor->SetActiveTool(Brush);
    Brush->Fill(Editor->ActiveView(), {0, 0, 3, 2}, 0, 0, 0);
    Brush->EndDocumentEdit();
    Editor->CancelPlugIn();
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Editor->ExitCode(), -1);
    EXPECT_FALSE(MainForm->isVisible());
    EXPECT_EQ(ReadAll(m_block), m_original);
}

TEST_F(PlugInModeTest, SaveQuestionNamesTheImageNotTheFile)
{
    OpenBlock();
    Editor->SetActiveTool(Brush);
    Brush->Fill(Editor->ActiveView(), {0, 0, 1, 1}, 0, 0, 0);
    Brush->EndDocumentEdit();
    Answers = {framework::kIdCancel};
    EXPECT_FALSE(MainForm->close());
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(Messages[0].contains("PSPF"));
}

} // namespace

TEST_F(GraphicsEditorTest, ACutJpegOpensWithAWarningAndANonImageSaysWhyItIsRefused)
{
    const QByteArray whole = ReadAll(Photo("fig_bowl.jpg"));
    if (whole.isEmpty())
        GTEST_SKIP() << "test photo missing";
    const QString cut = m_dir.filePath("cut.jpg");
    {
        QFile file(cut);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(whole.left(whole.size() / 2));
    }
    TQpGraphicsDocument* document = Open(cut);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].contains("damaged")) << Messages[0].toStdString();
    EXPECT_TRUE(Messages[0].contains("the file ends after") || Messages[0].contains("finest detail"))
        << "where the file ends: " << Messages[0].toStdString();
    EXPECT_EQ(document->JpegCodec(), nullptr); // no whole coefficients to keep
    EXPECT_GT(document->Width(), 0);
    EXPECT_TRUE(document->Unmodified());

    const QString text = m_dir.filePath("notes.jpg");
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("shopping list: figs, bowl");
    }
    Messages.clear();
    EXPECT_EQ(Open(text), nullptr);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].contains("not a picture")) << Messages[0].toStdString();
}

TEST_F(GraphicsEditorTest, RecoveryCopiesComeBackNamedAndModifiedOrGoWhenDeclined)
{
    if (!QFile::exists(Photo("coffee.png")))
        GTEST_SKIP() << "photo missing";
    Editor->SetRecoveryFolder(m_dir.filePath("recovery"));
    const QString photo = m_dir.filePath("coffee.png");
    ASSERT_TRUE(QFile::copy(Photo("coffee.png"), photo));
    ASSERT_NE(Open(photo), nullptr);
    Editor->SetActiveTool(Brush);
    Brush->Fill(Editor->ActiveView(), {10, 10, 30, 20}, 1, 2, 3);
    Brush->EndDocumentEdit();
    Editor->WriteRecoveryCopies();
    ASSERT_TRUE(QFile::exists(m_dir.filePath("recovery/1.image")));

    Answers = {framework::kIdNo, framework::kIdYes}; // the save question on closing, then reopening
    ASSERT_TRUE(Editor->ActiveDocument()->CloseQuery());
    ASSERT_EQ(Editor->DocumentCount(), 0);
    EXPECT_TRUE(Editor->OfferRecoveredDocuments());
    TQpGraphicsDocument* back = Editor->ActiveGraphicsDocument();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->FileName(), photo);
    EXPECT_EQ(back->Format(), kPngFormat);
    EXPECT_FALSE(back->Unmodified());
    const std::uint8_t* pixel = back->CurrentPixels()->PixelPtr(15, 15);
    EXPECT_EQ((std::vector<int>{pixel[0], pixel[1], pixel[2]}), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(QDir(m_dir.filePath("recovery")).isEmpty());
    EXPECT_FALSE(Editor->OfferRecoveredDocuments());

    // Declined, the copies go too: they are asked about once.
    Editor->WriteRecoveryCopies();
    Answers = {framework::kIdNo};
    EXPECT_TRUE(Editor->OfferRecoveredDocuments());
    EXPECT_TRUE(QDir(m_dir.filePath("recovery")).isEmpty());
}
