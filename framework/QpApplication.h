#pragma once
// The application object: fronts QApplication, keeps the idle handlers and the deferred calls,
// owns every module and application-owned form in creation order, and loads and saves all
// modules' settings through the one settings file.

#include "framework/QpMethodList.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

class IQpModuleSettings;

// The deferred-call message: the platform's first user message plus 100, carried as a Qt event
// type at the same offset from QEvent::User.
constexpr int WM_QP_DEFERRED_CALL = 1124;
constexpr QEvent::Type kDeferredCallEvent = static_cast<QEvent::Type>(QEvent::User + 100);

class TQpApplication : public QObject
{
public:
    TQpApplication();
    ~TQpApplication() override;

    void Initialize() {}
    QString Title() const;
    void SetTitle(const QString& title);
    std::function<void(QObject* sender)> OnTitleChange;

    // Constructs a form owned by the application; the first such form is the main window.
    template <class T, class... Args> T* CreateForm(T*& reference, Args&&... args);
    // Constructs a module owned by the application. When the constructor throws, the reference
    // stays null and the exception propagates.
    template <class T, class... Args> T* CreateModule(T*& reference, Args&&... args);
    template <class T, class... Args> T* CreateModule(Args&&... args)
    {
        T* reference = nullptr;
        return CreateModule(reference, std::forward<Args>(args)...);
    }

    // Loads all settings, runs the event loop until the main window closes, saves all settings.
    int Run();

    int ModuleCount() const { return static_cast<int>(m_components.size()); }
    QObject* Modules(int index) const { return m_components.at(static_cast<std::size_t>(index)).object; }

    int AddIdleHandler(TQpMethod method) { return m_idleHandlers.Add(method); }
    int RemoveIdleHandler(TQpMethod method) { return m_idleHandlers.Remove(method); }
    // One idle pass: every idle handler in registration order.
    void Idle();

    // Runs `method` after the current event, one call per event, in posting order. Dropped
    // when there is no main window yet, and dropped when `guard` is destroyed before it runs.
    void PostDeferredCall(TQpMethod method, QObject* guard);
    int DeferredCallCount() const { return static_cast<int>(m_deferred.size()); }
    // Runs the first deferred call and posts the event again while calls remain. Forms call it.
    void RunDeferredCall();

    int ShowMessageBox(const QString& text, const QString& caption, int flags);
    int ShowMessageBox(const QString& text, int flags) { return ShowMessageBox(text, Title(), flags); }

    QString SettingsFileName() const;
    // Tests point the settings at a file of their own.
    void SetSettingsFileName(const QString& fileName) { m_settingsFileName = fileName; }
    void LoadAllSettings();
    void SaveAllSettings();

    QWidget* MainWindow() const { return m_mainWindow; }

    // Long operations that process pending messages while they hold a document (segmentation, the
    // cut-out's column loops) run busy. Meanwhile a close of the main window asks them to abort and
    // closes the window once they have ended, and opening, closing or dropping files is ignored, since
    // any of these would free what the operation works on.
    void BeginBusy() { ++m_busy; }
    void EndBusy();
    bool Busy() const { return m_busy > 0; }
    // A close that came while busy; long operations poll it with their own abort.
    bool AbortRequested() const { return m_abortRequested; }
    void RequestAbortAndClose();
    void ProcessMessages();

    // Component bookkeeping for the module and form bases.
    void AddComponent(QObject* object, IQpModuleSettings* settings);
    void RemoveComponent(QObject* object);
    // Destroys every owned component, the most recently created first.
    void DestroyComponents();

private:
    struct Component
    {
        QObject* object;
        IQpModuleSettings* settings;
    };
    struct DeferredCall
    {
        TQpMethod method;
        QPointer<QObject> guard;
        bool guarded;
    };

    void PostDeferredEvent();

    std::vector<Component> m_components;
    std::vector<std::unique_ptr<QObject>> m_owned;
    TQpMethodList m_idleHandlers;
    std::deque<DeferredCall> m_deferred;
    QPointer<QWidget> m_mainWindow;
    QString m_settingsFileName;
    bool m_inIdle = false;
    int m_busy = 0;
    bool m_abortRequested = false;
    bool m_closePending = false;
};

// Marks the application busy for its lifetime.
class TQpBusyScope
{
public:
    TQpBusyScope();
    ~TQpBusyScope();
    TQpBusyScope(const TQpBusyScope&) = delete;
    TQpBusyScope& operator=(const TQpBusyScope&) = delete;
};

// The one application object; null before it is created and after it is destroyed.
extern TQpApplication* QpApplication;

template <class T, class... Args> T* TQpApplication::CreateForm(T*& reference, Args&&... args)
{
    reference = nullptr;
    auto form = std::make_unique<T>(std::forward<Args>(args)...);
    reference = form.get();
    if constexpr (std::is_base_of_v<QWidget, T>) {
        if (!m_mainWindow)
            m_mainWindow = form.get();
    }
    m_owned.push_back(std::move(form));
    return reference;
}

template <class T, class... Args> T* TQpApplication::CreateModule(T*& reference, Args&&... args)
{
    reference = nullptr;
    auto module = std::make_unique<T>(std::forward<Args>(args)...);
    reference = module.get();
    m_owned.push_back(std::move(module));
    return reference;
}
