#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>

TestHome::TestHome()
{
    m_paths.programFolder = m_dir.path() + QStringLiteral("/program");
    m_paths.dataFolder = m_dir.path() + QStringLiteral("/data");
    m_paths.settingsFile = m_paths.dataFolder + QStringLiteral("/Calendar.ini");
    QDir().mkpath(m_paths.programFolder);
    QDir().mkpath(m_paths.dataFolder);
}

void TestHome::writeData(const QByteArray &bytes) const
{
    writeFile(dataFile(), bytes);
}

QByteArray TestHome::readData() const
{
    return readFile(dataFile());
}

QByteArray TestHome::readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TestHome::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}
