#include "framework/MainForm.h"

#include "core/LittleEndian.h"
#include "core/QpGuid.h"
#include "core/QpSDF.h"
#include "framework/Localizer.h"
#include "framework/QpImageList.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPalette>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

TMainForm* MainForm = nullptr;

namespace {
constexpr TQpGuid kSectionGuid = *TQpGuid::Parse("{7AF6D7FF-618B-41D9-882E-419D500DF28B}");
constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;

void InsertInto(QWidget* parent, QAction* insertBefore, QAction* action)
{
    if (insertBefore && !parent->actions().contains(insertBefore))
        insertBefore = nullptr;
    parent->insertAction(insertBefore, action);
}
} // namespace

TMainForm::TMainForm() : TQpFormOf<QMainWindow>(true)
{
    if (!MainForm)
        MainForm = this;
    setAttribute(Qt::WA_DeleteOnClose, false);
    // First start: most of the screen, centred; a saved placement replaces this.
    resize(534, 458);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize first =
            QSize(area.width() * 4 / 5, area.height() * 4 / 5).expandedTo(size()).boundedTo(area.size());
        setGeometry(QRect(area.center() - QPoint(first.width() / 2, first.height() / 2), first));
    }
    setAcceptDrops(true);
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);
    setCorner(Qt::TopRightCorner, Qt::RightDockWidgetArea);
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
    setCorner(Qt::TopLeftCorner, Qt::LeftDockWidgetArea);
    setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);

    m_defaultImages = std::make_unique<TQpImageList>(QSize(16, 16));
    m_defaultImages->Add(style()->standardIcon(QStyle::SP_FileIcon));

    Menu = menuBar();
    FileMenuItem = AddSubmenu(QStringLiteral("File"), nullptr, nullptr);
    FileMenuSeparator = AddSeparator(FileMenuItem, nullptr);
    ExitMenuItem =
        AddMenuItem(QStringLiteral("Exit"), QKeySequence(), nullptr, FileMenuItem, -1, [this] { close(); });
    ExitMenuItem->setMenuRole(QAction::QuitRole);
    ViewMenuItem = AddSubmenu(QStringLiteral("View"), nullptr, nullptr);
    ToolbarsMenuItem = AddSubmenu(QStringLiteral("Toolbars"), ViewMenuItem, nullptr);
    ViewMenuSeparator = AddSeparator(ViewMenuItem, nullptr);
    LanguageMenuItem = AddSubmenu(QStringLiteral("Language"), ViewMenuItem, nullptr);
    HelpMenuItem = AddSubmenu(QStringLiteral("Help"), nullptr, nullptr);
    StatusBar = statusBar();
    m_hint = new QLabel(StatusBar);
    m_hint->setObjectName(QStringLiteral("HintLabel"));
    m_hint->setVisible(false);
    StatusBar->addWidget(m_hint, 1);

    // The client area shows the workspace colour until the editor puts its view there.
    auto* workspace = new QWidget(this);
    workspace->setAutoFillBackground(true);
    QPalette palette = workspace->palette();
    palette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    workspace->setPalette(palette);
    setCentralWidget(workspace);
}

TMainForm::~TMainForm()
{
    if (MainForm == this)
        MainForm = nullptr;
}

TQpImageList* TMainForm::ToolbarImages() const
{
    return ToolbarImageList ? ToolbarImageList : m_defaultImages.get();
}

void TMainForm::SetImageIndex(QAction* item, int index)
{
    item->setProperty("imageIndex", index);
    item->setIcon(ToolbarImages()->Icon(index));
}

QAction* TMainForm::AddMenuItem(const QString& caption, const QKeySequence& shortcut, QAction* insertBefore,
                                QWidget* parent, int imageIndex, std::function<void()> click)
{
    if (!parent)
        parent = Menu;
    auto* item = new QAction(caption, parent);
    item->setShortcut(shortcut);
    SetImageIndex(item, imageIndex);
    if (click)
        connect(item, &QAction::triggered, this, [click = std::move(click)] { click(); });
    InsertInto(parent, insertBefore, item);
    return item;
}

