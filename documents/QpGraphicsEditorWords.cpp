// The image editor's script words: opening an image, the zoom commands, the least window and view
// sizes, and the screen targets of its buttons and of image points. Every number a script passes is
// read through the shared argument helpers, so NaN, 1e300 or a text never reaches an int unchecked.

#include "documents/QpDemoWords.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "framework/MainForm.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSize>
#include <QToolBar>
#include <optional>

namespace {

// Window and view sizes a script may ask for: beyond any screen, and far from QRect's overflow.
constexpr int kMaxScriptSize = 32767;
// Image points a script may name: far beyond any image, and small enough for the view's mapping.
constexpr int kMaxScriptImagePoint = 1'000'000;

// Two numeric arguments from `first` on as a width and a height; nothing when either is missing or not
// a finite number.
std::optional<QSize> ScriptSize(const TQpDemoParams& params, std::size_t first)
{
    const std::optional<int> width = DemoInteger(params, first, 0, kMaxScriptSize, false);
    const std::optional<int> height = DemoInteger(params, first + 1, 0, kMaxScriptSize, false);
    if (!width || !height)
        return std::nullopt;
    return QSize(*width, *height);
}

// An image coordinate argument; 0 when it is not a finite number, as a text always gave.
int ImageCoordinate(const TQpDemoParams& params, std::size_t index)
{
    return DemoInteger(params, index, -kMaxScriptImagePoint, kMaxScriptImagePoint, false).value_or(0);
}

// Fits one axis of a window into the work area.
void FitAxis(int& start, int& length, int areaStart, int areaLength)
{
    if (start < areaStart)
        start = areaStart;
    if (start + length > areaStart + areaLength) {
        if (length < areaLength) {
            start = (areaLength - length) / 2;
        } else {
            start = areaStart;
            length = areaLength;
        }
    }
}

void ZoomToFit(TQpGraphicsEditor& editor)
{
    if (TQpGraphicsView* view = editor.ActiveView())
        view->InitialZoom();
}

void OpenDemoImage(TQpGraphicsEditor& editor, IQpDemoPlayer* player, const TQpDemoParams& params)
{
    if (params.empty())
        return;
    QString name = params[0].Text;
    const QString inFolder = editor.DemonstrationFolder + name;
    if (QFileInfo(inFolder).isFile())
        name = inFolder;
    TQpDocument* document = nullptr;
    if (!editor.OpenFile(name, document, true)) {
        if (player)
            player->Error(QStringLiteral("Cannot open the file."));
        return;
    }
    document->SetDemoDocument(true);
    if (params.size() != 3)
        return;
    if (const std::optional<QSize> size = ScriptSize(params, 1)) {
        editor.SetMinViewSize(size->width(), size->height());
        ZoomToFit(editor);
    }
}

// Makes the main window at least `size`, centring an axis that grows in the work area.
void SetMinWindowSize(TQpGraphicsEditor& editor, QSize size)
{
    if (!MainForm)
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QRect bounds = MainForm->geometry();
    if (bounds.width() < size.width()) {
        bounds.setWidth(size.width());
        bounds.moveLeft((area.width() - size.width()) / 2);
    }
    if (bounds.height() < size.height()) {
        bounds.setHeight(size.height());
        bounds.moveTop((area.height() - size.height()) / 2);
    }
    MainForm->setGeometry(bounds);
    ZoomToFit(editor);
}

void SetMinViewSize(TQpGraphicsEditor& editor, QSize size)
{
    editor.SetMinViewSize(size.width(), size.height());
    ZoomToFit(editor);
}

const QWidget* ButtonWidget(const TQpGraphicsEditor& editor, QAction* button)
{
    return editor.StandardToolbar && button ? editor.StandardToolbar->widgetForAction(button) : nullptr;
}

// The editor's words, each with its action, its button or both. The words have no common prefix, so
// the table is searched for whole words here rather than through RunDemoWord and DemoWordPoint.
TQpDemoWords EditorWords(TQpGraphicsEditor& editor, IQpDemoPlayer* player)
{
    const auto zoom = [&editor](void (TQpGraphicsEditor::*command)()) {
        return [&editor, command](const TQpDemoParams&) { (editor.*command)(); };
    };
    // Exactly two numbers, or the word does nothing.
    const auto sized = [&editor](void (*apply)(TQpGraphicsEditor&, QSize)) {
        return [&editor, apply](const TQpDemoParams& params) {
            if (params.size() != 2)
                return;
            if (const std::optional<QSize> size = ScriptSize(params, 0))
                apply(editor, *size);
        };
    };
    return {
        {"IMAGEOPEN",
         [&editor, player](const TQpDemoParams& params) { OpenDemoImage(editor, player, params); }},
        {"ZOOMIN", zoom(&TQpGraphicsEditor::ZoomIn), ButtonWidget(editor, editor.ZoomInButton)},
        {"ZOOMOUT", zoom(&TQpGraphicsEditor::ZoomOut), ButtonWidget(editor, editor.ZoomOutButton)},
        {"ACTUALSIZE", zoom(&TQpGraphicsEditor::ActualSize), ButtonWidget(editor, editor.ActualSizeButton)},
        {"BESTFIT", zoom(&TQpGraphicsEditor::BestFit), ButtonWidget(editor, editor.ScaleToBestFitButton)},
        {"SETMINWINDOWSIZE", sized(SetMinWindowSize)},
        {"SETMINVIEWSIZE", sized(SetMinViewSize)},
        {"OPEN", {}, ButtonWidget(editor, editor.OpenToolButton)},
        {"OPENBUTTON", {}, ButtonWidget(editor, editor.OpenToolButton)},
    };
}

const TQpDemoWord* FindWord(const TQpDemoWords& words, const QString& word)
{
    for (const TQpDemoWord& entry : words)
        if (word == QLatin1String(entry.Suffix))
            return &entry;
    return nullptr;
}

} // namespace

