#pragma once

#include "storage/Appointment.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

// What the character answers when asked what is on, and what the morning
// briefing reads out: which appointments fall on a day or come next, and the
// plain sentences that tell them. Times are wall-clock readings, as the data file
// keeps them (schedule::wallMinute), so a day is its date whatever its length.
namespace agenda {

// One occurrence of an appointment: its minute on the wall and its message.
struct Entry
{
    QDateTime wall;
    QString message;

    bool operator==(const Entry &) const = default;
};

// No day lists more than this; an hourly appointment ends with its day anyway.
inline constexpr qsizetype kMaxEntries = 500;
// Spoken one by one; the rest are counted and left to the window.
inline constexpr qsizetype kSpokenEntries = 5;
// A message read out is cut here, as the day query's list cuts it.
inline constexpr qsizetype kSpokenMessageChars = 300;
// "in 40 minutes" up to this far ahead; beyond, the day and the time.
inline constexpr qint64 kCountdownMinutes = 120;

// Every occurrence on `day` of the appointments read from the data file, in
// the order of their times (the file's order within a minute): a repeat
// stored on an earlier day is stepped into it, an hourly one lists each
// hour left in its own day.
QList<Entry> occurrencesOn(const QList<AppointmentLine> &lines, const QDate &day);
// The first occurrence after `nowWall`; nothing when none is stored.
std::optional<Entry> nextAfter(const QList<AppointmentLine> &lines, const QDateTime &nowWall);

// Minutes from `now` (local time) to the wall minute `wall` as the clock
// runs, over a change of clocks too; a minute in the spring gap comes when
// the clock passes it.
qint64 minutesUntil(const QDateTime &now, const QDateTime &wall);

// "one" to "fifty-nine".
QString numberWord(int n);
// The time as a person says it: "nine o'clock", "half past one", "quarter
// to ten", "nine oh seven", "midnight", "noon".
QString spokenTime(const QTime &time);
// "in the morning", "in the afternoon", "in the evening", "at night";
// empty at midnight and noon, which say it themselves.
QString period(const QTime &time);

enum class Day { Today, Tomorrow };

// The answer to "What is on today?" or "... tomorrow?": the count, then
// each of the first five with its time, then how many more the window
// shows. Asked for today, those already past are only counted ("Earlier
// today you had ...").
QString dayText(const QList<Entry> &entries, Day day, const QDateTime &nowWall);
// The answer to "What is next?".
QString nextText(const std::optional<Entry> &next, const QDateTime &now, const QDateTime &nowWall);
// The window's lines, one an occurrence: "13:30  Lunch with Ana".
QStringList windowLines(const QList<Entry> &entries);
// "Today, Wednesday 9 December", "Tomorrow, ...".
QString windowTitle(Day day, const QDate &date);

// Whether the answer leaves some to the window.
inline bool moreThanSpoken(const QList<Entry> &entries, Day day, const QDateTime &nowWall)
{
    qsizetype coming = 0;
    for (const Entry &e : entries)
        coming += day == Day::Tomorrow || e.wall >= nowWall;
    return coming > kSpokenEntries;
}

} // namespace agenda
