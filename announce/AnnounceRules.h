#pragma once

#include "platform/Notifier.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QPoint>
#include <QString>

#include <array>
#include <optional>

// Pure rules of announcing: the speaking character's gestures, its home
// beside the calendar and the spoken date; the message window's list of
// announcements not yet acknowledged, as stored between runs; the desktop
// notification and the snooze.
namespace announce {

// Played in turn, one per sentence.
inline constexpr std::array<const char *, 8> kGestures
    = { "Pleased", "Search", "Explain", "Read", "Decline", "Greet", "Confused", "Suggest" };
// The index after `animcount`, wrapping after the eighth gesture.
int nextGesture(int animcount);

struct HomeInput
{
    float left = 0; // window, twips
    float top = 0;
    float width = 0;
    float height = 0;
    float screenWidth = 0; // twips
    double twipsPerPixelX = 15.0;
    double twipsPerPixelY = 15.0;
    int characterWidth = 0; // pixels
    int characterHeight = 0;
    float gap = 1000; // twips between window and character
    float rise = 900; // twips the character stands above the window's foot
};

inline constexpr float kStandardGap = 1000;
inline constexpr float kStandardRise = 900;
inline constexpr float kStartGap = 1200;
inline constexpr float kStartRise = 1000;

// The frame's top-left corner in screen pixels: right of the window, or left
// of it when the right side has no room.
QPoint homePosition(const HomeInput &in);

// "st", "nd", "rd" or "th" for a day of the month.
QString ordinalSuffix(int day);
// "The date is, Tuesday, the 21st of March, 2000", names in `locale`.
QString dateSentence(const QDate &date, const QLocale &locale);

// The announcements the user has not yet acknowledged, as the message
// window keeps them and as they are stored between runs.

struct Announcement
{
    QString text; // as it is shown and spoken, without the "}" marker
    bool confirm = false; // hidden behind the placeholder until "Ok"
    bool revealed = false; // the text has been shown

    bool operator==(const Announcement &) const = default;
};

// More would only be a file gone wrong; a person acknowledges far fewer.
inline constexpr qsizetype kMaxPending = 500;
inline constexpr qsizetype kMaxPendingText = 4096;
inline constexpr qint64 kMaxPendingFile = 4 * 1024 * 1024;

// One line a announcement after a header line, UTF-8: flags, a tab, and the
// text with backslash, tab and line breaks escaped.
// A line "Z", a tab and an ISO date and time after the header keeps the
// time a snoozed window is due back.
QByteArray pendingFileText(const QList<Announcement> &pending, const QDateTime &snoozedUntil = {});

struct PendingRead
{
    QList<Announcement> pending;
    QDateTime snoozedUntil; // invalid: not snoozed
    int skipped = 0; // lines that could not be read
};
// Reads what `pendingFileText` wrote. Lines that cannot be read are skipped
// and counted; texts and counts past the limits are cut.
PendingRead readPendingText(const QByteArray &bytes);

// Writes atomically; an empty list removes the file. False with the reason
// in `error` when the file cannot be written.
bool writePendingFile(const QString &path, const QList<Announcement> &pending,
    const QDateTime &snoozedUntil, QString *error);
// A missing file holds nothing; one past the size limit is read no further
// than the limit.
PendingRead readPendingFile(const QString &path);

// "2 of 3": the page the message window shows.
QString pageText(qsizetype index, qsizetype count);

// What the message window tells the desktop's notifications, and how long
// a snooze lasts.

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
