#include "storage/AppPaths.h"

#include <QDir>
#include <QStandardPaths>

AppPaths AppPaths::fromEnvironment(const QString &programFolder)
{
    AppPaths paths;
    paths.programFolder = programFolder;
    const QString home = qEnvironmentVariable("QUILLORY_HOME");
    if (!home.isEmpty()) {
        paths.dataFolder = QDir(home).absolutePath();
        paths.settingsFile = paths.dataFolder + QStringLiteral("/Calendar.ini");
    } else {
        paths.dataFolder = QDir::homePath() + QStringLiteral("/.local/share/Quillory");
        const QString xdgData = qEnvironmentVariable("XDG_DATA_HOME");
        if (!xdgData.isEmpty())
            paths.dataFolder = xdgData + QStringLiteral("/Quillory");
        paths.settingsFile = configHome() + QStringLiteral("/Quillory/Calendar.ini");
    }
    return paths;
}

QString AppPaths::configHome()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return config.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : config;
}
