#include "DocumentTestSupport.h"
#include "core/QpGuid.h"
#include "core/QpSDF.h"
#include "documents/QpOpenDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <sstream>

using namespace testdoc;

namespace {

QStringList Texts(const QList<QAction*>& items)
{
    QStringList texts;
    for (QAction* item : items)
        texts.append(item->isSeparator() ? QStringLiteral("|") : item->text());
    return texts;
}

// Stands in for the person at the save dialog: confirms `name` with the 1-based file type `index`.
struct SaveDialogAnswer
{
    explicit SaveDialogAnswer(QString name, int index, bool confirm = true)
    {
        TQpOpenDialog::SetExecuteHook([=, this](TQpOpenDialog& dialog) {
            ProposedName = dialog.FileName();
            ProposedIndex = dialog.FilterIndex();
            dialog.SetFileName(name);
            dialog.SetFilterIndex(index);
            return confirm;
        });
    }
    ~SaveDialogAnswer() { TQpOpenDialog::SetExecuteHook({}); }
    QString ProposedName;
    int ProposedIndex = -1;
};

class RecordingPlayer : public IQpDemoPlayer
{
public:
    void RecordLine(const QString& text) override { Lines.append(text); }
    bool ShowMessages() const override { return Messages; }
    void Error(const QString& text) override { Errors.append(text); }
    QStringList Lines;
    QStringList Errors;
    bool Messages = false;
};

} // namespace

