#include "platform/linux/SystemClock.h"

#include <QEventLoop>
#include <QTimer>

SystemClock::SystemClock()
{
    m_started.start();
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::monotonicMs() const
{
    return m_started.elapsed();
}

void SystemClock::processEventsFor(int ms)
{
    // A local loop sleeps until an event or the deadline instead of spinning.
    QEventLoop loop;
    QTimer::singleShot(qMax(0, ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
