#pragma once
// A small concrete document kind for the document, editor and dialog tests: a text held in memory,
// files that begin with "TEST:", a registry with a JPEG-like and a PNG-like format, a command that
// changes the text, and an editor over them. The thumbnail maker can be slowed down to stand in
// for a large photograph.

#include "core/QpFileFormats.h"
#include "documents/QpDocument.h"
#include "documents/QpEditor.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/QpApplication.h"
#include "imaging/QpPixels.h"
#include "framework/MessageBox.h"
#include "support/QtApplication.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <deque>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace testdoc {

constexpr std::int32_t kJpeg = 1;
constexpr std::int32_t kPng = 2;

inline QByteArray ReadAll(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class TTestDocument : public TQpDocument
{
public:
    using TQpDocument::TQpDocument;
    QString Text;
    int BeforeCloseCalls = 0;
    int OpenedCalls = 0;

    void CreateView(QWidget*& control) override { control = new QWidget; }
    void BeforeClose() override { ++BeforeCloseCalls; }
    void Opened() override { ++OpenedCalls; }
};

// Sets the text of its document on redo and puts the old text back on undo.
class TTestCommand : public TQpCommandState
{
public:
    TTestCommand(TTestDocument& document, QString before, QString after)
        : m_document(document), m_before(std::move(before)), m_after(std::move(after))
    {
    }
    void Undo() override { m_document.Text = m_before; }
    void Redo() override { m_document.Text = m_after; }

private:
    TTestDocument& m_document;
    QString m_before;
    QString m_after;
};

// The thumbnail a test registry makes: remembers its file and fills a square in the middle.
class TTestThumbnail : public TQpThumbnail
{
public:
    explicit TTestThumbnail(QString fileName) : FileName(std::move(fileName)) {}
    const QString FileName;

    bool Draw(QPainter& painter, const TQpRect& rect, TQpRect& drawnRect) override
    {
        const int side = std::min(rect.Width(), rect.Height()) / 2;
        const int left = rect.Left + (rect.Width() - side) / 2;
        const int top = rect.Top + (rect.Height() - side) / 2;
        drawnRect = {left, top, left + side, top + side};
        painter.fillRect(left, top, side, side, QColor(0, 0, 255));
        return true;
    }
};

class TTestFormats : public TQpDocumentFormats
{
public:
    TTestFormats()
    {
        m_formats.push_back({kJpeg, u"JPEG", u"*.jpg;*.jpeg", u".jpg"});
        m_formats.push_back({kPng, u"PNG", u"*.png", u".png"});
    }

    int Count() const override { return static_cast<int>(m_formats.size()); }
    const TQpFileFormatInfo* Format(int index) const override
    {
        return index >= 0 && index < Count() ? &m_formats[static_cast<std::size_t>(index)] : nullptr;
    }

    bool Load(TQpDocument& document, const std::u16string& name, std::int32_t& format) override
    {
        const QString fileName = QString::fromStdU16String(name);
        const QByteArray bytes = ReadAll(fileName);
        if (!bytes.startsWith("TEST:"))
            return false;
        static_cast<TTestDocument&>(document).Text = QString::fromUtf8(bytes.mid(5));
        format = fileName.endsWith(".png", Qt::CaseInsensitive) ? kPng : kJpeg;
        return true;
    }

    bool Save(TQpDocument& document, const std::u16string& name, std::int32_t format) override
    {
        if (FailSaving)
            return false;
        document.BeforeSave();
        QFile file(QString::fromStdU16String(name));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("TEST:" + static_cast<TTestDocument&>(document).Text.toUtf8());
        LastSavedFormat = format;
        return true;
    }

    bool GetFileInfo(const std::u16string& name, std::unique_ptr<TQpFileInfo>& info) const override
    {
        if (!ReadAll(QString::fromStdU16String(name)).startsWith("TEST:"))
            return false;
        info = std::make_unique<TTestInfo>(name);
        return true;
    }

    // Runs on the preview thread.
    bool GetThumbnail(const std::u16string& name, int width, std::unique_ptr<TQpThumbnail>& thumbnail,
                      int height) const override
    {
        {
            std::lock_guard guard(m_requestLock);
            m_thumbnailRequests.push_back(QString::fromStdU16String(name));
        }
        ThumbnailStarted = true;
        while (HoldThumbnails.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(ThumbnailDelayMs.load()));
        if (width < 1 || height < 1 || !ReadAll(QString::fromStdU16String(name)).startsWith("TEST:"))
            return false;
        thumbnail = std::make_unique<TTestThumbnail>(QString::fromStdU16String(name));
        ThumbnailFinished = true;
        return true;
    }

    std::vector<QString> ThumbnailRequests() const
    {
        std::lock_guard guard(m_requestLock);
        return m_thumbnailRequests;
    }

    bool FailSaving = false;
    std::int32_t LastSavedFormat = 0;
    mutable std::atomic<int> ThumbnailDelayMs{0};
    // While set, a thumbnail under way waits: the test decides when the decode ends.
    mutable std::atomic<bool> HoldThumbnails{false};
    mutable std::atomic<bool> ThumbnailStarted{false};
    mutable std::atomic<bool> ThumbnailFinished{false};

private:
    class TTestInfo : public TQpFileInfo
    {
    public:
        using TQpFileInfo::TQpFileInfo;
        void Description(std::u16string& text) const override
        {
            text = u"Test picture\n" +
                   QFileInfo(QString::fromStdU16String(FileName())).fileName().toStdU16String();
        }
    };

    TQpFileFormatArray m_formats;
    mutable std::mutex m_requestLock;
    mutable std::vector<QString> m_thumbnailRequests;
};

class TTestEditor : public TQpEditor
{
public:
    TTestFormats TestFormats;
    TQpDocumentFormats& Formats() override { return TestFormats; }
    std::unique_ptr<TQpDocument> CreateDocument() override { return std::make_unique<TTestDocument>(*this); }
    TTestDocument* Active() const { return static_cast<TTestDocument*>(ActiveDocument()); }
};

// One message box as the program showed it.
struct ShownMessage
{
    QString Text;
    int Flags = 0;
};

// An application with the test editor (which makes the main window), settings in a temporary
// folder, and message boxes answered from a queue (Yes when it is empty).
class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(m_dir.isValid());
        framework::SetMessageBoxHook([this](const QString& text, const QString&, int flags) {
            Messages.push_back({text, flags});
            if (Answers.empty())
                return framework::kIdYes;
            const int answer = Answers.front();
            Answers.pop_front();
            return answer;
        });
        Start();
    }
    void TearDown() override
    {
        Stop();
        framework::SetMessageBoxHook({});
    }

    void Start()
    {
        m_application = std::make_unique<TQpApplication>();
        m_application->SetTitle(QStringLiteral("Velmora"));
        m_application->SetSettingsFileName(m_dir.filePath("cfg/Velmora.cfg"));
        m_application->CreateModule(Editor);
        m_application->LoadAllSettings();
    }
    void Stop()
    {
        m_application->SaveAllSettings();
        m_application->DestroyComponents();
        Editor = nullptr;
        m_application.reset();
    }
    void Restart()
    {
        Stop();
        Start();
    }

    // A file the test registry reads, holding `text`.
    QString MakeFile(const QString& name, const QString& text = QStringLiteral("picture"))
    {
        const QString path = m_dir.filePath(name);
        WriteFile(path, "TEST:" + text.toUtf8());
        return path;
    }
    TTestDocument* Open(const QString& path)
    {
        TQpDocument* document = nullptr;
        if (!Editor->OpenFile(path, document, true))
            return nullptr;
        return static_cast<TTestDocument*>(document);
    }
    // Carries out a change of the active document's text as one command.
    void Change(const QString& text)
    {
        TTestDocument* document = Editor->Active();
        ASSERT_NE(document, nullptr);
        const QString before = document->Text;
        document->Text = text;
        document->AddCommand(std::make_unique<TTestCommand>(*document, before, text));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TQpApplication> m_application;
    TTestEditor* Editor = nullptr;
    std::vector<ShownMessage> Messages;
    std::deque<int> Answers;
};

} // namespace testdoc
