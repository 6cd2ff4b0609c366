#pragma once

#include "storage/AppPaths.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh home per test: data folder, settings file and program folder.
class TestHome
{
public:
    TestHome();
    const AppPaths &paths() const { return m_paths; }
    QString dataFile() const { return m_paths.dataFile(); }

    void writeData(const QByteArray &bytes) const;
    QByteArray readData() const;
    static QByteArray readFile(const QString &path);
    static void writeFile(const QString &path, const QByteArray &bytes);

private:
    QTemporaryDir m_dir;
    AppPaths m_paths;
};
