#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// The appointments as the command line and the session bus see them: added,
// listed and removed on the data file by the manager's own save rules, so a
// change from outside is refused, written and worded as the manager's is.
namespace remote {

// The repeat names of the command line and the bus, each for a pair of
// codes (with and without confirmation): once, hourly, daily, weekly,
// monthly, quarterly, yearly.
QStringList repeatNames();
// The code for a name; nothing for a name that is not one of them.
std::optional<QChar> repeatCodeFor(const QString &name, bool confirm);
// The name of a code's repeat; empty for a character that is no code.
QString repeatNameOf(QChar code);

// One appointment of the data file. Its field names (`fields`) are the
// stable ones of the JSON list and of the bus.
struct Entry
{
    QString key; // hh/mm/dd/mm/yyyy
    QDate date;
    QTime time;
    QString repeat; // a repeat name
    bool confirm = false;
    bool earlyWarning = false;
    QString message;

    QDateTime when() const { return QDateTime(date, time); }
};

// Every appointment of a data file's content, earliest first. Lines that
// name no real minute or carry no repeat code are never announced and are
// left out.
QList<Entry> entries(const QByteArray &content);
// Those on the days from `from` to `to`, both included; an absent bound is open.
QList<Entry> between(const QList<Entry> &all, std::optional<QDate> from, std::optional<QDate> to);
// The first at `now`'s minute or later.
std::optional<Entry> nextFrom(const QList<Entry> &all, const QDateTime &now);

// "2026-12-10 09:00"
QString minuteText(const QDate &date, const QTime &time);
// The key of that minute.
QString keyOf(const QDate &date, const QTime &time);
// One line of the plain list: date and time, repeat, options, message,
// separated by tabs. Options are "confirm" and "early-warning" joined by a
// comma, or "-".
QString listLine(const Entry &entry);
// The entry by field name: key, date, time, repeat, confirm, earlyWarning, message.
QVariantMap fields(const Entry &entry);
// The entry the bus handed over; nothing when a field is missing or wrong.
std::optional<Entry> entryFromFields(const QVariantMap &map);
// The list as a JSON array of `fields` objects, indented, ending in a newline.
QByteArray json(const QList<Entry> &list);

struct AddRequest
{
    QDate date;
    QTime time;
    QString repeat = QStringLiteral("once");
    bool confirm = false;
    bool earlyWarning = false;
    QString message;
};

struct Outcome
{
    bool done = false;
    // What was done, or why not: the manager's own refusal texts where it has them.
    QString text;
};

// Adds the appointment by the manager's save plan. Refused as the manager
// refuses (invalid time, this very minute, a message too short, too long or
// ending in the early-warning mark), and besides: a minute already gone,
// an unknown repeat name, and a minute that holds another appointment,
// which is left as it is. The same appointment again is no change.
Outcome add(const QString &dataFile, const AddRequest &request, const QDateTime &now);
// Clears the appointment at `key` and says what it was; refused when the
// minute holds none.
Outcome remove(const QString &dataFile, const QString &key);
// The file's appointments; nothing when it exists but cannot be read.
std::optional<QList<Entry>> read(const QString &dataFile);
// Told when the data file cannot be read.
QString unreadableText(const QString &dataFile);

} // namespace remote
