#include "app/ModuleCreation.h"

#include "framework/CommonDataModule.h"
#include "framework/MainForm.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"

#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>

namespace {

void CreateCoreModules()
{
    ToolbarImageList = &CommonDataModule->ToolbarImages;

    // The image editor creates the main window; until it exists the window is made here.
    TMainForm* mainForm = nullptr;
    QpApplication->CreateForm(mainForm);

    // The editor's Standard toolbar, until the editor makes it.
    MainForm->AddToolbar(QStringLiteral("Standard"));

    TQpToolPanelModule* toolPanel = nullptr;
    QpApplication->CreateModule(toolPanel);
    toolPanel->SetWrap();

    auto* bar = new QProgressBar(MainForm->StatusBar);
    bar->setTextVisible(false);
    bar->setFixedWidth(200);
    MainForm->StatusBar->addPermanentWidget(bar);
    CommonDataModule->ProgressMeterOwner = std::make_unique<TProgressMeter>(bar);
    ProgressMeter = CommonDataModule->ProgressMeterOwner.get();
    ProgressMeter->Start(0);
}

} // namespace

TModule::TModule()
{
    if (QpApplication)
        QpApplication->AddComponent(this, nullptr);
    CreateCoreModules();
}

TModule::~TModule()
{
    if (QpApplication)
        QpApplication->RemoveComponent(this);
}
