#pragma once

#include <QStringList>

// Where characters are looked up, in order: the user's own folder first,
// then the ones shipped with the program (installed, or in the source tree
// for a build that was never installed).
QStringList characterFolders(const QString &userFolder);
