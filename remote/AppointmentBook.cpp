#include "remote/AppointmentBook.h"

#include "manager/ManagerRules.h"
#include "storage/Appointment.h"
#include "storage/IniFuncs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace remote {

namespace {

struct RepeatName
{
    const char *name;
    RepeatStep step;
};

constexpr RepeatName kNames[] = { { "once", RepeatStep::None }, { "hourly", RepeatStep::Hour },
    { "daily", RepeatStep::Day }, { "weekly", RepeatStep::Week }, { "monthly", RepeatStep::Month },
    { "quarterly", RepeatStep::Quarter }, { "yearly", RepeatStep::Year } };

QString section()
{
    return QLatin1String(kAlarmsSection);
}

QString nothing()
{
    return QLatin1String(kNothing);
}

std::optional<Entry> entryOfLine(const AppointmentLine &line)
{
    const RepeatCode *code = findRepeatCode(line.code);
    if (!code || !KeyParts::parse(line.line.left(16)))
        return std::nullopt;
    const QDate date = line.parts.date();
    const QTime time(line.parts.hour.toInt(), line.parts.minute.toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return Entry { line.line.left(16), date, time, repeatNameOf(line.code), code->confirm,
        line.earlyWarning, line.text };
}

// The entry a key and its value make; nothing for a cleared or unreadable value.
std::optional<Entry> entryOf(const QString &key, const QString &value)
{
    if (value == nothing())
        return std::nullopt;
    return entryOfLine(AppointmentLine::fromLine(key + QLatin1Char('=') + value));
}

QString described(const Entry &entry)
{
    return minuteText(entry.date, entry.time) + QLatin1Char(' ') + entry.repeat
        + QStringLiteral(": ") + entry.message;
}

} // namespace

QStringList repeatNames()
{
    QStringList out;
    for (const RepeatName &row : kNames)
        out << QLatin1String(row.name);
    return out;
}

std::optional<QChar> repeatCodeFor(const QString &name, bool confirm)
{
    for (const RepeatName &row : kNames) {
        if (name != QLatin1String(row.name))
            continue;
        for (const RepeatCode &code : repeatCodes()) {
            if (code.step == row.step && code.confirm == confirm)
                return QLatin1Char(code.code);
        }
    }
    return std::nullopt;
}

QString repeatNameOf(QChar code)
{
    const RepeatCode *row = findRepeatCode(code);
    if (!row)
        return {};
    for (const RepeatName &name : kNames) {
        if (name.step == row->step)
            return QLatin1String(name.name);
    }
    return {};
}

QList<Entry> entries(const QByteArray &content)
{
    QList<Entry> out;
    scanBytes(content, ScanFilter {}, [&out](const AppointmentLine &line) {
        if (const std::optional<Entry> entry = entryOfLine(line))
            out << *entry;
    });
    std::stable_sort(
        out.begin(), out.end(), [](const Entry &a, const Entry &b) { return a.when() < b.when(); });
    return out;
}

QList<Entry> between(const QList<Entry> &all, std::optional<QDate> from, std::optional<QDate> to)
{
    QList<Entry> out;
    for (const Entry &entry : all) {
        if ((!from || entry.date >= *from) && (!to || entry.date <= *to))
            out << entry;
    }
    return out;
}

std::optional<Entry> nextFrom(const QList<Entry> &all, const QDateTime &now)
{
    const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
    for (const Entry &entry : all) {
        if (entry.when() >= minute)
            return entry;
    }
    return std::nullopt;
}

QString minuteText(const QDate &date, const QTime &time)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ')
        + time.toString(QStringLiteral("HH:mm"));
}

QString keyOf(const QDate &date, const QTime &time)
{
    return KeyParts::fromDateTime(QDateTime(date, time)).key();
}

QString listLine(const Entry &entry)
{
    QStringList options;
    if (entry.confirm)
        options << QStringLiteral("confirm");
    if (entry.earlyWarning)
        options << QStringLiteral("early-warning");
    return minuteText(entry.date, entry.time) + QLatin1Char('\t') + entry.repeat + QLatin1Char('\t')
        + (options.isEmpty() ? QStringLiteral("-") : options.join(QLatin1Char(',')))
        + QLatin1Char('\t') + entry.message;
}

QVariantMap fields(const Entry &entry)
{
    return { { QStringLiteral("key"), entry.key },
        { QStringLiteral("date"), entry.date.toString(QStringLiteral("yyyy-MM-dd")) },
        { QStringLiteral("time"), entry.time.toString(QStringLiteral("HH:mm")) },
        { QStringLiteral("repeat"), entry.repeat }, { QStringLiteral("confirm"), entry.confirm },
        { QStringLiteral("earlyWarning"), entry.earlyWarning },
        { QStringLiteral("message"), entry.message } };
}

