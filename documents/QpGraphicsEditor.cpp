#include "documents/QpGraphicsEditor.h"

#include "core/QpGuid.h"
#include "core/QpSDF.h"
#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsFormats.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsView.h"
#include "documents/QpScrollTool.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <cmath>

TQpGraphicsEditor* QpGraphicsEditor = nullptr;

namespace {
constexpr TQpGuid kSectionGuid = *TQpGuid::Parse("{E1195915-FFAE-4A56-B331-F4567336FF25}");
constexpr std::uint32_t kJpegQualityValue = 1;
// The extensions of the folder image list; an extension is kept when it occurs
// in this text.
const QString kFolderImageExtensions = QStringLiteral(".JPG;.JPEG;.TIF;.TIFF;.PNG;.BMP;.RLE;.DIB");
} // namespace

TQpGraphicsEditor::TQpGraphicsEditor()
{
    if (!QpGraphicsEditor)
        QpGraphicsEditor = this;
    m_formats = std::make_unique<TQpGraphicsFormats>();
    TMainForm& form = *MainForm;
    form.FileDropHandler = [this](const QString& name) {
        TQpDocument* document = nullptr;
        OpenFile(name, document, true);
    };

    PrevImageButton = form.AddToolbarButton(StandardToolbar, EditToolbarSeparator,
                                            LocalizedString(2104, QStringLiteral("Previous Image")), -1,
                                            [this] { PreviousImage(); });
    form.AddSeparator(StandardToolbar, PrevImageButton);
    NextImageButton = form.AddToolbarButton(StandardToolbar, EditToolbarSeparator,
                                            LocalizedString(2105, QStringLiteral("Next Image")), -1,
                                            [this] { NextImage(); });

    QMenu* view = form.ViewMenuItem;
    ZoomMenuSeparator = form.AddSeparator(view, form.ToolbarsMenuItem->menuAction());
    ZoomToolbarSeparator = form.AddSeparator(StandardToolbar, nullptr);
    const auto zoomItem = [&](QAction*& item, QAction*& button, int id, const QString& text,
                              const QKeySequence& shortcut, void (TQpGraphicsEditor::*handler)()) {
        item = form.AddMenuItem(LocalizedString(id, text), shortcut, ZoomMenuSeparator, view, -1,
                                [this, handler] { (this->*handler)(); });
        button = form.AddToolbarButton(StandardToolbar, nullptr, LocalizedString(id, text), -1,
                                       [this, handler] { (this->*handler)(); });
    };
    zoomItem(ZoomInMenuItem, ZoomInButton, 98, QStringLiteral("Zoom In"),
             QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus)),
             &TQpGraphicsEditor::ZoomIn);
    zoomItem(ZoomOutMenuItem, ZoomOutButton, 99, QStringLiteral("Zoom Out"),
             QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Minus)),
             &TQpGraphicsEditor::ZoomOut);
    zoomItem(ActualSizeMenuItem, ActualSizeButton, 133, QStringLiteral("Actual Size"),
             QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_0), &TQpGraphicsEditor::ActualSize);
    zoomItem(ScaleToBestFitMenuItem, ScaleToBestFitButton, 178, QStringLiteral("Best Fit"), QKeySequence(),
             &TQpGraphicsEditor::BestFit);
    // The main keyboard's plus (with or without shift) and minus zoom as the keypad's do.
    ZoomInMenuItem->setShortcuts({ZoomInMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Plus),
                                  QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    ZoomOutMenuItem->setShortcuts({ZoomOutMenuItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Minus)});

    QMenu* file = form.FileMenuItem;
    CloseMenuSeperator = form.AddSeparator(file, form.FileMenuSeparator);
    // Scanner acquisition is not part of this program: its items exist but never
    // show.
    SelectTwainSourceMenuItem = form.AddMenuItem(LocalizedString(102, QStringLiteral("Select Source...")),
                                                 QKeySequence(), form.FileMenuSeparator, file, -1, [] {});
    AcquireMenuItem = form.AddMenuItem(LocalizedString(101, QStringLiteral("Acquire...")), QKeySequence(),
                                       form.FileMenuSeparator, file, -1, [] {});
    ImportSubmenu =
        form.AddSubmenu(LocalizedString(17, QStringLiteral("Import")), file, form.FileMenuSeparator);
    SelectTwainSourceMenuItem->setVisible(false);
    AcquireMenuItem->setVisible(false);
    ImportSubmenu->menuAction()->setVisible(false);

    const int f = QFontMetrics(form.font()).height();
    // The panels leave the rest of the bar to the hint line.
    AddStatusPanel(QStringLiteral("X:"), f, false, false);
    XStatusPanel = AddStatusPanel(QString(), 0, false, true);
    AddStatusPanel(QStringLiteral("Y:"), 0, false, false);
    YStatusPanel = AddStatusPanel(QString(), 0, true, true);
    AddStatusPanel(QStringLiteral("W:"), f, false, false);
    WStatusPanel = AddStatusPanel(QString(), 0, false, true);
    AddStatusPanel(QStringLiteral("H:"), 0, false, false);
    HStatusPanel = AddStatusPanel(QString(), 0, true, true);
    AddStatusPanel(QStringLiteral("R:"), f, false, false);
    RStatusPanel = AddStatusPanel(QString(), 0, false, true);
    AddStatusPanel(QStringLiteral("G:"), 0, false, false);
    GStatusPanel = AddStatusPanel(QString(), 0, false, true);
    AddStatusPanel(QStringLiteral("B:"), 0, false, false);
    BStatusPanel = AddStatusPanel(QString(), 0, true, true);
    ZoomStatusPanel = AddStatusPanel(QString(), 0, true, true);
    ZoomStatusPanel->setMinimumWidth(QFontMetrics(ZoomStatusPanel->font()).horizontalAdvance("00000 %") + 8);

    TQpScrollTool* scrollTool = nullptr;
    QpApplication->CreateModule(scrollTool);
    InstallApplicationCursor(kCursorHand, QStringLiteral("Hand"));
}

