#pragma once

#include "storage/Appointment.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// The appointment manager's decisions: its choice lists, the default time,
// the list and print lines, the checks and record of a save, the preview
// and which texts may be deleted. The window only shows what these give.
namespace manager {

// The design text of the list: nothing is selected while it stands.
QString noAlarmsText();
// The instructions beside the list, line by line.
QString listHelpText();

QStringList hourChoices(); // "01" .. "12"
QStringList minuteChoices(); // "00", "05" .. "55"
QStringList ampmChoices(); // "am", "pm"
QStringList repeatChoices(); // in the manager's order, "Don`t repeat this message" last
inline constexpr const char *kNoRepeatChoice = "Don`t repeat this message";

struct TimeFields
{
    QString hour; // 12-hour clock, two digits
    QString minute; // two digits
    QString ampm; // "am" or "pm"
};

// The time the entry fields start with: this hour, and the next multiple of
// five minutes strictly after this minute ("00" from 55 to 59, hour kept).
TimeFields defaultTime(const QTime &now);

// "09/05/24/12/2026 On Thursday, 24 December 2026, at 09:05, say : Buy bread"
QString listLine(const AppointmentLine &line, const QLocale &locale);

// Every line of the printed list: header, two lines per appointment, footer.
QStringList printDocument(const QList<AppointmentLine> &lines, const QLocale &locale);

// Code for a repeat choice with or without confirmation; 'N' for any other text.
QChar repeatCode(const QString &choice, bool confirm);
struct RepeatFields
{
    bool confirm = false;
    QString choice;
};
// The entry fields that give `code` back.
RepeatFields repeatFields(QChar code);

// The most a key read returns (code + message + marker), and so the longest
// message that survives firing and rescheduling whole, in the file's bytes.
inline constexpr int kValueLimit = 254;
// Characters still free in a message of this text (never below 0 while the
// text fits; negative when it is too long). Room for the marker is always kept.
int messageRoom(const QString &message);
// The message cut to the room a value has (never splitting a character).
QString fitMessage(const QString &message);
// The count under the message; `cut` says the last change did not fit whole.
QString roomText(int room, bool cut);

// The message box after a change: what it keeps, whether the change was cut
// to fit, and the count shown under it.
struct MessageFit
{
    QString text;
    bool cut = false;
    QString room;
};
MessageFit fitTyped(const QString &typed);

// The controls that say what they are for as they take the focus.
enum class HelpTopic { Confirm, HelpSwitch, Warn, AmPm, Hour, Minute, Repeat, List, Exit, Save };
// What the character says for a control, while the speaking help is on.
QString spokenHelp(HelpTopic topic);
// Said at the first click on the month view of an opening.
QString dateHint();
// Said when the speaking help is switched, whether it was on or not.
QString helpSwitchSentence(bool helpOff);

struct SaveFields
{
    QString hour; // as typed or chosen, 12-hour clock
    QString minute;
    QString ampm;
    QDate date;
    QString message;
    QString repeat;
    bool confirm = false;
    bool warn = false;
};

enum class SaveRefusal {
    None,
    InvalidMinute,
    InvalidHour,
    InvalidAmPm,
    ExactTime,
    ShortMessage,
    LongMessage,
    // A final "}" is the early-warning marker to every reader of the file,
    // so a message ending in one would read back without it (and warn).
    FinalBrace,
};

struct SavePlan
{
    SaveRefusal refusal = SaveRefusal::None;
    QString key;
    QString value;
    // Today at a minute already gone: it would never be announced on time.
    bool passedToday = false;
};

// The save's checks in their order, then the record. The fields are not
// changed: the hour is converted on a copy, and hour and minute are taken as
// the numbers they hold, so " 7" and "7.5" give the key's "07".
SavePlan planSave(const SaveFields &fields, const QDateTime &now);
// The refusal's message box text.
QString refusalText(SaveRefusal refusal);
// Why a write of the data file failed, for the user.
QString writeFailureText(const QString &reason);
// Asked before a save of a time already gone today.
QString passedTodayQuestion();

// The entry fields checked as they are typed, by the rules the save uses.
enum class TimeField { Hour, Minute, AmPm };
bool validTimeField(TimeField field, const QString &text);
// What the field says of a value it does not take.
QString invalidFieldText(TimeField field);

// Asked before a save replaces another appointment at its minute (the
// file keeps one a minute); nothing when the minute is free or holds the
// same appointment.
std::optional<QString> replaceQuestion(const QString &held, const QString &value);
// Told when the appointment chosen for deletion fired and moved on, or
// was changed, while the user was asked.
QString movedOnText();

// A number as the manager's boxes accept it: optional blanks and sign,
// digits, an optional fraction; its whole-number part (rounded down).
std::optional<qint64> wholeNumber(const QString &text);

struct PreviewFields
{
    QString hour; // two digits, 12-hour clock
    QString minute;
    QString ampm;
    int year = 0;
    int month = 0;
    int day = 0;
    QString message;
    bool warn = false;
    RepeatFields repeat;
    QString hourWord; // the hour for the sentence, without a leading zero
    QString periodWord; // "a.m," or "p.m,"
};

// The fields an appointment fills in; nothing for a cleared value.
std::optional<PreviewFields> preview(const QString &key, const QString &value);
// The sentence read out, with the date as the month view ended up showing it.
QString previewSentence(const PreviewFields &fields, int day, int month, int year);
// "January " .. "November ", "December".
QString spokenMonth(int month);

// The key a delete may clear: the first 16 characters of the list's text
// when they have the form of a key; nothing for the design text or any other.
std::optional<QString> deletableKey(const QString &comboText);
// The delete's question, naming the appointment: its date, time and message.
QString deleteQuestion(const QString &key, const QString &value, const QLocale &locale);

} // namespace manager
