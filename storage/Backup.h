#pragma once

#include <QString>

// The backup copy of the data file: always "calendar.cal" in a folder.
namespace backup {

inline constexpr const char *kBackupName = "calendar.cal";
// A data file larger than this is not one the program wrote: a long-used
// file of 100,000 lines is under 3 MB. Backup and restore both hold to it,
// so a backup is never made that its restore would refuse.
inline constexpr qint64 kMaxDataFileBytes = 32 * 1024 * 1024;

// The backup file in `folder`: a folder that already ends in a separator (a
// drive's or the file system's root) takes the name directly.
QString backupFile(const QString &folder);

enum class CopyOutcome {
    Copied,
    TooLarge, // the source is over kMaxDataFileBytes
    Refused, // the target is a link, not a file, or another user's
    Failed,
};

struct CopyResult
{
    CopyOutcome outcome = CopyOutcome::Failed;
    QString error; // the reason, in words a user can read
    bool ok() const { return outcome == CopyOutcome::Copied; }
};

// Copies the data file `from` onto `to`, leaving `to` as it was on any
// failure. The source must be a regular file within the bound; `to` is
// written as a fresh file renamed into place (storage/AtomicFile.h), so a
// link planted at `to` in a shared folder is refused and never followed. A
// missing source is a failure.
CopyResult copyDataFile(const QString &from, const QString &to);
// The same without the bound (the copy a restore keeps of the data file it
// replaces, however large).
bool copyReplacing(const QString &from, const QString &to, QString *error = nullptr);

// The copy the calendar makes when it exits, if asked to. An empty folder
// is skipped rather than written wherever the program happens to run.
bool automaticBackup(const QString &dataFile, const QString &folder);

} // namespace backup
