#include "engine/Firing.h"

#include "engine/Logging.h"
#include "storage/IniFuncs.h"

QDate nextDate(const QDate &date, RepeatStep step)
{
    switch (step) {
    case RepeatStep::Day:
        return date.addDays(1);
    case RepeatStep::Week:
        return date.addDays(7);
    case RepeatStep::Month:
        return date.addMonths(1);
    case RepeatStep::Quarter:
        return date.addMonths(3);
    case RepeatStep::Year:
        return date.addMonths(12);
    case RepeatStep::Hour:
    case RepeatStep::None:
        break;
    }
    return date;
}

FiringPlan planFiring(const QString &value, const KeyParts &fired)
{
    FiringPlan plan;
    const RepeatCode *code = value.isEmpty() ? nullptr : findRepeatCode(value[0]);
    if (!code)
        return plan;

    plan.announce = true;
    plan.confirm = code->confirm;
    QString message = value.mid(1);
    if (message.endsWith(QLatin1Char('}')))
        message.chop(1);
    plan.text = message + QLatin1String(code->suffix);
    plan.clearFired = true;

    if (code->step == RepeatStep::Hour) {
        const int hour = fired.hour.toInt() + 1;
        if (hour > 23) {
            // The hourly chain ends with the day: the entry stays as it is.
            plan.clearFired = false;
            return plan;
        }
        KeyParts next = fired;
        next.hour = QStringLiteral("%1").arg(hour, 2, 10, QLatin1Char('0'));
        plan.nextKey = next.key();
    } else if (code->step != RepeatStep::None) {
        const QDate date = fired.date();
        const QDate next = date.isValid() ? nextDate(date, code->step) : QDate();
        if (next.isValid() && next.year() > 9999) {
            // A key holds four digits of year: the entry stays where it is.
            plan.clearFired = false;
        } else if (date.isValid()) {
            plan.nextKey = fired.hour + QLatin1Char('/') + fired.minute + QLatin1Char('/')
                + next.toString(QStringLiteral("dd/MM/yyyy"));
        }
    }
    return plan;
}

void fire(
    const QString &dataFile, const QString &value, const KeyParts &fired, Announcer &announcer)
{
    const FiringPlan plan = planFiring(value, fired);
    if (!plan.announce) {
        qCInfo(lcEngine) << "entry" << fired.key() << "has no repeat code; left in the file";
        return;
    }
    qCInfo(lcEngine).noquote() << "firing" << fired.key() << "confirm" << plan.confirm << "text"
                               << plan.text;
    announcer.Show();
    announcer.display(plan.confirm, plan.text);

    const QString section = QLatin1String(kAlarmsSection);
    if (plan.nextKey) {
        qCInfo(lcEngine) << "rescheduled" << fired.key() << "to" << *plan.nextKey;
        INIFuncs::INIWrite(dataFile, section, *plan.nextKey, value);
    }
    if (plan.clearFired) {
        qCInfo(lcEngine) << "cleared" << fired.key();
        INIFuncs::INIWrite(dataFile, section, fired.key(), QLatin1String(kNothing));
    } else {
        qCInfo(lcEngine) << "hourly entry" << fired.key() << "ends with the day; kept";
    }
}