TEST_F(EditorTest, CommandsSitInTheFileAndEditMenusAndOnTheStandardToolbar)
{
    EXPECT_EQ(MainForm, m_application->MainWindow());
    EXPECT_EQ(Texts(MainForm->FileMenuItem->actions()),
              QStringList({"Open...", "Save", "Save As...", "Close", "|", "|", "E&xit"}));
    EXPECT_TRUE(Editor->SaveMenuItem->isVisible());
    EXPECT_EQ(Editor->OpenMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(Editor->SaveMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(Editor->SaveAsMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(Editor->UndoMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(Editor->RedoMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
    EXPECT_EQ(Editor->RecentFilesMenuSeparator, MainForm->FileMenuItem->actions().at(5));

    const QList<QAction*> bar = MainForm->Menu->actions();
    const qsizetype edit = bar.indexOf(Editor->EditMenuItem->menuAction());
    ASSERT_GE(edit, 0);
    EXPECT_EQ(bar.value(edit + 1), MainForm->ViewMenuItem->menuAction());
    EXPECT_EQ(Texts(Editor->EditMenuItem->actions()), QStringList({"Undo", "Undo All", "Redo", "Redo All"}));

    EXPECT_EQ(Editor->StandardToolbar->windowTitle(), "Standard");
    EXPECT_EQ(Editor->StandardToolbar->actions(),
              QList<QAction*>({Editor->OpenToolButton, Editor->SaveToolButton, Editor->EditToolbarSeparator,
                               Editor->UndoToolButton, Editor->RedoToolButton}));
    EXPECT_EQ(Editor->UndoToolButton->toolTip(), "Undo");
    // The component order: the editor, then the main window it made.
    EXPECT_EQ(m_application->Modules(0), Editor);
    EXPECT_EQ(m_application->Modules(1), MainForm);
}

TEST_F(EditorTest, CaptionNamesTheActiveDocumentBeforeTheTitle)
{
    EXPECT_EQ(MainForm->windowTitle(), "Velmora");
    ASSERT_NE(Open(MakeFile("beach.jpg")), nullptr);
    EXPECT_EQ(MainForm->windowTitle(), "beach.jpg - Velmora");
    m_application->SetTitle("Velmora Plug-in");
    EXPECT_EQ(MainForm->windowTitle(), "beach.jpg - Velmora Plug-in");
    Editor->SetMultipleDocuments(true);
    Editor->UpdateCaption();
    EXPECT_EQ(MainForm->windowTitle(), "Velmora Plug-in");
    Editor->SetMultipleDocuments(false);
    Editor->CloseCommand();
    EXPECT_EQ(MainForm->windowTitle(), "Velmora Plug-in");

    TQpDocument* untitled = nullptr;
    ASSERT_TRUE(Editor->NewDocument(untitled));
    EXPECT_EQ(MainForm->windowTitle(), "Untitled - Velmora Plug-in");
}

TEST_F(EditorTest, OpeningAttachesTheViewAndTellsTheDocument)
{
    TTestDocument* document = Open(MakeFile("beach.jpg", "sand"));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->Text, "sand");
    EXPECT_EQ(document->Format(), kJpeg);
    EXPECT_TRUE(document->Unmodified());
    EXPECT_EQ(document->OpenedCalls, 1);
    ASSERT_NE(document->View(), nullptr);
    EXPECT_TRUE(MainForm->isAncestorOf(document->View()));
    EXPECT_EQ(Editor->ActiveDocument(), document);
    EXPECT_EQ(Editor->RecentFiles(), QStringList({m_dir.filePath("beach.jpg")}));
}

TEST_F(EditorTest, AFileThatCannotBeReadIsReportedAndNotAdded)
{
    const QString broken = m_dir.filePath("broken.jpg");
    WriteFile(broken, "not a picture");

    // With several documents allowed the active one stays.
    Editor->SetMultipleDocuments(true);
    TTestDocument* first = Open(MakeFile("beach.jpg"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Open(broken), nullptr);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, "Cannot open the file \"" + broken + "\".");
    EXPECT_EQ(Messages[0].Flags, framework::kMbIconStop);
    EXPECT_EQ(Editor->DocumentCount(), 1);
    EXPECT_EQ(Editor->ActiveDocument(), first);
    EXPECT_EQ(Editor->RecentFiles().size(), 1);

    // With one document at a time it has been let go before the new file was read.
    Editor->SetMultipleDocuments(false);
    EXPECT_EQ(Open(broken), nullptr);
    EXPECT_EQ(Messages.size(), 2u);
    EXPECT_EQ(Editor->DocumentCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("missing.jpg")));
    EXPECT_EQ(Open(m_dir.filePath("missing.jpg")), nullptr);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("missing.jpg")));
}

TEST_F(EditorTest, CancelOnTheSaveQuestionKeepsTheCurrentDocument)
{
    TTestDocument* first = Open(MakeFile("beach.jpg"));
    ASSERT_NE(first, nullptr);
    Change("edited");
    Answers = {framework::kIdCancel};
    EXPECT_EQ(Open(MakeFile("forest.jpg")), nullptr);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, "Do you want to save the changes to \"beach.jpg\"?");
    EXPECT_EQ(Messages[0].Flags, framework::kMbYesNoCancel | framework::kMbIconExclamation);
    EXPECT_EQ(Editor->DocumentCount(), 1);
    EXPECT_EQ(Editor->ActiveDocument(), first);
    EXPECT_EQ(first->Text, "edited");
    EXPECT_EQ(MainForm->windowTitle(), "beach.jpg - Velmora");

    // No: the edit is dropped and the new file opens in its place.
    Answers = {framework::kIdNo};
    TTestDocument* second = Open(m_dir.filePath("forest.jpg"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Editor->DocumentCount(), 1);
    EXPECT_EQ(ReadAll(m_dir.filePath("beach.jpg")), "TEST:picture");
}

TEST_F(EditorTest, YesOnTheSaveQuestionClosesOnlyWhenSavingSucceeds)
{
    TTestDocument* document = Open(MakeFile("beach.jpg"));
    ASSERT_NE(document, nullptr);
    Change("edited");
    {
        SaveDialogAnswer answer(m_dir.filePath("beach.jpg"), 1, false);
        Answers = {framework::kIdYes};
        EXPECT_FALSE(document->CloseQuery());
        EXPECT_EQ(Editor->DocumentCount(), 1);
    }
    {
        SaveDialogAnswer answer(m_dir.filePath("beach.jpg"), 1);
        Answers = {framework::kIdYes, framework::kIdYes}; // save, then replace
        EXPECT_TRUE(document->CloseQuery());
        EXPECT_EQ(Editor->DocumentCount(), 0);
    }
    EXPECT_EQ(ReadAll(m_dir.filePath("beach.jpg")), "TEST:edited");
    EXPECT_EQ(MainForm->windowTitle(), "Velmora");
}

TEST_F(EditorTest, DemoDocumentsCloseWithoutAQuestion)
{
    TTestDocument* document = Open(MakeFile("beach.jpg"));
    ASSERT_NE(document, nullptr);
    Change("edited");
    document->SetDemoDocument(true);
    Editor->CloseCommand();
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Editor->DocumentCount(), 0);
}

