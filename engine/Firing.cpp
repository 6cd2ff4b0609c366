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
            KeyParts moved = fired;
            moved.day = next.toString(QStringLiteral("dd"));
            moved.month = next.toString(QStringLiteral("MM"));
            moved.year = next.toString(QStringLiteral("yyyy"));
            plan.nextKey = moved.key();
        }
    }
    return plan;
}

namespace {

bool stillApplies(const QString &dataFile, const PendingWrite &write)
{
    const QString now = INIFuncs::INIRead(
        dataFile, QLatin1String(kAlarmsSection), write.key, QLatin1String(kNothing));
    return now == write.expected;
}

bool writeOne(const QString &dataFile, const PendingWrite &write, QString *error)
{
    return INIFuncs::INIWrite(
        dataFile, QLatin1String(kAlarmsSection), write.key, write.value, error);
}

} // namespace

FiringWrites writeFiring(const QString &dataFile, const QString &value, const KeyParts &fired)
{
    FiringWrites result;
    result.plan = planFiring(value, fired);
    const FiringPlan &plan = result.plan;
    if (!plan.announce) {
        qCInfo(lcEngine) << "entry" << fired.key() << "has no repeat code; left in the file";
        return result;
    }
    QList<PendingWrite> writes;
    if (plan.nextKey)
        writes.append({ *plan.nextKey, value, QLatin1String(kNothing) });
    if (plan.clearFired)
        writes.append({ fired.key(), QLatin1String(kNothing), value });
    else
        qCInfo(lcEngine) << "hourly entry" << fired.key() << "ends with the day; kept";

    for (qsizetype i = 0; i < writes.size(); ++i) {
        if (writeOne(dataFile, writes[i], &result.error)) {
            qCInfo(lcEngine) << "wrote" << writes[i].key << "=" << writes[i].value.left(1);
            continue;
        }
        // Later writes wait for this one: clearing the fired key before its
        // next occurrence is stored would lose the appointment.
        result.failed = writes.mid(i);
        qCWarning(lcEngine).noquote() << "could not move" << fired.key() << "on:" << result.error;
        break;
    }
    return result;
}

QList<PendingWrite> retryWrites(
    const QString &dataFile, const QList<PendingWrite> &writes, QString *error)
{
    for (qsizetype i = 0; i < writes.size(); ++i) {
        if (!stillApplies(dataFile, writes[i])) {
            qCInfo(lcEngine) << "a postponed write to" << writes[i].key
                             << "no longer applies; dropped";
            continue;
        }
        if (!writeOne(dataFile, writes[i], error))
            return writes.mid(i);
        qCInfo(lcEngine) << "postponed write to" << writes[i].key << "made";
    }
    return {};
}

FiringWrites fire(
    const QString &dataFile, const QString &value, const KeyParts &fired, Announcer &announcer)
{
    FiringWrites result = writeFiring(dataFile, value, fired);
    const FiringPlan &plan = result.plan;
    if (!plan.announce)
        return result;
    qCInfo(lcEngine).noquote() << "firing" << fired.key() << "confirm" << plan.confirm << "text"
                               << plan.text;
    announcer.Show();
    announcer.display(plan.confirm, plan.text);
    return result;
}
