#include "tools/geometry/ResizeTool.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "framework/WaitCursor.h"
#include "tools/geometry/ResizeCommandState.h"
#include "tools/geometry/ResizeFrame.h"

#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

namespace {

// The other side of a proportional size, in doubles so that no product overflows, within the sides.
int Proportional(int side, int imageOther, int imageSide)
{
    const double other = std::nearbyint(static_cast<double>(imageOther) * side / std::max(1, imageSide));
    return static_cast<int>(std::clamp(other, 1.0, static_cast<double>(kMaxImageSide)));
}

} // namespace

TQpResizeTool::TQpResizeTool()
{
    SetDemoName(QStringLiteral("Resize"));
    SetConstrainProportions(true);
    CreateControls();
}

TQpResizeTool::~TQpResizeTool()
{
    if (m_frame)
        m_frame->ReleaseTool();
}

void TQpResizeTool::CreateControls()
{
    auto frame = std::make_unique<TQpResizeFrame>(*this);
    m_frame = frame.get();
    CreateToolButton(DemoName(), std::move(frame));
    QFont title = m_frame->TitleLabel->font();
    title.setBold(true);
    m_frame->TitleLabel->setFont(title);
    ShowValues();
}

void TQpResizeTool::Localize()
{
    if (Button) {
        const QString caption = LocalizedString(108, QStringLiteral("Resize"));
        Button->setText(caption);
        Button->setToolTip(caption);
    }
    if (m_frame)
        m_frame->Localize();
}

void TQpResizeTool::ImageSize(int& width, int& height) const
{
    const TQpGraphicsDocument* document =
        QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    width = document ? std::max(1, document->Width()) : 1;
    height = document ? std::max(1, document->Height()) : 1;
}

void TQpResizeTool::SetNewWidth(int value)
{
    if (value == m_newWidth)
        return;
    m_newWidth = std::clamp(value, 1, kMaxImageSide);
    if (m_constrain) {
        int width = 1, height = 1;
        ImageSize(width, height);
        m_newHeight = Proportional(m_newWidth, height, width);
    }
    ShowValues();
}

void TQpResizeTool::SetNewHeight(int value)
{
    if (value == m_newHeight)
        return;
    m_newHeight = std::clamp(value, 1, kMaxImageSide);
    if (m_constrain) {
        int width = 1, height = 1;
        ImageSize(width, height);
        m_newWidth = Proportional(m_newHeight, width, height);
    }
    ShowValues();
}

void TQpResizeTool::SetConstrainProportions(bool value)
{
    if (value == m_constrain)
        return;
    m_constrain = value;
    if (m_constrain) {
        // The image's aspect fitted into the size asked for.
        int width = 1, height = 1;
        ImageSize(width, height);
        if (static_cast<double>(height) / m_newHeight >= static_cast<double>(width) / m_newWidth)
            m_newWidth = Proportional(m_newHeight, width, height);
        else
            m_newHeight = Proportional(m_newWidth, height, width);
    }
    ShowValues();
}

void TQpResizeTool::ShowValues()
{
    if (m_frame)
        m_frame->Show(m_newWidth, m_newHeight, m_constrain);
    UpdateControls();
}

bool TQpResizeTool::PerformResize()
{
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    TQpGraphicsView* view = QpGraphicsEditor ? QpGraphicsEditor->ActiveView() : nullptr;
    if (!document || !view)
        return false;
    TWaitCursor wait;
    BeginDocumentEdit(view);
    auto state = std::make_unique<TQpResizeCommandState>(this, *document, m_newWidth, m_newHeight);
    // A resize that did not happen is no step to undo, and the user hears why.
    const bool resized = document->ResizeImage(m_newWidth, m_newHeight, true, true);
    if (resized)
        document->AddCommand(std::move(state));
    EndDocumentEdit();
    if (!resized) {
        const std::string& reason = document->SizeRefusal();
        QpApplication->ShowMessageBox(
            LocalizedString(4019, QStringLiteral("The picture cannot be resized")) + QStringLiteral(": ") +
                (reason.empty() ? LocalizedString(4020, QStringLiteral("there is not enough memory"))
                                : QString::fromStdString(reason)) +
                QStringLiteral("."),
            framework::kMbIconStop);
        return false;
    }
    ResetOptions();
    return true;
}

