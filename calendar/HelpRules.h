#pragma once

#include <QString>
#include <QStringList>

// Which help page explains which window, and where the pages are.
namespace help {

// The page for a window, by the window's objectName; the calendar's own
// page for any window without one.
QString pageFor(const QString &windowName);

// The first of `candidates` that holds the pages' index, or the first
// candidate when none does (so a message can name where they belong).
QString helpFolder(const QStringList &candidates);

QString pageFile(const QString &folder, const QString &windowName);

} // namespace help
