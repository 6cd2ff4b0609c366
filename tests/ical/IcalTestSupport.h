#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <cstdlib>
#include <ctime>

// The iCalendar tests read their times in one zone, whatever the machine's.
inline void useBerlinTime()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

inline QByteArray icalData(const QString &name)
{
    QFile f(QStringLiteral(QUILLORY_SOURCE_DIR "/tests/data/ical/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Wall-clock minutes as the data file's keys are.
inline QDateTime wall(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

inline QDateTime localNow(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}
