#include "documents/QpEditor.h"

#include "documents/QpOpenDialog.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

TQpEditor* QpEditor = nullptr;

namespace {

QString Ellipsis(const QString& caption)
{
    return caption + QStringLiteral("...");
}

// The localized texts hold one string placeholder for the file name.
QString WithName(const QString& text, const QString& name)
{
    QString result = text;
    const qsizetype at = result.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        result.replace(at, 2, name);
    return result;
}

// The path without its last extension; a dot inside a folder name is no extension.
QString WithoutExtension(const QString& name)
{
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    if (suffix.isEmpty() && !info.fileName().endsWith(QLatin1Char('.')))
        return name;
    return name.left(name.size() - suffix.size() - 1);
}
} // namespace

TQpEditor::TQpEditor()
{
    if (!QpEditor)
        QpEditor = this;
    TMainForm* mainForm = nullptr;
    QpApplication->CreateForm(mainForm);
    QpApplication->OnTitleChange = [this](QObject*) { UpdateCaption(); };

    TMainForm& form = *mainForm;
    QMenu* file = form.FileMenuItem;
    QAction* fileSeparator = form.FileMenuSeparator;
    OpenMenuItem = form.AddMenuItem(Ellipsis(LocalizedString(12, QStringLiteral("Open"))),
                                    QKeySequence(Qt::CTRL | Qt::Key_O), fileSeparator, file, 1,
                                    [this] { OpenCommand(); });
    // Save writes the document's own file in its own format; Save As asks.
    SaveMenuItem =
        form.AddMenuItem(LocalizedString(15, QStringLiteral("Save")), QKeySequence(Qt::CTRL | Qt::Key_S),
                         fileSeparator, file, 2, [this] { SaveCommand(); });
    SaveAsMenuItem = form.AddMenuItem(Ellipsis(LocalizedString(16, QStringLiteral("Save As"))),
                                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), fileSeparator, file, 2,
                                      [this] { SaveAsCommand(); });
    CloseMenuItem = form.AddMenuItem(LocalizedString(13, QStringLiteral("Close")), QKeySequence(),
                                     fileSeparator, file, -1, [this] { CloseCommand(); });
    RecentFilesMenuSeparator = form.AddSeparator(file, form.ExitMenuItem);

    StandardToolbar = form.AddToolbar(LocalizedString(162, QStringLiteral("Standard")));
    OpenToolButton = form.AddToolbarButton(
        StandardToolbar, nullptr, LocalizedString(12, QStringLiteral("Open")), 1, [this] { OpenCommand(); });
    SaveToolButton =
        form.AddToolbarButton(StandardToolbar, nullptr, LocalizedString(16, QStringLiteral("Save As")), 2,
                              [this] { SaveAsCommand(); });

    EditMenuItem = form.AddSubmenu(LocalizedString(24, QStringLiteral("&Edit")), nullptr,
                                   form.ViewMenuItem->menuAction());
    UndoMenuItem =
        form.AddMenuItem(LocalizedString(25, QStringLiteral("Undo")), QKeySequence(Qt::CTRL | Qt::Key_Z),
                         nullptr, EditMenuItem, 8, [this] { UndoCommand(); });
    UndoAllMenuItem = form.AddMenuItem(LocalizedString(168, QStringLiteral("Undo All")), QKeySequence(),
                                       nullptr, EditMenuItem, -1, [this] { UndoAllCommand(); });
    RedoMenuItem =
        form.AddMenuItem(LocalizedString(26, QStringLiteral("Redo")), QKeySequence(Qt::CTRL | Qt::Key_Y),
                         nullptr, EditMenuItem, 9, [this] { RedoCommand(); });
    RedoAllMenuItem = form.AddMenuItem(LocalizedString(169, QStringLiteral("Redo All")), QKeySequence(),
                                       nullptr, EditMenuItem, -1, [this] { RedoAllCommand(); });

    EditToolbarSeparator = form.AddSeparator(StandardToolbar, nullptr);
    UndoToolButton = form.AddToolbarButton(
        StandardToolbar, nullptr, LocalizedString(25, QStringLiteral("Undo")), 8, [this] { UndoCommand(); });
    RedoToolButton = form.AddToolbarButton(
        StandardToolbar, nullptr, LocalizedString(26, QStringLiteral("Redo")), 9, [this] { RedoCommand(); });

    // The main window's close request asks the documents first.
    form.installEventFilter(this);
    m_recentFileLimit = 5;
    UpdateCaption();
}

