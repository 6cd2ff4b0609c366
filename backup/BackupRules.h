#pragma once

#include "storage/Backup.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The backup window's decisions: which file systems its drive list offers,
// and whether and how a backup is brought back over the data file. The
// backup file's name and path rule are storage/Backup.h's.
namespace backup {

// The data file a restore replaced stays beside it under this name.
inline constexpr const char *kBeforeRestoreSuffix = ".before-restore";

struct Volume
{
    QString rootPath;
    QString name; // the volume's label, when it has one
    QByteArray fileSystemType;
};

// The drives of the drive list: the root "/" first, then the others by
// path; file systems that hold no user files (proc, sysfs, tmpfs, snaps,
// ...) and repeats of a path are left out.
QList<Volume> driveList(const QList<Volume> &volumes);
// The mounted file systems as the system reports them, folders only.
QList<Volume> mountedVolumes();
// The drive text a list shows: the path, and the label when there is one.
QString driveCaption(const Volume &volume);
// Whether `folder` lies on the drive whose root is `root`.
bool liesOn(const QString &folder, const QString &root);
// The drive of `folder` among `drives`: the longest root path it lies under.
QString driveOf(const QString &folder, const QList<Volume> &drives);

// Whether `bytes` are a data file the program can read: one with a section
// "[alarms]" (as the INI engine finds sections, in any case and in UTF-16
// too) or nothing but blank lines.
bool isDataFile(const QByteArray &bytes);

enum class RestoreOutcome {
    Restored,
    NoBackup, // missing, a folder, or unreadable
    TooLarge,
    Refused, // a link, or another user's file: never read

    NotADataFile,
    NotWritten, // the data file or the copy of it could not be written
};

struct RestoreResult
{
    RestoreOutcome outcome = RestoreOutcome::NoBackup;
    QString error; // the reason, in words a user can read
};

// Replaces `dataFile` with the backup `backupFile` when it is a data file
// within the bound. The replaced data file is kept first as
// `dataFile` + kBeforeRestoreSuffix; both writes are atomic, so on any
// failure the data file is as it was.
RestoreResult restoreFrom(const QString &backupFile, const QString &dataFile);

// What the user is told when a backup could not be brought back for a
// reason of ours (too large, a link or another user's file, not a data
// file); the other failures get the restore's own message.
QString refusedRestoreText(
    const QString &backupFile, RestoreOutcome outcome, const QString &reason = {});
// What the user is told when a backup could not be written; a data file
// over the bound is told in the restore's words.
QString failedBackupText(const QString &backupFile, const QString &reason);
QString tooLargeBackupText(const QString &dataFile);

} // namespace backup
