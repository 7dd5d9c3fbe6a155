#pragma once
// The program's one top-level window: menu bar, toolbar areas on all four sides, dockable panels,
// status bar. It does not know the modules; it offers them operations to add menu items,
// toolbars, buttons and panels, and owns the Language menu, File > Exit and its saved placement.

#include "framework/QpModule.h"

#include <QMainWindow>
#include <QUrl>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QDockWidget;
class QMenu;
class QMenuBar;
class QLabel;
class QStatusBar;
class QToolBar;
class TQpImageList;

class TMainForm : public TQpFormOf<QMainWindow>
{
public:
    TMainForm();
    ~TMainForm() override;

    // Published components.
    QMenuBar* Menu = nullptr;
    QMenu* FileMenuItem = nullptr;
    QAction* FileMenuSeparator = nullptr;
    QAction* ExitMenuItem = nullptr;
    QMenu* ViewMenuItem = nullptr;
    QMenu* ToolbarsMenuItem = nullptr;
    QAction* ViewMenuSeparator = nullptr;
    QMenu* LanguageMenuItem = nullptr;
    QMenu* HelpMenuItem = nullptr;
    QStatusBar* StatusBar = nullptr;
    static constexpr Qt::ToolBarArea TopDock = Qt::TopToolBarArea;
    static constexpr Qt::ToolBarArea RightDock = Qt::RightToolBarArea;
    static constexpr Qt::ToolBarArea BottomDock = Qt::BottomToolBarArea;
    static constexpr Qt::ToolBarArea LeftDock = Qt::LeftToolBarArea;
    static constexpr Qt::DockWidgetArea TopMultiDock = Qt::TopDockWidgetArea;
    static constexpr Qt::DockWidgetArea RightMultiDock = Qt::RightDockWidgetArea;
    static constexpr Qt::DockWidgetArea LeftMultiDock = Qt::LeftDockWidgetArea;
    static constexpr Qt::DockWidgetArea BottomMultiDock = Qt::BottomDockWidgetArea;

    // Called with the first dropped file's full name when that file exists.
    std::function<void(const QString& fileName)> FileDropHandler;

    // A menu item in `parent` (the menu bar when null), before `insertBefore` when that item is in
    // the parent, else appended.
    QAction* AddMenuItem(const QString& caption, const QKeySequence& shortcut, QAction* insertBefore,
                         QWidget* parent, int imageIndex, std::function<void()> click);
    QMenu* AddSubmenu(const QString& caption, QWidget* parent, QAction* insertBefore);
    // A toolbar on the top dock with a visibility toggle in View > Toolbars.
    QToolBar* AddToolbar(const QString& caption);
    QAction* AddToolbarButton(QWidget* toolbar, QAction* insertBefore, const QString& caption, int imageIndex,
                              std::function<void()> click);
    // A separator in a menu or toolbar; on a wrapping toolbar a separator at least as wide as
    // the bar starts a new row.
    QAction* AddSeparator(QWidget* parent, QAction* insertBefore, int size = 0);
    QDockWidget* CreateDockablePanel();
    // Adds the image named `name` among the program's tool images to the toolbar images and
    // returns its index; -1 when there is none or it cannot be read.
    int LoadToolbarImage(const QString& name);
    TQpImageList* ToolbarImages() const;
    // Gives an item the image at `index` of the toolbar images (and remembers the index).
    void SetImageIndex(QAction* item, int index);

    // The 44-byte placement block: eleven little-endian int32 fields
    //   0 length (44), 4 flags, 8 show state (1 normal, 2 minimised, 3 maximised),
    //   12/16 minimised position x/y, 20/24 maximised position x/y,
    //   28/32/36/40 normal rectangle left/top/right/bottom (right and bottom excluded).
    using Placement = std::array<std::uint8_t, 44>;
    Placement SavePlacement() const;
    // Applies a block; a rectangle of no size is refused, one off every screen is moved onto the
    // nearest screen, and a minimised window comes back normal. False when the block is refused.
    bool RestorePlacement(const Placement& block);

    // The status bar's guidance for the current step; empty hides it. A message names what just
    // happened and covers the hint for a few seconds.
    void SetHint(const QString& text);
    QString Hint() const;
    void ShowStatusMessage(const QString& text);

    // What a drop of these files does: the handler gets the first one when it exists.
    void DropFiles(const QList<QUrl>& urls);

    void Localize() override;
    void Connect() override;
    void LoadSettings(TQpSDFReader& reader) override;
    void SaveSettings(TQpSDFWriter& writer) override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void RefreshToolbarToggles();
    void BuildLanguageMenu();

    std::unique_ptr<TQpImageList> m_defaultImages;
    QLabel* m_hint = nullptr;
    std::vector<std::pair<QAction*, QToolBar*>> m_toolbarToggles;
};

// The main window; null until the editor creates it.
extern TMainForm* MainForm;
