#pragma once

#include "remote/AppointmentBook.h"

#include <QList>
#include <QString>
#include <QVariantMap>

// The command line's way to a running calendar (over the session bus), so
// that a change made there is the calendar's own: it marks the day at once.
class CalendarLink
{
public:
    enum class Reach {
        Answered, // done; `text` says what, `entries` holds what was asked for
        Refused, // the calendar said no; `text` says why
        Gone, // no calendar took the call, or it ended before it answered
        Failed, // the bus gave an error of its own (`text`)
    };
    struct Reply
    {
        Reach reach = Reach::Gone;
        QString text;
        QList<QVariantMap> entries;
    };

    virtual ~CalendarLink() = default;
    // Waits up to `waitMs` for a calendar to appear on the bus.
    virtual bool present(int waitMs) = 0;
    virtual Reply add(const remote::AddRequest &request) = 0;
    virtual Reply list(const QString &from, const QString &to) = 0;
    virtual Reply next() = 0;
    virtual Reply remove(const QString &minute) = 0;
};