TEST_F(EditorTest, ClosingTheMainWindowAsksAboutTheDocumentAndCancelKeepsTheWindow)
{
    MainForm->show();
    TTestDocument* document = Open(MakeFile("beach.jpg"));
    ASSERT_NE(document, nullptr);
    Change("edited");
    Answers = {framework::kIdCancel};
    EXPECT_FALSE(MainForm->close());
    EXPECT_TRUE(MainForm->isVisible());
    EXPECT_EQ(Editor->DocumentCount(), 1);
    EXPECT_EQ(Messages.size(), 1u);

    Answers = {framework::kIdNo};
    EXPECT_TRUE(MainForm->close());
    EXPECT_EQ(Editor->DocumentCount(), 0);
}

TEST_F(EditorTest, ClosingTheMainWindowAsksTheDocumentsFromTheLastToTheFirst)
{
    Editor->SetMultipleDocuments(true);
    TTestDocument* first = Open(MakeFile("first.jpg"));
    ASSERT_NE(first, nullptr);
    Change("edited");
    TTestDocument* second = Open(MakeFile("second.jpg"));
    ASSERT_NE(second, nullptr);
    Change("edited");
    EXPECT_EQ(Editor->ActiveDocument(), second);

    bool canClose = true;
    Answers = {framework::kIdNo, framework::kIdCancel};
    Editor->MainWindowCloseQuery(MainForm, canClose);
    EXPECT_FALSE(canClose);
    ASSERT_EQ(Messages.size(), 2u);
    EXPECT_TRUE(Messages[0].Text.contains("second.jpg"));
    EXPECT_TRUE(Messages[1].Text.contains("first.jpg"));
    ASSERT_EQ(Editor->DocumentCount(), 1);
    EXPECT_EQ(Editor->ActiveDocument(), first);

    // Cancel on the last stops the round before the earlier ones are asked.
    TTestDocument* third = Open(MakeFile("third.jpg"));
    ASSERT_NE(third, nullptr);
    Change("edited");
    Messages.clear();
    Answers = {framework::kIdCancel};
    Editor->MainWindowCloseQuery(MainForm, canClose);
    EXPECT_FALSE(canClose);
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Editor->DocumentCount(), 2);
}

TEST_F(EditorTest, UndoToTheFirstCommandIsUnmodifiedAndARedoIsModifiedAgain)
{
    TTestDocument* document = Open(MakeFile("beach.jpg", "a"));
    ASSERT_NE(document, nullptr);
    Change("b");
    Change("c");
    EXPECT_FALSE(document->Unmodified());
    Editor->UndoCommand();
    EXPECT_EQ(document->Text, "b");
    EXPECT_FALSE(document->Unmodified());
    Editor->UndoCommand();
    EXPECT_EQ(document->Text, "a");
    EXPECT_TRUE(document->Unmodified());
    Editor->RedoCommand();
    EXPECT_EQ(document->Text, "b");
    EXPECT_FALSE(document->Unmodified());
    Editor->RedoAllCommand();
    EXPECT_EQ(document->Text, "c");
    Editor->UndoAllCommand();
    EXPECT_EQ(document->Text, "a");
    EXPECT_TRUE(document->Unmodified());

    // Unmodified, so closing does not ask.
    Editor->CloseCommand();
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Editor->DocumentCount(), 0);
}

