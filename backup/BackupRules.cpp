#include "backup/BackupRules.h"

#include "storage/AtomicFile.h"
#include "storage/Backup.h"
#include "storage/IniEngine.h"
#include "storage/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

namespace backup {

namespace {

bool holdsNoUserFiles(const Volume &v)
{
    static const QSet<QByteArray> pseudo { "proc", "sysfs", "devtmpfs", "devpts", "tmpfs", "ramfs",
        "cgroup", "cgroup2", "securityfs", "pstore", "bpf", "tracefs", "debugfs", "mqueue",
        "hugetlbfs", "configfs", "fusectl", "autofs", "binfmt_misc", "efivarfs", "nsfs",
        "rpc_pipefs", "squashfs", "fuse.portal", "fuse.gvfsd-fuse" };
    if (pseudo.contains(v.fileSystemType))
        return true;
    for (const char *system : { "/proc", "/sys", "/dev", "/run/user", "/snap" }) {
        const QString prefix = QLatin1String(system);
        if (v.rootPath == prefix || v.rootPath.startsWith(prefix + QLatin1Char('/')))
            return true;
    }
    return false;
}

} // namespace

bool liesOn(const QString &folder, const QString &root)
{
    if (root.isEmpty())
        return false;
    if (root.endsWith(QLatin1Char('/')))
        return folder.startsWith(root) || folder + QLatin1Char('/') == root;
    return folder == root || folder.startsWith(root + QLatin1Char('/'));
}

QList<Volume> driveList(const QList<Volume> &volumes)
{
    QList<Volume> drives;
    QSet<QString> seen;
    for (const Volume &v : volumes) {
        if (v.rootPath.isEmpty() || seen.contains(v.rootPath))
            continue;
        // The root is always offered, whatever it is mounted as.
        if (v.rootPath != QLatin1String("/") && holdsNoUserFiles(v))
            continue;
        seen.insert(v.rootPath);
        drives.append(v);
    }
    if (!seen.contains(QStringLiteral("/")))
        drives.append(Volume { QStringLiteral("/"), {}, {} });
    std::stable_sort(drives.begin(), drives.end(), [](const Volume &a, const Volume &b) {
        const bool aRoot = a.rootPath == QLatin1String("/");
        const bool bRoot = b.rootPath == QLatin1String("/");
        if (aRoot != bRoot)
            return aRoot;
        return a.rootPath < b.rootPath;
    });
    return drives;
}

QList<Volume> mountedVolumes()
{
    QList<Volume> volumes;
    const auto mounted = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &s : mounted) {
        // Single files bound into place (a container's /etc/hosts) are no drives.
        if (!s.isValid() || !s.isReady() || !QFileInfo(s.rootPath()).isDir())
            continue;
        volumes.append(Volume { s.rootPath(), s.name(), s.fileSystemType() });
    }
    return volumes;
}

QString driveCaption(const Volume &volume)
{
    if (volume.name.isEmpty())
        return volume.rootPath;
    return QStringLiteral("%1 [%2]").arg(volume.rootPath, volume.name);
}

QString driveOf(const QString &folder, const QList<Volume> &drives)
{
    QString best;
    for (const Volume &v : drives) {
        if (liesOn(folder, v.rootPath) && v.rootPath.size() > best.size())
            best = v.rootPath;
    }
    return best;
}

bool isDataFile(const QByteArray &bytes)
{
    // Section names as the lookups see them, NUL-separated.
    const ini::ReadResult sections = ini::readString(
        bytes, std::nullopt, std::nullopt, QByteArray(), quint32(bytes.size() + 2));
    for (const QByteArray &name : sections.text.split('\0')) {
        if (name.compare("alarms", Qt::CaseInsensitive) == 0)
            return true;
    }
    const QByteArray text = ini::ansiText(bytes);
    for (const QByteArray &line : text.split('\n')) {
        if (!line.trimmed().isEmpty())
            return false;
    }
    return true;
}

RestoreResult restoreFrom(const QString &backupFile, const QString &dataFile)
{
    // A backup folder may be shared: a link or another user's file there is
    // not the user's backup, whatever its name.
    storage::ReadRules rules;
    rules.refuseLinks = true;
    rules.refuseForeign = true;
    rules.maxBytes = kMaxDataFileBytes;
    const storage::FileRead read = storage::readRegularFile(backupFile, rules);
    switch (read.status) {
    case storage::ReadStatus::Read:
        break;
    case storage::ReadStatus::TooLarge:
        return { RestoreOutcome::TooLarge, read.error };
    case storage::ReadStatus::Link:
    case storage::ReadStatus::Foreign:
        return { RestoreOutcome::Refused, read.error };
    case storage::ReadStatus::Missing:
    case storage::ReadStatus::NotRegular:
    case storage::ReadStatus::Failed:
        return { RestoreOutcome::NoBackup, read.error };
    }
    const QByteArray &bytes = read.bytes;
    if (!isDataFile(bytes))
        return { RestoreOutcome::NotADataFile,
            QStringLiteral("%1 holds no appointments section").arg(backupFile) };

    QString error;
    if (QFileInfo::exists(dataFile)
        && !copyReplacing(dataFile, dataFile + QLatin1String(kBeforeRestoreSuffix), &error))
        return { RestoreOutcome::NotWritten, error };
    if (!writeFileAtomically(dataFile, bytes, &error))
        return { RestoreOutcome::NotWritten, error };
    return { RestoreOutcome::Restored, {} };
}

namespace {

QString tooLargeWords(const QString &file)
{
    return QStringLiteral("%1 is too large to be a backup of your appointments (more than %2 MB)")
        .arg(QDir::toNativeSeparators(file))
        .arg(kMaxDataFileBytes / (1024 * 1024));
}

} // namespace

QString refusedRestoreText(const QString &backupFile, RestoreOutcome outcome, const QString &reason)
{
    if (outcome == RestoreOutcome::TooLarge) {
        return QStringLiteral("%1, so it was not restored. Your appointments are as they were.")
            .arg(tooLargeWords(backupFile));
    }
    if (outcome == RestoreOutcome::Refused) {
        return QStringLiteral("%1 was not restored: %2. Your appointments are as they were.")
            .arg(QDir::toNativeSeparators(backupFile), reason);
    }
    return QStringLiteral("%1 is not a backup of your appointments, so it was not restored. "
                          "Your appointments are as they were.")
        .arg(QDir::toNativeSeparators(backupFile));
}

QString failedBackupText(const QString &backupFile, const QString &reason)
{
    return QStringLiteral("Your appointments could not be backed up to %1 (%2). Please choose "
                          "another folder.")
        .arg(QDir::toNativeSeparators(backupFile), reason);
}

QString tooLargeBackupText(const QString &dataFile)
{
    return QStringLiteral("%1, so it was not backed up.").arg(tooLargeWords(dataFile));
}

} // namespace backup
