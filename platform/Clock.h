#pragma once

#include <QDateTime>

#include <functional>
#include <memory>

// Every "now" and every wait of the program goes through this service, so a
// test moves time instead of sleeping.
class Clock
{
public:
    // Calls back from the event loop when its time has come on the clock;
    // stops when destroyed.
    class Timer
    {
    public:
        virtual ~Timer() = default;
        // Calls back after `ms` milliseconds (then every `ms` again for a
        // repeating timer), in place of any start before.
        virtual void start(int ms) = 0;
        virtual void stop() = 0;
        virtual bool isActive() const = 0;
    };

    virtual ~Clock() = default;
    // Local wall-clock time.
    virtual QDateTime now() const = 0;
    // Milliseconds on a clock that never jumps (for elapsed time).
    virtual qint64 monotonicMs() const = 0;
    // Keeps window events and timers running for at most `ms` milliseconds.
    virtual void processEventsFor(int ms) = 0;
    // A timer that calls `timeout` once, or every interval when `repeat`.
    virtual std::unique_ptr<Timer> timer(std::function<void()> timeout, bool repeat = false) = 0;
};
