#pragma once
// One open file in memory: its name, the format it came from, whether it equals its file, the
// views observing it and its undo history. The editor's document list owns every document; a
// document owns its history and its view.

#include "core/QpCommandHistory.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

class TQpDocument;
class TQpEditor;

// A view showing a document. Observers are not owned; one that goes away removes itself first.
class IQpDocumentObserver
{
public:
    virtual ~IQpDocumentObserver() = default;
    virtual void DocumentChanged(TQpDocument* document) = 0;
    virtual void DocumentClosing(TQpDocument* document) = 0;
};

class TQpDocument
{
public:
    // `editor` supplies the format registry and takes the document back when it closes.
    explicit TQpDocument(TQpEditor& editor);
    TQpDocument(const TQpDocument&) = delete;
    TQpDocument& operator=(const TQpDocument&) = delete;
    // Frees the history and the view.
    virtual ~TQpDocument();

    // Creates the view control for the document; called once, by View.
    virtual void CreateView(QWidget*& control) = 0;
    virtual QWidget* View();
    // Frees the view now. A derived document whose view reads the derived part's data calls it in
    // its own destructor, before that data goes; otherwise the base destructor frees the view.
    void DestroyView();
    // Called at the start of a close request.
    virtual void BeforeClose() {}
    // The user agreed to the close (or was not asked); the document goes next.
    virtual void Closed() {}
    // Called by the format code before the document is encoded.
    virtual void BeforeSave() {}
    // Called by the format code after the encoder ran, written or not.
    virtual void AfterSave() {}
    // Called once after the document has been loaded and attached.
    virtual void Opened() {}
    // Adds the observer unless it is there already.
    virtual void AddObserver(IQpDocumentObserver* observer);
    virtual void RemoveObserver(IQpDocumentObserver* observer);
    // Reads the file through the editor's formats; on success the document is named after it and
    // unmodified.
    virtual bool LoadFromFile(const QString& name);
    // After LoadFromFile: why it failed, or on success a warning the user must see (a damaged file);
    // empty when there is nothing to say.
    virtual QString LoadNotice() const { return {}; }
    // Writes the file through the editor's formats; on success the document takes that name and
    // format and is unmodified.
    virtual bool SaveToFile(const QString& name, std::int32_t format);
    // SaveToFile under the current name and format; false for a document never saved or loaded.
    virtual bool Save();
    // Asks whether to save when needed and closes when allowed. A document that closes has been
    // freed when this returns true: the caller must not touch it afterwards.
    virtual bool CloseQuery();

    // Tells the observers, the last registered first, and marks the document modified.
    void NotifyChanged();
    // Tells the observers, the last registered first, that the document is closing.
    void NotifyClosing();
    // The file name without its folder, or the untitled name.
    QString DisplayName() const;
    // Records a finished command in the history; the document is then modified. Every command
    // goes through here so the saved position stays right.
    void AddCommand(std::unique_ptr<TQpCommandState> state);
    // Frees the undone commands; a save mark among them can never be reached again.
    void DiscardRedo();
    // After the history position has moved by undo or redo: unmodified exactly when the position
    // is the one at the last load or save.
    void UpdateUnmodifiedFromHistory();

    TQpCommandHistoryList& History() { return m_history; }
    const TQpCommandHistoryList& History() const { return m_history; }
    TQpEditor& Editor() const { return m_editor; }

    const QString& FileName() const { return m_fileName; }
    void SetFileName(const QString& name) { m_fileName = name; }
    std::int32_t Format() const { return m_format; }
    void SetFormat(std::int32_t format) { m_format = format; }
    bool Unmodified() const { return m_unmodified; }
    // True also makes the current history position the saved one.
    void SetUnmodified(bool value);
    // A document opened by a demonstration closes without the save question.
    bool DemoDocument() const { return m_demoDocument; }
    void SetDemoDocument(bool value) { m_demoDocument = value; }
    const std::vector<IQpDocumentObserver*>& Observers() const { return m_observers; }

private:
    TQpEditor& m_editor;
    bool m_demoDocument = false;
    bool m_unmodified = true;
    QString m_fileName;
    std::int32_t m_format = 0;
    std::vector<IQpDocumentObserver*> m_observers;
    QPointer<QWidget> m_view;
    TQpCommandHistoryList m_history;
    // The history position at the last load or save; -1 once that position has been discarded.
    std::ptrdiff_t m_savedPosition = 0;
};
