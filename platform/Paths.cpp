#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace platform {

QString WithTrailingSlash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith('/'))
        return folder;
    return folder + '/';
}

QString ProgramFilePath()
{
    return QCoreApplication::applicationFilePath();
}

QString ProgramFolder()
{
    return WithTrailingSlash(QCoreApplication::applicationDirPath());
}

QString UserSettingsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString UserDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString UserStateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        const QString home = QDir::homePath();
        if (home.isEmpty())
            return {};
        base = home + QStringLiteral("/.local/state");
    }
    return base + QLatin1Char('/') + QCoreApplication::applicationName();
}

QString TempFolder()
{
    return QDir::tempPath();
}

} // namespace platform
