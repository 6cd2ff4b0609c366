#pragma once

#include "platform/CalendarLink.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

// `quillory add|list|next|remove`: the appointments from a terminal or a
// script. Each command goes to the running calendar over the bus when one
// runs, else to the data file under the calendar's own lock.
namespace cli {

struct Context
{
    QString dataFolder;
    QString dataFile;
    std::function<QDateTime()> now;
    CalendarLink &calendar;
    QTextStream &out;
    QTextStream &err;
    QString allDayTime = {}; // the setting: the minute of imported all-day events
};

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kRefused = 1; // also: `next` found nothing
inline constexpr int kBadUsage = 2;

// Whether the arguments (without the program's name) ask for a command
// rather than the calendar; the plain start and "/n" stay the calendar's.
bool isCommand(const QStringList &arguments);
// Runs the command; `arguments` start with the program's name.
int run(const QStringList &arguments, Context &context);

} // namespace cli
