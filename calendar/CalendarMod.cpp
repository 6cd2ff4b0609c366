#include "calendar/CalendarMod.h"

#include "calendar/DayQueryRules.h"
#include "calendar/Logging.h"
#include "calendar/MarkingRules.h"
#include "calendar/MonthView.h"
#include "calendar/WindowLinks.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "storage/IniFuncs.h"

namespace calendarmod {

namespace {

ScanServices scanServices(const DayQuery &q)
{
    return { q.dialogs, {}, q.read };
}

// Step 8: the manager with the query's date chosen.
void openManagerAt(const DayQuery &q, int day)
{
    const QDate date(q.view.Year(), q.view.Month(), day);
    qCInfo(lcCalendar) << "day query opens the manager at" << date;
    q.manager.showAtDate(date);
}

// Step 7: the day's messages in one box; nothing when there are none.
void showList(const DayQuery &q, int day)
{
    const QString d = marking::twoDigits(day);
    const QString m = marking::twoDigits(q.view.Month());
    const QString y = QString::number(q.view.Year());
    // The file is read whole before any line is looked at, so an attempt
    // that fails leaves nothing half collected.
    const ScanFilter filter { false, false, false, false };
    QStringList messages;
    scanDataFile(q.dataFile, filter,
        ScanRetry { QLatin1String(marking::kRetryMessage), MsgIcon::Information, {}, 0 },
        scanServices(q), [&](const AppointmentLine &line) {
            if (dayquery::listsFor(line, d, m, y))
                messages << line.text;
        });
    if (!messages.isEmpty())
        q.dialogs.messageBox(
            dayquery::quickLookText(messages), MsgButtons::Ok, MsgIcon::Information);
}

} // namespace

void dayquery(const DayQuery &q, qint16 day, qint16 marked)
{
    // 1.
    const QDate today = q.clock.now().date();
    const int d = q.view.Day();
    const int m = q.view.Month();
    const int y = q.view.Year();
    qCInfo(lcCalendar) << "day query for" << d << m << y << "marked" << marked;

    // 2. past dates
    if (dayquery::isPast(d, m, y, today)) {
        q.say(QLatin1String(dayquery::kPastSentence));
        q.dialogs.messageBox(
            QLatin1String(dayquery::kPastMessage), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }

    // 3. a day without marks
    if (marked != 1) {
        q.say(QLatin1String(dayquery::kNotMarkedSentence));
        if (q.dialogs.messageBox(QLatin1String(dayquery::kNotMarkedQuestion), MsgButtons::YesNo,
                MsgIcon::None, QStringLiteral("Attention!"))
            == MsgAnswer::Yes)
            openManagerAt(q, day);
        return;
    }

    // 4. count the date's appointments; a file that cannot be read goes
    // straight to the list
    const QString date = marking::twoDigits(d) + QLatin1Char('/') + marking::twoDigits(m)
        + QLatin1Char('/') + QString::number(y);
    int found = 0;
    const ScanOutcome counted = scanDataFile(q.dataFile, ScanFilter { false, false, false, false },
        ScanRetry { {}, MsgIcon::None, {}, 0, 1, false }, scanServices(q),
        [&](const AppointmentLine &line) {
            if (dayquery::countsFor(line.line, date))
                ++found;
        });

    // 5, 6.
    if (counted == ScanOutcome::Complete && found > 0) {
        q.say(dayquery::countSentence(found));
        const MsgAnswer look = q.dialogs.messageBox(dayquery::quickLookQuestion(found, day),
            MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Messages!"));
        if (look == MsgAnswer::No) {
            // The day numbers alone are compared, whatever the month.
            if (day >= today.day()
                && q.dialogs.messageBox(QLatin1String(dayquery::kMakeQuestion), MsgButtons::YesNo,
                       MsgIcon::None, QStringLiteral("Would you?"))
                    == MsgAnswer::Yes)
                openManagerAt(q, day);
            return;
        }
        if (look != MsgAnswer::Yes)
            return;
    }

    // 7.
    showList(q, day);
}

} // namespace calendarmod
