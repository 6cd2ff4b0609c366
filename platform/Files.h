#pragma once

#include <QString>
#include <QStringList>

// Files on disk that the program tidies up itself.
class Files
{
public:
    virtual ~Files() = default;
    // The names of the plain files in `folder`; empty when it cannot be read.
    virtual QStringList fileNames(const QString &folder) const = 0;
    // Whether `path` is the running program's own file, under whatever name
    // or link it is reached.
    virtual bool isRunningProgram(const QString &path) const = 0;
    virtual bool remove(const QString &path) = 0;
};
