#include "calendar/AgendaQuery.h"

#include "calendar/BriefingRules.h"
#include "calendar/Logging.h"
#include "engine/Schedule.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "storage/IniFuncs.h"

namespace agendaquery {

namespace {

inline constexpr const char *kUnreadable
    = "Sorry, I could not read your appointments just now. Please ask me again in a moment.";

std::optional<QList<AppointmentLine>> readLines(const Context &c)
{
    QList<AppointmentLine> lines;
    // Read whole before any line is looked at; a busy file is tried again
    // a few times without a box of its own.
    const ScanOutcome outcome = scanDataFile(c.dataFile, ScanFilter {},
        ScanRetry { {}, MsgIcon::None, {}, 0, 3, false }, ScanServices { c.dialogs, {}, c.read },
        [&](const AppointmentLine &line) { lines.append(line); });
    if (outcome != ScanOutcome::Complete) {
        qCWarning(lcCalendar) << "what is on: the data file could not be read" << c.dataFile;
        return std::nullopt;
    }
    return lines;
}

void showWindow(
    const Context &c, const QList<agenda::Entry> &entries, agenda::Day day, const QDate &date)
{
    if (entries.isEmpty())
        return;
    c.dialogs.messageBox(agenda::windowLines(entries).join(u'\n'), MsgButtons::Ok,
        MsgIcon::Information, agenda::windowTitle(day, date));
}

} // namespace

void tell(const Context &c, Ask ask)
{
    const QDateTime now = c.clock.now();
    const QDateTime nowWall = schedule::wallMinute(now);
    const std::optional<QList<AppointmentLine>> lines = readLines(c);
    if (!lines) {
        c.say(QLatin1String(kUnreadable));
        return;
    }
    if (ask == Ask::Next) {
        const std::optional<agenda::Entry> next = agenda::nextAfter(*lines, nowWall);
        const QString text = agenda::nextText(next, now, nowWall);
        qCInfo(lcCalendar).noquote() << "what is next:" << text;
        // The one appointment read is in the balloon; a box would only repeat it.
        c.say(text);
        return;
    }
    const agenda::Day day = ask == Ask::Today ? agenda::Day::Today : agenda::Day::Tomorrow;
    const QDate date = ask == Ask::Today ? nowWall.date() : nowWall.date().addDays(1);
    const QList<agenda::Entry> entries = agenda::occurrencesOn(*lines, date);
    const QString text = agenda::dayText(entries, day, nowWall);
    qCInfo(lcCalendar).noquote() << "what is on" << date << ":" << text;
    c.say(text);
    showWindow(c, entries, day, date);
}

void brief(const Context &c)
{
    const QDateTime now = c.clock.now();
    const QDateTime nowWall = schedule::wallMinute(now);
    const std::optional<QList<AppointmentLine>> lines = readLines(c);
    if (!lines) {
        c.say(briefing::greeting(now.time()) + u' ' + QLatin1String(kUnreadable));
        return;
    }
    const QList<agenda::Entry> entries = agenda::occurrencesOn(*lines, nowWall.date());
    const QString text = briefing::greeting(now.time()) + u' '
        + agenda::dayText(entries, agenda::Day::Today, nowWall);
    qCInfo(lcCalendar).noquote() << "morning briefing:" << text;
    c.say(text);
    if (agenda::moreThanSpoken(entries, agenda::Day::Today, nowWall))
        showWindow(c, entries, agenda::Day::Today, nowWall.date());
}

} // namespace agendaquery
