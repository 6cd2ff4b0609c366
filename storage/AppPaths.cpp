#include "storage/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

AppPaths AppPaths::fromEnvironment(const QString &programFolder)
{
    AppPaths paths;
    paths.programFolder = programFolder;
    const QString home = qEnvironmentVariable("QUILLORY_HOME");
    if (!home.isEmpty()) {
        paths.dataFolder = QDir(home).absolutePath();
        paths.settingsFile = paths.dataFolder + QStringLiteral("/Calendar.ini");
        paths.cacheFolder = paths.dataFolder + QStringLiteral("/cache");
    } else {
        paths.dataFolder = QDir::homePath() + QStringLiteral("/.local/share/Quillory");
        const QString xdgData = qEnvironmentVariable("XDG_DATA_HOME");
        if (!xdgData.isEmpty())
            paths.dataFolder = xdgData + QStringLiteral("/Quillory");
        paths.settingsFile = configHome() + QStringLiteral("/Quillory/Calendar.ini");
        const QString xdgCache = qEnvironmentVariable("XDG_CACHE_HOME");
        paths.cacheFolder
            = (xdgCache.isEmpty() ? QDir::homePath() + QStringLiteral("/.cache") : xdgCache)
            + QStringLiteral("/Quillory");
    }
    return paths;
}

QString AppPaths::program(const QString &name) const
{
    QString beside = programFolder + QLatin1Char('/') + name;
    for (const QString &folder :
        { programFolder, QStringLiteral(QUILLORY_LIBEXEC_DIR), QStringLiteral(QUILLORY_BIN_DIR) }) {
        QString path = folder + QLatin1Char('/') + name;
        if (QFileInfo(path).isExecutable())
            return path;
    }
    return beside;
}

QString AppPaths::configHome()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return config.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : config;
}
