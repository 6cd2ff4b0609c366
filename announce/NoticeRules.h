#pragma once

#include "announce/PendingRules.h"
#include "platform/Notifier.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

// What the message window tells the desktop's notifications, and how long
// a snooze lasts.
namespace announce {

// The lengths a snooze can have; a plain click on "Snooze !" keeps five minutes.
enum class SnoozeLength { Minutes5, Minutes10, Minutes15, Minutes30, Hour1, TomorrowAt9 };

inline constexpr std::array<SnoozeLength, 6> kSnoozeLengths
    = { SnoozeLength::Minutes5, SnoozeLength::Minutes10, SnoozeLength::Minutes15,
          SnoozeLength::Minutes30, SnoozeLength::Hour1, SnoozeLength::TomorrowAt9 };

// When the window is due back: minutes are counted as real time passing
// (an hour across a clock change is still an hour); "tomorrow 9:00" is
// 9:00 on the calendar day after `now`, in `now`'s time zone.
QDateTime snoozeEnd(const QDateTime &now, SnoozeLength length);
// No snooze lasts longer ("until tomorrow 9:00" from just after midnight,
// with a clock change): a later end read back from a file is not one of ours.
inline constexpr qint64 kLongestSnoozeSecs = 36 * 3600;

// The caption in the choice beside "Snooze !".
QString snoozeCaption(SnoozeLength length);
// What the character says when the window goes away.
QString snoozeSentence(SnoozeLength length);

// The notification's keys for its actions, and what each one means.
inline constexpr const char *kActionOk = "ok";
inline constexpr const char *kActionDefault = "default"; // a click on the notification itself
std::optional<SnoozeLength> snoozeOfAction(const QString &key);

inline constexpr const char *kNoticeSummary = "Quillory";
inline constexpr const char *kNoticeHidden = "Appointment \u2014 press Ok to read";

// The notification for one announcement: its date and time and the text,
// or only the hint while the appointment asks to be confirmed first.
Notifier::Notice noticeFor(const Announcement &announcement, const QDateTime &when);

} // namespace announce