TQpGraphicsEditor::~TQpGraphicsEditor()
{
    if (MainForm)
        MainForm->FileDropHandler = nullptr;
    if (QpGraphicsEditor == this)
        QpGraphicsEditor = nullptr;
}

QLabel* TQpGraphicsEditor::AddStatusPanel(const QString& caption, int width, bool framed, bool valuePanel)
{
    auto* label = new QLabel(caption, MainForm->StatusBar);
    // Wide enough for its caption or five digits in this font, whatever the language.
    const QFontMetrics metrics(label->font());
    label->setMinimumWidth(
        std::max({width, metrics.horizontalAdvance(caption) + 6,
                  valuePanel ? metrics.horizontalAdvance(QStringLiteral("00000")) + 8 : 0}));
    label->setAlignment((valuePanel ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    label->setFrameStyle(framed ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
    MainForm->StatusBar->addPermanentWidget(label);
    return label;
}

std::vector<TQpGraphicsTool*> TQpGraphicsEditor::Tools()
{
    std::vector<TQpGraphicsTool*> tools;
    if (!QpApplication)
        return tools;
    for (int i = 0; i < QpApplication->ModuleCount(); ++i)
        if (auto* tool = dynamic_cast<TQpGraphicsTool*>(QpApplication->Modules(i)))
            tools.push_back(tool);
    return tools;
}

TQpDocumentFormats& TQpGraphicsEditor::Formats()
{
    return *m_formats;
}

std::unique_ptr<TQpDocument> TQpGraphicsEditor::CreateDocument()
{
    return std::make_unique<TQpGraphicsDocument>(*this);
}

TQpGraphicsDocument* TQpGraphicsEditor::ActiveGraphicsDocument() const
{
    return static_cast<TQpGraphicsDocument*>(ActiveDocument());
}

TQpGraphicsView* TQpGraphicsEditor::ActiveView() const
{
    TQpGraphicsDocument* document = ActiveGraphicsDocument();
    return document ? document->GraphicsView() : nullptr;
}

bool TQpGraphicsEditor::AttachView(TQpDocument* document, QWidget*& control)
{
    if (!TQpEditor::AttachView(document, control))
        return false;
    auto* view = dynamic_cast<TQpGraphicsView*>(control);
    if (!view)
        return true;
    for (TQpGraphicsTool* tool : Tools())
        tool->CreateToolControl(view);
    view->InitialZoom();
    if (m_activeTool)
        m_activeTool->Activated();
    view->DocumentView()->SetVisible(true);
    view->UpdateScrollRange();
    ShowImageSize(view->Document().Width(), view->Document().Height());
    return true;
}

void TQpGraphicsEditor::ActivateDocument(TQpDocument* document)
{
    if (document && document->Format() == kTransferBlockFormat)
        SetPlugInMode(true);
    TQpEditor::ActivateDocument(document);
}

bool TQpGraphicsEditor::OpenFile(const QString& name, TQpDocument*& document, bool addToRecent)
{
    if (!TQpEditor::OpenFile(name, document, addToRecent))
        return false;
    TQpGraphicsView* view = ActiveView();
    if (!view)
        return true;
    RebuildFolderImageList(name);
    view->InitialZoom();
    if (IQpDemoPlayer* recorder = DemoRecorder()) {
        recorder->RecordMoveTo(QStringLiteral("Open"));
        if (recorder->ShowMessages())
            recorder->RecordLine(QStringLiteral("Message \"Open Image\""));
        recorder->RecordLine(QStringLiteral("ImageOpen \"%1\", %2, %3")
                                 .arg(QFileInfo(name).fileName())
                                 .arg(view->width())
                                 .arg(view->height()));
    }
    return true;
}

void TQpGraphicsEditor::AddRecentDocument(TQpDocument* document)
{
    if (!PlugInMode())
        TQpEditor::AddRecentDocument(document);
}

void TQpGraphicsEditor::UpdateCaption()
{
    if (PlugInMode() && MainForm && QpApplication)
        MainForm->setWindowTitle(QpApplication->Title());
    else
        TQpEditor::UpdateCaption();
}

int TQpGraphicsEditor::AskSaveChanges(const QString& name)
{
    if (PlugInMode())
        return TQpEditor::AskSaveChanges(LocalizedString(500, QStringLiteral("the image")));
    return TQpEditor::AskSaveChanges(name);
}

bool TQpGraphicsEditor::SaveAs(TQpDocument* document)
{
    if (!PlugInMode())
        return TQpEditor::SaveAs(document);
    // The host takes the block only with exit code 0, so that code must mean the
    // block was written.
    const bool saved = document && document->Save();
    if (saved)
        SetExitCode(0);
    return saved;
}

void TQpGraphicsEditor::SetPlugInMode(bool value)
{
    if (value && !PlugInMode() && MainForm) {
        QpApplication->SetTitle(QpApplication->Title() + QStringLiteral(" Plug-in"));
        PrevImageButton->setVisible(false);
        NextImageButton->setVisible(false);
        MainForm->FileMenuItem->menuAction()->setVisible(false);
        MainForm->AddSeparator(StandardToolbar, nullptr);
        OkButton =
            MainForm->AddToolbarButton(StandardToolbar, nullptr, LocalizedString(3001, QStringLiteral("OK")),
                                       -1, [this] { AcceptPlugIn(); });
        CancelButton = MainForm->AddToolbarButton(StandardToolbar, nullptr,
                                                  LocalizedString(3002, QStringLiteral("Cancel")), -1,
                                                  [this] { CancelPlugIn(); });
        for (QAction* button : {OkButton, CancelButton})
            if (auto* widget = StandardToolbar->widgetForAction(button))
                widget->setSizePolicy(QSizePolicy::Expanding, widget->sizePolicy().verticalPolicy());
    }
    TQpEditor::SetPlugInMode(value);
    UpdateCaption();
}

bool TQpGraphicsEditor::CanUndo()
{
    TQpGraphicsDocument* document = ActiveGraphicsDocument();
    return TQpEditor::CanUndo() && !(document && document->EditSessionActive());
}

bool TQpGraphicsEditor::CanRedo()
{
    TQpGraphicsDocument* document = ActiveGraphicsDocument();
    return TQpEditor::CanRedo() && !(document && document->EditSessionActive());
}

void TQpGraphicsEditor::Undo()
{
    Step(false);
}

void TQpGraphicsEditor::Redo()
{
    Step(true);
}

void TQpGraphicsEditor::Step(bool redo)
{
    do {
        RepeatFlag = false;
        TQpGraphicsDocument* document = ActiveGraphicsDocument();
        if (!document)
            return;
        TQpGraphicsTool* remembered = m_activeTool;
        SetActiveTool(nullptr);
        if (redo) {
            document->NotifyBeforeRedo();
            TQpEditor::Redo();
            document->NotifyAfterRedo();
        } else {
            document->NotifyBeforeUndo();
            TQpEditor::Undo();
            document->NotifyAfterUndo();
        }
        SetActiveTool(remembered);
    } while (RepeatFlag && (redo ? CanRedo() : CanUndo()));
}

void TQpGraphicsEditor::UpdateControls()
{
    TQpEditor::UpdateControls();
    const bool zoom = SaveAsMenuItem->isEnabled();
    for (QAction* item : {ZoomInMenuItem, ZoomOutMenuItem, ActualSizeMenuItem, ScaleToBestFitMenuItem,
                          ZoomInButton, ZoomOutButton, ActualSizeButton, ScaleToBestFitButton})
        item->setEnabled(zoom);
    PrevImageButton->setEnabled(!m_folderImages.isEmpty() && m_folderImageIndex > 0);
    NextImageButton->setEnabled(m_folderImageIndex + 1 < m_folderImages.size());
}

void TQpGraphicsEditor::Localize()
{
    TQpEditor::Localize();
    const auto both = [](QAction* item, QAction* button, int id, const QString& text) {
        const QString caption = LocalizedString(id, text);
        item->setText(caption);
        button->setText(caption);
        button->setToolTip(caption);
    };
    both(ZoomInMenuItem, ZoomInButton, 98, QStringLiteral("Zoom In"));
    both(ZoomOutMenuItem, ZoomOutButton, 99, QStringLiteral("Zoom Out"));
    both(ActualSizeMenuItem, ActualSizeButton, 166, QStringLiteral("Actual Size"));
    both(ScaleToBestFitMenuItem, ScaleToBestFitButton, 178, QStringLiteral("Best Fit"));
    PrevImageButton->setToolTip(LocalizedString(2104, QStringLiteral("Previous Image")));
    NextImageButton->setToolTip(LocalizedString(2105, QStringLiteral("Next Image")));
    SelectTwainSourceMenuItem->setText(LocalizedString(102, QStringLiteral("Select Source...")));
    AcquireMenuItem->setText(LocalizedString(101, QStringLiteral("Acquire...")));
    ImportSubmenu->setTitle(LocalizedString(17, QStringLiteral("Import")));
    if (OkButton)
        OkButton->setText(LocalizedString(3001, QStringLiteral("OK")));
    if (CancelButton)
        CancelButton->setText(LocalizedString(3002, QStringLiteral("Cancel")));
}

void TQpGraphicsEditor::LoadSettings(TQpSDFReader& reader)
{
    TQpEditor::LoadSettings(reader);
    if (!reader.EnterNode(1, kSectionGuid))
        return;
    std::int32_t quality = kDefaultJpegQuality;
    if (reader.ReadInteger(kJpegQualityValue, quality))
        static_cast<TQpGraphicsFormats&>(*m_formats).SetJpegQuality(std::clamp(quality, 0, 100));
    reader.LeaveNode();
}

void TQpGraphicsEditor::SaveSettings(TQpSDFWriter& writer)
{
    TQpEditor::SaveSettings(writer);
    writer.WriteBeginNode(1, kSectionGuid);
    writer.WriteInteger(kJpegQualityValue, static_cast<TQpGraphicsFormats&>(*m_formats).JpegQuality());
    writer.WriteEndNode();
}

bool TQpGraphicsEditor::MouseWheelHandler(int delta, Qt::KeyboardModifiers modifiers, QPoint globalPoint)
{
    TQpGraphicsView* view = ActiveView();
    if (!view || !view->rect().contains(view->mapFromGlobal(globalPoint)))
        return false;
    return view->MouseWheel(delta, modifiers, globalPoint);
}

void TQpGraphicsEditor::RebuildFolderImageList(const QString& fileName)
{
    m_folderImages.clear();
    m_folderImageIndex = -1;
    const QFileInfo opened(fileName);
    const QDir folder = opened.absoluteDir();
    // Sorted by name, ignoring letter case, as the listing of the original file
    // system reads.
    const QFileInfoList entries = folder.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& entry : entries) {
        const QString suffix = entry.suffix();
        if (suffix.isEmpty())
            continue;
        const QString extension = QStringLiteral(".") + suffix.toUpper();
        if (extension.size() > 2 && kFolderImageExtensions.contains(extension))
            m_folderImages.append(QDir::cleanPath(entry.absoluteFilePath()));
    }
    m_folderImageIndex = static_cast<int>(m_folderImages.indexOf(QDir::cleanPath(opened.absoluteFilePath())));
}

bool TQpGraphicsEditor::OpenFolderImage(int index)
{
    if (QpApplication && QpApplication->Busy())
        return false;
    if (index < 0 || index >= m_folderImages.size())
        return false;
    const QStringList images = m_folderImages;
    const int previous = m_folderImageIndex;
    TQpDocument* document = nullptr;
    if (OpenFile(images[index], document, true))
        return true;
    // The index follows the document shown: it stays when the old document is still open (its save
    // question was cancelled), and moves onto the failed entry when that document has closed, so the
    // next step goes on past a file that cannot be read.
    m_folderImages = images;
    m_folderImageIndex = ActiveDocument() ? previous : index;
    return false;
}

void TQpGraphicsEditor::NextImage()
{
    OpenFolderImage(m_folderImageIndex + 1);
}

void TQpGraphicsEditor::PreviousImage()
{
    if (m_folderImageIndex > 0)
        OpenFolderImage(m_folderImageIndex - 1);
}

void TQpGraphicsEditor::ZoomCommand(const QString& name, const QString& message,
                                    void (TQpGraphicsView::*zoom)())
{
    if (IQpDemoPlayer* recorder = DemoRecorder()) {
        recorder->RecordMoveTo(name);
        if (recorder->ShowMessages())
            recorder->RecordLine(QStringLiteral("Message \"%1\"").arg(message));
        recorder->RecordLine(name);
    }
    if (TQpGraphicsView* view = ActiveView())
        (view->*zoom)();
}

void TQpGraphicsEditor::ZoomIn()
{
    ZoomCommand(QStringLiteral("ZoomIn"), QStringLiteral("Zoom In"), &TQpGraphicsView::ZoomIn);
}

void TQpGraphicsEditor::ZoomOut()
{
    ZoomCommand(QStringLiteral("ZoomOut"), QStringLiteral("Zoom Out"), &TQpGraphicsView::ZoomOut);
}

void TQpGraphicsEditor::ActualSize()
{
    ZoomCommand(QStringLiteral("ActualSize"), QStringLiteral("Actual Size"), &TQpGraphicsView::ActualSize);
}

void TQpGraphicsEditor::BestFit()
{
    ZoomCommand(QStringLiteral("BestFit"), QStringLiteral("Best Fit"), &TQpGraphicsView::BestFit);
}

void TQpGraphicsEditor::AcceptPlugIn()
{
    TQpGraphicsDocument* document = ActiveGraphicsDocument();
    if (document) {
        document->EndEdit(document->EditingTool());
        if (document->Save()) {
            SetExitCode(0);
        } else {
            // The host keeps its own image when the code is not 0; the user must know
            // it failed.
            SetExitCode(-1);
            QpApplication->ShowMessageBox(
                LocalizedString(1031, QStringLiteral("Cannot save the image back to the host.")),
                framework::kMbIconStop);
            document->SetUnmodified(true);
        }
    }
    if (MainForm)
        MainForm->close();
}

void TQpGraphicsEditor::CancelPlugIn()
{
    if (TQpGraphicsDocument* document = ActiveGraphicsDocument()) {
        document->EndEdit(document->EditingTool());
        document->SetUnmodified(true);
    }
    if (MainForm)
        MainForm->close();
}

void TQpGraphicsEditor::SetActiveTool(TQpGraphicsTool* tool)
{
    if (m_activeTool)
        m_activeTool->Deactivated();
    m_previousTool = m_activeTool;
    m_activeTool = tool;
    if (tool)
        tool->Activated();
}

bool TQpGraphicsEditor::CanActivateTool(TQpGraphicsTool* tool)
{
    TQpGraphicsDocument* document = ActiveGraphicsDocument();
    if (!document)
        return false;
    if (m_toolLock && tool != m_activeTool)
        return false;
    if (document->EditSessionActive()) {
        TQpGraphicsTool* editing = document->EditingTool();
        if (editing && editing != tool && editing->ExclusiveSession())
            return false;
    }
    return true;
}

void TQpGraphicsEditor::ShowPointerStatus(int x, int y, int red, int green, int blue)
{
    XStatusPanel->setText(QString::number(x));
    YStatusPanel->setText(QString::number(y));
    RStatusPanel->setText(QString::number(red));
    GStatusPanel->setText(QString::number(green));
    BStatusPanel->setText(QString::number(blue));
}

void TQpGraphicsEditor::ShowZoom(int percent)
{
    ZoomStatusPanel->setText(QString::number(percent) + QStringLiteral(" %"));
}

void TQpGraphicsEditor::ShowImageSize(int width, int height)
{
    WStatusPanel->setText(QString::number(width));
    HStatusPanel->setText(QString::number(height));
}
