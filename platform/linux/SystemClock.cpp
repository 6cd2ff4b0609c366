#include "platform/linux/SystemClock.h"

#include <QEventLoop>
#include <QTimer>

namespace {

class QtTimer final : public Clock::Timer
{
public:
    QtTimer(std::function<void()> timeout, bool repeat)
    {
        // Animation and speech tick on it: a coarse timer would make them jerk.
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setSingleShot(!repeat);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(timeout));
    }
    void start(int ms) override { m_timer.start(qMax(0, ms)); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

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

std::unique_ptr<Clock::Timer> SystemClock::timer(std::function<void()> timeout, bool repeat)
{
    return std::make_unique<QtTimer>(std::move(timeout), repeat);
}
