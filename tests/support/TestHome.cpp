#include "tests/support/TestHome.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <csignal>

#include <sys/resource.h>

TestHome::TestHome()
{
    m_paths.programFolder = m_dir.path() + QStringLiteral("/program");
    m_paths.dataFolder = m_dir.path() + QStringLiteral("/data");
    m_paths.settingsFile = m_paths.dataFolder + QStringLiteral("/Calendar.ini");
    m_paths.cacheFolder = m_dir.path() + QStringLiteral("/cache");
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

QByteArray TestHome::longDataFile(int lines, int liveEvery, const QString &liveValue)
{
    QByteArray data = "[alarms]\r\n";
    for (int i = 0; i < lines; ++i) {
        const QDate d = QDate(2027, 1, 1).addDays(i / 1440);
        data += QStringLiteral("%1/%2/%3=%4\r\n")
                    .arg(i / 60 % 24, 2, 10, QLatin1Char('0'))
                    .arg(i % 60, 2, 10, QLatin1Char('0'))
                    .arg(d.toString(QStringLiteral("dd/MM/yyyy")),
                        i % liveEvery == 0 ? liveValue : QStringLiteral("nothing"))
                    .toLatin1();
    }
    return data;
}

FileSizeLimit::FileSizeLimit(long bytes)
{
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_previous = long(limit.rlim_cur);
    // Past the limit a write fails with EFBIG instead of ending the process.
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_previous);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_previousHandler);
}
