#pragma once
// The open and save dialogs: the toolkit's own file dialog (never the desktop's, so a panel can
// sit beside the file list) with the registry's file types and a preview of the selected file, a
// thumbnail above a short description. The thumbnail is made by the dialog's preview thread.

#include "core/QpFileFormats.h"

#include <QFileDialog>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class TQpDialogPreviewThread;

class TQpOpenDialog : public QFileDialog
{
public:
    TQpOpenDialog(QWidget* owner, const TQpFileFormats& formats);
    ~TQpOpenDialog() override;

    // Runs the dialog modally; true when the user confirmed a file.
    bool Execute();
    // The chosen file; before Execute, the proposed one.
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& name);
    // 1-based position of the chosen file type in Formats(); 0 when none.
    int FilterIndex() const;
    void SetFilterIndex(int index);
    const TQpFileFormatArray& DialogFormats() const { return m_formats; }
    const TQpFileFormats& Registry() const { return m_registry; }

    // What the dialog does whenever the selected file changes: the description at once, the
    // thumbnail later from the preview thread.
    void SelectionChanged(const QString& fileName);
    // The description label's text and the thumbnail shown now; for the preview's own users.
    QString DescriptionText() const;
    const TQpThumbnail* Thumbnail() const { return m_thumbnail.get(); }
    QWidget* PreviewBox() const { return m_previewBox; }
    TQpDialogPreviewThread& PreviewThread() const { return *m_previewThread; }

    // Lets tests stand in for the person at the dialog: the hook gets the dialog, may set its
    // file name and filter index, and returns whether it was confirmed. Empty restores the real
    // dialog.
    using ExecuteHook = std::function<bool(TQpOpenDialog& dialog)>;
    static void SetExecuteHook(ExecuteHook hook);

    void done(int result) override;

protected:
    // Chooses the file types; the open dialog offers every format plus "all supported" (then
    // preselected) and "all files".
    virtual void SetupFilter();
    virtual bool IsSaveDialog() const { return false; }
    void SetFormats(TQpFileFormatArray formats);

private:
    friend class TQpDialogPreviewThread;
    friend class TQpPreviewBox;

    // Called on this thread, queued by the preview thread, when a thumbnail is ready.
    void ThumbnailReady();
    void PaintPreview(QWidget* box);
    void LayOutPreview();
    bool eventFilter(QObject* watched, QEvent* event) override;

    const TQpFileFormats& m_registry;
    TQpFileFormatArray m_formats;
    QFrame* m_previewPanel = nullptr;
    QWidget* m_previewBox = nullptr;
    QLabel* m_descriptionLabel = nullptr;
    std::unique_ptr<TQpThumbnail> m_thumbnail;
    QString m_fileName;
    int m_initialFilterIndex = 0;
    std::unique_ptr<TQpDialogPreviewThread> m_previewThread;
};

// The same dialog in its save form: the save formats, and the filter index left to the caller.
class TQpSaveDialog : public TQpOpenDialog
{
public:
    TQpSaveDialog(QWidget* owner, const TQpFileFormats& formats);

protected:
    void SetupFilter() override;
    bool IsSaveDialog() const override { return true; }
};
