#include "storage/Backup.h"

#include "storage/AtomicFile.h"
#include "storage/Logging.h"

#include <QFile>

namespace backup {

QString backupFile(const QString &folder)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + QLatin1String(kBackupName);
    return folder + QLatin1Char('/') + QLatin1String(kBackupName);
}

bool copyReplacing(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        qCWarning(lcStorage) << "cannot read" << from << source.errorString();
        return false;
    }
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return false;
    QString error;
    if (!writeFileAtomically(to, bytes, &error)) {
        qCWarning(lcStorage) << "cannot write" << to << error;
        return false;
    }
    qCInfo(lcStorage) << "copied" << from << "to" << to;
    return true;
}

bool automaticBackup(const QString &dataFile, const QString &folder)
{
    if (folder.isEmpty()) {
        qCWarning(lcStorage) << "automatic backup skipped: no backup folder chosen yet";
        return false;
    }
    return copyReplacing(dataFile, backupFile(folder));
}

} // namespace backup
