#include "app/ModuleCreation.h"

#include "app/ToolTable.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsTool.h"
#include "documents/QpGraphicsView.h"
#include "framework/CommonDataModule.h"
#include "framework/MainForm.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>

namespace {

void CreateCoreModules()
{
    ToolbarImageList = &CommonDataModule->ToolbarImages;

    // The image editor creates the main window, its commands, the Standard toolbar and the hand tool.
    TQpGraphicsEditor* editor = nullptr;
    QpApplication->CreateModule(editor);
    editor->DemonstrationFolder =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Demo")) + QLatin1Char('/');

    MainForm->SetImageIndex(editor->NextImageButton, 15);
    MainForm->SetImageIndex(editor->PrevImageButton, 14);
    MainForm->SetImageIndex(editor->ZoomInButton, 10);
    MainForm->SetImageIndex(editor->ZoomInMenuItem, 10);
    MainForm->SetImageIndex(editor->ZoomOutButton, 11);
    MainForm->SetImageIndex(editor->ZoomOutMenuItem, 11);
    MainForm->SetImageIndex(editor->ActualSizeButton, 12);
    MainForm->SetImageIndex(editor->ActualSizeMenuItem, 12);
    MainForm->SetImageIndex(editor->ScaleToBestFitButton, 13);
    MainForm->SetImageIndex(editor->ScaleToBestFitMenuItem, 13);

    TQpToolPanelModule* toolPanel = nullptr;
    QpApplication->CreateModule(toolPanel);
    toolPanel->SetWrap();

    MainForm->AddSeparator(editor->StandardToolbar, nullptr);

    auto* bar = new QProgressBar(MainForm->StatusBar);
    bar->setTextVisible(false);
    bar->setFixedWidth(200);
    MainForm->StatusBar->addPermanentWidget(bar);
    CommonDataModule->ProgressMeterOwner = std::make_unique<TProgressMeter>(bar);
    ProgressMeter = CommonDataModule->ProgressMeterOwner.get();
    ProgressMeter->Start(0);

    for (const TToolEntry& entry : ToolTable()) {
        TQpGraphicsTool* tool = entry.Create();
        if (tool->Button)
            MainForm->SetImageIndex(tool->Button, entry.ToolbarImage);
        if (entry.ActivateOnCreation)
            editor->SetActiveTool(tool);
    }
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
