#pragma once

#include "storage/Appointment.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// What firing a due entry means: the announced text, whether it waits for
// confirmation, and the file changes. A pure decision, so tests can table it.
struct FiringPlan
{
    bool announce = false; // false: not a repeat code; nothing happens at all
    bool confirm = false;
    QString text; // message without the marker, followed by the code's suffix
    std::optional<QString> nextKey; // where the value moves to
    bool clearFired = false; // write "nothing" under the fired key
};

FiringPlan planFiring(const QString &value, const KeyParts &fired);

// The date `step` after `date`; months keep the day, cut back to the last
// day of a shorter month.
QDate nextDate(const QDate &date, RepeatStep step);

// The message window as firing sees it.
class Announcer
{
public:
    virtual ~Announcer() = default;
    virtual void Show() = 0;
    virtual void display(bool confirm, const QString &text) = 0;
    // Several pages at once (appointments missed while the computer slept):
    // one alert and `spoken` for all of them; no alert when it is empty.
    // Each page is (confirm, text).
    virtual void displayPages(const QList<QPair<bool, QString>> &pages, const QString &spoken)
    {
        for (const auto &[confirm, text] : pages)
            display(confirm, text);
        (void)spoken;
    }
};

// One data-file write that did not happen. It is tried again only while
// the key still holds `expected`, so a retry never overwrites what the
// user has set there since.
struct PendingWrite
{
    QString key;
    QString value;
    QString expected; // "nothing" stands for a missing key too

    bool operator==(const PendingWrite &) const = default;
};

struct FiringWrites
{
    FiringPlan plan;
    QList<PendingWrite> failed; // in the order they must still be made
    QString error; // the reason of the first failure
};

// Moves the appointment on in the data file: the next key first, then the
// fired key cleared. When the next key cannot be written the fired entry
// is left alone, so the appointment stays in the file whatever happens.
FiringWrites writeFiring(const QString &dataFile, const QString &value, const KeyParts &fired);

// Tries the writes again in order and gives back those still not made;
// one that no longer applies is dropped. `error` gets the latest reason.
QList<PendingWrite> retryWrites(
    const QString &dataFile, const QList<PendingWrite> &writes, QString *error = nullptr);

// Moves the appointment on in the data file, then announces it: the file
// is right even if the program ends during the announcement.
FiringWrites fire(
    const QString &dataFile, const QString &value, const KeyParts &fired, Announcer &announcer);
