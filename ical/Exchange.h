#pragma once

#include "ical/ICalendar.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The calendar's appointments as iCalendar: stable UIDs kept beside the
// data file, import into data.ini, export of it, and the repeats whose
// richer rules the calendar follows itself.
namespace ical {

// What the side file keeps about one appointment.
struct StoredItem
{
    QString uid;
    // The appointment as data.ini held it when last seen.
    QString key;
    QString value;
    // A rule no repeat code holds, and the event it came with.
    QString rule;
    QByteArray original;
    // The vdir's file of it, as last seen or written, and what it stood for.
    QString file;
    qint64 fileTime = 0; // modification time, ms since the epoch
    qint64 fileSize = -1;
    QString syncedKey;
    QString syncedValue;
};

// The side file: a missing or unreadable one is an empty store, so UIDs
// start afresh rather than the calendar stopping.
struct SideStore
{
    QList<StoredItem> items;
    // The vdir folder the files were written to (ical/VdirSync.cpp).
    QString folder;
    // The file as read: a save that would write the same bytes writes nothing.
    QByteArray loaded;

    static SideStore load(const QString &path);
    bool save(const QString &path, QString *error = nullptr) const;
};

// The side file beside a data file.
QString sideStoreFile(const QString &dataFile);

// One appointment line of data.ini.
struct DataEntry
{
    QString key;
    QString value;
};
QList<DataEntry> dataEntries(const QByteArray &dataBytes);

// The store's item of each entry, or -1 for one it does not know: the
// same key and value first, then the same value at a key gone (a repeat
// moved on), then the same key (its text changed in place).
QList<int> matchEntries(const QList<DataEntry> &entries, const QList<StoredItem> &items);

// Gives every entry a UID (kept, or new), updating the store, and drops
// the items of appointments gone, unless a vdir file still stands for them
// or a richer rule fired and waits for its next occurrence.
QList<QString> assignUids(const QList<DataEntry> &entries, SideStore &store,
    const QDateTime &now = QDateTime::currentDateTime());

// The outgoing event of one entry; nothing for a line that names no minute.
std::optional<OutgoingEvent> outgoing(const DataEntry &entry, const StoredItem &item);

// The value data.ini keeps for an incoming event.
QString valueOf(const IncomingEvent &event);

struct ImportReport
{
    int added = 0;
    QList<SkippedEvent> skipped;
    QString error; // nothing was imported
};

// "3 added, 2 skipped:" and a line per skipped event with why.
QString reportText(const ImportReport &report);

// Adds the file's events to data.ini in one write; a minute already taken
// is reported, never overwritten.
ImportReport importCalendar(
    const QByteArray &ics, const QString &dataFile, const ImportOptions &options);
ImportReport importFile(
    const QString &icsFile, const QString &dataFile, const ImportOptions &options);

// Every appointment of data.ini as one VCALENDAR, in the system's zone.
struct ExportResult
{
    QByteArray ics;
    int events = 0;
    QString error;
};
ExportResult exportDataFile(const QString &dataFile);
// Writes it to `icsFile` atomically.
ExportResult exportToFile(const QString &dataFile, const QString &icsFile);

// The all-day time setting ("hh:mm"); 09:00 when it does not read.
QTime allDayTime(const QString &setting);

// Appointments of richer rules that fired (their key is gone and its
// minute has come) are put at their next occurrence after `now`. Gives the
// number placed.
int advanceRules(const QString &dataFile, const QDateTime &now, QTime allDayAt);

} // namespace ical
