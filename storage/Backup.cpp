#include "storage/Backup.h"

#include "storage/Logging.h"

#include <QFile>
#include <QSaveFile>

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
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size()
        || !target.commit()) {
        qCWarning(lcStorage) << "cannot write" << to << target.errorString();
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
