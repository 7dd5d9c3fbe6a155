#include "tools/original/OriginalImageTool.h"

#include "documents/QpDemoWords.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"

#include <QAction>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

TQpOriginalImageTool::TQpOriginalImageTool()
{
    SetToolControlClass([](TQpGraphicsTool& tool, TQpGraphicsView& view) {
        return std::make_unique<TQpOriginalImageToolControl>(tool, view);
    });
    SetVisibleInPlugInMode(true);
    if (!MainForm || !QpGraphicsEditor || !QpGraphicsEditor->StandardToolbar)
        return;
    QToolBar* toolbar = QpGraphicsEditor->StandardToolbar;
    MainForm->AddSeparator(toolbar, nullptr);
    OriginalImageToolButton = MainForm->AddToolbarButton(toolbar, nullptr, QString(), -1, [] {});
    // Held down it shows the original; a plain click does nothing else.
    if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(OriginalImageToolButton))) {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        QObject::connect(button, &QToolButton::pressed, button, [this] { ShowOriginal(); });
        QObject::connect(button, &QToolButton::released, button, [this] { ShowCorrected(); });
    }
}

void TQpOriginalImageTool::Localize()
{
    if (!OriginalImageToolButton)
        return;
    OriginalImageToolButton->setText(LocalizedString(2100, QStringLiteral("Original")));
    OriginalImageToolButton->setToolTip(LocalizedString(2000, QStringLiteral("Show the original image")));
}

void TQpOriginalImageTool::ShowOriginal()
{
    if (!QpGraphicsEditor || QpGraphicsEditor->ActiveTool() == this ||
        !QpGraphicsEditor->ActiveGraphicsDocument())
        return;
    m_previous = QpGraphicsEditor->ActiveTool();
    QpGraphicsEditor->SetActiveTool(this);
}

void TQpOriginalImageTool::ShowCorrected()
{
    if (QpGraphicsEditor && QpGraphicsEditor->ActiveTool() == this)
        QpGraphicsEditor->SetActiveTool(m_previous);
}

void TQpOriginalImageTool::UpdateControls()
{
    TQpGraphicsTool::UpdateControls();
    if (!OriginalImageToolButton || !QpGraphicsEditor)
        return;
    OriginalImageToolButton->setEnabled(QpGraphicsEditor->ActiveGraphicsDocument() != nullptr);
    OriginalImageToolButton->setCheckable(true);
    OriginalImageToolButton->setChecked(QpGraphicsEditor->ActiveTool() == this);
}

void TQpOriginalImageTool::Activated()
{
    TQpGraphicsTool::Activated();
    // A recorded demonstration presses the button and names both pictures while it is held.
    if (IQpDemoPlayer* recorder = DemoRecorder()) {
        recorder->RecordLine(QStringLiteral("MouseCurvedMove OriginalImage"));
        recorder->RecordLine(QStringLiteral("MouseDown"));
        recorder->RecordLine(QStringLiteral("Message \"Original Image\""));
        recorder->RecordLine(QStringLiteral("MouseUp"));
        recorder->RecordLine(QStringLiteral("Message \"Corrected Image\""));
    }
}

void TQpOriginalImageTool::DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled,
                                     QPoint& point)
{
    const QString name = DemoTargetName(params);
    if ((name == QLatin1String("ORIGINALIMAGEBUTTON") || name == QLatin1String("ORIGINALIMAGE")) &&
        OriginalImageToolButton && QpGraphicsEditor && QpGraphicsEditor->StandardToolbar) {
        handled =
            ScreenCentre(QpGraphicsEditor->StandardToolbar->widgetForAction(OriginalImageToolButton), point);
        return;
    }
    TQpGraphicsTool::DemoPoint(player, params, handled, point);
}

TQpOriginalImageToolControl::TQpOriginalImageToolControl(TQpGraphicsTool& tool, TQpGraphicsView& view)
    : TQpGraphicsToolControl(tool, view)
{
    // Paints the picture itself, in place of the document's own drawing.
    SetFlag(kPaintsContent, true);
    SetVisible(false);
}

void TQpOriginalImageToolControl::Activate()
{
    View().DocumentView()->SetVisible(false);
    const TQpLTBitmap& original = View().Document().OriginalForDisplay();
    SetBounds({0, 0, original.GetWidth(), original.GetHeight()});
    SetVisible(true);
    View().update();
    TQpGraphicsToolControl::Activate();
}

void TQpOriginalImageToolControl::Deactivate()
{
    SetVisible(false);
    View().DocumentView()->SetVisible(true);
    View().update();
    TQpGraphicsToolControl::Deactivate();
}

bool TQpOriginalImageToolControl::KeyDown(int key, Qt::KeyboardModifiers)
{
    if (Active() || key != kHoldKey)
        return false;
    if (auto* tool = dynamic_cast<TQpOriginalImageTool*>(Tool()))
        tool->ShowOriginal();
    return true;
}

bool TQpOriginalImageToolControl::KeyUp(int key, Qt::KeyboardModifiers)
{
    if (!Active() || key != kHoldKey)
        return false;
    if (auto* tool = dynamic_cast<TQpOriginalImageTool*>(Tool()))
        tool->ShowCorrected();
    return true;
}

void TQpOriginalImageToolControl::PaintContent(TQpViewCanvas& canvas)
{
    // An original smaller than the current image (after a growing rotation) is drawn at its own size.
    TQpLTBitmap& original = View().Document().OriginalForDisplay();
    if (!canvas.Painter || original.IsEmpty())
        return;
    const TQpRect source = Bounds();
    const TQpRect dest = canvas.MapMode.SourceToTarget(source);
    const TQpRect clipBox = ToQpRect(canvas.Clip().boundingRect());
    original.Paint(*canvas.Painter, dest, &clipBox, &source);
    canvas.ExcludeClip(ToQRect(dest));
}
