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

// While alive, files this process writes cannot grow past `bytes`: the
// failure a full disk gives, with any privileges. Reads are not affected.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    long m_previous = -1;
    void (*m_previousHandler)(int) = nullptr;
};
