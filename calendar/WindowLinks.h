#pragma once

// Windows and procedures the calendar window calls that live elsewhere. The
// calendar window holds them through these small interfaces so that each can
// be built, replaced and faked on its own.

#include "calendar/ColourRole.h"

#include <QDate>
#include <QString>

#include <functional>

// The appointment manager window.
class ManagerWindow
{
public:
    virtual ~ManagerWindow() = default;
    // Shows the manager (loading it when it is not open) with the given tab
    // of its tab control selected.
    virtual void showAtTab(int tab) = 0;
    // Shows the manager on its first tab with `date` chosen on its month view.
    virtual void showAtDate(const QDate &date) = 0;
};

// The once-per-run check for a newer version, started past its gate.
class VersionCheck
{
public:
    virtual ~VersionCheck() = default;
    virtual void run() = 0;
    // Whether a check is still to be made on `today` (one a day).
    virtual bool isDue(const QDate &today) const = 0;
    // Cancels a transfer still running (at unload).
    virtual void cancel() { }
};

// The backup and restore window, opened from the main menu.
class BackupWindow
{
public:
    virtual ~BackupWindow() = default;
    // Opens the window (afresh when it is not open) or brings it forward.
    virtual void show() = 0;
};

// The colour control panel, opened from the main menu.
class ColourPanel
{
public:
    virtual ~ColourPanel() = default;
    // Opens the panel (afresh when it is not open) or brings it forward.
    virtual void show() = 0;
};

// The calendar window's colours as the colour panel changes them: each one
// takes effect at once.
class CalendarColours
{
public:
    virtual ~CalendarColours() = default;
    // Colours are 0x00BBGGRR.
    virtual void setColour(ColourRole role, quint32 colour) = 0;
    virtual quint32 colour(ColourRole role) const = 0;
};

class MonthView;

// What the day marking reads from the calendar window and writes back.
class ShownToday;

struct MarkingTarget
{
    MonthView &view;
    bool &remarkOnly; // true: only mark; set back to false after each scan
    qint16 &oldCount;
    QString &oldMessages;
    bool quietStart; // started with "/n"
    // Ends the program when the shown month's first day cannot be found.
    std::function<void()> endProgram;
    // What was shown today; with `restartedByUs`, warnings shown before a
    // restart of the program's own are not shown again.
    ShownToday *shown = nullptr;
    bool restartedByUs = false;
};

// Marks the days of the shown month that hold appointments; unless
// `remarkOnly` it also collects old messages and gives early warnings.
class DayMarking
{
public:
    virtual ~DayMarking() = default;
    virtual void underline(const MarkingTarget &target) = 0;
};
