#include "calendar/MarkingRules.h"

#include <QLocale>

#include "engine/TickRules.h"

namespace marking {

std::optional<int> gridOffset(const std::function<QDate(int)> &visibleDays, const QDate &first)
{
    if (!first.isValid())
        return std::nullopt;
    for (int index = 1; index < kCellSearchLimit; ++index) {
        if (visibleDays(index) == first)
            return index - 1;
    }
    return std::nullopt;
}

QString twoDigits(int number)
{
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

QString cellSearchError()
{
    return QStringLiteral("There seems to be an error. Please report this to ")
        + QLatin1String(tick::kProblemAddress)
        + QStringLiteral(" and say that the in string routine failed during underline");
}

namespace {

// A day of the month written as two digits; nothing for anything else, so
// that "3x" or " 7" never marks a day.
std::optional<int> dayNumber(const QString &text)
{
    if (text.size() != 2 || !text[0].isDigit() || !text[1].isDigit())
        return std::nullopt;
    return text.toInt();
}

} // namespace

MonthScanner::MonthScanner(Context context)
    : m_context(std::move(context))
    , m_month(twoDigits(m_context.shownMonth))
    , m_year(QString::number(m_context.shownYear))
    , m_today(m_context.now.date())
    , m_lastDay(QDate(m_context.shownYear, m_context.shownMonth, 1).daysInMonth())
{ }

void MonthScanner::add(const AppointmentLine &line)
{
    warnAhead(line);
    const KeyParts &parts = line.parts;
    if (parts.month != m_month || parts.year != m_year)
        return;
    const std::optional<int> day = dayNumber(parts.day);
    // A day the month does not have would land in a neighbouring month's cell.
    if (!day || *day < 1 || *day > m_lastDay)
        return;
    m_scan.markedDays << *day;
}

void MonthScanner::warnAhead(const AppointmentLine &line)
{
    // Warnings go by the appointment's date, whatever month is shown: one
    // on the 2nd of next month is due in a week on the 26th.
    if (!line.earlyWarning || m_context.remarkOnly)
        return;
    const QDate date = line.parts.date();
    if (!date.isValid())
        return;
    const QString key = line.line.left(16);
    if (date == m_today.addDays(7) && !m_context.quietStart)
        m_scan.earlyWarnings << EarlyWarning { key, true, warningText(kWeekWarning, line) };
    if (date == m_today.addDays(3))
        m_scan.earlyWarnings << EarlyWarning { key, false, warningText(kThreeDayWarning, line) };
}

QString MonthScanner::warningText(const char *heading, const AppointmentLine &line)
{
    const QLocale english(QLocale::English, QLocale::UnitedKingdom);
    const QTime time(line.parts.hour.toInt(), line.parts.minute.toInt());
    return QLatin1String(heading) + QStringLiteral("\r\n")
        + english.toString(line.parts.date(), QStringLiteral("dddd d MMMM yyyy"))
        + QStringLiteral(", ") + time.toString(QStringLiteral("H:mm")) + QStringLiteral(": ")
        + line.text;
}

} // namespace marking
