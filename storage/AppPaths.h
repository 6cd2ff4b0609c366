#pragma once

#include <QString>

// Where the program finds its files. On Windows the data file sits in the
// program folder; here it lives in the user's data folder so that the
// program folder can stay read-only.
struct AppPaths
{
    QString programFolder; // the running executable's folder
    QString dataFolder; // data.ini, the single-instance lock, msagent/chars
    QString settingsFile; // Calendar.ini
    QString cacheFolder; // downloads: kept apart from the data

    QString dataFile() const { return dataFolder + QStringLiteral("/data.ini"); }
    // Announcements shown but not yet acknowledged, kept across restarts.
    QString pendingFile() const { return dataFolder + QStringLiteral("/pending.txt"); }
    // The scheduler's last minute handled and its writes still to be made.
    QString schedulerFile() const { return dataFolder + QStringLiteral("/quillory.minute"); }
    // What was shown today, and the mark a restart of the program's own leaves.
    QString shownFile() const { return dataFolder + QStringLiteral("/shown-today.txt"); }
    QString restartMarkFile() const { return dataFolder + QStringLiteral("/restarting"); }
    // What the program calls the Windows folder: characters live below it
    // (userCharacterFolder() of agent/CharacterFolders.h).
    QString windowsFolder() const { return dataFolder; }
    // Downloaded updates, in a folder of their own only this user can enter.
    QString updateFolder() const { return cacheFolder + QStringLiteral("/updates"); }
    // A program of ours: beside the running one (a build, an unpacked
    // folder), else where the package puts its helpers (libexec), else its
    // commands (bin); the first place when it is nowhere.
    QString program(const QString &name) const;

    // $QUILLORY_HOME holds data, settings and the cache when set (an isolated home for
    // trying the program and for tests); otherwise the per-user folders.
    static AppPaths fromEnvironment(const QString &programFolder);
    // The user's configuration folder: $XDG_CONFIG_HOME, else ~/.config.
    static QString configHome();
};