QMenu* TMainForm::AddSubmenu(const QString& caption, QWidget* parent, QAction* insertBefore)
{
    if (!parent)
        parent = Menu;
    auto* submenu = new QMenu(caption, parent);
    InsertInto(parent, insertBefore, submenu->menuAction());
    return submenu;
}

QToolBar* TMainForm::AddToolbar(const QString& caption)
{
    auto* toolbar = new QToolBar(caption, this);
    toolbar->setObjectName(caption);
    toolbar->setIconSize(ToolbarImages()->ImageSize());
    addToolBar(TopDock, toolbar);
    auto* toggle = new QAction(caption, ToolbarsMenuItem);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    connect(toggle, &QAction::triggered, toolbar, &QToolBar::setVisible);
    connect(toolbar, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
    ToolbarsMenuItem->addAction(toggle);
    m_toolbarToggles.emplace_back(toggle, toolbar);
    return toolbar;
}

QAction* TMainForm::AddToolbarButton(QWidget* toolbar, QAction* insertBefore, const QString& caption,
                                     int imageIndex, std::function<void()> click)
{
    auto* item = new QAction(caption, toolbar);
    item->setToolTip(caption);
    SetImageIndex(item, imageIndex);
    if (click)
        connect(item, &QAction::triggered, this, [click = std::move(click)] { click(); });
    InsertInto(toolbar, insertBefore, item);
    return item;
}

QAction* TMainForm::AddSeparator(QWidget* parent, QAction* insertBefore, int size)
{
    if (!parent)
        parent = Menu;
    auto* separator = new QAction(parent);
    separator->setSeparator(true);
    separator->setProperty("separatorSize", size);
    InsertInto(parent, insertBefore, separator);
    return separator;
}

QDockWidget* TMainForm::CreateDockablePanel()
{
    auto* panel = new QDockWidget(this);
    return panel;
}

int TMainForm::LoadToolbarImage(const QString& name)
{
    const QString path = QStringLiteral(":/icons/tools/%1.png").arg(name);
    if (!QFileInfo::exists(path))
        return -1;
    QIcon icon(path);
    const QString retina = QStringLiteral(":/icons/tools/%1@2x.png").arg(name);
    if (QFileInfo::exists(retina))
        icon.addFile(retina);
    if (icon.isNull())
        return -1;
    return ToolbarImages()->Add(icon);
}

void TMainForm::Localize()
{
    Menu->setWindowTitle(LocalizedString(161));
    FileMenuItem->setTitle(LocalizedString(10, QStringLiteral("&File")));
    ExitMenuItem->setText(LocalizedString(23, QStringLiteral("E&xit")));
    ViewMenuItem->setTitle(LocalizedString(34, QStringLiteral("&View")));
    ToolbarsMenuItem->setTitle(LocalizedString(163, QStringLiteral("&Toolbars")));
    LanguageMenuItem->setTitle(LocalizedString(41, QStringLiteral("&Language")));
    HelpMenuItem->setTitle(LocalizedString(46, QStringLiteral("&Help")));
    if (Localizer) {
        for (QAction* item : LanguageMenuItem->actions()) {
            const int id = item->data().toInt();
            item->setChecked(id == Localizer->CurrentLanguage());
            QString name = item->text();
            Localizer->LanguageName(id, name);
            item->setText(name);
        }
    }
    // The toolbars relabel themselves in their own Localize, which may run after this one.
    if (QpApplication)
        QpApplication->PostDeferredCall(MakeMethod<&TMainForm::RefreshToolbarToggles>(this), this);
}

void TMainForm::RefreshToolbarToggles()
{
    for (auto& [toggle, toolbar] : m_toolbarToggles)
        toggle->setText(toolbar->windowTitle());
}

void TMainForm::BuildLanguageMenu()
{
    LanguageMenuItem->clear();
    if (!Localizer)
        return;
    auto* group = new QActionGroup(LanguageMenuItem);
    for (const auto& language : Localizer->Languages()) {
        auto* item = new QAction(language->Name, LanguageMenuItem);
        item->setData(language->Identifier);
        item->setCheckable(true);
        item->setChecked(language->Identifier == Localizer->CurrentLanguage());
        group->addAction(item);
        const int id = language->Identifier;
        connect(item, &QAction::triggered, this, [id] { SetLanguage(id); });
        LanguageMenuItem->addAction(item);
    }
}

void TMainForm::Connect()
{
    BuildLanguageMenu();
    TQpFormOf<QMainWindow>::Connect();
}

TMainForm::Placement TMainForm::SavePlacement() const
{
    Placement block{};
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    StoreLE32(block.data() + 0, 44);
    StoreLE32(block.data() + 4, 0);
    StoreLE32(block.data() + 8, isMaximized() ? kShowMaximized : kShowNormal);
    StoreLE32(block.data() + 12, -1);
    StoreLE32(block.data() + 16, -1);
    StoreLE32(block.data() + 20, -1);
    StoreLE32(block.data() + 24, -1);
    StoreLE32(block.data() + 28, normal.left());
    StoreLE32(block.data() + 32, normal.top());
    StoreLE32(block.data() + 36, normal.left() + normal.width());
    StoreLE32(block.data() + 40, normal.top() + normal.height());
    return block;
}

bool TMainForm::RestorePlacement(const Placement& block)
{
    if (LoadLE32(block.data() + 0) != 44)
        return false;
    const int left = LoadLE32(block.data() + 28);
    const int top = LoadLE32(block.data() + 32);
    const qint64 width = qint64{LoadLE32(block.data() + 36)} - left;
    const qint64 height = qint64{LoadLE32(block.data() + 40)} - top;
    if (width < 1 || height < 1 || width > 100000 || height > 100000)
        return false;
    QRect rect(left, top, static_cast<int>(width), static_cast<int>(height));

    // A monitor that was unplugged since must not leave the window out of sight.
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        rect.setWidth(std::min(rect.width(), available.width()));
        rect.setHeight(std::min(rect.height(), available.height()));
        if (!available.intersects(rect) || !QGuiApplication::screenAt(rect.center()))
            rect.moveTopLeft(available.topLeft());
    }
    setGeometry(rect);
    // A minimised window comes back normal: restored minimised it would have no view to show.
    const int show = LoadLE32(block.data() + 8);
    if (show == kShowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    else
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    return true;
}

void TMainForm::SetHint(const QString& text)
{
    if (m_hint->text() == text)
        return;
    m_hint->setText(text);
    m_hint->setVisible(!text.isEmpty());
}

QString TMainForm::Hint() const
{
    return m_hint->text();
}

void TMainForm::ShowStatusMessage(const QString& text)
{
    StatusBar->showMessage(text, 6000);
}

void TMainForm::LoadSettings(TQpSDFReader& reader)
{
    if (!reader.EnterNode(1, kSectionGuid))
        return;
    Placement block{};
    if (reader.ReadData(2, block.data(), block.size()))
        RestorePlacement(block);
    std::int32_t language = 0;
    if (reader.ReadInteger(1, language))
        SetLanguage(language & 0xFFFF);
    reader.LeaveNode();
}

void TMainForm::SaveSettings(TQpSDFWriter& writer)
{
    writer.WriteBeginNode(1, kSectionGuid);
    const Placement block = SavePlacement();
    writer.WriteData(2, block.data(), block.size());
    writer.WriteInteger(1, Localizer ? Localizer->CurrentLanguage() : 0);
    writer.WriteEndNode();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    DropFiles(event->mimeData()->urls());
}

void TMainForm::DropFiles(const QList<QUrl>& urls)
{
    // A long operation that processes messages still holds the open document.
    if (urls.isEmpty() || !urls.first().isLocalFile() || (QpApplication && QpApplication->Busy()))
        return;
    const QString fileName = urls.first().toLocalFile();
    if (FileDropHandler && QFileInfo(fileName).isFile())
        FileDropHandler(fileName);
}
