#include "framework/QpModule.h"

#include "framework/Localizer.h"

#include <QEvent>

TQpModule::TQpModule()
{
    if (QpApplication)
        QpApplication->AddComponent(this, this);
}

TQpModule::~TQpModule()
{
    UnregisterLocalizeHandler(MakeMethod<&TQpModule::Localize>(this));
    if (QpApplication)
        QpApplication->RemoveComponent(this);
}

void TQpModule::Connect()
{
    RegisterLocalizeHandler(MakeMethod<&TQpModule::Localize>(this));
}

TQpModuleWithControls::~TQpModuleWithControls()
{
    if (QpApplication)
        QpApplication->RemoveIdleHandler(MakeMethod<&TQpModuleWithControls::UpdateControls>(this));
}

void TQpModuleWithControls::Connect()
{
    TQpModule::Connect();
    if (QpApplication)
        QpApplication->AddIdleHandler(MakeMethod<&TQpModuleWithControls::UpdateControls>(this));
}

TQpForm::~TQpForm()
{
    Disconnect();
}

void TQpForm::Connect()
{
    m_connected = true;
    RegisterLocalizeHandler(MakeMethod<&TQpForm::Localize>(this));
    if (QpApplication)
        QpApplication->AddIdleHandler(MakeMethod<&TQpForm::UpdateControls>(this));
}

void TQpForm::Disconnect()
{
    // Called from the widget part's destructor already, while the form is still whole.
    if (!m_connected)
        return;
    m_connected = false;
    UnregisterLocalizeHandler(MakeMethod<&TQpForm::Localize>(this));
    if (QpApplication)
        QpApplication->RemoveIdleHandler(MakeMethod<&TQpForm::UpdateControls>(this));
}

bool TQpForm::HandleFormEvent(QEvent* event)
{
    if (event->type() != kDeferredCallEvent)
        return false;
    if (QpApplication)
        QpApplication->RunDeferredCall();
    return true;
}

TQpFrame::TQpFrame(QWidget* parent) : QFrame(parent) {}

TQpFrame::~TQpFrame()
{
    if (!m_connected)
        return;
    UnregisterLocalizeHandler(MakeMethod<&TQpFrame::Localize>(this));
    if (QpApplication)
        QpApplication->RemoveIdleHandler(MakeMethod<&TQpFrame::UpdateControls>(this));
}

void TQpFrame::Connect()
{
    m_connected = true;
    m_controlsEnabled = true;
    RegisterLocalizeHandler(MakeMethod<&TQpFrame::Localize>(this));
    if (QpApplication)
        QpApplication->AddIdleHandler(MakeMethod<&TQpFrame::UpdateControls>(this));
}

static void SetEnabledRecursively(QWidget* container, bool value)
{
    for (QObject* child : container->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child)) {
            widget->setEnabled(value);
            SetEnabledRecursively(widget, value);
        }
    }
}

void TQpFrame::SetControlsEnabled(bool value)
{
    if (value == m_controlsEnabled)
        return;
    SetEnabledRecursively(this, value);
    m_controlsEnabled = value;
}
