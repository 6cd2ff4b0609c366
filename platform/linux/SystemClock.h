#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

class SystemClock final : public Clock
{
public:
    SystemClock();
    QDateTime now() const override;
    qint64 monotonicMs() const override;
    void processEventsFor(int ms) override;
    std::unique_ptr<Timer> timer(std::function<void()> timeout, bool repeat) override;

private:
    QElapsedTimer m_started;
};
