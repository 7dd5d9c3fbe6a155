#include "framework/Localizer.h"
#include "framework/LanguageFile.h"
#include "support/QtApplication.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class LocalizerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath("Languages");
    }
    void Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath("Languages/" + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QString Folder() const { return m_dir.path() + "/"; }

    QTemporaryDir m_dir;
    int m_calls = 0;

public:
    void CountCall() { ++m_calls; }
};

const QByteArray kEnglish = "[Language]\nLangId=1033\nLanguage=English\n[Strings]\n1=OK\n2=Cancel\n10=File\n";
const QByteArray kGerman =
    "[Language]\nLangId=1031\nLanguage=Deutsch\n[Strings]\n1=OK\n10=Datei\n10=Datei2\nx=skip\n";

TEST_F(LocalizerTest, UserLanguageIsTheDefaultAndSwitchingRelabelsEveryHandler)
{
    Write("English.ini", kEnglish);
    Write("Deutsch.ini", kGerman);
    TQpLocalizer localizer(Folder(), 1031);
    EXPECT_EQ(localizer.DefaultLanguage(), 1031);
    // A later line with the same identifier wins; a key that is no integer is skipped.
    EXPECT_EQ(localizer.LocalizedString(10), "Datei2");

    localizer.RegisterLocalizeHandler(MakeMethod<&LocalizerTest::CountCall>(this));
    EXPECT_EQ(m_calls, 1); // called once at registration

    localizer.SetLanguage(1033);
    EXPECT_EQ(m_calls, 2);
    EXPECT_EQ(localizer.CurrentLanguage(), 1033);
    EXPECT_EQ(localizer.LocalizedString(10), "File");
    EXPECT_EQ(localizer.LocalizedString(2), "Cancel");

    localizer.SetLanguage(1031);
    EXPECT_EQ(localizer.LocalizedString(2), ""); // current strings cleared: German lacks 2
    EXPECT_EQ(localizer.LocalizedString(2, "dflt"), "dflt");

    localizer.SetLanguage(4242);
    EXPECT_EQ(m_calls, 3);
    EXPECT_EQ(localizer.CurrentLanguage(), 1031);
    localizer.UnregisterLocalizeHandler(MakeMethod<&LocalizerTest::CountCall>(this));
    localizer.SetLanguage(1033);
    EXPECT_EQ(m_calls, 3);
}

TEST_F(LocalizerTest, MissingTextsFallBackToTheDefaultLanguageThenToTheCaller)
{
    Write("English.ini", kEnglish);
    Write("Deutsch.ini", kGerman);
    TQpLocalizer localizer(Folder(), 1033);
    localizer.SetLanguage(1031);
    EXPECT_EQ(localizer.LocalizedString(10), "Datei2");
    EXPECT_EQ(localizer.LocalizedString(2), "Cancel");
    EXPECT_EQ(localizer.LocalizedString(999, "fallback"), "fallback");
}

TEST_F(LocalizerTest, DefaultChoiceFallsBackTo1033ThenToTheFirstFileByName)
{
    Write("b.ini", "[Language]\nLangId=1036\nLanguage=Francais\n[Strings]\n1=Bien\n");
    Write("A.ini", "[Language]\nLangId=1040\nLanguage=Italiano\n[Strings]\n1=Bene\n");
    Write("zero.ini", "[Language]\nLangId=0\nLanguage=None\n");
    Write("huge.ini", "[Language]\nLangId=66569\nLanguage=Wrapped\n");
    {
        TQpLocalizer localizer(Folder(), 1031);
        EXPECT_EQ(localizer.DefaultLanguage(), 1040);
        ASSERT_EQ(localizer.Languages().size(), 2u);
        EXPECT_EQ(localizer.Languages()[0]->Name, "Italiano");
    }
    Write("English.ini", kEnglish);
    TQpLocalizer localizer(Folder(), 1031);
    EXPECT_EQ(localizer.DefaultLanguage(), 1033);
}

TEST_F(LocalizerTest, NoLanguageFilesGiveTheCallersDefaults)
{
    QDir(m_dir.filePath("Languages")).removeRecursively();
    TQpLocalizer localizer(Folder(), 1033);
    EXPECT_EQ(localizer.DefaultLanguage(), 0);
    EXPECT_TRUE(localizer.Languages().empty());
    EXPECT_EQ(localizer.LocalizedString(1, "OK"), "OK");
}

