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
    QStringList candidates { beside, QStringLiteral(QUILLORY_CHARACTERS_INSTALL_DIR) };
#ifdef QUILLORY_CHARACTERS_SOURCE_DIR
    // A build run from its own folder, never installed.
    candidates << QStringLiteral(QUILLORY_CHARACTERS_SOURCE_DIR);
#endif
    for (const QString &candidate : std::as_const(candidates)) {
        if (!folders.contains(candidate) && QDir(candidate).exists())
            folders << candidate;
    }
    return folders;
}
