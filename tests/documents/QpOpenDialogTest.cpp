#include "documents/QpOpenDialog.h"
#include "DocumentTestSupport.h"
#include "documents/QpDialogPreviewThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QImage>
#include <QListView>
#include <QTimer>
#include <functional>

using namespace testdoc;

namespace {

// Runs the event loop until `done` holds; false after a generous limit, so a hang fails the test.
bool WaitUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 20000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class OpenDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(m_dir.isValid());
    }
    QString MakeFile(const QString& name, const QByteArray& content = "TEST:picture")
    {
        const QString path = m_dir.filePath(name);
        WriteFile(path, content);
        return path;
    }
    const TTestThumbnail* Shown(const TQpOpenDialog& dialog)
    {
        return static_cast<const TTestThumbnail*>(dialog.Thumbnail());
    }

    QTemporaryDir m_dir;
    TTestFormats m_formats;
};

} // namespace

TEST_F(OpenDialogTest, FileTypesComeFromTheRegistryAndAllSupportedIsPreselected)
{
    TQpOpenDialog dialog(nullptr, m_formats);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.nameFilters(),
              QStringList({"JPEG (*.jpg *.jpeg)", "PNG (*.png)", "All supported formats (*.jpg *.jpeg *.png)",
                           "All files (*.*)"}));
    EXPECT_EQ(dialog.FilterIndex(), 3);
    // The same records give the "name (masks)|masks" text: eight fields for two formats.
    const std::u16string text = FormatFilterText(dialog.DialogFormats());
    EXPECT_EQ(text, u"JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png|All supported formats "
                    u"(*.jpg;*.jpeg;*.png)|*.jpg;*.jpeg;*.png|All files (*.*)|*.*");
    EXPECT_EQ(QString::fromStdU16String(text).split('|').size(), 8);

    TQpSaveDialog save(nullptr, m_formats);
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save.nameFilters(), QStringList({"JPEG (*.jpg *.jpeg)", "PNG (*.png)"}));
    save.SetFilterIndex(2);
    EXPECT_EQ(save.FilterIndex(), 2);
    save.SetFilterIndex(0);
    EXPECT_EQ(save.FilterIndex(), 1);
}

TEST_F(OpenDialogTest, FiveQuickSelectionsDescribeEachAtOnceAndEndWithTheFifthThumbnail)
{
    QStringList files;
    for (int i = 1; i <= 5; ++i)
        files.append(MakeFile(QStringLiteral("photo%1.jpg").arg(i)));
    m_formats.HoldThumbnails = true;
    TQpOpenDialog dialog(nullptr, m_formats);
    // Released before the dialog waits for its thread, also when an assertion ends the test early.
    const std::unique_ptr<void, std::function<void(void*)>> release(
        &m_formats, [this](void*) { m_formats.HoldThumbnails = false; });
    dialog.show();
    // The first thumbnail is under way when the other four are clicked.
    for (const QString& file : files) {
        dialog.SelectionChanged(file);
        EXPECT_EQ(dialog.DescriptionText(), "\nTest picture\n" + QFileInfo(file).fileName());
        EXPECT_EQ(dialog.Thumbnail(), nullptr);
        if (file == files[0]) {
            ASSERT_TRUE(WaitUntil([&] { return m_formats.ThumbnailStarted.load(); }));
        }
    }
    m_formats.HoldThumbnails = false;
    ASSERT_TRUE(WaitUntil([&] { return dialog.Thumbnail() != nullptr; }));
    EXPECT_EQ(Shown(dialog)->FileName, files[4]);
    // The first was superseded and thrown away; the three in between were never made.
    EXPECT_EQ(m_formats.ThumbnailRequests(), std::vector<QString>({files[0], files[4]}));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.PreviewThread().DeliveredCount(), 1);
    EXPECT_EQ(Shown(dialog)->FileName, files[4]);
    EXPECT_EQ(dialog.DescriptionText(), "\nTest picture\nphoto5.jpg");

    // The box shows the thumbnail in its middle, its own colour around it and a one-pixel frame.
    const QImage box = dialog.PreviewBox()->grab().toImage();
    ASSERT_GT(box.width(), 20);
    EXPECT_EQ(box.pixelColor(box.width() / 2, box.height() / 2), QColor(0, 0, 255));
    EXPECT_EQ(box.pixel(0, 0), dialog.PreviewBox()->palette().color(QPalette::Dark).rgb());
    EXPECT_EQ(box.pixel(3, 3), dialog.PreviewBox()->palette().color(QPalette::Window).rgb());
}

