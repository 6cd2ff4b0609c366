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
    // A long-used data file: `lines` minutes from 1 January 2027 on, every
    // `liveEvery`-th holding `liveValue`, the rest cleared.
    static QByteArray longDataFile(int lines, int liveEvery, const QString &liveValue);

private:
    QTemporaryDir m_dir;
    AppPaths m_paths;
};
