#pragma once
// The open dialog's background thread: it turns the newest pending file name into a thumbnail and
// hands it to the dialog. It shares exactly two things with the user-interface thread, the pending
// request and the finished thumbnail, both under one lock; it never touches a widget. A request
// superseded while its thumbnail is being made is discarded, so the last selection wins.

#include "core/QpFileFormats.h"

#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class TQpOpenDialog;

class TQpDialogPreviewThread
{
public:
    // Starts the thread at once.
    TQpDialogPreviewThread(TQpOpenDialog& dialog, const TQpFileFormats& registry);
    // Terminates and waits for the thread.
    ~TQpDialogPreviewThread();
    TQpDialogPreviewThread(const TQpDialogPreviewThread&) = delete;
    TQpDialogPreviewThread& operator=(const TQpDialogPreviewThread&) = delete;

    // Makes `name` the pending request; the thumbnail is to fit width x height. The size travels
    // with the name because the thread must not measure the widget itself.
    void SetPendingName(const QString& name, int width, int height);
    // Drops the pending request and any finished thumbnail not yet taken.
    void Cancel();
    // Takes the finished thumbnail, nullptr when there is none.
    std::unique_ptr<TQpThumbnail> TakeThumbnail();
    // Tells the thread to end after the request in hand; no repaint is asked for after this.
    void Terminate();
    bool Terminated() const;
    // Waits until the thread has ended; Terminate first.
    void WaitFor();
    // The number of thumbnails handed over so far (superseded ones excluded).
    int DeliveredCount() const;

private:
    void Execute();

    TQpOpenDialog& m_dialog;
    const TQpFileFormats& m_registry;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    // A deep copy: the thread shares no implicitly shared string data with the dialog.
    std::u16string m_pendingName;
    int m_pendingWidth = 0;
    int m_pendingHeight = 0;
    std::unique_ptr<TQpThumbnail> m_finished;
    bool m_terminated = false;
    int m_delivered = 0;
    std::thread m_thread;
};
