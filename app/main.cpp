// Velmora: cut an object out of a photograph.

#include "app/ModuleCreation.h"
#include "documents/QpEditor.h"
#include "framework/CommonDataModule.h"
#include "framework/Localizer.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "framework/WidgetMap.h"
#include "platform/Languages.h"
#include "platform/Paths.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>
#include <clocale>
#include <memory>

int main(int argc, char** argv)
{
    QApplication platformApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    // Qt adopts the user's locale for the C library too; numbers in settings, scripts and
    // files must read the same in every language.
    std::setlocale(LC_NUMERIC, "C");

    TQpApplication application;
    TQpLocalizer localizer(platform::ProgramFolder(), platform::UserDefaultLanguageId());

    application.Initialize();
    application.SetTitle(QStringLiteral("Velmora"));
    TCommonDataModule* commonDataModule = nullptr;
    application.CreateForm(commonDataModule);
    TModule* module = nullptr;
    application.CreateForm(module);

    // Nobody is there to answer when the session ends: the work goes into recovery copies, every
    // question answers itself, and every modal loop ends with the main one. The settings are written as
    // Run returns.
    platform::CloseOnTerminationSignals([] {
        if (QpEditor)
            QpEditor->WriteRecoveryCopies();
        framework::SetClosingDown(true);
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                dialog->reject();
        QCoreApplication::exit(QpEditor && QpEditor->PlugInMode() ? -1 : 0);
    });
    // Test drivers find the buttons through this map; it costs nothing unless asked for.
    const std::unique_ptr<TWidgetMap> widgetMap = TWidgetMap::FromEnvironment();
    int exitCode = application.Run();
    // The editor decides the code: in plug-in mode it tells the host whether the image came back.
    if (QpEditor)
        exitCode = QpEditor->ExitCode();
    // Modules go first; they still unregister from the localizer and the idle list.
    application.DestroyComponents();
    return exitCode;
}
