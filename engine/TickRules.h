#pragma once

#include <QDate>
#include <QString>
#include <QTime>

// The clock tick's small decisions.
namespace tick {

// "The time is 2:05 PM": 12-hour clock, no leading zero on the hour.
QString timeBandText(const QTime &time);
// The minute as two characters, what the tick remembers between ticks.
QString minuteOf(const QTime &time);
// dd/mm/yyyy, the form of "lastreboot".
QString dayText(const QDate &date);
// The getting-started message shown once, on the first tick of the first run.
// `bandColour` names the time band's colour as the user sees it.
QString introductionText(const QString &bandColour);

// From `time` to just after the next minute boundary, in milliseconds: a
// tick then finds the new minute without running early.
int msUntilNextMinute(const QTime &time);
inline constexpr int kMinuteTickLag = 20;

// What the user is told when the data file cannot be written.
QString writeProblemText(const QString &dataFile, const QString &reason);
// What the user is told when the settings file cannot be written.
QString settingsProblemText(const QString &settingsFile, const QString &reason);

// The old-messages report: a notice, the messages themselves, then the
// offer to delete them in the manager.
inline constexpr const char *kOldMessagesTitle = "Old messages!";
QString oldMessagesNotice();
QString deleteOldQuestion();

inline constexpr const char *kProblemAddress = "help@quillory.example";

} // namespace tick
