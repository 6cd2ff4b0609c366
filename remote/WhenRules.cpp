#include "remote/WhenRules.h"

#include "manager/ManagerRules.h"

#include <QRegularExpression>

namespace remote {

namespace {

When badUsage(const QString &text)
{
    return { When::Status::BadUsage, {}, {}, text };
}

When refused(const QString &text)
{
    return { When::Status::Refused, {}, {}, text };
}

// The hour and minute as typed; the manager's words for one out of range.
When withTime(const QDate &date, int hour, int minute)
{
    if (minute > 59)
        return refused(manager::refusalText(manager::SaveRefusal::InvalidMinute));
    if (hour > 23)
        return refused(manager::refusalText(manager::SaveRefusal::InvalidHour));
    if (!date.isValid())
        return refused(QStringLiteral("Sorry, that day is not in the calendar. Please try again!"));
    return { When::Status::Ok, date, QTime(hour, minute), {} };
}

QDate dateOf(const QRegularExpressionMatch &match, int first)
{
    return QDate(match.captured(first).toInt(), match.captured(first + 1).toInt(),
        match.captured(first + 2).toInt());
}

} // namespace

When parseAt(const QString &text, const QDateTime &now)
{
    static const QRegularExpression pattern(
        QStringLiteral(
            R"(^\s*(?:(\d{4})-(\d{1,2})-(\d{1,2})|(today|tomorrow))?\s*(\d{1,2}):(\d{2})\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return badUsage(QStringLiteral("--at takes \"YYYY-MM-DD HH:MM\", \"tomorrow 9:00\" or "
                                       "\"9:30\", not \"%1\"")
                            .arg(text));
    }
    const int hour = match.captured(5).toInt();
    const int minute = match.captured(6).toInt();
    if (!match.captured(1).isEmpty())
        return withTime(dateOf(match, 1), hour, minute);
    const QString word = match.captured(4).toLower();
    if (word == QLatin1String("tomorrow"))
        return withTime(now.date().addDays(1), hour, minute);
    When when = withTime(now.date(), hour, minute);
    // A time alone that has come today already means tomorrow's.
    if (word.isEmpty() && when.status == When::Status::Ok
        && when.time <= QTime(now.time().hour(), now.time().minute()))
        when.date = now.date().addDays(1);
    return when;
}

When parseIn(const QString &text, const QDateTime &now)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(?:(\d{1,5})h)?\s*(?:(\d{1,6})m(?:in)?)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || (match.captured(1).isEmpty() && match.captured(2).isEmpty())) {
        return badUsage(
            QStringLiteral("--in takes hours and minutes such as \"20m\", \"2h\" or \"1h30m\", "
                           "not \"%1\"")
                .arg(text));
    }
    const qint64 minutes = match.captured(1).toLongLong() * 60 + match.captured(2).toLongLong();
    const QDateTime at = now.addSecs(minutes * 60);
    return { When::Status::Ok, at.date(), QTime(at.time().hour(), at.time().minute()), {} };
}

When parseMinute(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})\s+(\d{1,2}):(\d{2})\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return badUsage(QStringLiteral("the minute is \"YYYY-MM-DD HH:MM\", not \"%1\"").arg(text));
    return withTime(dateOf(match, 1), match.captured(4).toInt(), match.captured(5).toInt());
}

std::optional<QDate> parseDay(const QString &text, const QDate &today)
{
    const QString word = text.trimmed().toLower();
    if (word == QLatin1String("today"))
        return today;
    if (word == QLatin1String("tomorrow"))
        return today.addDays(1);
    const QDate date = QDate::fromString(word, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace remote
