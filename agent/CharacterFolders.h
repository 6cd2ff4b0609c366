#pragma once

#include <QString>
#include <QStringList>

// The user's own character folder: below what the program calls the
// Windows folder (the data folder here), as every part of the program finds it.
QString userCharacterFolder(const QString &windowsFolder);

// Where characters are looked up, in order: the user's own folder first,
// then the ones shipped with the program (installed, or in the source tree
// for a build that was never installed).
QStringList characterFolders(const QString &userFolder);
