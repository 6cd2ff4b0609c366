#pragma once

#include <QString>
#include <QTime>

// When the character gives the morning briefing, and how it begins.

namespace briefing {

// The first start of a day from 05:00 on, or, for a calendar already
// running (through the night, or restarted by itself), the first minute
// from 07:00 on; once a day.
inline constexpr int kFirstStartHour = 5;
inline constexpr int kRunningFromHour = 7;

enum class Moment { UserStart, Running };

bool due(Moment moment, const QTime &now, bool givenToday);
// "Good morning!" before noon, "Good afternoon!" until six, "Good evening!".
QString greeting(const QTime &now);

} // namespace briefing