// The history remembers where the file was saved: undoing past a save leaves a document that
// differs from its file, and closing it must ask.
TEST_F(EditorTest, UndoPastASaveIsModifiedAndReturningToItIsNot)
{
    const QString path = MakeFile("beach.jpg", "a");
    TTestDocument* document = Open(path);
    ASSERT_NE(document, nullptr);
    Change("b");
    Change("c");
    ASSERT_TRUE(document->SaveToFile(path, kJpeg));
    EXPECT_TRUE(document->Unmodified());
    Editor->UndoCommand();
    EXPECT_FALSE(document->Unmodified());
    Editor->UndoAllCommand();
    EXPECT_FALSE(document->Unmodified());
    Editor->RedoAllCommand();
    EXPECT_TRUE(document->Unmodified());

    // A new command after undoing past the save makes the saved state unreachable.
    Editor->UndoCommand();
    Change("d");
    Editor->UndoCommand();
    EXPECT_FALSE(document->Unmodified());
    Answers = {framework::kIdCancel};
    Editor->CloseCommand();
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Editor->DocumentCount(), 1);
}

TEST_F(EditorTest, EditCommandsFollowTheHistory)
{
    Editor->UpdateControls();
    EXPECT_FALSE(Editor->SaveAsMenuItem->isEnabled());
    EXPECT_FALSE(Editor->CloseMenuItem->isEnabled());
    EXPECT_FALSE(Editor->UndoMenuItem->isEnabled());
    Editor->UndoCommand(); // nothing to undo, no document: nothing happens
    Editor->RedoAllCommand();
    EXPECT_EQ(Editor->History(), nullptr);

    ASSERT_NE(Open(MakeFile("beach.jpg", "a")), nullptr);
    Change("b");
    Editor->UpdateControls();
    EXPECT_TRUE(Editor->SaveAsMenuItem->isEnabled());
    EXPECT_TRUE(Editor->CloseMenuItem->isEnabled());
    EXPECT_TRUE(Editor->SaveToolButton->isEnabled());
    EXPECT_TRUE(Editor->UndoMenuItem->isEnabled());
    EXPECT_TRUE(Editor->UndoAllMenuItem->isEnabled());
    EXPECT_TRUE(Editor->UndoToolButton->isEnabled());
    EXPECT_FALSE(Editor->RedoMenuItem->isEnabled());
    EXPECT_FALSE(Editor->RedoToolButton->isEnabled());
    Editor->UndoToolButton->trigger();
    Editor->UpdateControls();
    EXPECT_FALSE(Editor->UndoMenuItem->isEnabled());
    EXPECT_TRUE(Editor->RedoAllMenuItem->isEnabled());
    EXPECT_TRUE(Editor->RedoToolButton->isEnabled());

    // Discarding the redo side from outside, as tools do.
    Editor->DiscardRedo();
    EXPECT_FALSE(Editor->CanRedo());
}

TEST_F(EditorTest, SaveAsTakesATypedFormatExtensionAndAppendsTheChosenOneOtherwise)
{
    TTestDocument* document = Open(MakeFile("beach.png"));
    ASSERT_NE(document, nullptr);
    struct Case
    {
        QString typed;
        int filterIndex;
        QString saved;
        std::int32_t format;
    };
    const Case cases[] = {
        {"typed", 1, "typed.jpg", kJpeg},            // no extension: the type box's
        {"other.png", 1, "other.png", kPng},         // another format's extension chooses it
        {"upper.JPG", 1, "upper.JPG", kJpeg},        // the chosen one, in other letter case
        {"long.jpeg", 2, "long.jpeg", kJpeg},        // any of a format's extensions
        {"photo.jpg", 2, "photo.jpg", kJpeg},        // the other way round
        {"notes.txt", 2, "notes.txt.png", kPng},     // an extension of no format is part of the name
        {"dir.d/plain", 2, "dir.d/plain.png", kPng}, // a dot in a folder is no extension
    };
    QDir(m_dir.path()).mkpath("dir.d");
    for (const Case& c : cases) {
        SaveDialogAnswer answer(m_dir.filePath(c.typed), c.filterIndex);
        ASSERT_TRUE(Editor->SaveAs(document)) << c.typed.toStdString();
        EXPECT_EQ(document->FileName(), m_dir.filePath(c.saved));
        EXPECT_EQ(document->Format(), c.format);
        EXPECT_TRUE(QFileInfo::exists(m_dir.filePath(c.saved))) << c.saved.toStdString();
    }
    EXPECT_TRUE(Messages.empty());
}

