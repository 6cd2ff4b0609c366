#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

// The appointment record of data.ini: key hh/mm/dd/mm/yyyy (time first),
// value = repeat code, message text, optional "}" early-warning marker.

inline constexpr const char *kAlarmsSection = "alarms";
inline constexpr const char *kNothing = "nothing";

enum class RepeatStep { Hour, Day, Week, Month, Quarter, Year, None };

struct RepeatCode
{
    char code;
    bool confirm; // the message stays hidden until the user presses "Ok"
    RepeatStep step; // distance to the next occurrence
    const char *suffix; // appended to the announced text
    const char *choice; // the manager's wording of the repeat list
};

// The fourteen codes, in the manager's order.
const std::array<RepeatCode, 14> &repeatCodes();
// The code's row, or nullptr when the character is not one of the codes.
const RepeatCode *findRepeatCode(QChar code);

// The five zero-padded parts of a key.
struct KeyParts
{
    QString hour;
    QString minute;
    QString day;
    QString month;
    QString year;

    QString key() const;
    // The date the parts name, invalid for a date that does not exist.
    QDate date() const;
    static KeyParts fromDateTime(const QDateTime &when);
    // Parts of a 16-character key of the exact pattern; nothing otherwise.
    static std::optional<KeyParts> parse(const QString &key);
};

// One line of the data file as the sequential readers see it, fields taken
// by position: hour 1-2, minute 4-5, day 7-8, month 10-11, year 13-16,
// "=" at 17, code at 18, text from 19.
struct AppointmentLine
{
    QString line; // the whole line
    KeyParts parts;
    QChar code;
    QString text; // without the early-warning marker
    bool earlyWarning = false;

    static AppointmentLine fromLine(const QString &line);
};