TEST_F(LocalizerTest, TranslationsFolderBesideTheProgramIsTheSecondChoice)
{
    QDir(m_dir.filePath("Languages")).removeRecursively();
    QDir(m_dir.path()).mkpath("Translations/Languages");
    QDir(m_dir.path()).mkpath("bin");
    QFile file(m_dir.filePath("Translations/Languages/English.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kEnglish);
    file.close();
    TQpLocalizer localizer(m_dir.filePath("bin") + "/", 1033);
    EXPECT_EQ(localizer.LocalizedString(10), "File");
}

// "Файл" (File) and "Отмена" (Cancel) in code page 1251.
const QByteArray kRussian1251 = QByteArray("[Language]\nLangId=1049\nLanguage=") +
                                QByteArray("\xD0\xF3\xF1\xF1\xEA\xE8\xE9") +
                                "\nCodePage=1251\n[Strings]\n10=" + QByteArray("\xD4\xE0\xE9\xEB") +
                                "\n2=" + QByteArray("\xCE\xF2\xEC\xE5\xED\xE0") + "\n";

TEST_F(LocalizerTest, CodePage1251AndUtf8WithByteOrderMarkReadTheSame)
{
    Write("Russian.ini", kRussian1251);
    {
        TQpLocalizer localizer(Folder(), 1049);
        EXPECT_EQ(localizer.LocalizedString(10), QString::fromUtf8("Файл"));
        EXPECT_EQ(localizer.LocalizedString(2), QString::fromUtf8("Отмена"));
        EXPECT_EQ(localizer.Languages()[0]->Name, QString::fromUtf8("Русский"));
    }
    Write("Russian.ini",
          QByteArray("\xEF\xBB\xBF") +
              QString::fromUtf8("[Language]\nLangId=1049\nLanguage=Русский\n[Strings]\n10=Файл\n"
                                "2=Отмена\n")
                  .toUtf8());
    TQpLocalizer localizer(Folder(), 1049);
    EXPECT_EQ(localizer.LocalizedString(10), QString::fromUtf8("Файл"));
    EXPECT_EQ(localizer.LocalizedString(2), QString::fromUtf8("Отмена"));
}

TEST(LanguageFileTest, ByteOrderMarkWinsOverACodePageKey)
{
    const std::string bytes = "\xEF\xBB\xBF[Language]\nCodePage=1251\n[Strings]\n1=\xC3\xA4\n";
    const TQpLanguageFile file = TQpLanguageFile::FromBytes(bytes);
    EXPECT_EQ(file.Value("Strings", "1"), "\xC3\xA4");
}

TEST(LanguageFileTest, UnknownCodePageAndInvalidBytesNeverFail)
{
    const std::string bytes = "[Language]\nCodePage=54321\n[Strings]\n1=\xFF\xFE ok\n";
    const TQpLanguageFile file = TQpLanguageFile::FromBytes(bytes);
    ASSERT_TRUE(file.Value("strings", "1").has_value());
    const QString text = QString::fromUtf8(*file.Value("strings", "1"));
    EXPECT_TRUE(text.endsWith(" ok"));
}

TEST(LanguageFileTest, IniRulesTrimBlanksSkipCommentsAndStripEnclosingQuotes)
{
    const TQpLanguageFile file =
        TQpLanguageFile::FromBytes("; note\r\n[ Strings ]\r\n 5 =  \"quoted text\" \r\n6=a=b\r\n;7=no\r\n");
    EXPECT_EQ(file.Value("strings", "5"), "quoted text");
    EXPECT_EQ(file.Value("STRINGS", "6"), "a=b");
    EXPECT_FALSE(file.Value("strings", "7").has_value());
}

TEST(LocalStringListTest, AddReplacesAndFindWorksSortedAndUnsorted)
{
    TQpLocalStringList list;
    list.Add(30, "c");
    list.Add(10, "a");
    list.Add(20, "b");
    list.Add(10, "A");
    ASSERT_NE(list.Find(10), nullptr);
    EXPECT_EQ(*list.Find(10), "A");
    list.Sort();
    EXPECT_TRUE(list.Sorted());
    EXPECT_EQ(*list.Find(20), "b");
    EXPECT_EQ(list.Find(25), nullptr);
    list.Add(5, "e");
    EXPECT_FALSE(list.Sorted());
    EXPECT_EQ(*list.Find(5), "e");
}

} // namespace
