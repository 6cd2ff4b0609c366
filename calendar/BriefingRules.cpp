#include "calendar/BriefingRules.h"

namespace briefing {

bool due(Moment moment, const QTime &now, bool givenToday)
{
    if (givenToday)
        return false;
    return now.hour() >= (moment == Moment::UserStart ? kFirstStartHour : kRunningFromHour);
}

QString greeting(const QTime &now)
{
    if (now < QTime(12, 0))
        return QStringLiteral("Good morning!");
    if (now < QTime(18, 0))
        return QStringLiteral("Good afternoon!");
    return QStringLiteral("Good evening!");
}

} // namespace briefing
