#include "tools/geometry/RotateTool.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/WaitCursor.h"
#include "imaging/QpLTBitmap.h"
#include "tools/geometry/RotateFrame.h"

#include <QAction>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>

namespace {

constexpr TRotateKind kToolbarKinds[4] = {TRotateKind::Right, TRotateKind::Left, TRotateKind::FlipVertical,
                                          TRotateKind::FlipHorizontal};
constexpr int kToolbarImages[4] = {16, 17, 18, 19};

const char* WordOf(TRotateKind kind)
{
    switch (kind) {
    case TRotateKind::Left:
        return "RotationLeft";
    case TRotateKind::Right:
        return "RotationRight";
    case TRotateKind::FlipHorizontal:
        return "RotationHorizontal";
    case TRotateKind::FlipVertical:
        return "RotationVertical";
    }
    return "";
}

} // namespace

TQpRotateTool::TQpRotateTool()
{
    SetDemoName(QStringLiteral("Rotation"));
    SetVisibleInPlugInMode(true);
    CreateControls();
}

TQpRotateTool::~TQpRotateTool()
{
    if (m_frame)
        m_frame->ReleaseTool();
}

void TQpRotateTool::CreateControls()
{
    auto frame = std::make_unique<TQpRotateFrame>(*this);
    m_frame = frame.get();
    CreateToolButton(DemoName(), std::move(frame));
    QFont title = m_frame->TitleLabel->font();
    title.setBold(true);
    m_frame->TitleLabel->setFont(title);
    // Reached through the editor's toolbar, not the tool panel.
    if (Button && OptionFrame)
        Button->setVisible(false);
    if (MainForm && QpGraphicsEditor && QpGraphicsEditor->StandardToolbar) {
        MainForm->AddSeparator(QpGraphicsEditor->StandardToolbar, nullptr);
        for (int i = 0; i < 4; ++i) {
            const TRotateKind kind = kToolbarKinds[i];
            ToolbarItems[i] =
                MainForm->AddToolbarButton(QpGraphicsEditor->StandardToolbar, nullptr, QString(), -1,
                                           [this, kind] { ToolbarPerform(kind); });
            MainForm->SetImageIndex(ToolbarItems[i], kToolbarImages[i]);
        }
    }
    SetShowOptions(false);
}

void TQpRotateTool::Localize()
{
    const QString title = LocalizedString(2024, QStringLiteral("Rotation & Flip"));
    if (Button) {
        Button->setText(QString(title).replace(QLatin1Char('&'), QStringLiteral("&&")));
        Button->setToolTip(title);
    }
    const QString captions[4] = {LocalizedString(2025, QStringLiteral("Rotate Right")),
                                 LocalizedString(2026, QStringLiteral("Rotate Left")),
                                 LocalizedString(2109, QStringLiteral("Flip Vertical")),
                                 LocalizedString(2110, QStringLiteral("Flip Horizontal"))};
    for (int i = 0; i < 4; ++i)
        if (ToolbarItems[i]) {
            ToolbarItems[i]->setText(captions[i]);
            ToolbarItems[i]->setToolTip(captions[i]);
        }
    if (m_frame)
        m_frame->Localize();
}

bool TQpRotateTool::Perform(TRotateKind kind)
{
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    TQpGraphicsView* view = QpGraphicsEditor ? QpGraphicsEditor->ActiveView() : nullptr;
    if (!document || !view)
        return false;
    TWaitCursor wait;
    BeginDocumentEdit(view);
    m_lastKind = kind;
    const bool done = ApplyRotateKind(*document, kind);
    if (!done) {
        // Nothing changed: the session ends without a step.
        CancelDocumentEdit();
        return false;
    }
    RefreshPreview();
    EndDocumentEdit();
    return true;
}

void TQpRotateTool::CommitEdit()
{
    if (TQpGraphicsDocument* document = Document())
        document->AddCommand(std::make_unique<TQpRotateCommandState>(this, *document, m_lastKind));
}

void TQpRotateTool::ToolbarPerform(TRotateKind kind)
{
    const bool turn = kind == TRotateKind::Left || kind == TRotateKind::Right;
    if (Perform(kind) && turn && QpGraphicsEditor && QpGraphicsEditor->PlugInMode())
        Perform(kind);
}

void TQpRotateTool::Record(const QString& word)
{
    if (IQpDemoPlayer* recorder = DemoRecorder()) {
        recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + word);
        recorder->RecordLine(word);
    }
}