TQpEditor::~TQpEditor()
{
    if (MainForm)
        MainForm->removeEventFilter(this);
    if (QpApplication)
        QpApplication->OnTitleChange = nullptr;
    // Documents go before the editor they call back into; each takes its view with it.
    while (!m_documents.empty())
        m_documents.pop_back();
    if (QpEditor == this)
        QpEditor = nullptr;
}

bool TQpEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == MainForm) {
        // A long operation is still using the document: it aborts first, the window closes after it.
        if (QpApplication && QpApplication->Busy()) {
            QpApplication->RequestAbortAndClose();
            event->ignore();
            return true;
        }
        bool canClose = true;
        MainWindowCloseQuery(watched, canClose);
        if (!canClose) {
            event->ignore();
            return true;
        }
    }
    return TQpModuleWithControls::eventFilter(watched, event);
}

void TQpEditor::ActivateDocument(TQpDocument* document)
{
    const auto found = std::find_if(m_documents.begin(), m_documents.end(),
                                    [document](const auto& owned) { return owned.get() == document; });
    if (found == m_documents.end())
        return;
    std::rotate(found, found + 1, m_documents.end());
    UpdateCaption();
}

void TQpEditor::UpdateCaption()
{
    if (!MainForm || !QpApplication)
        return;
    const QString title = QpApplication->Title();
    if (m_multipleDocuments || m_documents.empty())
        MainForm->setWindowTitle(title);
    else
        MainForm->setWindowTitle(ActiveDocument()->DisplayName() + QStringLiteral(" - ") + title);
}

void TQpEditor::RemoveDocument(TQpDocument* document)
{
    const auto found = std::find_if(m_documents.begin(), m_documents.end(),
                                    [document](const auto& owned) { return owned.get() == document; });
    if (found == m_documents.end())
        return;
    // Out of the list before it is freed, so nothing reached from its destructor sees it active.
    std::unique_ptr<TQpDocument> owned = std::move(*found);
    m_documents.erase(found);
}

void TQpEditor::SetMultipleDocuments(bool value)
{
    // Several documents at once never get a window of their own here; the flag only changes which
    // document the commands and the caption follow.
    m_multipleDocuments = value;
}

TQpCommandHistoryList* TQpEditor::History()
{
    TQpDocument* document = ActiveDocument();
    return document ? &document->History() : nullptr;
}

