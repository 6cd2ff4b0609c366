#pragma once

#include <QDateTime>

// Every "now" and every wait of the program goes through this service, so a
// test moves time instead of sleeping.
class Clock
{
public:
    virtual ~Clock() = default;
    // Local wall-clock time.
    virtual QDateTime now() const = 0;
    // Milliseconds on a clock that never jumps (for elapsed time).
    virtual qint64 monotonicMs() const = 0;
    // Keeps window events and timers running for at most `ms` milliseconds.
    virtual void processEventsFor(int ms) = 0;
};
