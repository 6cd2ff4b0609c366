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

bool copyReplacing(const QString &from, const QString &to, QString *error)
{
    const auto fail = [&](const QString &why) {
        qCWarning(lcStorage).noquote() << why;
        if (error)
            *error = why;
        return false;
    };
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(from, source.errorString()));
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read %1: %2").arg(from, source.errorString()));
    QString writeError;
    if (!writeFileAtomically(to, bytes, &writeError))
        return fail(QStringLiteral("cannot write %1: %2").arg(to, writeError));
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
