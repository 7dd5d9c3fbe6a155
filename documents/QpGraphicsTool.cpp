#include "documents/QpGraphicsTool.h"

#include "documents/QpGraphicsCommandState.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsToolControl.h"
#include "documents/QpGraphicsView.h"
#include "framework/FlowToolBar.h"
#include "framework/MainForm.h"
#include "framework/ToolPanelModule.h"

#include <QAction>
#include <QFont>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

TQpGraphicsTool::TQpGraphicsTool() = default;

TQpGraphicsTool::~TQpGraphicsTool()
{
    // The views outlive their tools at shutdown; their controls must not call
    // back.
    for (TQpGraphicsToolControl* control : m_controls)
        control->m_tool = nullptr;
    if (QpGraphicsEditor && QpGraphicsEditor->ActiveTool() == this)
        QpGraphicsEditor->SetActiveTool(nullptr);
}

void TQpGraphicsTool::Connect()
{
    TQpModuleWithControls::Connect();
    if (!m_demoCommandsRegistered) {
        m_demoCommandsRegistered = true;
        RegisterDemoCommands();
    }
}

void TQpGraphicsTool::CreateToolButton(const QString& demoName, std::unique_ptr<TQpFrame> frame)
{
    m_demoName = demoName;
    if (!MainForm) {
        m_ownFrame = std::move(frame);
        return;
    }
    const int image = MainForm->LoadToolbarImage(demoName);
    QWidget* toolbar = QpToolPanelModule
                           ? static_cast<QWidget*>(QpToolPanelModule->Toolbar)
                           : (QpEditor ? static_cast<QWidget*>(QpEditor->StandardToolbar) : nullptr);
    if (!toolbar) {
        m_ownFrame = std::move(frame);
        return;
    }
    Button = MainForm->AddToolbarButton(toolbar, nullptr, demoName, image, [this] { Activate(); });
    Button->setCheckable(true);
    Button->setToolTip(demoName);
    if (frame && QpToolPanelModule) {
        // The tool panel's frame host owns it from here on.
        OptionFrame = frame.release();
        QpToolPanelModule->AddOptionFrame(OptionFrame);
        OptionFrame->hide();
    }
    m_ownFrame = std::move(frame);
}

void TQpGraphicsTool::DemoCommand(IQpDemoPlayer*, const QString& word, bool& handled,
                                  TQpDemoScriptUserAction*, const TQpDemoParams& params)
{
    if (m_demoName.isEmpty())
        return;
    const QString prefix = m_demoName.toUpper();
    if (RunDemoWord(DemoWords(), prefix, word, params)) {
        handled = true;
    } else if (word == prefix) {
        Activate();
        handled = true;
    }
}

void TQpGraphicsTool::DemoPoint(IQpDemoPlayer*, const TQpDemoParams& params, bool& handled, QPoint& point)
{
    if (m_demoName.isEmpty())
        return;
    const QString prefix = m_demoName.toUpper();
    if (DemoTargetName(params) == prefix) {
        // The button sits on the tool panel's toolbar, or on the editor's without a panel.
        const QWidget* button = nullptr;
        if (Button && QpToolPanelModule && QpToolPanelModule->Toolbar)
            button = QpToolPanelModule->Toolbar->ButtonFor(Button);
        else if (Button && QpEditor && QpEditor->StandardToolbar)
            button = QpEditor->StandardToolbar->widgetForAction(Button);
        handled = ScreenCentre(button, point);
        return;
    }
    if (DemoWordPoint(DemoWords(), prefix, params, point))
        handled = true;
}

void TQpGraphicsTool::DemoRecordStart(IQpDemoPlayer* player)
{
    m_demoRecorder = player;
}

void TQpGraphicsTool::DemoRecordStop(IQpDemoPlayer*)
{
    m_demoRecorder = nullptr;
}

void TQpGraphicsTool::AddControl(TQpGraphicsToolControl* control)
{
    m_controls.push_back(control);
}

void TQpGraphicsTool::RemoveControl(TQpGraphicsToolControl* control)
{
    m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
}

TQpGraphicsToolControl* TQpGraphicsTool::Controls(int index) const
{
    if (index < 0 || index >= ControlCount())
        return nullptr;
    return m_controls[static_cast<std::size_t>(index)];
}

void TQpGraphicsTool::CreateToolControl(TQpGraphicsView* view)
{
    if (!m_toolControlClass || !view)
        return;
    view->AddObject(m_toolControlClass(*this, *view));
}

TQpPixels* TQpGraphicsTool::OriginalPixels() const
{
    return m_document ? m_document->OriginalPixels() : nullptr;
}

