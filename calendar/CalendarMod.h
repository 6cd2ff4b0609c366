#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class Clock;
class Dialogs;
class ManagerWindow;
class MonthView;

namespace calendarmod {

// What the day query reads and whom it talks to.
struct DayQuery
{
    MonthView &view;
    Dialogs &dialogs;
    Clock &clock;
    ManagerWindow &manager;
    QString dataFile;
    std::function<void(const QString &)> say;
    // Reads the data file whole; empty for the usual reader. Tests fail it
    // on chosen attempts.
    std::function<std::optional<QByteArray>(const QString &)> read;
};

// Tells about the month view's selected day: refuses past dates, offers an
// appointment for an unmarked day, else counts, says and lists the day's
// appointments and offers the manager at the date. `marked` is 1 when the
// day is drawn bold.
void dayquery(const DayQuery &query, qint16 day, qint16 marked);

} // namespace calendarmod
