#include "documents/QpDialogPreviewThread.h"

#include "documents/QpOpenDialog.h"

#include <QMetaObject>

TQpDialogPreviewThread::TQpDialogPreviewThread(TQpOpenDialog& dialog, const TQpFileFormats& registry)
    : m_dialog(dialog), m_registry(registry)
{
    m_thread = std::thread([this] { Execute(); });
}

TQpDialogPreviewThread::~TQpDialogPreviewThread()
{
    Terminate();
    WaitFor();
}

void TQpDialogPreviewThread::SetPendingName(const QString& name, int width, int height)
{
    {
        std::lock_guard guard(m_lock);
        m_pendingName = name.toStdU16String();
        m_pendingWidth = width;
        m_pendingHeight = height;
    }
    m_wake.notify_one();
}

void TQpDialogPreviewThread::Cancel()
{
    std::unique_ptr<TQpThumbnail> dropped;
    std::lock_guard guard(m_lock);
    m_pendingName.clear();
    dropped = std::move(m_finished);
}

std::unique_ptr<TQpThumbnail> TQpDialogPreviewThread::TakeThumbnail()
{
    std::lock_guard guard(m_lock);
    return std::move(m_finished);
}

void TQpDialogPreviewThread::Terminate()
{
    {
        std::lock_guard guard(m_lock);
        m_terminated = true;
    }
    m_wake.notify_one();
}

bool TQpDialogPreviewThread::Terminated() const
{
    std::lock_guard guard(m_lock);
    return m_terminated;
}

void TQpDialogPreviewThread::WaitFor()
{
    if (m_thread.joinable())
        m_thread.join();
}

int TQpDialogPreviewThread::DeliveredCount() const
{
    std::lock_guard guard(m_lock);
    return m_delivered;
}

void TQpDialogPreviewThread::Execute()
{
    for (;;) {
        std::u16string name;
        int width = 0;
        int height = 0;
        {
            std::unique_lock guard(m_lock);
            m_wake.wait(guard, [this] { return m_terminated || !m_pendingName.empty(); });
            if (m_terminated)
                return;
            name = std::move(m_pendingName);
            m_pendingName.clear();
            width = m_pendingWidth;
            height = m_pendingHeight;
        }
        // A box too small to show anything gets no thumbnail (and no division by its size).
        if (width < 1 || height < 1)
            continue;

        std::unique_ptr<TQpThumbnail> thumbnail;
        if (!m_registry.GetThumbnail(name, width, thumbnail, height) || !thumbnail)
            continue;

        {
            std::lock_guard guard(m_lock);
            // A newer request supersedes this one, and a closed dialog wants nothing more.
            if (m_terminated)
                return;
            if (!m_pendingName.empty())
                continue;
            m_finished = std::move(thumbnail);
            ++m_delivered;
            // Queued, never blocking: the dialog's destructor joins this thread, so the dialog is
            // alive here, and a call still queued when it is destroyed is dropped by the toolkit.
            QMetaObject::invokeMethod(
                &m_dialog, [dialog = &m_dialog] { dialog->ThumbnailReady(); }, Qt::QueuedConnection);
        }
    }
}