TQpPixelBuffer* TQpGraphicsTool::UndoBase() const
{
    return m_document ? &m_document->UndoBase() : nullptr;
}

TQpPixels* TQpGraphicsTool::CurrentPixels() const
{
    return m_document ? m_document->CurrentPixels() : nullptr;
}

void TQpGraphicsTool::ClearSession()
{
    m_view = nullptr;
    m_document = nullptr;
}

void TQpGraphicsTool::BeginDocumentEdit(TQpGraphicsView* view)
{
    if (!view)
        return;
    TQpGraphicsDocument& document = view->Document();
    document.BeginEdit(this);
    m_view = view;
    m_document = &document;
}

void TQpGraphicsTool::CommitEdit()
{
    if (!m_document)
        return;
    TQpGraphicsDocument& document = *m_document;
    const TQpRect dirty = IntersectRect(document.DirtyRect(), {0, 0, document.Width(), document.Height()});
    if (dirty.IsEmpty())
        return;
    document.AddCommand(std::make_unique<TQpGraphicsCommandState>(this, dirty, document));
    document.SyncUndoBase(dirty);
}

void TQpGraphicsTool::EndDocumentEdit()
{
    if (!m_document)
        return;
    CommitEdit();
    if (m_document->EditSessionActive() && m_document->EditingTool() == this)
        m_document->EndEdit(this);
    ClearSession();
}

void TQpGraphicsTool::CancelDocumentEdit()
{
    if (!m_document)
        return;
    TQpGraphicsDocument& document = *m_document;
    if (document.EditSessionActive() && document.EditingTool() == this) {
        const TQpRect dirty = document.DirtyRect();
        document.CurrentPixels()->CopyFrom(document.UndoBase());
        if (m_view)
            m_view->InvalidateImageRect(dirty.IsEmpty() ? TQpRect{0, 0, document.Width(), document.Height()}
                                                        : dirty);
        document.CancelEdit();
    }
    ClearSession();
}

void TQpGraphicsTool::DocumentOpened(TQpGraphicsDocument*)
{
    if (QpEditor && QpEditor->PlugInMode())
        SetToolVisible(m_visibleInPlugInMode);
}

void TQpGraphicsTool::SetToolVisible(bool value)
{
    if (Button)
        Button->setVisible(value);
    if (OptionFrame && !value)
        OptionFrame->hide();
    m_visible = value;
}

void TQpGraphicsTool::Activate()
{
    // A script word reaches here without the disabled button that keeps a locked tool in place.
    if (!QpGraphicsEditor || (QpGraphicsEditor->ToolLocked() && QpGraphicsEditor->ActiveTool() != this))
        return;
    QpGraphicsEditor->SetActiveTool(this);
    if (m_demoRecorder && !m_demoName.isEmpty()) {
        m_demoRecorder->RecordMoveTo(m_demoName);
        m_demoRecorder->RecordLine(QStringLiteral("Message \"%1\"").arg(m_demoName));
        m_demoRecorder->RecordLine(m_demoName);
    }
}

void TQpGraphicsTool::Activated()
{
    for (TQpGraphicsToolControl* control : std::vector<TQpGraphicsToolControl*>(m_controls))
        control->Activate();
    m_active = true;
    if (OptionFrame && m_visible) {
        OptionFrame->show();
        OptionFrame->raise();
    }
}

void TQpGraphicsTool::Deactivated()
{
    for (TQpGraphicsToolControl* control : std::vector<TQpGraphicsToolControl*>(m_controls))
        control->Deactivate();
    m_active = false;
    if (OptionFrame)
        OptionFrame->hide();
}

void TQpGraphicsTool::AddDirtyRect(const TQpRect& rect, bool replace)
{
    if (!m_document)
        return;
    // Outside the image nothing changed; keeping the rectangle inside keeps the
    // undo steps small.
    const TQpRect clipped = IntersectRect(rect, {0, 0, m_document->Width(), m_document->Height()});
    if (clipped.IsEmpty() && !replace)
        return;
    m_document->AddDirtyRect(clipped, replace);
}

void TQpGraphicsTool::UpdateControls()
{
    if (!Button)
        return;
    const bool checked = QpGraphicsEditor && QpGraphicsEditor->ActiveTool() == this;
    const bool enabled = QpGraphicsEditor && QpGraphicsEditor->CanActivateTool(this);
    Button->setChecked(checked);
    Button->setEnabled(enabled);
    if (OptionFrame)
        OptionFrame->SetControlsEnabled(enabled && checked);
}