TEST_F(EditorTest, TypingAFormatsExtensionInTheSaveDialogMovesTheTypeBox)
{
    TTestDocument* document = Open(MakeFile("beach.png"));
    ASSERT_NE(document, nullptr);
    int filterBefore = 0;
    int filterAfter = 0;
    TQpOpenDialog::SetExecuteHook([&](TQpOpenDialog& dialog) {
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!edit)
            return false;
        filterBefore = dialog.FilterIndex();
        edit->clear();
        for (const QChar c : QStringLiteral("name.jpg")) {
            QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(edit, &press);
        }
        filterAfter = dialog.FilterIndex();
        EXPECT_EQ(edit->text(), QStringLiteral("name.jpg"));
        // Return in the name box confirms, as the user does.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(edit, &enter);
        return dialog.result() == QDialog::Accepted;
    });
    const bool saved = Editor->SaveAs(document);
    TQpOpenDialog::SetExecuteHook({});
    ASSERT_TRUE(saved);
    EXPECT_EQ(filterBefore, 2) << "PNG, the photo's own";
    EXPECT_EQ(filterAfter, 1) << "JPEG, as typed";
    EXPECT_EQ(document->FileName(), m_dir.filePath("name.jpg"));
    EXPECT_EQ(document->Format(), kJpeg);
}

TEST_F(EditorTest, SaveAsProposesTheNameWithoutExtensionAndTheDocumentsFormat)
{
    TTestDocument* document = Open(MakeFile("beach.png"));
    ASSERT_NE(document, nullptr);
    SaveDialogAnswer answer(m_dir.filePath("copy"), 2, false);
    EXPECT_FALSE(Editor->SaveAs(document));
    EXPECT_EQ(answer.ProposedName, m_dir.filePath("beach"));
    EXPECT_EQ(answer.ProposedIndex, 2);
    EXPECT_EQ(document->FileName(), m_dir.filePath("beach.png"));
}

TEST_F(EditorTest, DecliningToOverwriteOrAFailingWriterKeepsNameFormatAndModifiedState)
{
    TTestDocument* document = Open(MakeFile("beach.png", "old"));
    ASSERT_NE(document, nullptr);
    MakeFile("taken.jpg", "keep");
    Change("new");

    SaveDialogAnswer answer(m_dir.filePath("taken"), 1);
    Answers = {framework::kIdNo};
    EXPECT_FALSE(Editor->SaveAs(document));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text,
              "The file \"" + m_dir.filePath("taken.jpg") + "\" already exists. Do you want to replace it?");
    EXPECT_EQ(Messages[0].Flags, framework::kMbYesNo | framework::kMbIconExclamation);
    EXPECT_EQ(ReadAll(m_dir.filePath("taken.jpg")), "TEST:keep");

    Editor->TestFormats.FailSaving = true;
    Answers = {framework::kIdYes};
    EXPECT_FALSE(Editor->SaveAs(document));
    EXPECT_EQ(document->FileName(), m_dir.filePath("beach.png"));
    EXPECT_EQ(document->Format(), kPng);
    EXPECT_FALSE(document->Unmodified());
}

TEST_F(EditorTest, RecentFilesKeepFiveMostRecentFirstAndMatchIgnoringCase)
{
    QStringList paths;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"})
        paths.append(m_dir.filePath(name));
    for (int i = 0; i < 5; ++i)
        Editor->AddRecentFile(paths[i]);
    EXPECT_EQ(Editor->RecentFiles(), QStringList({paths[4], paths[3], paths[2], paths[1], paths[0]}));

    // The sixth drops the oldest.
    Editor->AddRecentFile(paths[5]);
    EXPECT_EQ(Editor->RecentFiles(), QStringList({paths[5], paths[4], paths[3], paths[2], paths[1]}));

    // Present in other letter case: moved to the top, not added twice, and the new spelling kept.
    const QString upper = m_dir.filePath("C.JPG");
    Editor->AddRecentFile(upper);
    EXPECT_EQ(Editor->RecentFiles(), QStringList({upper, paths[5], paths[4], paths[3], paths[1]}));

    const QList<QAction*> items = Editor->RecentFileItems();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), "&1 " + upper);
    EXPECT_EQ(items[4]->text(), "&5 " + paths[1]);
    // They sit between the File menu's separator and the one before Exit.
    const QList<QAction*> file = MainForm->FileMenuItem->actions();
    EXPECT_EQ(file.indexOf(items[0]), file.indexOf(MainForm->FileMenuSeparator) + 1);
    EXPECT_EQ(file.indexOf(items[4]) + 1, file.indexOf(Editor->RecentFilesMenuSeparator));
}

