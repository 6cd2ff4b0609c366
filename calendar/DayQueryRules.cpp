#include "calendar/DayQueryRules.h"

namespace dayquery {

bool isPast(int day, int month, int year, const QDate &today)
{
    if (year != today.year())
        return year < today.year();
    if (month != today.month())
        return month < today.month();
    return day < today.day();
}

bool countsFor(const QString &line, const QString &date)
{
    if (line == QLatin1String("[alarms]") || line.mid(17, 7) == QLatin1String(kNothing))
        return false;
    return line.mid(6, 10) == date;
}

bool listsFor(
    const AppointmentLine &line, const QString &day, const QString &month, const QString &year)
{
    if (line.line.size() < 5 || line.line == QLatin1String("[alarms]")
        || line.line.mid(17) == QLatin1String(kNothing))
        return false;
    return line.parts.month == month && line.parts.year == year && line.parts.day == day;
}

QString countSentence(int found)
{
    if (found == 1)
        return QStringLiteral("\\emp\\You have 1 appointment set for this date");
    return QStringLiteral("\\emp\\You have %1 appointments set for this date").arg(found);
}

QString quickLookQuestion(int found, int day)
{
    if (found == 1)
        return QStringLiteral(
            "You have 1 message set for day %1. Would you like to have a quick look at it?")
            .arg(day);
    return QStringLiteral(
        "You have %1 message(s) set for day %2. Would you like to have a quick look at them")
        .arg(found)
        .arg(day);
}

QString quickLookText(const QStringList &messages)
{
    QString text;
    const qsizetype shown = std::min<qsizetype>(messages.size(), kQuickLookMessages);
    for (qsizetype i = 0; i < shown; ++i) {
        QString message = messages[i];
        if (message.size() > kQuickLookMessageChars)
            message = message.left(kQuickLookMessageChars) + QChar(0x2026);
        text += QStringLiteral("Message %1 reads:  %2\r\n").arg(i + 1).arg(message);
    }
    if (messages.size() > shown)
        text
            += QStringLiteral("%1 and %2 more\r\n").arg(QChar(0x2026)).arg(messages.size() - shown);
    return text;
}

} // namespace dayquery
