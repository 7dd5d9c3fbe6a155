#include "DocumentTestSupport.h"

using namespace testdoc;

namespace {

// Writes what it is told into a shared log, under its own name.
class LoggingObserver : public IQpDocumentObserver
{
public:
    LoggingObserver(QString name, QStringList& log) : m_name(std::move(name)), m_log(log) {}
    void DocumentChanged(TQpDocument*) override { m_log.append(m_name + " changed"); }
    void DocumentClosing(TQpDocument* document) override
    {
        // The document is still whole while its observers hear of the close.
        m_log.append(m_name + " closing " + document->DisplayName());
    }

private:
    QString m_name;
    QStringList& m_log;
};

} // namespace

TEST_F(EditorTest, ObserversHearOfChangesAndTheCloseFromTheLastRegisteredToTheFirst)
{
    TTestDocument* document = Open(MakeFile("beach.jpg"));
    ASSERT_NE(document, nullptr);
    QStringList log;
    LoggingObserver first("first", log);
    LoggingObserver second("second", log);
    document->AddObserver(&first);
    document->AddObserver(&second);
    document->AddObserver(&first); // already there
    EXPECT_EQ(document->Observers().size(), 2u);

    document->NotifyChanged();
    EXPECT_FALSE(document->Unmodified());
    EXPECT_EQ(log, QStringList({"second changed", "first changed"}));

    log.clear();
    document->SetDemoDocument(true);
    EXPECT_TRUE(document->CloseQuery());
    EXPECT_EQ(log, QStringList({"second closing beach.jpg", "first closing beach.jpg"}));
    EXPECT_EQ(Editor->DocumentCount(), 0);
}

TEST_F(EditorTest, SaveWritesUnderTheCurrentNameAndFormatOnlyWhenThereIsOne)
{
    TQpDocument* created = nullptr;
    ASSERT_TRUE(Editor->NewDocument(created));
    auto* document = static_cast<TTestDocument*>(created);
    EXPECT_EQ(document->DisplayName(), "Untitled");
    EXPECT_TRUE(document->Unmodified());
    EXPECT_FALSE(document->Save());

    const QString path = MakeFile("beach.png", "old");
    TTestDocument* loaded = Open(path); // the untitled one is unmodified and goes without a question
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(Messages.empty());
    Change("new");
    EXPECT_TRUE(loaded->Save());
    EXPECT_EQ(ReadAll(path), "TEST:new");
    EXPECT_EQ(Editor->TestFormats.LastSavedFormat, kPng);
    EXPECT_TRUE(loaded->Unmodified());
}
