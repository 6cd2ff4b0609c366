#include "agent/CharacterFolders.h"

#include <QCoreApplication>
#include <QDir>

QString userCharacterFolder(const QString &windowsFolder)
{
    return windowsFolder + QStringLiteral("/msagent/chars");
}

QStringList characterFolders(const QString &userFolder)
{
    QStringList folders { userFolder };
    const QString beside = QDir(
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quillory/characters"))
                               .absolutePath();
    for (const QString &candidate : { beside, QStringLiteral(QUILLORY_CHARACTERS_INSTALL_DIR),
             QStringLiteral(QUILLORY_CHARACTERS_SOURCE_DIR) }) {
        if (!folders.contains(candidate) && QDir(candidate).exists())
            folders << candidate;
    }
    return folders;
}
