#pragma once
// The life cycle every module, form and frame fulfils: Localize, LoadSettings, SaveSettings,
// Connect, Started and (for those with controls) UpdateControls. Registrations made by Connect
// are removed by the destructor, so a destroyed object is never called back.

#include "framework/QpMethodList.h"

#include <QFrame>
#include <QObject>

class TQpSDFReader;
class TQpSDFWriter;
class QEvent;

class IQpModuleSettings
{
public:
    virtual ~IQpModuleSettings() = default;
    virtual void Connect() = 0;
    virtual void LoadSettings(TQpSDFReader& reader) = 0;
    virtual void SaveSettings(TQpSDFWriter& writer) = 0;
    virtual void Started() = 0;
};

// A single-instance part of the program, owned by the application object. Joins the
// application's component list when its construction begins.
class TQpModule : public QObject, public IQpModuleSettings
{
public:
    TQpModule();
    ~TQpModule() override;

    virtual void Localize() {}
    void LoadSettings(TQpSDFReader&) override {}
    void SaveSettings(TQpSDFWriter&) override {}
    void Connect() override;
    void Started() override {}
};

// A module that puts menu items, toolbar buttons or frames into the main window and refreshes
// their states whenever the program is idle.
class TQpModuleWithControls : public TQpModule
{
public:
    ~TQpModuleWithControls() override;
    virtual void UpdateControls() {}
    void Connect() override;
};

// The form side of the life cycle; mixed into a widget class by TQpFormOf. A form owned by the
// application object is connected when all settings load; any other form is connected by its
// creator right after construction.
class TQpForm : public IQpModuleSettings
{
public:
    ~TQpForm() override;

    virtual void Localize() {}
    virtual void UpdateControls() {}
    void LoadSettings(TQpSDFReader&) override {}
    void SaveSettings(TQpSDFWriter&) override {}
    void Started() override {}
    void Connect() override;

protected:
    // Runs one deferred call when `event` is the deferred-call event; true when it was.
    bool HandleFormEvent(QEvent* event);
    void Disconnect();

private:
    bool m_connected = false;
};

// A form on any widget class: TMainForm is a TQpFormOf<QMainWindow>, a dialog a TQpFormOf<QDialog>.
template <class Base> class TQpFormOf : public Base, public TQpForm
{
public:
    explicit TQpFormOf(bool ownedByApplication, QWidget* parent = nullptr);
    ~TQpFormOf() override;

protected:
    bool event(QEvent* event) override
    {
        if (HandleFormEvent(event))
            return true;
        return Base::event(event);
    }

private:
    bool m_ownedByApplication;
};

// A frame: tool option frames derive from it. Keeps a controls-enabled state that enables or
// disables every child control at once.
class TQpFrame : public QFrame, public IQpModuleSettings
{
public:
    explicit TQpFrame(QWidget* parent = nullptr);
    ~TQpFrame() override;

    virtual void Localize() {}
    virtual void UpdateControls() {}
    void LoadSettings(TQpSDFReader&) override {}
    void SaveSettings(TQpSDFWriter&) override {}
    void Started() override {}
    void Connect() override;

    void SetControlsEnabled(bool value);
    bool ControlsEnabled() const { return m_controlsEnabled; }

private:
    bool m_connected = false;
    bool m_controlsEnabled = false;
};

#include "framework/QpApplication.h"

template <class Base>
TQpFormOf<Base>::TQpFormOf(bool ownedByApplication, QWidget* parent)
    : Base(parent), m_ownedByApplication(ownedByApplication)
{
    if (m_ownedByApplication && QpApplication)
        QpApplication->AddComponent(this, this);
}

template <class Base> TQpFormOf<Base>::~TQpFormOf()
{
    Disconnect();
    if (m_ownedByApplication && QpApplication)
        QpApplication->RemoveComponent(this);
}