std::optional<Entry> entryFromFields(const QVariantMap &map)
{
    Entry entry;
    entry.key = map.value(QStringLiteral("key")).toString();
    entry.date = QDate::fromString(map.value(QStringLiteral("date")).toString(), Qt::ISODate);
    entry.time
        = QTime::fromString(map.value(QStringLiteral("time")).toString(), QStringLiteral("HH:mm"));
    entry.repeat = map.value(QStringLiteral("repeat")).toString();
    entry.confirm = map.value(QStringLiteral("confirm")).toBool();
    entry.earlyWarning = map.value(QStringLiteral("earlyWarning")).toBool();
    entry.message = map.value(QStringLiteral("message")).toString();
    if (!entry.date.isValid() || !entry.time.isValid() || !repeatNames().contains(entry.repeat))
        return std::nullopt;
    return entry;
}

QByteArray json(const QList<Entry> &list)
{
    QJsonArray array;
    for (const Entry &entry : list)
        array.append(QJsonObject::fromVariantMap(fields(entry)));
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

Outcome add(const QString &dataFile, const AddRequest &request, const QDateTime &now)
{
    const std::optional<QChar> code = repeatCodeFor(request.repeat, request.confirm);
    if (!code) {
        return { false,
            QStringLiteral("Sorry, \"%1\" is not a repeat. Please choose one of: %2.")
                .arg(request.repeat, repeatNames().join(QStringLiteral(", "))) };
    }
    if (!request.date.isValid()) {
        return { false,
            QStringLiteral("Sorry, that day is not in the calendar. Please try again!") };
    }
    if (!request.time.isValid())
        return { false, manager::refusalText(manager::SaveRefusal::InvalidHour) };

    // The manager's save plan on the fields its window would hold.
    manager::SaveFields fields;
    const int hour12 = request.time.hour() % 12 == 0 ? 12 : request.time.hour() % 12;
    fields.hour = QStringLiteral("%1").arg(hour12, 2, 10, QLatin1Char('0'));
    fields.minute = QStringLiteral("%1").arg(request.time.minute(), 2, 10, QLatin1Char('0'));
    fields.ampm = request.time.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm");
    fields.date = request.date;
    fields.message = request.message;
    fields.repeat = manager::repeatFields(*code).choice;
    fields.confirm = request.confirm;
    fields.warn = request.earlyWarning;
    const manager::SavePlan plan = manager::planSave(fields, now);
    if (plan.refusal != manager::SaveRefusal::None)
        return { false, manager::refusalText(plan.refusal) };
    // The manager asks before keeping a time gone; from outside nobody is
    // there to answer, and such a time would only come back as an old message.
    const QDateTime minuteNow(now.date(), QTime(now.time().hour(), now.time().minute()));
    if (QDateTime(request.date, request.time) < minuteNow) {
        return { false,
            QStringLiteral("Sorry, %1 has already passed. Please choose a time to come!")
                .arg(minuteText(request.date, request.time)) };
    }

    const QString held = INIFuncs::INIRead(dataFile, section(), plan.key, nothing());
    const std::optional<Entry> added = entryOf(plan.key, plan.value);
    if (held == plan.value)
        return { true, QStringLiteral("Already there: ") + described(*added) };
    if (manager::replaceQuestion(held, plan.value)) {
        // One appointment a minute: where the manager would ask before
        // replacing, nobody is there to answer, so the other one stays.
        const std::optional<Entry> other = entryOf(plan.key, held);
        return { false,
            QStringLiteral("Sorry, %1 already holds the appointment \"%2\". Remove it first or "
                           "choose another minute.")
                .arg(
                    minuteText(request.date, request.time), other ? other->message : held.mid(1)) };
    }
    QString error;
    if (!INIFuncs::INIWrite(dataFile, section(), plan.key, plan.value, &error))
        return { false, manager::writeFailureText(error) };
    return { true, QStringLiteral("Added ") + described(*added) };
}

Outcome remove(const QString &dataFile, const QString &key)
{
    const std::optional<KeyParts> parts = KeyParts::parse(key);
    const QString held = INIFuncs::INIRead(dataFile, section(), key, nothing());
    const std::optional<Entry> entry = parts ? entryOf(key, held) : std::nullopt;
    if (!entry) {
        const QString when = parts && parts->date().isValid()
            ? minuteText(parts->date(), QTime(parts->hour.toInt(), parts->minute.toInt()))
            : key;
        return { false, QStringLiteral("There is no appointment at %1.").arg(when) };
    }
    QString error;
    if (!INIFuncs::INIWrite(dataFile, section(), key, nothing(), &error))
        return { false, manager::writeFailureText(error) };
    return { true, QStringLiteral("Removed ") + described(*entry) };
}

std::optional<QList<Entry>> read(const QString &dataFile)
{
    const std::optional<QByteArray> content = readWholeFile(dataFile);
    if (!content)
        return std::nullopt;
    return entries(*content);
}

QString unreadableText(const QString &dataFile)
{
    return QStringLiteral("Sorry, the appointment file %1 cannot be read.").arg(dataFile);
}

} // namespace remote
