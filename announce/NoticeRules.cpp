#include "announce/NoticeRules.h"

#include <QLocale>

namespace announce {

QDateTime snoozeEnd(const QDateTime &now, SnoozeLength length)
{
    switch (length) {
    case SnoozeLength::Minutes5:
        return now.addSecs(5 * 60);
    case SnoozeLength::Minutes10:
        return now.addSecs(10 * 60);
    case SnoozeLength::Minutes15:
        return now.addSecs(15 * 60);
    case SnoozeLength::Minutes30:
        return now.addSecs(30 * 60);
    case SnoozeLength::Hour1:
        return now.addSecs(60 * 60);
    case SnoozeLength::TomorrowAt9:
        break;
    }
    // Kept in now's own kind of time (local or a zone), so a clock change
    // moves the instant, never the 9:00 the user reads.
    QDateTime end = now;
    end.setTime(QTime(0, 0)); // setting the date alone could land in a gap
    end.setDate(now.date().addDays(1));
    end.setTime(QTime(9, 0));
    if (!end.isValid() || end <= now)
        end = now.addDays(1);
    return end;
}

QString snoozeCaption(SnoozeLength length)
{
    switch (length) {
    case SnoozeLength::Minutes5:
        return QStringLiteral("5 minutes");
    case SnoozeLength::Minutes10:
        return QStringLiteral("10 minutes");
    case SnoozeLength::Minutes15:
        return QStringLiteral("15 minutes");
    case SnoozeLength::Minutes30:
        return QStringLiteral("30 minutes");
    case SnoozeLength::Hour1:
        return QStringLiteral("1 hour");
    case SnoozeLength::TomorrowAt9:
        break;
    }
    return QStringLiteral("until tomorrow 9:00");
}

QString snoozeSentence(SnoozeLength length)
{
    switch (length) {
    case SnoozeLength::Minutes5:
        return QStringLiteral("The appointment will show again in five minutes");
    case SnoozeLength::Minutes10:
        return QStringLiteral("The appointment will show again in ten minutes");
    case SnoozeLength::Minutes15:
        return QStringLiteral("The appointment will show again in fifteen minutes");
    case SnoozeLength::Minutes30:
        return QStringLiteral("The appointment will show again in thirty minutes");
    case SnoozeLength::Hour1:
        return QStringLiteral("The appointment will show again in one hour");
    case SnoozeLength::TomorrowAt9:
        break;
    }
    return QStringLiteral("The appointment will show again tomorrow at nine");
}

std::optional<SnoozeLength> snoozeOfAction(const QString &key)
{
    if (key == QLatin1String("snooze-5"))
        return SnoozeLength::Minutes5;
    if (key == QLatin1String("snooze-15"))
        return SnoozeLength::Minutes15;
    if (key == QLatin1String("snooze-60"))
        return SnoozeLength::Hour1;
    return std::nullopt;
}

Notifier::Notice noticeFor(const Announcement &announcement, const QDateTime &when)
{
    Notifier::Notice notice;
    notice.summary = QLatin1String(kNoticeSummary);
    const QLocale locale;
    const QString stamp = locale.toString(when.date(), QLocale::LongFormat) + QStringLiteral(", ")
        + when.time().toString(QStringLiteral("HH:mm"));
    const bool hidden = announcement.confirm && !announcement.revealed;
    notice.body = stamp + QLatin1Char('\n')
        + (hidden ? QString::fromUtf8(kNoticeHidden) : announcement.text);
    notice.actions = { { QStringLiteral("snooze-5"), QStringLiteral("Snooze 5 min") },
        { QStringLiteral("snooze-15"), QStringLiteral("Snooze 15 min") },
        { QStringLiteral("snooze-60"), QStringLiteral("Snooze 1 hour") },
        { QLatin1String(kActionOk), QStringLiteral("Ok") },
        { QLatin1String(kActionDefault), QStringLiteral("Show") } };
    return notice;
}

} // namespace announce
