#pragma once

#include "calendar/AgendaRules.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class Clock;
class Dialogs;

namespace agendaquery {

// What the answers read and whom they talk to.
struct Context
{
    Dialogs &dialogs;
    Clock &clock;
    QString dataFile;
    std::function<void(const QString &)> say;
    // Reads the data file whole; empty for the usual reader.
    std::function<std::optional<QByteArray>(const QString &)> read;
};

enum class Ask { Today, Tomorrow, Next };

// Says what is on (today, tomorrow) or what comes next, and lists what it
// read in a box; a file that cannot be read is said so, never taken for an
// empty day.
void tell(const Context &context, Ask ask);
// The morning briefing: a greeting and today's appointments; the box only
// when more are on than are read out.
void brief(const Context &context);

} // namespace agendaquery
