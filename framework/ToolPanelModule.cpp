#include "framework/ToolPanelModule.h"

#include "core/LittleEndian.h"
#include "core/QpGuid.h"
#include "core/QpSDF.h"
#include "framework/FlowToolBar.h"
#include "framework/Localizer.h"
#include "framework/MainForm.h"
#include "framework/QpImageList.h"

#include <QAction>
#include <QDockWidget>
#include <QEvent>
#include <QMenu>
#include <QScrollArea>
#include <QVBoxLayout>

TQpToolPanelModule* QpToolPanelModule = nullptr;

namespace {
constexpr TQpGuid kSectionGuid = *TQpGuid::Parse("{9FC124C8-2014-4832-8878-3489538D623F}");
constexpr int kInitialWidth = 200;
constexpr std::uint8_t kSideTop = 0;
constexpr std::uint8_t kSideBottom = 1;
constexpr std::uint8_t kSideLeft = 2;
constexpr std::uint8_t kSideRight = 3;

} // namespace

TQpToolFrame::TQpToolFrame(QWidget* parent) : TQpFrame(parent)
{
    Toolbar = new TQpFlowToolBar(this);
    if (ToolbarImageList)
        Toolbar->SetIconSize(ToolbarImageList->ImageSize());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 3, 0, 3);
    layout->addWidget(Toolbar);
    Toolbar->installEventFilter(this);
}

bool TQpToolFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Toolbar && event->type() == QEvent::Resize)
        setFixedHeight(Toolbar->heightForWidth(Toolbar->width()) + 6);
    return TQpFrame::eventFilter(watched, event);
}

TQpToolPanelModule::TQpToolPanelModule()
{
    if (!QpToolPanelModule)
        QpToolPanelModule = this;
    Panel = MainForm->CreateDockablePanel();
    Panel->setObjectName(QStringLiteral("ToolPanel"));
    Panel->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    Panel->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetClosable);

    auto* content = new QWidget(Panel);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(0);
    ToolFrame = new TQpToolFrame(content);
    layout->addWidget(ToolFrame);
    Toolbar = ToolFrame->Toolbar;

    auto* scroll = new QScrollArea(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_frameHost = new QWidget(scroll);
    m_frameLayout = new QVBoxLayout(m_frameHost);
    m_frameLayout->setContentsMargins(0, 0, 0, 0);
    m_frameLayout->addStretch(1);
    scroll->setWidget(m_frameHost);
    layout->addWidget(scroll, 1);
    Panel->setWidget(content);

    MainForm->addDockWidget(TMainForm::RightMultiDock, Panel);
    MainForm->resizeDocks({Panel}, {kInitialWidth}, Qt::Horizontal);

    VisibleMenuItem = new QAction(Panel);
    VisibleMenuItem->setCheckable(true);
    MainForm->ViewMenuItem->insertAction(MainForm->ToolbarsMenuItem->menuAction(), VisibleMenuItem);
    QObject::connect(VisibleMenuItem, &QAction::triggered, this,
                     [this] { SetPanelVisible(!PanelVisible()); });
}

TQpToolPanelModule::~TQpToolPanelModule()
{
    if (QpToolPanelModule == this)
        QpToolPanelModule = nullptr;
}

void TQpToolPanelModule::AddOptionFrame(QWidget* frame)
{
    frame->setParent(m_frameHost);
    m_frameLayout->insertWidget(m_frameLayout->count() - 1, frame);
}

void TQpToolPanelModule::SetPanelVisible(bool value)
{
    Panel->setVisible(value);
}

bool TQpToolPanelModule::PanelVisible() const
{
    return !Panel->isHidden();
}

void TQpToolPanelModule::SetPanelWidth(int width)
{
    if (width < m_minClientWidth)
        return;
    m_minClientWidth = width;
    Panel->widget()->setMinimumWidth(width);
    Panel->widget()->setMaximumWidth(width);
    if (MainForm)
        MainForm->resizeDocks({Panel}, {width}, Qt::Horizontal);
}

void TQpToolPanelModule::SetWrap()
{
    // The flow toolbar always wraps; nothing else to switch.
}

void TQpToolPanelModule::Localize()
{
    Panel->setWindowTitle(LocalizedString(176, QStringLiteral("Tools")));
    VisibleMenuItem->setText(LocalizedString(176, QStringLiteral("Tools")));
}

void TQpToolPanelModule::UpdateControls()
{
    VisibleMenuItem->setChecked(PanelVisible());
}

TQpToolPanelModule::PanelState TQpToolPanelModule::SavePanelState() const
{
    PanelState record{};
    StoreLE32(record.data() + 0, 47);
    record[4] = PanelVisible() ? 1 : 0;
    record[5] = 0;
    std::uint8_t side = kSideRight;
    if (MainForm) {
        switch (MainForm->dockWidgetArea(Panel)) {
        case Qt::LeftDockWidgetArea:
            side = kSideLeft;
            break;
        case Qt::TopDockWidgetArea:
            side = kSideTop;
            break;
        case Qt::BottomDockWidgetArea:
            side = kSideBottom;
            break;
        default:
            side = kSideRight;
            break;
        }
    }
    record[22] = side;
    StoreLE32(record.data() + 23, 0);
    StoreLE32(record.data() + 27, 0);
    StoreLE32(record.data() + 31, Panel->width());
    StoreLE32(record.data() + 35, Panel->height());
    StoreLE32(record.data() + 39, Panel->width());
    StoreLE32(record.data() + 43, Panel->height());
    return record;
}

void TQpToolPanelModule::RestorePanelState(const PanelState& record)
{
    if (LoadLE32(record.data() + 0) != 47)
        return;
    SetPanelVisible(record[4] != 0);
    // The panel cannot float; a stored floating state keeps it docked where it is.
    if (record[5] != 0 || !MainForm)
        return;
    // A side no dock of this window has (a damaged or foreign file) keeps the default dock.
    Qt::DockWidgetArea area;
    switch (record[22]) {
    case kSideLeft:
        area = TMainForm::LeftMultiDock;
        break;
    case kSideRight:
        area = TMainForm::RightMultiDock;
        break;
    default:
        return;
    }
    MainForm->addDockWidget(area, Panel);
    const int width = LoadLE32(record.data() + 31);
    if (width > 0 && width < 10000)
        MainForm->resizeDocks({Panel}, {std::max(width, m_minClientWidth)}, Qt::Horizontal);
}

void TQpToolPanelModule::LoadSettings(TQpSDFReader& reader)
{
    if (!reader.EnterNode(1, kSectionGuid))
        return;
    PanelState record{};
    if (reader.ReadData(1, record.data(), record.size()))
        RestorePanelState(record);
    reader.LeaveNode();
}

void TQpToolPanelModule::SaveSettings(TQpSDFWriter& writer)
{
    writer.WriteBeginNode(1, kSectionGuid);
    const PanelState record = SavePanelState();
    writer.WriteData(1, record.data(), record.size());
    writer.WriteEndNode();
}
