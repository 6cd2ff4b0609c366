#pragma once

#include "storage/Appointment.h"

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
};

// Announces the value and moves the appointment on in the data file.
void fire(
    const QString &dataFile, const QString &value, const KeyParts &fired, Announcer &announcer);
