#include "framework/QpApplication.h"

#include "core/QpSDF.h"
#include "framework/MessageBox.h"
#include "framework/QpModule.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <fstream>
#include <sstream>

TQpApplication* QpApplication = nullptr;

TQpApplication::TQpApplication()
{
    QpApplication = this;
    // One idle pass each time the event loop is about to wait; the guard in Idle() keeps a
    // handler that spins a nested loop from starting another pass.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { Idle(); });
}

TQpApplication::~TQpApplication()
{
    DestroyComponents();
    if (QpApplication == this)
        QpApplication = nullptr;
}

QString TQpApplication::Title() const
{
    return QApplication::applicationDisplayName();
}

void TQpApplication::SetTitle(const QString& title)
{
    QApplication::setApplicationDisplayName(title);
    if (OnTitleChange)
        OnTitleChange(this);
}

int TQpApplication::Run()
{
    LoadAllSettings();
    // A termination signal while a module was starting (a message box of the first file, say) ended
    // that box's loop; the main loop must not begin.
    if (framework::ClosingDown()) {
        SaveAllSettings();
        return 0;
    }
    if (m_mainWindow && !m_mainWindow->isVisible())
        m_mainWindow->show();
    const int exitCode = QApplication::exec();
    SaveAllSettings();
    return exitCode;
}

void TQpApplication::EndBusy()
{
    if (m_busy == 0 || --m_busy > 0)
        return;
    m_abortRequested = false;
    if (m_closePending) {
        m_closePending = false;
        if (QWidget* window = m_mainWindow)
            QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    }
}

void TQpApplication::RequestAbortAndClose()
{
    m_abortRequested = true;
    m_closePending = true;
}

void TQpApplication::ProcessMessages()
{
    QCoreApplication::processEvents();
}

TQpBusyScope::TQpBusyScope()
{
    if (QpApplication)
        QpApplication->BeginBusy();
}

TQpBusyScope::~TQpBusyScope()
{
    if (QpApplication)
        QpApplication->EndBusy();
}

void TQpApplication::Idle()
{
    if (m_inIdle)
        return;
    m_inIdle = true;
    m_idleHandlers.CallAll();
    m_inIdle = false;
}

void TQpApplication::PostDeferredCall(TQpMethod method, QObject* guard)
{
    if (!m_mainWindow)
        return;
    m_deferred.push_back({method, guard, guard != nullptr});
    if (m_deferred.size() == 1)
        PostDeferredEvent();
}

void TQpApplication::PostDeferredEvent()
{
    if (m_mainWindow)
        QCoreApplication::postEvent(m_mainWindow, new QEvent(kDeferredCallEvent));
}

void TQpApplication::RunDeferredCall()
{
    if (m_deferred.empty())
        return;
    const DeferredCall call = m_deferred.front();
    if (!call.guarded || call.guard)
        call.method();
    m_deferred.pop_front();
    if (!m_deferred.empty())
        PostDeferredEvent();
}

int TQpApplication::ShowMessageBox(const QString& text, const QString& caption, int flags)
{
    QWidget* owner = QApplication::activeWindow();
    if (!owner)
        owner = m_mainWindow;
    return framework::ShowMessageBox(owner, text, caption, flags);
}

QString TQpApplication::SettingsFileName() const
{
    if (!m_settingsFileName.isEmpty())
        return m_settingsFileName;
    const QString programPath = platform::ProgramFilePath();
    const QFileInfo program(programPath);
    const QString baseName =
        program.completeBaseName().isEmpty() ? program.fileName() : program.completeBaseName();
    const QString folder = platform::UserSettingsFolder();
    if (!folder.isEmpty()) {
        return platform::WithTrailingSlash(platform::WithTrailingSlash(folder) + baseName) + baseName +
               QStringLiteral(".cfg");
    }
    const QString suffix = program.suffix();
    if (suffix.isEmpty())
        return programPath + QStringLiteral(".cfg");
    return programPath.left(programPath.size() - suffix.size()) + QStringLiteral("cfg");
}

void TQpApplication::LoadAllSettings()
{
    std::unique_ptr<TQpSDFReader> reader;
    const QString fileName = SettingsFileName();
    const QFileInfo info(fileName);
    if (info.exists() && !info.isDir()) {
        auto file =
            std::make_unique<std::ifstream>(QFile::encodeName(fileName).toStdString(), std::ios::binary);
        if (file->is_open())
            reader = std::make_unique<TQpSDFReader>(std::move(file));
    }
    // Modules may create components while they load; walk by index and re-read the count.
    for (std::size_t i = 0; i < m_components.size(); ++i) {
        IQpModuleSettings* settings = m_components[i].settings;
        if (!settings)
            continue;
        if (reader)
            settings->LoadSettings(*reader);
        settings->Connect();
    }
    reader.reset();
    for (std::size_t i = 0; i < m_components.size(); ++i) {
        if (IQpModuleSettings* settings = m_components[i].settings)
            settings->Started();
    }
}

void TQpApplication::SaveAllSettings()
{
    auto stream = std::make_unique<std::ostringstream>(std::ios::binary);
    std::ostringstream* buffer = stream.get();
    TQpSDFWriter writer(std::move(stream));
    for (std::size_t i = 0; i < m_components.size(); ++i) {
        if (IQpModuleSettings* settings = m_components[i].settings)
            settings->SaveSettings(writer);
    }
    const std::string bytes = buffer->str();
    if (bytes.empty())
        return;

    // Written beside the old file and renamed over it only when complete, so a crash or a full
    // disk while saving never leaves a truncated settings file behind.
    const QString fileName = SettingsFileName();
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath()))
        return;
    // Every write is checked before the rename: a buffered writer would find a full disk only when it
    // is too late, and rename a cut file over the old one.
    platform::TAtomicFile file;
    if (!file.Begin(QFile::encodeName(fileName).toStdString()) ||
        !platform::WriteWholeFile(file.TempPath(), bytes.data(), bytes.size()))
        return;
    file.Commit();
}

void TQpApplication::AddComponent(QObject* object, IQpModuleSettings* settings)
{
    m_components.push_back({object, settings});
}

void TQpApplication::RemoveComponent(QObject* object)
{
    auto it = std::find_if(m_components.begin(), m_components.end(),
                           [object](const Component& c) { return c.object == object; });
    if (it != m_components.end())
        m_components.erase(it);
}

void TQpApplication::DestroyComponents()
{
    // Most recently created first, as the components were built on one another.
    while (!m_owned.empty()) {
        QObject* victim = m_owned.back().get();
        for (auto it = m_components.rbegin(); it != m_components.rend(); ++it) {
            auto owned = std::find_if(m_owned.begin(), m_owned.end(), [&](const std::unique_ptr<QObject>& p) {
                return p.get() == it->object;
            });
            if (owned != m_owned.end()) {
                victim = owned->get();
                break;
            }
        }
        auto owned = std::find_if(m_owned.begin(), m_owned.end(),
                                  [&](const std::unique_ptr<QObject>& p) { return p.get() == victim; });
        std::unique_ptr<QObject> doomed = std::move(*owned);
        m_owned.erase(owned);
        doomed.reset();
    }
    m_components.clear();
}
