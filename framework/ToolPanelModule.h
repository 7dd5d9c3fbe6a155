#pragma once
// The tool panel: a dockable panel on the right whose top holds the tool buttons (a
// TQpToolFrame) and whose body holds the option frame of the active tool.

#include "framework/QpModule.h"

#include <array>
#include <cstdint>

class QAction;
class QDockWidget;
class QVBoxLayout;
class TQpFlowToolBar;

class TQpToolFrame : public TQpFrame
{
public:
    explicit TQpToolFrame(QWidget* parent);
    TQpFlowToolBar* Toolbar = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TQpToolPanelModule : public TQpModuleWithControls
{
public:
    TQpToolPanelModule();
    ~TQpToolPanelModule() override;

    QAction* VisibleMenuItem = nullptr;
    QDockWidget* Panel = nullptr;
    TQpFlowToolBar* Toolbar = nullptr;
    TQpToolFrame* ToolFrame = nullptr;

    void SetPanelVisible(bool value);
    bool PanelVisible() const;
    // Grows the panel to `width` when that is at least its current minimum width, so the panel
    // keeps the largest width any tool asked for.
    void SetPanelWidth(int width);
    int PanelWidth() const { return m_minClientWidth; }
    void SetWrap();
    // The body below the buttons, where tools put their option frames.
    QWidget* FrameHost() const { return m_frameHost; }
    void AddOptionFrame(QWidget* frame);

    // The 47-byte panel state record: size 47 at 0, visible at 4, floating at 5, floating
    // x/y/width/height at 6/10/14/18, dock side at 22 (0 top, 1 bottom, 2 left, 3 right),
    // position, row, docked width/height, split width/height at 23/27/31/35/39/43.
    using PanelState = std::array<std::uint8_t, 47>;
    PanelState SavePanelState() const;
    void RestorePanelState(const PanelState& record);

    void Localize() override;
    void UpdateControls() override;
    void LoadSettings(TQpSDFReader& reader) override;
    void SaveSettings(TQpSDFWriter& writer) override;

private:
    QWidget* m_frameHost = nullptr;
    QVBoxLayout* m_frameLayout = nullptr;
    int m_minClientWidth = 0;
};

extern TQpToolPanelModule* QpToolPanelModule;