TEST_F(EditorTest, RecentFilesComeBackInTheSameOrderAfterARestart)
{
    const QString a = MakeFile("a & b.jpg");
    const QString b = MakeFile("b.jpg");
    const QString c = MakeFile("c.jpg");
    Editor->AddRecentFile(c);
    Editor->AddRecentFile(b);
    Editor->AddRecentFile(a);
    Restart();
    EXPECT_EQ(Editor->RecentFiles(), QStringList({a, b, c}));
    const QList<QAction*> items = Editor->RecentFileItems();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "&1 " + QString(a).replace("&", "&&"));

    // Clicking an item opens its file, also one with "&" in its name, and moves it to the top.
    items[1]->trigger();
    ASSERT_NE(Editor->ActiveDocument(), nullptr);
    EXPECT_EQ(Editor->ActiveDocument()->FileName(), b);
    items[1]->trigger(); // now "a & b.jpg"
    ASSERT_NE(Editor->ActiveDocument(), nullptr);
    EXPECT_EQ(Editor->ActiveDocument()->FileName(), a);
    EXPECT_EQ(Editor->RecentFiles(), QStringList({a, b, c}));
}

TEST_F(EditorTest, RecentFilesSectionLayoutAndADamagedCount)
{
    Editor->AddRecentFile(QStringLiteral("/p/two.jpg"));
    Editor->AddRecentFile(QStringLiteral("/p/one.jpg"));
    std::stringstream stream;
    {
        TQpSDFWriter writer(stream);
        Editor->SaveSettings(writer);
    }
    constexpr TQpGuid guid = *TQpGuid::Parse("{C0F4C248-34D7-4014-8116-24BEE9AB5C30}");
    {
        stream.seekg(0);
        TQpSDFReader reader(stream);
        ASSERT_TRUE(reader.EnterNode(1, guid));
        ASSERT_TRUE(reader.EnterNode(1));
        std::int32_t count = 0;
        ASSERT_TRUE(reader.ReadInteger(0, count));
        EXPECT_EQ(count, 2);
        std::u16string first;
        ASSERT_TRUE(reader.ReadWideString(1, first));
        EXPECT_EQ(first, u"/p/one.jpg");
    }

    // A count of two billion reads the values present, the highest identifier first, and stops.
    std::stringstream damaged;
    {
        TQpSDFWriter writer(damaged);
        writer.WriteBeginNode(1, guid);
        writer.WriteBeginNode(1, std::int32_t{2000000000});
        writer.WriteWideString(1, u"/p/x.jpg");
        writer.WriteWideString(2, u"/p/y.jpg");
        writer.WriteWideString(1999999999, u"/p/z.jpg");
        writer.WriteEndNode();
        writer.WriteEndNode();
    }
    damaged.seekg(0);
    TQpSDFReader reader(damaged);
    Restart();
    Editor->LoadSettings(reader);
    EXPECT_EQ(Editor->RecentFiles().mid(0, 3), QStringList({"/p/x.jpg", "/p/y.jpg", "/p/z.jpg"}));
}

