#include "engine/Schedule.h"

#include "storage/TextCodec.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace schedule {

namespace {

constexpr int kLastYear = 9999; // a key holds four digits of year

QString dayAndTime(const QDateTime &wall)
{
    const QLocale english(QLocale::English, QLocale::UnitedKingdom);
    return english.toString(wall.date(), QStringLiteral("dddd d MMMM")) + QStringLiteral(", ")
        + wall.time().toString(QStringLiteral("H:mm"));
}

bool isKey(const QString &text)
{
    return KeyParts::parse(text).has_value();
}

} // namespace

QDateTime wallMinute(const QDateTime &local)
{
    const QTime t = local.time();
    return QDateTime(local.date(), QTime(t.hour(), t.minute()), Qt::UTC);
}

QDateTime wallOf(const KeyParts &parts)
{
    bool hourOk = false;
    bool minuteOk = false;
    const int hour = parts.hour.toInt(&hourOk);
    const int minute = parts.minute.toInt(&minuteOk);
    const QDate date = parts.date();
    if (!hourOk || !minuteOk || !date.isValid() || !QTime::isValid(hour, minute, 0))
        return {};
    return QDateTime(date, QTime(hour, minute), Qt::UTC);
}

QDateTime wallOfKey(const QString &key)
{
    const std::optional<KeyParts> parts = KeyParts::parse(key);
    return parts ? wallOf(*parts) : QDateTime();
}

QString keyOf(const QDateTime &wall)
{
    return KeyParts::fromDateTime(wall).key();
}

std::optional<QDateTime> nextOccurrenceAfter(
    RepeatStep step, const QDateTime &fired, const QDateTime &now)
{
    if (!fired.isValid() || !now.isValid())
        return std::nullopt;
    QDateTime next;
    // Fixed steps are counted out at once: an hourly repeat after a week
    // off is one calculation, not 168.
    auto fixed = [&](qint64 seconds) {
        const qint64 behind = fired.secsTo(now);
        const qint64 steps = behind < 0 ? 1 : behind / seconds + 1;
        return fired.addSecs(steps * seconds);
    };
    switch (step) {
    case RepeatStep::Hour:
        next = fixed(3600);
        break;
    case RepeatStep::Day:
        next = fixed(86400);
        break;
    case RepeatStep::Week:
        next = fixed(7 * 86400);
        break;
    case RepeatStep::Month:
    case RepeatStep::Quarter:
    case RepeatStep::Year: {
        // One step at a time, since a day cut back to a shorter month's
        // last day stays cut back.
        QDate date = fired.date();
        do {
            date = nextDate(date, step);
        } while (date.isValid() && date.year() <= kLastYear
            && QDateTime(date, fired.time(), Qt::UTC) <= now);
        next = QDateTime(date, fired.time(), Qt::UTC);
        break;
    }
    case RepeatStep::None:
        return std::nullopt;
    }
    if (!next.isValid() || next.date().year() > kLastYear)
        return std::nullopt;
    return next;
}

QString gapPhrase(Gap gap)
{
    switch (gap) {
    case Gap::ClockForward:
        return QStringLiteral("when the clock was put forward");
    case Gap::Paused:
        return QStringLiteral("while Quillory could not run");
    case Gap::Asleep:
        break;
    }
    return QStringLiteral("while the computer was asleep");
}

QString missedText(Gap gap, const QDateTime &wall, const QString &message)
{
    return QStringLiteral("Missed ") + gapPhrase(gap) + QStringLiteral(": ") + dayAndTime(wall)
        + QStringLiteral(" \u2014 ") + message;
}

QString missedSummary(Gap gap, qsizetype count)
{
    if (count == 1)
        return QStringLiteral("You missed an appointment %1. It is in the message window.")
            .arg(gapPhrase(gap));
    return QStringLiteral("You missed %1 appointments %2. They are in the message window.")
        .arg(count)
        .arg(gapPhrase(gap));
}

QString missedRestText(const QStringList &lines)
{
    // Within what the message window keeps of one page.
    constexpr qsizetype kRoom = 3800;
    constexpr qsizetype kLine = 200;
    QString text = QStringLiteral("More missed appointments:\r\n");
    qsizetype shown = 0;
    for (const QString &line : lines) {
        const QString cut = line.size() > kLine ? line.left(kLine) + QChar(0x2026) : line;
        if (text.size() + cut.size() + 2 > kRoom)
            break;
        text += cut + QStringLiteral("\r\n");
        ++shown;
    }
    if (shown < lines.size())
        text += QStringLiteral("%1 and %2 more\r\n").arg(QChar(0x2026)).arg(lines.size() - shown);
    return text;
}

QString oldMessagesText(const QList<OldAppointment> &old)
{
    const QLocale english(QLocale::English, QLocale::UnitedKingdom);
    QString text;
    const qsizetype shown = std::min(old.size(), kOldMessages);
    for (qsizetype i = 0; i < shown; ++i) {
        QString message = old[i].message;
        if (message.size() > kOldMessageChars)
            message = message.left(kOldMessageChars) + QChar(0x2026);
        text += QStringLiteral("This is old message #%1, %2, %3: %4\r\n")
                    .arg(i + 1)
                    .arg(english.toString(old[i].wall.date(), QStringLiteral("dddd d MMMM yyyy")),
                        old[i].wall.time().toString(QStringLiteral("H:mm")), message);
    }
    if (shown < old.size())
        text += QStringLiteral("%1 and %2 more\r\n").arg(QChar(0x2026)).arg(old.size() - shown);
    return text;
}

QString displacedText(
    const QString &message, const QDateTime &wanted, const QDateTime &taken, const QString &holder)
{
    return QStringLiteral("\"%1\" could not move on to %2: \"%3\" is set for that minute. It will "
                          "be announced at %4 instead and keeps its own time after that.")
        .arg(message, dayAndTime(wanted), holder, dayAndTime(taken));
}

QByteArray stateText(const State &state)
{
    QString text = state.lastKey + QLatin1Char('\n');
    for (const PendingWrite &w : state.postponed)
        text += QStringLiteral("P\t%1\t%2\t%3\n")
                    .arg(textcodec::escapedField(w.key), textcodec::escapedField(w.value),
                        textcodec::escapedField(w.expected));
    for (const auto &[waiting, original] : state.displaced)
        text += QStringLiteral("D\t%1\t%2\n")
                    .arg(textcodec::escapedField(waiting), textcodec::escapedField(original));
    return text.toUtf8();
}

State readStateText(const QByteArray &bytes)
{
    State state;
    const QStringList lines = QString::fromUtf8(bytes.left(kMaxStateFile)).split(QLatin1Char('\n'));
    if (lines.isEmpty())
        return state;
    const QString first = lines.first().trimmed();
    if (isKey(first))
        state.lastKey = first;
    for (qsizetype i = 1; i < lines.size() && i <= kMaxStateLines; ++i) {
        const QStringList fields = lines[i].split(QLatin1Char('\t'));
        if (fields.size() == 4 && fields[0] == QLatin1String("P")
            && isKey(textcodec::unescapedField(fields[1])))
            state.postponed.append({ textcodec::unescapedField(fields[1]),
                textcodec::unescapedField(fields[2]), textcodec::unescapedField(fields[3]) });
        else if (fields.size() == 3 && fields[0] == QLatin1String("D")
            && isKey(textcodec::unescapedField(fields[1]))
            && isKey(textcodec::unescapedField(fields[2])))
            state.displaced.append(
                { textcodec::unescapedField(fields[1]), textcodec::unescapedField(fields[2]) });
    }
    return state;
}

} // namespace schedule