bool TQpEditor::AttachView(TQpDocument* document, QWidget*& control)
{
    if (!document || !MainForm)
        return false;
    control = document->View();
    if (!control)
        return false;
    // The main window's client area keeps its workspace colour around and behind the view.
    QWidget* client = MainForm->centralWidget();
    if (!client) {
        client = new QWidget(MainForm);
        MainForm->setCentralWidget(client);
    }
    if (!client->layout()) {
        auto* layout = new QVBoxLayout(client);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    control->setParent(client);
    client->layout()->addWidget(control);
    control->show();
    return true;
}

bool TQpEditor::OpenDialog()
{
    TQpOpenDialog dialog(MainForm, Formats());
    const bool confirmed = dialog.Execute();
    const QString name = dialog.FileName();
    QCoreApplication::processEvents();
    if (!confirmed)
        return false;
    TQpDocument* document = nullptr;
    return OpenFile(name, document, true);
}

bool TQpEditor::SaveAs(TQpDocument* document)
{
    if (!document)
        return false;
    TQpSaveDialog dialog(MainForm, Formats());
    const TQpFileFormatArray formats = dialog.DialogFormats();
    if (formats.empty())
        return false;
    if (!document->FileName().isEmpty())
        dialog.SetFileName(WithoutExtension(document->FileName()));
    dialog.SetFilterIndex(IndexOfFormatIdentifier(formats, document->Format()) + 1);
    const bool confirmed = dialog.Execute();
    QString name = dialog.FileName();
    int filterIndex = dialog.FilterIndex();
    QCoreApplication::processEvents();
    if (!confirmed || name.isEmpty())
        return false;

    // A typed extension that names a format chooses it; only a bare name takes the type box's.
    const int typed = IndexOfFormatExtension(formats, QFileInfo(name).suffix().toStdU16String());
    if (typed >= 0)
        filterIndex = typed + 1;
    // Index 0 stands for the first file type, as in the platform's dialog.
    if (filterIndex < 1 || filterIndex > static_cast<int>(formats.size()))
        filterIndex = 1;
    const TQpFileFormatInfo& chosen = formats[static_cast<std::size_t>(filterIndex - 1)];
    if (typed < 0)
        name += QString::fromStdU16String(chosen.DefaultExtension);

    if (QFileInfo::exists(name) && AskOverwrite(name) != framework::kIdYes)
        return false;
    if (!document->SaveToFile(name, chosen.Identifier)) {
        ReportSaveFailure(name);
        return false;
    }
    ShowSaved(*document);
    return true;
}

void TQpEditor::ReportSaveFailure(const QString& name)
{
    // Nothing to say when the user cancelled a question on the way.
    const std::string reason = Formats().LastSaveFailure();
    if (reason.empty())
        return;
    QpApplication->ShowMessageBox(
        WithName(LocalizedString(4017, QStringLiteral("Cannot save the file \"%s\"")), name) +
            QStringLiteral(": ") + QString::fromStdString(reason) + QStringLiteral("."),
        framework::kMbIconStop);
}

int TQpEditor::AskSaveChanges(const QString& name)
{
    const QString text = LocalizedString(94, QStringLiteral("Do you want to save the changes to \"%s\"?"));
    return QpApplication->ShowMessageBox(WithName(text, name),
                                         framework::kMbYesNoCancel | framework::kMbIconExclamation);
}

int TQpEditor::AskOverwrite(const QString& name)
{
    const QString text =
        LocalizedString(164, QStringLiteral("The file \"%s\" already exists. Do you want to replace it?"));
    return QpApplication->ShowMessageBox(WithName(text, name),
                                         framework::kMbYesNo | framework::kMbIconExclamation);
}

void TQpEditor::MainWindowCloseQuery(QObject*, bool& canClose)
{
    canClose = true;
    // From the last document to the first; each that closes leaves the list.
    for (std::size_t i = m_documents.size(); i > 0; --i) {
        if (i > m_documents.size())
            continue;
        canClose = m_documents[i - 1]->CloseQuery();
        if (!canClose)
            return;
    }
}

void TQpEditor::DemoCommand(IQpDemoPlayer*, const QString& word, bool& handled, TQpDemoScriptUserAction*,
                            const TQpDemoParams&)
{
    if (word == QLatin1String("UNDO")) {
        UndoCommand();
        handled = true;
    } else if (word == QLatin1String("REDO")) {
        RedoCommand();
        handled = true;
    }
}

void TQpEditor::DemoPoint(IQpDemoPlayer*, const TQpDemoParams& params, bool& handled, QPoint& point)
{
    if (params.empty() || !StandardToolbar)
        return;
    const QString name = params.front().Text.trimmed().toUpper();
    QAction* button = name == QLatin1String("UNDO")   ? UndoToolButton
                      : name == QLatin1String("REDO") ? RedoToolButton
                                                      : nullptr;
    if (!button)
        return;
    QWidget* widget = StandardToolbar->widgetForAction(button);
    if (!widget)
        return;
    point = widget->mapToGlobal(QPoint(widget->width() / 2, widget->height() / 2));
    handled = true;
}

void TQpEditor::DemoRecordStart(IQpDemoPlayer* player)
{
    m_demoRecorder = player;
}

void TQpEditor::DemoRecordStop(IQpDemoPlayer*)
{
    m_demoRecorder = nullptr;
}

void TQpEditor::AddRecentDocument(TQpDocument* document)
{
    if (document)
        AddRecentFile(document->FileName());
}

void TQpEditor::SetPlugInMode(bool value)
{
    // Leaving plug-in mode is not a thing the program does; only the switch on has effects.
    if (m_plugInMode || !value)
        return;
    OpenToolButton->setVisible(false);
    SaveToolButton->setVisible(false);
    EditToolbarSeparator->setVisible(false);
    m_plugInMode = true;
    m_exitCode = -1;
}

bool TQpEditor::CanOpenAnotherDocument()
{
    if (m_multipleDocuments || m_documents.empty())
        return true;
    return ActiveDocument()->CloseQuery();
}

bool TQpEditor::NewDocument(TQpDocument*& document)
{
    document = nullptr;
    if (!CanOpenAnotherDocument())
        return false;
    std::unique_ptr<TQpDocument> created = CreateDocument();
    QWidget* control = nullptr;
    if (!created || !AttachView(created.get(), control))
        return false;
    document = created.get();
    m_documents.push_back(std::move(created));
    ActivateDocument(document);
    return true;
}

bool TQpEditor::OpenFile(const QString& name, TQpDocument*& document, bool addToRecent)
{
    document = nullptr;
    if (!CanOpenAnotherDocument())
        return false;
    std::unique_ptr<TQpDocument> created = CreateDocument();
    QWidget* control = nullptr;
    if (created && created->LoadFromFile(name) && AttachView(created.get(), control)) {
        document = created.get();
        m_documents.push_back(std::move(created));
        ActivateDocument(document);
        document->Opened();
        if (addToRecent)
            AddRecentDocument(document);
        if (const QString notice = document->LoadNotice(); !notice.isEmpty())
            QpApplication->ShowMessageBox(name + QStringLiteral(":\n") + notice + QStringLiteral("."),
                                          framework::kMbIconExclamation);
        return true;
    }
    QString text = WithName(LocalizedString(1030, QStringLiteral("Cannot open the file \"%s\".")), name);
    if (const QString notice = created ? created->LoadNotice() : QString(); !notice.isEmpty())
        text += QStringLiteral("\n") + notice + QStringLiteral(".");
    created.reset();
    QpApplication->ShowMessageBox(text, framework::kMbIconStop);
    return false;
}

bool TQpEditor::CanUndo()
{
    TQpCommandHistoryList* history = History();
    return history && history->CanUndo();
}

bool TQpEditor::CanRedo()
{
    TQpCommandHistoryList* history = History();
    return history && history->CanRedo();
}

void TQpEditor::Undo()
{
    if (TQpCommandHistoryList* history = History())
        history->Undo();
}

void TQpEditor::Redo()
{
    if (TQpCommandHistoryList* history = History())
        history->Redo();
}

void TQpEditor::OpenCommand()
{
    if (QpApplication && QpApplication->Busy())
        return;
    if (!m_plugInMode)
        OpenDialog();
}

void TQpEditor::CloseCommand()
{
    if (QpApplication && QpApplication->Busy())
        return;
    if (TQpDocument* document = ActiveDocument())
        document->CloseQuery();
}

void TQpEditor::SaveCommand()
{
    if (m_plugInMode)
        return;
    TQpDocument* document = ActiveDocument();
    if (!document)
        return;
    // A document without a file of its own, or in a format that cannot be written, asks for one.
    TQpFileFormatArray formats;
    Formats().GetSaveFormats(formats);
    if (document->FileName().isEmpty() || IndexOfFormatIdentifier(formats, document->Format()) < 0)
        SaveAs(document);
    else if (document->Save())
        ShowSaved(*document);
    else
        ReportSaveFailure(document->FileName());
}

void TQpEditor::ShowSaved(const TQpDocument& document)
{
    if (MainForm)
        MainForm->ShowStatusMessage(LocalizedString(4007, QStringLiteral("Saved")) + QStringLiteral(": ") +
                                    QDir::toNativeSeparators(document.FileName()));
}

void TQpEditor::SaveAsCommand()
{
    if (m_plugInMode)
        return;
    if (TQpDocument* document = ActiveDocument())
        SaveAs(document);
}

// After every move of the history position the document is unmodified exactly at the position of
// its last load or save; with no save in between that is "nothing left to undo".
void TQpEditor::UndoCommand()
{
    if (!CanUndo())
        return;
    Undo();
    if (TQpDocument* document = ActiveDocument())
        document->UpdateUnmodifiedFromHistory();
    if (m_demoRecorder) {
        m_demoRecorder->RecordLine(QStringLiteral("MouseCurvedMove Undo"));
        if (m_demoRecorder->ShowMessages())
            m_demoRecorder->RecordLine(QStringLiteral("Message \"Undo\""));
        m_demoRecorder->RecordLine(QStringLiteral("Undo"));
    }
}

void TQpEditor::UndoAllCommand()
{
    if (!CanUndo())
        return;
    while (CanUndo())
        Undo();
    if (TQpDocument* document = ActiveDocument())
        document->UpdateUnmodifiedFromHistory();
}

void TQpEditor::RedoCommand()
{
    if (!CanRedo())
        return;
    Redo();
    if (TQpDocument* document = ActiveDocument())
        document->UpdateUnmodifiedFromHistory();
    if (m_demoRecorder) {
        m_demoRecorder->RecordLine(QStringLiteral("MouseCurvedMove Redo"));
        if (m_demoRecorder->ShowMessages())
            m_demoRecorder->RecordLine(QStringLiteral("Message \"Redo\""));
        m_demoRecorder->RecordLine(QStringLiteral("Redo"));
    }
}

void TQpEditor::RedoAllCommand()
{
    if (!CanRedo())
        return;
    while (CanRedo())
        Redo();
    if (TQpDocument* document = ActiveDocument())
        document->UpdateUnmodifiedFromHistory();
}

void TQpEditor::DiscardRedo()
{
    if (TQpDocument* document = ActiveDocument())
        document->DiscardRedo();
}

void TQpEditor::Localize()
{
    OpenMenuItem->setText(Ellipsis(LocalizedString(12, QStringLiteral("Open"))));
    SaveMenuItem->setText(LocalizedString(15, QStringLiteral("Save")));
    SaveAsMenuItem->setText(Ellipsis(LocalizedString(16, QStringLiteral("Save As"))));
    CloseMenuItem->setText(LocalizedString(13, QStringLiteral("Close")));
    StandardToolbar->setWindowTitle(LocalizedString(162, QStringLiteral("Standard")));
    const auto button = [](QAction* item, int id, const QString& text) {
        item->setText(LocalizedString(id, text));
        item->setToolTip(LocalizedString(id, text));
    };
    button(OpenToolButton, 12, QStringLiteral("Open"));
    button(SaveToolButton, 16, QStringLiteral("Save As"));
    button(UndoToolButton, 25, QStringLiteral("Undo"));
    button(RedoToolButton, 26, QStringLiteral("Redo"));
    EditMenuItem->setTitle(LocalizedString(24, QStringLiteral("&Edit")));
    UndoMenuItem->setText(LocalizedString(25, QStringLiteral("Undo")));
    UndoAllMenuItem->setText(LocalizedString(168, QStringLiteral("Undo All")));
    RedoMenuItem->setText(LocalizedString(26, QStringLiteral("Redo")));
    RedoAllMenuItem->setText(LocalizedString(169, QStringLiteral("Redo All")));
    UpdateCaption();
}

void TQpEditor::UpdateControls()
{
    TQpDocument* document = ActiveDocument();
    SaveMenuItem->setEnabled(document && !document->Unmodified());
    SaveAsMenuItem->setEnabled(document != nullptr);
    SaveToolButton->setEnabled(document != nullptr);
    CloseMenuItem->setEnabled(document != nullptr);
    const bool canUndo = CanUndo();
    const bool canRedo = CanRedo();
    UndoMenuItem->setEnabled(canUndo);
    UndoAllMenuItem->setEnabled(canUndo);
    RedoMenuItem->setEnabled(canRedo);
    RedoAllMenuItem->setEnabled(canRedo);
    UndoToolButton->setEnabled(canUndo);
    RedoToolButton->setEnabled(canRedo);
}

void TQpEditor::Started()
{
    if (!m_plugInMode)
        OfferRecoveredDocuments();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || !QFileInfo(arguments[1]).isFile())
        return;
    TQpDocument* document = nullptr;
    OpenFile(arguments[1], document, true);
}
