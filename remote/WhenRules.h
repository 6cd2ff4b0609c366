#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

// The minutes and days the command line takes, read against the clock.
namespace remote {

struct When
{
    enum class Status {
        Ok,
        BadUsage, // not of a form the option takes
        Refused, // of the form, but no minute of the calendar (31 February, 24:00)
    };
    Status status = Status::Ok;
    QDate date;
    QTime time;
    QString text; // why not
};

// --at: "YYYY-MM-DD HH:MM", "today 9:00", "tomorrow 9:00", or a time alone
// ("9:30"), which is today, or tomorrow when that minute has come already.
When parseAt(const QString &text, const QDateTime &now);
// --in: hours and minutes from now ("20m", "2h", "1h30m"), to the minute.
When parseIn(const QString &text, const QDateTime &now);
// The minute of an appointment to remove: "YYYY-MM-DD HH:MM" only.
When parseMinute(const QString &text);
// --from and --to: "YYYY-MM-DD", "today" or "tomorrow".
std::optional<QDate> parseDay(const QString &text, const QDate &today);

} // namespace remote
