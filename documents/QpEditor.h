#pragma once
// The module that owns the open documents and gives the main window its generic document
// commands: Open, Save As, Close, the recent files, Undo, Redo, Undo All, Redo All, the caption
// and the question whether to save. It creates the main window. A concrete editor supplies the
// format registry and the document class.

#include "core/QpFileFormats.h"
#include "documents/QpDemoSupport.h"
#include "documents/QpDocument.h"
#include "framework/QpModule.h"

#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QToolBar;
class TQpCommandHistoryList;

class TQpEditor : public TQpModuleWithControls, public IQpDemoSupport
{
public:
    // Creates the main window, the File and Edit commands and the Standard toolbar.
    TQpEditor();
    ~TQpEditor() override;

    // Published components.
    QAction* OpenMenuItem = nullptr;
    QAction* SaveMenuItem = nullptr;
    QAction* SaveAsMenuItem = nullptr;
    QAction* CloseMenuItem = nullptr;
    QMenu* EditMenuItem = nullptr;
    QAction* UndoMenuItem = nullptr;
    QAction* RedoMenuItem = nullptr;
    QAction* UndoAllMenuItem = nullptr;
    QAction* RedoAllMenuItem = nullptr;
    QToolBar* StandardToolbar = nullptr;
    QAction* OpenToolButton = nullptr;
    QAction* SaveToolButton = nullptr;
    QAction* UndoToolButton = nullptr;
    QAction* RedoToolButton = nullptr;
    // Directly before File > Exit; the recent files sit between the File menu's own separator and it.
    QAction* RecentFilesMenuSeparator = nullptr;
    // Between the file buttons and the undo buttons.
    QAction* EditToolbarSeparator = nullptr;

    // Moves the document to the end of the list, which makes it active; updates the caption when
    // it was in the list.
    virtual void ActivateDocument(TQpDocument* document);
    virtual void UpdateCaption();
    // Removes the document from the list and frees it.
    virtual void RemoveDocument(TQpDocument* document);
    virtual void SetMultipleDocuments(bool value);
    // The active document's history, or nullptr when no document is open.
    virtual TQpCommandHistoryList* History();
    virtual TQpDocumentFormats& Formats() = 0;
    // A new, empty document of the editor's document class.
    virtual std::unique_ptr<TQpDocument> CreateDocument() = 0;
    // control := the document's view, filling the main window's client area; false without a
    // document.
    virtual bool AttachView(TQpDocument* document, QWidget*& control);
    virtual bool OpenDialog();
    virtual bool SaveAs(TQpDocument* document);
    // Message-box results: 6 Yes, 7 No, 2 Cancel.
    virtual int AskSaveChanges(const QString& name);
    virtual int AskOverwrite(const QString& name);
    // Asks every document, the last first, and stops at the first that may not close.
    virtual void MainWindowCloseQuery(QObject* sender, bool& canClose);

    void DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                     TQpDemoScriptUserAction* action, const TQpDemoParams& params) override;
    void DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled, QPoint& point) override;
    void DemoRecordStart(IQpDemoPlayer* player) override;
    void DemoRecordStop(IQpDemoPlayer* player) override;

    virtual void AddRecentDocument(TQpDocument* document);
    // Only switching plug-in mode on does anything.
    virtual void SetPlugInMode(bool value);
    virtual bool NewDocument(TQpDocument*& document);
    virtual bool OpenFile(const QString& name, TQpDocument*& document, bool addToRecent);
    virtual bool CanUndo();
    virtual bool CanRedo();
    virtual void Undo();
    virtual void Redo();

    // Click handlers of the menu items and buttons.
    virtual void OpenCommand();
    virtual void CloseCommand();
    virtual void SaveCommand();
    virtual void SaveAsCommand();
    virtual void UndoCommand();
    virtual void UndoAllCommand();
    virtual void RedoCommand();
    virtual void RedoAllCommand();

    // Puts the name at the top of the recent files (matching ignores letter case) and rebuilds
    // their menu items.
    void AddRecentFile(const QString& name);
    const QStringList& RecentFiles() const { return m_recentFiles; }
    int RecentFileLimit() const { return m_recentFileLimit; }
    // The recent-file menu items, most recent first.
    QList<QAction*> RecentFileItems() const;

    // True when another document may be opened: several are allowed, none is open, or the active
    // one agreed to close (and has closed).
    bool CanOpenAnotherDocument();
    // Frees the active document's undone commands (tools whose operation makes them meaningless).
    void DiscardRedo();

    int DocumentCount() const { return static_cast<int>(m_documents.size()); }
    TQpDocument* Documents(int index) const { return m_documents.at(static_cast<std::size_t>(index)).get(); }
    // The last document of the list, or nullptr.
    TQpDocument* ActiveDocument() const { return m_documents.empty() ? nullptr : m_documents.back().get(); }
    bool MultipleDocuments() const { return m_multipleDocuments; }
    bool PlugInMode() const { return m_plugInMode; }
    IQpDemoPlayer* DemoRecorder() const { return m_demoRecorder; }
    // The program's exit code: -1 from the switch to plug-in mode until the result is accepted.
    int ExitCode() const { return m_exitCode; }
    void SetExitCode(int value) { m_exitCode = value; }

    void Localize() override;
    void UpdateControls() override;
    void LoadSettings(TQpSDFReader& reader) override;
    void SaveSettings(TQpSDFWriter& writer) override;
    // Offers what an earlier run kept when it was ended by the system, then opens the file named by the
    // first program argument when it exists.
    void Started() override;

    // When the system ends the program: every modified document is written, as it is, into the
    // recovery folder, which the next start offers to reopen. Plug-in mode keeps nothing: the host has
    // the image.
    void WriteRecoveryCopies();
    // Asks whether to reopen the kept documents (named and typed as before, modified) and empties the
    // folder either way; false when there was nothing.
    bool OfferRecoveredDocuments();
    // platform::UserStateFolder()/recovery, or the folder set for tests.
    QString RecoveryFolder() const;
    void SetRecoveryFolder(const QString& folder) { m_recoveryFolder = folder; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowSaved(const TQpDocument& document);
    // Tells why the last save failed, when the formats know a reason.
    void ReportSaveFailure(const QString& name);
    void RebuildRecentFilesMenu();
    void OpenRecentFile(QAction* item);

    bool m_plugInMode = false;
    QString m_recoveryFolder;
    IQpDemoPlayer* m_demoRecorder = nullptr;
    bool m_multipleDocuments = false;
    std::vector<std::unique_ptr<TQpDocument>> m_documents;
    QStringList m_recentFiles;
    int m_recentFileLimit = 5;
    int m_exitCode = 0;
};

// The one editor; null before it is created and after it is destroyed.
extern TQpEditor* QpEditor;