void TQpResizeTool::ResetOptions()
{
    int width = 1, height = 1;
    ImageSize(width, height);
    // Both sides at once: with the proportions kept, the first would move the second off by rounding.
    m_newWidth = width;
    m_newHeight = height;
    ShowValues();
}

void TQpResizeTool::Record(const QString& line)
{
    if (IQpDemoPlayer* recorder = DemoRecorder())
        recorder->RecordLine(line);
}

void TQpResizeTool::WidthEditChange(int value)
{
    SetNewWidth(value);
    Record(QStringLiteral("ResizeWidth %1").arg(value));
}

void TQpResizeTool::HeightEditChange(int value)
{
    SetNewHeight(value);
    Record(QStringLiteral("ResizeHeight %1").arg(value));
}

void TQpResizeTool::ConstrainProportionsCheckBoxChange(bool value)
{
    SetConstrainProportions(value);
    Record(QStringLiteral("MouseCurvedMove ResizeProportions"));
    Record(value ? QStringLiteral("ResizeProportional") : QStringLiteral("ResizeDisproportional"));
}

void TQpResizeTool::OkButtonClick()
{
    Record(QStringLiteral("MouseCurvedMove ResizePerform"));
    Record(QStringLiteral("ResizePerform"));
    PerformResize();
}

void TQpResizeTool::CancelButtonClick()
{
    Record(QStringLiteral("MouseCurvedMove ResizeCancel"));
    Record(QStringLiteral("ResizeCancel"));
    ResetOptions();
}

void TQpResizeTool::UpdateControls()
{
    TQpGraphicsTool::UpdateControls();
    if (!m_frame)
        return;
    const bool checked = QpGraphicsEditor && QpGraphicsEditor->ActiveTool() == this;
    const bool enabled = QpGraphicsEditor && QpGraphicsEditor->CanActivateTool(this);
    const bool on = enabled && checked;
    m_frame->SetControlsEnabled(on);
    int width = 1, height = 1;
    ImageSize(width, height);
    const bool changed = m_newWidth != width || m_newHeight != height;
    m_frame->OkButton->setEnabled(on && changed);
    m_frame->CancelButton->setEnabled(on && changed);
}

void TQpResizeTool::Activated()
{
    TQpGraphicsTool::Activated();
    ResetOptions();
}

void TQpResizeTool::DocumentOpened(TQpGraphicsDocument* document)
{
    TQpGraphicsTool::DocumentOpened(document);
    ResetOptions();
    if (document && QpGraphicsEditor)
        QpGraphicsEditor->ShowImageSize(document->Width(), document->Height());
}

TQpDemoWords TQpResizeTool::DemoWords()
{
    TQpResizeFrame* frame = m_frame;
    return {
        {"WIDTH", [this](const TQpDemoParams& p) { SetNewWidth(DemoInteger(p, 0, 100, 1, kMaxImageSide)); },
         frame ? frame->WidthEdit : nullptr},
        {"HEIGHT", [this](const TQpDemoParams& p) { SetNewHeight(DemoInteger(p, 0, 100, 1, kMaxImageSide)); },
         frame ? frame->HeightEdit : nullptr},
        {"PROPORTIONS", nullptr, frame ? frame->ConstrainProportionsCheckBox : nullptr},
        {"PROPORTIONAL",
         [this](const TQpDemoParams& p) { SetConstrainProportions(DemoBoolean(p, 0, true)); }},
        {"DISPROPORTIONAL",
         [this](const TQpDemoParams& p) { SetConstrainProportions(DemoBoolean(p, 0, false)); }},
        {"PERFORM", [this](const TQpDemoParams&) { PerformResize(); }, frame ? frame->OkButton : nullptr},
        {"CANCEL", [this](const TQpDemoParams&) { ResetOptions(); }, frame ? frame->CancelButton : nullptr},
    };
}
