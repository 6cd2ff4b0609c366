#include "platform/linux/LocalFiles.h"

#include "platform/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QStringList LocalFiles::fileNames(const QString &folder) const
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

bool LocalFiles::isRunningProgram(const QString &path) const
{
    const QString running = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString candidate = QFileInfo(path).canonicalFilePath();
    // A file that cannot be resolved is not known to be something else:
    // it is kept.
    return candidate.isEmpty() || candidate == running;
}

bool LocalFiles::remove(const QString &path)
{
    QFile file(path);
    if (file.remove())
        return true;
    qCWarning(lcPlatform).noquote() << "could not remove" << path << ":" << file.errorString();
    return false;
}
