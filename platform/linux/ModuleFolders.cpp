#include "platform/LoadedLibrary.h"

#include <QCoreApplication>

#ifndef QUILLORY_MODULE_DIR
#define QUILLORY_MODULE_DIR ""
#endif

QStringList installedModuleFolders()
{
    QStringList folders { QCoreApplication::applicationDirPath()
        + QStringLiteral("/../lib/quillory") };
    if (const QString installed = QStringLiteral(QUILLORY_MODULE_DIR); !installed.isEmpty())
        folders.prepend(installed);
    return folders;
}
