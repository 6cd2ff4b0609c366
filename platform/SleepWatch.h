#pragma once

#include <functional>

// Tells when the computer wakes from sleep, so the calendar looks at the
// minutes it slept through at once rather than at its next tick.
class SleepWatch
{
public:
    virtual ~SleepWatch() = default;
    // Whether the system tells about sleep at all; without it a wall clock
    // that leapt ahead of the monotonic one is all there is to go by.
    virtual bool available() const = 0;
    // Called after each wake.
    virtual void setOnResume(std::function<void()> callback) = 0;
};