TEST_F(OpenDialogTest, ANonImageClearsTheDescriptionAndTheThumbnail)
{
    const QString photo = MakeFile("photo.jpg");
    const QString notes = MakeFile("notes.txt", "shopping list");
    TQpOpenDialog dialog(nullptr, m_formats);
    dialog.show();
    dialog.SelectionChanged(photo);
    ASSERT_TRUE(WaitUntil([&] { return dialog.Thumbnail() != nullptr; }));
    dialog.SelectionChanged(notes);
    EXPECT_EQ(dialog.DescriptionText(), "");
    EXPECT_EQ(dialog.Thumbnail(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.Thumbnail(), nullptr);
    const QImage box = dialog.PreviewBox()->grab().toImage();
    EXPECT_EQ(box.pixel(box.width() / 2, box.height() / 2),
              dialog.PreviewBox()->palette().color(QPalette::Window).rgb());
}

TEST_F(OpenDialogTest, ClosingDuringASlowThumbnailNeitherRepaintsNorCrashes)
{
    const QString photo = MakeFile("large.jpg");
    m_formats.ThumbnailDelayMs = 300;
    {
        auto dialog = std::make_unique<TQpOpenDialog>(nullptr, m_formats);
        dialog->show();
        dialog->SelectionChanged(photo);
        ASSERT_TRUE(WaitUntil([&] { return m_formats.ThumbnailStarted.load(); }));
        dialog->done(QDialog::Rejected);
        ASSERT_TRUE(WaitUntil([&] { return m_formats.ThumbnailFinished.load(); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(dialog->Thumbnail(), nullptr);
        EXPECT_EQ(dialog->PreviewThread().DeliveredCount(), 0);
    }

    // Destroyed while the decode is still running: the destructor waits for it.
    m_formats.ThumbnailStarted = false;
    m_formats.ThumbnailFinished = false;
    {
        auto dialog = std::make_unique<TQpOpenDialog>(nullptr, m_formats);
        dialog->show();
        dialog->SelectionChanged(photo);
        ASSERT_TRUE(WaitUntil([&] { return m_formats.ThumbnailStarted.load(); }));
        dialog->done(QDialog::Rejected);
        dialog.reset();
        EXPECT_TRUE(m_formats.ThumbnailFinished.load());
    }
    QCoreApplication::processEvents();
}

TEST_F(OpenDialogTest, TheRealDialogPreviewsTheFileSelectedInItsList)
{
    const QString photo = MakeFile("photo.jpg");
    TQpOpenDialog dialog(nullptr, m_formats);
    dialog.setDirectory(m_dir.path());
    bool previewed = false;
    QTimer::singleShot(0, &dialog, [&] {
        // As a click in the file list does: the list's current item becomes the photo.
        previewed = WaitUntil([&] {
            auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
            auto* model = dialog.findChild<QFileSystemModel*>();
            if (list && model && list->model() == model && model->index(photo).isValid())
                list->setCurrentIndex(model->index(photo));
            return dialog.Thumbnail() != nullptr;
        });
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_TRUE(previewed);
    EXPECT_EQ(dialog.DescriptionText(), "\nTest picture\nphoto.jpg");
    EXPECT_EQ(QFileInfo(dialog.FileName()).canonicalFilePath(), QFileInfo(photo).canonicalFilePath());
    EXPECT_EQ(dialog.windowTitle(), "Open");
}
