#include "calendar/AgendaRules.h"

#include "engine/Firing.h"
#include "engine/Schedule.h"

#include <QLocale>

#include <algorithm>

namespace agenda {

namespace {

const QLocale &english()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedKingdom);
    return locale;
}

std::optional<RepeatStep> stepOf(const AppointmentLine &line)
{
    const RepeatCode *code = findRepeatCode(line.code);
    if (!code)
        return std::nullopt; // firing ignores it, so nothing is on
    return code->step;
}

void stepInto(const QDateTime &stored, RepeatStep step, const QDate &day, QList<Entry> *out,
    const QString &message)
{
    const QDate first = stored.date();
    if (first > day)
        return;
    if (step == RepeatStep::Hour) {
        // The chain ends with the last hour of the day it was stored on.
        if (first != day)
            return;
        for (QDateTime at = stored; at.date() == day && out->size() < kMaxEntries;
             at = at.addSecs(3600))
            out->append({ at, message });
        return;
    }
    if (first == day) {
        out->append({ stored, message });
        return;
    }
    if (step == RepeatStep::None)
        return;
    // The first occurrence from the day's start on, stepped as firing steps.
    const QDateTime before(day.addDays(-1), QTime(23, 59, 59), Qt::UTC);
    const std::optional<QDateTime> next = schedule::nextOccurrenceAfter(step, stored, before);
    if (next && next->date() == day)
        out->append({ *next, message });
}

QString sentenceOf(QString message)
{
    message = message.simplified();
    if (message.isEmpty())
        return QStringLiteral("an appointment without a message.");
    if (message.size() > kSpokenMessageChars)
        message = message.left(kSpokenMessageChars - 1) + QChar(0x2026);
    const QChar last = message.back();
    if (last != u'.' && last != u'!' && last != u'?' && last != QChar(0x2026))
        message += u'.';
    return message;
}

QString counted(qsizetype n, const char *one, const char *many)
{
    const QString number = n < 60 ? numberWord(int(n)) : QString::number(n);
    return number + u' ' + QLatin1String(n == 1 ? one : many);
}

QString hourWord(int hour24)
{
    const int h = hour24 % 12;
    return numberWord(h == 0 ? 12 : h);
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString timeWithPeriod(const QTime &time)
{
    const QString p = period(time);
    return p.isEmpty() ? spokenTime(time) : spokenTime(time) + u' ' + p;
}

} // namespace

QList<Entry> occurrencesOn(const QList<AppointmentLine> &lines, const QDate &day)
{
    QList<Entry> out;
    for (const AppointmentLine &line : lines) {
        const std::optional<RepeatStep> step = stepOf(line);
        const QDateTime stored = schedule::wallOf(line.parts);
        if (!step || !stored.isValid())
            continue;
        stepInto(stored, *step, day, &out, line.text);
        if (out.size() >= kMaxEntries)
            break;
    }
    std::stable_sort(
        out.begin(), out.end(), [](const Entry &a, const Entry &b) { return a.wall < b.wall; });
    return out;
}

std::optional<Entry> nextAfter(const QList<AppointmentLine> &lines, const QDateTime &nowWall)
{
    std::optional<Entry> best;
    for (const AppointmentLine &line : lines) {
        const std::optional<RepeatStep> step = stepOf(line);
        QDateTime at = schedule::wallOf(line.parts);
        if (!step || !at.isValid())
            continue;
        if (at < nowWall) {
            // Not moved on yet (the calendar was not running): where the
            // scheduler will move it.
            const std::optional<QDateTime> next
                = schedule::nextOccurrenceAfter(*step, at, nowWall.addSecs(-1));
            if (!next)
                continue;
            at = *next;
        }
        if (!best || at < best->wall)
            best = Entry { at, line.text };
    }
    return best;
}

qint64 minutesUntil(const QDateTime &now, const QDateTime &wall)
{
    // A minute the spring gap skips comes when the clock passes it: at the
    // first minute after it that exists.
    QDateTime reading = wall;
    QDateTime local(reading.date(), reading.time(), Qt::LocalTime);
    for (int i = 0; i < 24 * 60 && (!local.isValid() || local.time() != reading.time()); ++i) {
        reading = reading.addSecs(60);
        local = QDateTime(reading.date(), reading.time(), Qt::LocalTime);
    }
    const qint64 secs = now.secsTo(local);
    return secs <= 0 ? 0 : (secs + 59) / 60;
}

QString numberWord(int n)
{
    static const char *const ones[] = { "zero", "one", "two", "three", "four", "five", "six",
        "seven", "eight", "nine", "ten", "eleven", "twelve", "thirteen", "fourteen", "fifteen",
        "sixteen", "seventeen", "eighteen", "nineteen" };
    static const char *const tens[] = { "", "", "twenty", "thirty", "forty", "fifty" };
    if (n < 0 || n >= 60)
        return QString::number(n);
    if (n < 20)
        return QLatin1String(ones[n]);
    const QString word = QLatin1String(tens[n / 10]);
    return n % 10 == 0 ? word : word + u'-' + QLatin1String(ones[n % 10]);
}

