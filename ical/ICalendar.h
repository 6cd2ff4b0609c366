#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

// iCalendar (RFC 5545) as the calendar exchanges it. libical does the
// reading and writing; nothing outside this file sees its types.
namespace ical {

// One appointment as it leaves the calendar.
struct OutgoingEvent
{
    QString uid;
    QDateTime wall; // local wall-clock minute of the appointment
    QChar code; // repeat code
    QString text; // message without the early-warning marker
    bool earlyWarning = false;
    // A richer rule ("FREQ=WEEKLY;BYDAY=MO,WE") the appointment came in
    // with; empty: the repeat code's own rule.
    QString rule;
};

// The RRULE text of a repeat code; empty for the codes that do not repeat.
QString ruleOfCode(QChar code);

// A VCALENDAR holding the events, their times in `zoneId` (an IANA name;
// UTC when libical does not know it) with its VTIMEZONE.
QByteArray exportCalendar(const QList<OutgoingEvent> &events, const QString &zoneId);

// How a file's events become appointments.
struct ImportOptions
{
    QDateTime now; // local; past one-offs are skipped, repeats moved on past it
    QTime allDayAt = QTime(9, 0); // the minute of an all-day event
};

// One event as it comes into the calendar.
struct IncomingEvent
{
    QString uid;
    QDateTime wall; // local wall-clock minute of its alarm
    QChar code;
    QString text;
    bool earlyWarning = false;
    // Set when the event repeats by a rule no repeat code holds: the rule,
    // and the whole VEVENT, so that later occurrences are computed from it.
    QString rule;
    QByteArray original;
};

struct SkippedEvent
{
    QString what; // the event's summary, else its UID, else its place in the file
    QString why;
};

struct ParsedCalendar
{
    QList<IncomingEvent> events;
    QList<SkippedEvent> skipped;
    // Set when the file as a whole is no iCalendar data.
    QString error;
};

// Files larger than this are refused unread.
inline constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;

ParsedCalendar parseCalendar(const QByteArray &bytes, const ImportOptions &options);

// What libical's checks of RFC 5545's restrictions find wrong in a file
// (properties missing or repeated, values that do not parse); empty when
// nothing.
QStringList problemsOf(const QByteArray &bytes);

// The first alarm minute of a VEVENT kept as `original` after `after`,
// by its own rule; nothing when the rule has ended.
std::optional<QDateTime> nextOccurrence(
    const QByteArray &original, const QDateTime &after, QTime allDayAt);

} // namespace ical
