#include "tools/crop/CropTool.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/WaitCursor.h"
#include "tools/crop/CropCommandState.h"
#include "tools/crop/CropFrame.h"

#include <QAction>
#include <QComboBox>
#include <QSpinBox>

TQpCrop2PlusTool::TQpCrop2PlusTool()
{
    SetDemoName(QStringLiteral("Crop"));
    SetExclusiveSession(true);
    SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
        return std::make_unique<TQpCrop2PlusToolControl>(tool, view);
    });
    CreateControls();
}

TQpCrop2PlusTool::~TQpCrop2PlusTool()
{
    if (m_frame)
        m_frame->ReleaseTool();
}

void TQpCrop2PlusTool::CreateControls()
{
    auto frame = std::make_unique<TQpCrop2PlusFrame>(*this);
    m_frame = frame.get();
    CreateToolButton(DemoName(), std::move(frame));
}

void TQpCrop2PlusTool::Localize()
{
    if (Button) {
        const QString caption = LocalizedString(135, QStringLiteral("Crop"));
        Button->setText(caption);
        Button->setToolTip(caption);
    }
    if (m_frame)
        m_frame->Localize();
}

TQpCrop2PlusToolControl* TQpCrop2PlusTool::ActiveControl() const
{
    TQpGraphicsView* view = QpGraphicsEditor ? QpGraphicsEditor->ActiveView() : nullptr;
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* control = dynamic_cast<TQpCrop2PlusToolControl*>(Controls(i));
            control && &control->View() == view)
            return control;
    return nullptr;
}

void TQpCrop2PlusTool::Crop(const TQpRect& rect)
{
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    TQpGraphicsView* view = QpGraphicsEditor ? QpGraphicsEditor->ActiveView() : nullptr;
    if (!document || !view)
        return;
    // Nothing of the image left: no step, the image as it was.
    const TQpRect kept = IntersectRect(rect, document->CropRect());
    if (kept.IsEmpty())
        return;
    TWaitCursor wait;
    if (Document() != document)
        BeginDocumentEdit(view);
    document->AddCommand(std::make_unique<TQpCropCommandState>(this, *document, kept));
    document->Crop(kept);
    EndDocumentEdit();
}

void TQpCrop2PlusTool::ResetControl()
{
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* control = dynamic_cast<TQpCrop2PlusToolControl*>(Controls(i)))
            control->Reset();
    if (QpGraphicsEditor)
        QpGraphicsEditor->UnlockTool();
}

void TQpCrop2PlusTool::CropCurrent()
{
    Crop(m_cropRect);
    ResetControl();
}

void TQpCrop2PlusTool::CancelDocumentEdit()
{
    ResetControl();
    TQpGraphicsTool::CancelDocumentEdit();
}

void TQpCrop2PlusTool::DocumentClosing(TQpGraphicsDocument* document)
{
    TQpCrop2PlusToolControl* control = ActiveControl();
    if (control && control->State() != TQpCrop2PlusToolControl::kIdle &&
        &control->View().Document() == document)
        CancelDocumentEdit();
}

void TQpCrop2PlusTool::SetRatio(int kind)
{
    if (kind == 0 || !m_frame)
        m_ratio = {};
    else
        m_ratio =
            RatioOfItem(kind == 1 ? m_frame->cmbFoto->currentText() : m_frame->cmbScreen->currentText());
}

void TQpCrop2PlusTool::WidthEditChange(int value)
{
    const TQpGraphicsDocument* document =
        QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    if (!document || value < 1)
        return;
    const TQpRect image = document->CropRect();
    if (value > image.Width()) {
        ShowRectSize();
        return;
    }
    if (m_cropRect.Left + value < image.Right) {
        m_cropRect.Right = m_cropRect.Left + value;
    } else {
        m_cropRect.Right = image.Right;
        m_cropRect.Left = m_cropRect.Right - value;
    }
    if (TQpCrop2PlusToolControl* control = ActiveControl())
        control->View().update();
}

void TQpCrop2PlusTool::HeightEditChange(int value)
{
    const TQpGraphicsDocument* document =
        QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    if (!document || value < 1)
        return;
    const TQpRect image = document->CropRect();
    if (value > image.Height()) {
        ShowRectSize();
        return;
    }
    if (m_cropRect.Top + value < image.Bottom) {
        m_cropRect.Bottom = m_cropRect.Top + value;
    } else {
        m_cropRect.Bottom = image.Bottom;
        m_cropRect.Top = m_cropRect.Bottom - value;
    }
    if (TQpCrop2PlusToolControl* control = ActiveControl())
        control->View().update();
}

void TQpCrop2PlusTool::ShowRectSize()
{
    if (m_cropRect.IsEmpty())
        return;
    if (QpGraphicsEditor)
        QpGraphicsEditor->ShowImageSize(m_cropRect.Width(), m_cropRect.Height());
    if (m_frame)
        m_frame->ShowSize(m_cropRect.Width(), m_cropRect.Height());
}

void TQpCrop2PlusTool::Record(const QString& word)
{
    if (IQpDemoPlayer* recorder = DemoRecorder()) {
        recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + word);
        recorder->RecordLine(word);
    }
}

void TQpCrop2PlusTool::UpdateControls()
{
    TQpGraphicsTool::UpdateControls();
    if (!m_frame)
        return;
    const bool checked = QpGraphicsEditor && QpGraphicsEditor->ActiveTool() == this;
    const bool enabled = QpGraphicsEditor && QpGraphicsEditor->CanActivateTool(this);
    m_frame->SetControlsEnabled(enabled && checked);
    m_frame->FollowKind();
}

void TQpCrop2PlusTool::Activated()
{
    TQpGraphicsTool::Activated();
    if (OptionFrame && Visible())
        OptionFrame->raise();
}

TQpDemoWords TQpCrop2PlusTool::DemoWords()
{
    return {
        {"PERFORM", [this](const TQpDemoParams&) { CropCurrent(); }},
        {"CANCEL", [this](const TQpDemoParams&) { CancelDocumentEdit(); }},
    };
}
