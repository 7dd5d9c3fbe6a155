#include "app/ModuleCreation.h"

#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsView.h"
#include "framework/CommonDataModule.h"
#include "framework/MainForm.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"
#include "tools/separation/SeparationTool.h"

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

    // The cut-out tool's cursors; the eyedropper and the plus and minus belong to other tools.
    const char* const cursors[] = {"Eyedropper", "Plus",        "Minus", "Fill",   "FillEmpty", "FillObject",
                                   "FillBG",     "FillUnknown", "Empty", "Object", "BG",        "Unknown"};
    for (int i = 0; i < 12; ++i)
        InstallApplicationCursor(i + 1, QLatin1String(cursors[i]));

    TQpSeparationTool* separation = nullptr;
    QpApplication->CreateModule(separation);
    if (separation->Button)
        MainForm->SetImageIndex(separation->Button, 71);
    editor->SetActiveTool(separation);
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