void TQpRotateTool::DirectButtonClick(TRotateKind kind)
{
    Record(QLatin1String(WordOf(kind)));
    Perform(kind);
}

void TQpRotateTool::RotateButtonClick()
{
    Record(QStringLiteral("RotationPerform"));
    if (m_frame)
        Perform(m_frame->CheckedKind());
}

void TQpRotateTool::RotateRadioButtonChange()
{
    if (m_frame)
        Record(QLatin1String(WordOf(m_frame->CheckedKind())) + QStringLiteral("Option"));
}

void TQpRotateTool::ShowOptionsButtonClick()
{
    SetShowOptions(!m_showOptions);
    if (IQpDemoPlayer* recorder = DemoRecorder()) {
        recorder->RecordLine(QStringLiteral("MouseCurvedMove RotationOptions"));
        recorder->RecordLine(m_showOptions ? QStringLiteral("RotationShowOptions")
                                           : QStringLiteral("RotationHideOptions"));
    }
}

void TQpRotateTool::SetShowOptions(bool value)
{
    m_showOptions = value;
    if (m_frame)
        m_frame->ShowOptionsLayout(value);
    RefreshPreview();
}

void TQpRotateTool::RefreshPreview()
{
    if (!m_frame)
        return;
    TQpGraphicsDocument* document = QpGraphicsEditor ? QpGraphicsEditor->ActiveGraphicsDocument() : nullptr;
    // Nothing is built while nobody can see it.
    if (!document || !Active() || !m_showOptions) {
        m_frame->SetThumbnail(nullptr);
        return;
    }
    m_frame->SetThumbnail(document->ScaledCopy(m_frame->ThumbnailSize()));
}

void TQpRotateTool::UpdateControls()
{
    TQpGraphicsTool::UpdateControls();
    const bool enabled = QpGraphicsEditor && QpGraphicsEditor->CanActivateTool(this);
    const bool checked = QpGraphicsEditor && QpGraphicsEditor->ActiveTool() == this;
    if (m_frame)
        m_frame->SetControlsEnabled(enabled && checked);
    for (QAction* item : ToolbarItems)
        if (item)
            item->setEnabled(enabled);
}

void TQpRotateTool::Activated()
{
    TQpGraphicsTool::Activated();
    RefreshPreview();
}

void TQpRotateTool::DocumentOpened(TQpGraphicsDocument* document)
{
    TQpGraphicsTool::DocumentOpened(document);
    RefreshPreview();
}

TQpDemoWords TQpRotateTool::DemoWords()
{
    TQpRotateFrame* f = m_frame;
    const auto check = [this](TRotateKind kind) {
        return [this, kind](const TQpDemoParams&) {
            if (m_frame)
                m_frame->CheckKind(kind);
        };
    };
    const auto perform = [this](TRotateKind kind) {
        return [this, kind](const TQpDemoParams&) { Perform(kind); };
    };
    return {
        {"VIEW", nullptr, f ? f->ThumbnailView : nullptr},
        {"RIGHTOPTION", check(TRotateKind::Right), f ? f->RotateRightRadioButton : nullptr},
        {"LEFTOPTION", check(TRotateKind::Left), f ? f->RotateLeftRadioButton : nullptr},
        {"HORIZONTALOPTION", check(TRotateKind::FlipHorizontal), f ? f->FlipHorizontalRadioButton : nullptr},
        {"VERTICALOPTION", check(TRotateKind::FlipVertical), f ? f->FlipVerticalRadioButton : nullptr},
        {"RIGHT", perform(TRotateKind::Right), f ? f->RotateRightButton : nullptr},
        {"LEFT", perform(TRotateKind::Left), f ? f->RotateLeftButton : nullptr},
        {"HORIZONTAL", perform(TRotateKind::FlipHorizontal), f ? f->FlipHorizontalButton : nullptr},
        {"VERTICAL", perform(TRotateKind::FlipVertical), f ? f->FlipVerticalButton : nullptr},
        {"PERFORM",
         [this](const TQpDemoParams&) {
             if (m_frame)
                 Perform(m_frame->CheckedKind());
         },
         f ? f->RotateButton : nullptr},
        {"OPTIONS", nullptr, f ? f->ShowOptions : nullptr},
        {"SHOWOPTIONS", [this](const TQpDemoParams& p) { SetShowOptions(DemoBoolean(p, 0, true)); }},
        {"HIDEOPTIONS", [this](const TQpDemoParams& p) { SetShowOptions(DemoBoolean(p, 0, false)); }},
    };
}
