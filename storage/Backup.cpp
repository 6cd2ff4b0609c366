#include "storage/Backup.h"

#include "storage/AtomicFile.h"
#include "storage/Logging.h"
#include "storage/SafeFile.h"

#include <QFile>

namespace backup {

QString backupFile(const QString &folder)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + QLatin1String(kBackupName);
    return folder + QLatin1Char('/') + QLatin1String(kBackupName);
}

namespace {

CopyResult copy(const QString &from, const QString &to, qint64 maxBytes)
{
    storage::ReadRules rules;
    rules.maxBytes = maxBytes;
    const storage::FileRead source = storage::readRegularFile(from, rules);
    if (!source.ok()) {
        qCWarning(lcStorage).noquote() << "not copied:" << source.error;
        return { source.status == storage::ReadStatus::TooLarge ? CopyOutcome::TooLarge
                                                                : CopyOutcome::Failed,
            source.error };
    }
    QString why;
    if (!storage::isReplaceable(to, &why)) {
        qCWarning(lcStorage).noquote() << "not copied:" << why;
        return { CopyOutcome::Refused, why };
    }
    if (!writeFreshFile(to, source.bytes, &why)) {
        const QString error = QStringLiteral("cannot write %1: %2").arg(to, why);
        qCWarning(lcStorage).noquote() << error;
        return { CopyOutcome::Failed, error };
    }
    qCInfo(lcStorage) << "copied" << from << "to" << to;
    return { CopyOutcome::Copied, {} };
}

} // namespace

CopyResult copyDataFile(const QString &from, const QString &to)
{
    return copy(from, to, kMaxDataFileBytes);
}

bool copyReplacing(const QString &from, const QString &to, QString *error)
{
    const CopyResult result = copy(from, to, -1);
    if (!result.ok() && error)
        *error = result.error;
    return result.ok();
}

bool automaticBackup(const QString &dataFile, const QString &folder)
{
    if (folder.isEmpty()) {
        qCWarning(lcStorage) << "automatic backup skipped: no backup folder chosen yet";
        return false;
    }
    return copyDataFile(dataFile, backupFile(folder)).ok();
}

} // namespace backup
