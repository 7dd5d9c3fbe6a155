// Velmora: cut an object out of a photograph.

#include "app/ModuleCreation.h"
#include "framework/CommonDataModule.h"
#include "framework/Localizer.h"
#include "framework/QpApplication.h"
#include "platform/Languages.h"
#include "platform/Paths.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication platformApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setOrganizationName(QStringLiteral("Velmora"));

    TQpApplication application;
    TQpLocalizer localizer(platform::ProgramFolder(), platform::UserDefaultLanguageId());

    application.Initialize();
    application.SetTitle(QStringLiteral("Velmora"));
    TCommonDataModule* commonDataModule = nullptr;
    application.CreateForm(commonDataModule);
    TModule* module = nullptr;
    application.CreateForm(module);

    const int exitCode = application.Run();
    // Modules go first; they still unregister from the localizer and the idle list.
    application.DestroyComponents();
    return exitCode;
}