void TQpGraphicsEditor::SetMinViewSize(int width, int height)
{
    TQpGraphicsView* view = ActiveView();
    if (!MainForm || !view)
        return;
    QRect bounds = MainForm->geometry();
    if (width - view->width() > 0)
        bounds.setWidth(bounds.width() + width - view->width());
    if (height - view->height() > 0)
        bounds.setHeight(bounds.height() + height - view->height());
    const QScreen* screen = MainForm->screen() ? MainForm->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        int x = bounds.x();
        int w = bounds.width();
        int y = bounds.y();
        int h = bounds.height();
        FitAxis(x, w, area.x(), area.width());
        FitAxis(y, h, area.y(), area.height());
        bounds = QRect(x, y, w, h);
    }
    MainForm->setGeometry(bounds);
}

void TQpGraphicsEditor::DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                                    TQpDemoScriptUserAction* action, const TQpDemoParams& params)
{
    const TQpDemoWords words = EditorWords(*this, player);
    if (const TQpDemoWord* entry = FindWord(words, word); entry && entry->Action) {
        handled = true;
        entry->Action(params);
        return;
    }
    TQpEditor::DemoCommand(player, word, handled, action, params);
}

void TQpGraphicsEditor::DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled,
                                  QPoint& point)
{
    if (params.empty())
        return;
    const QString name = DemoTargetName(params);
    const TQpDemoWords words = EditorWords(*this, player);
    if (const TQpDemoWord* entry = FindWord(words, name); entry && entry->Target) {
        handled = ScreenCentre(entry->Target, point);
        return;
    }
    if (name == QLatin1String("IMAGE")) {
        TQpGraphicsView* view = ActiveView();
        if (!view || params.size() < 3)
            return;
        const TQpPoint target =
            view->MapMode().SourceToTarget(TQpPoint{ImageCoordinate(params, 1), ImageCoordinate(params, 2)});
        point = view->mapToGlobal(QPoint(target.X, target.Y));
        handled = true;
        return;
    }
    TQpEditor::DemoPoint(player, params, handled, point);
}