QString spokenTime(const QTime &time)
{
    const int h = time.hour();
    const int m = time.minute();
    if (m == 0 && h == 0)
        return QStringLiteral("midnight");
    if (m == 0 && h == 12)
        return QStringLiteral("noon");
    const QString hour = hourWord(h);
    const QString nextHour = hourWord(h + 1);
    if (m == 0)
        return hour + QStringLiteral(" o'clock");
    if (m == 15)
        return QStringLiteral("quarter past ") + hour;
    if (m == 30)
        return QStringLiteral("half past ") + hour;
    if (m == 45)
        return QStringLiteral("quarter to ") + nextHour;
    if (m % 5 == 0)
        return m < 30 ? numberWord(m) + QStringLiteral(" past ") + hour
                      : numberWord(60 - m) + QStringLiteral(" to ") + nextHour;
    if (m < 10)
        return hour + QStringLiteral(" oh ") + numberWord(m);
    return hour + u' ' + numberWord(m);
}

QString period(const QTime &time)
{
    const int h = time.hour();
    if (time == QTime(0, 0) || time == QTime(12, 0))
        return {};
    if (h >= 5 && h < 12)
        return QStringLiteral("in the morning");
    if (h >= 12 && h < 18)
        return QStringLiteral("in the afternoon");
    if (h >= 18 && h < 22)
        return QStringLiteral("in the evening");
    return QStringLiteral("at night");
}

QString dayText(const QList<Entry> &entries, Day day, const QDateTime &nowWall)
{
    const QString when = day == Day::Today ? QStringLiteral("today") : QStringLiteral("tomorrow");
    QList<Entry> coming;
    qsizetype earlier = 0;
    for (const Entry &e : entries) {
        if (day == Day::Today && e.wall < nowWall)
            ++earlier;
        else
            coming.append(e);
    }
    QStringList sentences;
    if (earlier > 0)
        sentences << QStringLiteral("Earlier today you had %1.")
                         .arg(counted(earlier, "appointment", "appointments"));
    if (coming.isEmpty()) {
        sentences << (earlier > 0 ? QStringLiteral("Nothing more is planned for today.")
                                  : QStringLiteral("Nothing is planned for %1.").arg(when));
        return sentences.join(u' ');
    }
    sentences << QStringLiteral("You have %1 %2.")
                     .arg(counted(coming.size(), earlier > 0 ? "more appointment" : "appointment",
                              earlier > 0 ? "more appointments" : "appointments"),
                         when);
    // The part of the day is said when it changes, as a person does.
    QString lastPeriod;
    for (qsizetype i = 0; i < coming.size() && i < kSpokenEntries; ++i) {
        const QTime t = coming[i].wall.time();
        QString at = spokenTime(t);
        const QString p = period(t);
        if (!p.isEmpty() && p != lastPeriod)
            at += u' ' + p;
        if (!p.isEmpty())
            lastPeriod = p;
        sentences << QStringLiteral("At %1, %2").arg(at, sentenceOf(coming[i].message));
    }
    if (coming.size() > kSpokenEntries)
        sentences << QStringLiteral("And %1 more, shown in the window.")
                         .arg(numberWord(int(
                             std::min<qsizetype>(coming.size() - kSpokenEntries, kMaxEntries))));
    return sentences.join(u' ');
}

QString nextText(const std::optional<Entry> &next, const QDateTime &now, const QDateTime &nowWall)
{
    if (!next)
        return QStringLiteral("Nothing more is planned.");
    QString message = sentenceOf(next->message);
    message.chop(1); // the sentence goes on
    const QTime t = next->wall.time();
    const qint64 minutes = minutesUntil(now, next->wall);
    QString when;
    if (minutes <= 0) {
        when = QStringLiteral("now");
    } else if (minutes <= kCountdownMinutes) {
        const qint64 hours = minutes / 60;
        const qint64 rest = minutes % 60;
        QStringList parts;
        if (hours > 0)
            parts << QStringLiteral("%1 %2").arg(hours).arg(
                hours == 1 ? QStringLiteral("hour") : QStringLiteral("hours"));
        if (rest > 0)
            parts << QStringLiteral("%1 %2").arg(rest).arg(
                rest == 1 ? QStringLiteral("minute") : QStringLiteral("minutes"));
        when = QStringLiteral("in ") + parts.join(QStringLiteral(" and ")) + QStringLiteral(", at ")
            + spokenTime(t);
    } else {
        const qint64 days = nowWall.date().daysTo(next->wall.date());
        QString day;
        if (days == 0)
            day = QStringLiteral("today");
        else if (days == 1)
            day = QStringLiteral("tomorrow");
        else if (days < 7)
            day = QStringLiteral("on ") + english().dayName(next->wall.date().dayOfWeek());
        else
            day = QStringLiteral("on ")
                + english().toString(next->wall.date(),
                    next->wall.date().year() == nowWall.date().year()
                        ? QStringLiteral("dddd d MMMM")
                        : QStringLiteral("dddd d MMMM yyyy"));
        when = day + QStringLiteral(" at ") + timeWithPeriod(t);
    }
    return QStringLiteral("Next is %1, %2.").arg(message, when);
}

QStringList windowLines(const QList<Entry> &entries)
{
    QStringList lines;
    for (const Entry &e : entries)
        lines << e.wall.time().toString(QStringLiteral("H:mm")) + QStringLiteral("  ")
                + e.message.simplified();
    return lines;
}

QString windowTitle(Day day, const QDate &date)
{
    return capitalised(day == Day::Today ? QStringLiteral("today") : QStringLiteral("tomorrow"))
        + QStringLiteral(", ") + english().toString(date, QStringLiteral("dddd d MMMM"));
}

} // namespace agenda
