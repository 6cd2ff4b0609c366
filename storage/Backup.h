#pragma once

#include <QString>

// The backup copy of the data file: always "calendar.cal" in a folder.
namespace backup {

inline constexpr const char *kBackupName = "calendar.cal";

// The backup file in `folder`: a folder that already ends in a separator (a
// drive's or the file system's root) takes the name directly.
QString backupFile(const QString &folder);

// Copies `from` onto `to`, replacing it atomically; false (and `to` as it
// was, the reason in `error`) on any failure. A missing source is a failure.
bool copyReplacing(const QString &from, const QString &to, QString *error = nullptr);

// The copy the calendar makes when it exits, if asked to. An empty folder
// is skipped rather than written wherever the program happens to run.
bool automaticBackup(const QString &dataFile, const QString &folder);

} // namespace backup