TEST_F(EditorTest, PlugInModeHidesTheFileButtonsAndOnlyTurnsOn)
{
    Editor->SetPlugInMode(false);
    EXPECT_FALSE(Editor->PlugInMode());
    EXPECT_EQ(Editor->ExitCode(), 0);
    EXPECT_TRUE(Editor->OpenToolButton->isVisible());

    Editor->SetPlugInMode(true);
    EXPECT_TRUE(Editor->PlugInMode());
    EXPECT_EQ(Editor->ExitCode(), -1);
    EXPECT_FALSE(Editor->OpenToolButton->isVisible());
    EXPECT_FALSE(Editor->SaveToolButton->isVisible());
    EXPECT_FALSE(Editor->EditToolbarSeparator->isVisible());
    EXPECT_TRUE(Editor->UndoToolButton->isVisible());

    // A second switch does nothing, and the file commands do nothing.
    Editor->SetExitCode(0);
    Editor->SetPlugInMode(true);
    EXPECT_EQ(Editor->ExitCode(), 0);
    TTestDocument* document = Open(MakeFile("block.jpg"));
    ASSERT_NE(document, nullptr);
    int dialogs = 0;
    TQpOpenDialog::SetExecuteHook([&dialogs](TQpOpenDialog&) {
        ++dialogs;
        return false;
    });
    Editor->OpenCommand();
    Editor->SaveCommand();
    Editor->SaveAsCommand();
    TQpOpenDialog::SetExecuteHook({});
    EXPECT_EQ(dialogs, 0);
}

TEST_F(EditorTest, OpenDialogOpensTheChosenFileAndRemembersIt)
{
    const QString path = MakeFile("beach.jpg", "sand");
    int preselected = 0;
    TQpOpenDialog::SetExecuteHook([&](TQpOpenDialog& dialog) {
        preselected = dialog.FilterIndex();
        dialog.SetFileName(path);
        return true;
    });
    Editor->OpenToolButton->trigger();
    TQpOpenDialog::SetExecuteHook({});
    EXPECT_EQ(preselected, 3); // all supported formats
    ASSERT_NE(Editor->Active(), nullptr);
    EXPECT_EQ(Editor->Active()->Text, "sand");
    EXPECT_EQ(Editor->RecentFiles(), QStringList({path}));
}

TEST_F(EditorTest, StartedOpensTheFileNamedByTheFirstArgument)
{
    // The test program's own arguments name no picture: nothing opens and nothing is asked.
    Editor->Started();
    EXPECT_EQ(Editor->DocumentCount(), 0);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(EditorTest, ScriptWordsUndoAndRedoAndTheirScreenTargets)
{
    TTestDocument* document = Open(MakeFile("beach.jpg", "a"));
    ASSERT_NE(document, nullptr);
    Change("b");

    bool handled = false;
    Editor->DemoCommand(nullptr, "UNDO", handled, nullptr, {});
    EXPECT_TRUE(handled);
    EXPECT_EQ(document->Text, "a");
    handled = false;
    Editor->DemoCommand(nullptr, "REDO", handled, nullptr, {});
    EXPECT_TRUE(handled);
    EXPECT_EQ(document->Text, "b");
    handled = false;
    Editor->DemoCommand(nullptr, "ZOOMIN", handled, nullptr, {});
    EXPECT_FALSE(handled);

    MainForm->show();
    QPoint point;
    handled = false;
    Editor->DemoPoint(nullptr, {{"Undo"}}, handled, point);
    ASSERT_TRUE(handled);
    QWidget* button = Editor->StandardToolbar->widgetForAction(Editor->UndoToolButton);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(point, button->mapToGlobal(QPoint(button->width() / 2, button->height() / 2)));
    handled = false;
    Editor->DemoPoint(nullptr, {{"Open"}}, handled, point);
    EXPECT_FALSE(handled);
}

TEST_F(EditorTest, WhileRecordingUndoAndRedoWriteTheirScriptLines)
{
    ASSERT_NE(Open(MakeFile("beach.jpg", "a")), nullptr);
    Change("b");
    RecordingPlayer player;
    EXPECT_EQ(Editor->DemoRecorder(), nullptr);
    Editor->DemoRecordStart(&player);
    Editor->UndoCommand();
    player.Messages = true;
    Editor->RedoCommand();
    Editor->RedoCommand(); // nothing to redo: nothing recorded
    Editor->DemoRecordStop(&player);
    Editor->UndoCommand();
    EXPECT_EQ(player.Lines, QStringList({"MouseCurvedMove Undo", "Undo", "MouseCurvedMove Redo",
                                         "Message \"Redo\"", "Redo"}));
}
