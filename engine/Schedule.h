#pragma once

#include "engine/Firing.h"
#include "storage/Appointment.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// An appointment whose minute passed while the calendar was not running.
struct OldAppointment
{
    QDateTime wall;
    QString message; // without the early-warning marker
};

// Time as the data file knows it: local wall-clock minutes, compared as
// they read. Around a clock change a minute may never come (the spring
// gap) or come twice; each key is still one minute, handled once when the
// clock passes it.
namespace schedule {

// The local reading of `local`, cut to its minute, as a value without a
// zone, so that adding a minute is always one minute on the wall.
QDateTime wallMinute(const QDateTime &local);
// The minute a key names; invalid for a key that names no real date.
QDateTime wallOf(const KeyParts &parts);
QDateTime wallOfKey(const QString &key);
QString keyOf(const QDateTime &wall);

// The first occurrence of a repeat after `now`, stepping from `fired` as
// firing does (a month keeps its cut-back day); nothing for a one-off or
// when the occurrence would not fit in a key's four-digit year.
std::optional<QDateTime> nextOccurrenceAfter(
    RepeatStep step, const QDateTime &fired, const QDateTime &now);

// Why minutes went by unseen.
enum class Gap {
    Asleep, // the computer slept (or, without the sleep signal, the clock leapt)
    ClockForward, // the clock was put forward while the computer was awake
    Paused, // the program was stopped or could not run
};

// "while the computer was asleep", "when the clock was put forward", ...
QString gapPhrase(Gap gap);
// "Missed while the computer was asleep: Wednesday 9 December, 10:15 — Water the plants"
QString missedText(Gap gap, const QDateTime &wall, const QString &message);
// Spoken once for all that were missed, never their texts.
QString missedSummary(Gap gap, qsizetype count);
// One page for the missed appointments past the first `kMissedPages - 1`.
QString missedRestText(const QStringList &lines);
inline constexpr qsizetype kMissedPages = 50;

// Told once when a repeat cannot take its minute because another
// appointment holds it.
QString displacedText(
    const QString &message, const QDateTime &wanted, const QDateTime &taken, const QString &holder);

// The old-messages report: "This is old message #1, Wednesday 9 December
// 2026, 10:15: text" a line, cut past a screenful as the day query's list
// is (20 messages of at most 300 characters, then "… and N more").
QString oldMessagesText(const QList<OldAppointment> &old);
inline constexpr qsizetype kOldMessages = 20;
inline constexpr qsizetype kOldMessageChars = 300;

// What the scheduler keeps between runs besides the data file.
struct State
{
    QString lastKey; // the last minute handled; empty: never ran
    QList<PendingWrite> postponed; // data-file writes still to be made, in order
    // A repeat waiting on a free minute: its key, and the key of the
    // occurrence it stands in for (it returns to that time afterwards).
    QList<QPair<QString, QString>> displaced;

    bool operator==(const State &) const = default;
};

inline constexpr qsizetype kMaxStateLines = 10000;
inline constexpr qint64 kMaxStateFile = 8 * 1024 * 1024;

// First line the key, then one line a postponed write ("P", key, value,
// expected) or a displaced repeat ("D", key, original key), fields split
// by tabs with backslash, tab and line breaks escaped; UTF-8.
QByteArray stateText(const State &state);
// Reads what `stateText` wrote; an earlier run's file holding only a key
// reads too. Lines that cannot be read are skipped.
State readStateText(const QByteArray &bytes);

} // namespace schedule
